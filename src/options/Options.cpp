#include "options/Options.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "base/Errors.h"
#include "base/Files.h"
#include "book/BookFile.h"
#include "book/HeaderJournal.h"
#include "options/StyleValues.h"

#include "options/IniFile.h"

std::string ProgramFolder;
std::string DataFolder;
bool PortableMode = false;
std::string RecentBook = DefaultRecentBook;
std::string GuideBook = DefaultRecentBook;
std::vector<std::string> RecentBooks;
std::string WindowMode = WindowModeFull;
std::string WindowRect;
const char* const TemplateFiles[3] = {"vpage.tml", "style.tml", "charsets.dat"};
int32_t ScrollSpeed = 20;
std::string SpeechVoice;
int32_t SpeechRate = 0;
LineList OptionList;

const char* const StyleKeys[StyleKeyCount] = {
    "norm_font",    "norm_color", "norm_size",    "bgcolor",   "titl_color", "text_width",
    "line_spacing", "text_align", "first_indent", "par_space", "hyphenate",  "click_zones"};
// The default face is one the dependencies install (fonts-liberation). The
// column holds about 66 characters, the measure of a printed book.
const char* const StyleDefaults[StyleKeyCount] = {
    "Liberation Serif", "375060", "28",  "C0CBCA", "BA37EC", "66", "1.45",
    "justify",          "1",      "0.6", "1",      "1"};

std::string ExecutableFolder() {
    char buf[PATH_MAX + 1];
    ssize_t n = ::readlink("/proc/self/exe", buf, PATH_MAX);
    if (n <= 0) return "./";
    std::string path(buf, size_t(n));
    return path.substr(0, path.rfind('/') + 1);
}

std::string UserDataFolder(const char* xdgDataHome, const char* home) {
    if (xdgDataHome && xdgDataHome[0] == '/') return std::string(xdgDataHome) + "/tavisto/";
    std::string h = home ? home : "";
    if (h.empty() || h[0] != '/') {
        // No usable HOME: the account's own home folder.
        std::vector<char> buf(16384);
        passwd pw, *found = nullptr;
        if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) != 0 || !found) return "";
        h = found->pw_dir ? found->pw_dir : "";
        if (h.empty() || h[0] != '/') return "";
    }
    return h + "/.local/share/tavisto/";
}

void LocateProgramFolder() {
    const std::string exe = ExecutableFolder();
    PortableMode = FileExists(exe + "portable");
    if (PortableMode) {
        ProgramFolder = exe;
        DataFolder.clear();
        return;
    }
    ProgramFolder = UserDataFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    if (ProgramFolder.empty())
        throw EFileError(Messages::tr("Cannot create folder: no home folder is known"));
    // exe is ".../bin/": the read-only files are in ".../share/tavisto/".
    const std::string up = FolderOf(exe.substr(0, exe.size() - 1));
    DataFolder = up + "share/tavisto/";
}

bool RenewTemplate(const std::string& shipped, const std::string& path,
                   std::initializer_list<uint64_t> earlier) {
    // A template is small: a large file is the reader's own.
    const int64_t size = FileSizeOf(path);
    if (size < 0 || size > 65536) return false;
    const uint64_t mine = ContentHash(ReadWholeFile(path));
    if (std::find(earlier.begin(), earlier.end(), mine) == earlier.end()) return false;
    SaveFileSafely(path, ReadWholeFile(shipped));
    return true;
}

void SetUpProgramFolder() {
    if (PortableMode) return;
    // Each level of the user's folder, as mkdir -p would.
    for (size_t slash = ProgramFolder.find('/', 1); slash != std::string::npos;
         slash = ProgramFolder.find('/', slash + 1))
        if (!DirectoryExists(ProgramFolder.substr(0, slash)))
            MakeFolder(ProgramFolder.substr(0, slash));
    MakeFolder(BooksFolder());
    MakeFolder(TemplatesFolder());
    MakeFolder(TempFolder());
    for (const char* t : TemplateFiles)
        if (FileExists(DataFolder + t)) CopyFileIfMissing(DataFolder + t, TemplatesFolder() + t);
    // The templates earlier versions shipped: what a later one adds (the look of
    // headings and gaps, the page's setting) reaches a reader who never changed the copy.
    if (FileExists(DataFolder + "style.tml"))
        RenewTemplate(DataFolder + "style.tml", TemplatesFolder() + "style.tml",
                      {0x62f2a3197d8d8ec0, 0x6f6dcd42be24120d, 0x29f73ee0543bb09d,
                       0xda2726ee8bd617ff, 0x2fb9b03844e47f8a, 0xc78700c2ed60e956});
    // The page declares its language, for the view's own rules.
    if (FileExists(DataFolder + "vpage.tml"))
        RenewTemplate(DataFolder + "vpage.tml", TemplatesFolder() + "vpage.tml",
                      {0x32ea36e27cf7d17d, 0xd19c4cb904f4c485});
    if (!FileExists(DataFolder + GuideBook)) GuideBook = DefaultRecentBook;
    const std::string guide = DataFolder + GuideBook;
    if (!PathTaken(ProgramFolder + "config.dat") && FileExists(guide))
        CopyFileIfMissing(guide, BooksFolder() + GuideBook);
}

void InitOptionStorage() {
    LocateProgramFolder();
    SetUpProgramFolder();
    OptionList.clear();
    LoadOptions();
}

void NoteRecentBook(const std::string& fileName) {
    ForgetRecentBook(fileName);
    RecentBooks.insert(RecentBooks.begin(), fileName);
    if (RecentBooks.size() > MaxRecentBooks) RecentBooks.resize(MaxRecentBooks);
}

void ForgetRecentBook(const std::string& fileName) {
    std::erase(RecentBooks, fileName);
}

std::string TidyProgramFolder() {
    // A position save cut short by a crash gives its book the old header back.
    HeaderJournal(HeaderJournalPath()).Repair();
    RemoveDeadTemporaries(ProgramFolder, true);
    RemoveDeadTemporaries(BooksFolder(), true);
    RemoveDeadTemporaries(TemplatesFolder(), true);
    // TEMP/ only ever holds a text between its extraction and its conversion.
    // Whatever stands in its place is never followed, only replaced.
    std::string note;
    if (MakeRealFolder(TempFolder()))
        note = Fmt(Messages::tr("%s was not a folder: an empty folder now stands in its place."),
                   TempFolder());
    EmptyFolder(TempFolder());
    return note;
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
std::string HeaderJournalPath() {
    return ProgramFolder + "header.journal";
}

int32_t ParseScrollSpeed(const std::string& text) {
    int32_t v = 0;
    return TryStrToInt(text, v) ? v : 20;
}

bool ReadDecimal(const std::string& text, double& value) {
    // Digits with at most one point, as the style dialog writes them; no locale.
    if (text.empty() || text.size() > 8 ||
        text.find_first_not_of("0123456789.") != std::string::npos ||
        std::count(text.begin(), text.end(), '.') > 1 || text == ".")
        return false;
    value = 0;
    double scale = 1;
    bool point = false;
    for (char c : text) {
        if (c == '.') {
            point = true;
        } else if (point) {
            value += (c - '0') * (scale /= 10);
        } else {
            value = value * 10 + (c - '0');
        }
    }
    return true;
}

// Whether a style value read from config.dat can be used: a value that could not
// (a size that is no number, a colour without a hex digit) would fail every
// render or page step later, and one out of its range would make the page unreadable.
static bool UsableStyleValue(const std::string& key, const std::string& v) {
    int32_t n = 0;
    double d = 0;
    if (key == "norm_font")  // a face name, written into the style sheet inside quotes
        return !v.empty() && v.find_first_of("\"\\;{}<>") == std::string::npos &&
               EscapeControls(v) == v;
    if (key == "norm_size") return TryStrToInt(v, n) && n >= 1 && n <= 999;
    if (key == "text_width")
        return TryStrToInt(v, n) && n >= MinTextWidth && n <= MaxTextWidth && v == IntToStr(n);
    if (key == "line_spacing") return ReadDecimal(v, d) && d >= 1.2 - 1e-9 && d <= 2.0 + 1e-9;
    if (key == "par_space") return ReadDecimal(v, d) && d <= 2.0 + 1e-9;
    if (key == "text_align") return v == "justify" || v == "left";
    if (key == "first_indent" || key == "hyphenate" || key == "click_zones")
        return v == "0" || v == "1";
    try {  // the three colours
        HexToColor(v);
        return true;
    } catch (const EAppError&) {
        return false;
    }
}

void LoadOptions() {
    OptionList.clear();
    IniFile ini(ProgramFolder + "config.dat");
    RecentBook = ini.ReadString("General", "RecentBook", GuideBook);
    ScrollSpeed = std::clamp(ParseScrollSpeed(ini.ReadString("General", "ScrollSpeed", "")),
                             MinScrollSpeed, MaxScrollSpeed);
    for (size_t i = 0; i < StyleKeyCount; ++i) {
        std::string v = ini.ReadString("Style", StyleKeys[i], StyleDefaults[i]);
        if (!UsableStyleValue(StyleKeys[i], v)) v = StyleDefaults[i];
        OptionList.push_back(std::string(StyleKeys[i]) + "=" + v);
    }
    RecentBooks.clear();
    for (size_t i = 1; i <= MaxRecentBooks; ++i) {
        const std::string name = ini.ReadString("General", "Recent" + std::to_string(i), "");
        if (IsBareFileName(name) &&
            std::find(RecentBooks.begin(), RecentBooks.end(), name) == RecentBooks.end())
            RecentBooks.push_back(name);
    }
    WindowMode = ini.ReadString("General", "WindowMode", WindowModeFull) == WindowModeWindow
                     ? WindowModeWindow
                     : WindowModeFull;
    WindowRect = ini.ReadString("General", "WindowRect", "");
    SpeechVoice = ini.ReadString("Speech", "Voice", "");
    if (SpeechVoice.size() > 200 || EscapeControls(SpeechVoice) != SpeechVoice) SpeechVoice.clear();
    SpeechRate = 0;
    if (!TryStrToInt(ini.ReadString("Speech", "Rate", "0"), SpeechRate)) SpeechRate = 0;
    SpeechRate = std::clamp(SpeechRate, -10, 10);
}

void SaveOptions() {
    IniFile ini(ProgramFolder + "config.dat");
    ini.WriteString("General", "RecentBook", RecentBook);
    ini.WriteString("General", "ScrollSpeed", IntToStr(ScrollSpeed));
    // The window and the recent list only once there is something to keep.
    if (WindowMode != WindowModeFull || !WindowRect.empty()) {
        ini.WriteString("General", "WindowMode", WindowMode);
        ini.WriteString("General", "WindowRect", WindowRect);
    }
    for (size_t i = 0; i < MaxRecentBooks; ++i) {
        const std::string key = "Recent" + std::to_string(i + 1);
        if (i < RecentBooks.size())
            ini.WriteString("General", key, RecentBooks[i]);
        else
            ini.DeleteKey("General", key);
    }
    for (const char* key : StyleKeys) ini.WriteString("Style", key, ValueOf(OptionList, key));
    if (!SpeechVoice.empty() || SpeechRate != 0) {
        ini.WriteString("Speech", "Voice", SpeechVoice);
        ini.WriteString("Speech", "Rate", IntToStr(SpeechRate));
    }
    ini.UpdateFile();
}

void FreeOptionList() {
    OptionList.clear();
    OptionList.shrink_to_fit();
}
