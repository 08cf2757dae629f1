#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <random>

#include "ConvertUtil.h"
#include "base/Errors.h"
#include "book/BodyLines.h"
#include "convert/AsideThread.h"
#include "convert/SyncBehind.h"
#include "convert/TextAnalysis.h"
#include "reading/PageBuilder.h"
#include "text/Charsets.h"

namespace {

std::string Tag(int n, const char* cls) {
    return "<p id=\"par" + std::to_string(n) + "\" class=\"" + cls + "\">";
}

// The lines joined as a text file holds them.
std::string TextOf(const LineList& lines) {
    std::string t;
    for (const auto& l : lines) t += l + "\r\n";
    return t;
}

// Page markers put into tagged lines as the conversion puts them.
LineList MarkPages(const LineList& body, int& pages) {
    PageMarker marker;
    LineList out;
    for (const auto& l : body) {
        std::string line;
        marker.Line({l}, [&](std::string_view piece) { line.append(piece); });
        line.resize(line.size() - 2);  // the CR LF
        out.push_back(line);
    }
    pages = marker.Pages();
    return out;
}

// Inserting each marker into the joined text and skipping VPageSize bytes, as
// literally as it can be written.
LineList LiteralVirtualPages(const LineList& body, int& pages) {
    std::string t = JoinLines(body);
    size_t p = 1;
    pages = 0;
    while (p < t.size()) {
        while (p < t.size() && t[p - 1] != '<') ++p;
        if (p < t.size()) {
            ++pages;
            t.insert(p - 1, "<Page" + std::to_string(pages) + ">");
            p += 16000;
        }
    }
    LineList out;
    size_t from = 0;
    while (from < t.size()) {
        size_t crlf = t.find("\r\n", from);
        out.push_back(t.substr(from, crlf - from));
        from = crlf + 2;
    }
    return out;
}

}  // namespace

TEST(Symbols, EscapesMarkupCharactersOnly) {
    EXPECT_EQ(ConvertLine("a < b"), "a &lt; b");
    EXPECT_EQ(ConvertLine("a > b"), "a &gt; b");
    EXPECT_EQ(ConvertLine("<b>bold</b> & \"q\" \xE9 &lt;"),
              "&lt;b&gt;bold&lt;/b&gt; &amp; \"q\" \xE9 &amp;lt;");
    // Lines of every length, the marks anywhere: as escaped byte by byte.
    std::mt19937 rng(9);
    for (int round = 0; round < 3000; ++round) {
        std::string line(rng() % 90, 'x'), want;
        for (char& c : line) {
            const unsigned r = rng() % (round % 2 ? 5 : 60);  // marks often, or seldom
            c = r < 3 ? "<>&"[r] : r % 2 ? 'a' : '\xE9';
        }
        for (char c : line)
            want += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : std::string(1, c);
        ASSERT_EQ(ConvertLine(line), want) << line;
    }
}

TEST(Dashes, HyphenatedWordsJoinDashesStayAndOthersGoBeforeASpace) {
    TempDir dir;
    // A letter, "-", and a letter going on with the paragraph: one word, an
    // English one with its hyphen as written. A dash after a space stays.
    // Otherwise the dash goes before a line that begins with a space (a
    // paragraph's start, here).
    BookFile b = ConvertText(
        dir, TextOf({"end-", "   next", "hyphen-", "ated word", "keep-", "Letter", "tab-", "\tx",
                     "two--", " y", "say -", " z", "say --", " z", "-", " z",
                     // the old orthography's letter, a stress mark
                     "\u0431\u0463-", "\u043B\u044B\u0439 o\u0301-", "k", "blank-", "", "last-"}));
    EXPECT_EQ(Texts(b),
              (LineList{"end", "   next", "hyphen-ated word", "keep-Letter", "tab-", "\tx", "two-",
                        " y", "say -", " z", "say --", " z", "", " z",
                        "\u0431\u0463\u043B\u044B\u0439 o\u0301k", "blank-", "", "last-"}));
    BookFile one = ConvertText(dir, "only-");
    EXPECT_EQ(Texts(one), LineList{"only-"});
}

TEST(Charset, AverageDecidesWesternOrCyrillic) {
    EXPECT_EQ(AnalyzeCharset({"The quick brown fox jumps over the lazy dog."}), "Windows-1252");
    EXPECT_EQ(AnalyzeCharset({}), "Windows-1252");
    EXPECT_EQ(AnalyzeCharset({"123 AAA ...", ""}), "Windows-1252") << "no byte above 'A'";
    // 127.5 rounds to the even 128 (Cyrillic branch); 126.5 to 126.
    EXPECT_EQ(AnalyzeCharset({"\x7F\x80"}), "cp866");
    EXPECT_EQ(AnalyzeCharset({"\x7E\x7F"}), "Windows-1252");
    EXPECT_EQ(RoundHalfEvenDiv(255, 2), 128);
    EXPECT_EQ(RoundHalfEvenDiv(253, 2), 126);
    EXPECT_EQ(RoundHalfEvenDiv(7, 3), 2);
    EXPECT_EQ(RoundHalfEvenDiv(8, 3), 3);
}

TEST(Charset, ProbeWordsTellTheCyrillicPagesApart) {
    const std::string bylo = "\xE1\xFB\xEB\xEE";
    const std::string ru =
        "\xFD\xF2\xEE \xF2\xE5\xEA\xF1\xF2 \xEF\xF0\xEE";  // windows-1251 letters
    EXPECT_EQ(AnalyzeCharset({ru + " " + bylo + " " + ru}), "windows-1251");
    EXPECT_EQ(AnalyzeCharset({ru + "," + bylo + ";" + ru}), "windows-1251");
    // First occurrences at a line end, a line start, inside a word or by a quote.
    EXPECT_EQ(AnalyzeCharset({ru + " " + bylo, ru + " " + bylo + " " + ru}), "cp866");
    EXPECT_EQ(AnalyzeCharset({ru, bylo + " " + ru + " " + bylo + " "}), "cp866");
    EXPECT_EQ(AnalyzeCharset({ru + " \xEF" + bylo + " " + ru + " " + bylo + " "}), "cp866");
    EXPECT_EQ(AnalyzeCharset({ru + " \"" + bylo + "\" " + ru}), "cp866");
    // At the first or second byte of the sample it is not found; at the third it is.
    EXPECT_EQ(AnalyzeCharset({" " + bylo + " " + ru}), "cp866");
    EXPECT_EQ(AnalyzeCharset({"  " + bylo + " " + ru}), "windows-1251");
    // The same Russian in cp866 bytes.
    EXPECT_EQ(AnalyzeCharset({"\xED\xE2\xAE \xE2\xA5\xAA\xE1\xE2 \xA1\xEB\xAB\xAE \xAF\xE0\xAE"}),
              "cp866");
    // Only the first 64000 bytes count.
    LineList western(1000, std::string(70, 'e'));
    western.push_back(std::string(3000, '\xF0'));
    EXPECT_EQ(AnalyzeCharset(western), "Windows-1252");
}

TEST(Charset, Utf8IsRecognised) {
    EXPECT_EQ(AnalyzeCharset({"caf\xC3\xA9 cr\xC3\xA8me"}), "UTF-8");
    EXPECT_EQ(AnalyzeCharset({"\xEF\xBB\xBFplain"}), "UTF-8");
    EXPECT_EQ(AnalyzeCharset({"\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"}), "UTF-8");
    EXPECT_EQ(AnalyzeCharset({"plain ascii only"}), "Windows-1252");
    EXPECT_EQ(AnalyzeCharset({"plain words then caf\xC3\xA9 \xE9"}), "Windows-1252")
        << "invalid after valid";
    EXPECT_EQ(AnalyzeCharset({"plain words over\xC0\xAFlong"}), "Windows-1252");
    EXPECT_EQ(AnalyzeCharset({"plain words cut \xC3"}), "Windows-1252")
        << "a whole text may not end mid-sequence";
    // A sequence cut off by the end of the 64000-byte sample is allowed.
    std::string line = "a";
    while (line.size() < 64001) line += "\xE2\x82\xAC";
    EXPECT_EQ(AnalyzeCharset({line}), "UTF-8");
}

TEST(Charset, CharactersAreCountedAsOneByOneOverAnyBytesAndLength) {
    // The count goes many bytes at a time: every length and alignment, and
    // bytes of every kind, against one byte at a time.
    std::mt19937 rng(5);
    std::vector<size_t> lengths;
    for (size_t len = 0; len < 70; ++len) lengths.push_back(len);
    for (size_t len : {4079, 4080, 4081, 4096, 8200}) lengths.push_back(len);  // long runs
    for (size_t len : lengths)
        for (int round = 0; round < 20; ++round) {
            std::string s(len + 3, ' ');
            for (char& c : s) {
                c = char(rng() % 4 == 0 ? 0x80 | (rng() % 0x40) : rng() % 256);
                if (c == '&') c = 'a';  // references aside: they are counted below
            }
            const std::string_view v = std::string_view(s).substr(round % 3, len);
            size_t chars = 0;
            for (char c : v) chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
            ASSERT_EQ(CharCount(v, CodePage::Utf8), chars) << len;
            ASSERT_EQ(ShownLength(v, true), chars) << len;
        }
    EXPECT_EQ(ShownLength("\xd0\xb0&lt;b&amp;", true), 4u);
    EXPECT_EQ(CharCount(std::string(8200, '\x80'), CodePage::Utf8), 0u);  // no count runs over
}

TEST(Charset, TextIsTurnedIntoUtf8AsCharacterByCharacter) {
    // The quick ways (letters decoded inline, UTF-8 copied by runs, single
    // bytes written straight) against the decoder one character at a time:
    // random bytes, valid sequences of every length, cut ones, U+FFFD itself;
    // every other text mostly letters, so that whole blocks of them are met.
    auto byOne = [](std::string_view s, CodePage cp) {
        std::string out;
        for (size_t i = 0; i < s.size();) AppendUtf8(out, charsets_detail::DecodeChar(s, i, cp));
        return out;
    };
    const char* const pieces[] = {"a",
                                  "\xD0\xB6",
                                  "\xE2\x80\x94",
                                  "\xF0\x9F\x98\x80",
                                  "\xEF\xBF\xBD",
                                  "\xC0\xAF",
                                  "\xE0\x80\x80",
                                  "\xED\xA0\x80",
                                  "\xD0",
                                  "\xE2\x80",
                                  "\x80",
                                  "\xFF"};
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
        std::string s;
        const bool letters = round % 2;
        for (int k = int(rng() % (letters ? 60 : 12)); k > 0; --k)
            s += letters && rng() % 24 ? pieces[rng() % 2]
                 : rng() % 3           ? pieces[rng() % std::size(pieces)]
                                       : std::string(1, char(rng() % 256));
        ASSERT_EQ(ToUtf8(s, CodePage::Utf8), byOne(s, CodePage::Utf8)) << s;
        std::string memory;
        ASSERT_EQ(AsUtf8(s, CodePage::Utf8, memory), byOne(s, CodePage::Utf8)) << s;
        for (CodePage cp : {CodePage::Cp866, CodePage::Win1251, CodePage::Koi8r, CodePage::Win1252})
            ASSERT_EQ(ToUtf8(s, cp), byOne(s, cp)) << s;
        size_t i = 0, j = 0;
        while (i < s.size()) {
            ASSERT_EQ(DecodeChar(s, i, CodePage::Utf8),
                      charsets_detail::DecodeChar(s, j, CodePage::Utf8));
            ASSERT_EQ(i, j);
        }
    }
}

// A heading finder that reads its parts through the thread.
struct FinderAside : PartsReader {
    explicit FinderAside(HeadingFinder& finder) : finder(finder) {}
    void AddParts(int32_t n, std::string_view cls, std::string_view text) override {
        finder.AddParts(n, cls, text);
    }
    HeadingFinder& finder;
};

TEST(AsideThread, FindsWhatTheFinderFindsInLineAndStopsWhenGivenUp) {
    // A book of many batches (chapters, a speaker, prose), fed to one finder
    // straight and to another through the thread: the same headings,
    // speakers and epigraphs. Given up half way, the thread just stops.
    const std::string prose(700, 'x');
    auto feed = [&](auto& to, int chapters) {
        int32_t n = 0;
        for (int k = 1; k <= chapters; ++k) {
            to.AddParts(++n, "pnorm",
                        "\xD0\x93\xD0\x9B\xD0\x90\xD0\x92\xD0\x90 " + std::to_string(k));
            to.AddParts(++n, "pnorm", "   " + prose);
            to.AddParts(0, "", prose);  // the paragraph's next line
            to.AddParts(++n, "pnorm", "\xD0\x9B\xD0\x9E\xD0\x9F\xD0\x90\xD0\xA5\xD0\x98\xD0\x9D.");
            to.AddParts(++n, "pnorm", "   " + prose + ".");
        }
    };
    HeadingFinder straight("UTF-8", false), aside("UTF-8", false);
    feed(straight, 600);
    straight.Finish();
    {
        FinderAside reader(aside);
        AsideThread thread(reader);
        feed(thread, 600);
        thread.Finish();
    }
    aside.Finish();
    ASSERT_EQ(straight.Headings().size(), 600u);
    ASSERT_EQ(aside.Headings().size(), straight.Headings().size());
    for (size_t i = 0; i < straight.Headings().size(); ++i) {
        EXPECT_EQ(aside.Headings()[i].Paragraph, straight.Headings()[i].Paragraph);
        EXPECT_EQ(aside.Headings()[i].Text, straight.Headings()[i].Text);
    }
    ASSERT_FALSE(straight.Speakers().empty());
    EXPECT_EQ(aside.Speakers(), straight.Speakers());
    EXPECT_EQ(aside.Epigraphs(), straight.Epigraphs());

    HeadingFinder dropped("UTF-8", false);
    FinderAside reader(dropped);
    AsideThread thread(reader);
    feed(thread, 600);
}

TEST(AsideThread, HandsEveryPartWholeAndInOrder) {
    // Parts of every size, from none to more than a batch, through the thread
    // (and through one never started): the same parts, byte for byte.
    struct Collect : PartsReader {
        std::vector<std::pair<int32_t, std::string>> parts;
        void AddParts(int32_t n, std::string_view cls, std::string_view text) override {
            parts.emplace_back(n, std::string(cls) + "|" + std::string(text));
        }
    };
    std::mt19937 rng(3);
    std::vector<std::pair<int32_t, std::string>> sent;
    for (int32_t n = 0; n < 3000; ++n) {
        const size_t size = n % 500 == 7 ? 700000 + rng() % 9 : rng() % (n % 3 ? 90 : 5000);
        std::string text(size, ' ');
        for (char& c : text) c = char('a' + rng() % 26);
        sent.emplace_back(n, text);
    }
    for (const size_t count : {sent.size(), size_t(5)}) {
        Collect reader;
        {
            AsideThread thread(reader);
            for (size_t i = 0; i < count; ++i)
                thread.AddParts(sent[i].first, i % 2 ? "pnorm" : "", sent[i].second);
            thread.Finish();
        }
        ASSERT_EQ(reader.parts.size(), count);
        for (size_t i = 0; i < count; ++i) {
            EXPECT_EQ(reader.parts[i].first, sent[i].first);
            ASSERT_EQ(reader.parts[i].second, (i % 2 ? "pnorm|" : "|") + sent[i].second) << i;
        }
    }
}

TEST(SyncBehind, TellsAFailedSyncAtTheEnd) {
    // The file's own sync at the save would not report a failure the sync
    // behind the writer met: Finish must. A pipe cannot be synced.
    TempDir dir;
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const FileDescriptor in(pipeEnds[0]), out(pipeEnds[1]);
    const FileDescriptor file = MakeUnnamedFile(dir.Path());
    const struct {
        int fd;
        int error;
    } cases[] = {{out.Get(), EINVAL}, {file.Get(), 0}};
    for (const auto& c : cases) {
        SyncBehind sync(c.fd);
        sync.Written(SyncBehind::Step);
        EXPECT_EQ(sync.Finish(), c.error);
    }
}

TEST(Paragraphs, IndentAndLengthDecideTheClass) {
    EXPECT_EQ(LeadingSpaces(""), 0);
    EXPECT_EQ(LeadingSpaces(" "), 0);
    EXPECT_EQ(LeadingSpaces("   "), 2);
    EXPECT_EQ(LeadingSpaces("  x"), 2);
    EXPECT_EQ(LeadingSpaces("\tx"), 0);

    TempDir dir;
    BookFile b =
        ConvertText(dir, TextOf({
                             std::string(20, ' ') + "Title",     // 1: first line is always pnorm
                             "  two spaces start",               // 2: pnor0 (R = 52)
                             " one space continues",             // -
                             "",                                 // 3: empty line, pnorm
                             "  ",                               // -: two spaces continue
                             "   ",                              // 4: three spaces, pnor0
                             "    - dialogue",                   // 5: dash after indent, pnorm
                             std::string(7, ' ') + "Chapter",    // 6: ptitl
                             std::string(35, ' ') + "x",         // 7: ptitl
                             std::string(36, ' ') + "epigraph",  // 8: pepig
                             "\ttab begins",               // 9: a tab is four spaces of indent
                             "  " + std::string(59, 'n'),  // 10: 59 after indent, R is 0 -> pnor0
                             "  " + std::string(60, 'n'),  // 11: 60 after indent -> pnorm
                             std::string(8, ' ') + std::string(70, 'p'),  // 12: prose set deep
                         }));
    EXPECT_EQ(b.GetProperty("Layout"), "classic");
    EXPECT_EQ(Classes(b), (std::vector<std::string>{"pnorm", "pnor0", "-", "pnorm", "-", "pnor0",
                                                    "pnorm", "ptitl", "ptitl", "pepig", "pnor0",
                                                    "pnor0", "pnorm", "pnorm"}));
    EXPECT_EQ(b.Body()[0], "<Page1>" + Tag(1, "pnorm") + std::string(20, ' ') + "Title");
    EXPECT_EQ(b.Body()[12].substr(0, 30), Tag(11, "pnorm") + "  ");
    EXPECT_EQ(b.GetProperty("TotalParagraphs"), "12");
}

TEST(Paragraphs, RunningLengthRule) {
    // The first paragraph counts its tag: a first line of 32 bytes leaves R at 59.
    TempDir dir;
    const Layout::Shape classic = Layout::Classic;
    BookFile a = ConvertText(dir, TextOf({std::string(32, 'x'), "  short"}), &classic);
    EXPECT_EQ(Classes(a)[1], "pnor0");
    BookFile b = ConvertText(dir, TextOf({std::string(33, 'x'), "  short"}), &classic);
    EXPECT_EQ(Classes(b)[1], "pnorm");
    // Verse stays pnor0; after 60 bytes of continuation the next short line is pnorm.
    BookFile v = ConvertText(dir,
                             TextOf({"x", "  a", "  b", "  c", "  para", std::string(30, 'y'),
                                     std::string(30, 'y'), "  d"}),
                             &classic);
    EXPECT_EQ(Classes(v), (std::vector<std::string>{"pnorm", "pnor0", "pnor0", "pnor0", "pnor0",
                                                    "-", "-", "pnorm"}));
    BookFile one = ConvertText(dir, "single");
    EXPECT_EQ(one.Body(), LineList{"<Page1>" + Tag(1, "pnorm") + "single"});
    EXPECT_EQ(one.GetProperty("TotalParagraphs"), "1");
}

TEST(VirtualPages, BoundaryAtExactly16000Bytes) {
    // Line 1 with its marker and CR LF spans 16000 bytes exactly: the next tag
    // starts at offset 16000 and begins page 2.
    std::string first = Tag(1, "pnorm");
    first += std::string(16000 - 7 - 2 - first.size(), 'a');
    int pages = 0;
    LineList b = MarkPages({first, Tag(2, "pnorm") + "b"}, pages);
    EXPECT_EQ(pages, 2);
    EXPECT_EQ(b[1].substr(0, 7), "<Page2>");
    // One byte less and the second tag lies inside page 1.
    first.pop_back();
    LineList c = MarkPages({first, Tag(2, "pnorm") + "b"}, pages);
    EXPECT_EQ(pages, 1);
    EXPECT_EQ(c[1], Tag(2, "pnorm") + "b");
    // A single paragraph never breaks, however long.
    LineList d = MarkPages({Tag(1, "pnorm") + "x", std::string(50000, 'y'), "z"}, pages);
    EXPECT_EQ(pages, 1);
    EXPECT_EQ(d.size(), 3u);
}

TEST(VirtualPages, OnePassEqualsLiteralInsertion) {
    std::mt19937 rng(42);
    for (int round = 0; round < 60; ++round) {
        LineList body;
        int n = int(rng() % 3000) + 1;
        for (int i = 0; i < n; ++i) {
            std::string line;
            int len = int(rng() % 200);
            if (rng() % 3 == 0) line = Tag(i + 1, "pnorm");
            for (int k = 0; k < len; ++k) line += char('a' + rng() % 26);
            if (rng() % 50 == 0) line.insert(line.size() / 2, "<");  // stray brackets too
            if (rng() % 400 == 0) line += std::string(20000 + rng() % 20000, 'L') + "<q";
            body.push_back(line);
        }
        int pages = 0, marked = 0;
        LineList expect = LiteralVirtualPages(body, pages);
        ASSERT_EQ(MarkPages(body, marked), expect) << "round " << round;
        ASSERT_EQ(marked, pages);
    }
}

TEST(PageHtml, ButtonsByPositionAndSnippetBytes) {
    EXPECT_EQ(std::string(BackSnippet).size(), 117u);
    EXPECT_EQ(std::string(ContinueSnippet).size(), 125u);
    TempDir dir;
    WriteFile(dir / "vpage.tml", "<html>&Pg_Up;\r\n&Page_Text;&Pg_Dn;</html>\r\n");
    const std::string p1 = Tag(1, "pnorm");
    auto build = [&](bool first, bool last) {
        LineList page{p1 + "one", "two"};
        BuildPageHtml(page, dir / "vpage.tml", first, last);
        return JoinLines(page);
    };
    const std::string text = p1 + "one\r\ntwo\r\n";
    const std::string next = "</p>" + std::string(ContinueSnippet);
    EXPECT_EQ(build(true, false), "<html>\r\n" + text + next + "</html>\r\n");
    EXPECT_EQ(build(false, false),
              "<html>" + std::string(BackSnippet) + "\r\n" + text + next + "</html>\r\n");
    EXPECT_EQ(build(false, true),
              "<html>" + std::string(BackSnippet) + "\r\n" + text + "</html>\r\n");
    EXPECT_EQ(build(true, true), "<html>\r\n" + text + "</html>\r\n");
    // Placeholders spelled in the book's text stay text; the template's are filled.
    WriteFile(dir / "vpage.tml", "<html lang=\"&Language;\">&Page_Text;&Pg_Dn;</html>");
    LineList spelled{p1 + "&Pg_Dn; &Language;"};
    PageStructure values;
    values.TemplateValues = {"Language=ru"};
    BuildPageHtml(spelled, dir / "vpage.tml", true, false, &values);
    EXPECT_EQ(JoinLines(spelled),
              "<html lang=\"ru\">" + p1 + "&Pg_Dn; &Language;\r\n" + next + "</html>\r\n");
    LineList page{"kept"};
    EXPECT_THROW(BuildPageHtml(page, dir / "missing.tml", true, true), EFileError);
    EXPECT_EQ(page, LineList{"kept"});
}

TEST(PageHtml, ABookFileCarriesNoMarkupOrCharsetOfItsOwn) {
    // A crafted book: markup in the text and a charset that closes its attribute.
    LineList page{Tag(3, "ptitl") + "<script>alert(1)</script>", "<p id=\"par4\" class=\"x\">",
                  "<Page7>" + Tag(8, "pepig") + "<img src=x onerror=alert(2)>",
                  "<p id=\"par9\" class=\"pnorm\"", "a &lt; b <"};
    EscapeForeignMarkup(page);
    EXPECT_EQ(page, (LineList{Tag(3, "ptitl") + "&lt;script>alert(1)&lt;/script>",
                              "&lt;p id=\"par4\" class=\"x\">",
                              "<Page7>" + Tag(8, "pepig") + "&lt;img src=x onerror=alert(2)>",
                              "&lt;p id=\"par9\" class=\"pnorm\"", "a &lt; b &lt;"}));
    EXPECT_EQ(PageCharset("windows-1251"), "windows-1251");
    EXPECT_EQ(PageCharset("UTF-8\"><script>alert(3)</script>"), "Windows-1252");
    EXPECT_EQ(PageCharset(""), "Windows-1252");
    EXPECT_EQ(PageCharset(std::string(41, 'a')), "Windows-1252");
    EXPECT_EQ(PageCharset("iso-2022-kr"), "Windows-1252") << "it would make markup unreadable";
    EXPECT_EQ(PageCharset("koi8-r"), "koi8-r");
}

TEST(FileNames, NumberedWhenTaken) {
    TempDir dir;
    EXPECT_EQ(ChooseBookFileName("/texts/war.txt", dir.Path()), "war.tvst");
    WriteFile(dir / "war.tvst", "");
    EXPECT_EQ(ChooseBookFileName("/texts/war.txt", dir.Path()), "war(1).tvst");
    WriteFile(dir / "war(2).tvst", "");
    EXPECT_EQ(ChooseBookFileName("/texts/war.txt", dir.Path()), "war(1).tvst");
    WriteFile(dir / "war(1).tvst", "");
    EXPECT_EQ(ChooseBookFileName("/texts/war.txt", dir.Path()), "war(3).tvst");
    EXPECT_EQ(ChooseBookFileName("/texts/notes", dir.Path()), "notes.tvst");
    EXPECT_EQ(ChooseBookFileName("a.b.txt", dir.Path()), "a.b.tvst");
    WriteFile(dir / "a.b.tvst", "");
    EXPECT_EQ(ChooseBookFileName("a.b.txt", dir.Path()), "a.b(1).tvst");
    // Nothing hidden, and a folder takes a name as a file does.
    EXPECT_EQ(ChooseBookFileName("/texts/.txt", dir.Path()), "book.tvst");
    EXPECT_EQ(ChooseBookFileName("/texts/...txt", dir.Path()), "book.tvst");
    EXPECT_EQ(ChooseBookFileName("/texts/.notes.txt", dir.Path()), "notes.tvst");
    ASSERT_EQ(::mkdir((dir / "x.tvst").c_str(), 0755), 0);
    EXPECT_EQ(ChooseBookFileName("/texts/x.txt", dir.Path()), "x(1).tvst");
}

namespace {
struct PipelineTest : ::testing::Test {
    TempDir dir;
    void SetUp() override { ::mkdir((dir / "MyBooks").c_str(), 0755); }
    std::string Lib() const { return dir / "MyBooks/"; }
};

struct RecordingProgress : ConversionProgress {
    std::vector<std::string> stages;
    void StageStarted(const std::string& m) override { stages.push_back(m); }
};

std::string Le32(uint32_t v) {
    return Bytes({int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF), int(v >> 24)});
}
}  // namespace

TEST_F(PipelineTest, LineEndingsNulAndPropertyOrder) {
    WriteFile(dir / "crlf.txt", "one\r\n  two\r\nthree\r\n");
    WriteFile(dir / "lf.txt", "one\n  two\nthree\n");
    WriteFile(dir / "cr.txt", "one\r  two\rthree\r");
    LineList bodies[3];
    int i = 0;
    for (const char* f : {"crlf.txt", "lf.txt", "cr.txt"}) {
        RecordingProgress p;
        BookFile b = ConvertToBook(dir / f, Lib(), &p);
        bodies[i++] = b.Body();
        EXPECT_EQ(p.stages,
                  (std::vector<std::string>{"Loading Source Text", "Converting symbols",
                                            "Removing Dashes", "Analyzing Charset",
                                            "Creating paragraphs", "Creating Virtual Pages"}));
        EXPECT_EQ(b.Properties,
                  (LineList{"Charset=Windows-1252", "LastPage=1", "LastParagraph=1", "Language=en",
                            "TotalParagraphs=2", "PagesCount=1", "Layout=classic",
                            "Escaped=amp lt gt", "BookTitle=one", "Headings=0"}));
        EXPECT_EQ(b.Title, b.FileName);
    }
    EXPECT_EQ(bodies[0], bodies[1]);
    EXPECT_EQ(bodies[0], bodies[2]);
    EXPECT_EQ(bodies[0].size(), 3u);
}

TEST_F(PipelineTest, NulBytesAreSpacesAndBinaryFilesAreRefused) {
    // A stray NUL keeps the text after it.
    const std::string filler(300, 'f');
    WriteFile(dir / "nul.txt", std::string("one\0two\r\n\0  three\r\n", 19) + filler);
    BookFile n = ConvertToBook(dir / "nul.txt", Lib());
    EXPECT_EQ(n.Body(), (LineList{"<Page1>" + Tag(1, "pnorm") + "one two",
                                  Tag(2, "pnor0") + "   three", filler}));
    // A picture or an archive named .txt is not a text: more than 1% control bytes.
    std::string png = "\x89PNG\r\n\x1a\n";
    for (int i = 0; i < 2000; ++i) png += char(i % 7 == 0 ? 0 : 'A' + i % 20);
    WriteFile(dir / "picture.txt", png);
    std::string mostlyText(10000, 'a');
    for (int i = 0; i < 90; ++i) mostlyText[size_t(i) * 100] = '\x1b';
    WriteFile(dir / "escapes.txt", mostlyText);
    try {
        ConvertToBook(dir / "picture.txt", Lib());
        ADD_FAILURE() << "a picture was converted";
    } catch (const ETextRefused& err) {
        EXPECT_EQ(std::string(err.what()), (dir / "picture.txt") + " is not a text file");
    }
    EXPECT_NO_THROW(ConvertToBook(dir / "escapes.txt", Lib())) << "0.9% control bytes is text";
    // 150 KB of random bytes after 100 KB of text: between the places looked at
    // first, and refused by the look at the end.
    std::string tail;
    for (int i = 0; i < 100000 / 30; ++i)
        tail += "  A line of a text, number " + std::to_string(i % 1000) + "\r\n";
    uint32_t r = 12345;
    for (int i = 0; i < 150000; ++i) tail += char((r = r * 1103515245 + 12345) >> 24);
    WriteFile(dir / "tail.txt", tail);
    EXPECT_THROW(ConvertToBook(dir / "tail.txt", Lib()), ETextRefused);
}

TEST_F(PipelineTest, SourcesWithoutTextAreRefused) {
    WriteFile(dir / "empty.txt", "");
    for (const char* f : {"empty.txt"}) {
        try {
            ConvertToBook(dir / f, Lib());
            FAIL() << f;
        } catch (const ETextRefused& e) {
            EXPECT_EQ(std::string(e.what()), (dir / f) + " holds no text");
        }
    }
    try {
        ConvertToBook(dir / "absent.txt", Lib());
        FAIL();
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + (dir / "absent.txt"));
    }
    EXPECT_EQ(std::system(("test -z \"$(ls -A '" + Lib() + "')\"").c_str()), 0);
}

TEST_F(PipelineTest, GoldenBookFile) {
    const std::string b8 = "  " + std::string(7998, 'b'), c8 = "  " + std::string(7998, 'c'),
                      d8 = "  " + std::string(7998, 'd'), e8 = "  " + std::string(7998, 'e'),
                      f8 = "  " + std::string(7998, 'f');
    const std::string epi = std::string(40, ' ') + "epigraph";
    WriteFile(dir / "golden.txt", "  The <Title>\r\na continuation line ending in a dash-\r\n" +
                                      b8 + "\r\n   short verse\n          Chapter Two\r\n" + c8 +
                                      "\r\n" + d8 + "\r\n" + epi + "\r\n" + e8 + "\r\n" + f8);
    BookFile book = ConvertToBook(dir / "golden.txt", Lib());
    book.SaveToBookFile();

    // Worked out by hand. Offsets in the joined text (markers, tags, CR LF counted):
    //  line 1 "<Page1>" + tag(27) + "  The &lt;Title&gt;"(19) + 2 = 55     -> line 2 at 55
    //  line 2 continuation, dash removed: 36 + 2                           -> line 3 at 93
    //  line 3 tag 27 + 8000 + 2 = 8029                                     -> line 4 at 8122
    //  line 4 "   short verse" (pnor0, R = 0): 27 + 14 + 2 = 43            -> line 5 at 8165
    //  line 5 10 spaces, ptitl: 27 + 21 + 2 = 50                           -> line 6 at 8215
    //  line 6 8029                                -> line 7 at 16244 >= 16000: <Page2>, next 32244
    //  line 7 7 + 8029 = 8036                                              -> line 8 at 24280
    //  line 8 40 spaces, pepig: 27 + 48 + 2 = 77                           -> line 9 at 24357
    //  line 9 8029                                -> line 10 at 32386 >= 32244: <Page3>
    const LineList body = {
        "<Page1>" + Tag(1, "pnorm") + "  The &lt;Title&gt;",
        "a continuation line ending in a dash",
        Tag(2, "pnorm") + b8,
        Tag(3, "pnor0") + "   short verse",
        Tag(4, "ptitl") + "          Chapter Two",
        Tag(5, "pnorm") + c8,
        "<Page2>" + Tag(6, "pnorm") + d8,
        Tag(7, "pepig") + epi,
        Tag(8, "pnorm") + e8,
        "<Page3>" + Tag(9, "pnorm") + f8,
    };
    const std::string props =
        "Charset=Windows-1252\r\nLastPage=1\r\nLastParagraph=1\r\nLanguage=en\r\n"
        "TotalParagraphs=9\r\n"
        "PagesCount=3\r\nLayout=classic\r\nEscaped=amp lt gt\r\nHeadings=0\r\n";
    std::string text;
    for (const auto& l : body) text += l + "\r\n";
    const std::string index = "0\r\n16244\r\n32386\r\n";  // where the three markers stand
    // A chapter said once, in a book that shows no headings of its own, is
    // none: the contents are only the line of blanks that makes the header
    // whole blocks, with room for positions to come.
    const size_t bare = 2 + 11 + 4 + props.size() + 4 + 2 + 4 + index.size() + 4;
    const std::string contents =
        std::string((bare + 512 + 4095) / 4096 * 4096 - bare, ' ') + "\r\n";
    const std::string expect = Bytes({11, 0}) + "golden.tvst" + Le32(uint32_t(props.size())) +
                               props + Le32(uint32_t(contents.size())) + contents +
                               Le32(uint32_t(index.size())) + index + Le32(uint32_t(text.size())) +
                               text;
    EXPECT_EQ(book.FileName, "golden.tvst");
    const std::string got = ReadFile(Lib() + "golden.tvst");
    ASSERT_EQ(got.size(), expect.size());
    EXPECT_TRUE(got == expect);

    LineList page;
    book.ExtractPage(2, page);
    EXPECT_EQ(page, (LineList{body[6].substr(7), body[7], body[8]}));
}

TEST_F(PipelineTest, ANewBookTakesTheFileItsTextWasWrittenToAndReadsBackTheSame) {
    auto bytes = [](BookFile& b) {
        MemoryStream out;
        b.WriteTo(out);
        return out.Data();
    };
    // Whether this file system can put room in front of a file, and name a
    // file of no name.
    FileDescriptor probe(MakeUnnamedFile(Lib()));
    const uint64_t block = BlockSizeOf(probe.Get());
    const bool inFront =
        block && WriteAt(probe.Get(), std::string(2 * block, 'x').data(), 2 * block, 0) &&
        InsertRoomInFront(probe.Get(), block) && NameUnnamedFile(probe.Get(), dir / "probe") == 0;
    std::string prose;
    for (int c = 1; c <= 30; ++c) {
        prose += "          Chapter " + std::to_string(c) + "\r\n";
        for (int l = 0; l < 200; ++l) prose += "  A line of the chapter's prose, long enough.\r\n";
    }
    // The second has a heading for each paragraph: no room in its contents.
    for (const std::string& text : {prose, std::string("  Chapter 1\r\n  Chapter 2\r\n")}) {
        WriteFile(dir / "t.txt", text);
        BookFile book = ConvertToBook(dir / "t.txt", Lib());
        const std::string made = bytes(book);
        const size_t headings = ParseContents(book.Contents).size();
        book.SaveAsNewBook("t");
        EXPECT_TRUE(bytes(book) == made) << "the record reads its text where it now lies";
        BookFile loaded(Lib());
        loaded.FileName = book.FileName;
        loaded.LoadFromBookFile();
        EXPECT_TRUE(bytes(loaded) == made);
        EXPECT_EQ(ParseContents(loaded.Contents).size(), headings);
        if (inFront && text == prose) {
            const uint64_t header = uint64_t(FileSizeOf(Lib() + book.FileName)) - book.BodySize();
            EXPECT_EQ(header % block, 0u) << "the header fills whole blocks in front of the text";
        }
    }
}

TEST_F(PipelineTest, ADiskThatFillsStopsTheConversionWithItsReason) {
    // The text is written on the thread beside the writer: its failure is
    // the conversion's, in the program's words, and no book is left.
    std::string text;
    while (text.size() < (3 << 20)) text += "  A line of the chapter's prose, long enough.\r\n";
    WriteFile(dir / "t.txt", text);
    EXPECT_EQ(ErrorUnderFileSizeLimit(1 << 20, [&] { ConvertToBook(dir / "t.txt", Lib()); }),
              "Unable to write to " + Lib() + ": File too large");
    EXPECT_TRUE(std::filesystem::is_empty(Lib()));
}

TEST(Charset, LettersTellKoi8RAndShortTexts) {
    if (!FileExists(std::string(TAVISTO_TEXTS) + "/SOURCES.md"))
        GTEST_SKIP() << "the real texts are not here: " << TAVISTO_TEXTS;
    TempDir dir;
    for (const char* name : {"blok-devushka.txt", "chekhov-anyuta.txt", "gogol-nos.txt",
                             "nekrasov-moroz-krasny-nos.txt", "pushkin-medny-vsadnik.txt"}) {
        const std::string path = std::string(TAVISTO_TEXTS) + "/" + name;
        for (const auto& [iconv, charset] : {std::pair{"CP1251", "windows-1251"},
                                             {"CP866", "cp866"},
                                             {"KOI8-R", "KOI8-R"},
                                             {"UTF-8", "UTF-8"}}) {
            const std::string text = IconvFile(path, iconv);
            EXPECT_EQ(AnalyzeCharset(SplitText(text)), charset) << name << " in " << iconv;
            // A short piece of it, of whole words: a stanza's worth.
            std::string piece = text.substr(text.size() / 2, 400);
            piece = piece.substr(piece.find(' ') + 1);
            piece.resize(piece.rfind(' '));
            EXPECT_EQ(AnalyzeCharset(SplitText(piece)), charset)
                << name << " in " << iconv << ", " << piece.size() << " bytes";
        }
    }
}
