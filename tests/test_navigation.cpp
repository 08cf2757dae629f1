// Contents and search: the headings a book's text holds, and finding a text in
// any letter case of any of the book's charsets.
#include <gtest/gtest.h>

#include <cstdio>

#include "ConvertUtil.h"
#include "base/Files.h"
#include "convert/Headings.h"
#include "convert/TextAnalysis.h"
#include "search/TextMatcher.h"

namespace {

// A converted book of a text.
BookFile Book(const std::string& text) {
    TempDir dir;
    return ConvertText(dir, text);
}

// The paragraph of every match of what in the book, in order.
std::vector<int32_t> Found(BookFile& b, const std::string& what) {
    TextMatcher m(what, b.GetProperty("Charset"));
    std::vector<int32_t> at;
    m.Scan(b, 0, [&](const SearchHit& h) {
        at.push_back(h.Paragraph);
        return true;
    });
    return at;
}

std::string Gutenberg() {
    std::string t = "The Project Gutenberg eBook of War\r\n\r\nTitle: War\r\n\r\n\r\n";
    const std::string para =
        "The reader turned a page and saw that it was\r\nlate; the candles burned low.\r\n\r\n";
    for (const char* book : {"BOOK ONE: 1805", "BOOK TWO: 1806"}) {
        t += "\r\n\r\n" + std::string(book) + "\r\n\r\n";
        for (const char* ch : {"CHAPTER I", "CHAPTER II"})
            t += "\r\n" + std::string(ch) + "\r\n\r\n" + para + para;
    }
    return t + "* * *\r\n\r\n" + para;
}

}  // namespace

TEST(Contents, EnglishInTheProjectGutenbergLayout) {
    BookFile b = Book(Gutenberg());
    EXPECT_EQ(Contents(b),
              (std::vector<std::string>{"1 BOOK ONE: 1805", "2 CHAPTER I", "2 CHAPTER II",
                                        "1 BOOK TWO: 1806", "2 CHAPTER I", "2 CHAPTER II"}));
    EXPECT_EQ(b.GetProperty("Headings"), "6");
    EXPECT_EQ(ClassifyHeading("XIV."), HeadingKind::Numeral);
    EXPECT_EQ(ClassifyHeading("12."), HeadingKind::Numeral);
    EXPECT_EQ(ClassifyHeading("Chapter the first"), HeadingKind::None) << "no number after it";
    EXPECT_EQ(ClassifyHeading("Part of the crowd stayed"), HeadingKind::None);
    EXPECT_EQ(ClassifyHeading("IIII"), HeadingKind::None);
}

TEST(Contents, RussianHeadingsInEveryCharset) {
    // Headings in capitals and in lower case, a numeral under a chapter, a
    // separator, and a title paragraph standing alone.
    // "Так было, и было так." lets the charset be told (a probe word between spaces).
    std::string text =
        "\xD0\x90\xD0\xB2\xD1\x82\xD0\xBE\xD1\x80 \xD0\xB1\xD1\x8B\xD0\xBB\xD0\xBE "
        "\xD1\x82\xD0\xB0\xD0\xBA\r\n\r\n";
    text +=
        "\r\n\xD0\xA7\xD0\x90\xD0\xA1\xD0\xA2\xD0\xAC "
        "\xD0\x9F\xD0\x95\xD0\xA0\xD0\x92\xD0\x90\xD0\xAF\r\n\r\n";  // ЧАСТЬ ПЕРВАЯ
    text +=
        "\r\n\xD0\xB3\xD0\xBB\xD0\xB0\xD0\xB2\xD0\xB0 "
        "\xD0\xB2\xD1\x82\xD0\xBE\xD1\x80\xD0\xB0\xD1\x8F\r\n\r\n";  // глава вторая
    text +=
        "   \xD0\xA2\xD0\xB5\xD0\xBA\xD1\x81\xD1\x82 "
        "\xD0\xB3\xD0\xBB\xD0\xB0\xD0\xB2\xD1\x8B.\r\n\r\n";  // Текст главы.
    text += "IV\r\n\r\n   \xD0\x95\xD1\x89\xD1\x91.\r\n\r\n* * *\r\n\r\n";
    text +=
        "          \xD0\x9C\xD0\xBE\xD1\x80\xD0\xBE\xD0\xB7\r\n\r\n   "
        "\xD0\x9A\xD0\xBE\xD0\xBD\xD0\xB5\xD1\x86.\r\n";  // Мороз
    for (const char* charset : {"UTF-8", "CP1251", "CP866"}) {
        BookFile b = Book(Iconv(text, charset));
        EXPECT_EQ(Contents(b),
                  (std::vector<std::string>{"1 \xD0\xA7\xD0\x90\xD0\xA1\xD0\xA2\xD0\xAC "
                                            "\xD0\x9F\xD0\x95\xD0\xA0\xD0\x92\xD0\x90\xD0\xAF",
                                            "2 \xD0\xB3\xD0\xBB\xD0\xB0\xD0\xB2\xD0\xB0 "
                                            "\xD0\xB2\xD1\x82\xD0\xBE\xD1\x80\xD0\xB0\xD1\x8F",
                                            "3 IV", "2 \xD0\x9C\xD0\xBE\xD1\x80\xD0\xBE\xD0\xB7"}))
            << charset;
    }
}

TEST(Contents, RealTexts) {
    if (!FileExists(std::string(TAVISTO_TEXTS) + "/SOURCES.md"))
        GTEST_SKIP() << "the real texts are not here: " << TAVISTO_TEXTS;
    const std::string dir = std::string(TAVISTO_TEXTS) + "/";
    for (const char* charset : {"UTF-8", "CP1251", "CP866"}) {
        BookFile dochka = Book(Iconv(ReadFile(dir + "pushkin-kapitanskaya-dochka.txt"), charset));
        int chapters = 0;
        for (const auto& c : Contents(dochka))
            chapters += c.rfind("2 \xD0\x93\xD0\x9B\xD0\x90\xD0\x92\xD0\x90 ", 0) == 0;
        EXPECT_EQ(chapters, 14) << "ГЛАВА I to XIV, " << charset;
        BookFile sad = Book(Iconv(ReadFile(dir + "chekhov-vishnevy-sad.txt"), charset));
        int acts = 0;
        for (const auto& c : Contents(sad))
            acts += c.find("\xD0\x94\xD0\xB5\xD0\xB9\xD1\x81\xD1\x82\xD0\xB2\xD0\xB8\xD0\xB5 ") !=
                    std::string::npos;
        EXPECT_EQ(acts, 4) << "Действие первое to четвертое, " << charset;
        BookFile moroz = Book(Iconv(ReadFile(dir + "nekrasov-moroz-krasny-nos.txt"), charset));
        std::vector<std::string> parts;
        for (const auto& c : Contents(moroz))
            if (c[0] == '1') parts.push_back(c);
        EXPECT_EQ(parts.size(), 2u) << "ЧАСТЬ ПЕРВАЯ, ЧАСТЬ ВТОРАЯ, " << charset;
        BookFile detstvo = Book(Iconv(ReadFile(dir + "gorky-detstvo.txt"), charset));
        std::vector<std::string> c = Contents(detstvo);
        ASSERT_GE(c.size(), 13u) << charset;
        EXPECT_EQ(c[0], "2 I");
        EXPECT_EQ(c[12], "2 XIII");
    }
}

TEST(Contents, ATagCutShortIsNoTag) {
    // Every cut of a whole tag: none reads past the line's end, none is a tag.
    const std::string whole = "<Page1><p id=\"par12\" class=\"pnorm\">";
    std::string_view cls;
    size_t at = 0;
    EXPECT_EQ(ParagraphTagOf(whole + "text", cls, at), 12);
    for (size_t n = 0; n < whole.size(); ++n)
        EXPECT_EQ(ParagraphTagOf(std::string_view(whole).substr(0, n), cls, at), 0) << n;
    // One grammar for the page builder too: what is not exactly a marker or a
    // tag the conversion writes is a book's own text.
    EXPECT_TRUE(BodyMarkupAt(whole, 0));
    EXPECT_TRUE(BodyMarkupAt(whole, 7));
    for (const char* text : {"<Page01>", "<Page>", "<p id=\"par1\" class=\"x onl\">",
                             "<p id=\"par1\" class=\"pnorm\""})
        EXPECT_FALSE(BodyMarkupAt(text, 0)) << text;
}

TEST(Search, AnAmpersandBeforeATagIsTextAndTheMarkupIsNever) {
    // "Smith &" ends a paragraph, "and Sons" begins the next: the "&" does not
    // swallow the next paragraph's tag, and the tags' words are never found.
    BookFile b = Book("  Dombey and Smith &\r\n  and Sons &amp; Co &lt;b&gt; &x; a&b\r\n");
    auto find = [&](const std::string& what) { return Found(b, what); };
    EXPECT_EQ(find("Sons"), std::vector<int32_t>{2});
    EXPECT_EQ(find("Smith &"), std::vector<int32_t>{1});
    for (const char* markup : {"class", "pnorm", "par2", "Page"})
        EXPECT_TRUE(find(markup).empty()) << markup;
    // A text that spells out references is found as it is written (and shown
    // so: the conversion escapes its "&").
    EXPECT_EQ(find("&amp; Co &lt;b&gt;"), std::vector<int32_t>{2});
    EXPECT_TRUE(find("& Co <b>").empty());
    EXPECT_EQ(find("&x; a&b"), std::vector<int32_t>{2}) << "what is no reference is text";
    EXPECT_EQ(b.GetProperty("Escaped"), "amp lt gt");
}

TEST(Search, AnyCaseInEveryCharsetAcrossLinesAndEscapes) {
    // "Не везло Ивану" in capitals in the text, broken across two lines, and "a<b".
    const std::string text =
        "  \xD0\x9D\xD0\xB0\xD1\x87\xD0\xB0\xD0\xBB\xD0\xBE \xD0\xB1\xD1\x8B\xD0\xBB\xD0\xBE "
        "\xD1\x82\xD0\xB0\xD0\xBA.\r\n"
        "  \xD0\x9D\xD0\x95 "
        "\xD0\x92\xD0\x95\xD0\x97\xD0\x9B\xD0\x9E\r\n\xD0\x98\xD0\x92\xD0\x90\xD0\x9D\xD0\xA3, "
        "a<b \xD1\x91\xD0\xBB\xD0\xBA\xD0\xB0.\r\n  \xD0\x9A\xD0\xBE\xD0\xBD\xD0\xB5\xD1\x86.\r\n";
    for (const char* charset : {"UTF-8", "CP1251", "CP866", "KOI8-R"}) {
        BookFile b = Book(Iconv(text, charset));
        // Too few letters to tell KOI8-R by: the reader would choose it by hand.
        if (std::string(charset) == "KOI8-R") b.SetProperty("Charset", charset);
        auto find = [&](const std::string& what) { return Found(b, what); };
        EXPECT_EQ(find("\xD0\xBD\xD0\xB5  \xD0\xB2\xD0\xB5\xD0\xB7\xD0\xBB\xD0\xBE "
                       "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD\xD1\x83"),
                  std::vector<int32_t>{2})
            << "не  везло Ивану, " << charset;
        EXPECT_EQ(find("A<B"), std::vector<int32_t>{2}) << charset;
        EXPECT_EQ(find("\xD0\x95\xD0\x9B\xD0\x9A\xD0\x90"), std::vector<int32_t>{2})
            << "ЕЛКА finds ёлка, " << charset;
        EXPECT_TRUE(find("\xD1\x82\xD0\xB0\xD0\xBA. \xD0\xBD\xD0\xB5").empty())
            << "no match runs across paragraphs, " << charset;
        EXPECT_TRUE(find("lt;").empty()) << charset;
        SearchHit hit;
        // From paragraph 3 on, the next one wraps round to paragraph 2.
        EXPECT_TRUE(FindNext(b, TextMatcher("a<b", b.GetProperty("Charset")), 3, UINT64_MAX, hit));
        EXPECT_EQ(hit.Paragraph, 2);
        EXPECT_TRUE(FindPrevious(
            b, TextMatcher("\xD0\xBA\xD0\xBE\xD0\xBD\xD0\xB5\xD1\x86", b.GetProperty("Charset")), 1,
            UINT64_MAX, hit));
        EXPECT_EQ(hit.Paragraph, 3) << "backward from the start wraps to the end";
    }
}

TEST(Search, EveryMatchOfRandomTextsAsAPlainSearchFindsThem) {
    // Texts of words in both alphabets and cases, escapes, no-break spaces and
    // line breaks; needles cut from them. Each paragraph holding the needle (read
    // as the reader sees it, folded, blanks as one) is found, once a match.
    const char* const words[] = {"нос",  "НОС",  "Нос",  "носа", "ёлка", "ЕЛКА", "the",      "The",
                                 "nose", "NOSE", "a<b",  "&",    "x&y",  "е",    "Ё",        "ab",
                                 "AB",   "café", "CAFÉ", "1905", "—",    "«да»", "\xC2\xA0", "n"};
    uint32_t seed = 12345;
    auto next = [&](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    for (int round = 0; round < 40; ++round) {
        const bool utf8 = round % 2 == 0;
        std::vector<std::string> paragraphs;
        std::string text;
        for (int p = 0; p < 30; ++p) {
            std::string par;
            for (int w = 0, n = 3 + int(next(20)); w < n; ++w) {
                if (!par.empty()) par += next(6) ? " " : "\r\n";
                const std::string word = words[next(sizeof words / sizeof *words)];
                par +=
                    utf8 || word.find("\xC3") == std::string::npos ? word : "cafe";  // no é in 1251
            }
            paragraphs.push_back(par);
            text += "  " + par + "\r\n";
        }
        BookFile b = Book(utf8 ? text : Iconv(text, "CP1251"));
        if (!utf8) b.SetProperty("Charset", "windows-1251");
        // A plain search: fold, blanks as one space, every start.
        auto plainFold = [](const std::string& s) {
            std::string f = FoldToUtf8(s, CodePage::Utf8), out;
            for (size_t i = 0; i < f.size(); ++i) {
                const bool nbsp = f.compare(i, 2, "\xC2\xA0") == 0;
                const bool blank = f[i] == ' ' || f[i] == '\r' || f[i] == '\n' || nbsp;
                if (nbsp) ++i;
                if (blank) {
                    if (!out.empty() && out.back() != ' ') out += ' ';
                } else {
                    out += f[i];
                }
            }
            while (!out.empty() && out.back() == ' ') out.pop_back();
            return out;
        };
        for (int q = 0; q < 6; ++q) {
            const std::string& from = paragraphs[next(30)];
            const std::string folded = plainFold(from);
            const size_t at = next(uint32_t(folded.size()));
            size_t len = 1 + next(12);
            // Whole characters, no blank at either end.
            std::string needle = folded.substr(at, len);
            while (!needle.empty() && (needle[0] & 0xC0) == 0x80) needle.erase(0, 1);
            while (!needle.empty() && (needle.back() & 0xC0) == 0xC0) needle.pop_back();
            while (!needle.empty() && needle.back() == ' ') needle.pop_back();
            while (!needle.empty() && needle[0] == ' ') needle.erase(0, 1);
            if (needle.empty() || (needle.back() & 0x80)) continue;
            std::vector<int32_t> expected;
            for (size_t p = 0; p < paragraphs.size(); ++p) {
                const std::string hay = plainFold(paragraphs[p]);
                for (size_t s = hay.find(needle); s != std::string::npos;
                     s = hay.find(needle, s + 1))
                    expected.push_back(int32_t(p + 1));
            }
            EXPECT_EQ(Found(b, needle), expected) << "\"" << needle << "\" round " << round;
        }
    }
}
