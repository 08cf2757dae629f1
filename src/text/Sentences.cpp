#include "text/Sentences.h"

#include <algorithm>
#include <iterator>

#include "text/Charsets.h"

namespace {

struct SentenceChar {
    char32_t c;
    size_t at, end;  // its bytes in the text
};

bool IsSpace(char32_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0xA0;
}
bool IsDash(char32_t c) {
    return c == '-' || c == 0x2013 || c == 0x2014 || c == 0x2012;
}
bool IsClosing(char32_t c) {
    return c == '"' || c == '\'' || c == ')' || c == ']' || c == 0xBB || c == 0x201D ||
           c == 0x2019 || c == 0x201C;
}
bool IsOpening(char32_t c) {
    return c == '"' || c == '\'' || c == '(' || c == '[' || c == 0xAB || c == 0x201C ||
           c == 0x201E || c == 0x2018;
}
bool IsDigit(char32_t c) {
    return c >= '0' && c <= '9';
}

// Words that end in a point without ending a sentence (lower case, no point).
bool IsAbbreviation(const std::u32string& w) {
    static const std::u32string_view words[] = {
        // Russian
        U"т", U"е", U"д", U"п", U"пр", U"др", U"см", U"ср", U"стр", U"гл", U"г", U"гг", U"в", U"вв",
        U"им", U"ул", U"пер", U"кв", U"тыс", U"млн", U"млрд", U"руб", U"коп", U"проф", U"акад",
        U"доц", U"напр", U"англ", U"лат", U"франц", U"нем", U"ок", U"около", U"рис", U"табл",
        U"изд", U"ред", U"т.е", U"т.к", U"т.п", U"т.д", U"н.э", U"св",
        // English
        U"mr", U"mrs", U"ms", U"dr", U"st", U"jr", U"sr", U"prof", U"vs", U"etc", U"e.g", U"i.e",
        U"no", U"vol"};
    return !w.empty() && std::find(std::begin(words), std::end(words), w) != std::end(words);
}

// Adds the characters [from, to) of cs as a sentence, cut into pieces of at
// most maxChars characters at the last comma, semicolon, colon or dash, else at
// the last space, else anywhere.
void AddSentence(std::string_view text, const std::vector<SentenceChar>& cs, size_t from, size_t to,
                 size_t maxChars, std::vector<std::string>& out) {
    while (from < to && IsSpace(cs[from].c)) ++from;
    while (to > from && IsSpace(cs[to - 1].c)) --to;
    while (to - from > maxChars) {
        size_t cut = 0, space = 0;
        for (size_t k = from + maxChars / 3; k < from + maxChars; ++k) {
            const char32_t c = cs[k].c;
            if ((c == ',' || c == ';' || c == ':' || IsDash(c)) && IsSpace(cs[k + 1].c))
                cut = k + 1;
            else if (IsSpace(c))
                space = k;
        }
        if (!cut) cut = space ? space : from + maxChars;
        size_t end = cut;
        while (end > from && IsSpace(cs[end - 1].c)) --end;
        out.emplace_back(text.substr(cs[from].at, cs[end - 1].end - cs[from].at));
        from = cut;
        while (from < to && IsSpace(cs[from].c)) ++from;
    }
    if (to > from) out.emplace_back(text.substr(cs[from].at, cs[to - 1].end - cs[from].at));
}

bool EndsSentence(char32_t c) {
    return c == '.' || c == '!' || c == '?' || c == 0x2026;
}

// Whether what follows at next begins a sentence: a capital, a digit, an
// opening quote, or a dash that begins a reply (a dash before a small letter
// goes on with the author's words: "— Куда? — спросил он").
bool BeginsSentence(const std::vector<SentenceChar>& cs, size_t next) {
    char32_t first = cs[next].c;
    if (IsDash(first)) {
        size_t k = next;
        while (k + 1 < cs.size() && (IsDash(cs[k + 1].c) || IsSpace(cs[k + 1].c))) ++k;
        first = k + 1 < cs.size() ? cs[k + 1].c : 0;
    }
    return IsUpper(first) || IsDigit(first) || IsOpening(first);
}

// The word before the point at i: an initial ("A. S. Pushkin") or an
// abbreviation ("т. е.", "Mr.") ends nothing.
bool EndsNothing(const std::vector<SentenceChar>& cs, size_t start, size_t i) {
    size_t w = i;
    while (w > start && (IsLetter(cs[w - 1].c) || cs[w - 1].c == '.')) --w;
    std::u32string word;
    for (size_t m = w; m < i; ++m) word += ToLower(cs[m].c);
    const bool initial = i - w == 1 && IsUpper(cs[w].c);
    return initial || IsAbbreviation(word);
}

}  // namespace

std::vector<std::string> SplitSentences(std::string_view text, size_t maxChars) {
    std::vector<SentenceChar> cs;
    for (size_t i = 0; i < text.size();) {
        const size_t at = i;
        const char32_t c = DecodeChar(text, i, CodePage::Utf8);
        cs.push_back({c, at, i});
    }
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t i = 0; i < cs.size(); ++i) {
        const char32_t c = cs[i].c;
        if (!EndsSentence(c)) continue;
        // The whole run of marks ("?!", "...") and the quotes and brackets closing after it.
        size_t j = i;
        while (j + 1 < cs.size() && EndsSentence(cs[j + 1].c)) ++j;
        const bool onePoint = j == i && c == '.';
        while (j + 1 < cs.size() && IsClosing(cs[j + 1].c)) ++j;
        size_t next = j + 1;
        if (next < cs.size() && !IsSpace(cs[next].c)) {
            i = j;
            continue;  // "3.14", "т.е.", "word.word"
        }
        while (next < cs.size() && IsSpace(cs[next].c)) ++next;
        if (next == cs.size()) break;  // the paragraph's end ends it anyway
        if (!BeginsSentence(cs, next) || (onePoint && EndsNothing(cs, start, i))) {
            i = j;
            continue;
        }
        AddSentence(text, cs, start, j + 1, maxChars, out);
        start = next;
        i = next - 1;
    }
    AddSentence(text, cs, start, cs.size(), maxChars, out);
    return out;
}
