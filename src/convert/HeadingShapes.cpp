#include "convert/HeadingShapes.h"

#include <algorithm>
#include <array>
#include <vector>

#include "text/Charsets.h"

namespace {

bool IsSpace(char32_t c) {
    return c == ' ' || c == '\t' || c == 0xA0 || c == 0x2002 || c == 0x2003 || c == 0x2009 ||
           c == 0x202F;
}

bool IsWordChar(char32_t c) {
    return IsLetter(c) || (c >= '0' && c <= '9');
}

// What the tokens ask of a character, at one look: from a table for those
// below U+0530 (ASCII, Latin, Greek and Cyrillic, nearly every one met).
struct CharKind {
    bool word, letter, lower;
    char32_t folded;
};

constexpr char32_t KindsTabled = 0x530;

// (Made when the program starts: no look whether it was made on every character.)
const std::array<CharKind, KindsTabled> CharKinds = [] {
    std::array<CharKind, KindsTabled> t{};
    for (char32_t k = 0; k < KindsTabled; ++k)
        t[k] = {IsWordChar(k), IsLetter(k), IsLower(k), FoldCase(k)};
    return t;
}();

inline CharKind KindOf(char32_t c) {
    if (c < KindsTabled) return CharKinds[c];
    return {IsWordChar(c), IsLetter(c), IsLower(c), FoldCase(c)};
}

std::u32string Decode(std::string_view utf8) {
    std::u32string out;
    for (size_t i = 0; i < utf8.size();) out += DecodeChar(utf8, i, CodePage::Utf8);
    return out;
}

void AppendText(std::string& out, std::u32string_view s) {
    for (char32_t c : s) AppendUtf8(out, c);
}

struct Known {
    const char* text;  // folded, UTF-8
    HeadingWord word;
};

const Known KnownWords[] = {
    {"book", HeadingWord::Part},          {"part", HeadingWord::Part},
    {"volume", HeadingWord::Part},        {"книга", HeadingWord::Part},
    {"часть", HeadingWord::Part},         {"том", HeadingWord::Part},
    {"chapter", HeadingWord::Chapter},    {"глава", HeadingWord::Chapter},
    {"act", HeadingWord::Chapter},        {"действие", HeadingWord::Chapter},
    {"letter", HeadingWord::Chapter},     {"письмо", HeadingWord::Chapter},
    {"scene", HeadingWord::Scene},        {"явление", HeadingWord::Scene},
    {"картина", HeadingWord::Scene},      {"prologue", HeadingWord::Alone},
    {"epilogue", HeadingWord::Alone},     {"preface", HeadingWord::Alone},
    {"contents", HeadingWord::Alone},     {"пролог", HeadingWord::Alone},
    {"эпилог", HeadingWord::Alone},       {"предисловие", HeadingWord::Alone},
    {"оглавление", HeadingWord::Alone},   {"содержание", HeadingWord::Alone},
    {"вступление", HeadingWord::Alone},   {"послесловие", HeadingWord::Alone},
    {"introduction", HeadingWord::Alone}, {"appendix", HeadingWord::Alone},
    {"notes", HeadingWord::Notes},        {"afterword", HeadingWord::Alone},
    {"epilog", HeadingWord::Alone},       {"приложение", HeadingWord::Alone},
    {"примечания", HeadingWord::Notes},   {"заключение", HeadingWord::Alone},
    {"dramatis", HeadingWord::Alone},     {"действующие", HeadingWord::Alone},
};

struct NumberWord {
    const char* text;  // folded, UTF-8
    int value;
    bool stem;  // matched as the start of a word (первая, первый, первое)
};

// Longer stems first where one begins another (девяност before девят).
const NumberWord NumberWords[] = {
    {"one", 1, false},          {"two", 2, false},         {"three", 3, false},
    {"four", 4, false},         {"five", 5, false},        {"six", 6, false},
    {"seven", 7, false},        {"eight", 8, false},       {"nine", 9, false},
    {"ten", 10, false},         {"eleven", 11, false},     {"twelve", 12, false},
    {"thirteen", 13, false},    {"fourteen", 14, false},   {"fifteen", 15, false},
    {"sixteen", 16, false},     {"seventeen", 17, false},  {"eighteen", 18, false},
    {"nineteen", 19, false},    {"twenty", 20, false},     {"thirty", 30, false},
    {"forty", 40, false},       {"fifty", 50, false},      {"first", 1, false},
    {"second", 2, false},       {"third", 3, false},       {"fourth", 4, false},
    {"fifth", 5, false},        {"sixth", 6, false},       {"seventh", 7, false},
    {"eighth", 8, false},       {"ninth", 9, false},       {"tenth", 10, false},
    {"eleventh", 11, false},    {"twelfth", 12, false},    {"thirteenth", 13, false},
    {"fourteenth", 14, false},  {"fifteenth", 15, false},  {"sixteenth", 16, false},
    {"seventeenth", 17, false}, {"eighteenth", 18, false}, {"nineteenth", 19, false},
    {"twentieth", 20, false},   {"thirtieth", 30, false},  {"fortieth", 40, false},
    {"fiftieth", 50, false},    {"перв", 1, true},         {"втор", 2, true},
    {"трет", 3, true},          {"четверт", 4, true},      {"четыре", 4, false},
    {"пят", 5, true},           {"шест", 6, true},         {"седьм", 7, true},
    {"семь", 7, false},         {"восьм", 8, true},        {"восемь", 8, false},
    {"девяност", 90, true},     {"девят", 9, true},        {"десят", 10, true},
    {"одиннадцат", 11, true},   {"двенадцат", 12, true},   {"тринадцат", 13, true},
    {"четырнадцат", 14, true},  {"пятнадцат", 15, true},   {"шестнадцат", 16, true},
    {"семнадцат", 17, true},    {"восемнадцат", 18, true}, {"девятнадцат", 19, true},
    {"двадцат", 20, true},      {"тридцат", 30, true},     {"сороков", 40, true},
    {"сорок", 40, false},       {"пятидесят", 50, true},   {"пятьдесят", 50, false},
    {"один", 1, false},         {"два", 2, false},         {"три", 3, false},
};

const char* const Months[] = {"january", "february", "march",     "april",   "may",      "june",
                              "july",    "august",   "september", "october", "november", "december",
                              "января",  "февраля",  "марта",     "апреля",  "мая",      "июня",
                              "июля",    "августа",  "сентября",  "октября", "ноября",   "декабря"};

// Words (folded) with what they say, of three letters at least, ordered by
// their first two letters and otherwise as given: a word is compared only
// with those that begin as it does (and a few others of the same bucket).
template <class T>
class WordTable {
  public:
    void Add(const char* utf8, T what) { words_.emplace_back(Decode(utf8), what); }
    void Order() {
        std::stable_sort(words_.begin(), words_.end(), [](const auto& a, const auto& b) {
            return BucketOf(a.first) < BucketOf(b.first);
        });
        for (size_t i = words_.size(); i-- > 0;) {
            auto& [first, end] = buckets_[BucketOf(words_[i].first)];
            first = uint16_t(i);
            if (!end) end = uint16_t(i + 1);
        }
    }
    // The first word of w's bucket that `matches` takes, or nullptr. A word
    // a table's word begins (a stem) begins with the same two letters.
    template <class Matches>
    const T* Find(std::u32string_view w, Matches matches) const {
        if (w.size() < 2) return nullptr;
        const auto [from, to] = buckets_[BucketOf(w)];
        for (size_t i = from; i < to; ++i)
            if (matches(std::u32string_view(words_[i].first), words_[i].second))
                return &words_[i].second;
        return nullptr;
    }
    const T* Find(std::u32string_view w) const {
        return Find(w, [w](std::u32string_view text, const T&) { return w == text; });
    }

  private:
    static constexpr size_t Buckets = 512;
    static size_t BucketOf(std::u32string_view w) {
        return (size_t(w[0]) * 31 + size_t(w[1])) % Buckets;
    }
    std::vector<std::pair<std::u32string, T>> words_;
    // Where the words of each bucket stand in words_: [first, second).
    std::array<std::pair<uint16_t, uint16_t>, Buckets> buckets_{};
};

struct Decoded {
    WordTable<HeadingWord> known;
    WordTable<const NumberWord*> numbers;
    WordTable<int> months;
    Decoded() {
        for (const Known& k : KnownWords) known.Add(k.text, k.word);
        for (const NumberWord& n : NumberWords) numbers.Add(n.text, &n);
        for (size_t i = 0; i < std::size(Months); ++i) months.Add(Months[i], int(i % 12) + 1);
        known.Order();
        numbers.Order();
        months.Order();
    }
};

// (Made when the program starts, as CharKinds.)
const Decoded DecodedWords;

const Decoded& Words() {
    return DecodedWords;
}

}  // namespace

namespace {

// A folded word of the old orthography as it is spelt now ("томъ", "третій",
// "примѣчанія"): ѣ as е, і and ѵ as и, ѳ as ф, no ъ at its end. False when it
// is spelt so already.
bool InModernSpelling(std::u32string_view w, std::u32string& out) {
    if (w.empty()) return false;
    // (Those letters lie between і and ѵ, past the modern alphabet's.)
    bool old = w.back() == 0x044A;
    for (const char32_t c : w) old |= c - 0x0456u <= 0x0475u - 0x0456u;
    if (!old) return false;
    out.clear();
    for (const char32_t c : w)
        out += c == 0x0463                  ? char32_t(0x0435)
               : c == 0x0456 || c == 0x0475 ? char32_t(0x0438)
               : c == 0x0473                ? char32_t(0x0444)
                                            : c;
    if (out.size() > 1 && out.back() == 0x044A) out.pop_back();
    return true;
}

}  // namespace

namespace {

// As NumberWordValue; old: the word may be spelt in the old way (the tokens
// tell, as they fold it).
int NumberValue(std::u32string_view w, bool old) {
    if (w.size() < 3 || w.size() > 16) return 0;
    auto find = [](std::u32string_view w) {
        return Words().numbers.Find(w, [w](std::u32string_view text, const NumberWord* n) {
            return n->stem ? w.size() >= text.size() && w.size() <= text.size() + 3 &&
                                 w.compare(0, text.size(), text) == 0
                           : w == text;
        });
    };
    const NumberWord* const* n = find(w);
    std::u32string modern;
    if (!n && old && InModernSpelling(w, modern)) n = find(modern);
    return n ? (*n)->value : 0;
}

// The month a word (folded) names, 1 to 12, or 0.
int MonthOf(std::u32string_view w) {
    const int* m = Words().months.Find(w);
    return m ? *m : 0;
}

// The known word a folded word is; old as NumberValue's.
HeadingWord KnownWord(std::u32string_view w, bool old) {
    const HeadingWord* k = Words().known.Find(w);
    std::u32string modern;
    if (!k && old && InModernSpelling(w, modern)) k = Words().known.Find(modern);
    return k ? *k : HeadingWord::None;
}

// A chapter's number in digits: four at most (a year is a date's).
int DigitsValue(std::u32string_view w) {
    if (w.empty() || w.size() > 4) return -1;
    int v = 0;
    for (char32_t c : w) {
        if (c < '0' || c > '9') return -1;
        v = v * 10 + int(c - '0');
    }
    return v;
}

struct Token {
    std::u32string_view text;  // folded for a word; the character for a mark
    bool word;
    bool upper;      // a word in capitals
    char32_t first;  // as written
    bool old;        // it may be spelt in the old way (as InModernSpelling)
};

// The tokens of a line, read as they are asked for: words (folded) and marks
// (a character each, dashes of every length one mark); blanks part them. Most
// lines are told by their first words.
class LineTokens {
  public:
    explicit LineTokens(std::string_view utf8) : utf8_(utf8) {
        // Both threads of a conversion take lines apart: each keeps its own
        // memory, grown to the longest line yet, and not moved while a line is
        // read (the tokens point into the folded characters). A line has no
        // more characters, nor tokens, than bytes.
        thread_local std::vector<char32_t> folded;
        thread_local std::vector<Token> tokens;
        if (folded.size() < utf8.size()) {
            folded.resize(utf8.size());
            tokens.resize(utf8.size());
        }
        folded_ = folded.data();
        tokens_ = tokens.data();
    }
    // Whether the line has a token k (counted from 0).
    bool Has(size_t k) {
        while (count_ <= k)
            if (!ReadOne()) return false;
        return true;
    }
    const Token& operator[](size_t k) const { return tokens_[k]; }
    // (Of a line with a token.)
    const Token& Last() {
        while (ReadOne()) {
        }
        return tokens_[count_ - 1];
    }
    // The letters of the tokens read.
    int Letters() const { return letters_; }

  private:
    bool ReadOne() {
        char32_t c = 0;
        do {
            if (at_ >= utf8_.size()) return false;
            c = DecodeChar(utf8_, at_, CodePage::Utf8);
        } while (IsSpace(c));
        const size_t from = n_;
        CharKind kind = KindOf(c);
        if (!kind.word) {
            folded_[n_++] = c == 0x2014 || c == 0x2013 ? U'-' : c;
            tokens_[count_++] = {std::u32string_view(folded_ + from, 1), false, false, c, false};
            return true;
        }
        const char32_t first = c;
        bool upper = true, letters = false, old = false;
        for (;;) {
            upper = upper && !kind.lower;
            letters = letters || kind.letter;
            letters_ += kind.letter;
            old |= kind.folded - 0x0456u <= 0x0475u - 0x0456u;
            folded_[n_++] = kind.folded;
            const size_t next = at_;
            if (at_ >= utf8_.size()) break;
            kind = KindOf(DecodeChar(utf8_, at_, CodePage::Utf8));
            if (!kind.word) {
                at_ = next;
                break;
            }
        }
        tokens_[count_++] = {std::u32string_view(folded_ + from, n_ - from), true, upper && letters,
                             first, old || folded_[n_ - 1] == 0x044A};
        return true;
    }

    std::string_view utf8_;
    size_t at_ = 0, n_ = 0, count_ = 0;  // bytes read, characters kept, tokens read
    int letters_ = 0;
    char32_t* folded_;
    Token* tokens_;
};

}  // namespace

int NumberWordValue(std::u32string_view w) {
    return NumberValue(w, true);
}

int RomanValue(std::u32string_view word) {
    if (word.empty() || word.size() > 15) return 0;
    auto value = [](char32_t c) {
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
    };
    char32_t letters[15];
    const std::u32string_view w(letters, word.size());
    size_t n = 0;
    for (char32_t c : word) {
        c = FoldCase(c);
        // Cyrillic letters that look like Latin ones: х, і, с, м.
        if (c == 0x0445) c = 'x';
        if (c == 0x0456) c = 'i';
        if (c == 0x0441) c = 'c';
        if (c == 0x043C) c = 'm';
        // Most words have a letter of no numeral, most often their first.
        if (!value(c)) return 0;
        letters[n++] = c;
    }
    int total = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        const int v = value(w[i]);
        const int next = i + 1 < w.size() ? value(w[i + 1]) : 0;
        total += v < next ? -v : v;
    }
    if (total < 1 || total > 3999) return 0;
    // Written the canonical way: "IIII" and "IC" are no numerals.
    static const int values[] = {1000, 900, 500, 400, 100, 90, 50, 40, 10, 9, 5, 4, 1};
    static const char* const marks[] = {"m",  "cm", "d",  "cd", "c",  "xc", "l",
                                        "xl", "x",  "ix", "v",  "iv", "i"};
    size_t at = 0;
    for (int k = 0, v = total; k < 13; ++k)
        for (; v >= values[k]; v -= values[k])
            for (const char* m = marks[k]; *m; ++m)
                if (at >= w.size() || w[at++] != char32_t(*m)) return 0;
    return at == w.size() ? total : 0;
}

bool EndsSentence(std::string_view text, CodePage page) {
    size_t e = text.find_last_not_of(" \t");
    if (e == std::string_view::npos) return false;
    // Most lines end in a letter: only the last bytes of the marks below go on.
    switch (static_cast<unsigned char>(text[e])) {
        case '.':
        case '!':
        case '?':
            return true;
        case '"':
        case '\'':
        case ')':
        case ';':
        case 0xBB:
        case 0x9D:
        case 0x99:
        case 0x94:
        case 0x92:
        case 0xA6:
        case 0x85:
            break;
        default:
            return false;
    }
    auto at = [&](std::string_view tail) {
        return e + 1 >= tail.size() && text.substr(e + 1 - tail.size(), tail.size()) == tail;
    };
    // Closing quotes and brackets, in UTF-8 and the 8-bit charsets: ", ', ), »
    // (UTF-8, and 0xBB of windows-1251 and Windows-1252), ” and ’ (UTF-8, and
    // 0x94, 0x92 of windows-1252), and the escape of ">".
    for (bool more = true; more;) {
        more = false;
        for (std::string_view q : {"\"", "'", ")", "\xC2\xBB", "\xE2\x80\x9D", "\xE2\x80\x99",
                                   "\xBB", "\x94", "\x92", "&gt;"})
            if (at(q) && e + 1 > q.size()) {
                e -= q.size();
                more = true;
                break;
            }
    }
    const char c = text[e];
    // ("…" is one byte in the Windows code pages.)
    const bool windows = page == CodePage::Win1251 || page == CodePage::Win1252;
    return c == '.' || c == '!' || c == '?' || at("\xE2\x80\xA6") || (windows && c == '\x85');
}

bool IsSeparator(std::string_view utf8) {
    bool any = false;
    for (size_t i = 0; i < utf8.size();) {
        const char32_t c = DecodeChar(utf8, i, CodePage::Utf8);
        if (IsWordChar(c)) return false;
        any = any || !IsSpace(c);
    }
    return any;
}

bool ClosingWords(std::string_view utf8) {
    // The words are ten bytes at most, in either case: most lines are longer.
    const size_t e = utf8.find_last_not_of(".! ");
    if (e == std::string_view::npos || e >= 10) return false;
    std::string f = FoldToUtf8(utf8, CodePage::Utf8);
    while (!f.empty() && (f.back() == '.' || f.back() == '!' || f.back() == ' ')) f.pop_back();
    return f == "the end" || f == "конец" || f == "finis";
}

namespace {

// Whether a line may begin as a heading does: not as speech, a quotation or
// a sentence going on, and not as a book's last words.
bool BeginsAsHeading(LineTokens& tokens, std::string_view utf8) {
    size_t k = 0;
    while (tokens.Has(k) && !tokens[k].word) ++k;
    if (!tokens.Has(k)) return false;
    const Token& first = tokens[k];
    // A dash opens speech, but for a number framed by dashes ("— IV —").
    const std::u32string_view opening = tokens[0].text;
    const bool framed = opening == U"-" && tokens.Has(2) && tokens.Last().text == U"-";
    if ((opening == U"-" && !framed) || opening == U"\"" || opening == U"\u00AB" ||
        opening == U"\u201E" || opening == U"(")
        return false;
    // A heading begins with a capital or a digit; with a small letter only
    // when its first word is a heading's ("глава IX").
    if (!IsUpper(first.first) && !(first.text[0] >= '0' && first.text[0] <= '9') &&
        KnownWord(first.text, first.old) == HeadingWord::None)
        return false;
    return !ClosingWords(utf8);
}

// Reads a line's tokens in order into its shape.
class ShapeReader {
  public:
    // wholeKey: as ShapeOf's.
    // numberOnly: the line has a shape only as a number alone (NumberOnly);
    // it is read no further than that tells.
    ShapeReader(LineTokens& tokens, bool wholeKey, bool numberOnly)
        : tokens_(tokens), wholeKey_(wholeKey), numberOnly_(numberOnly) {}

    LineShape Read() {
        for (k_ = 0; tokens_.Has(k_); ++k_) {
            if (tokens_[k_].word)
                Word(tokens_[k_]);
            else
                Mark(tokens_[k_]);
            if (!wholeKey_ && Plain()) break;
            // A line that counts only as a number alone has a title's word.
            if (numberOnly_ && titleWords_) break;
        }
        EndRun();
        if (month_ && value_ >= 0) value_ += month_ * 100;
        shape_.Value = value_;
        shape_.Capitals = capitals_;
        shape_.Key = std::move(key_);
        return shape_;
    }
    // The line has a number and no title's words after it ("IV.", "Глава 2.").
    bool NumberOnly() const { return numberSeen_ && !titleWords_; }

  private:
    // Nothing after the title's third word can make the line numbered, in
    // capitals, or of a known word: the rest would only lengthen its key.
    bool Plain() const {
        return titleWords_ && words_ >= 3 && !capitals_ && run_ == 0 && value_ < 0 &&
               shape_.Word == HeadingWord::None;
    }
    // Whether the line's first token is a known word ("Глава", "Act").
    bool FirstIsKnown() {
        if (firstKnown_ < 0)
            firstKnown_ = KnownWord(tokens_[0].text, tokens_[0].old) != HeadingWord::None;
        return firstKnown_;
    }
    bool NextIsNumberWord() const {
        return tokens_.Has(k_ + 1) && tokens_[k_ + 1].word &&
               NumberValue(tokens_[k_ + 1].text, tokens_[k_ + 1].old);
    }
    void EndRun() {
        if (run_ > 0 && value_ < 0) value_ = run_;
        run_ = 0;
    }
    void Mark(const Token& t) {
        // "Twenty-First": one number.
        if (run_ > 0 && t.text == U"-" && NextIsNumberWord()) return;
        EndRun();
        if (!titleWords_) AppendText(key_, t.text);
    }
    void Number(int64_t value) {
        if (value >= 0) {
            EndRun();
            if (value_ < 0) value_ = value;
        }
        if (!numberSeen_ || key_.size() < 2 || key_.compare(key_.size() - 2, 2, "# ") != 0)
            key_ += "# ";
        numberSeen_ = true;
    }
    void Word(const Token& t) {
        ++words_;
        capitals_ = capitals_ && (t.upper || !IsLetter(t.text[0]));
        // Past a title's first words nothing more is a number or a known word.
        if (titleWords_ && words_ > 3) return;
        const int digits = DigitsValue(t.text);
        const int wordValue = NumberValue(t.text, t.old);
        // A roman numeral stands first, after a known word, or alone; "I" in
        // a title's words is a pronoun.
        const bool romanPlace =
            !numberSeen_ && (k_ == 0 || !tokens_[k_ - 1].word || FirstIsKnown());
        // A Cyrillic letter and a point before more words is an initial ("А.
        // С. Пушкин"), not a numeral.
        const bool initial = t.text.size() == 1 && t.text[0] >= 0x400 && tokens_.Has(k_ + 2) &&
                             tokens_[k_ + 1].text == U".";
        const int roman =
            romanPlace && !initial && (t.upper || t.text.size() > 1 || !tokens_.Has(1))
                ? RomanValue(t.text)
                : 0;
        if (const int m = MonthOf(t.text); m && (numberSeen_ || tokens_.Has(k_ + 1))) {
            EndRun();
            month_ = m;
            key_ += "@ ";
            return;
        }
        if (digits >= 0 || roman) {
            // A number in brackets is a note's mark ("окно[1]"); after the words
            // of a title only a word or two name a numbered thing ("Poem 12").
            const bool bracketed = k_ > 0 && words_ > 1 && !tokens_[k_ - 1].word &&
                                   (tokens_[k_ - 1].text == U"[" || tokens_[k_ - 1].text == U"(");
            if (!bracketed && !(titleWords_ && words_ > 3)) Number(digits >= 0 ? digits : roman);
            return;
        }
        // ("Тетрадь первая": a word and its number.)
        if (wordValue && (!titleWords_ || words_ <= 2)) {
            run_ += wordValue;
            Number(-1);
            return;
        }
        EndRun();
        // "The First Act": the article before a number's word is no title.
        if (words_ == 1 && t.text == U"the" && NextIsNumberWord()) {
            --words_;
            return;
        }
        if (words_ == 1) shape_.Word = KnownWord(t.text, t.old);
        if (!numberSeen_ && shape_.Word != HeadingWord::None && words_ == 1) {
            AppendText(key_, t.text);
            key_ += ' ';
        } else if (!titleWords_) {
            // The words of a title: one mark for all, their case kept.
            titleWords_ = true;
            key_ += t.upper ? "W " : "w ";
        }
    }

    LineTokens& tokens_;
    const bool wholeKey_, numberOnly_;
    size_t k_ = 0, words_ = 0;
    LineShape shape_;
    std::string key_;
    bool numberSeen_ = false, titleWords_ = false, capitals_ = true;
    int month_ = 0;
    int firstKnown_ = -1;           // as FirstIsKnown, once asked
    int64_t value_ = -1, run_ = 0;  // run_: a number written in words, summed
};

}  // namespace

// Whether a line's first word may begin a heading, told from the word alone:
// most lines of prose fail here, before the line is taken apart.
static bool FirstWordMay(std::string_view utf8) {
    size_t i = 0;
    char32_t c = 0;
    while (i < utf8.size() && IsSpace(c = DecodeChar(utf8, i, CodePage::Utf8))) {
    }
    // Speech and quotations open so; a number framed by dashes ends as it began.
    if (c == '-' || c == 0x2014 || c == 0x2013) {
        const size_t e = utf8.find_last_not_of(' ');
        return utf8[e] == '-' || (e >= 2 && utf8.compare(e - 2, 3, "\xE2\x80\x94") == 0) ||
               (e >= 2 && utf8.compare(e - 2, 3, "\xE2\x80\x93") == 0);
    }
    if (c == '"' || c == 0xAB || c == 0x201E || c == '(') return false;
    if (!IsLetter(c) || IsUpper(c)) return true;
    char32_t word[16] = {FoldCase(c)};
    size_t n = 1;
    while (i < utf8.size() && n < 16 && IsLetter(c = DecodeChar(utf8, i, CodePage::Utf8)))
        word[n++] = FoldCase(c);
    return KnownWord(std::u32string_view(word, n), true) != HeadingWord::None;
}

LineShape ShapeOf(std::string_view utf8, bool wholeKey) {
    if (!FirstWordMay(utf8)) return {};
    // A sentence ends no heading but a number's, which is short and ends at
    // its point ("Глава 2.").
    const bool ends = EndsSentence(utf8);
    if (ends && (utf8.size() > 60 || utf8.back() != '.')) return {};
    if (utf8.empty() || CharCount(utf8, CodePage::Utf8) > MaxHeadingChars) return {};
    LineTokens tokens(utf8);
    if (!BeginsAsHeading(tokens, utf8)) return {};
    ShapeReader reader(tokens, wholeKey, ends);
    LineShape shape = reader.Read();
    // A sentence ends no heading, but for the point after its number.
    if (ends && !(reader.NumberOnly() && utf8.back() == '.')) return {};
    // (Capitals only once every token was read.)
    shape.Capitals = shape.Capitals && tokens.Letters() >= 2;
    return shape;
}
