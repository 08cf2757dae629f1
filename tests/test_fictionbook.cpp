#include <dirent.h>
#include <gtest/gtest.h>

#include "ConvertUtil.h"
#include "Fb2Sample.h"
#include "TestUtil.h"
#include "base/Errors.h"
#include "book/BodyLines.h"
#include "convert/Converter.h"
#include "convert/FictionBook.h"
#include "convert/Headings.h"
#include "reading/PageBuilder.h"

namespace {

// A 1x1 PNG.
const std::string Png =
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+"
    "M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==";

struct Paragraph {
    std::string cls, text;
};

std::vector<Paragraph> Paragraphs(BookFile& book) {
    std::vector<Paragraph> out;
    for (const auto& line : book.Body()) {
        std::string_view cls;
        size_t at = 0;
        if (!ParagraphTagOf(line, cls, at)) continue;
        std::string shown;
        AppendShownText(shown, std::string_view(line).substr(at));
        out.push_back({std::string(cls), shown});
    }
    return out;
}

size_t FilesIn(const std::string& folder) {
    size_t n = 0;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d)) n += e->d_name[0] != '.';
        ::closedir(d);
    }
    return n;
}

TEST(FictionBook, EveryPartBecomesTheBooksOwnInEitherCharset) {
    TempDir dir;
    ::mkdir((dir / "lib").c_str(), 0755);
    std::string first;
    for (const char* charset : {"utf-8", "windows-1251"}) {
        SCOPED_TRACE(charset);
        const std::string path = dir / (std::string(charset) + ".fb2");
        const std::string utf8 = SampleFictionBook(charset, Png);
        WriteFile(path, std::string(charset) == "utf-8" ? utf8 : Iconv(utf8, "CP1251"));
        ASSERT_TRUE(IsFictionBookFile(path));
        BookFile book = ConvertToBook(path, dir / "lib/");
        const std::vector<Paragraph> ps = Paragraphs(book);
        const struct {
            size_t n;
            const char *cls, *text;
        } expect[] = {
            {1, "pimag", ""},  // the cover
            {2, "ptitl", "Капитанская дочка"},
            {3, "pepig", "Береги честь смолоду."},
            {4, "pauth", "Пословица"},
            {6, "ptitl", "Сержант гвардии"},
            {7, "pepig", "— Был бы гвардии он завтра ж капитан."},
            {10, "pnorm",
             "Отец мой Андрей Петрович Гринёв в молодости своей служил при графе Минихе[1] и "
             "вышел в отставку премьер-майором в 17.. году."},
            {12, "pnorm", ""},  // the empty line
            {13, "psubt", "Песня"},
            {15, "pvers", "Хлеб едим и воду пьём;"},
            {16, "pnorm", ""},  // between the stanzas
            {19, "pauth", "Солдатская песня"},
            {20, "pcite", "Любезный друг, я получил письмо твоё."},
            {22, "pimag", ""},
            {23, "ptabl", "Имя | Чин"},
            {25, "psubt", "* * *"},
            {26, "pnorm", "H2O, E=mc2, вычеркнуто, a < b."},
            {30, "ptitl", "Примечания"},
            {31, "pnote", "1. Миних — фельдмаршал."},
        };
        ASSERT_EQ(ps.size(), 31u);
        for (const auto& e : expect) {
            EXPECT_EQ(ps[e.n - 1].cls, e.cls) << e.n;
            EXPECT_EQ(ps[e.n - 1].text, e.text) << e.n;
        }
        // Titles, joined, at the sections' levels; the notes' title too.
        EXPECT_EQ(book.Contents,
                  (LineList{"2\t1\tКапитанская дочка", "5\t1\tГлава I. Сержант гвардии",
                            "27\t1\tГлава II. Вожатый", "30\t1\tПримечания"}));
        const LineList& body = book.Body();
        const std::string all = JoinLines(body);
        // Marks, the note's text in its mark, the pictures as data; the
        // broken one left out and named.
        for (const char* part :
             {"<em>Андрей Петрович Гринёв</em>", "<strong>Авдотье", "H<sub>2</sub>O",
              "<s>вычеркнуто</s>", "<code>a &lt; b</code>",
              "<a class=\"note\" tabindex=\"0\">[1]<span class=\"ntext\">1. Миних "
              "— <em>фельдмаршал</em>.</span></a>"})
            EXPECT_NE(all.find(part), std::string::npos) << part;
        EXPECT_NE(body[0].find("src=\"data:image/png;base64," + Png + "\">"), std::string::npos);
        EXPECT_EQ(book.GetProperty("PicturesLeftOut"), "broken.jpg");
        for (const auto& [name, value] : std::vector<std::pair<const char*, const char*>>{
                 {"Charset", "UTF-8"},
                 {"BookTitle", "Капитанская дочка"},
                 {"Author", "Александр Сергеевич Пушкин"},
                 {"Language", "ru"},
                 {"Sequence", "Повести|3"},
                 {"Annotation", "Повесть о любви и чести. / Пугачёвщина глазами молодого офицера."},
                 {"Cover", "cover.png"}})
            EXPECT_EQ(book.GetProperty(name), value) << name;
        // Every mark passes the page's guard as markup, nothing else does.
        LineList page = body;
        EscapeForeignMarkup(page);
        EXPECT_EQ(page, body);
        if (first.empty()) first = all;
        EXPECT_EQ(all, first) << "the same book from either charset";
    }
}

TEST(FictionBook, BadAndHostileFilesAreRefusedLeavingNothing) {
    TempDir dir;
    ::mkdir((dir / "lib").c_str(), 0755);
    WriteFile(dir / "secret", "SECRET-TEXT");
    const std::string head = "<?xml version=\"1.0\"?>\n";
    const struct {
        std::string xml;
        const char* says;
    } cases[] = {
        {head + "<FictionBook><body><p>one</p>\n<p>two</body></FictionBook>", "line 3"},
        {head + "<!DOCTYPE FictionBook [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>"
                "<FictionBook><body><p>&b;</p></body></FictionBook>",
         "declares entities"},
        {head + "<!DOCTYPE FictionBook [<!ENTITY s SYSTEM \"file://" + (dir / "secret") +
             "\">]><FictionBook><body><p>&s;</p></body></FictionBook>",
         "declares entities"},
        {head + "<html><body><p>no</p></body></html>", "is not a FictionBook file"},
        {head + "<FictionBook><body></body></FictionBook>", "holds no text"},
        {head + "<FictionBook><body><p>cut sh", "line 2"},
    };
    for (const auto& c : cases) {
        WriteFile(dir / "bad.fb2", c.xml);
        try {
            ConvertFictionBook(dir / "bad.fb2", dir / "lib/");
            ADD_FAILURE() << c.says;
        } catch (const EAppError& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
            EXPECT_EQ(std::string(e.what()).find("SECRET"), std::string::npos);
        }
        EXPECT_EQ(FilesIn(dir / "lib"), 0u) << "no book, no half book";
    }
}

TEST(FictionBook, ACharsetTheDeclarationGetsWrongIsFound) {
    TempDir dir;
    // Declared windows-1251, written in UTF-8; declared UTF-8, written in KOI8-R.
    WriteFile(dir / "a.fb2", SampleFictionBook("windows-1251", Png));
    WriteFile(dir / "b.fb2", Iconv(SampleFictionBook("utf-8", Png), "KOI8-R"));
    // And UTF-16, with its byte order mark.
    WriteFile(dir / "c.fb2", Iconv(SampleFictionBook("utf-16", Png), "UTF-16"));
    ::mkdir((dir / "lib").c_str(), 0755);
    for (const char* name : {"a.fb2", "b.fb2", "c.fb2"}) {
        BookFile book = ConvertFictionBook(dir / name, dir / "lib/");
        EXPECT_EQ(book.GetProperty("BookTitle"), "Капитанская дочка") << name;
    }
    // With no note and no picture the first pass is the book.
    WriteFile(dir / "d.fb2", "<FictionBook><body><p>один</p><p>два</p></body></FictionBook>");
    BookFile plain = ConvertFictionBook(dir / "d.fb2", dir / "lib/");
    EXPECT_EQ(plain.Body(), (LineList{"<Page1><p id=\"par1\" class=\"pnorm\">один",
                                      "<p id=\"par2\" class=\"pnorm\">два"}));
}

}  // namespace
