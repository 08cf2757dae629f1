#include "convert/TextAnalysis.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "base/Files.h"
#include "convert/Headings.h"
#include "convert/Paragraphs.h"
#include "text/Charsets.h"

const char* const ProbeWords[10] = {
    "\xF7\xE5\xEB\xEE\xE2\xE5\xEA",  // chelovek
    "\xEC\xEE\xE6\xED\xEE",          // mozhno
    "\xED\xF3\xE6\xED\xEE",          // nuzhno
    "\xE1\xF3\xE4\xE5\xF2",          // budet
    "\xE7\xE4\xE5\xF1\xFC",          // zdes'
    "\xED\xE0\xE4\xEE",              // nado
    "\xE1\xE5\xE4\xED\xEE",          // bedno
    "\xF1\xF2\xF0\xE0\xED\xED\xEE",  // stranno
    "\xE2\xE8\xE4\xED\xEE",          // vidno
    "\xE1\xFB\xEB\xEE",              // bylo
};

int64_t RoundHalfEvenDiv(uint64_t sum, uint64_t count) {
    uint64_t q = sum / count, r = sum % count;
    if (2 * r > count || (2 * r == count && (q & 1))) ++q;
    return int64_t(q);
}

bool LooksLikeUtf8(std::string_view s, bool cutAtEnd, bool tolerant) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    size_t n = s.size();
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) return true;
    uint64_t multi = 0, bad = 0;
    size_t i = 0;
    while (i < n) {
        unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len = 0;
        unsigned lo = 0x80, hi = 0xBF;  // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0) lo = 0xA0;  // no overlong forms
            if (c == 0xED) hi = 0x9F;  // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
        }
        bool valid = len > 0;
        for (size_t k = 1; valid && k < len; ++k) {
            if (i + k >= n) {
                if (cutAtEnd) return bad * 1000 <= multi;
                valid = false;
                break;
            }
            unsigned b = p[i + k];
            if (k == 1 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF)) valid = false;
        }
        if (!valid) {
            // A stray byte: the view shows it as U+FFFD in a text that is UTF-8 otherwise.
            if (!tolerant) return false;
            ++bad;
            ++i;
            continue;
        }
        ++multi;
        i += len;
    }
    return multi > 0 && bad * 1000 <= multi;
}

static bool IsDelimiter(unsigned char c) {
    return c == ' ' || c == ',' || c == '-' || c == '.' || c == ';';
}

namespace {

// How a sample reads as Russian in a single-byte code page, by its bytes above
// ASCII: its score counts frequent lower-case letters most and capitals
// nothing; garbage counts the characters no Russian text is written with (box
// drawing, letters of other alphabets, odd symbols).
struct RussianReading {
    int64_t score = 0;
    uint64_t garbage = 0;
};

RussianReading ReadAsRussian(std::string_view sample, CodePage cp) {
    static const std::u32string_view frequent = U"оеаинтсрвлкмдпу", neutral = U"\u00A0«»–—…„“”№’";
    int weight[256] = {};
    for (int b = 0x80; b < 0x100; ++b) {
        const char ch = char(b);
        size_t i = 0;
        const char32_t c = DecodeChar(std::string_view(&ch, 1), i, cp);
        if (frequent.find(c) != std::u32string_view::npos)
            weight[b] = 2;
        else if ((c >= 0x0430 && c <= 0x044F) || c == 0x0451)
            weight[b] = 1;
        else if ((c >= 0x0410 && c <= 0x042F) || c == 0x0401 || neutral.find(c) != neutral.npos)
            weight[b] = 0;
        else
            weight[b] = -1;
    }
    RussianReading r;
    for (unsigned char c : sample) {
        if (weight[c] < 0)
            ++r.garbage;
        else
            r.score += weight[c];
    }
    return r;
}

}  // namespace

bool SentenceGoesOn(std::string_view before, std::string_view after, CodePage cp,
                    std::string& utf8) {
    size_t at = after.find_first_not_of(" \t");
    return at != std::string_view::npos && !EndsSentence(AsUtf8(before, cp, utf8)) &&
           IsLower(DecodeChar(after, at, cp));
}

bool DoubleSpaced(const LineList& lines, CodePage cp) {
    size_t text = 0, together = 0, apart = 0, goesOn = 0;
    std::string utf8;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (BlankLine(lines[i])) continue;
        ++text;
        if (i + 1 < lines.size() && !BlankLine(lines[i + 1])) ++together;
        if (i + 2 < lines.size() && BlankLine(lines[i + 1]) && !BlankLine(lines[i + 2])) {
            ++apart;
            // A sentence that goes on past the blank line.
            goesOn += SentenceGoesOn(lines[i], lines[i + 2], cp, utf8);
        }
    }
    return text >= 30 && together * 10 <= text && apart * 10 >= text * 6 &&
           goesOn * 10 >= apart * 3;
}

std::string NumberForm(std::string_view line, CodePage cp, int64_t& value) {
    const std::string_view t = TrimBlanks(line, cp);
    if (t.empty() || t.size() > 16) return {};
    std::string form;
    value = -1;
    for (size_t i = 0; i < t.size();) {
        if (t[i] >= '0' && t[i] <= '9') {
            if (value >= 0) return {};  // one number only
            value = 0;
            for (; i < t.size() && t[i] >= '0' && t[i] <= '9' && value < 100000; ++i)
                value = value * 10 + (t[i] - '0');
            form += '#';
            continue;
        }
        const size_t at = i;
        const char32_t c = DecodeChar(t, i, cp);
        if (IsLetter(c) || c == '&') return {};
        form.append(t, at, i - at);
    }
    return value >= 0 ? form : std::string();
}

std::string HeadText(std::string_view line, CodePage cp, bool* numbered) {
    const std::string_view t = TrimBlanks(line, cp);
    if (t.empty() || t.size() > 100) return {};
    struct Word {
        size_t at = 0, end = 0;
        bool letter = false, digit = false;
        char32_t first = 0;  // its first letter
    };
    std::vector<Word> words;
    for (size_t i = 0; i < t.size();) {
        const size_t at = i;
        const char32_t c = DecodeChar(t, i, cp);
        if (c == ' ' || c == '\t' || c == 0xA0) continue;
        if (words.empty() || words.back().end < at) words.push_back({at, at});
        Word& w = words.back();
        w.end = i;
        w.digit = w.digit || (c >= '0' && c <= '9');
        if (!w.letter && IsLetter(c)) w.first = c;
        w.letter = w.letter || IsLetter(c);
    }
    // A page number at either end ("12", "- 12 -"): words without a letter,
    // one with a digit.
    size_t from = 0, to = words.size();
    bool digit = false;
    while (from < to && !words[from].letter) digit = words[from++].digit || digit;
    if (!digit) from = 0;
    digit = false;
    size_t end = to;
    while (end > from && !words[end - 1].letter) digit = words[--end].digit || digit;
    if (digit) to = end;
    if (numbered) *numbered = from > 0 || to < words.size();
    auto firstLetter = std::find_if(words.begin() + from, words.begin() + to,
                                    [](const Word& w) { return w.letter; });
    if (from == to || firstLetter == words.begin() + to || IsLower(firstLetter->first)) return {};
    std::string text;
    for (size_t k = from; k < to; ++k)
        text.append(k > from ? " " : "").append(t, words[k].at, words[k].end - words[k].at);
    return text;
}

namespace {

// The neighbours of line i with text, past blank lines and those skipped:
// the indexes of the one before and the one after (lines.size() for none).
// A page's number and heads stand within a few lines of its text: no further
// is looked.
template <class Skip>
std::pair<size_t, size_t> Neighbours(const LineList& lines, size_t i, const Skip& skip) {
    constexpr size_t Furthest = 16;
    auto passed = [&](size_t k) { return BlankLine(lines[k]) || skip(k); };
    size_t before = i, after = i + 1;
    while (before > 0 && i - before < Furthest && passed(before - 1)) --before;
    while (after < lines.size() && after - i <= Furthest && passed(after)) ++after;
    if (before > 0 && passed(before - 1)) before = 0;
    if (after < lines.size() && passed(after)) after = lines.size();
    return {before == 0 ? lines.size() : before - 1, after};
}

// The blank lines right before and after line i.
std::pair<size_t, size_t> BlanksAround(const LineList& lines, size_t i) {
    size_t before = 0, after = 0;
    while (before < i && BlankLine(lines[i - 1 - before])) ++before;
    while (i + 1 + after < lines.size() && BlankLine(lines[i + 1 + after])) ++after;
    return {before, after};
}

}  // namespace

RunningHeads FindRunningHeads(const LineList& lines, CodePage cp) {
    // The lines each short text stands at, of those said four times at least.
    std::map<std::string, std::vector<size_t>> said;
    std::vector<std::string> texts(lines.size());
    for (size_t i = 0; i < lines.size(); ++i)
        if (!BlankLine(lines[i]) && lines[i].size() <= 160)
            said[texts[i] = HeadText(lines[i], cp)].push_back(i);
    said.erase(std::string());
    std::erase_if(said, [](const auto& s) { return s.second.size() < 4; });
    auto skip = [&](size_t k) {
        int64_t value = 0;
        return said.count(texts[k]) > 0 || !NumberForm(lines[k], cp, value).empty();
    };
    RunningHeads heads;
    heads.BlanksBefore = heads.BlanksAfter = SIZE_MAX;
    std::string utf8;
    for (const auto& [text, at] : said) {
        // A page or more apart, as most of the times it is said are.
        std::vector<size_t> gaps;
        for (size_t k = 1; k < at.size(); ++k) gaps.push_back(at[k] - at[k - 1]);
        std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
        if (gaps[gaps.size() / 2] < 20) continue;
        size_t breaking = 0, before = SIZE_MAX, after = SIZE_MAX;
        for (const size_t i : at) {
            const auto [b, a] = Neighbours(lines, i, skip);
            if (b == lines.size() || a == lines.size()) continue;
            if (!SentenceGoesOn(lines[b], lines[a], cp, utf8)) continue;
            // (Around those that are heads for sure: not a title said first.)
            ++breaking;
            const auto [blanksBefore, blanksAfter] = BlanksAround(lines, i);
            before = std::min(before, blanksBefore);
            after = std::min(after, blanksAfter);
        }
        if (breaking * 3 < at.size()) continue;
        heads.Texts.push_back(text);
        heads.BlanksBefore = std::min(heads.BlanksBefore, before);
        heads.BlanksAfter = std::min(heads.BlanksAfter, after);
    }
    if (heads.Texts.empty()) return {};
    return heads;
}

PageNumbers FindPageNumbers(const LineList& lines, CodePage cp, const RunningHeads& heads) {
    struct Seen {
        int64_t first = -1, last = -1;
        size_t numbers = 0, onByOne = 0, breaking = 0;
        size_t before = SIZE_MAX, after = SIZE_MAX;  // the fewest blank lines around one
    };
    std::map<std::string, Seen> forms;
    std::string utf8;
    auto isHead = [&](size_t k) {
        return !heads.Texts.empty() && lines[k].size() <= 160 &&
               std::find(heads.Texts.begin(), heads.Texts.end(), HeadText(lines[k], cp)) !=
                   heads.Texts.end();
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        int64_t value = 0;
        const std::string form = NumberForm(lines[i], cp, value);
        if (form.empty()) continue;
        Seen& s = forms[form];
        const bool onByOne = s.numbers > 0 && value == s.last + 1;
        s.onByOne += onByOne;
        if (s.numbers++ == 0) s.first = value;
        s.last = value;
        const auto [before, after] = Neighbours(lines, i, isHead);
        if (before == lines.size() || after == lines.size()) continue;
        // (Around the pages' numbers, not a note's "1".)
        const auto [blanksBefore, blanksAfter] = BlanksAround(lines, i);
        if (onByOne) {
            s.before = std::min(s.before, blanksBefore);
            s.after = std::min(s.after, blanksAfter);
        }
        s.breaking += SentenceGoesOn(lines[before], lines[after], cp, utf8);
    }
    // (Counted as the layout counts lengths: 9 lines in 10 no longer.)
    std::vector<uint64_t> lengths(201);
    uint64_t measured = 0;
    for (const auto& line : lines)
        if (!BlankLine(line)) {
            ++lengths[std::min<size_t>(CharCount(line, cp), 200)];
            ++measured;
        }
    const size_t width = LengthReachedBy(lengths, measured, 90);
    for (const auto& [form, s] : forms)
        if (s.numbers >= 4 && s.onByOne * 4 >= (s.numbers - 1) * 3 && s.breaking * 3 >= s.numbers)
            return {form, s.first, s.before, s.after, width};
    return {{}, 0, 0, 0, width};
}

std::string TextLanguage(const LineList& lines, CodePage cp) {
    uint64_t cyrillic = 0, latin = 0;
    for (const auto& l : lines) {
        for (size_t i = 0; i < l.size();) {
            const char32_t c = DecodeChar(l, i, cp);
            if (c < 0x80) {
                latin += (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
            } else if (IsLetter(c)) {
                if (c >= 0x400 && c < 0x530)
                    ++cyrillic;
                else
                    ++latin;
            }
        }
    }
    if (cyrillic == 0 && latin == 0) return "";
    return cyrillic >= latin ? "ru" : "en";
}

std::string AnalyzeCharset(const LineList& lines) {
    std::string sample;
    sample.reserve(CharsetSampleSize + 2);
    for (const auto& l : lines) {
        if (sample.size() >= CharsetSampleSize) break;
        sample += l;
        sample += "\r\n";
    }
    bool cut = sample.size() > CharsetSampleSize;
    if (cut) sample.resize(CharsetSampleSize);

    // Most texts written today are UTF-8; their bytes decode as nothing else.
    if (LooksLikeUtf8(sample, cut, true)) return "UTF-8";

    uint64_t sum = 0, count = 0;
    for (unsigned char c : sample) {
        if (c > 0x41) {
            sum += c;
            ++count;
        }
    }
    // A sample without letters has no average; it is taken as Western text.
    if (count == 0) return "Windows-1252";
    if (RoundHalfEvenDiv(sum, count) < 128) return "Windows-1252";

    bool found = false;
    for (const char* word : ProbeWords) {
        std::string_view w(word);
        size_t at = sample.find(w);
        if (at == std::string::npos || at <= 1) continue;
        size_t after = at + w.size();
        if (after >= sample.size()) continue;
        if (IsDelimiter((unsigned char)sample[at - 1]) && IsDelimiter((unsigned char)sample[after]))
            found = true;
    }
    const std::string rule = found ? "windows-1251" : "cp866";
    // Where the rule's page reads as garbage (a tenth of the letters or more)
    // and another reads as Russian, the letters decide: a short text without a
    // probe word, and KOI8-R, which the rule does not know. A sample of a few
    // letters is left to the rule.
    uint64_t high = 0;
    for (unsigned char c : sample) high += c >= 0x80;
    if (high < 64) return rule;
    const std::pair<const char*, CodePage> pages[] = {{"cp866", CodePage::Cp866},
                                                      {"windows-1251", CodePage::Win1251},
                                                      {"KOI8-R", CodePage::Koi8r}};
    if (ReadAsRussian(sample, CodePageOf(rule)).garbage * 10 < high) return rule;
    const char* best = nullptr;
    int64_t bestScore = 0;
    for (const auto& [name, cp] : pages) {
        const RussianReading r = ReadAsRussian(sample, cp);
        if (r.garbage * 33 < high && (!best || r.score > bestScore)) {
            best = name;
            bestScore = r.score;
        }
    }
    if (best) return best;
    return rule;
}

void FindContents(BookFile& book) {
    const std::string layout = book.GetProperty("Layout");
    HeadingFinder finder(book.GetProperty("Charset"), layout == "lines" || layout == "verse");
    book.ForEachLine([&](std::string_view line) { finder.Add(line); });
    finder.Finish();
    book.Contents = ContentsLines(finder.Headings());
    book.SetProperty("Headings", IntToStr(int64_t(finder.Headings().size())));
}

bool EnsureContents(BookFile& book) {
    if (!book.GetProperty("Headings").empty()) return false;
    FindContents(book);
    return true;
}

std::string BookBaseName(const std::string& sourcePath) {
    std::string name = ControlsToSpaces(sourcePath.substr(sourcePath.rfind('/') + 1));
    size_t dot = name.rfind('.');
    std::string base = dot == std::string::npos ? name : name.substr(0, dot);
    // A text named ".txt" or "...txt" must not make a hidden book.
    base.erase(0, base.find_first_not_of('.'));
    return base.empty() ? "book" : base;
}

std::string ChooseBookFileName(const std::string& sourcePath, const std::string& booksFolder) {
    const std::string base = BookBaseName(sourcePath);
    std::string candidate = base + ".tvst";
    // A name is taken by anything that stands there, a folder included.
    if (!PathTaken(booksFolder + candidate)) return candidate;
    for (uint64_t i = 1;; ++i) {
        candidate = base + "(" + IntToStr(int64_t(i)) + ").tvst";
        if (!PathTaken(booksFolder + candidate)) return candidate;
    }
}

bool LooksBinary(std::string_view sample) {
    size_t bad = 0;
    for (char ch : sample) {
        unsigned char c = (unsigned char)ch;
        if (c < 0x20 && c != '\t' && c != '\r' && c != '\n' && c != '\f') ++bad;
    }
    return bad * 100 > sample.size();
}

namespace {

// A line's text without its surrounding blanks (no-break spaces included) and
// with the conversion's escapes undone.
std::string PlainText(std::string_view line, CodePage cp) {
    std::string out;
    AppendShownText(out, TrimBlanks(line, cp));
    return out;
}

}  // namespace

// A person's name: two to four words, each beginning with a capital (an
// initial with its point is a word: "А. П. Чехов", "Чехов А. П."), none of
// them a title's little word ("The Quiet Room" is no one's name) and no
// point but an initial's.
bool NameLike(std::string_view utf8) {
    int words = 0;
    bool wordStart = true;
    size_t from = 0;  // where the word begins
    // A title's little word, or a word ended by a point that is no initial
    // ("Брюсов. Бемоль" is a name and a title). (Folding keeps a point, the
    // number of characters, and turns no other letter into a Latin one.)
    auto little = [&](size_t to) {
        static const char* const titleWords[] = {"the", "a", "an", "of", "and", "in", "on"};
        const std::string_view word = utf8.substr(from, to - from);
        if (word.back() == '.' && CharCount(word, CodePage::Utf8) > 2) return true;
        return std::any_of(std::begin(titleWords), std::end(titleWords),
                           [&](const char* w) { return SameText(word, w); });
    };
    bool smallLetters = false;  // in the word so far
    for (size_t i = 0; i < utf8.size();) {
        const size_t at = i;
        const char32_t c = DecodeChar(utf8, i, CodePage::Utf8);
        smallLetters = smallLetters || IsLower(c);
        // (A surname first, as a catalogue writes it: "Горький, Максим"; in
        // capitals it is a title's: "МОРОЗ, КРАСНЫЙ НОС".)
        if (c == ',' && words == 1 && !wordStart && i < utf8.size() && utf8[i] == ' ' &&
            smallLetters)
            continue;
        if (c == ' ' || c == 0xA0) {
            if (at > from && little(at)) return false;
            from = i;
            wordStart = true;
            continue;
        }
        if (wordStart) {
            if (!IsUpper(c)) return false;
            ++words;
            wordStart = false;
        } else if (!IsLetter(c) && c != '.' && c != '-' && c != '\'') {
            return false;
        } else if (c == '.' && i - from <= 3 && i < utf8.size() && utf8[i] != ' ') {
            // An initial with the next word right after its point: "М.Горький".
            from = i;
            wordStart = true;
        }
    }
    return words >= 2 && words <= 4 && !(utf8.size() > from && little(utf8.size()));
}

namespace {

// Whether a text's letters are all capitals.
bool AllCapitals(const std::string& utf8) {
    for (size_t i = 0; i < utf8.size();)
        if (IsLower(DecodeChar(utf8, i, CodePage::Utf8))) return false;
    return true;
}

// "LEO TOLSTOY" as "Leo Tolstoy", in the text's charset.
std::string WordsCapitalized(std::string_view text, CodePage cp) {
    std::string out;
    bool wordStart = true;
    for (size_t i = 0; i < text.size();) {
        const size_t at = i;
        char32_t c = DecodeChar(text, i, cp);
        const bool letter = IsLetter(c);
        if (letter && !wordStart) c = ToLower(c);
        wordStart = !letter && c != '\'';
        unsigned char byte = 0;
        if (cp == CodePage::Utf8)
            AppendUtf8(out, c);
        else if (EncodeChar(c, cp, byte))
            out += char(byte);
        else
            out.append(text, at, i - at);
    }
    return out;
}

}  // namespace

namespace {

// A Project Gutenberg header names both, and so does its first line: "The
// Project Gutenberg EBook of Title, by Author".
void FromGutenbergHeader(const LineList& lines, CodePage cp, std::string& title,
                         std::string& author) {
    for (size_t i = 0; i < lines.size() && i < 100; ++i) {
        if (lines[i].rfind("Title:", 0) == 0 && title.empty())
            title = PlainText(lines[i].substr(6), cp);
        if (lines[i].rfind("Author:", 0) == 0 && author.empty())
            author = PlainText(lines[i].substr(7), cp);
    }
    // So does its first line: "The Project Gutenberg EBook of Title, by Author".
    for (size_t i = 0; i < lines.size() && i < 20; ++i) {
        const std::string folded = LowerAscii(lines[i]);
        const size_t pg = folded.find("project gutenberg");
        const size_t of = pg == std::string::npos ? pg : folded.find(" of ", pg);
        if (of == std::string::npos) continue;
        std::string named = PlainText(lines[i].substr(of + 4), cp);
        while (!named.empty() && (named.back() == '*' || named.back() == ' ')) named.pop_back();
        const size_t by = named.rfind(", by ");
        if (author.empty() && by != std::string::npos) author = named.substr(by + 5);
        if (title.empty()) title = named.substr(0, by);
        break;
    }
}

// A line a publisher prints before a book's title: its catalogue numbers
// ("ББК 84Р7", "Г71 Детство: Повесть. — М., 1985"), "ISBN", "©", its name
// or its series ("Серия «Школьная библиотека»").
bool Imprint(std::string_view utf8) {
    if (utf8.find("\xC2\xA9") != std::string_view::npos) return true;
    const std::string first = FoldToUtf8(utf8.substr(0, utf8.find(' ')), CodePage::Utf8);
    for (const char* word : {"isbn", "удк", "ббк", "серия", "издательство"})
        if (first == word) return true;
    // A word of letters and figures together, as a catalogue writes its codes.
    bool letter = false, figure = false;
    for (size_t i = 0; i < utf8.size();) {
        const char32_t c = DecodeChar(utf8, i, CodePage::Utf8);
        if (c == ' ') {
            letter = figure = false;
            continue;
        }
        letter = letter || IsLetter(c);
        figure = figure || (c >= '0' && c <= '9');
        if (letter && figure) return true;
    }
    return false;
}

// The short lines that open a text before its first heading, its first
// paragraph of prose or its epigraph, each standing apart from what follows:
// the first words of a wrapped paragraph are none of them.
std::vector<std::string> OpeningLines(const LineList& lines, CodePage cp, const Layout& layout) {
    std::vector<std::string> top;
    for (size_t i = 0; i < lines.size() && i < 15 && top.size() < 4; ++i) {
        std::string t = PlainText(lines[i], cp);
        if (t.empty()) continue;
        if (CharCount(t, cp) > MaxHeadingChars) break;
        const std::string u = ToUtf8(t, cp);
        if (IsSeparator(u) || Imprint(u)) continue;  // a line under a title, a publisher's
        const LineShape shape = ShapeOf(u);
        if (shape.Numbered() || shape.Word != HeadingWord::None) break;
        // Apart: a blank line or the end after it, a line that begins a
        // paragraph, or, after a short line, one that begins as a line of its own does.
        size_t n = i + 1;
        bool apart = n >= lines.size() || PlainText(lines[n], cp).empty() ||
                     IsSeparator(ToUtf8(PlainText(lines[n], cp), cp));
        if (!apart) {
            const int next = EffectiveIndent(lines[n]);
            const std::string nextText = ToUtf8(PlainText(lines[n], cp), CodePage::Utf8);
            size_t k = 0;
            const char32_t first = DecodeChar(nextText, k, CodePage::Utf8);
            apart = layout.Kind == Layout::Lines || layout.Kind == Layout::Verse ||
                    (layout.Kind == Layout::Margin ? next > layout.MarginWidth : next > 1) ||
                    (CharCount(u, CodePage::Utf8) <= 50 && !IsLower(first));
        }
        if (!apart) break;
        top.push_back(std::move(t));
    }
    return top;
}

// "Author. Title" on one line: the longest start before a point that is a
// person's name.
bool SplitNameAndTitle(const std::string& line, CodePage cp, std::string& author,
                       std::string& title) {
    bool found = false;
    for (size_t dot = line.find(". "); dot != std::string::npos; dot = line.find(". ", dot + 1)) {
        const std::string name = line.substr(0, dot);
        std::string rest = line.substr(dot + 2);
        while (!rest.empty() && (rest.back() == '.' || rest.back() == ' ')) rest.pop_back();
        while (!rest.empty() && (rest.front() == '.' || rest.front() == ' ')) rest.erase(0, 1);
        if (CharCount(rest, cp) < 2 || !NameLike(ToUtf8(name, cp))) continue;
        // An initial keeps its point: "Чехов А. П.", "Чехов А.П.".
        const std::string last = name.substr(name.rfind(' ') + 1);
        const bool initial = CharCount(last, cp) == 1 || last.find('.') != std::string::npos;
        author = initial ? name + "." : name;
        title = rest;
        found = true;
    }
    return found;
}

// Whether a line names the author again: a word of the name's, its surname.
bool SameName(const std::string& line, const std::string& author, CodePage cp) {
    if (!NameLike(ToUtf8(line, cp))) return false;
    auto words = [cp](const std::string& s) {
        std::set<std::string> out;
        std::string word;
        const std::string folded = FoldToUtf8(s, cp) + " ";
        for (size_t i = 0; i < folded.size();) {
            const size_t at = i;
            if (IsLetter(DecodeChar(folded, i, CodePage::Utf8))) {
                word.append(folded, at, i - at);
            } else {
                if (CharCount(word, CodePage::Utf8) >= 3) out.insert(word);
                word.clear();
            }
        }
        return out;
    };
    const std::set<std::string> named = words(author);
    for (const std::string& w : words(line))
        if (named.count(w)) return true;
    return false;
}

// "Author — Title" or "Title — Author" on one line: the side that is a
// person's name is the author, the other a title (beginning with a capital).
bool SplitAtDash(const std::string& line, CodePage cp, std::string& author, std::string& title) {
    const std::string u = ToUtf8(line, cp);
    auto titled = [](const std::string& t) {
        size_t i = 0;
        return !t.empty() && IsUpper(DecodeChar(t, i, CodePage::Utf8));
    };
    for (const std::string_view dash : {" \xE2\x80\x94 ", " \xE2\x80\x93 ", " - "}) {
        const size_t at = u.find(dash);
        if (at == std::string::npos || u.find(dash, at + 1) != std::string::npos) continue;
        const std::string left = u.substr(0, at), right = u.substr(at + dash.size());
        const bool nameFirst = NameLike(left) && titled(right);
        if (!nameFirst && !(NameLike(right) && titled(left))) continue;
        // The two sides in the text's charset: a single-byte page's are as
        // many bytes as the UTF-8's characters.
        const size_t end = cp == CodePage::Utf8 ? at : CharCount(left, CodePage::Utf8);
        const size_t from = cp == CodePage::Utf8 ? at + dash.size() : end + 3;
        (nameFirst ? author : title) = line.substr(0, end);
        (nameFirst ? title : author) = line.substr(from);
        return true;
    }
    return false;
}

// Whether a line is a surname, its initials and a title after them
// ("Горький М. Детство", "Толстой Л. Н. Детство").
bool TitleAfterInitials(const std::string& line, CodePage cp) {
    std::string author, title;
    if (!SplitNameAndTitle(line, cp, author, title) || author.back() != '.') return false;
    const size_t space = author.find(' ');
    return space != std::string::npos && CharCount(author.substr(0, space), cp) >= 2 &&
           author[space - 1] != '.';
}

void FindTitleAndAuthorIn(const LineList& lines, CodePage cp, std::string& title,
                          std::string& author, const Layout& layout) {
    FromGutenbergHeader(lines, cp, title, author);
    if (!title.empty()) return;
    author.clear();
    std::vector<std::string> top = OpeningLines(lines, cp, layout);
    if (!top.empty() && SplitAtDash(top[0], cp, author, title)) return;
    // A line that ends a sentence is an epigraph's or the text's, not a title,
    // unless it names both ("Валерий Брюсов. Бемоль").
    for (size_t i = 0; i < top.size(); ++i) {
        if (!EndsSentence(top[i]) && top[i].find(". ") == std::string::npos) continue;
        // "Чехов А. П." is a name; "Горький М. Детство" a name and a title.
        if (NameLike(ToUtf8(top[i], cp)) && !(i == 0 && TitleAfterInitials(top[0], cp))) continue;
        if (i == 0 && SplitNameAndTitle(top[0], cp, author, title)) return;
        top.resize(i);
        break;
    }
    // "by Lewis Carroll", "BY LEO TOLSTOY": the author.
    long name = -1;
    for (size_t i = 0; i < top.size() && name < 0; ++i) {
        const std::string folded = FoldToUtf8(top[i].substr(0, 3), cp);
        if (folded == "by " && NameLike(ToUtf8(top[i].substr(3), cp))) {
            const std::string n = top[i].substr(3);
            author = AllCapitals(ToUtf8(n, cp)) ? WordsCapitalized(n, cp) : n;
            name = long(i);
        }
    }
    // A name in small letters before one in capitals (a title set so: "МЕДНЫЙ
    // ВСАДНИК"); a name in capitals when nothing else is one.
    for (int pass = 0; pass < 2 && name < 0; ++pass)
        for (size_t i = 0; i < top.size() && name < 0; ++i) {
            const std::string u = ToUtf8(top[i], cp);
            if (NameLike(u) && (pass == 1 || !AllCapitals(u)) && top.size() > 1) {
                author = top[i];
                name = long(i);
            }
        }
    // The title: the first other line that does not name the author again
    // ("Горький М.", then "МАКСИМ ГОРЬКИЙ" over the title).
    for (size_t i = 0; i < top.size(); ++i)
        if (long(i) != name && (name < 0 || !SameName(top[i], author, cp))) {
            title = top[i];
            break;
        }
}

}  // namespace

void FindTitleAndAuthor(const LineList& lines, const std::string& charset, std::string& title,
                        std::string& author, const Layout& layout) {
    const CodePage cp = CodePageOf(charset);
    title.clear();
    author.clear();
    FindTitleAndAuthorIn(lines, cp, title, author, layout);
    // A name in capitals as a name is written ("МАКСИМ ГОРЬКИЙ": "Максим Горький").
    if (AllCapitals(ToUtf8(author, cp))) author = WordsCapitalized(author, cp);
    // A title in quotes, without them: «Детство».
    const std::string u = ToUtf8(title, cp);
    for (const auto& [open, close] : {std::pair{"\xC2\xAB", "\xC2\xBB"}, {"\"", "\""}}) {
        const size_t o = std::strlen(open), c = std::strlen(close);
        if (u.size() > o + c && u.compare(0, o, open) == 0 &&
            u.compare(u.size() - c, c, close) == 0 && u.find(open, o) == std::string::npos) {
            // (Each quote is one byte of a single-byte page.)
            const size_t trimFront = cp == CodePage::Utf8 ? o : 1,
                         trimBack = cp == CodePage::Utf8 ? c : 1;
            title = title.substr(trimFront, title.size() - trimFront - trimBack);
        }
    }
}

namespace {

// Appends the letters of a word, folded, in UTF-8: its first letters, or
// (fromEnd) those after its last mark. Returns how many bytes it appended.
size_t AppendFoldedLetters(std::string& out, std::string_view s, CodePage page, bool fromEnd) {
    const size_t start = out.size();
    for (size_t i = 0; i < s.size();) {
        const char32_t c = DecodeChar(s, i, page);
        if (IsLetter(c)) {
            AppendUtf8(out, FoldCase(c));
        } else if (!fromEnd) {
            break;
        } else {
            out.resize(start);
        }
    }
    return out.size() - start;
}

std::string FoldedLetters(std::string_view s, CodePage page, bool fromEnd) {
    std::string out;
    AppendFoldedLetters(out, s, page, fromEnd);
    return out;
}

bool EndsWith(const std::string& s, std::string_view tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

void NoteCompounds(std::string_view line, CodePage page, std::unordered_set<std::string>& seen) {
    if (seen.size() >= 50000) return;
    for (size_t at = line.find('-'); at != std::string_view::npos; at = line.find('-', at + 1)) {
        if (at == 0 || at + 1 >= line.size()) continue;
        // A dash between blanks or marks, or a number's: no word on one side.
        auto markOrDigit = [](char c) {
            const auto b = static_cast<unsigned char>(c);
            return b < 0x80 && !((b | 0x20) >= 'a' && (b | 0x20) <= 'z');
        };
        if (markOrDigit(line[at - 1]) || markOrDigit(line[at + 1])) continue;
        // The word around it: back and on to the nearest blank or mark.
        size_t b = line.find_last_of(" \t\"(,;:", at);
        b = b == std::string_view::npos ? 0 : b + 1;
        size_t e = line.find_first_of(" \t\"),;:.!?", at);
        if (e == std::string_view::npos) e = line.size();
        if (at - b > 40 || e - at > 40) continue;
        // (One key's memory for every dash of the text.)
        thread_local std::string key;
        key.clear();
        if (!AppendFoldedLetters(key, line.substr(b, at - b), page, true)) continue;
        key += '-';
        if (!AppendFoldedLetters(key, line.substr(at + 1, e - at - 1), page, false)) continue;
        seen.insert(key);
    }
}

bool KeepsHyphen(std::string_view before, std::string_view after, CodePage page,
                 const std::function<bool(const std::string&)>& writtenWhole) {
    if (before.empty() || after.empty()) return false;
    size_t i = 0;
    const char32_t next = DecodeChar(after, i, page);
    if (IsUpper(next)) return true;
    // English: a word is hyphenated at a line's end only where it is written so.
    const char last = before.size() >= 2 ? before[before.size() - 2] : ' ';
    if ((last >= 'a' && last <= 'z') || (last >= 'A' && last <= 'Z')) return true;
    // The word before the hyphen: from the last blank on.
    const size_t blank = before.find_last_of(" \t");
    const size_t from = blank == std::string_view::npos ? 0 : blank + 1;
    const std::string first =
        FoldedLetters(before.substr(from, before.size() - 1 - from), page, true);
    if (first.empty()) return false;
    // English: a word is hyphenated at a line's end only where it is written so.
    if (static_cast<unsigned char>(first.back()) < 0x80) return true;
    const std::string second = FoldedLetters(after, page, false);
    if (second.empty()) return false;
    if (writtenWhole && writtenWhole(first + "-" + second)) return true;
    for (std::string_view particle : {"то", "либо", "нибудь", "ка", "таки", "тка", "де"})
        if (second == particle) return true;
    if (first == "кое" || first == "кой") return true;
    // "по-русски", "по-моему", "по-прежнему".
    if (first == "по")
        for (std::string_view tail : {"ски", "цки", "ому", "ему", "ьи"})
            if (EndsWith(second, tail)) return true;
    return false;
}
