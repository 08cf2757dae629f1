// However the conversion reads a text, a byte at a time or 256 KB, the book is
// the same, byte for byte (small pieces also make the layout guessed from the
// first pieces miss, and blocks that may hang be held back); and a book built again in a layout is
// the book the conversion makes in that layout.
#include <gtest/gtest.h>

#include <random>

#include "ConvertUtil.h"
#include "base/Errors.h"
#include "base/Files.h"

namespace {

std::string Bytes(BookFile& b) {
    MemoryStream out;
    b.WriteTo(out);
    return out.Data();
}

// The book of a text read in pieces of the given size; for a refused text, the message.
std::string Book(const std::string& path, const std::string& lib, size_t piece,
                 const Layout::Shape* kind = nullptr) {
    try {
        BookFile b = ConvertToBook(path, lib, nullptr, kind, piece);
        return Bytes(b);
    } catch (const EAppError& e) {
        return std::string("refused: ") + e.what();
    }
}

// Whether each piece size gives the book the usual reading gives.
void ExpectSameBooks(const std::string& path, const std::string& lib,
                     std::initializer_list<size_t> pieces, const std::string& what,
                     const Layout::Shape* kind = nullptr) {
    const std::string usual = Book(path, lib, ReadPieceSize, kind);
    for (size_t piece : pieces) {
        const std::string got = Book(path, lib, piece, kind);
        EXPECT_TRUE(got == usual) << what << ", pieces of " << piece << ": " << got.substr(0, 120)
                                  << " | " << usual.substr(0, 120);
    }
}

}  // namespace

TEST(StreamingConversion, AnyReadPieceGivesTheSameBook) {
    TempDir dir;
    ::mkdir((dir / "lib").c_str(), 0755);
    const std::string lib = dir / "lib/";
    std::string words;
    while (words.size() < 40000) words += "word ";
    // Texts of every shape the rules look at: line ends of each kind, NUL bytes,
    // markup, end dashes, titles and epigraphs, runaway lines, UTF-16 with a
    // surrogate pair and an odd last byte, binary bytes after a text, no text.
    std::vector<std::pair<std::string, std::string>> texts = {
        {"crlf.txt", "one\r\n  two\r\nthree\r\n"},
        {"cr.txt", "one\r  two\rthree-\r  four\r"},
        {"nul.txt", std::string("a\0b\r\n\0  c\n", 10) + std::string(300, 'x')},
        {"markup.txt", "  The <Title>\r\na dash-\r\n   short verse\r\n          Chapter Two\r\n" +
                           std::string(40, ' ') + "epigraph\r\n<<>>\r\n"},
        {"long.txt", "  start\r\n" + std::string(40000, 'w') + "\r\n" + words},
        {"utf16.txt", std::string("\xFF\xFE"
                                  "a\0\r\0\n\0 \0 \0b\0\x3D\xD8\x00\xDE\r\0\n\0<\0",
                                  24)},
        {"utf16-odd.txt", std::string("\xFF\xFE"
                                      "a\0<\0b\0A",
                                      9)},
        {"across.txt", std::string(ReadPieceSize - 3, 'x') + "<y" + std::string(100, 'z') + "\n"},
        {"binary-later.txt", std::string(ReadPieceSize, 'a') + std::string(5000, '\x01')},
        {"binary-short.txt", "text\r\n" + std::string(10, '\x01')},
        {"empty.txt", ""},
        {"lines-only.txt", "\r\n\n\r\r\n"},
    };
    std::mt19937 rng(3);
    for (int r = 0; r < 4; ++r) {
        const char* pieces[] = {"  ",    " ",        "\t",   "-",         "<",
                                ">",     "&lt;",     "\r\n", "\n",        "\r",
                                "word ", "\xD0\x96", "\xE9", "CHAPTER I", "        "};
        std::string t;
        for (int i = 0; i < 20000; ++i) t += pieces[rng() % 15];
        texts.emplace_back("random" + std::to_string(r) + ".txt", t);
    }
    for (const auto& [name, text] : texts) {
        WriteFile(dir / name, text);
        ExpectSameBooks(dir / name, lib, {1, 2, 3, 7}, name);
    }
    EXPECT_EQ(Book(dir / "binary-later.txt", lib, 7).rfind("refused", 0), 0u);
    // A block that may hang outgrows what the one pass holds back: the book is
    // built again once the whole text is known.
    std::string hangs = std::string(5000, 'x') + "\r\n";
    for (int i = 0; i < 60; ++i) hangs += "    " + std::string(5000, 'y') + "\r\n";
    WriteFile(dir / "hangs.txt", hangs + "\r\nend\r\n");
    ExpectSameBooks(dir / "hangs.txt", lib, {4093}, "a long hanging block");
    for (int k = Layout::Classic; k <= Layout::Verse; ++k) {
        const Layout::Shape kind = Layout::Shape(k);
        ExpectSameBooks(dir / "markup.txt", lib, {1, 7}, "layout " + std::to_string(k), &kind);
    }
    // The guide, and the real texts in every charset they come in.
    ExpectSameBooks(std::string(TAVISTO_DATA) + "/A Guide to Tavisto.txt", lib, {7}, "guide");
    const std::string shared = TAVISTO_TEXTS;
    if (!FileExists(shared + "/SOURCES.md"))
        GTEST_SKIP() << "the real texts are not here: " << shared;
    for (const char* real : {"blok-devushka.txt", "bryusov-bemol.txt", "chekhov-anyuta.txt",
                             "chekhov-vishnevy-sad.txt", "gogol-nos.txt", "gorky-detstvo.txt",
                             "gorky-meshchane.txt", "nekrasov-moroz-krasny-nos.txt",
                             "pushkin-kapitanskaya-dochka.txt", "pushkin-medny-vsadnik.txt"}) {
        for (const char* charset : {"UTF-8", "CP1251", "CP866"}) {
            WriteFile(dir / "real.txt", IconvFile(shared + "/" + real, charset));
            EXPECT_EQ(Book(dir / "real.txt", lib, ReadPieceSize).rfind("refused", 0),
                      std::string::npos);
            ExpectSameBooks(dir / "real.txt", lib, {4093}, std::string(real) + " in " + charset);
        }
    }
}

TEST(StreamingConversion, ABookBuiltAgainIsTheBookOfItsLayout) {
    TempDir dir;
    std::string text = "  Title <1>\r\n";
    for (int i = 1; i <= 300; ++i)
        text += (i % 7 ? "" : "  ") + std::string("Line ") + std::to_string(i) + " - " +
                std::string(130, char('a' + i % 26)) + (i % 5 ? "-" : "") + "\r\n";
    WriteFile(dir / "t.txt", text);
    BookFile made = ConvertToBook(dir / "t.txt", dir.Path());
    made.SaveAsNewBook("t");
    for (int k = Layout::Classic; k <= Layout::Verse; ++k) {
        const Layout::Shape kind = Layout::Shape(k);
        BookFile rebuilt(dir.Path());
        rebuilt.FileName = made.FileName;
        rebuilt.LoadFromBookFile();
        RebuildBook(rebuilt, &kind);
        BookFile fresh = ConvertToBook(dir / "t.txt", dir.Path(), nullptr, &kind);
        EXPECT_TRUE(fresh.Body() == rebuilt.Body()) << "layout " << k;
        EXPECT_EQ(fresh.Contents, rebuilt.Contents) << "layout " << k;
        EXPECT_EQ(fresh.PageIndex, rebuilt.PageIndex) << "layout " << k;
        for (const char* p : {"TotalParagraphs", "PagesCount", "Layout", "Headings"})
            EXPECT_EQ(fresh.GetProperty(p), rebuilt.GetProperty(p)) << p << ", layout " << k;
    }
}
