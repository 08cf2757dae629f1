#include <gtest/gtest.h>

#include <QAction>
#include <QImageReader>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>
#include <QWheelEvent>
#include <cmath>
#include <map>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <QLabel>

#include "GuiUtil.h"
#include "base/Files.h"
#include "options/IniFile.h"
#include "reading/Hyphenator.h"
#include "ui/Application.h"
#include "ui/BooksDialog.h"
#include "ui/HitListDialog.h"
#include "ui/MainWindow.h"
#include "ui/Splash.h"
#include "ui/Startup.h"
#include "view/PageView.h"
#include "view/ThreadedTimer.h"

namespace {

struct ReaderTest : ::testing::Test {
    ProgramDir prog;
    std::vector<std::string> errors, messages;
    void SetUp() override {
        ErrorBoxHook = [this](const std::string& m) { errors.push_back(m); };
        MessageBoxHook = [this](const std::string& m) { messages.push_back(m); };
        LoadOptions();
    }
    void TearDown() override {
        if (ReaderWindow()) DestroyForms();
        ErrorBoxHook = nullptr;
        MessageBoxHook = nullptr;
    }
    void Start() {
        LoadOptions();
        CreateForms(30);
        StartReader();
    }
    ReadingSession& R() { return ReaderWindow()->Reader(); }
    // The page rendered last has loaded and its position was restored.
    bool PageIsShown() {
        return R().CurDocument != 0 && R().CurDocument == ReaderWindow()->WB->Document() &&
               !R().RestorePosition && ReaderWindow()->progressTimer->Enabled();
    }
    bool PageShown() {
        return WaitFor([&] { return PageIsShown(); });
    }
    double Offset() { return PageOffset(ReaderWindow()->WB); }
    // The id of the first paragraph whose text reaches below the view's top edge.
    QString TopId() {
        return PageScript(ReaderWindow()->WB,
                          "(function(){var ps=document.getElementsByTagName('p');"
                          "for(var i=0;i<ps.length;i++)if(ps[i].getBoundingClientRect().bottom>1)"
                          "return ps[i].id;return '';})()")
            .toString();
    }
    // The paragraph at the probe point now, or -1.
    int CurPar() {
        int cur = -2;
        R().AskTopParagraph([&](int32_t n) { cur = n; });
        WaitFor([&] { return cur != -2; }, 2000);
        return cur;
    }
    void Alert(const char* text) {
        QVariant v;
        FrontView(ReaderWindow()->WB)->page()->runJavaScript(QString("alert('%1')").arg(text));
    }
    // Makes a book of 400 paragraphs the recent one, its place `into`
    // paragraphs into its page 2 (b loads it); the remembered paragraph.
    int RecentBookOnPage2(const std::string& file, int into, BookFile& b) {
        b.FileName = prog.AddBook(file, ManyParagraphs(400));
        b.LoadFromBookFile();
        const int remembered = FirstParagraphOf(b, 2) + into;
        b.LastPage = 2;
        b.LastParagraph = remembered;
        b.SavePosition();
        RecentBook = b.FileName;
        SaveOptions();
        return remembered;
    }
    // The first paragraph number of page n of a book.
    static int FirstParagraphOf(BookFile& b, int page) {
        LineList lines;
        b.ExtractPage(page, lines);
        return std::stoi(lines.at(0).substr(10));
    }
};

}  // namespace

TEST_F(ReaderTest, OpensAtTheRememberedPlaceTurnsPagesAndSavesOnExit) {
    BookFile b(BooksFolder());
    const int remembered = RecentBookOnPage2("multi.txt", 20, b);
    const std::string name = b.FileName;
    ASSERT_GE(b.GetIntProperty("PagesCount"), 4);

    Start();
    EXPECT_FALSE(ReaderWindow()->Window<Splash>()->isVisible());
    ASSERT_TRUE(PageShown());
    EXPECT_EQ(R().CurrentBook->LastPage, 2);
    EXPECT_EQ(ReaderWindow()->StatusTitle->FullText().toStdString(), "A Test Book");
    EXPECT_EQ(ReaderWindow()->scrollTimer->Interval(), 20);
    int cur = -1;
    ASSERT_TRUE(WaitFor([&] { return (cur = CurPar()) > 0; }));
    EXPECT_TRUE(cur == remembered || cur == remembered + 1) << cur << " vs " << remembered;
    ASSERT_TRUE(WaitFor([&] { return R().CurrentBook->LastParagraph == cur; }));

    // Pg Dn scrolls by the view's height less two text lines.
    const double before = Offset();
    const int step = ReaderWindow()->WB->height() - 2 * 28;
    ReaderWindow()->PageDown();
    ASSERT_TRUE(WaitFor([&] { return Offset() != before; }));
    EXPECT_NEAR(Offset() - before, step, 1.0);
    ReaderWindow()->PageUp();
    ASSERT_TRUE(WaitFor([&] { return std::abs(Offset() - before) < 1.0; }));

    // Other letter case is swallowed without effect.
    R().ShowPageMessage(u"nextpage");
    EXPECT_FALSE(R().NextPageRequested);
    Alert("nextpage");
    QTest::qWait(50);
    EXPECT_FALSE(R().NextPageRequested);

    // Pages 1 and 3 are joined to page 2; the CONTINUE at the document's end
    // ("NextPage") turns to page 4 at a progress tick, shown from its top.
    ASSERT_TRUE(WaitFor([&] {
        return PageScript(ReaderWindow()->WB,
                          QString("!!document.getElementById('par%1')").arg(FirstParagraphOf(b, 3)))
            .toBool();
    }));
    const uint64_t doc = ReaderWindow()->WB->Document();
    Alert("NextPage");
    ASSERT_TRUE(WaitFor([&] { return R().CurrentBook->LastPage == 4; }, 5000));
    ASSERT_TRUE(WaitFor([&] { return ReaderWindow()->WB->Document() > doc && PageIsShown(); }));
    const int first4 = FirstParagraphOf(b, 4);
    ASSERT_TRUE(WaitFor([&] { return TopId() == QString("par%1").arg(first4); }));
    // A paragraph reaches the probe point once the reader scrolls on.
    ReaderWindow()->PageDown();
    int page4 = -1;
    ASSERT_TRUE(WaitFor([&] { return (page4 = R().CurrentBook->LastParagraph) >= first4; }));

    // Exit writes the position into the book file and the options into config.dat.
    ReaderWindow()->Exit();
    BookFile saved(BooksFolder());
    saved.FileName = name;
    saved.LoadFromBookFile();
    EXPECT_EQ(saved.GetProperty("LastPage"), "4");
    EXPECT_EQ(saved.GetIntProperty("LastParagraph"), page4);
    IniFile ini(prog / "config.dat");
    EXPECT_EQ(ini.ReadString("General", "RecentBook", ""), name);
    EXPECT_EQ(ini.ReadString("Style", "norm_size", ""), "28");
    EXPECT_EQ(ini.ReadString("Style", "bgcolor", ""), "C0CBCA");
    DestroyForms();

    // A restart reopens the same page at the same paragraph.
    Start();
    ASSERT_TRUE(PageShown());
    EXPECT_EQ(R().CurrentBook->LastPage, 4);
    ASSERT_TRUE(WaitFor([&] { return (cur = CurPar()) > 0; }));
    EXPECT_TRUE(cur == page4 || cur == page4 + 1) << cur << " vs " << page4;
    EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST_F(ReaderTest, TheLineAtTheTopComesBackAfterAReopenAResizeAndAFontChange) {
    // A book of long paragraphs, paged into the middle of one.
    std::string text = "            A Test Book\r\n";
    for (int i = 2; i <= 40; ++i) {
        text += "  Paragraph " + std::to_string(i) + " begins";
        for (int w = 0; w < 300; ++w) text += " word" + std::to_string(w);
        text += ".\r\n";
    }
    RecentBook = prog.AddBook("long.txt", text);
    SaveOptions();
    Start();
    ASSERT_TRUE(PageShown());
    // The place at the top: the paragraph and the character beginning the line there.
    auto top = [&] {
        const QVariantList l = PageScript(ReaderWindow()->WB, "window.tavistoTop()").toList();
        return l.size() == 3 ? std::make_pair(l[0].toString().toStdString(), l[1].toInt())
                             : std::make_pair(std::string(), -1);
    };
    for (int i = 0; i < 4; ++i) {
        const double before = Offset();
        ReaderWindow()->PageDown();
        ASSERT_TRUE(WaitFor([&] { return Offset() != before; }));
    }
    const auto paged = top();
    ASSERT_GT(paged.second, 0) << "the top edge lies inside " << paged.first;
    ASSERT_TRUE(WaitFor([&] { return R().CurrentBook->LastCharacter == paged.second; }));
    // Closed and opened again: the very same line.
    ReaderWindow()->Exit();
    DestroyForms();
    Start();
    ASSERT_TRUE(PageShown());
    ASSERT_TRUE(WaitFor([&] { return top() == paged; })) << top().first << " " << top().second;
    // Narrower, and at a larger font: the line that holds the same character.
    auto holdsIt = [&] {
        const auto now = top();
        return now.first == paged.first && now.second <= paged.second &&
               paged.second - now.second < 120;
    };
    ReaderWindow()->resize(ReaderWindow()->width() - 240, ReaderWindow()->height() - 100);
    ASSERT_TRUE(WaitFor([&] { return FrontView(ReaderWindow()->WB)->width() < 1000 && holdsIt(); }))
        << top().first << " " << top().second;
    SetValue(OptionList, "norm_size", "36");
    R().SetPageOptions(OptionList);
    R().KeepPlace();
    R().RenderInPlace();
    ASSERT_TRUE(PageShown());
    ASSERT_TRUE(WaitFor(holdsIt)) << top().first << " " << top().second;
    EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST_F(ReaderTest, RenderingTwiceGivesTheSameFiles) {
    std::string name = prog.AddBook("two.txt", ManyParagraphs(200));
    RecentBook = name;
    SaveOptions();
    Start();
    ASSERT_TRUE(PageShown());
    const std::string css = ReadFile(prog / "Templates/vpage.css");
    const std::string html = ReadFile(prog / "Templates/vpage.html");
    EXPECT_NE(html.find("<meta charset=\"Windows-1252\">"), std::string::npos);
    EXPECT_NE(css.find("font-size: 28px"), std::string::npos);
    R().LoadPage();
    EXPECT_EQ(ReadFile(prog / "Templates/vpage.css"), css);
    EXPECT_EQ(ReadFile(prog / "Templates/vpage.html"), html);
    // A render that replaces one still loading: only the newer one completes.
    ASSERT_TRUE(PageShown());
    const uint64_t doc = ReaderWindow()->WB->Document();
    R().LoadPage();
    R().LoadPage();
    ASSERT_TRUE(WaitFor([&] { return ReaderWindow()->WB->Document() > doc; }));
    QTest::qWait(200);
    EXPECT_EQ(ReaderWindow()->WB->Document(), doc + 1);
}

TEST_F(ReaderTest, NoBookOpenWindowToggleAndQuit) {
    Start();  // RecentBook names no file
    EXPECT_FALSE(ReaderWindow()->Window<Splash>()->isVisible());
    EXPECT_FALSE(R().CurrentBook);
    EXPECT_EQ(ReaderWindow()->scrollTimer->Interval(), 20);
    ReaderWindow()->autoScrollAction->setChecked(true);
    ReaderWindow()->ToggleAutoScroll();
    ReaderWindow()->windowedAction->setChecked(true);
    ReaderWindow()->ToggleWindowed();
    EXPECT_FALSE(ReaderWindow()->autoScrollAction->isChecked());
    EXPECT_FALSE(ReaderWindow()->scrollTimer->Enabled());
    EXPECT_EQ(ReaderWindow()->WB->Document(), 0u) << "nothing is rendered";
    EXPECT_EQ(ReaderWindow()->windowTitle().toStdString(), "Tavisto 4.0 BETA");
    ReaderWindow()->windowedAction->setChecked(false);
    ReaderWindow()->ToggleWindowed();
    ReaderWindow()->PageDown();
    ReaderWindow()->Exit();
    EXPECT_TRUE(FileExists(prog / "config.dat"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(ReaderTest, WindowToggleRendersAgainAtTheStoredParagraph) {
    std::string name = prog.AddBookAt("w.txt", ManyParagraphs(300), 1, 60);
    RecentBook = name;
    SaveOptions();
    Start();
    ASSERT_TRUE(PageShown());
    // Read on since the book was opened: the toggle keeps the paragraph being read.
    R().ShowParagraph(90);
    ASSERT_TRUE(WaitFor([&] { return PageIsShown() && R().TopParagraph == 90; }));
    ReaderWindow()->autoScrollAction->setChecked(true);
    ReaderWindow()->ToggleAutoScroll();
    const uint64_t doc = ReaderWindow()->WB->Document();
    ReaderWindow()->windowedAction->setChecked(true);
    ReaderWindow()->ToggleWindowed();
    EXPECT_FALSE(ReaderWindow()->scrollTimer->Enabled());
    EXPECT_FALSE(ReaderWindow()->autoScrollAction->isChecked());
    // No place kept yet: about 70% of the screen, centred.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(ReaderWindow()->geometry().size(), screen.size() * 7 / 10);
    EXPECT_LE((ReaderWindow()->geometry().center() - screen.center()).manhattanLength(), 2);
    ASSERT_TRUE(WaitFor([&] { return ReaderWindow()->WB->Document() > doc && PageIsShown(); }));
    int cur = -1;
    ASSERT_TRUE(WaitFor([&] { return (cur = CurPar()) > 0; }));
    EXPECT_TRUE(cur == 90 || cur == 91) << cur;
    EXPECT_EQ(ReaderWindow()->windowTitle().toStdString(), "Tavisto 4.0 BETA");
    EXPECT_TRUE(errors.empty());
}

TEST_F(ReaderTest, TheLastPageShownComesBackAtOnceWhenNothingChanged) {
    BookFile b(BooksFolder());
    RecentBookOnPage2("picture.txt", 20, b);
    const std::string other = prog.AddBook("other.txt", ManyParagraphs(50));
    // Read a while, then quit: the page is kept as it was shown.
    const auto run = [&](const std::function<void()>& change) {
        LoadOptions();
        change();
        SaveOptions();
        Start();
        EXPECT_TRUE(PageShown());
        const int shown = ReaderWindow()->WB->PicturesShown;
        EXPECT_TRUE(WaitFor([&] { return !ReaderWindow()->WB->ShowsPicture(); }));
        EXPECT_TRUE(WaitFor([&] {
            return R().TopParagraph == R().CurrentBook->LastParagraph &&
                   R().TopCharacter == R().CurrentBook->LastCharacter;
        }));
        ReaderWindow()->Exit();
        DestroyForms();
        return shown;
    };
    run([] {});
    EXPECT_EQ(run([] {}), 1) << "the same book, size and style";
    EXPECT_EQ(run([] { SetValue(OptionList, "norm_size", "30"); }), 0) << "another style";
    EXPECT_EQ(run([] {}), 1);
    // The view made after the window's first paint, as the program makes it:
    // the picture's paint is that first paint, and the view is made while the
    // picture shows (not when a window never drawn would get it).
    PageView::ViewAfterFirstPaint = true;
    PageView::ViewAnywayAfterMs = 3600 * 1000;
    LoadOptions();
    Start();
    PageView::ViewAfterFirstPaint = false;
    PageView::ViewAnywayAfterMs = 300;
    ASSERT_TRUE(WaitFor([&] { return ReaderWindow()->WB->Front() != nullptr; }));
    EXPECT_TRUE(ReaderWindow()->WB->ShowsPicture());
    EXPECT_TRUE(PageShown());
    ReaderWindow()->Exit();
    DestroyForms();
    EXPECT_EQ(run([] {
                  WindowRect = "10,10,700,500";
                  WindowMode = WindowModeWindow;
              }),
              0)
        << "another size";
    EXPECT_EQ(run([&] { RecentBook = other; }), 0) << "another book";
    // A key pressed while the picture stands, before the book has even opened,
    // is applied to the live page once it stands where the picture showed it.
    run([&] { RecentBook = b.FileName; });
    BookFile saved(BooksFolder());
    saved.FileName = b.FileName;
    saved.LoadFromBookFile();
    LoadOptions();
    Start();
    ASSERT_TRUE(ReaderWindow()->WB->HoldsPicture());
    ReaderWindow()->PageDown();
    EXPECT_TRUE(WaitFor([&] {
        return PageIsShown() && !ReaderWindow()->WB->ShowsPicture() &&
               R().TopParagraph > saved.LastParagraph;
    }));
    EXPECT_EQ(ReaderWindow()->WB->PicturesShown, 1);
    // So is the wheel turned while the picture shows (back: the place is the
    // book's last screen now).
    ReaderWindow()->Exit();
    DestroyForms();
    saved.LoadFromBookFile();
    LoadOptions();
    Start();
    ASSERT_TRUE(WaitFor([&] { return ReaderWindow()->WB->ShowsPicture(); }));
    const QPoint at(ReaderWindow()->WB->width() / 2, ReaderWindow()->WB->height() / 2);
    for (int notch = 0; notch < 3; ++notch) {
        QWheelEvent e(at, ReaderWindow()->WB->mapToGlobal(at), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(ReaderWindow()->WB, &e);
    }
    EXPECT_TRUE(WaitFor([&] {
        return PageIsShown() && !ReaderWindow()->WB->ShowsPicture() &&
               R().TopParagraph < saved.LastParagraph &&
               R().TopParagraph == R().CurrentBook->LastParagraph &&
               R().TopCharacter == R().CurrentBook->LastCharacter;
    }));
    // A picture file whose size lies (its key still right) is not shown.
    ReaderWindow()->Exit();
    DestroyForms();
    const std::string kept = ReadWholeFile(ProgramFolder + "lastpage.pic");
    QList<QByteArray> head = QByteArray::fromStdString(kept.substr(0, kept.find('\n'))).split('\t');
    ASSERT_EQ(head.size(), 12);
    head[9] = head[10] = "16384";
    WriteFile(ProgramFolder + "lastpage.pic",
              head.join('\t').toStdString() + "\n" + kept.substr(0, 100));
    LoadOptions();
    Start();
    EXPECT_FALSE(ReaderWindow()->WB->HoldsPicture());
    EXPECT_TRUE(PageShown());
    EXPECT_TRUE(errors.empty());
}

TEST_F(ReaderTest, TheParagraphAtTheTopStaysThereFromOneSessionToTheNext) {
    // One-line paragraphs: the paragraph below the top one lies under the probe
    // point. Gone to, closed and opened five times, the same one is at the top.
    std::string text = "            Short Lines\r\n";
    for (int i = 2; i <= 400; ++i) text += "  Short paragraph " + std::to_string(i) + ".\r\n";
    RecentBook = prog.AddBook("short.txt", text);
    SaveOptions();
    for (int round = 0; round < 5; ++round) {
        Start();
        ASSERT_TRUE(PageShown()) << round;
        if (round == 0) R().ShowParagraph(48);  // on the page shown: a scroll
        // A few rounds of the position probe.
        int ticks = 0;
        auto probe = ReaderWindow()->progressTimer->OnTimer;
        ReaderWindow()->progressTimer->OnTimer = [&](ThreadedTimer* t) {
            probe(t);
            ++ticks;
        };
        ASSERT_TRUE(WaitFor([&] { return ticks >= 4; }));
        EXPECT_EQ(R().CurrentBook->LastParagraph, 48) << "round " << round;
        ReaderWindow()->Exit();
        DestroyForms();
        BookFile saved(BooksFolder());
        saved.FileName = RecentBook;
        saved.LoadFromBookFile();
        EXPECT_EQ(saved.LastParagraph, 48) << "round " << round;
    }
}

TEST_F(ReaderTest, TheTextRunsOnAcrossAPagesEndUnderTheWheelAndTheArrows) {
    RecentBook = prog.AddBook("seam.txt", ManyParagraphs(600));
    SaveOptions();
    Start();
    ASSERT_TRUE(PageShown());
    BookFile& b = *R().CurrentBook;
    const int first2 = FirstParagraphOf(b, 2);
    // Where a paragraph's text begins (or ends) in the view (NaN: not in the document).
    const auto y = [&](int n, const char* edge = "top") {
        const QVariant v = PageScript(
            ReaderWindow()->WB, QString("(function(){var p=document.getElementById('par%1');"
                                        "if(!p)return null;var r=document.createRange();"
                                        "r.selectNodeContents(p);var t=[].filter.call("
                                        "r.getClientRects(),function(x){return x.width>0;});"
                                        "return '%2'==='top'?t[0].top:t[t.length-1].bottom;})()")
                                    .arg(n)
                                    .arg(edge));
        return v.isNull() ? std::nan("") : v.toDouble();
    };
    // Page 2 is joined below page 1, with no more space at the seam than
    // between any two paragraphs.
    ASSERT_TRUE(WaitFor([&] { return !std::isnan(y(first2)); }));
    EXPECT_NEAR(y(first2) - y(first2 - 1, "bottom"), y(first2 - 1) - y(first2 - 2, "bottom"), 1.0);

    // The seam a screen and a half below the top edge, then the wheel and the
    // arrow keys: the text moves by the same amount at every step, across it.
    const double height = ReaderWindow()->WB->height();
    PageScript(ReaderWindow()->WB, QString("window.scrollBy(0,%1)").arg(y(first2) - 1.5 * height));
    QWidget* page = ReaderWindow()->WB->Front()->Widget();
    QWidget* target = page->focusProxy() ? page->focusProxy() : page;
    const auto steps = [&](auto move, int count) {
        std::vector<double> moved;
        for (int i = 0; i < count; ++i) {
            const double before = y(first2);
            move();
            WaitFor([&] { return y(first2) != before; });
            moved.push_back(before - y(first2));
        }
        return moved;
    };
    const QPoint at(target->width() / 2, target->height() / 2);
    const auto wheel = steps(
        [&] {
            QWheelEvent e(at, target->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(target, &e);
        },
        int(2 * height / 40));
    const auto arrows = steps([&] { QTest::keyClick(target, Qt::Key_Down); }, 10);
    for (const auto* moved : {&wheel, &arrows}) {
        ASSERT_GT(moved->front(), 10);
        for (double d : *moved) EXPECT_NEAR(d, moved->front(), 1.0);
    }
    EXPECT_LT(y(first2), -height / 4) << "the seam was crossed";
    // The page at the top is the book's page now: it shows and it is kept.
    ASSERT_TRUE(WaitFor([&] { return R().CurrentBook->LastPage == 2; }));
    EXPECT_TRUE(WaitFor([&] { return R().CurrentBook->LastParagraph >= first2; }));
    EXPECT_TRUE(errors.empty());
}

TEST_F(ReaderTest, PagesLoadedAheadAreShownInPlaceEvenWhenTurnsCrowd) {
    RecentBook = prog.AddBook("ahead.txt", ManyParagraphs(900));
    SaveOptions();
    Start();
    ASSERT_TRUE(PageShown());
    BookFile& b = *R().CurrentBook;
    ASSERT_GE(b.GetIntProperty("PagesCount"), 6);
    PageView& view = *ReaderWindow()->WB;
    const auto par = [&](int page) { return QString("par%1").arg(FirstParagraphOf(b, page)); };
    const auto holds = [&](int page) {
        return PageScript(&view, "!!document.getElementById('" + par(page) + "')").toBool();
    };
    const auto on = [&](int page) {
        return R().CurrentBook->LastPage == page && !R().Loading() && PageIsShown() &&
               TopId() == par(page);
    };
    // Page 2 is joined below page 1, and page 3 waits ahead, past the document's end.
    IWebPage* pageOne = view.Front();
    ASSERT_TRUE(WaitFor([&] { return holds(2) && view.Preloaded(HtmlView::AheadPlace::Next); }));
    view.Highlight(par(1).toStdString(), u"Paragraph");
    view.ScrollToBottom();
    ReaderWindow()->PageDown();
    ASSERT_TRUE(WaitFor([&] { return on(3); }));
    EXPECT_NE(view.Front(), pageOne) << "shown from ahead, not loaded";
    EXPECT_EQ(PageScript(&view, "document.querySelectorAll('mark').length").toInt(), 0);

    // Two turns at once: the second comes while the first's page is on its way;
    // each page is shown from its top.
    R().NextPage();
    R().NextPage();
    ASSERT_TRUE(WaitFor([&] { return !R().Loading() && on(R().CurrentBook->LastPage); }));
    EXPECT_GE(R().CurrentBook->LastPage, 5);
    // The CONTINUE at the document's end still speaks to the reader.
    const int32_t was = R().CurrentBook->LastPage;
    Alert("NextPage");
    ASSERT_TRUE(
        WaitFor([&] { return R().CurrentBook->LastPage > was && on(R().CurrentBook->LastPage); }));
    EXPECT_TRUE(errors.empty());
}

TEST_F(ReaderTest, AViewMadeAfterTheFirstPaintShowsWhatWasSentBeforeIt) {
    BookFile b(BooksFolder());
    const int remembered = RecentBookOnPage2("late.txt", 10, b);
    PageView::ViewAfterFirstPaint = true;
    Start();
    PageView::ViewAfterFirstPaint = false;
    EXPECT_EQ(ReaderWindow()->WB->Front(), nullptr) << "the window first";
    ASSERT_TRUE(
        WaitFor([&] { return ReaderWindow()->WB->Front() && !R().Loading() && PageIsShown(); }));
    int cur = -1;
    ASSERT_TRUE(WaitFor([&] { return (cur = CurPar()) > 0; }));
    EXPECT_TRUE(cur == remembered || cur == remembered + 1) << cur << " vs " << remembered;
    // Closed before its view is made, the book keeps its place.
    DestroyForms();
    PageView::ViewAfterFirstPaint = true;
    Start();
    PageView::ViewAfterFirstPaint = false;
    ReaderWindow()->Exit();
    b.LoadFromBookFile();
    EXPECT_EQ(b.GetIntProperty("LastParagraph"), cur);
    EXPECT_TRUE(errors.empty());
}

TEST_F(ReaderTest, GoToPutsTheParagraphsFirstLineWhollyAtTheTop) {
    // Verse: short lines at a margin, stanzas between blank lines.
    std::string text = "            Verses\r\n\r\n";
    for (int i = 1; i <= 900; ++i) {
        text += "      Line " + std::to_string(i) + " of a verse that runs on\r\n";
        if (i % 4 == 0) text += "\r\n";
    }
    RecentBook = prog.AddBook("verse.txt", text);
    SaveOptions();
    Start();
    ASSERT_TRUE(PageShown());
    const auto top = [&](int n) {
        return PageScript(ReaderWindow()->WB,
                          QString("(function(){var p=document.getElementById('par%1');"
                                  "return p?p.getBoundingClientRect().top:-999;})()")
                              .arg(n))
            .toDouble();
    };
    for (int n : {57, 640, 133}) {  // on the page shown, on another, back
        const uint64_t doc = ReaderWindow()->WB->Document();
        const bool turn = R().CurrentBook->PageOfParagraph(n) != R().CurrentBook->LastPage;
        R().ShowParagraph(n);
        if (turn) {
            ASSERT_TRUE(
                WaitFor([&] { return ReaderWindow()->WB->Document() > doc && PageIsShown(); }));
        }
        double at = -999;
        ASSERT_TRUE(WaitFor([&] { return std::abs(at = top(n)) < 1.0; })) << n << ": " << at;
    }
}

TEST_F(ReaderTest, FirstRenderFailureIsShownOnceAndStartUpGoesOn) {
    std::string name = prog.AddBook("b.txt", ManyParagraphs(10));
    RecentBook = name;
    ScrollSpeed = 35;
    SaveOptions();
    ::unlink((prog / "Templates/vpage.tml").c_str());
    Start();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Cannot open file " + (prog / "Templates/vpage.tml"));
    EXPECT_FALSE(ReaderWindow()->Window<Splash>()->isVisible());
    EXPECT_EQ(ReaderWindow()->scrollTimer->Interval(), 35);
}

TEST_F(ReaderTest, AFailureWhileTheViewsAnswerIsHandledIsShownAndTheReaderGoesOn) {
    // Pg Dn at a page's end turns the page inside the view's answer; a page that
    // cannot be built there is one error box, and the reader stays on its page.
    std::string name = prog.AddBook("m.txt", ManyParagraphs(400));
    RecentBook = name;
    SaveOptions();
    Start();
    ASSERT_TRUE(PageShown());
    // Page 2 is joined below page 1 first: a join still on its way would grow the
    // document under the key, which would then only scroll. Pages joined later
    // cannot be built either.
    bool settled = false;
    R().WhenSettled([&] { settled = true; });
    ASSERT_TRUE(WaitFor([&] { return settled; }));
    ::unlink((prog / "Templates/vpage.tml").c_str());
    ReaderWindow()->WB->ScrollToBottom();
    ASSERT_TRUE(WaitFor([&] { return Offset() > 0; }));
    ReaderWindow()->PageDown();
    ASSERT_TRUE(WaitFor([&] { return !errors.empty(); }));
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Cannot open file " + (prog / "Templates/vpage.tml"));
    // The top of the view is in page 1 or 2 (it follows into the joined page).
    const int32_t stays = R().CurrentBook->LastPage;
    EXPECT_LE(stays, 2);
    ReaderWindow()->Exit();
    BookFile saved(BooksFolder());
    saved.FileName = name;
    saved.LoadFromBookFile();
    EXPECT_EQ(saved.GetIntProperty("LastPage"), stays);
}

TEST_F(ReaderTest, PageDownAndUpLeaveNoLineCutAtTheTop) {
    RecentBook = prog.AddBook("lines.txt", ManyParagraphs(300));
    // Lines that a screen holds no whole number of.
    SetValue(OptionList, "line_spacing", "1.6");
    SaveOptions();
    Start();
    ASSERT_TRUE(PageShown());
    // The letter at the top edge's middle, cut by the edge.
    const QString cut =
        "(function(){var c=document.caretRangeFromPoint(window.innerWidth/2,1);"
        "if(!c||c.startContainer.nodeType!=3||c.startOffset>=c.startContainer.length)"
        "return false;var k=document.createRange();k.setStart(c.startContainer,c.startOffset);"
        "k.setEnd(c.startContainer,c.startOffset+1);var r=k.getBoundingClientRect();"
        "return r.top<-0.5&&r.bottom>0;})()";
    for (int i = 0; i < 8; ++i) {
        const double before = Offset();
        if (i < 6)
            ReaderWindow()->PageDown();
        else
            ReaderWindow()->PageUp();
        ASSERT_TRUE(WaitFor([&] { return Offset() != before; })) << i;
        EXPECT_FALSE(PageScript(ReaderWindow()->WB, cut).toBool()) << "step " << i;
    }
}

TEST_F(ReaderTest, AClickAtThePagesEdgeTurnsAScreenUnlessTurnedOff) {
    RecentBook = prog.AddBook("zones.txt", ManyParagraphs(300));
    SaveOptions();
    Start();
    ASSERT_TRUE(PageShown());
    QWidget* page = ReaderWindow()->WB->Front()->Widget();
    QWidget* target = page->focusProxy() ? page->focusProxy() : page;
    // How far a click moves the page (waiting a while for one that should not).
    auto click = [&](double across, int waitMs = 5000) {
        const double before = Offset();
        QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier,
                          QPoint(int(target->width() * across), target->height() / 2));
        WaitFor([&] { return Offset() != before; }, waitMs);
        return Offset() - before;
    };
    EXPECT_GT(click(0.9), 100) << "the right fifth: a screen on";
    EXPECT_LT(click(0.1), -100) << "the left fifth: a screen back";
    EXPECT_EQ(click(0.5, 500), 0) << "the middle: nothing";
    SetValue(OptionList, "click_zones", "0");
    R().SetPageOptions(OptionList);
    R().RenderInPlace();
    ASSERT_TRUE(PageShown());
    EXPECT_EQ(click(0.9, 500), 0) << "turned off";
}

TEST_F(ReaderTest, F11LeavesThePageAloneAndTheBarsComeAtTheEdges) {
    RecentBook = prog.AddBook("bare.txt", ManyParagraphs(100));
    SaveOptions();
    Start();
    ASSERT_TRUE(PageShown());
    QWidget* tools = ReaderWindow()->findChild<QToolBar*>()->parentWidget();
    QWidget* status = ReaderWindow()->statusBar();
    QTest::keyClick(ReaderWindow(), Qt::Key_F11);
    ASSERT_TRUE(ReaderWindow()->Bare());
    EXPECT_FALSE(tools->isVisible());
    EXPECT_FALSE(status->isVisible());
    auto moveTo = [&](int y) {
        const QPoint at = ReaderWindow()->geometry().topLeft() + QPoint(200, y);
        QMouseEvent move(QEvent::MouseMove, QPointF(200, y), QPointF(at), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(ReaderWindow(), &move);
    };
    // (visible: the tool bar, the status bar) as the mouse goes down the screen.
    std::vector<std::pair<bool, bool>> seen;
    for (int y : {1, 20, 300, ReaderWindow()->height() - 2, 300}) {
        moveTo(y);
        seen.emplace_back(tools->isVisible(), status->isVisible());
    }
    EXPECT_EQ(seen,
              (std::vector<std::pair<bool, bool>>{
                  {true, false}, {true, false}, {false, false}, {false, true}, {false, false}}));
    QTest::keyClick(ReaderWindow(), Qt::Key_Escape);
    EXPECT_FALSE(ReaderWindow()->Bare());
    EXPECT_TRUE(tools->isVisible());
    EXPECT_TRUE(status->isVisible());
}

TEST_F(ReaderTest, AutoScrollMovesTheViewOnePixelPerTick) {
    std::string name = prog.AddBook("s.txt", ManyParagraphs(300));
    RecentBook = name;
    ScrollSpeed = 10;
    SaveOptions();
    Start();
    ASSERT_TRUE(PageShown());
    const double start = Offset();
    ReaderWindow()->autoScrollAction->setChecked(true);
    ReaderWindow()->ToggleAutoScroll();
    EXPECT_TRUE(ReaderWindow()->scrollTimer->Enabled());
    ASSERT_TRUE(WaitFor([&] { return Offset() >= start + 20; }, 5000));
    // Esc stops it, and only that: the window stays as it was.
    const bool windowed = ReaderWindow()->windowedAction->isChecked();
    QTest::keyClick(ReaderWindow(), Qt::Key_Escape);
    EXPECT_FALSE(ReaderWindow()->scrollTimer->Enabled());
    EXPECT_FALSE(ReaderWindow()->autoScrollAction->isChecked());
    EXPECT_EQ(ReaderWindow()->windowedAction->isChecked(), windowed);
}

TEST_F(ReaderTest, ADamagedRecentBookIsReportedAndNeverWritten) {
    const std::string name = prog.AddBook("good.txt", ManyParagraphs(30));
    const std::string whole = ReadFile(prog / ("MyBooks/" + name));
    const std::string cut = whole.substr(0, whole.size() - 1);
    WriteFile(prog / "MyBooks/cut.tvst", cut);
    RecentBook = "cut.tvst";
    SaveOptions();
    Start();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("cut.tvst is damaged"), std::string::npos) << errors[0];
    EXPECT_FALSE(R().CurrentBook);
    ReaderWindow()->Exit();
    EXPECT_EQ(ReadFile(prog / "MyBooks/cut.tvst"), cut) << "the file that did not load is kept";
}

TEST_F(ReaderTest, SigtermWithADialogOpenClosesItAndSaves) {
    const std::string name = prog.AddBookAt("s.txt", ManyParagraphs(100), 1, 42);
    RecentBook = name;
    SaveOptions();
    Start();
    ASSERT_TRUE(PageShown());
    InstallQuitSignals(QuitReader);
    R().CurrentBook->LastParagraph = 77;
    WhenShown(ReaderWindow()->Window<BooksDialog>(), [] { ::raise(SIGTERM); });
    ReaderWindow()->ShowBooks();  // returns once the signal answered the dialog
    EXPECT_FALSE(ReaderWindow()->Window<BooksDialog>()->isVisible());
    EXPECT_TRUE(ReaderWindow()->Closed());
    BookFile saved(BooksFolder());
    saved.FileName = name;
    saved.LoadFromBookFile();
    EXPECT_EQ(saved.LastParagraph, 77);
    // The signal ended the application's loop, as it ends the program's: every
    // loop after it would end at once. The application's loop is run and left
    // once more, which clears that, for the tests after this one.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

TEST_F(ReaderTest, ABookRemovedWhileItIsReadIsNotWrittenBackAtExit) {
    const std::string name = prog.AddBookAt("s.txt", ManyParagraphs(100), 1, 42);
    RecentBook = name;
    SaveOptions();
    Start();
    ASSERT_TRUE(PageShown());
    ASSERT_EQ(::unlink((prog / ("MyBooks/" + name)).c_str()), 0);
    ReaderWindow()->Exit();
    EXPECT_FALSE(PathTaken(prog / ("MyBooks/" + name)));
}

TEST_F(ReaderTest, ABookCarriesNoScriptAndItsPageReadsNoFile) {
    // A crafted book: a charset that closes its attribute, markup in the text.
    const std::string mark = "document.documentElement.setAttribute('data-owned','%')";
    auto owned = [&](const char* by) {
        std::string m = mark;
        return m.replace(m.find('%'), 1, by);
    };
    BookFile evil(BooksFolder());
    evil.FileName = "evil.tvst";
    evil.Title = "<img src=x>evil";
    evil.SetProperty("Charset", "UTF-8\"><script>" + owned("charset") + "</script>");
    evil.SetProperty("PagesCount", "1");
    evil.EditBody() = {
        "<Page1><p id=\"par1\" class=\"pnorm\">text<script>" + owned("body") + "</script>",
        "<img src=\"file:///etc/hostname\" onerror=\"" + owned("img") + "\">"};
    evil.SaveToBookFile();
    RecentBook = "evil.tvst";
    SaveOptions();
    Start();
    ASSERT_TRUE(PageShown());
    const QString html =
        PageScript(ReaderWindow()->WB, "document.documentElement.outerHTML").toString();
    EXPECT_TRUE(
        PageScript(ReaderWindow()->WB, "document.documentElement.getAttribute('data-owned')")
            .isNull())
        << html.toStdString();
    EXPECT_EQ(PageScript(ReaderWindow()->WB, "document.characterSet").toString(), "windows-1252");
    EXPECT_EQ(
        PageScript(ReaderWindow()->WB, "document.getElementsByTagName('script').length").toInt(),
        0);
    // Even a script of the page's own could not read a local file.
    FrontView(ReaderWindow()->WB)
        ->page()
        ->runJavaScript(
            "fetch('file:///etc/hostname').then(r => r.text())"
            ".then(t => document.body.setAttribute('data-read', 'yes:' + t))"
            ".catch(e => document.body.setAttribute('data-read', 'no'));"
            "var x = new XMLHttpRequest(); try { x.open('GET', 'file:///etc/hostname', false);"
            "x.send(); document.body.setAttribute('data-xhr', 'yes:' + x.responseText); }"
            "catch (e) { document.body.setAttribute('data-xhr', 'no'); }");
    QString read, xhr;
    ASSERT_TRUE(WaitFor([&] {
        read = PageScript(ReaderWindow()->WB, "document.body.getAttribute('data-read')").toString();
        xhr = PageScript(ReaderWindow()->WB, "document.body.getAttribute('data-xhr')").toString();
        return !read.isEmpty() && !xhr.isEmpty();
    }));
    EXPECT_EQ(read, "no");
    EXPECT_EQ(xhr, "no");
}

TEST_F(ReaderTest, AFoundTextIsShownMarked) {
    std::string text = ManyParagraphs(300);
    const size_t at = text.find("Paragraph 250 of the test book");
    text.replace(at, 9, "A Needle In\r\nthe HAYSTACK, then a needle in the haystack");
    const std::string name = prog.AddBook("find.txt", text);
    RecentBook = name;
    SaveOptions();
    Start();
    ASSERT_TRUE(PageShown());
    ASSERT_TRUE(R().Find("needle in the haystack"));
    EXPECT_GT(R().CurrentBook->LastPage, 1);
    ASSERT_TRUE(PageShown());
    QString marked;
    ASSERT_TRUE(WaitFor([&] {
        marked = PageScript(ReaderWindow()->WB,
                            "(document.querySelector('mark') || {}).textContent || ''")
                     .toString();
        return !marked.isEmpty();
    })) << "no mark on the page";
    // The mark holds the words whole, a soft hyphen inside them or not.
    EXPECT_EQ(marked.remove(QChar(0xAD)).simplified().toStdString(), "Needle In the HAYSTACK");
    // The mark comes to hold these words.
    const auto marks = [&](const char* words) {
        return WaitFor([&] {
            marked = PageScript(ReaderWindow()->WB,
                                "(document.querySelector('mark') || {}).textContent || ''")
                         .toString();
            return marked.remove(QChar(0xAD)).simplified() == words;
        });
    };
    // F3: the paragraph's second hit is marked in its turn.
    ASSERT_TRUE(R().FindAgain(true));
    EXPECT_TRUE(marks("needle in the haystack")) << marked.toStdString();
    // Every place, listed with the words around it: the paragraph's two hits;
    // the first, chosen, is shown marked again.
    HitListDialog* list = ReaderWindow()->Window<HitListDialog>();
    list->List(R(), "needle in the haystack");
    ASSERT_TRUE(WaitFor([&] { return !list->Searching(); }));
    ASSERT_EQ(list->Tree->topLevelItemCount(), 2);
    EXPECT_TRUE(list->Tree->topLevelItem(0)->text(1).contains("A Needle In the HAYSTACK, then"));
    list->Tree->setCurrentItem(list->Tree->topLevelItem(0));
    emit list->Tree->itemActivated(list->Tree->currentItem(), 0);
    ASSERT_NE(list->Chosen(), nullptr);
    R().ShowHit(list->Text(), list->Chosen()->Hit, list->Chosen()->Nth);
    EXPECT_TRUE(marks("Needle In the HAYSTACK")) << marked.toStdString();
    EXPECT_FALSE(R().Find("no such words anywhere"));
    EXPECT_EQ(ReaderWindow()->StatusNote->FullText().toStdString(), "Not found");
}

TEST(Splash, PictureIsAJpegOfTheSplashSize) {
    Splash splash(1000);
    QImageReader reader(":/splash.jpg", "jpeg");
    QImage img = reader.read();
    ASSERT_FALSE(img.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(img.size(), QSize(203, 289));
    EXPECT_EQ(reader.format(), "jpeg");
}

TEST(ReaderProgram, EndedBySigtermSavesPositionAndOptions) {
    // The real program, in a program folder of its own.
    ProgramDir prog;
    std::string name = prog.AddBookAt("t.txt", ManyParagraphs(100), 1, 42);
    WriteFile(prog / "config.dat", "[General]\nRecentBook=" + name + "\nScrollSpeed=33\n");
    prog.AddProgram();
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // As a user starts it: as root too, it needs no setting of its own.
        ::unsetenv("QTWEBENGINE_DISABLE_SANDBOX");
        ::execl((prog / "tavisto").c_str(), "tavisto", nullptr);
        ::_exit(127);
    }
    // The page is written once the splash has gone and the book is open.
    bool shown = WaitFor([&] { return FileExists(prog / "Templates/vpage.html"); }, 30000);
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(shown);
    EXPECT_TRUE(WIFEXITED(status)) << "ended by itself after saving";
    IniFile ini(prog / "config.dat");
    EXPECT_EQ(ini.ReadString("General", "ScrollSpeed", ""), "33");
    EXPECT_EQ(ini.ReadString("Style", "norm_size", ""), "28") << "the options were written";
    BookFile after(BooksFolder());
    after.FileName = name;
    after.LoadFromBookFile();
    EXPECT_EQ(after.GetProperty("LastPage"), "1");
}

TEST(ReaderProgram, EndedBySigtermOnAFullDiskItStillEnds) {
    // The book cannot be saved (its file is larger than the disk lets a file
    // grow; the page still can be): the failure is said on standard error and
    // the program ends, the book as it was.
    ProgramDir prog;
    std::string name = prog.AddBookAt("t.txt", ManyParagraphs(3000), 1, 42);
    const std::string before = ReadFile(prog / ("MyBooks/" + name));
    ASSERT_GT(before.size(), 200000u);
    WriteFile(prog / "config.dat", "[General]\nRecentBook=" + name + "\n");
    prog.AddProgram();
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        struct rlimit rl {
            120000, 120000
        };
        ::setrlimit(RLIMIT_FSIZE, &rl);
        ::execl((prog / "tavisto").c_str(), "tavisto", nullptr);
        ::_exit(127);
    }
    bool shown = WaitFor([&] { return FileExists(prog / "Templates/vpage.html"); }, 30000);
    ::kill(pid, SIGTERM);
    int status = 0;
    bool ended = false;
    WaitFor([&] { return ended = ended || ::waitpid(pid, &status, WNOHANG) == pid; }, 20000);
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    ASSERT_TRUE(shown);
    EXPECT_TRUE(ended) << "a failed save kept the program from ending";
    EXPECT_EQ(ReadFile(prog / ("MyBooks/" + name)), before);
}

TEST(ReaderProgram, ASecondReaderOfTheSameLibraryWritesNothing) {
    ProgramDir prog;
    std::string name = prog.AddBook("t.txt", ManyParagraphs(100));
    WriteFile(prog / "config.dat", "[General]\nRecentBook=" + name + "\n");
    prog.AddProgram();
    auto start = [&] {
        pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::execl((prog / "tavisto").c_str(), "tavisto", nullptr);
            ::_exit(127);
        }
        return pid;
    };
    pid_t first = start();
    ASSERT_TRUE(WaitFor([&] { return FileExists(prog / "Templates/vpage.html"); }, 30000));
    const std::string config = ReadFile(prog / "config.dat");
    pid_t second = start();
    int status = -1;
    bool ended = false;  // waitpid reaps once: the answer is kept
    WaitFor([&] { return ended = ended || ::waitpid(second, &status, WNOHANG) == second; }, 20000);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "handed over to the first";
    EXPECT_EQ(ReadFile(prog / "config.dat"), config) << "the second reader wrote nothing";
    EXPECT_EQ(::waitpid(first, &status, WNOHANG), 0) << "the first reader goes on";
    ::kill(first, SIGTERM);
    ::waitpid(first, &status, 0);
}

TEST_F(ReaderTest, HeadingsBreaksAndStanzaGapsShowOnThePage) {
    // A chapter heading, two stanzas with a gap, a scene break, more chapters.
    std::string text =
        "   The first paragraph of the book, long enough to read as prose.\r\n\r\n"
        "CHAPTER I\r\n\r\n";
    for (int stanza = 0; stanza < 2; ++stanza) {
        for (int line = 0; line < 4; ++line) text += "   A line of a stanza\r\n";
        text += "\r\n";
    }
    text += "* * *\r\n   The text goes on after the break.\r\n";
    // (The book's chapters show that it has them.)
    for (const char* chapter : {"II", "III"})
        text += std::string("\r\nCHAPTER ") + chapter + "\r\n\r\n   And goes on.\r\n";
    RecentBook = prog.AddBook("verse.txt", text);
    SaveOptions();
    Start();
    ASSERT_TRUE(PageShown());
    auto style = [&](const QString& selector, const char* property) {
        return PageScript(ReaderWindow()->WB, "getComputedStyle(document.querySelector('" +
                                                  selector + "'))." + property)
            .toString();
    };
    EXPECT_EQ(style("p.ph2", "fontWeight"), "700");
    EXPECT_EQ(style("p.ph2", "textAlign"), "center");
    EXPECT_GT(style("p.ph2", "fontSize").toStdString(), style("p.pnorm", "fontSize").toStdString())
        << "a larger size in pixels, of as many digits";
    EXPECT_EQ(style("p.pbrk", "textAlign"), "center");
    // The gap between the stanzas is about a line high; a second empty line adds nothing.
    const double gap =
        PageScript(ReaderWindow()->WB, "document.querySelectorAll('p.pgap')[1].offsetHeight")
            .toDouble();
    EXPECT_GT(gap, 8)
        << PageScript(ReaderWindow()->WB, "document.body.innerHTML").toString().toStdString();
    EXPECT_TRUE(errors.empty()) << errors.front();
}

namespace {
// In a column of 500 pixels, each paragraph's lines as the view sets them: the
// widest space between two words of a justified line (its last line aside), and
// how many lines end at a soft hyphen: "widest hyphenated". Each word is put in
// a span of its own first (the line breaks stay), as the rectangles of ranges
// inside text with soft hyphens are not reliable.
const char* const LineSetting =
    "(function(){document.querySelector('.page').style.maxWidth='500px';"
    "var widest=0,hyph=0,ps=document.querySelectorAll('p.pnorm');"
    "for(var x=0;x<ps.length;x++){var p=ps[x],words=p.textContent.split(/\\s+/),spans=[];"
    "p.textContent='';for(var i=0;i<words.length;i++){if(!words[i].length)continue;"
    "var s=document.createElement('span');s.textContent=words[i];p.appendChild(s);"
    "p.appendChild(document.createTextNode(' '));spans.push(s);}"
    "var end=0;for(var i=0;i<spans.length;i++){var rs=spans[i].getClientRects();"
    "end=Math.max(end,Math.round(rs[rs.length-1].top));"
    "if(rs.length>1&&spans[i].textContent.indexOf('\\u00ad')>=0)hyph++;}"
    "for(var i=1;i<spans.length;i++){var a=spans[i-1].getClientRects(),"
    "b=spans[i].getClientRects()[0];a=a[a.length-1];var t=Math.round(b.top);"
    "if(Math.round(a.top)==t&&t!=end)widest=Math.max(widest,b.left-a.right);}}"
    "return Math.round(widest*10)/10+' '+hyph;})()";

const char* const RussianParagraph =
    "  Предварительные соображения относительно происхождения носа, исчезнувшего "
    "совершенно неожиданно, представлялись коллежскому асессору неудовлетворительными, "
    "поскольку никакого правдоподобного объяснения случившемуся обстоятельству "
    "невозможно было придумать, несмотря на многочисленные размышления и "
    "продолжительные расспросы всевозможных знакомых, родственников и сослуживцев.\r\n";
const char* const EnglishParagraph =
    "  Notwithstanding the extraordinarily unaccommodating circumstances, the "
    "representatives of the neighbourhood administration characteristically "
    "demonstrated uncompromising determination, systematically investigating "
    "unsubstantiated recollections and contradictory testimonies concerning the "
    "disappearance of the unfortunate collegiate assessor's distinguished nose.\r\n";
}  // namespace

TEST_F(ReaderTest, WordsBreakAtLineEndsByTheBooksLanguageUnlessHyphenationIsOff) {
    if (!Hyphenator::ForLanguage("ru") || !Hyphenator::ForLanguage("en"))
        GTEST_SKIP() << "no hyphenation patterns in " << Hyphenator::Folder;
    const std::string ru = prog.AddBook("ru.txt", std::string(RussianParagraph) + RussianParagraph);
    const std::string en = prog.AddBook("en.txt", std::string(EnglishParagraph) + EnglishParagraph);
    std::map<std::string, std::pair<double, int>> seen;
    for (const std::string hyphenate : {"0", "1"}) {
        for (const std::string& book : {ru, en}) {
            RecentBook = book;
            SaveOptions();
            Start();
            SetValue(OptionList, "hyphenate", hyphenate);
            R().SetPageOptions(OptionList);
            R().RenderInPlace();
            ASSERT_TRUE(PageShown());
            const QStringList got =
                PageScript(ReaderWindow()->WB, LineSetting).toString().split(' ');
            ASSERT_EQ(got.size(), 2);
            seen[book + hyphenate] = {got[0].toDouble(), got[1].toInt()};
            EXPECT_EQ(PageScript(ReaderWindow()->WB, "document.documentElement.lang").toString(),
                      book == ru ? "ru" : "en");
            DestroyForms();
        }
    }
    for (const std::string& book : {ru, en}) {
        const auto [offGap, offBreaks] = seen[book + "0"];
        const auto [onGap, onBreaks] = seen[book + "1"];
        std::printf("%s: widest gap %.1f px unhyphenated, %.1f px hyphenated (%d breaks)\n",
                    book.c_str(), offGap, onGap, onBreaks);
        EXPECT_EQ(offBreaks, 0) << book;
        EXPECT_GE(onBreaks, 1) << book;
        EXPECT_LT(onGap, offGap) << book;
    }
}

namespace {
// speech-dispatcher of its own for one test: its socket in a private folder, its
// sound sent nowhere (ALSA's null device), stopped with everything it started.
struct PrivateSpeechDispatcher {
    TempDir dir;
    pid_t pid = -1;
    std::string socket, whyNot;
    PrivateSpeechDispatcher() {
        const std::string daemon = "/usr/bin/speech-dispatcher";
        const std::string module = "/usr/lib/speech-dispatcher-modules/sd_espeak-ng";
        if (!FileExists(daemon) || !FileExists(module)) {
            whyNot = "speech-dispatcher or its espeak-ng module is not installed";
            return;
        }
        socket = dir / "speechd.sock";
        ::mkdir((dir / "conf").c_str(), 0700);
        ::mkdir((dir / "conf/modules").c_str(), 0700);
        WriteFile(dir / "conf/modules/espeak-ng.conf", "");
        WriteFile(dir / "conf/speechd.conf",
                  "CommunicationMethod \"unix_socket\"\nSocketPath \"" + socket +
                      "\"\nAudioOutputMethod \"alsa\"\nAddModule \"espeak-ng\" \"sd_espeak-ng\" "
                      "\"espeak-ng.conf\"\nDefaultModule espeak-ng\nDefaultLanguage \"ru\"\n");
        WriteFile(dir / "asound.conf",
                  "pcm.!default { type null }\nctl.!default { type hw card 0 }\n");
        pid = ::fork();
        if (pid == 0) {
            ::setpgid(0, 0);
            ::setenv("ALSA_CONFIG_PATH", (dir / "asound.conf").c_str(), 1);
            ::setenv("HOME", dir.Path().c_str(), 1);
            ::setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execl(daemon.c_str(), daemon.c_str(), "-s", "-t", "0", "-l", "1", "-C",
                    (dir / "conf").c_str(), "-L", dir.Path().c_str(), nullptr);
            ::_exit(127);
        }
        if (!WaitFor([&] { return ::access(socket.c_str(), F_OK) == 0; }, 15000))
            whyNot = "speech-dispatcher did not start";
        else
            ::setenv("SPEECHD_ADDRESS", ("unix_socket:" + socket).c_str(), 1);
    }
    ~PrivateSpeechDispatcher() {
        ::unsetenv("SPEECHD_ADDRESS");
        if (pid > 0) {
            ::kill(-pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    }
};
}  // namespace

TEST_F(ReaderTest, ARussianBookIsReadAloudByTheRealEngineAndTheSentenceMarked) {
    PrivateSpeechDispatcher daemon;
    if (!daemon.whyNot.empty()) GTEST_SKIP() << daemon.whyNot;
    RecentBook = prog.AddBook("moroz.txt",
                              "  Мороз и солнце. День чудесный!\r\n"
                              "  Ещё ты дремлешь, друг прелестный.\r\n");
    SaveOptions();
    Start();
    ASSERT_TRUE(PageShown());
    ReaderWindow()->readAloudAction->setChecked(true);
    ReaderWindow()->ToggleReadAloud();
    if (!ReaderWindow()->SpeechEngine()->Available())
        GTEST_SKIP() << "the real engine cannot run here: "
                     << ReaderWindow()->SpeechEngine()->WhyNot().toStdString();
    ASSERT_TRUE(ReaderWindow()->Aloud()->Active()) << ::testing::PrintToString(errors);
    const auto marked = [] {
        return PageScript(ReaderWindow()->WB,
                          "(document.querySelector('mark') || {}).textContent || ''")
            .toString()
            .remove(QChar(0xAD))
            .toStdString();
    };
    EXPECT_TRUE(WaitFor([&] { return marked() == "Мороз и солнце."; })) << marked();
    // Spoken to its end, the engine back from speaking: the next sentence comes.
    EXPECT_TRUE(
        WaitFor([&] { return ReaderWindow()->Aloud()->Sentence() == "День чудесный!"; }, 30000))
        << ReaderWindow()->Aloud()->Sentence();
    EXPECT_TRUE(WaitFor([&] { return marked() == "День чудесный!"; })) << marked();
    ReaderWindow()->readAloudAction->setChecked(false);
    ReaderWindow()->ToggleReadAloud();
    EXPECT_FALSE(ReaderWindow()->Aloud()->Active());
}

TEST_F(ReaderTest, ASpeechDaemonThatNeverAnswersHoldsNeitherTheWindowNorReadAloud) {
    // A socket that takes the connection and never says a word.
    TempDir dir;
    const std::string path = dir / "speechd.sock";
    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(server, 4), 0);
    ::setenv("SPEECHD_ADDRESS", ("unix_socket:" + path).c_str(), 1);
    RecentBook = prog.AddBook("quiet.txt", ManyParagraphs(20));
    SaveOptions();
    Start();
    ASSERT_TRUE(PageShown());
    ReaderWindow()->readAloudAction->setChecked(true);
    ReaderWindow()->ToggleReadAloud();
    // The window goes on (this wait runs its events), and reading aloud ends
    // with the reason once the engine has not begun in time.
    const double before = Offset();
    ReaderWindow()->PageDown();
    EXPECT_TRUE(WaitFor([&] { return Offset() != before; }));
    EXPECT_TRUE(WaitFor([&] { return !errors.empty(); }, 15000));
    EXPECT_FALSE(ReaderWindow()->Aloud()->Active());
    EXPECT_FALSE(ReaderWindow()->readAloudAction->isChecked());
    ::unsetenv("SPEECHD_ADDRESS");
    DestroyForms();
    ::close(server);  // the engine's thread, still waiting, is let go
}
