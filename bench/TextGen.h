// Generates realistic book texts for the benchmarks: lines of about 70 bytes,
// paragraphs of a few lines with 2-space indents, some dialogue dashes, chapter
// titles; Latin or windows-1251 letters.
#pragma once

#include <cstdint>
#include <random>
#include <string>

inline std::string GenerateText(uint64_t bytes, bool cyrillic, uint32_t seed = 1) {
    std::mt19937 rng(seed);
    auto word = [&](std::string& out) {
        int len = 2 + int(rng() % 8);
        for (int i = 0; i < len; ++i)
            out += cyrillic ? char(0xE0 + rng() % 32) : char('a' + rng() % 26);
    };
    std::string text;
    text.reserve(bytes + 200);
    if (cyrillic) text += "  \xC3\xEB\xE0\xE2\xE0 \xE1\xFB\xEB\xEE \xEF\xE5\xF0\xE2\xE0\xFF\r\n";
    int para = 0;
    while (text.size() < bytes) {
        ++para;
        if (para % 40 == 1) text += "          Chapter " + std::to_string(para / 40 + 1) + "\r\n";
        int lines = 1 + int(rng() % 5);
        bool dialogue = rng() % 5 == 0;
        for (int l = 0; l < lines; ++l) {
            std::string line = l == 0 ? (dialogue ? "  - " : "  ") : "";
            while (line.size() < 64) {
                word(line);
                line += rng() % 9 == 0 ? ", " : " ";
            }
            line += rng() % 7 == 0 ? "word-" : "end.";
            text += line;
            text += "\r\n";
        }
    }
    return text;
}
