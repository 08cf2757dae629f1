#include "unitHeadings.h"

#include <vector>

#include "unitCodePages.h"

namespace {

struct TWord {
    const char* text;  // folded (lower case), UTF-8
    THeadingKind kind;
    bool alone;  // a heading by itself, without a number after it
};

const TWord Keywords[] = {
    {"book", THeadingKind::Part, false},          {"part", THeadingKind::Part, false},
    {"volume", THeadingKind::Part, false},        {"книга", THeadingKind::Part, false},
    {"часть", THeadingKind::Part, false},         {"том", THeadingKind::Part, false},
    {"chapter", THeadingKind::Chapter, false},    {"глава", THeadingKind::Chapter, false},
    {"act", THeadingKind::Chapter, false},        {"действие", THeadingKind::Chapter, false},
    {"prologue", THeadingKind::Chapter, true},    {"epilogue", THeadingKind::Chapter, true},
    {"preface", THeadingKind::Chapter, true},     {"contents", THeadingKind::Chapter, true},
    {"пролог", THeadingKind::Chapter, true},      {"эпилог", THeadingKind::Chapter, true},
    {"предисловие", THeadingKind::Chapter, true}, {"оглавление", THeadingKind::Chapter, true},
    {"содержание", THeadingKind::Chapter, true},  {"вступление", THeadingKind::Chapter, true},
    {"послесловие", THeadingKind::Chapter, true}, {"introduction", THeadingKind::Chapter, true},
    {"scene", THeadingKind::Scene, false},        {"явление", THeadingKind::Scene, false},
};

const char* const NumberWords[] = {
    "one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "ten", "eleven",
    "twelve", "thirteen", "fourteen", "fifteen", "sixteen", "seventeen", "eighteen", "nineteen",
    "twenty", "first", "second", "third", "fourth", "fifth", "sixth", "seventh", "eighth", "ninth",
    "tenth", "eleventh", "twelfth", "last", "final",
    // Russian ordinals in the genders headings take (глава первая, том первый,
    // действие первое) and the cardinals.
    "перв", "втор", "трет", "четверт", "пят", "шест", "седьм", "восьм", "девят", "десят",
    "одиннадцат", "двенадцат", "последн", "один", "два", "три", "четыре", "пять", "шесть", "семь",
    "восемь", "девять", "десять"};

bool IsSpace(char32_t c) {
    return c == ' ' || c == '\t' || c == 0xA0 || c == 0x2002 || c == 0x2003 || c == 0x2009 ||
           c == 0x202F;
}

bool IsWordChar(char32_t c) {
    return IsLetter(c) || (c >= '0' && c <= '9');
}

std::vector<std::u32string> Words(std::string_view utf8) {
    std::vector<std::u32string> words;
    std::u32string w;
    for (size_t i = 0; i < utf8.size();) {
        char32_t c = FoldCase(DecodeChar(utf8, i, TCodePage::Utf8));
        if (IsWordChar(c)) {
            w += c;
        } else if (!w.empty()) {
            words.push_back(w);
            w.clear();
        }
    }
    if (!w.empty()) words.push_back(w);
    return words;
}

std::u32string Decode(const char* utf8) {
    std::u32string out;
    std::string_view s(utf8);
    for (size_t i = 0; i < s.size();) out += DecodeChar(s, i, TCodePage::Utf8);
    return out;
}

int RomanValue(char32_t c) {
    switch (c) {
        case 'i':
            return 1;
        case 'v':
            return 5;
        case 'x':
            return 10;
        case 'l':
            return 50;
        case 'c':
            return 100;
        case 'd':
            return 500;
        case 'm':
            return 1000;
        default:
            return 0;
    }
}

// A roman numeral (folded) written the canonical way, 1 to 3999.
bool IsRoman(const std::u32string& w) {
    if (w.empty() || w.size() > 15) return false;
    int value = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        int v = RomanValue(w[i]);
        if (!v) return false;
        int next = i + 1 < w.size() ? RomanValue(w[i + 1]) : 0;
        value += v < next ? -v : v;
    }
    if (value < 1 || value > 3999) return false;
    static const int values[] = {1000, 900, 500, 400, 100, 90, 50, 40, 10, 9, 5, 4, 1};
    static const char* const marks[] = {"m",  "cm", "d",  "cd", "c",  "xc", "l",
                                        "xl", "x",  "ix", "v",  "iv", "i"};
    std::u32string canonical;
    for (int k = 0; k < 13; ++k)
        for (; value >= values[k]; value -= values[k])
            for (const char* m = marks[k]; *m; ++m) canonical += char32_t(*m);
    return canonical == w;
}

bool IsNumber(const std::u32string& w) {
    if (w.empty() || w.size() > 4) return false;
    for (char32_t c : w)
        if (c < '0' || c > '9') return false;
    return true;
}

bool IsNumberWord(const std::u32string& w) {
    for (const char* n : NumberWords) {
        std::u32string d = Decode(n);
        // Russian ordinals are matched by their stem (первая, первый, первое).
        const bool stem = static_cast<unsigned char>(n[0]) >= 0x80 && d.size() >= 3 &&
                          std::string_view(n) != "один" && std::string_view(n) != "два" &&
                          std::string_view(n) != "три";
        if (stem ? w.compare(0, d.size(), d) == 0 && w.size() <= d.size() + 3 : w == d) return true;
    }
    return false;
}

}  // namespace

bool IsSeparator(std::string_view utf8) {
    bool any = false;
    for (size_t i = 0; i < utf8.size();) {
        char32_t c = DecodeChar(utf8, i, TCodePage::Utf8);
        if (IsWordChar(c)) return false;
        any = any || !IsSpace(c);
    }
    return any;
}

THeadingKind ClassifyHeading(std::string_view utf8) {
    if (CharCount(utf8, TCodePage::Utf8) > MaxHeadingChars || IsSeparator(utf8))
        return THeadingKind::None;
    const std::vector<std::u32string> words = Words(utf8);
    if (words.empty()) return THeadingKind::None;
    // A roman numeral or a number, alone (a point after it allowed).
    if (words.size() == 1 && (IsRoman(words[0]) || IsNumber(words[0])))
        return THeadingKind::Numeral;
    for (const TWord& k : Keywords) {
        if (words[0] != Decode(k.text)) continue;
        if (words.size() == 1) return k.alone ? k.kind : THeadingKind::None;
        const std::u32string& n = words[1];
        if (IsRoman(n) || IsNumber(n) || IsNumberWord(n)) return k.kind;
        return THeadingKind::None;
    }
    // "Действующие лица", "Dramatis personae": the cast of a play.
    if (words.size() == 2 && ((words[0] == Decode("действующие") && words[1] == Decode("лица")) ||
                              (words[0] == Decode("dramatis") && words[1] == Decode("personae"))))
        return THeadingKind::Chapter;
    return THeadingKind::None;
}
