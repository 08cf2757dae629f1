#include "unitOptStorage.h"

#include <unistd.h>

#include <climits>

#include "unitIniFile.h"

std::string ProgramFolder;
std::string RecentBook = "seagull.txt";
int32_t ScrollSpeed = 20;
TLines OptionList;

const char* const StyleKeys[5] = {"norm_font", "norm_color", "norm_size", "bgcolor", "titl_color"};
const char* const StyleDefaults[5] = {"Arial", "375060", "28", "C0CBCA", "BA37EC"};

std::string ExecutableFolder() {
    char buf[PATH_MAX + 1];
    ssize_t n = ::readlink("/proc/self/exe", buf, PATH_MAX);
    if (n <= 0) return "./";
    std::string path(buf, size_t(n));
    return path.substr(0, path.rfind('/') + 1);
}

void InitOptionStorage() {
    ProgramFolder = ExecutableFolder();
    OptionList.clear();
    LoadOptions();
}

std::string BooksFolder() {
    return ProgramFolder + "MyBooks/";
}
std::string TemplatesFolder() {
    return ProgramFolder + "Templates/";
}
std::string TempFolder() {
    return ProgramFolder + "TEMP/";
}

int32_t ParseScrollSpeed(const std::string& text) {
    int32_t v = 0;
    return TryStrToInt(text, v) ? v : 20;
}

void LoadOptions() {
    OptionList.clear();
    TIniFile ini(ProgramFolder + "config.dat");
    RecentBook = ini.ReadString("General", "RecentBook", "seagull.txt");
    ScrollSpeed = ParseScrollSpeed(ini.ReadString("General", "ScrollSpeed", ""));
    for (int i = 0; i < 5; ++i)
        OptionList.push_back(std::string(StyleKeys[i]) + "=" +
                             ini.ReadString("Style", StyleKeys[i], StyleDefaults[i]));
}

void SaveOptions() {
    TIniFile ini(ProgramFolder + "config.dat");
    ini.WriteString("General", "RecentBook", RecentBook);
    ini.WriteString("General", "ScrollSpeed", IntToStr(ScrollSpeed));
    for (int i = 0; i < 5; ++i)
        ini.WriteString("Style", StyleKeys[i], ValueOf(OptionList, StyleKeys[i]));
    ini.UpdateFile();
}

void FreeOptionList() {
    OptionList.clear();
    OptionList.shrink_to_fit();
}
