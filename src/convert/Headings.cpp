#include "convert/Headings.h"

#include <algorithm>
#include <vector>

#include "text/Charsets.h"

namespace {

struct Word {
    const char* text;  // folded (lower case), UTF-8
    HeadingKind kind;
    bool alone;  // a heading by itself, without a number after it
};

const Word Keywords[] = {
    {"book", HeadingKind::Part, false},          {"part", HeadingKind::Part, false},
    {"volume", HeadingKind::Part, false},        {"книга", HeadingKind::Part, false},
    {"часть", HeadingKind::Part, false},         {"том", HeadingKind::Part, false},
    {"chapter", HeadingKind::Chapter, false},    {"глава", HeadingKind::Chapter, false},
    {"act", HeadingKind::Chapter, false},        {"действие", HeadingKind::Chapter, false},
    {"prologue", HeadingKind::Chapter, true},    {"epilogue", HeadingKind::Chapter, true},
    {"preface", HeadingKind::Chapter, true},     {"contents", HeadingKind::Chapter, true},
    {"пролог", HeadingKind::Chapter, true},      {"эпилог", HeadingKind::Chapter, true},
    {"предисловие", HeadingKind::Chapter, true}, {"оглавление", HeadingKind::Chapter, true},
    {"содержание", HeadingKind::Chapter, true},  {"вступление", HeadingKind::Chapter, true},
    {"послесловие", HeadingKind::Chapter, true}, {"introduction", HeadingKind::Chapter, true},
    {"scene", HeadingKind::Scene, false},        {"явление", HeadingKind::Scene, false},
    {"appendix", HeadingKind::Chapter, true},    {"notes", HeadingKind::Chapter, true},
    {"afterword", HeadingKind::Chapter, true},   {"epilog", HeadingKind::Chapter, true},
    {"приложение", HeadingKind::Chapter, true},  {"примечания", HeadingKind::Chapter, true},
    {"заключение", HeadingKind::Chapter, true},
};

const char* const NumberWords[] = {
    "one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "ten", "eleven",
    "twelve", "thirteen", "fourteen", "fifteen", "sixteen", "seventeen", "eighteen", "nineteen",
    "twenty", "thirty", "forty", "fifty", "sixty", "seventy", "eighty", "ninety", "hundred",
    "first", "second", "third", "fourth", "fifth", "sixth", "seventh", "eighth", "ninth", "tenth",
    "eleventh", "twelfth", "thirteenth", "fourteenth", "fifteenth", "sixteenth", "seventeenth",
    "eighteenth", "nineteenth", "twentieth", "thirtieth", "fortieth", "fiftieth", "sixtieth",
    "seventieth", "eightieth", "ninetieth", "hundredth", "last", "final",
    // Russian ordinals in the genders headings take (глава первая, том первый,
    // действие первое), to the hundredth, and the cardinals that begin the
    // compound ones (глава двадцать первая).
    "перв", "втор", "трет", "четверт", "пят", "шест", "седьм", "восьм", "девят", "десят",
    "одиннадцат", "двенадцат", "тринадцат", "четырнадцат", "пятнадцат", "шестнадцат", "семнадцат",
    "восемнадцат", "девятнадцат", "двадцат", "тридцат", "сороков", "пятидесят", "шестидесят",
    "семидесят", "восьмидесят", "девяност", "сот", "последн", "один", "два", "три", "четыре",
    "пять", "шесть", "семь", "восемь", "девять", "десять", "сорок", "пятьдесят", "шестьдесят",
    "семьдесят", "восемьдесят", "девяносто", "сто"};

bool IsSpace(char32_t c) {
    return c == ' ' || c == '\t' || c == 0xA0 || c == 0x2002 || c == 0x2003 || c == 0x2009 ||
           c == 0x202F;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A text of letters in capitals only (two at least).
bool InCapitals(std::string_view utf8) {
    int letters = 0;
    for (size_t i = 0; i < utf8.size();) {
        const char32_t c = DecodeChar(utf8, i, CodePage::Utf8);
        if (IsLower(c)) return false;
        letters += IsUpper(c);
    }
    return letters >= 2;
}

// The words that close a book.
bool ClosingWords(std::string_view utf8) {
    const std::string f = FoldToUtf8(utf8, CodePage::Utf8);
    return f == "the end" || f == "конец" || f == "finis";
}

bool IsWordChar(char32_t c) {
    return IsLetter(c) || (c >= '0' && c <= '9');
}

std::vector<std::u32string> Words(std::string_view utf8) {
    std::vector<std::u32string> words;
    std::u32string w;
    for (size_t i = 0; i < utf8.size();) {
        char32_t c = FoldCase(DecodeChar(utf8, i, CodePage::Utf8));
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
    for (size_t i = 0; i < s.size();) out += DecodeChar(s, i, CodePage::Utf8);
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
bool IsRoman(std::u32string_view w) {
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
    char32_t canonical[16];
    size_t length = 0;
    for (int k = 0; k < 13; ++k)
        for (; value >= values[k]; value -= values[k])
            for (const char* m = marks[k]; *m; ++m) {
                if (length == 16) return false;
                canonical[length++] = char32_t(*m);
            }
    return std::u32string_view(canonical, length) == w;
}

// A chapter's number: three digits at most (a year alone is no chapter).
bool IsNumber(std::u32string_view w) {
    if (w.empty() || w.size() > 3) return false;
    for (char32_t c : w)
        if (c < '0' || c > '9') return false;
    return true;
}

struct DecodedWords {
    std::vector<std::u32string> keywords, numbers;
    std::vector<bool> stems;
    std::u32string cast1 = Decode("действующие"), cast2 = Decode("лица"),
                   dramatis = Decode("dramatis"), personae = Decode("personae");
    DecodedWords() {
        for (const Word& k : Keywords) keywords.push_back(Decode(k.text));
        for (const char* n : NumberWords) {
            numbers.push_back(Decode(n));
            // Russian ordinals are matched by their stem (первая, первый, первое).
            static const std::string_view exact[] = {"один", "два", "три", "сорок", "сто"};
            stems.push_back(static_cast<unsigned char>(n[0]) >= 0x80 &&
                            numbers.back().size() >= 3 &&
                            std::find(std::begin(exact), std::end(exact), n) == std::end(exact));
        }
    }
};

const DecodedWords& Decoded() {
    static const DecodedWords words;
    return words;
}

bool IsNumberWord(const std::u32string& w) {
    const DecodedWords& d = Decoded();
    for (size_t i = 0; i < d.numbers.size(); ++i) {
        const std::u32string& n = d.numbers[i];
        if (d.stems[i] ? w.compare(0, n.size(), n) == 0 && w.size() <= n.size() + 3 : w == n)
            return true;
    }
    return false;
}

// Whether a word (folded) may begin a heading: a keyword, a numeral, a number,
// the first word of a cast list.
bool MayBeginHeading(std::u32string_view w) {
    const DecodedWords& d = Decoded();
    if (IsRoman(w) || IsNumber(w) || w == d.cast1 || w == d.dramatis || w == U"the") return true;
    for (const auto& k : d.keywords)
        if (w == k) return true;
    return false;
}

}  // namespace

constexpr std::string_view HeadingMarks = "*-=~#_ ";

std::string_view WithoutMarks(std::string_view text) {
    const size_t b = text.find_first_not_of(HeadingMarks), e = text.find_last_not_of(HeadingMarks);
    return b == std::string_view::npos ? std::string_view() : text.substr(b, e - b + 1);
}

bool EndsSentence(std::string_view text) {
    size_t e = text.find_last_not_of(" \t");
    if (e == std::string_view::npos) return false;
    auto at = [&](std::string_view tail) {
        return e + 1 >= tail.size() && text.substr(e + 1 - tail.size(), tail.size()) == tail;
    };
    // Closing quotes and brackets: ", ', ), », ”, and their escapes.
    for (bool more = true; more;) {
        more = false;
        for (std::string_view q : {"\"", "'", ")", "\xC2\xBB", "\xE2\x80\x9D", "\xBB", "&gt;"})
            if (at(q) && e + 1 > q.size()) {
                e -= q.size();
                more = true;
                break;
            }
    }
    const char c = text[e];
    return c == '.' || c == '!' || c == '?' || at("\xE2\x80\xA6");
}

bool IsSeparator(std::string_view utf8) {
    bool any = false;
    for (size_t i = 0; i < utf8.size();) {
        char32_t c = DecodeChar(utf8, i, CodePage::Utf8);
        if (IsWordChar(c)) return false;
        any = any || !IsSpace(c);
    }
    return any;
}

HeadingKind ClassifyHeading(std::string_view utf8) {
    // A heading begins with a letter or a digit (a line of dialogue, with a dash).
    size_t i = 0;
    while (i < utf8.size() && (utf8[i] == ' ' || utf8[i] == '\t')) ++i;
    if (i == utf8.size()) return HeadingKind::None;
    size_t j = i;
    if (!IsWordChar(DecodeChar(utf8, j, CodePage::Utf8))) return HeadingKind::None;
    if (CharCount(utf8, CodePage::Utf8) > MaxHeadingChars) return HeadingKind::None;
    const std::vector<std::u32string> words = Words(utf8);
    if (words.empty()) return HeadingKind::None;
    // A roman numeral or a number, alone (a point after it allowed).
    if (words.size() == 1 && (IsRoman(words[0]) || IsNumber(words[0]))) return HeadingKind::Numeral;
    // "1. Title", "IV. Title": a number, a point, a title of a few words.
    if (words.size() <= 9 && (IsRoman(words[0]) || IsNumber(words[0]))) {
        const size_t dot = utf8.find(". ");
        size_t k = dot == std::string_view::npos ? 0 : dot + 2;
        if (k && std::u32string_view(Words(utf8.substr(0, dot))[0]) == words[0] &&
            k < utf8.size() && IsUpper(DecodeChar(utf8, k, CodePage::Utf8)))
            return HeadingKind::Numeral;
    }
    const DecodedWords& d = Decoded();
    // "The First Act": an ordinal before the keyword.
    if (words.size() == 3 && words[0] == U"the" && IsNumberWord(words[1])) {
        for (size_t i = 0; i < d.keywords.size(); ++i)
            if (words[2] == d.keywords[i]) return Keywords[i].kind;
    }
    for (size_t i = 0; i < d.keywords.size(); ++i) {
        const Word& k = Keywords[i];
        if (words[0] != d.keywords[i]) continue;
        if (words.size() == 1) return k.alone ? k.kind : HeadingKind::None;
        const std::u32string& n = words[1];
        if (IsRoman(n) || IsNumber(n) || IsNumberWord(n)) return k.kind;
        return HeadingKind::None;
    }
    // "Действующие лица", "Dramatis personae": the cast of a play.
    if (words.size() == 2 && ((words[0] == d.cast1 && words[1] == d.cast2) ||
                              (words[0] == d.dramatis && words[1] == d.personae)))
        return HeadingKind::Chapter;
    return HeadingKind::None;
}

HeadingLines::HeadingLines(CodePage page) : page_(page) {
    // The bytes a heading's first word may begin with, in this charset (a UTF-8
    // letter beyond ASCII is looked at further).
    std::u32string initials = U"0123456789ivxlcdmt";
    for (const auto& k : Decoded().keywords) initials += k[0];
    initials += Decoded().cast1[0];
    initials += Decoded().dramatis[0];
    for (int b = 0; b < 256; ++b) {
        if (page_ == CodePage::Utf8 && b >= 0x80) {
            initial_[b] = true;
            continue;
        }
        const char one = char(b);
        size_t i = 0;
        const char32_t c = FoldCase(DecodeChar(std::string_view(&one, 1), i, page_));
        initial_[b] = initials.find(c) != std::u32string::npos;
    }
}

bool HeadingLines::StandsAlone(std::string_view text) const {
    const std::string_view t = TrimBlanks(text, page_);
    // A heading is short: a few words (each character up to four bytes and an
    // escape of a few).
    if (t.empty() || t.size() > MaxHeadingChars * 4) return false;
    const unsigned char first = static_cast<unsigned char>(t[0]);
    const bool mark = std::string_view("*-~=_#.").find(char(first)) != std::string_view::npos;
    if (!mark && !FirstWordMayBeginHeading(t)) return false;
    std::string shown;
    AppendShownText(shown, t);
    const std::string utf8 = ToUtf8(shown, page_);
    if (CharCount(utf8, CodePage::Utf8) > MaxHeadingChars) return false;
    return IsSeparator(utf8) || ClassifyHeading(WithoutMarks(utf8)) != HeadingKind::None;
}

HeadingFinder::HeadingFinder(const std::string& charset, bool everyLine)
    : page_(CodePageOf(charset)), everyLine_(everyLine), lines_(page_) {}

bool HeadingFinder::TwoCapitals(std::string_view text) const {
    size_t i = 0;
    for (int k = 0; k < 2; ++k)
        if (i >= text.size() || !IsUpper(DecodeChar(text, i, page_))) return false;
    return true;
}

void HeadingFinder::Close(bool followedByBlank) {
    if (!open_) return;
    open_ = false;
    if (contentLines_ == 0 || contentLines_ > 3 || broken_) return;
    if (!blankAfter_) blankAfter_ = followedByBlank;
    const std::string utf8 = ToUtf8(content_, page_);
    if (CharCount(utf8, CodePage::Utf8) > MaxHeadingChars || IsSeparator(utf8)) return;
    const bool alone = blankBefore_ && blankAfter_;
    const HeadingKind kind = ClassifyHeading(WithoutMarks(utf8));
    int level = 0;
    switch (kind) {
        case HeadingKind::Part:
            level = 1;
            underChapter_ = false;
            break;
        case HeadingKind::Chapter:
            level = 2;
            underChapter_ = true;
            break;
        case HeadingKind::Scene:
            level = 3;
            break;
        case HeadingKind::Numeral:
            // A roman numeral that is a paragraph of its own line is a chapter's
            // number; a number alone between gaps too (a footnote's is not).
            if (alone || title_ || (contentLines_ == 1 && (everyLine_ || !IsDigit(utf8[0]))))
                level = underChapter_ ? 3 : 2;
            break;
        case HeadingKind::None:
            // A title set apart, but not a line of a song, a closing "THE END";
            // in verse, a line in capitals set apart is a poem's title.
            if ((title_ || (everyLine_ && contentLines_ == 1 && InCapitals(utf8))) && alone &&
                !EndsSentence(utf8) && !ClosingWords(utf8))
                level = 2;
            break;
    }
    if (level) headings_.push_back({number_, level, content_});
}

void HeadingFinder::Add(std::string_view line) {
    std::string_view cls;
    size_t textAt = 0;
    const int32_t n = ParagraphTagOf(line, cls, textAt);
    AddParts(n, cls, n ? line.substr(textAt) : line);
}

bool HeadingLines::FirstWordMayBeginHeading(std::string_view text) const {
    // Past the marks a heading may stand between ("* ЧАСТЬ ВТОРАЯ *").
    const size_t b = text.find_first_not_of(HeadingMarks);
    text.remove_prefix(b == std::string_view::npos ? text.size() : b);
    // Most lines fail at their first byte: no heading's word begins so.
    if (text.empty() || !initial_[static_cast<unsigned char>(text[0])]) return false;
    size_t i = 0;
    const char32_t first = FoldCase(DecodeChar(text, i, page_));
    char32_t word[16] = {first};
    size_t n = 1;
    while (i < text.size() && n < 16) {
        char32_t c = DecodeChar(text, i, page_);
        if (!IsWordChar(c)) break;
        word[n++] = FoldCase(c);
    }
    if (std::u32string_view(word, n) != U"the")
        return MayBeginHeading(std::u32string_view(word, n));
    // "The" begins a heading only before a number's word ("The First Act"):
    // the many lines of prose that begin with it go no further.
    while (i < text.size() && text[i] == ' ') ++i;
    std::u32string next;
    while (i < text.size() && next.size() < 24) {
        const char32_t c = DecodeChar(text, i, page_);
        if (!IsWordChar(c)) break;
        next += FoldCase(c);
    }
    return IsNumberWord(next);
}

void HeadingFinder::AddParts(int32_t n, std::string_view cls, std::string_view text) {
    const std::string_view t = TrimBlanks(text, page_);
    const bool blank = t.empty();
    if (n) {
        Close(blank);
        open_ = true;
        number_ = n;
        title_ = cls == "ptitl";
        content_.clear();
        contentLines_ = 0;
        blankBefore_ = blankAfter_ = broken_ = false;
    }
    if (open_) {
        if (!blank) {
            if (contentLines_ == 0) blankBefore_ = lastBlank_;
            if (blankAfter_) broken_ = true;  // text, a gap, text: no heading
            ++contentLines_;
            // Only a short paragraph can be a heading, and one that is no title
            // must begin with a heading's word (or, in verse, two capitals: a
            // poem's title): anything else is not copied.
            if (!broken_ && contentLines_ == 1 && !title_)
                broken_ = !lines_.FirstWordMayBeginHeading(t) && !(everyLine_ && TwoCapitals(t));
            if (broken_ || contentLines_ > 3 || content_.size() + t.size() > 600 ||
                CharCount(t, page_) > MaxHeadingChars) {
                broken_ = true;
            } else {
                if (!content_.empty()) content_ += ' ';
                AppendShownText(content_, t);
            }
        } else if (contentLines_ > 0) {
            blankAfter_ = true;
        }
    }
    lastBlank_ = blank;
}

void HeadingFinder::Finish() {
    Close(true);
    // A contents list printed at the top of a book: a run of headings close
    // together whose texts come again later. Only the later ones are headings.
    std::vector<bool> drop(headings_.size());
    std::vector<std::string> folded;
    for (const auto& h : headings_) folded.push_back(FoldToUtf8(h.Text, page_));
    for (size_t run = 0; run < headings_.size();) {
        size_t end = run + 1;
        while (end < headings_.size() &&
               headings_[end].Paragraph - headings_[end - 1].Paragraph <= 2)
            ++end;
        std::vector<size_t> again;
        for (size_t i = run; i < end; ++i)
            for (size_t j = i + 1; j < headings_.size(); ++j)
                if (folded[j] == folded[i]) {
                    again.push_back(i);
                    break;
                }
        if (end - run >= 3 && again.size() * 3 >= (end - run) * 2)
            for (size_t i : again) drop[i] = true;
        run = end;
    }
    // Numbers alone, one after another a few paragraphs apart, are the marks of
    // notes (footnotes), not chapters: the last of them too.
    auto number = [&](size_t i) {
        const std::string& t = folded[i];
        return !t.empty() && IsDigit(t[0]) && t.find(' ') == std::string::npos;
    };
    bool note = false, inNotes = false;
    for (size_t i = 0; i < headings_.size(); ++i) {
        // Under "Notes" a number alone is a note's.
        if (folded[i] == "notes" || folded[i] == "примечания") inNotes = true;
        if (!number(i)) {
            note = false;
            if (headings_[i].Level <= 2 && folded[i] != "notes" && folded[i] != "примечания")
                inNotes = false;
            continue;
        }
        if (inNotes) drop[i] = true;
        const bool nextNote = i + 1 < headings_.size() && number(i + 1) &&
                              headings_[i + 1].Paragraph - headings_[i].Paragraph <= 6;
        note = nextNote || note;
        if (note) drop[i] = true;
        note = nextNote;
    }
    std::vector<Heading> kept;
    for (size_t i = 0; i < headings_.size(); ++i)
        if (!drop[i]) kept.push_back(std::move(headings_[i]));
    headings_.swap(kept);
}

LineList ContentsLines(const std::vector<Heading>& headings) {
    LineList out;
    out.reserve(headings.size());
    for (const auto& h : headings)
        out.push_back(IntToStr(h.Paragraph) + "\t" + IntToStr(h.Level) + "\t" + h.Text);
    return out;
}

std::vector<Heading> ParseContents(const LineList& lines) {
    std::vector<Heading> out;
    for (const auto& l : lines) {
        size_t t1 = l.find('\t'), t2 = t1 == std::string::npos ? t1 : l.find('\t', t1 + 1);
        if (t2 == std::string::npos) continue;
        Heading h;
        int32_t level = 0;
        if (!TryDecimalToInt(std::string_view(l).substr(0, t1), h.Paragraph) ||
            !TryDecimalToInt(std::string_view(l).substr(t1 + 1, t2 - t1 - 1), level) || level < 1 ||
            level > 3 || h.Paragraph < 1)
            continue;
        h.Level = level;
        h.Text = l.substr(t2 + 1);
        out.push_back(std::move(h));
    }
    return out;
}
