// The reader with a real WebEngine view, headless: time from the end of the
// splash to the first page loaded for a 100 MB book, and the auto-scroll rate
// actually reached at 20, 200 and 2 ms. Prints figures.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "GuiUtil.h"
#include "TextGen.h"
#include "core/unitTextConversions.h"
#include "options/unitOptStorage.h"
#include "ui/unitApp.h"
#include "ui/unitMain.h"
#include "ui/unitStartup.h"
#include "view/ThdTimer.h"
#include "view/WebEngineView.h"

namespace {
void Pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_reader DATA_FOLDER (the repo's data/)\n");
        return 2;
    }
    std::signal(SIGXFSZ, SIG_IGN);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    std::string work = "/tmp/tavisto-reader-XXXXXX";
    if (!::mkdtemp(work.data())) return 1;
    ProgramFolder = work + "/";
    for (const char* d : {"MyBooks", "Templates", "TEMP"})
        ::mkdir((ProgramFolder + d).c_str(), 0755);
    std::system(
        ("cp '" + std::string(argv[1]) + "/Templates/'* '" + TemplatesFolder() + "'").c_str());
    {
        std::string src = ProgramFolder + "big.txt";
        std::string text = GenerateText(100ull << 20, false, 5);
        FILE* f = std::fopen(src.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        TBookInfo b(BooksFolder());
        ConvertTextFile(src, b);
        b.LastPage = b.GetIntProperty("PagesCount") / 2;
        b.SavePosition();
        ::unlink(src.c_str());
        RecentBook = b.FileName;
    }
    LoadOptions();
    RecentBook = "big.tvst";
    PrepareRendering();
    TApplication app(argc, argv);
    ErrorBoxHook = [](const std::string& m) { std::fprintf(stderr, "error: %s\n", m.c_str()); };
    MessageBoxHook = ErrorBoxHook;
    CreateForms(50);
    frmMain->showNormal();
    frmMain->resize(1200, 800);
    Pause(2000);  // the splash's two seconds
    TReader& r = frmMain->Reader();

    // From the end of the splash's wait: LoadRecentBook to the page complete.
    QElapsedTimer clock;
    clock.start();
    frmMain->LoadRecentBook();
    const qint64 rendered = clock.elapsed();
    bool ok = WaitFor(
        [&] {
            return r.CurDocument && r.CurDocument == frmMain->WB->Document() && !r.RestorePosition;
        },
        30000);
    std::printf("100 MB book: LoadRecentBook %lld ms, page complete after %lld ms%s\n",
                (long long)rendered, (long long)clock.elapsed(), ok ? "" : " (timed out)");
    std::fflush(stdout);
    {
        // A page turn in the open book, for comparison.
        const uint64_t doc = frmMain->WB->Document();
        QElapsedTimer turn;
        turn.start();
        r.NextVPage();
        bool done = WaitFor([&] { return frmMain->WB->Document() > doc; }, 30000);
        std::printf("next page: page complete after %lld ms%s\n", (long long)turn.elapsed(),
                    done ? "" : " (timed out)");
    }
    frmMain->WB->ScrollBy(0, -100000);
    (void)WaitFor([&] { return PageOffset(frmMain->WB) == 0; }, 5000);

    std::vector<qint64> tickAt;
    QElapsedTimer tickClock;
    tickClock.start();
    double handlerMs = 0;
    auto inner = frmMain->tmScroll->OnTimer;
    frmMain->tmScroll->OnTimer = [&](TThreadedTimer* t) {
        qint64 a = tickClock.nsecsElapsed();
        tickAt.push_back(a);
        inner(t);
        handlerMs += (tickClock.nsecsElapsed() - a) / 1e6;
    };
    for (int interval : {20, 200, 2}) {
        tickAt.clear();
        handlerMs = 0;
        frmMain->tmScroll->SetInterval(uint16_t(interval));
        const double start = PageOffset(frmMain->WB);
        QElapsedTimer t;
        frmMain->btAutoScroll->setChecked(true);
        frmMain->btAutoScrollClick();
        t.start();
        const int runMs = interval == 200 ? 10000 : 4000;
        Pause(runMs);
        const double moved = PageOffset(frmMain->WB) - start;
        const double secs = t.elapsed() / 1000.0;
        frmMain->btAutoScroll->setChecked(false);
        frmMain->btAutoScrollClick();
        const double expected = secs * 1000.0 / interval;
        std::printf(
            "auto-scroll at %3d ms: %.0f px in %.2f s = %.1f px/s, %.1f%% of one pixel per "
            "interval\n",
            interval, moved, secs, moved / secs, 100.0 * moved / expected);
        std::printf("   ticks %zu, handler total %.1f ms\n", tickAt.size(), handlerMs);
        std::fflush(stdout);
        frmMain->WB->ScrollBy(0, -100000);
        (void)WaitFor([&] { return PageOffset(frmMain->WB) == 0; }, 5000);
    }
    frmMain->tmProgress->SetEnabled(false);
    DestroyForms();
    std::system(("rm -rf '" + work + "'").c_str());
    return 0;
}
