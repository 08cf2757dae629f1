#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <csignal>
#include <random>

#include "ConvertUtil.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "book/BookFile.h"
#include "book/BookList.h"
#include "convert/TextAnalysis.h"

namespace {

struct BookTest : ::testing::Test {
    TempDir dir;
    std::string Folder() const { return dir.Path(); }
    BookFile NewBook(const std::string& name) {
        BookFile b(Folder());
        b.FileName = name;
        return b;
    }
    // A book of the given lines, one paragraph each, converted and saved as name.
    BookFile ConvertedBook(const std::string& name, const LineList& lines) {
        std::string text;
        for (const auto& l : lines) text += l + "\r\n";
        const Layout::Shape kind = Layout::Lines;
        BookFile b = ConvertText(dir, text, &kind);
        b.FileName = name;
        b.SaveToBookFile();
        return b;
    }
};

// The page text as the search-based definition gives it: positions in the body
// joined with CR LF, first occurrences, end before the next page's marker.
LineList ReferenceExtract(BookFile& b, int32_t n) {
    std::string t = JoinLines(b.Body());
    std::string m = "<Page" + std::to_string(n) + ">";
    size_t pos = t.find(m);
    if (pos == std::string::npos) return {};  // missing marker: empty page
    size_t start = pos + m.size();
    int32_t p = b.GetIntProperty("PagesCount");
    size_t end;
    if (n < p) {
        size_t next = t.find("<Page" + std::to_string(int64_t(n) + 1) + ">");
        if (next == std::string::npos) return {};
        end = next;
    } else {
        end = t.size();
    }
    if (end <= start) return {};
    return SplitText(t.substr(start, end - start));
}

}  // namespace

TEST_F(BookTest, NewRecordSavedAtOnceIsThe69ByteFile) {
    BookFile b = NewBook("new.tvst");
    EXPECT_EQ(b.LastPage, 1);
    EXPECT_EQ(b.LastParagraph, 0);
    b.SaveToBookFile();
    std::string expect = Bytes({0, 0, 51, 0, 0, 0}) +
                         "Charset=windows-1252\r\nLastPage=1\r\nLastParagraph=1\r\n" +
                         std::string(12, '\0');
    EXPECT_EQ(ReadFile(dir / "new.tvst"), expect);
    EXPECT_EQ(expect.size(), 69u);
}

TEST_F(BookTest, PropertiesFollowTheNameValueRules) {
    BookFile b = NewBook("x.tvst");
    b.SetProperty("charset", "cp866");
    EXPECT_EQ(b.Properties[0], "charset=cp866");
    EXPECT_EQ(b.GetProperty("CHARSET"), "cp866");
    b.SetProperty("LastPage", "");
    EXPECT_EQ(b.Properties.size(), 2u) << "an empty value deletes the line";
    b.SetProperty("Missing", "");
    EXPECT_EQ(b.Properties.back(), "Missing=") << "a missing name is appended even when empty";
    EXPECT_EQ(b.GetIntProperty("PagesCount"), -1);
    b.SetProperty("TotalParagraphs", "12a");
    EXPECT_THROW(
        {
            try {
                b.GetIntProperty("TotalParagraphs");
            } catch (const EConvertError& e) {
                // The message names the book and the property.
                EXPECT_STREQ(e.what(),
                             "'12a' is not a valid integer value (the property TotalParagraphs "
                             "of the book x.tvst)");
                throw;
            }
        },
        EConvertError);
    b.SetProperty("X", "a=b");
    EXPECT_EQ(b.GetProperty("x"), "a=b");
}

TEST_F(BookTest, SaveAndLoadGiveBackEveryField) {
    BookFile b = NewBook("round.tvst");
    b.Title = "round.tvst";
    b.Contents = {"ra"};
    b.PageIndex = {"rb1", "rb2"};
    b.EditBody() = {"<Page1><p id=\"par1\" class=\"pnorm\">Hi", "", "\xE9\xFF bytes"};
    b.SetProperty("LastPage", "1");
    b.SetProperty("LastParagraph", "7");
    b.SaveToBookFile();

    BookFile c = NewBook("round.tvst");
    c.LoadFromBookFile();
    EXPECT_EQ(c.Title, b.Title);
    EXPECT_EQ(c.Properties, b.Properties);
    EXPECT_EQ(c.Contents, b.Contents);
    EXPECT_EQ(c.PageIndex, b.PageIndex);
    EXPECT_EQ(c.Body(), b.Body());
    EXPECT_EQ(c.LastParagraph, 7);
    EXPECT_EQ(c.LastPage, 1);

    BookFile h = NewBook("round.tvst");
    h.LastPage = 5;
    h.LoadHeader();
    EXPECT_EQ(h.Title, "round.tvst");
    EXPECT_EQ(h.LastPage, 5) << "a header load leaves the position fields alone";
    const std::string whole = ReadFile(dir / "round.tvst");
    EXPECT_THROW(h.SavePosition(), EFileError) << "its text was never read";
    EXPECT_EQ(ReadFile(dir / "round.tvst"), whole);

    // Saving again gives the same bytes.
    std::string first = ReadFile(dir / "round.tvst");
    c.SaveToBookFile();
    EXPECT_EQ(ReadFile(dir / "round.tvst"), first);
}

TEST_F(BookTest, MissingFileIsReportedAndKeepsTheRecord) {
    BookFile b = NewBook("absent.tvst");
    b.LastPage = 4;
    try {
        b.LoadFromBookFile();
        ADD_FAILURE() << "a missing book loaded";
    } catch (const EFileError& e) {
        EXPECT_STREQ(e.what(), "Error reading from \r\nabsent.tvst");
    }
    EXPECT_EQ(b.LastPage, 4);
    EXPECT_FALSE(b.Loaded());
    try {
        b.DeleteBookFile();
        ADD_FAILURE() << "a missing book was deleted";
    } catch (const EFileError& e) {
        EXPECT_STREQ(e.what(), "Cannot delete absent.tvst");
    }
}

TEST_F(BookTest, EmptyBlocksLoadAsEmptyLists) {
    WriteFile(dir / "e.tvst", Bytes({0, 0}) + std::string(16, '\0'));
    BookFile b = NewBook("e.tvst");
    b.LoadFromBookFile();
    EXPECT_EQ(b.Title, "");
    EXPECT_TRUE(b.Properties.empty());
    EXPECT_TRUE(b.Body().empty());
    EXPECT_EQ(b.LastPage, 1) << "a page the book does not name: its start";
    LineList page{"x"};
    b.ExtractPage(1, page);
    EXPECT_TRUE(page.empty());
}

TEST_F(BookTest, ExtractPageTakesTheTextBetweenMarkers) {
    BookFile b = NewBook("p.tvst");
    b.EditBody() = {"<Page1><p id=\"par1\" class=\"pnorm\">one", "more",
                    "<Page2><p id=\"par2\" class=\"pnorm\">two",
                    "<Page3><p id=\"par3\" class=\"pnorm\">three", "end"};
    b.SetProperty("PagesCount", "3");
    LineList page;
    b.ExtractPage(1, page);
    EXPECT_EQ(page, (LineList{"<p id=\"par1\" class=\"pnorm\">one", "more"}));
    EXPECT_TRUE(b.IsFirstPage(1));
    EXPECT_FALSE(b.IsLastPage(1));
    b.ExtractPage(3, page);
    EXPECT_EQ(page, (LineList{"<p id=\"par3\" class=\"pnorm\">three", "end"}));
    EXPECT_TRUE(b.IsLastPage(3));
    EXPECT_FALSE(b.IsFirstPage(3));
    b.ExtractPage(7, page);
    EXPECT_TRUE(page.empty()) << "a page without its marker is empty";

    b.LastPage = 3;
    LineList keep{"kept"};
    b.NextPage(keep);
    EXPECT_EQ(b.LastPage, 3);
    EXPECT_EQ(keep, LineList{"kept"});
    b.LastPage = 1;
    b.PrevPage(keep);
    EXPECT_EQ(b.LastPage, 1);
    EXPECT_EQ(keep, LineList{"kept"});
    b.NextPage(keep);
    EXPECT_EQ(b.LastPage, 2);
    EXPECT_EQ(keep, LineList{"<p id=\"par2\" class=\"pnorm\">two"});

    // Without "PagesCount" every page is the last one.
    b.SetProperty("PagesCount", "");
    b.ExtractPage(1, page);
    EXPECT_TRUE(b.IsLastPage(1));
    EXPECT_EQ(page.size(), 5u);

    // A change of the body is seen by the next extraction.
    b.EditBody()[0] = "<Page1>changed";
    b.SetProperty("PagesCount", "3");
    b.ExtractPage(1, page);
    EXPECT_EQ(page, (LineList{"changed", "more"}));
}

TEST_F(BookTest, ExtractPageMatchesTheSearchDefinitionOnOddBodies) {
    // In memory and read from the file on demand, every page is the text the
    // search-based definition gives.
    std::mt19937 rng(7);
    const char* pieces[] = {"<Page1>", "<Page2>",  "<Page10>", "<Page3>", "<Page01>",
                            "<Page",   "<Page-1>", "<Page0>",  "x",       "yy",
                            "<",       ">",        " ",        "<Page2"};
    for (int round = 0; round < 400; ++round) {
        BookFile b = NewBook("r.tvst");
        LineList body;
        int nlines = int(rng() % 6) + 1;
        for (int i = 0; i < nlines; ++i) {
            std::string line;
            int np = int(rng() % 5);
            for (int k = 0; k < np; ++k) line += pieces[rng() % 14];
            body.push_back(line);
        }
        b.EditBody() = body;
        int pc = int(rng() % 5) - 1;
        if (pc >= 0) b.SetProperty("PagesCount", std::to_string(pc));
        b.SaveToBookFile();
        BookFile f = NewBook("r.tvst");
        if (pc > int(1 + JoinedLength(body) / 7)) {
            // More pages than markers could fit: the book does not add up.
            EXPECT_THROW(f.LoadFromBookFile(), EBookDamaged) << "round " << round;
            continue;
        }
        f.LoadFromBookFile();
        for (int32_t n : {-1, 0, 1, 2, 3, 9, 10}) {
            LineList got, onDemand;
            b.ExtractPage(n, got);
            f.ExtractPage(n, onDemand);
            ASSERT_EQ(got, ReferenceExtract(b, n)) << "round " << round << " page " << n;
            ASSERT_EQ(onDemand, got) << "round " << round << " page " << n;
        }
    }
}

TEST_F(BookTest, PagesReadOnDemandEqualTheWholeBodysPages) {
    // A book of many pages, with its page index and without, and one whose index
    // belongs to another text: every page comes out as from the whole body.
    LineList lines;
    for (int i = 1; i <= 3000; ++i) lines.push_back(std::string(size_t(20 + i % 90), 'a' + i % 26));
    BookFile b = ConvertedBook("m.tvst", lines);
    const int32_t pages = b.GetIntProperty("PagesCount");
    ASSERT_GT(pages, 10);
    ASSERT_EQ(b.PageIndex.size(), size_t(pages)) << "the conversion stores the index";
    for (const char* variant : {"stored", "none", "foreign", "beyond 64 bits", "signed"}) {
        BookFile v = NewBook("m.tvst");
        v.LoadFromBookFile();
        const std::string what = variant;
        if (what == "none") v.PageIndex.clear();
        if (what == "foreign")
            for (auto& l : v.PageIndex) l = std::to_string(std::stoll(l) + 3);
        if (what == "beyond 64 bits") v.PageIndex[1] = "9999999999999999999";
        if (what == "signed") v.PageIndex[1] = "+" + v.PageIndex[1];
        for (int32_t n = 0; n <= pages + 1; ++n) {
            LineList whole, onDemand;
            b.ExtractPage(n, whole);
            v.ExtractPage(n, onDemand);
            ASSERT_EQ(onDemand, whole) << variant << " page " << n;
            ASSERT_EQ(v.IsLastPage(n), b.IsLastPage(n));
        }
        EXPECT_EQ(v.PageIndex, b.PageIndex) << variant << ": a wrong index is made again";
    }
}

TEST_F(BookTest, ARememberedPageTheBookDoesNotHaveGivesWayToTheParagraphsPage) {
    LineList lines;
    for (int i = 1; i <= 3000; ++i)
        lines.push_back("Line " + std::to_string(i) + std::string(60, 'a'));
    BookFile b = ConvertedBook("p.tvst", lines);
    const int32_t pages = b.GetIntProperty("PagesCount");
    ASSERT_GT(pages, 3);
    const int32_t paragraph = b.FirstParagraphOfPage(3) + 1;
    for (const char* page : std::initializer_list<const char*>{"99999", "0", "-5", nullptr}) {
        BookFile v = NewBook("p.tvst");
        v.LoadFromBookFile();
        v.SetProperty("LastParagraph", std::to_string(paragraph));
        v.Properties.erase(v.Properties.begin() + IndexOfName(v.Properties, "LastPage"));
        if (page) v.SetProperty("LastPage", page);
        v.SaveToBookFile();
        BookFile again = NewBook("p.tvst");
        again.LoadFromBookFile();
        EXPECT_EQ(again.LastPage, 3) << (page ? page : "none");
    }
}

TEST_F(BookTest, ContentsTooLargeToReadStayInTheFileThroughASave) {
    LineList lines;
    for (int i = 1; i <= 50; ++i) lines.push_back("Line " + std::to_string(i));
    BookFile b = ConvertedBook("c.tvst", lines);
    const std::string heading(200, 'h');
    b.Contents.assign(MaxContentsBytes / 200 + 10, "1\t1\t" + heading);
    b.Contents.back() = "50\t1\tThe last heading";
    b.SaveToBookFile();
    BookFile v = NewBook("c.tvst");
    v.LoadFromBookFile();
    EXPECT_TRUE(v.Contents.empty() && v.ContentsLeftInFile());
    for (int round = 0; round < 2; ++round) {  // the second from the file the first wrote
        v.LastParagraph = 40 + round;
        v.SavePosition();
    }
    BookFile w = NewBook("c.tvst");
    w.LoadFromBookFile();
    EXPECT_EQ(w.LastParagraph, 41);
    const std::string bytes = ReadFile(dir / "c.tvst");
    EXPECT_NE(bytes.find("50\t1\tThe last heading\r\n"), std::string::npos);
    EXPECT_EQ(w.Body(), b.Body());
}

TEST_F(BookTest, APageCountBeyondTheTextsMarkersShowsNoBlankPages) {
    LineList lines;
    for (int i = 1; i <= 3000; ++i)
        lines.push_back("Line " + std::to_string(i) + std::string(60, 'a'));
    BookFile b = ConvertedBook("p.tvst", lines);
    const std::string pages = b.GetProperty("PagesCount");
    BookFile v = NewBook("p.tvst");
    v.LoadFromBookFile();
    v.PageIndex.clear();
    v.SetProperty("PagesCount", "9999");
    v.SaveToBookFile();
    BookFile w = NewBook("p.tvst");
    w.LoadFromBookFile();
    LineList page;
    w.ExtractPage(1, page);
    EXPECT_EQ(w.GetProperty("PagesCount"), pages);
    w.ExtractPage(std::stoi(pages), page);
    EXPECT_TRUE(w.IsLastPage(std::stoi(pages)));
    EXPECT_FALSE(page.empty());
}

TEST_F(BookTest, APageTooLargeToShowIsRefusedAndARebuildCutsIt) {
    // A book of one page of 6 MB, made by hand.
    BookFile b = NewBook("big.tvst");
    LineList body{"<Page1><p id=\"par1\" class=\"pnorm\">start"};
    for (int i = 0; i < 60000; ++i)
        body.push_back("  a line of the one page " + std::string(80, 'x'));
    b.EditBody() = body;
    b.SetProperty("PagesCount", "1");
    b.SetProperty("TotalParagraphs", "1");
    b.SaveToBookFile();
    BookFile v = NewBook("big.tvst");
    v.LoadFromBookFile();
    LineList page;
    EXPECT_THROW(v.ExtractPage(1, page), ETextRefused);
    const Layout::Shape kind = Layout::Classic;
    RebuildBook(v, &kind);
    EXPECT_GT(v.GetIntProperty("PagesCount"), 100);
    v.ExtractPage(50, page);
    EXPECT_FALSE(page.empty());
}

TEST_F(BookTest, TruncatedBookFileIsDamagedAtEveryCutPoint) {
    BookFile b = NewBook("full.tvst");
    b.Title = "full.tvst";
    b.EditBody() = {"<Page1><p id=\"par1\" class=\"pnorm\">text", "two"};
    b.SetProperty("PagesCount", "1");
    b.SaveToBookFile();
    std::string full = ReadFile(dir / "full.tvst");
    const size_t headerEnd = full.size() - (4 + JoinedLength(b.Body()));
    for (size_t cut = 0; cut < full.size(); ++cut) {
        WriteFile(dir / "cut.tvst", full.substr(0, cut));
        BookFile r = NewBook("cut.tvst");
        r.Title = "before";
        r.EditBody() = {"old"};
        EXPECT_THROW(r.LoadFromBookFile(), EBookDamaged) << "cut at " << cut;
        EXPECT_EQ(r.Title, "before");
        EXPECT_EQ(r.Body(), LineList{"old"});
        BookFile h = NewBook("cut.tvst");
        if (cut < headerEnd)
            EXPECT_THROW(h.LoadHeader(), EBookDamaged) << "header cut at " << cut;
        else
            EXPECT_NO_THROW(h.LoadHeader());
    }
    // A 2 GB body claimed by a 1 KB file.
    std::string bogus =
        full.substr(0, headerEnd) + Bytes({0xF0, 0xFF, 0xFF, 0x7F}) + std::string(1000, 'z');
    WriteFile(dir / "claim.tvst", bogus);
    BookFile c = NewBook("claim.tvst");
    try {
        c.LoadFromBookFile();
        FAIL() << "no error";
    } catch (const EBookDamaged& e) {
        EXPECT_EQ(std::string(e.what()), "Book file " + (dir / "claim.tvst") + " is damaged");
    }
}

TEST_F(BookTest, BooksWhoseNumbersLieAreRefusedAndNeverWritten) {
    // A whole book, then the same with one length or count that does not add up:
    // each is refused as damaged (or its number named), and its file stays.
    LineList lines;
    for (int i = 1; i <= 400; ++i) lines.push_back(std::string(80, char('a' + i % 26)));
    BookFile b = ConvertedBook("good.tvst", lines);
    const std::string good = ReadFile(dir / "good.tvst");
    const uint64_t bodyLen = JoinedLength(b.Body());
    const size_t lenAt = good.size() - bodyLen - 4;
    auto withLength = [&](int32_t n) {
        std::string t = good;
        for (int k = 0; k < 4; ++k) t[lenAt + size_t(k)] = char(uint32_t(n) >> (8 * k));
        return t;
    };
    auto withProperty = [&](const std::string& name, const std::string& value) {
        BookFile c = NewBook("good.tvst");
        c.LoadFromBookFile();
        c.SetProperty(name, value);
        c.FileName = "tmp.tvst";
        c.SaveToBookFile();
        return ReadFile(dir / "tmp.tvst");
    };
    const std::vector<std::pair<std::string, std::string>> lies = {
        {"length 0", withLength(0)},
        {"length -5", withLength(-5)},
        {"length short", withLength(int32_t(bodyLen) - 100)},
        {"pages 2147483647", withProperty("PagesCount", "2147483647")},
        {"paragraphs 2000000000", withProperty("TotalParagraphs", "2000000000")},
        {"paragraphs x", withProperty("TotalParagraphs", "x")},
        {"pages x", withProperty("PagesCount", "x")},
        {"contents longer than the paragraphs",
         [&] {
             BookFile c = NewBook("good.tvst");
             c.LoadFromBookFile();
             c.SetProperty("TotalParagraphs", "3");
             c.Contents.assign(1000, "");
             c.FileName = "tmp.tvst";
             c.SaveToBookFile();
             return ReadFile(dir / "tmp.tvst");
         }()},
    };
    for (const auto& [what, bytes] : lies) {
        WriteFile(dir / "lie.tvst", bytes);
        BookFile r = NewBook("lie.tvst");
        EXPECT_THROW(r.LoadFromBookFile(), EAppError) << what;
        EXPECT_FALSE(r.Loaded()) << what;
        EXPECT_EQ(ReadFile(dir / "lie.tvst"), bytes) << what;
    }

    // Lines that end in LF alone read as the same pages, in pieces; a NUL byte
    // in the text (it would be read short) makes the book damaged.
    std::string lf = good.substr(lenAt + 4);
    for (size_t at; (at = lf.find("\r\n")) != std::string::npos;) lf.erase(at, 1);
    WriteFile(dir / "lf.tvst", withLength(int32_t(lf.size())).substr(0, lenAt + 4) + lf);
    BookFile l = NewBook("lf.tvst");
    l.LoadFromBookFile();
    l.PageIndex.clear();
    for (int32_t n = 1; n <= b.GetIntProperty("PagesCount"); ++n) {
        LineList want, got;
        b.ExtractPage(n, want);
        l.ExtractPage(n, got);
        ASSERT_EQ(got, want) << "page " << n;
    }
    std::string nul = good;
    nul[good.size() - 10] = '\0';
    WriteFile(dir / "nul.tvst", nul);
    BookFile z = NewBook("nul.tvst");
    z.LoadFromBookFile();
    z.PageIndex.clear();
    LineList page;
    EXPECT_THROW(z.ExtractPage(1, page), EBookDamaged);
}

TEST_F(BookTest, SaveCutShortByFileSizeLimitKeepsTheOldFile) {
    BookFile b = NewBook("keep.tvst");
    b.EditBody() = {"short"};
    b.SaveToBookFile();
    std::string before = ReadFile(dir / "keep.tvst");

    std::string error = ErrorUnderFileSizeLimit(4096, [&] {
        BookFile big(dir.Path());
        big.FileName = "keep.tvst";
        big.EditBody().assign(2000, std::string(70, 'w'));
        big.SaveToBookFile();
    });
    EXPECT_EQ(error, "Unable to write to " + (dir / "keep.tvst") + ": File too large");
    EXPECT_EQ(ReadFile(dir / "keep.tvst"), before);
    // No temporary is left behind.
    int files = 0;
    std::string cmd = "ls -A '" + dir.Path() + "' | wc -l";
    FILE* p = ::popen(cmd.c_str(), "r");
    ASSERT_EQ(std::fscanf(p, "%d", &files), 1);
    ::pclose(p);
    EXPECT_EQ(files, 1);
}

TEST_F(BookTest, TemporariesOfDeadWritersAreRemovedWhateverTheirAge) {
    pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string dead = ".tavisto-tmp-" + std::to_string(gone) + "-abc123";
    const std::string live = ".tavisto-tmp-" + std::to_string(::getppid()) + "-new456";
    WriteFile(dir / ("s.tvst" + dead), "left by a killed save a moment ago");
    WriteFile(dir / ("other.tvst" + dead), "another book's, as dead");
    WriteFile(dir / ("s.tvst" + live), "a save under way in another process");
    WriteFile(dir / "s.tvst.tmp-abc123", "not a temporary of ours");
    WriteFile(dir / ("report.tmp-" + std::to_string(gone) + "-backup"), "a user's file");
    BookFile b = NewBook("s.tvst");
    b.SaveToBookFile();
    EXPECT_FALSE(FileExists(dir / ("s.tvst" + dead)));
    EXPECT_FALSE(FileExists(dir / ("other.tvst" + dead)));
    EXPECT_TRUE(FileExists(dir / ("s.tvst" + live)));
    EXPECT_TRUE(FileExists(dir / "s.tvst.tmp-abc123"));
    EXPECT_TRUE(FileExists(dir / ("report.tmp-" + std::to_string(gone) + "-backup")));
}

TEST_F(BookTest, SaveIntoMissingFolderFails) {
    BookFile b(dir / "nope/");
    b.FileName = "a.tvst";
    EXPECT_THROW(b.SaveToBookFile(), EFileError);
}

TEST_F(BookTest, ListScansSortsAndKeepsUnreadableBooks) {
    for (const char* t : {"b.tvst", "A.tvst", "a(1).tvst"}) {
        BookFile b = NewBook(t);
        b.Title = t;
        b.SaveToBookFile();
    }
    WriteFile(dir / "foreign.txt", "not a book");
    WriteFile(dir / "broken.tvst", Bytes({9, 0, 'x'}));
    ASSERT_EQ(::mkfifo((dir / "fifo.tvst").c_str(), 0644), 0);
    ASSERT_EQ(::mkdir((dir / "folder.tvst").c_str(), 0755), 0);
    BookList list(dir.Path());
    list.ScanFolder();  // a FIFO would block a plain open for ever
    EXPECT_EQ(list.Count(), 4u);
    list.SortByTitle();
    // A damaged book is listed by its file name, without its extension.
    EXPECT_EQ(list.Captions(), (std::vector<std::string>{"A", "a(1)", "b", "broken"}));
    EXPECT_EQ(list.Errors.size(), 1u);
}

namespace {

// The book's pages as one store answers for them.
struct PageAnswers {
    std::vector<LineList> pages;
    std::vector<uint64_t> offsets;
    std::vector<int32_t> firsts, pageOf;
    bool operator==(const PageAnswers&) const = default;
};

PageAnswers AskPages(BookFile& b) {
    PageAnswers a;
    const int32_t pages = b.GetIntProperty("PagesCount");
    for (int32_t n = 0; n <= pages + 1; ++n) {
        a.pages.emplace_back();
        b.ExtractPage(n, a.pages.back());
        a.offsets.push_back(b.PageOffset(n));
        a.firsts.push_back(b.FirstParagraphOfPage(n));
    }
    for (int32_t p = 1; p <= b.GetIntProperty("TotalParagraphs"); p += 7)
        a.pageOf.push_back(b.PageOfParagraph(p));
    return a;
}

}  // namespace

TEST_F(BookTest, TheTextInMemoryAndOnFileAnswerAlike) {
    LineList lines;
    for (int i = 1; i <= 900; ++i)
        lines.push_back("Line " + std::to_string(i) + std::string(size_t(i % 97), 'x'));
    ConvertedBook("both.tvst", lines);
    BookFile onFile = NewBook("both.tvst");
    onFile.LoadFromBookFile();
    BookFile inMemory = NewBook("both.tvst");
    inMemory.LoadFromBookFile();
    inMemory.EditBody();  // the text read into lines
    ASSERT_GT(onFile.GetIntProperty("PagesCount"), 3);
    const PageAnswers file = AskPages(onFile);
    EXPECT_TRUE(file == AskPages(inMemory));
    EXPECT_EQ(file.pages[1].front().rfind("<p id=\"par1\"", 0), 0u);
    EXPECT_EQ(onFile.BodySize(), inMemory.BodySize());
}
