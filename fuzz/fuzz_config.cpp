// config.dat as anyone may have edited it: every key read, written and read back.
#include <cstdint>
#include <string>

#include "options/IniFile.h"
#include "options/Options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    IniFile ini("/nonexistent/config.dat", text);
    const std::string recent = ini.ReadString("General", "RecentBook", "seagull.txt");
    const int32_t speed = ParseScrollSpeed(ini.ReadString("General", "ScrollSpeed", ""));
    std::string style[5];
    for (int i = 0; i < 5; ++i) {
        style[i] = ini.ReadString("Style", StyleKeys[i], StyleDefaults[i]);
        if (style[i].size() > MaxIniValue) __builtin_trap();
    }
    ini.WriteString("General", "RecentBook", recent);
    ini.WriteString("General", "ScrollSpeed", IntToStr(speed));
    for (int i = 0; i < 5; ++i) ini.WriteString("Style", StyleKeys[i], style[i]);
    // What was written reads back the same, as far as blanks around it allow.
    IniFile back("/nonexistent/config.dat", ini.Text());
    if (ParseScrollSpeed(back.ReadString("General", "ScrollSpeed", "")) != speed) __builtin_trap();
    return 0;
}
