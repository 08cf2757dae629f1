// Contents and search: the headings a book's text holds, and finding a text in
// any letter case of any of the book's charsets.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>

#include "ConvertUtil.h"
#include "base/Files.h"
#include "convert/Headings.h"
#include "convert/TextAnalysis.h"
#include "search/HitList.h"
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
}

TEST(Contents, LinesOfOneShapeAndTheirNumbers) {
    // Two lines of one kind of heading, and the numbers they carry.
    const struct {
        const char *a, *b;
        int64_t va, vb;
    } same[] = {
        {"XIV.", "XV.", 14, 15},
        {"ГЛАВА IX", "глава Х", 9, 10},  // a Cyrillic Х
        {"Глава двадцать первая", "Глава двадцать вторая", 21, 22},
        {"3 января", "5 февраля", 103, 205},
        {"1. Дурное поведение", "12. Сержант гвардии", 1, 12},
        {"* ЧАСТЬ ВТОРАЯ *", "ЧАСТЬ ТРЕТЬЯ", 2, 3},
        {"— ІІ —", "— III —", 2, 3},
        {"CHAPTER Twenty-First", "Chapter Second", 21, 2},
        {"Тетрадь первая", "Тетрадь вторая", 1, 2},
        {"[ IV ]", "[ V ]", 4, 5},
    };
    for (const auto& c : same) {
        const LineShape a = ShapeOf(c.a), b = ShapeOf(c.b);
        EXPECT_FALSE(a.Key.empty()) << c.a;
        EXPECT_EQ(a.Value, c.va) << c.a;
        EXPECT_EQ(b.Value, c.vb) << c.b;
        // Marks frame a heading, they do not make another kind of it.
        std::string ka, kb;
        for (char ch : a.Key) ka += ch == '*' || ch == '-' || ch == ' ' ? "" : std::string(1, ch);
        for (char ch : b.Key) kb += ch == '*' || ch == '-' || ch == ' ' ? "" : std::string(1, ch);
        EXPECT_EQ(ka, kb) << c.a << " / " << c.b;
    }
    // Speech, sentences, a sentence going on, the end: no heading's shape.
    for (const char* no : {"— Да, глава первая", "Он ушёл.", "и потом", "THE END", "Конец.",
                           "«Глава 2»", "Part of the crowd stayed."})
        EXPECT_TRUE(ShapeOf(no).Key.empty()) << no;
    EXPECT_FALSE(ShapeOf("IIII").Numbered());
    EXPECT_FALSE(ShapeOf("В Европу прорубить окно[1]").Numbered()) << "a note's mark";
    EXPECT_FALSE(ShapeOf("А. С. Пушкин").Numbered()) << "initials, a Cyrillic С among them";

    // A shape read only as far as it can change tells the same of a line.
    for (const char* line : {"Он встал и вышел из комнаты", "Песня номер 12", "Песня о вещем Олеге",
                             "ВСЕ СЛОВА ЭТОЙ СТРОКИ ЗАГЛАВНЫЕ", "ВСЕ СЛОВА ЗДЕСЬ, кроме двух",
                             "Пролог к длинной поэме", "Глава двадцать первая и последняя",
                             "3 января 1812 года, в Москве", "XIV.", "Он ушёл.",
                             "Письмо к другу о многом", "The First Act of the play"}) {
        const LineShape whole = ShapeOf(line), front = ShapeOf(line, false);
        EXPECT_EQ(front.Key.empty(), whole.Key.empty()) << line;
        EXPECT_EQ(front.Value, whole.Value) << line;
        EXPECT_EQ(front.Capitals, whole.Capitals) << line;
        EXPECT_EQ(front.Word, whole.Word) << line;
    }
}

TEST(Contents, NestedHeadingsInEveryCharset) {
    // Parts in capitals, chapters in lower case under them, numerals under the
    // chapters; a break, a line centred alone and the end are none.
    // "Так было, и было так." lets the charset be told (a probe word between spaces).
    std::string text = "Автор было так\r\n\r\n";
    std::vector<std::string> want;
    const char* parts[] = {"ЧАСТЬ ПЕРВАЯ", "ЧАСТЬ ВТОРАЯ"};
    const char* chapters[] = {"глава первая", "глава вторая"};
    for (const char* part : parts) {
        text += std::string("\r\n") + part + "\r\n\r\n";
        want.push_back(std::string("1 ") + part);
        for (const char* chapter : chapters) {
            text += std::string("\r\n") + chapter + "\r\n\r\n";
            want.push_back(std::string("2 ") + chapter);
            for (const char* numeral : {"I", "II", "III"}) {
                text += std::string(numeral) +
                        "\r\n\r\n   Текст главы. Так было, и было так.\r\n   Ещё.\r\n\r\n";
                want.push_back(std::string("3 ") + numeral);
            }
            text += "* * *\r\n\r\n          Мороз\r\n\r\n   Ещё.\r\n\r\n";
        }
    }
    text += "          КОНЕЦ\r\n";
    for (const char* charset : {"UTF-8", "CP1251", "CP866"}) {
        BookFile b = Book(Iconv(text, charset));
        EXPECT_EQ(Contents(b), want) << charset;
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
    // Letters past the first blocks fold too: the old orthography's, Latin
    // and Greek ones, in a text of any of them.
    BookFile other = Book(
        "  \u0422\u0410\u041A\u042A \u0462\u0425\u0410\u041B\u042A "
        "\u0412\u042A \u0141\u00D3D\u0179, \u039B\u039F\u0393\u039F\u03A3."
        "\r\n  Next.\r\n");
    EXPECT_EQ(Found(other,
                    "\u0463\u0445\u0430\u043B\u044A \u0432\u044A "
                    "\u0142\u00F3d\u017A, \u03BB\u03BF\u03B3\u03BF\u03C3"),
              std::vector<int32_t>{1})
        << "ѣхалъ въ łódź, λογοσ";
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
                // (A line that goes on with a paragraph, not one that could stand apart.)
                if (!par.empty()) par += next(6) ? " " : "\r\nи ";
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

TEST(Search, FindingTheNextOrPreviousHitReadsTheBookNoFurther) {
    // Back over many pages and round the ends; then the book's file loses its
    // last part: a hit before it is found (the read stopped there), while a
    // scan to the end says the book is damaged.
    std::string text;
    for (int p = 1; p <= 30000; ++p)  // 3 MB: the body is read a megabyte at a time
        text += "  Paragraph " + std::to_string(p) +
                (p == 5 || p == 29000 ? " with a needle" : "") +
                " of a text long enough for pages and pages to follow it.\r\n";
    TempDir dir;
    BookFile made = ConvertText(dir, text);
    ASSERT_GE(made.GetIntProperty("PagesCount"), 5);
    made.SaveAsNewBook("cut");
    BookFile b(dir.Path());
    b.FileName = made.FileName;
    b.LoadFromBookFile();
    b.PageOfParagraph(1);  // its pages found, as an open does
    SearchHit hit;
    // Back over many pages, and round from the start to the book's end.
    const struct {
        int32_t from;
        int32_t found;
    } back[] = {{29500, 29000}, {29000, 5}, {20000, 5}, {5, 29000}, {3, 29000}};
    for (const auto& c : back) {
        EXPECT_TRUE(FindPrevious(b, TextMatcher("needle", "UTF-8"), c.from, UINT64_MAX, hit));
        EXPECT_EQ(hit.Paragraph, c.found) << "back from " << c.from;
    }
    ASSERT_EQ(::truncate(b.FullPath().c_str(), off_t(FileSizeOf(b.FullPath()) - 1500000)), 0);
    EXPECT_TRUE(FindNext(b, TextMatcher("needle", "UTF-8"), 1, UINT64_MAX, hit));
    EXPECT_EQ(hit.Paragraph, 5);
    EXPECT_TRUE(FindPrevious(b, TextMatcher("needle", "UTF-8"), 10, UINT64_MAX, hit));
    EXPECT_EQ(hit.Paragraph, 5) << "back from page 1";
    EXPECT_THROW(Found(b, "no such words"), EBookDamaged);
}

TEST(Search, AListOfEveryHitPageByPageWithItsContext) {
    // Hits on many pages, two in one paragraph, in UTF-8 and in windows-1251;
    // listed a page at a time, they are every hit a whole scan finds.
    std::string text;
    for (int p = 1; p <= 900; ++p) {
        text += "  Абзац " + std::to_string(p) + " <длинного> текста, в котором страницы";
        if (p % 60 == 0) text += " и Игла лежит & ждёт, и ещё одна игла";
        text += " идут одна за другой до самого конца книги.\r\n";
    }
    for (const char* charset : {"UTF-8", "CP1251"}) {
        BookFile b = Book(Iconv(text, charset));
        ASSERT_GE(b.GetIntProperty("PagesCount"), 3) << charset;
        HitList list(b, "игла");
        std::vector<ListedHit> hits;
        double done = 0;
        while (list.ScanOn(1, hits)) {
            EXPECT_GT(list.Done(), done);
            done = list.Done();
        }
        EXPECT_EQ(list.Done(), 1.0);
        const std::vector<int32_t> all = Found(b, "игла");
        ASSERT_EQ(hits.size(), all.size()) << charset;
        ASSERT_EQ(hits.size(), 30u);
        for (size_t i = 0; i < hits.size(); ++i) {
            EXPECT_EQ(hits[i].Hit.Paragraph, all[i]);
            EXPECT_EQ(hits[i].Nth, int(i % 2)) << "the second in its paragraph";
            const std::string& c = hits[i].Context;
            EXPECT_NE(c.find("Игла лежит & ждёт"), std::string::npos) << c;
            EXPECT_EQ(c.find("class"), std::string::npos) << c;
            EXPECT_EQ(c.find("&amp;"), std::string::npos) << c;
        }
    }
}
