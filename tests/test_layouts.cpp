// Paragraph layouts on real texts, in every charset they come in, and texts
// read from UTF-16.
#include <gtest/gtest.h>

#include <cstdio>

#include "ConvertUtil.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "convert/Headings.h"
#include "convert/Paragraphs.h"
#include "convert/TextAnalysis.h"

namespace {

// A text of ../shared/texts/, converted to charset by iconv ("" when absent).
std::string SharedText(const std::string& name, const std::string& charset = "UTF-8") {
    const std::string path = std::string(TAVISTO_TEXTS) + "/" + name;
    if (!FileExists(path)) return {};
    return IconvFile(path, charset);
}

#define NEED_TEXTS()                                                 \
    if (!FileExists(std::string(TAVISTO_TEXTS) + "/SOURCES.md"))     \
    GTEST_SKIP() << "the real texts are not here: " << TAVISTO_TEXTS \
                 << " (they stand beside the repository in ../shared/texts)"

struct Converted {
    std::string layout;
    LineList body, texts;
    std::string charset;
};

// The converted text's paragraphs (page markers taken off), and its lines
// without their tags.
Converted Convert(const std::string& text) {
    TempDir dir;
    BookFile b = ConvertText(dir, text);
    Converted c;
    c.texts = Texts(b);
    c.layout = b.GetProperty("Layout");
    for (const auto& l : b.Body()) {
        int32_t page = 0;
        c.body.push_back(PageMarkerAt(l, 0, page) ? l.substr(l.find('>') + 1) : l);
    }
    c.charset = b.GetProperty("Charset");
    return c;
}

std::string EnglishSample() {
    std::string t =
        "The Project Gutenberg eBook of A Test\r\n\r\nTitle: A Test of Layouts\r\n\r\n"
        "Author: Some Writer\r\n\r\n*** START OF THE PROJECT GUTENBERG EBOOK ***\r\n\r\n";
    const char* words[] = {"the", "reader", "turned", "a",  "page",
                           "and", "saw",    "that",   "it", "was"};
    for (int ch = 1; ch <= 3; ++ch) {
        t += "\r\n\r\nCHAPTER " + std::string(ch == 1 ? "I" : ch == 2 ? "II" : "III") + "\r\n\r\n";
        for (int par = 0; par < 6; ++par) {
            std::string line;
            for (int w = 0; w < 60 + par * 7; ++w) {
                std::string word = words[(w * 7 + par + ch) % 10];
                if (line.size() + word.size() + 1 > 70) {
                    t += line + "\r\n";
                    line.clear();
                }
                line += (line.empty() ? "" : " ") + word;
            }
            t += line + ".\r\n\r\n";
        }
    }
    return t;
}

}  // namespace

TEST(Layouts, RealTextsInEveryCharset) {
    NEED_TEXTS();
    const std::pair<const char*, const char*> expected[] = {
        {"blok-devushka.txt", "classic"},
        {"bryusov-bemol.txt", "margin 2"},
        {"chekhov-anyuta.txt", "lines"},
        {"chekhov-vishnevy-sad.txt", "classic"},
        {"gogol-nos.txt", "classic"},
        {"gorky-detstvo.txt", "classic"},
        {"gorky-meshchane.txt", "lines"},
        {"nekrasov-moroz-krasny-nos.txt", "verse"},
        {"pushkin-kapitanskaya-dochka.txt", "lines"},
        {"pushkin-medny-vsadnik.txt", "classic"}};
    for (const char* charset : {"UTF-8", "CP1251", "CP866"}) {
        for (const auto& [name, layout] : expected) {
            Converted c = Convert(SharedText(name, charset));
            EXPECT_EQ(c.layout, layout) << name << " in " << charset;
            // The text's lines are kept as they stand (no line-end hyphen here).
            const LineList source = SplitText(SharedText(name, charset));
            EXPECT_EQ(c.texts.size(), source.size()) << name;
        }
    }
}

TEST(Layouts, TheLayoutsReadTheirTexts) {
    NEED_TEXTS();
    // One line per paragraph: a paragraph for every line of the story.
    Converted anyuta = Convert(SharedText("chekhov-anyuta.txt"));
    EXPECT_EQ(anyuta.body.size(), 52u);
    for (const auto& l : anyuta.body) EXPECT_EQ(l.rfind("<p id=", 0), 0u);
    // Margin: the first lines of paragraphs begin them, no line is a title but
    // the ones set apart, and continuation lines continue.
    Converted bemol = Convert(SharedText("bryusov-bemol.txt"));
    int paragraphs = 0, titles = 0;
    for (const auto& l : bemol.body) {
        paragraphs += l.rfind("<p id=", 0) == 0;
        titles += l.find("class=\"ptitl\"") != std::string::npos;
    }
    EXPECT_LT(paragraphs, 40);
    EXPECT_EQ(titles, 0);
    // Verse: every line its own paragraph.
    Converted moroz = Convert(SharedText("nekrasov-moroz-krasny-nos.txt", "CP1251"));
    for (const auto& l : moroz.body) EXPECT_EQ(l.rfind("<p id=", 0), 0u) << l;
}

TEST(Layouts, EnglishAndTabIndentedTexts) {
    // The Project Gutenberg layout reads right by the classic rule.
    Converted en = Convert(EnglishSample());
    EXPECT_EQ(en.layout, "classic");
    EXPECT_EQ(en.texts.size(), SplitText(EnglishSample()).size());
    // English verse, one line each, capitals at every line's start.
    std::string verse;
    for (int i = 0; i < 40; ++i)
        verse += std::string(i % 5 == 4 ? ""
                                        : (i % 2 ? "And softly sang the morning "
                                                 : "Upon a hill of silver ")) +
                 (i % 5 == 4 ? "" : "light") + "\r\n";
    EXPECT_EQ(Convert(verse).layout, "verse");
    // Paragraphs that begin with a tab: each its own paragraph, the rest continuing.
    std::string tabbed;
    for (int p = 0; p < 20; ++p)
        tabbed +=
            "\tA paragraph begins here and runs on over\r\na second line that is about as long "
            "as\r\n"
            "the first, and a third.\r\n";
    Converted t = Convert(tabbed);
    int begun = 0;
    for (const auto& l : t.body) begun += l.rfind("<p id=", 0) == 0;
    EXPECT_EQ(begun, 20);
    EXPECT_EQ(t.body[1], "a second line that is about as long as") << "the bytes stay";
}

TEST(Utf16, BothByteOrdersAndAUtf8MarkGiveTheUtf8Book) {
    TempDir dir;
    ::mkdir((dir / "lib").c_str(), 0755);
    // Russian text, an emoji (a surrogate pair) and a line break of each kind.
    const std::string utf8 =
        "  \xD0\x9D\xD0\xBE\xD1\x81\r\n\xD0\x91\xD1\x8B\xD0\xBB\xD0\xBE \xF0\x9F\x98\x80 "
        "\xD0\xB2\xD0\xB8\xD0\xB4\xD0\xBD\xD0\xBE\n  end\r";
    WriteFile(dir / "u8.txt", utf8);
    auto book = [&](const std::string& file) {
        BookFile b = ConvertToBook(dir / file, dir / "lib/");
        return std::make_pair(b.Body(), b.GetProperty("Charset"));
    };
    const auto want = book("u8.txt");
    for (const char* order : {"UTF-16LE", "UTF-16BE"}) {
        std::string bom = std::string(order) == "UTF-16LE" ? "\xFF\xFE" : "\xFE\xFF";
        ASSERT_EQ(std::system(("printf '" + bom + "' > '" + (dir / "u16.txt") +
                               "' && iconv -f UTF-8 -t " + order + " '" + (dir / "u8.txt") +
                               "' >> '" + (dir / "u16.txt") + "'")
                                  .c_str()),
                  0);
        EXPECT_EQ(book("u16.txt"), std::make_pair(want.first, std::string("UTF-8"))) << order;
    }
    // The UTF-8 byte-order mark is no part of the first paragraph (nor of a title).
    WriteFile(dir / "marked.txt", "\xEF\xBB\xBF" + utf8);
    EXPECT_EQ(book("marked.txt"), want);
    // A lone surrogate and an odd last byte become U+FFFD.
    WriteFile(dir / "bad.txt", std::string("\xFF\xFE"
                                           "a\0\x00\xD8"
                                           "b\0c",
                                           9));
    BookFile bad = ConvertToBook(dir / "bad.txt", dir / "lib/");
    EXPECT_EQ(bad.Body()[0],
              "<Page1><p id=\"par1\" class=\"pnorm\">a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
}

TEST(Layouts, ChoosingByHandKeepsTheReadingPosition) {
    // One long line per paragraph: read as lines, then by hand as classic (which
    // runs them together) and back; the position follows the text.
    std::string text;
    for (int i = 1; i <= 300; ++i)
        text += "Line " + std::to_string(i) + " " + std::string(130, char('a' + i % 26)) + "\r\n";
    TempDir dir;
    BookFile b = ConvertText(dir, text);
    b.SaveAsNewBook("t");
    ASSERT_EQ(b.GetProperty("Layout"), "lines");
    b.LastParagraph = 250;
    auto paragraphText = [](BookFile& book, int32_t n) {
        // The text of paragraph n, as it stands in the body.
        std::string tag = "<p id=\"par" + std::to_string(n) + "\"", out;
        bool in = false;
        for (const auto& l : book.Body()) {
            if (l.find("<p id=") != std::string::npos) in = l.find(tag) != std::string::npos;
            if (in) out += l.substr(l.find('>', l.find("<p id=")) + 1) + "\n";
        }
        return out;
    };
    const Layout::Shape classic = Layout::Classic;
    EXPECT_EQ(RebuildBook(b, &classic).Name(), "classic");
    EXPECT_LT(b.GetIntProperty("TotalParagraphs"), 300) << "lines run together";
    EXPECT_NE(paragraphText(b, b.LastParagraph).find("Line 250 "), std::string::npos);
    LineList page;
    b.ExtractPage(b.LastPage, page);
    EXPECT_NE(JoinLines(page).find("par" + std::to_string(b.LastParagraph) + "\""),
              std::string::npos);
    EXPECT_EQ(b.GetIntProperty("LastParagraph"), b.LastParagraph);
    // Back to the layout the text calls for: at the first line of that paragraph.
    const int32_t first = std::stoi(paragraphText(b, b.LastParagraph).substr(5));
    EXPECT_EQ(RebuildBook(b, nullptr).Name(), "lines");
    EXPECT_EQ(b.LastParagraph, first);
    EXPECT_EQ(b.GetProperty("TotalParagraphs"), "300");
}

TEST(Layouts, ARebuildOfABookWithANulInItsTextWritesNothing) {
    // A NUL in the text of a book whose stored page index is whole: the book
    // opens, and a rebuild would once read it short and write the stub back.
    std::string text;
    for (int i = 1; i <= 400; ++i) text += "  Paragraph " + std::to_string(i) + " goes on.\r\n";
    TempDir dir;
    BookFile made = ConvertText(dir, text);
    made.SaveAsNewBook("t");
    std::string bytes = ReadFile(made.FullPath());
    const size_t at = bytes.find("Paragraph 20 ");
    ASSERT_NE(at, std::string::npos);
    bytes[at + 2] = '\0';
    WriteFile(made.FullPath(), bytes);
    BookFile b(made.Folder());
    b.FileName = made.FileName;
    b.LoadFromBookFile();
    const Layout::Shape classic = Layout::Classic;
    EXPECT_THROW(RebuildBook(b, &classic), EBookDamaged);
    EXPECT_EQ(ReadFile(made.FullPath()), bytes);
}

TEST(Titles, TheBooksOwnTitleAndAuthor) {
    auto find = [](const std::string& text, const std::string& charset = "Windows-1252") {
        std::string title, author;
        FindTitleAndAuthor(SplitText(text), charset, title, author);
        return title + "|" + author;
    };
    EXPECT_EQ(find(EnglishSample()), "A Test of Layouts|Some Writer");
    EXPECT_EQ(find("\r\n             The Quiet Room\r\n  It began on a Monday, as most things do."),
              "The Quiet Room|");
    EXPECT_EQ(find("Anton Chekhov\r\nThe Lady with the Dog\r\n\r\n  Text"),
              "The Lady with the Dog|Anton Chekhov");
    EXPECT_EQ(find("Valery Bryusov. Flat\r\n\r\n  Text"), "Flat|Valery Bryusov");
    EXPECT_EQ(find("   Dramatis personae\r\n   Hamlet, a prince.\r\n"), "|") << "a cast list";
    EXPECT_EQ(find("  " + std::string(100, 'w') + "\r\n"), "|") << "a long first line";
    EXPECT_EQ(find("A &lt;Title&gt;\r\n"), "A <Title>|");
    // A Project Gutenberg first line names both; a part heading between marks
    // and the first words of a wrapped paragraph name nothing.
    EXPECT_EQ(find("***The Project Gutenberg's Etext of Alice in Wonderland, by Lewis Carroll***"
                   "\r\n\r\nThis etext is for the use of anyone\r\n"),
              "Alice in Wonderland|Lewis Carroll");
    EXPECT_EQ(
        find("* \xD7\xC0\xD1\xD2\xDC \xCF\xC5\xD0\xC2\xC0\xDF *\r\n\r\n  Text", "windows-1251"),
        "|")
        << "* ЧАСТЬ ПЕРВАЯ *";
    EXPECT_EQ(
        find("It was a bright cold day in April, and the clocks\r\nwere striking thirteen.\r\n"),
        "|");
    // A name in any of its forms, before or after the title, or on one line with it.
    const std::pair<const char*, const char*> named[] = {
        {"BY LEO TOLSTOY\r\n\r\nWar and Peace\r\n\r\n  Text", "War and Peace|Leo Tolstoy"},
        {"Чехов А. П.\r\nСтепь\r\n\r\n   Текст.", "Степь|Чехов А. П."},
        {"Степь\r\n\r\nА. П. Чехов\r\n\r\n   Текст.", "Степь|А. П. Чехов"},
        {"Чехов А. П. Степь.\r\n\r\n   Текст.", "Степь|Чехов А. П."},
        {"Чехов А.П. Степь\r\n\r\n   Текст.", "Степь|Чехов А.П."},
        {"Чехов А. Степь\r\n\r\n   Текст.", "Степь|Чехов А."},
        {"Антон Павлович Чехов. СТЕПЬ.\r\n\r\n   Текст.", "СТЕПЬ|Антон Павлович Чехов"},
        {"МЕДНЫЙ ВСАДНИК\r\nАлександр Пушкин\r\n\r\n   Текст.", "МЕДНЫЙ ВСАДНИК|Александр Пушкин"},
        {"PART TWO\r\n\r\n   Text.", "|"},
        {"Записки охотника\r\n================\r\nИван Тургенев\r\n\r\n   Текст.",
         "Записки охотника|Иван Тургенев"},
        // A scanned book's imprint, the name again over the title; a catalogue's
        // name, a dash, capitals, quotes.
        {"ББК 84Р7\r\nГ71\r\n\r\nГорький М.\r\nГ71 Детство: Повесть. — М., 1985.\r\n\r\n"
         "МАКСИМ ГОРЬКИЙ\r\n\r\nДЕТСТВО\r\n\r\n   Текст.",
         "ДЕТСТВО|Горький М."},
        {"Серия «Школьная библиотека»\r\n© Детская литература, 1985\r\n\r\nМАКСИМ "
         "ГОРЬКИЙ\r\n«Детство»\r\n\r\n   Текст.",
         "Детство|Максим Горький"},
        {"Горький, Максим. Детство\r\n\r\n   Текст.", "Детство|Горький, Максим"},
        {"Детство — М.ГОРЬКИЙ\r\n\r\n   Текст.", "Детство|М.Горький"},
    };
    for (const auto& [text, want] : named) EXPECT_EQ(find(text, "UTF-8"), want) << text;
    // In the text's own charset: cp866 bytes stay cp866.
    EXPECT_EQ(
        find("\x80\xad\xe2\xae\xad \x97\xa5\xe5\xae\xa2\r\n\x80\x8d\x9e\x92\x80\r\n", "cp866"),
        "\x80\x8d\x9e\x92\x80|\x80\xad\xe2\xae\xad \x97\xa5\xe5\xae\xa2");
}
