#include "unitOptStorage.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "../core/unitErrors.h"
#include "../core/unitFiles.h"
#include "../core/unitStyleValues.h"

#include "unitIniFile.h"

std::string ProgramFolder;
std::string RecentBook = DefaultRecentBook;
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

void TidyProgramFolder() {
    RemoveDeadTemporaries(ProgramFolder, true);
    RemoveDeadTemporaries(BooksFolder(), true);
    RemoveDeadTemporaries(TemplatesFolder(), true);
    // TEMP/ only ever holds a text between its extraction and its conversion.
    if (DIR* d = ::opendir(TempFolder().c_str())) {
        std::vector<std::string> names;
        while (dirent* e = ::readdir(d)) names.emplace_back(e->d_name);
        ::closedir(d);
        for (const auto& n : names) {
            struct stat st;
            const std::string full = TempFolder() + n;
            if (::lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(full.c_str());
        }
    }
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

// Whether a style value read from config.dat can be used: a value that could not
// (a size that is no number, a colour without a hex digit) would fail every
// render or page step later.
static bool UsableStyleValue(int key, const std::string& v) {
    switch (key) {
        case 0:  // norm_font: a face name, written into the style sheet inside quotes
            return !v.empty() && v.find_first_of("\"\\;{}<>") == std::string::npos &&
                   EscapeControls(v) == v;
        case 2: {  // norm_size
            int32_t n = 0;
            return TryStrToInt(v, n) && n >= 1 && n <= 999;
        }
        default:  // the three colours
            try {
                HexToColor(v);
                return true;
            } catch (const EAppError&) {
                return false;
            }
    }
}

void LoadOptions() {
    OptionList.clear();
    TIniFile ini(ProgramFolder + "config.dat");
    RecentBook = ini.ReadString("General", "RecentBook", DefaultRecentBook);
    ScrollSpeed = std::clamp(ParseScrollSpeed(ini.ReadString("General", "ScrollSpeed", "")),
                             MinScrollSpeed, MaxScrollSpeed);
    for (int i = 0; i < 5; ++i) {
        std::string v = ini.ReadString("Style", StyleKeys[i], StyleDefaults[i]);
        if (!UsableStyleValue(i, v)) v = StyleDefaults[i];
        OptionList.push_back(std::string(StyleKeys[i]) + "=" + v);
    }
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
