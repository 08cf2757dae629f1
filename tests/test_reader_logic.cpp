#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "TestUtil.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "book/BookList.h"
#include "convert/Converter.h"
#include "convert/TextAnalysis.h"
#include "options/Options.h"
#include "reading/ReadAloud.h"
#include "reading/ReadingSession.h"
#include "reading/VoiceChoice.h"

namespace {

// A view that answers from a table, at once or when told (held), and keeps what
// was asked of it.
struct FakeView : HtmlView {
    // As the real view: the document stays the old one until the load ends.
    void Navigate(const std::string& p) override {
        navigated.push_back(p);
        loadingDoc = doc + 1;
    }
    // The load ends.
    void Loaded() {
        if (loadingDoc) doc = loadingDoc;
        loadingDoc = 0;
    }
    void Clear() override {
        cleared = true;
        doc = 0;
    }
    uint64_t Document() const override { return doc; }
    void AskIds(int x, int y, IdsAnswer answer) override {
        probes.emplace_back(x, y);
        auto reply = [this, answer] { answer(this->answer, idAtProbe, idAtTop, topCharacter, 0); };
        if (hold)
            held.push_back(reply);
        else
            reply();
    }
    void ScrollParagraphIntoView(const std::string& id, int32_t character) override {
        scrolledTo.push_back(id);
        scrolledToCharacter = character;
    }
    void ScrollToBottom() override { ++toBottom; }
    void ScrollBy(int dx, int dy, std::function<void(ScrollState)> done) override {
        scrolls.emplace_back(dx, dy);
        if (done) done(edge);
    }
    void Highlight(const std::string& id, const std::u16string& text, int nth) override {
        highlighted.emplace_back(id, text);
        nths.push_back(nth);
    }
    int ViewWidth() const override { return width; }
    int ViewHeight() const override { return height; }
    // Joins pages when told to (+page below, -page above).
    void JoinPage(AheadPlace where, int32_t page, int32_t, const std::string& html,
                  std::function<void(bool)> done) override {
        if (joins && !html.empty()) joined.push_back(where == AheadPlace::Next ? page : -page);
        done(joins);
    }
    void DropJoinedPage(int32_t page) override { dropped.push_back(page); }
    // Delivers the answers held back, in order.
    void Answer() {
        auto h = std::move(held);
        held.clear();
        for (auto& f : h) f();
    }

    uint64_t doc = 0, loadingDoc = 0;
    bool answer = true, hold = false, cleared = false, joins = false;
    std::vector<int32_t> joined, dropped;
    std::string idAtProbe, idAtTop;
    int32_t topCharacter = 0, scrolledToCharacter = 0;
    ScrollState edge;
    int width = 801, height = 700, toBottom = 0;
    std::vector<std::string> navigated, scrolledTo;
    std::vector<std::pair<int, int>> probes, scrolls;
    std::vector<std::pair<std::string, std::u16string>> highlighted;
    std::vector<int> nths;
    std::vector<std::function<void()>> held;
};

struct FakeTimer : ITimerControl {
    bool Enabled() const override { return on; }
    void SetEnabled(bool v) override { on = v; }
    uint16_t Interval() const override { return interval; }
    void SetInterval(uint16_t v) override {
        if (v != interval) on = false;
        interval = v;
    }
    bool on = false;
    uint16_t interval = 20;
};

struct FakeStatus : ReadingStatus {
    void SetTitlePanel(const std::string& t) override { title = t; }
    void RepaintProgress(int p) override { repaints.push_back(p); }
    void ShowPlace(const ReadingPlace& p) override { place = p; }
    void ShowNote(const std::string& n) override { note = n; }
    void AutoScrollStopped() override { ++stopped; }
    ReadingPlace place;
    std::string note;
    int stopped = 0;
    std::string title;
    std::vector<int> repaints;
};

struct ReaderLogicTest : ::testing::Test {
    TempDir dir;
    FakeView view;
    FakeTimer scroll, progress;
    FakeStatus status;
    ReadingSession reader{view, scroll, progress, status};
    // The page sent to the view has loaded.
    void Complete() {
        view.Loaded();
        reader.PageLoaded();
    }
    // The paragraph the probe reports, -2 when no answer came.
    int Probe() {
        int got = -2;
        reader.AskTopParagraph([&](int32_t n) { got = n; });
        return got;
    }
    void SetUp() override {
        dir.MakeProgramFolder();
        ProgramFolder = dir.Path();
        std::system(
            ("cp '" + std::string(TAVISTO_DATA) + "/Templates/'* '" + dir.Path() + "Templates/'")
                .c_str());
        LoadOptions();
        reader.SetPageOptions(OptionList);
    }
    std::string AddBook(int paragraphs) {
        std::string t;
        for (int i = 1; i <= paragraphs; ++i)
            t += "  Paragraph " + std::to_string(i) + std::string(80, 'x') + "\r\n";
        WriteFile(dir / "b.txt", t);
        BookFile b = ConvertToBook(dir / "b.txt", BooksFolder());
        b.SaveToBookFile();
        return b.FileName;
    }
};

}  // namespace

TEST_F(ReaderLogicTest, ProbeReadsParagraphIdsOnly) {
    EXPECT_EQ(Probe(), -1) << "no document yet";
    reader.OpenBook(AddBook(10));
    view.doc = 1;
    reader.CurDocument = 1;
    view.idAtProbe = "par150";
    EXPECT_EQ(Probe(), 150);
    EXPECT_EQ(view.probes.back(), std::make_pair(400, 50));
    for (const char* bad : {"", "par", "parx", "p150", "par12a", "div"}) {
        view.idAtProbe = bad;
        EXPECT_EQ(Probe(), -1) << bad;
    }
    view.answer = false;
    EXPECT_EQ(Probe(), -1);
}

TEST_F(ReaderLogicTest, PercentAndPageComeFromOneMeasure) {
    // "page 3 of 229  6%" read as a contradiction: the percent is where the
    // position lies among the pages, in the status bar, the progress bar and
    // the list of books alike.
    reader.OpenBook(AddBook(800));
    BookFile& b = *reader.CurrentBook;
    const int32_t pages = b.GetIntProperty("PagesCount");
    ASSERT_GE(pages, 4);
    reader.CurDocument = view.doc = 1;
    EXPECT_EQ(ReadPercent(b), 0) << "never read";
    const int32_t third = b.FirstParagraphOfPage(3);
    b.LastPage = 3;
    view.idAtProbe = view.idAtTop = "par" + std::to_string(third);
    reader.ProgressTick();
    reader.ProgressTick();
    const int expected = int(std::lround(2.0 / pages * 100));
    EXPECT_EQ(status.repaints, std::vector<int>{expected}) << "only when the percent changes";
    EXPECT_EQ(status.place.Page, 3);
    EXPECT_EQ(status.place.Percent, expected);
    // Halfway through the last page, and saved for the list of books.
    b.LastPage = pages;
    const int32_t last = b.FirstParagraphOfPage(pages);
    view.idAtProbe = view.idAtTop = "par" + std::to_string(last + (800 - last) / 2);
    reader.ProgressTick();
    EXPECT_NEAR(status.place.Percent, (pages - 0.5) / pages * 100, 1.0);
    b.SavePosition();
    BookFile listed(BooksFolder());
    listed.FileName = b.FileName;
    listed.LoadHeader();
    EXPECT_EQ(ReadPercent(listed), status.place.Percent);
}

TEST_F(ReaderLogicTest, PagingStepsAndPageRequests) {
    reader.PageDown();
    EXPECT_TRUE(view.scrolls.empty()) << "no page loaded yet";
    reader.OpenBook(AddBook(800));
    ASSERT_GE(reader.CurrentBook->GetIntProperty("PagesCount"), 3);
    reader.RestorePosition = true;
    reader.LoadPage();
    EXPECT_EQ(status.title, "b") << "a book without a title of its own: its file's name";
    Complete();
    EXPECT_EQ(view.scrolledTo, std::vector<std::string>{"par1"});
    EXPECT_FALSE(reader.RestorePosition);
    EXPECT_TRUE(progress.on);
    reader.PageDown();
    reader.PageUp();
    EXPECT_EQ(view.scrolls, (std::vector<std::pair<int, int>>{{0, 644}, {0, -644}}));
    view.height = 40;
    reader.PageDown();
    EXPECT_EQ(view.scrolls.back(), std::make_pair(0, -16));
    SetValue(OptionList, "norm_size", "big");
    reader.SetPageOptions(OptionList);
    EXPECT_THROW(reader.PageDown(), EConvertError);

    // Requests wait for the tick; other spellings do nothing.
    reader.ShowPageMessage(u"NEXTPAGE");
    reader.ShowPageMessage(u"NextPage");
    EXPECT_EQ(reader.CurrentBook->LastPage, 1);
    const size_t renders = view.navigated.size();
    reader.ProgressTick();
    EXPECT_EQ(reader.CurrentBook->LastPage, 2);
    EXPECT_EQ(view.navigated.size(), renders + 1);
    EXPECT_FALSE(reader.NextPageRequested);
    reader.ShowPageMessage(u"PrevPage");
    reader.ProgressTick();
    reader.ShowPageMessage(u"PrevPage");
    reader.ProgressTick();
    EXPECT_EQ(reader.CurrentBook->LastPage, 1);
    EXPECT_EQ(view.navigated.size(), renders + 3) << "the first page is rendered again";
}

TEST_F(ReaderLogicTest, MissingTemplatesFailTheRenderOnly) {
    reader.OpenBook(AddBook(10));
    ::unlink((dir / "Templates/style.tml").c_str());
    try {
        reader.LoadPage();
        FAIL();
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + (dir / "Templates/style.tml"));
    }
    EXPECT_TRUE(view.navigated.empty()) << "the view keeps what it showed";
    // A template without placeholders gives a page without those pieces.
    WriteFile(dir / "Templates/style.tml", "body {}\n");
    WriteFile(dir / "Templates/vpage.tml", "<html>plain</html>\n");
    reader.LoadPage();
    EXPECT_EQ(ReadFile(dir / "Templates/vpage.html"), "<html>plain</html>\r\n");
    // No book at all: nothing to render, nothing fails.
    reader.CurrentBook.reset();
    reader.RenderInPlace();
    reader.ApplyCharset("cp866");
    EXPECT_EQ(view.navigated.size(), 1u);
}

TEST_F(ReaderLogicTest, RecentBookAndClosing) {
    RecentBook = "absent.tvst";
    ScrollSpeed = 65536 + 30;
    std::vector<std::string> errors;
    reader.LoadRecentBook([&](const std::string& m) { errors.push_back(m); });
    EXPECT_FALSE(reader.CurrentBook);
    EXPECT_EQ(scroll.interval, 30) << "taken modulo 65536";
    EXPECT_TRUE(errors.empty());

    RecentBook = AddBook(50);
    reader.LoadRecentBook([&](const std::string& m) { errors.push_back(m); });
    ASSERT_TRUE(reader.CurrentBook);
    EXPECT_TRUE(reader.RestorePosition);
    EXPECT_TRUE(progress.on);
    reader.CurrentBook->LastParagraph = 33;
    reader.Close([&](const std::string& m) { errors.push_back(m); });
    EXPECT_FALSE(reader.CurrentBook);
    EXPECT_FALSE(progress.on);
    EXPECT_TRUE(FileExists(dir / "config.dat"));
    BookFile b(BooksFolder());
    b.FileName = RecentBook;
    b.LoadFromBookFile();
    EXPECT_EQ(b.LastParagraph, 33);
    EXPECT_TRUE(errors.empty());
}

TEST_F(ReaderLogicTest, FailedOpensNeverWriteAndForeignNamesAreIgnored) {
    // A book cut short by one byte, named by RecentBook: reported, not opened,
    // and Close writes nothing to it.
    const std::string good = AddBook(30);
    const std::string whole = ReadFile(dir / ("MyBooks/" + good));
    WriteFile(dir / "MyBooks/cut.tvst", whole.substr(0, whole.size() - 1));
    RecentBook = "cut.tvst";
    std::vector<std::string> errors;
    auto report = [&](const std::string& m) { errors.push_back(m); };
    reader.LoadRecentBook(report);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("is damaged"), std::string::npos) << errors[0];
    EXPECT_FALSE(reader.CurrentBook);

    // A failed switch leaves the book being read current and its file whole.
    reader.OpenBook(good);
    reader.CurrentBook->LastParagraph = 12;
    EXPECT_THROW(reader.SwitchToBook("cut.tvst"), EBookDamaged);
    ASSERT_TRUE(reader.CurrentBook);
    EXPECT_EQ(reader.CurrentBook->FileName, good);
    EXPECT_THROW(reader.SwitchToBook("absent.tvst"), EFileError);
    EXPECT_EQ(reader.CurrentBook->FileName, good);
    reader.Close(report);
    EXPECT_EQ(ReadFile(dir / "MyBooks/cut.tvst"), whole.substr(0, whole.size() - 1));

    // A name that leaves the library is as good as a missing file.
    WriteFile(dir / "victim.txt", "not a book");
    for (const char* name : {"../victim.txt", "/etc/hostname", "", ".", ".."}) {
        LoadOptions();
        RecentBook = name;
        reader.LoadRecentBook(report);
        EXPECT_FALSE(reader.CurrentBook) << name;
        EXPECT_THROW(reader.OpenBook(name), EFileError) << name;
        reader.Close(report);
    }
    EXPECT_EQ(ReadFile(dir / "victim.txt"), "not a book");
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(ReaderLogicTest, ACharsetThatCannotBeShownGivesWayToTheDetectedOne) {
    BookFile b(BooksFolder());
    b.FileName = AddBook(30);
    b.LoadFromBookFile();
    b.SetProperty("Charset", "iso-2022-kr");
    b.SaveToBookFile();
    reader.OpenBook(b.FileName);
    EXPECT_EQ(reader.CurrentBook->GetProperty("Charset"), "Windows-1252");
    EXPECT_NE(status.note.find("iso-2022-kr"), std::string::npos) << status.note;
}

TEST_F(ReaderLogicTest, TheBookBeingReadIsClosedBeforeItIsDeleted) {
    const std::string name = AddBook(30);
    RecentBook = name;
    reader.LoadRecentBook([](const std::string&) {});
    scroll.on = true;
    reader.CloseBook();
    EXPECT_FALSE(reader.CurrentBook);
    EXPECT_TRUE(view.cleared);
    EXPECT_FALSE(scroll.on);
    EXPECT_EQ(RecentBook, "") << "the recent book no longer names it";
    ::unlink((dir / ("MyBooks/" + name)).c_str());
    reader.Close([](const std::string& m) { ADD_FAILURE() << m; });
    EXPECT_FALSE(FileExists(dir / ("MyBooks/" + name))) << "nothing brings it back";
}

TEST_F(ReaderLogicTest, ABookFileReplacedWhileOpenIsWrittenOnlyWhenItHoldsTheSameText) {
    const std::string name = AddBook(300);
    WriteFile(dir / "c.txt", "  Another book altogether.\r\n");
    BookFile c = ConvertToBook(dir / "c.txt", BooksFolder());
    c.SaveToBookFile();
    const std::string path = BooksFolder() + name;
    auto replaceWith = [&](const std::string& bytes) {
        WriteFile(dir / "new", bytes);
        ASSERT_EQ(std::rename((dir / "new").c_str(), path.c_str()), 0);
    };
    // The same book copied over itself (a new inode): the position goes in.
    reader.SwitchToBook(name);
    Complete();
    reader.ShowParagraph(200);
    replaceWith(ReadFile(path));
    reader.SwitchToBook(c.FileName);
    EXPECT_EQ(status.note, "");
    BookFile saved(BooksFolder());
    saved.FileName = name;
    saved.LoadFromBookFile();
    EXPECT_EQ(saved.LastParagraph, 200);
    // Another book put in its place: left as it is, and said.
    reader.SwitchToBook(name);
    Complete();
    reader.ShowParagraph(250);
    const std::string another = ReadFile(BooksFolder() + c.FileName);
    replaceWith(another);
    std::string said;
    reader.Close([&](const std::string& e) { said = e; });
    EXPECT_NE(said.find("replaced"), std::string::npos) << said;
    EXPECT_EQ(ReadFile(path), another);
}

TEST_F(ReaderLogicTest, ASwitchGoesOnWhenThePositionCannotBeWrittenAndSaysSo) {
    const std::string big = AddBook(3000), small = AddBook(10);
    reader.SwitchToBook(big);
    Complete();
    reader.ShowParagraph(2000);
    const std::string before = ReadFile(BooksFolder() + big);
    // On a full disk (the book cannot be written again, nor the journal of a
    // save in place; a page still can).
    ::mkdir(HeaderJournalPath().c_str(), 0755);
    EXPECT_EQ(ErrorUnderFileSizeLimit(100000,
                                      [&] {
                                          reader.SwitchToBook(small);
                                          if (!reader.IsCurrentBook(small))
                                              throw std::runtime_error("the switch stopped");
                                          if (status.note.empty())
                                              throw std::runtime_error("nothing was said");
                                      }),
              "");
    EXPECT_EQ(ReadFile(BooksFolder() + big), before) << "the last good position stays";
}

TEST_F(ReaderLogicTest, AnswersAboutAPageThatIsGoneAreDropped) {
    reader.OpenBook(AddBook(400));
    reader.LoadPage();
    Complete();
    view.hold = true;
    view.idAtProbe = "par150";
    reader.ProgressTick();
    reader.ProgressTick();
    EXPECT_EQ(view.held.size(), 1u) << "one question at a time";
    // The book changes while the question is out: its answer must not land on
    // the new book (nor on a released one).
    reader.SwitchToBook(AddBook(20));
    Complete();
    const int32_t before = reader.CurrentBook->LastParagraph;
    view.Answer();
    EXPECT_EQ(reader.CurrentBook->LastParagraph, before);
    reader.ProgressTick();
    reader.CloseBook();
    view.Answer();  // after the book is gone: nothing happens
    EXPECT_FALSE(reader.CurrentBook);

    // While a page loads the view still answers of the old one: not taken.
    view.hold = false;
    reader.OpenBook(AddBook(400));
    reader.LoadPage();
    Complete();
    reader.RenderInPlace();  // a new page on its way
    view.idAtProbe = view.idAtTop = "par77";
    const int32_t was = reader.CurrentBook->LastParagraph;
    reader.ProgressTick();
    EXPECT_EQ(reader.CurrentBook->LastParagraph, was);
    EXPECT_NE(reader.TopParagraph, 77);
}

TEST_F(ReaderLogicTest, PagingFlowsAcrossPagesAndThePositionFollowsAtOnce) {
    reader.OpenBook(AddBook(800));
    const int32_t pages = reader.CurrentBook->GetIntProperty("PagesCount");
    ASSERT_GE(pages, 3);
    reader.LoadPage();
    Complete();
    const int32_t second = reader.CurrentBook->FirstParagraphOfPage(2);
    // Pg Dn that moves stays on the page; at the bottom it goes on to the next.
    reader.PageDown();
    EXPECT_EQ(reader.CurrentBook->LastPage, 1);
    view.edge = {false, false, true};
    reader.PageDown();
    EXPECT_EQ(reader.CurrentBook->LastPage, 2);
    EXPECT_EQ(reader.CurrentBook->LastParagraph, second) << "sampled at once";
    EXPECT_EQ(status.place.Page, 2);
    Complete();
    EXPECT_EQ(view.toBottom, 0) << "shown from its top";
    // PgUp at the top goes back to the end of the previous page.
    view.edge = {false, true, false};
    reader.PageUp();
    EXPECT_EQ(reader.CurrentBook->LastPage, 1);
    Complete();
    EXPECT_EQ(view.toBottom, 1);
    // Exit right after a page change keeps the new page's first paragraph.
    view.edge = {false, false, true};
    reader.PageDown();
    reader.Close([](const std::string& m) { ADD_FAILURE() << m; });
    BookFile saved(BooksFolder());
    saved.FileName = "b.tvst";
    saved.LoadFromBookFile();
    EXPECT_EQ(saved.LastPage, 2);
    EXPECT_EQ(saved.LastParagraph, second);
}

// A view that keeps pages ahead: it says what it was given, and shows one
// once the test says its load ended.
struct AheadView : FakeView {
    void Preload(AheadPlace place, const std::string& path) override {
        preloads.emplace_back(int(place), ReadWholeFile(path));
        ready[int(place)] = false;
    }
    bool ShowPreloaded(AheadPlace place) override {
        const int p = int(place);
        if (!ready[p]) return false;
        shown.push_back(p);
        loadingDoc = doc + 1;
        ready[p] = false;
        ready[1 - p] = true;  // the page shown before
        return true;
    }
    void DropPreloaded() override { ready = {}; }
    std::array<bool, 2> ready{};
    std::vector<std::pair<int, std::string>> preloads;
    std::vector<int> shown;
};

// The reader over a view that keeps pages ahead.
struct ReaderAheadTest : ReaderLogicTest {
    AheadView ahead;
    ReadingSession aheadReader{ahead, scroll, progress, status};
    void SetUp() override {
        ReaderLogicTest::SetUp();
        aheadReader.SetPageOptions(OptionList);
    }
};

TEST_F(ReaderAheadTest, TurnsShowThePagesLoadedAheadAndNeverAStaleOne) {
    AheadView& view = ahead;
    ReadingSession& reader = aheadReader;
    const std::string book = AddBook(800);
    const auto complete = [&] {
        view.Loaded();
        reader.PageLoaded();
    };
    const auto id = [&](int32_t page) {
        return "id=\"par" + std::to_string(reader.CurrentBook->FirstParagraphOfPage(page)) + "\"";
    };
    reader.OpenBook(book);
    reader.LoadPage();
    reader.ProgressTick();
    EXPECT_TRUE(view.preloads.empty()) << "nothing ahead while the page loads";
    complete();
    reader.ProgressTick();
    reader.ProgressTick();
    ASSERT_EQ(view.preloads.size(), 1u) << "the next page; the first has no previous";
    EXPECT_EQ(view.preloads[0].first, 0);
    EXPECT_NE(view.preloads[0].second.find(id(2)), std::string::npos);

    // Pg Dn at the bottom shows it, without a load; the position follows at once.
    view.ready[0] = true;
    view.edge = {false, false, true};
    const size_t loads = view.navigated.size();
    reader.PageDown();
    EXPECT_EQ(view.shown, std::vector<int>{0});
    EXPECT_EQ(view.navigated.size(), loads);
    EXPECT_EQ(reader.CurrentBook->LastPage, 2);
    EXPECT_EQ(reader.CurrentBook->LastParagraph, reader.CurrentBook->FirstParagraphOfPage(2));
    EXPECT_NE(ReadWholeFile(TemplatesFolder() + "vpage.html").find(id(2)), std::string::npos);
    complete();
    // The page left is the previous one now: only the next is loaded anew.
    reader.ProgressTick();
    reader.ProgressTick();
    ASSERT_EQ(view.preloads.size(), 2u);
    EXPECT_NE(view.preloads[1].second.find(id(3)), std::string::npos);
    view.edge = {false, true, false};
    reader.PageUp();
    EXPECT_EQ(view.shown, (std::vector<int>{0, 1}));
    EXPECT_EQ(reader.CurrentBook->LastPage, 1);

    // A turn while the turn before is still on its way loads the page.
    reader.NextPage();
    EXPECT_EQ(reader.CurrentBook->LastPage, 2);
    EXPECT_EQ(view.navigated.size(), loads + 1);
    complete();

    // Rendered anew (a style, a charset), what was ahead is never shown.
    reader.ProgressTick();
    view.ready = {true, true};
    reader.LoadPage();
    complete();
    view.ready = {true, true};
    reader.NextPage();
    EXPECT_EQ(view.shown.size(), 2u);
    EXPECT_EQ(view.navigated.size(), loads + 3);
    EXPECT_EQ(reader.CurrentBook->LastPage, 3);
}

TEST_F(ReaderLogicTest, ThePagesAroundTheTopAreJoinedAndThePageFollowsTheTop) {
    view.joins = true;
    reader.OpenBook(AddBook(1500));
    BookFile& b = *reader.CurrentBook;
    ASSERT_GE(b.GetIntProperty("PagesCount"), 9);
    b.LastPage = 3;
    b.LastParagraph = b.FirstParagraphOfPage(3);
    reader.LoadPage();
    Complete();
    EXPECT_EQ(view.joined, (std::vector<int32_t>{4, -2})) << "the next page first";
    // The top in a joined page: it is the book's page, and the text runs on.
    const auto top = [&](int32_t page, int32_t into = 0) {
        view.idAtProbe = view.idAtTop = "par" + std::to_string(b.FirstParagraphOfPage(page) + into);
        reader.ProgressTick();
    };
    const size_t pages = view.navigated.size();
    top(4);
    EXPECT_EQ(b.LastPage, 4);
    EXPECT_EQ(status.place.Page, 4);
    top(5);
    top(4, 1);  // back and forth over a seam joins and drops nothing more
    EXPECT_EQ(view.joined, (std::vector<int32_t>{4, -2, 5, 6}));
    EXPECT_EQ(view.dropped, std::vector<int32_t>{2}) << "two pages away from the top";
    // A jump into a joined page is a scroll; the pages about it follow.
    reader.ShowParagraph(b.FirstParagraphOfPage(6) + 2);
    EXPECT_EQ(view.navigated.size(), pages) << "no page loaded";
    EXPECT_EQ(b.LastPage, 6);
    EXPECT_EQ(view.scrolledTo.back(), "par" + std::to_string(b.FirstParagraphOfPage(6) + 2));
    EXPECT_EQ(view.joined.back(), 7);
    EXPECT_EQ(view.dropped.back(), 3);
    // Pg Dn at the end of what is shown turns to the page after it.
    view.edge = {false, false, true};
    reader.PageDown();
    EXPECT_EQ(view.navigated.size(), pages + 1);
    EXPECT_EQ(b.LastPage, 8);
}

TEST_F(ReaderLogicTest, GoingToAPercentOrAParagraph) {
    reader.OpenBook(AddBook(800));
    reader.LoadPage();
    Complete();
    EXPECT_TRUE(reader.GoTo("50%"));
    const int32_t half = reader.CurrentBook->LastParagraph;
    EXPECT_NEAR(half, 400, 60);
    const int32_t page = reader.CurrentBook->LastPage;
    EXPECT_EQ(reader.CurrentBook->PageOfParagraph(half), page);
    Complete();
    EXPECT_EQ(view.scrolledTo.back(), "par" + std::to_string(half)) << "the paragraph at the top";
    EXPECT_TRUE(reader.GoTo(" 799 "));
    EXPECT_EQ(reader.CurrentBook->LastParagraph, 799);
    for (const char* bad : {"", "abc", "101%", "-3", "0", "5x"}) {
        status.note.clear();
        EXPECT_FALSE(reader.GoTo(bad)) << bad;
        EXPECT_LE(status.note.size(), 50u) << "fits the status bar: " << status.note;
        EXPECT_FALSE(status.note.empty()) << bad;
    }
    EXPECT_TRUE(reader.GoTo("5000"));
    EXPECT_EQ(reader.CurrentBook->LastParagraph, 800);
    EXPECT_NE(status.note.find("800"), std::string::npos) << status.note;
    reader.OpenBook(reader.CurrentBook->FileName);
    EXPECT_EQ(status.note, "") << "a note goes when the book changes";
    // Ctrl+End: the end itself, not the top of the last paragraph; from
    // another page and on the last one.
    for (int round = 0; round < 2; ++round) {
        const int before = view.toBottom;
        reader.ShowEnd();
        Complete();
        EXPECT_EQ(reader.CurrentBook->LastParagraph, 800);
        EXPECT_EQ(reader.CurrentBook->LastPage, reader.CurrentBook->GetIntProperty("PagesCount"));
        EXPECT_EQ(view.toBottom, before + 1);
    }
    reader.ShowParagraph(1);  // Ctrl+Home
    EXPECT_EQ(reader.CurrentBook->LastPage, 1);
}

TEST_F(ReaderLogicTest, GoingToAPercentShowsThatPercent) {
    // Long paragraphs first, short ones after: pages hold unlike numbers of them.
    std::string t;
    for (int i = 1; i <= 800; ++i)
        t += "  Paragraph " + std::to_string(i) + std::string(i <= 200 ? 2000 : 40, 'x') + "\r\n";
    WriteFile(dir / "u.txt", t);
    BookFile b = ConvertToBook(dir / "u.txt", BooksFolder());
    b.SaveToBookFile();
    reader.OpenBook(b.FileName);
    reader.LoadPage();
    Complete();
    for (const int percent : {0, 5, 10, 46, 50, 90, 100}) {
        ASSERT_TRUE(reader.GoTo(std::to_string(percent) + "%"));
        Complete();
        EXPECT_EQ(status.place.Percent, percent);
    }
}

TEST_F(ReaderLogicTest, FindSaysWhenItWentRoundAndNotFoundClearsTheMark) {
    reader.OpenBook(AddBook(800));
    reader.LoadPage();
    Complete();
    reader.ShowParagraph(700);
    ASSERT_TRUE(reader.Find("Paragraph 701x"));
    EXPECT_EQ(status.note, "");
    ASSERT_TRUE(reader.Find("Paragraph 5x"));
    EXPECT_EQ(reader.CurrentBook->LastParagraph, 5);
    EXPECT_NE(status.note.find("end"), std::string::npos) << status.note;
    ASSERT_TRUE(reader.FindAgain(false));  // the only hit: round again, backwards
    EXPECT_NE(status.note.find("start"), std::string::npos) << status.note;
    const size_t marks = view.highlighted.size();
    EXPECT_FALSE(reader.Find("no such words"));
    EXPECT_EQ(status.note, "Not found");
    ASSERT_EQ(view.highlighted.size(), marks + 1);
    EXPECT_EQ(view.highlighted.back().first, "") << "the old mark is taken off";
}

TEST(VoiceChoice, VariantsFoldUnderTheirVoiceAndEachLanguageHasASensibleOne) {
    const std::vector<std::string> english = {
        "English (Caribbean)",          "English (Caribbean)+Adam",      "English (Great Britain)",
        "English (Great Britain)+Adam", "English (Great Britain)+Annie", "English (America)"};
    EXPECT_EQ(MainVoices(english),
              (std::vector<std::string>{"English (Caribbean)", "English (Great Britain)",
                                        "English (America)"}));
    EXPECT_EQ(VariantsOf(english, "English (Great Britain)"),
              (std::vector<std::string>{"Adam", "Annie"}));
    const struct {
        std::vector<std::string> voices;
        const char *language, *voice;
    } defaults[] = {
        {english, "en", "English (Great Britain)"},
        {{"English (Caribbean)", "English (America)+Adam", "English (America)"},
         "en",
         "English (America)"},
        {{"Russian+Adam", "Russian"}, "ru", "Russian"},
        {{"Russian+Adam"}, "ru", "Russian+Adam"},
        {{}, "ru", ""},
    };
    for (const auto& d : defaults) EXPECT_EQ(DefaultVoice(d.voices, d.language), d.voice);
}

TEST(ReadingPace, CountsReadingOnlyNotPausesOrJumps) {
    // The reader's steps: (seconds after the last, bytes on); 1,000 bytes
    // every 10 seconds is 6,000 a minute.
    using Steps = std::vector<std::pair<int, double>>;
    auto reading = [](size_t n) { return Steps(n, {10, 1000}); };
    auto then = [](Steps a, const Steps& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const struct {
        const char* what;
        Steps steps;
        double minutesFor60000;  // -1: not known yet
    } cases[] = {
        {"half a minute of reading", reading(3), -1},
        {"two minutes", reading(12), 10},
        {"with a pause of an hour", then(then(reading(3), {{3600, 1000}}), reading(7)), 10},
        {"with a jump on and one back",
         then(then(then(then(reading(3), {{5, 500000}}), reading(2)), {{10, -300000}}), reading(6)),
         10},
    };
    for (const auto& c : cases) {
        ReadingPace pace;
        int64_t ms = 0;
        double at = 1000;
        pace.Note(ms, at);
        for (const auto& [seconds, bytes] : c.steps) pace.Note(ms += seconds * 1000, at += bytes);
        EXPECT_NEAR(pace.MinutesFor(60000), c.minutesFor60000, 0.01) << c.what;
    }
}

TEST_F(ReaderLogicTest, F3MarksEachHitOfAParagraphInTurn) {
    WriteFile(dir / "h.txt",
              "  Alpha one, and then alpha two, in the first paragraph of this text.\r\n"
              "  Beta is all the second one says, and it says it at some length.\r\n"
              "  Alpha three stands in the third paragraph, alone there.\r\n");
    BookFile b = ConvertToBook(dir / "h.txt", BooksFolder());
    b.SaveToBookFile();
    reader.OpenBook(b.FileName);
    reader.LoadPage();
    Complete();
    std::vector<std::pair<int32_t, int>> marked;  // paragraph, occurrence in it
    auto mark = [&] { marked.emplace_back(reader.CurrentBook->LastParagraph, view.nths.back()); };
    ASSERT_TRUE(reader.Find("alpha"));
    mark();
    for (const bool forward : {true, true, false}) {
        ASSERT_TRUE(reader.FindAgain(forward));
        Complete();
        mark();
    }
    EXPECT_EQ(marked, (std::vector<std::pair<int32_t, int>>{{1, 0}, {1, 1}, {3, 0}, {1, 1}}));
}

TEST_F(ReaderLogicTest, RenderedAgainThePageStartsWithTheParagraphAtTheTop) {
    reader.OpenBook(AddBook(400));
    reader.LoadPage();
    Complete();
    // The probe point lies in paragraph 13 while 12 is at the top edge.
    view.idAtProbe = "par13";
    view.idAtTop = "par12";
    reader.ProgressTick();
    EXPECT_EQ(reader.CurrentBook->LastParagraph, 12) << "the position is the paragraph at the top";
    reader.ApplyCharset("cp866");
    Complete();
    EXPECT_EQ(view.scrolledTo.back(), "par12") << "not one paragraph further down";
    // Paged into paragraph 12: the line of its character 345 is at the top,
    // after a render in place and after the book is closed and opened again.
    view.topCharacter = 345;
    reader.ProgressTick();
    reader.KeepPlace();
    reader.RenderInPlace();
    Complete();
    EXPECT_EQ(view.scrolledToCharacter, 345);
    const std::string name = reader.CurrentBook->FileName;
    reader.SwitchToBook(name);
    Complete();
    EXPECT_EQ(view.scrolledTo.back(), "par12");
    EXPECT_EQ(view.scrolledToCharacter, 345);
    // A jump is to a paragraph's start.
    reader.ShowParagraph(300);
    Complete();
    EXPECT_EQ(view.scrolledToCharacter, 0);
}

TEST_F(ReaderLogicTest, AutoScrollFollowsTheClockAndGoesOnIntoTheNextPage) {
    int64_t now = 1000;
    reader.Clock = [&] { return now; };
    reader.OpenBook(AddBook(400));
    reader.LoadPage();
    Complete();
    reader.SetAutoScroll(true);
    EXPECT_TRUE(scroll.on);
    now += 100;  // five intervals of 20 ms
    reader.ScrollTick();
    now += 15;  // not yet a whole interval more
    reader.ScrollTick();
    now += 205;  // a late tick catches up
    reader.ScrollTick();
    EXPECT_EQ(view.scrolls, (std::vector<std::pair<int, int>>{{0, 5}, {0, 11}}));
    // At the end of a page it goes on with the next one, from its top.
    view.edge = {false, false, true};
    now += 20;
    reader.ScrollTick();
    EXPECT_EQ(reader.CurrentBook->LastPage, 2);
    EXPECT_TRUE(scroll.on);
    // At the end of the book it stops, and says so.
    reader.ShowParagraph(INT32_MAX);
    Complete();
    now += 20;
    reader.ScrollTick();
    EXPECT_FALSE(scroll.on);
    EXPECT_EQ(status.stopped, 1);
}

namespace {
// An engine that speaks nothing: it keeps what it was told, and finishes an
// utterance when the test says so.
struct FakeSpeech : ISpeechEngine {
    void Say(const std::string& text, const std::string& lang) override {
        said.push_back(text);
        language = lang;
    }
    void Stop() override { ++stops; }
    void Finish() { OnSpoken(); }
    std::vector<std::string> said;
    std::string language;
    int stops = 0;
};

struct ReadAloudTest : ReaderLogicTest {
    FakeSpeech speech;
    ReadAloud aloud{reader, speech};
    // A book of two-sentence paragraphs; the reader at paragraph from, its page shown.
    void Open(int paragraphs, int32_t from) {
        std::string t;
        for (int i = 1; i <= paragraphs; ++i)
            t += "  Paragraph " + std::to_string(i) + " begins. It goes on " +
                 std::string(200, 'x') + " to its end.\r\n";
        WriteFile(dir / "r.txt", t);
        BookFile b = ConvertToBook(dir / "r.txt", BooksFolder());
        b.SaveToBookFile();
        reader.OpenBook(b.FileName);
        reader.ShowParagraph(from);
        Complete();
    }
    std::string Said(size_t back = 0) const { return speech.said[speech.said.size() - 1 - back]; }
};

}  // namespace

TEST_F(ReadAloudTest, SentenceBySentenceAcrossAVirtualPageThePageFollowing) {
    Open(300, 1);
    BookFile& b = *reader.CurrentBook;
    const int32_t second = b.FirstParagraphOfPage(2);
    reader.ShowParagraph(second - 1);
    aloud.Start();
    EXPECT_EQ(Said(), "Paragraph " + std::to_string(second - 1) + " begins.");
    EXPECT_EQ(speech.language, "en");
    EXPECT_EQ(view.highlighted.back().first, "par" + std::to_string(second - 1));
    EXPECT_EQ(view.highlighted.back().second, Utf8ToUtf16(Said()));
    speech.Finish();
    EXPECT_EQ(Said().substr(0, 11), "It goes on ");
    const size_t pagesShown = view.navigated.size();
    speech.Finish();
    // The next paragraph is on the next page: it is turned to, and marked once it is there.
    EXPECT_EQ(Said(), "Paragraph " + std::to_string(second) + " begins.");
    EXPECT_EQ(view.navigated.size(), pagesShown + 1);
    EXPECT_EQ(b.LastPage, 2);
    Complete();
    EXPECT_EQ(view.highlighted.back(),
              std::make_pair("par" + std::to_string(second), Utf8ToUtf16(Said())));
    EXPECT_EQ(reader.SpokenParagraph, second);
}

TEST_F(ReadAloudTest, PauseStopAndAJumpGoOnFromTheNewPlace) {
    Open(300, 5);
    aloud.Start();
    EXPECT_EQ(Said(), "Paragraph 5 begins.");
    // Space stops the words; Space again says the sentence again.
    const size_t words = speech.said.size();
    const int stopsBefore = speech.stops;
    aloud.TogglePause();
    EXPECT_TRUE(aloud.Paused());
    EXPECT_EQ(speech.stops, stopsBefore + 1);
    aloud.TogglePause();
    EXPECT_FALSE(aloud.Paused());
    ASSERT_EQ(speech.said.size(), words + 1);
    EXPECT_EQ(Said(), "Paragraph 5 begins.");
    // A jump (Contents, Go to, Find) while speaking: speech goes on from there.
    const int stops = speech.stops;
    reader.ShowParagraph(250);
    Complete();
    EXPECT_EQ(speech.stops, stops + 1);
    EXPECT_EQ(Said(), "Paragraph 250 begins.");
    // Paging inside the page: from the paragraph now at the top.
    view.idAtTop = "par252";
    reader.PageDown();
    EXPECT_EQ(Said(), "Paragraph 252 begins.");
    aloud.Stop();
    EXPECT_FALSE(aloud.Active());
    EXPECT_EQ(reader.SpokenParagraph, 0);
    EXPECT_EQ(view.highlighted.back().first, "") << "the mark goes";
    const size_t said = speech.said.size();
    speech.Finish();  // a late word of the engine's
    EXPECT_EQ(speech.said.size(), said);
}

TEST_F(ReadAloudTest, ThePositionIsTheParagraphBeingSpoken) {
    Open(300, 40);
    aloud.Start();
    for (int i = 0; i < 4; ++i) speech.Finish();
    EXPECT_EQ(Said(), "Paragraph 42 begins.");
    // The view's top shows an earlier paragraph; the position is the spoken one.
    view.idAtTop = view.idAtProbe = "par41";
    reader.ProgressTick();
    EXPECT_EQ(reader.CurrentBook->LastParagraph, 42);
    const std::string name = reader.CurrentBook->FileName;
    reader.Close([](const std::string& e) { FAIL() << e; });
    BookFile again(BooksFolder());
    again.FileName = name;
    again.LoadFromBookFile();
    EXPECT_EQ(again.LastParagraph, 42);
}

TEST_F(ReadAloudTest, PgUpAtThePagesTopGoesOnFromWhatTheViewShows) {
    Open(300, 1);
    const int32_t second = reader.CurrentBook->FirstParagraphOfPage(2);
    reader.ShowParagraph(second);
    Complete();
    aloud.Start();
    // Back to page 1, shown from its end: speech goes on from its top line.
    view.edge.atTop = true;
    reader.PageUp();
    view.idAtTop = view.idAtProbe = "par" + std::to_string(second - 3);
    Complete();
    EXPECT_EQ(Said(), "Paragraph " + std::to_string(second - 3) + " begins.");
}

TEST_F(ReadAloudTest, APageRenderedAgainWhileTheTopIsAskedIsAskedAgain) {
    Open(300, 10);
    aloud.Start();
    view.hold = true;
    view.idAtTop = view.idAtProbe = "par12";
    reader.PageDown();
    reader.KeepPlace();  // Style or F11 while the view is asked
    reader.RenderInPlace();
    view.Answer();  // of the page replaced
    Complete();
    view.Answer();
    EXPECT_EQ(Said(), "Paragraph 12 begins.");
}

TEST_F(ReadAloudTest, AnEngineThatCannotSpeakEndsItWithItsReason) {
    Open(30, 3);
    int ended = 0;
    std::string why;
    aloud.OnEnded = [&] { ++ended; };
    aloud.OnFailed = [&](const std::string& w) { why = w; };
    aloud.Start();
    speech.OnFailed("no sound");
    EXPECT_FALSE(aloud.Active());
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(why, "no sound");
}

TEST_F(ReadAloudTest, TheEndOfTheBookEndsIt) {
    Open(3, 3);
    int ended = 0;
    aloud.OnEnded = [&] { ++ended; };
    aloud.Start();
    speech.Finish();
    speech.Finish();
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(aloud.Active());
}

TEST_F(ReadAloudTest, ABookSwitchOrRebuildEndsItAndKeepsEachBooksOwnPlace) {
    Open(300, 250);
    int ended = 0;
    aloud.OnEnded = [&] { ++ended; };
    const std::string other = AddBook(50);
    for (const bool rebuild : {false, true}) {
        SCOPED_TRACE(rebuild ? "rebuild" : "switch");
        aloud.Start();
        aloud.TogglePause();
        const std::string first = reader.CurrentBook->FileName;
        if (rebuild) {
            ASSERT_TRUE(reader.ReleaseBook(first));
        } else {
            reader.SwitchToBook(other);
            Complete();
            view.idAtTop = view.idAtProbe = "par1";
            reader.ProgressTick();
        }
        EXPECT_FALSE(aloud.Active());
        EXPECT_EQ(ended, rebuild ? 2 : 1);
        EXPECT_EQ(reader.SpokenParagraph, 0);
        if (rebuild) reader.ReopenBook(first);
        Complete();
    }
    reader.Close([](const std::string& e) { FAIL() << e; });
    for (const auto& [name, paragraph] : {std::pair{std::string("r.tvst"), 250}, {other, 1}}) {
        BookFile b(BooksFolder());
        b.FileName = name;
        b.LoadFromBookFile();
        EXPECT_EQ(b.LastParagraph, paragraph) << name;
    }
}
