// Values behind the style dialog and the font pickers that need no window:
// colour texts, point-size lists and face lists.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ColorValue {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const ColorValue&) const = default;
};

// Keeps "0"-"9", "A"-"F", "a"-"f" in order and drops everything else.
std::string HexDigitsOnly(const std::string& text);
// Reads the hex digits of text as one number (at most 32 bits) and takes its low
// 24 bits as RRGGBB. Raises "'$%s' is not a valid integer value" when there is
// no digit or the number is too large.
ColorValue HexToColor(const std::string& text);
// Six upper-case hex digits RRGGBB.
std::string ColorToHex(ColorValue c);

// The sixteen sizes offered for a TrueType face.
extern const char* const DefaultSizes[16];
// Inserts size into an ascending list of decimal texts unless it is there already.
void InsertSizeAscending(std::vector<std::string>& sizes, int size);
// (cell height - internal leading) * 72 / pixels per inch, halves to even.
int PointSizeOf(int cellHeight, int internalLeading, int pixelsPerInch);

// The face list as the picker shows it: each family once, without the foundry
// the platform appends when two foundries make it ("C059 [urw]"), "Default"
// removed, sorted without regard to case.
std::vector<std::string> PrepareFaceList(const std::vector<std::string>& families);

// The colour presets of the style dialog: text, titles, background.
struct StylePreset {
    const char* Name;
    const char* NormColor;
    const char* TitlColor;
    const char* BgColor;
};
extern const StylePreset StylePresets[3];
