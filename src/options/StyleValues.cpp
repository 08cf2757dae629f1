#include "options/StyleValues.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/Errors.h"
#include "base/Strings.h"

std::string HexDigitsOnly(const std::string& text) {
    std::string out;
    for (char c : text)
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')) out += c;
    return out;
}

ColorValue HexToColor(const std::string& text) {
    std::string digits = HexDigitsOnly(text);
    int32_t v = 0;
    if (!TryStrToInt("$" + digits, v))
        throw EConvertError(Fmt(Messages::tr("'%s' is not a valid integer value"), "$" + digits));
    uint32_t u = uint32_t(v);
    return ColorValue{uint8_t(u >> 16), uint8_t(u >> 8), uint8_t(u)};
}

std::string ColorToHex(ColorValue c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X%02X%02X", c.r, c.g, c.b);
    return buf;
}

const char* const DefaultSizes[16] = {"8",  "9",  "10", "11", "12", "14", "16", "18",
                                      "20", "22", "24", "26", "28", "36", "48", "72"};

void InsertSizeAscending(std::vector<std::string>& sizes, int size) {
    for (size_t i = 0; i < sizes.size(); ++i) {
        int v = std::atoi(sizes[i].c_str());
        if (v == size) return;
        if (v > size) {
            sizes.insert(sizes.begin() + long(i), std::to_string(size));
            return;
        }
    }
    sizes.push_back(std::to_string(size));
}

int PointSizeOf(int cellHeight, int internalLeading, int pixelsPerInch) {
    if (pixelsPerInch <= 0) return 0;
    return int(std::nearbyint(double(cellHeight - internalLeading) * 72.0 / pixelsPerInch));
}

std::vector<std::string> PrepareFaceList(const std::vector<std::string>& families) {
    std::vector<std::string> out;
    for (std::string f : families) {
        // "Family [Foundry]": the family alone.
        if (f.size() > 3 && f.back() == ']')
            if (size_t open = f.rfind(" ["); open != std::string::npos) f.erase(open);
        if (f.empty() || f == "Default") continue;
        out.push_back(std::move(f));
    }
    std::stable_sort(out.begin(), out.end(), [](const std::string& a, const std::string& b) {
        return LowerAscii(a) < LowerAscii(b);
    });
    out.erase(std::unique(out.begin(), out.end(),
                          [](const std::string& a, const std::string& b) {
                              return LowerAscii(a) == LowerAscii(b);
                          }),
              out.end());
    return out;
}

const StylePreset StylePresets[3] = {
    {TRANSLATABLE("Messages", "Day"), "1A1A1A", "8A2BB0", "FFFFFF"},
    {TRANSLATABLE("Messages", "Sepia"), "5B4636", "8B4513", "F4ECD8"},
    {TRANSLATABLE("Messages", "Night"), "C8C8C8", "9DB7E8", "121212"},
};
