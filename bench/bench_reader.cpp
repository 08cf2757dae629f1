// The reader with a real WebEngine view: opening a 1 MB and a 500 MB book (to
// the first page shown), the main process's memory with each open, page turns
// to the page shown, and the auto-scroll rate actually reached at 2, 5, 20 and
// 200 ms with the CPU it costs; the floor for that CPU, a bare view of the same
// page scrolled by its own script (bench_bare_web). Under xvfb-run it draws
// into a real X window; without a display it runs headless. Prints medians and
// ranges.
//   xvfb-run -a bench/bench_reader DATA_FOLDER
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "GuiUtil.h"
#include "TextGen.h"
#include "base/Files.h"
#include "convert/Converter.h"
#include "options/Options.h"
#include "ui/Application.h"
#include "ui/MainWindow.h"
#include "ui/Startup.h"
#include "view/PageView.h"
#include "view/QtSpeech.h"
#include "view/ThreadedTimer.h"

namespace {

void Pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double ResidentMB() {
    std::ifstream f("/proc/self/statm");
    long pages = 0, resident = 0;
    f >> pages >> resident;
    return double(resident) * double(::sysconf(_SC_PAGESIZE)) / 1048576.0;
}

// CPU seconds used so far by a process (this one unless given) and every
// process it started (the view's renderer among them).
double CpuSeconds(bool selfOnly = false, int self = ::getpid()) {
    std::map<int, int> parent;
    std::map<int, double> cpu;
    const double tick = double(::sysconf(_SC_CLK_TCK));
    if (DIR* d = ::opendir("/proc")) {
        while (dirent* e = ::readdir(d)) {
            int pid = std::atoi(e->d_name);
            if (pid <= 0) continue;
            std::ifstream f(std::string("/proc/") + e->d_name + "/stat");
            std::string line;
            std::getline(f, line);
            size_t close = line.rfind(')');
            if (close == std::string::npos) continue;
            std::istringstream rest(line.substr(close + 2));
            std::string state;
            long ppid = 0, ul[11];
            rest >> state >> ppid;
            for (long& v : ul) rest >> v;  // pgrp ... cstime
            parent[pid] = int(ppid);
            cpu[pid] = double(ul[9] + ul[10]) / tick;  // utime, stime
        }
        ::closedir(d);
    }
    if (selfOnly) return cpu[self];
    double total = 0;
    for (const auto& [pid, c] : cpu) {
        for (int p = pid; p > 1; p = parent.count(p) ? parent[p] : 0)
            if (p == self) {
                total += c;
                break;
            }
    }
    return total;
}

std::string MakeBook(uint64_t mb) {
    const std::string src = ProgramFolder + "book" + std::to_string(mb) + ".txt";
    std::string text = GenerateText(mb << 20, false, 5);
    FILE* f = std::fopen(src.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    BookFile b = ConvertToBook(src, BooksFolder());
    b.LastPage = b.GetIntProperty("PagesCount") / 2;
    b.SaveAsNewBook("book" + std::to_string(mb));
    ::unlink(src.c_str());
    // Open at the middle page, the position kept in the book.
    BookFile at(BooksFolder());
    at.FileName = b.FileName;
    at.LoadFromBookFile();
    at.LastPage = at.GetIntProperty("PagesCount") / 2;
    at.LastParagraph = at.FirstParagraphOfPage(at.LastPage);
    at.SavePosition();
    return b.FileName;
}

bool Shown(ReadingSession& r) {
    return r.CurDocument && r.CurDocument == ReaderWindow()->WB->Document() && !r.RestorePosition;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_reader DATA_FOLDER (the repo's data/)\n");
        return 2;
    }
    std::signal(SIGXFSZ, SIG_IGN);
    const bool x = std::getenv("DISPLAY") != nullptr;
    if (!x) ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    std::string work = "/tmp/tavisto-reader-XXXXXX";
    if (!::mkdtemp(work.data())) return 1;
    ProgramFolder = work + "/";
    for (const char* d : {"MyBooks", "Templates", "TEMP"})
        ::mkdir((ProgramFolder + d).c_str(), 0755);
    std::system(
        ("cp '" + std::string(argv[1]) + "/Templates/'* '" + TemplatesFolder() + "'").c_str());
    const std::string small = MakeBook(1), big = MakeBook(500);
    LoadOptions();
    RecentBook = small;
    PrepareRendering();
    Application app(argc, argv);
    ErrorBoxHook = [](const std::string& m) { std::fprintf(stderr, "error: %s\n", m.c_str()); };
    MessageBoxHook = ErrorBoxHook;
    CreateForms(50);
    MainWindow::StartSpeechEarly = false;  // timed below on its own
    ReaderWindow()->showNormal();
    ReaderWindow()->resize(1200, 800);
    Pause(2000);  // the splash's wait, and the view's start
    ReadingSession& r = ReaderWindow()->Reader();
    std::printf("view drawn %s\n", x ? "into an X window (xvfb)" : "headless (offscreen)");

    // Opening: from LoadRecentBook (after the splash) to the first page shown.
    ReaderWindow()->LoadRecentBook();
    WaitFor([&] { return Shown(r); }, 30000);
    for (const std::string& name : {small, big}) {
        std::vector<double> opens, memory, turns;
        for (int run = 0; run < 5; ++run) {
            r.CloseBook();
            Pause(300);
            const double before = ResidentMB();
            RecentBook = name;
            QElapsedTimer clock;
            clock.start();
            r.LoadRecentBook(
                [](const std::string& m) { std::fprintf(stderr, "error: %s\n", m.c_str()); });
            WaitFor([&] { return Shown(r); }, 30000);
            opens.push_back(double(clock.nsecsElapsed()) / 1e6);
            Pause(200);
            memory.push_back(ResidentMB());
            (void)before;
        }
        // Page turns, to the page shown.
        const int32_t pages = r.CurrentBook->GetIntProperty("PagesCount");
        for (int i = 0; i < 30; ++i) {
            QElapsedTimer clock;
            clock.start();
            const uint64_t doc = ReaderWindow()->WB->Document();
            r.ShowParagraph(r.CurrentBook->FirstParagraphOfPage(1 + (i * 7919) % pages));
            WaitFor([&] { return ReaderWindow()->WB->Document() > doc && Shown(r); }, 30000);
            turns.push_back(double(clock.nsecsElapsed()) / 1e6);
        }
        std::sort(turns.begin(), turns.end());
        std::printf(
            "%s (%d pages): open to first page shown %s | main process %s resident | page turn to "
            "shown: median %.1f ms, p95 %.1f ms\n",
            name.c_str(), pages, Show(SpreadOf(opens), "ms").c_str(),
            Show(SpreadOf(memory), "MB").c_str(), turns[turns.size() / 2],
            turns[turns.size() * 95 / 100]);
        std::fflush(stdout);
    }

    // The speech engine as a page's showing starts it: what the window's
    // thread spends on it, and when its voices are listed (the first Read
    // aloud waits for that no more).
    {
        QElapsedTimer clock;
        clock.start();
        QtSpeech speech;
        const double made = double(clock.nsecsElapsed()) / 1e6;
        const int voices = int(speech.Voices("en").size());
        std::printf(
            "speech engine: %.2f ms on the window's thread; started, %d English voices listed, "
            "after %.0f ms on its own thread\n",
            made, voices, double(clock.nsecsElapsed()) / 1e6);
        std::fflush(stdout);
    }

    // Auto-scroll on the big book's page, from its top.
    r.ShowParagraph(r.CurrentBook->FirstParagraphOfPage(2));
    WaitFor([&] { return Shown(r); }, 30000);
    for (int interval : {2, 5, 20, 200}) {
        std::vector<double> rates, cpu, main;
        for (int run = 0; run < 3; ++run) {
            PageScript(ReaderWindow()->WB, "window.scrollTo(0, 0)");
            ReaderWindow()->scrollTimer->SetInterval(uint16_t(interval));
            const double start = PageOffset(ReaderWindow()->WB);
            const int runMs = interval == 200 ? 8000 : 3000;
            const double cpu0 = CpuSeconds(), main0 = CpuSeconds(true);
            QElapsedTimer t;
            ReaderWindow()->autoScrollAction->setChecked(true);
            ReaderWindow()->ToggleAutoScroll();
            t.start();
            Pause(runMs);
            const double secs = double(t.nsecsElapsed()) / 1e9;
            const double moved = PageOffset(ReaderWindow()->WB) - start;
            ReaderWindow()->autoScrollAction->setChecked(false);
            ReaderWindow()->ToggleAutoScroll();
            cpu.push_back((CpuSeconds() - cpu0) / secs);
            main.push_back((CpuSeconds(true) - main0) / secs);
            // The pixels the clock called for by the end: one per whole interval.
            rates.push_back(moved / std::floor(secs * 1000.0 / interval));
        }
        std::printf(
            "auto-scroll at %3d ms: %s of one pixel per interval | CPU %s of a core (%s in the "
            "main process)\n",
            interval, Show(SpreadOf(rates), "%", 100).c_str(),
            Show(SpreadOf(cpu), "%", 100).c_str(), Show(SpreadOf(main), "%", 100).c_str());
        std::fflush(stdout);
    }
    // The floor in the same run: a bare Qt WebEngine view of the same size
    // showing the same page, scrolled a pixel every 20 ms by the page's own
    // script, with nothing of the reader around it.
    {
        const std::string self = argv[0], page = work + "/floor.html",
                          bare = self.substr(0, self.rfind('/') + 1) + "bench_bare_web";
        SaveFileSafely(page, PageScript(ReaderWindow()->WB, "document.documentElement.outerHTML")
                                 .toString()
                                 .toStdString());
        const QSize size = FrontView(ReaderWindow()->WB)->size();
        const std::string width = std::to_string(size.width()),
                          height = std::to_string(size.height());
        std::vector<double> cpu;
        for (int run = 0; run < 3; ++run) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::execl(bare.c_str(), bare.c_str(), page.c_str(), "--scroll", "20", width.c_str(),
                        height.c_str(), nullptr);
                ::_exit(127);
            }
            Pause(2500);  // started, the page loaded and scrolling
            const double cpu0 = CpuSeconds(false, pid);
            QElapsedTimer t;
            t.start();
            Pause(3000);
            cpu.push_back((CpuSeconds(false, pid) - cpu0) / (double(t.nsecsElapsed()) / 1e9));
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
        std::printf(
            "floor: a bare Qt WebEngine view of the same page and size, scrolled by its own "
            "script at 20 ms: CPU %s of a core\n",
            Show(SpreadOf(cpu), "%", 100).c_str());
        std::fflush(stdout);
    }
    ReaderWindow()->progressTimer->SetEnabled(false);
    DestroyForms();
    std::system(("rm -rf '" + work + "'").c_str());
    return 0;
}
