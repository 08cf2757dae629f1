// The conversion the program runs, streaming through fixed buffers, gives the
// same books, byte for byte, as the stages that hold the whole text.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "TestUtil.h"
#include "core/unitConverter.h"
#include "core/unitErrors.h"
#include "core/unitFiles.h"

namespace {

std::string Bytes(TBookInfo& b) {
    TMemoryStream out;
    b.WriteTo(out);
    return out.Data();
}

// Both conversions of one file; "" for a refused text, with the message.
std::pair<std::string, std::string> Both(const std::string& path, const std::string& lib,
                                         const TLayout::TKind* kind = nullptr) {
    std::string whole, streamed;
    try {
        TBookInfo b(lib);
        ConvertTextFile(path, b, nullptr, kind);
        whole = Bytes(b);
    } catch (const EAppError& e) {
        whole = std::string("refused: ") + e.what();
    }
    try {
        TBookInfo b = ConvertToBook(path, lib, nullptr, kind);
        streamed = Bytes(b);
    } catch (const EAppError& e) {
        streamed = std::string("refused: ") + e.what();
    }
    return {whole, streamed};
}

}  // namespace

TEST(StreamingConversion, SameBytesAsTheWholeTextStages) {
    TempDir dir;
    ::mkdir((dir / "lib").c_str(), 0755);
    const std::string lib = dir / "lib/";
    // Texts of every shape the suite knows: line ends of each kind, NUL bytes,
    // markup, end dashes, titles and epigraphs, runaway lines, UTF-16, no text.
    std::vector<std::pair<std::string, std::string>> texts = {
        {"crlf.txt", "one\r\n  two\r\nthree\r\n"},
        {"cr.txt", "one\r  two\rthree-\r  four\r"},
        {"nul.txt", std::string("a\0b\r\n\0  c\n", 10) + std::string(300, 'x')},
        {"markup.txt", "  The <Title>\r\na dash-\r\n   short verse\r\n          Chapter Two\r\n" +
                           std::string(40, ' ') + "epigraph\r\n<<>>\r\n"},
        {"long.txt", "  start\r\n" + std::string(40000, 'w') + "\r\n" +
                         [] {
                             std::string s;
                             while (s.size() < 40000) s += "word ";
                             return s;
                         }()},
        {"utf16.txt", std::string("\xFF\xFE"
                                  "a\0\r\0\n\0 \0 \0b\0",
                                  14)},
        // A bracket in a line that the next piece of reading ends, that piece
        // holding none: across the 256 KB read, and before the last odd byte of
        // a UTF-16 text.
        {"across.txt", std::string((1 << 18) - 3, 'x') + "<y" + std::string(100, 'z') + "\n"},
        {"utf16-odd.txt", std::string("\xFF\xFE"
                                      "a\0<\0b\0A",
                                      9)},
        {"empty.txt", ""},
        {"lines-only.txt", "\r\n\n\r\r\n"},
    };
    std::mt19937 rng(3);
    for (int r = 0; r < 6; ++r) {
        // Random texts built of pieces that matter to the rules.
        const char* pieces[] = {"  ",    " ",        "\t",   "-",         "<",
                                ">",     "&lt;",     "\r\n", "\n",        "\r",
                                "word ", "\xD0\x96", "\xE9", "CHAPTER I", "        "};
        std::string t;
        for (int i = 0; i < 30000; ++i) t += pieces[rng() % 15];
        texts.emplace_back("random" + std::to_string(r) + ".txt", t);
    }
    for (const auto& [name, text] : texts) {
        WriteFile(dir / name, text);
        auto [whole, streamed] = Both(dir / name, lib);
        EXPECT_TRUE(whole == streamed)
            << name << ": " << whole.substr(0, 200) << " | " << streamed.substr(0, 200);
    }
    // Every layout by hand.
    for (int k = TLayout::Classic; k <= TLayout::Verse; ++k) {
        const TLayout::TKind kind = TLayout::TKind(k);
        auto [whole, streamed] = Both(dir / "markup.txt", lib, &kind);
        EXPECT_TRUE(whole == streamed) << "layout " << k;
    }
    // The guide, and the real texts in every charset they come in.
    auto [guideWhole, guideStreamed] =
        Both(std::string(TAVISTO_DATA) + "/A Guide to Tavisto.txt", lib);
    EXPECT_TRUE(guideWhole == guideStreamed);
    const std::string texts_ = TAVISTO_TEXTS;
    if (!FileExists(texts_ + "/SOURCES.md"))
        GTEST_SKIP() << "the real texts are not here: " << texts_;
    for (const char* real : {"blok-devushka.txt", "bryusov-bemol.txt", "chekhov-anyuta.txt",
                             "chekhov-vishnevy-sad.txt", "gogol-nos.txt", "gorky-detstvo.txt",
                             "gorky-meshchane.txt", "nekrasov-moroz-krasny-nos.txt",
                             "pushkin-kapitanskaya-dochka.txt", "pushkin-medny-vsadnik.txt"}) {
        for (const char* charset : {"UTF-8", "CP1251", "CP866"}) {
            WriteFile(dir / "real.txt", IconvFile(texts_ + "/" + real, charset));
            auto [whole, streamed] = Both(dir / "real.txt", lib);
            EXPECT_EQ(whole.rfind("refused", 0), std::string::npos) << whole;
            EXPECT_TRUE(whole == streamed) << real << " in " << charset;
        }
    }
}

TEST(StreamingConversion, EveryRuleAstrideAPieceOfReading) {
    // The streaming reader reads 256 KB at a time: each thing whose bytes a rule
    // looks at is put across that edge, at every offset it can stand at.
    TempDir dir;
    ::mkdir((dir / "lib").c_str(), 0755);
    const std::string lib = dir / "lib/";
    const size_t edge = size_t(1) << 18;
    const std::string filler = "  Some words of a paragraph.\r\n";
    for (const std::string& piece :
         std::vector<std::string>{"\r\n", "a-\r\n  b", "<b>", std::string("a\0b", 3),
                                  "\xD0\x96\xD0\x96", "\r\n\r\n\r\n          Title\r\n"}) {
        for (size_t shift = 0; shift <= piece.size(); ++shift) {
            std::string text;
            while (text.size() + filler.size() < edge - shift) text += filler;
            text.append(edge - shift - text.size(), 'x');
            text += piece + "tail\r\n" + filler;
            WriteFile(dir / "edge.txt", text);
            auto [whole, streamed] = Both(dir / "edge.txt", lib);
            EXPECT_TRUE(whole == streamed) << piece << " at " << shift;
        }
    }
    // A UTF-16 surrogate pair and a CR LF astride the edge (the byte-order mark
    // is not read with the text).
    for (size_t shift = 0; shift <= 6; shift += 2) {
        std::string text = "\xFF\xFE";
        while (text.size() < edge + 2 - shift) text += std::string("w\0", 2);
        text += std::string("\x3D\xD8\x00\xDE\r\0\n\0<\0", 10);
        WriteFile(dir / "edge16.txt", text);
        auto [whole, streamed] = Both(dir / "edge16.txt", lib);
        EXPECT_TRUE(whole == streamed) << "UTF-16 at " << shift;
    }
}

TEST(StreamingConversion, RebuildingStreamedEqualsRebuildingTheWholeText) {
    TempDir dir;
    std::string text;
    for (int i = 1; i <= 300; ++i)
        text += "Line " + std::to_string(i) + " " + std::string(130, char('a' + i % 26)) + "\r\n";
    WriteFile(dir / "t.txt", text);
    TBookInfo made = ConvertToBook(dir / "t.txt", dir.Path());
    made.LastParagraph = 250;
    made.SaveAsNewBook("t");
    for (int k = TLayout::Classic; k <= TLayout::Verse; ++k) {
        const TLayout::TKind kind = TLayout::TKind(k);
        TBookInfo whole(dir.Path()), streamed(dir.Path());
        whole.FileName = streamed.FileName = made.FileName;
        whole.LoadFromBookFile();
        streamed.LoadFromBookFile();
        RebuildParagraphs(whole, &kind);
        RebuildBook(streamed, &kind);
        EXPECT_EQ(streamed.LastParagraph, whole.LastParagraph) << k;
        EXPECT_EQ(streamed.LastPage, whole.LastPage) << k;
        EXPECT_TRUE(Bytes(whole) == Bytes(streamed)) << "layout " << k;
    }
}
