// What a reader sees, timed from outside: the program started with a 3.3 MB
// book already converted (`tavisto FILE`), to its window drawn in the page's
// colour and to the page's text on the screen; then the first PgDn, 0.1 s after
// the text shows, across a virtual page's end (the book is reopened at the last
// screen of its second page), PgUp back across it, and the two again.
// The screen is grabbed every few milliseconds, as a camera would; keys go
// through the X server (XTest). In the same runs, the floors: a bare Qt window
// in the page's colour, and a bare Qt WebEngine view showing the reader's own
// first page, then scrolling it on PgDn. A second reader (an earlier build) is timed alongside when
// given. Run under Xvfb with a window manager:
//   xvfb-run -a -s "-screen 0 1280x800x24" bash -c 'openbox & exec build/bench/bench_start
//   build/app/tavisto build/share/tavisto [EARLIER_TAVISTO]'
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "TextGen.h"
#include "base/Files.h"

namespace {

constexpr int Runs = 7;
Display* display = nullptr;

// The middle of the screen, where a page's text stands.
QImage Grab() {
    QScreen* s = QGuiApplication::primaryScreen();
    const QRect r = s->geometry();
    return s->grabWindow(0, r.width() / 6, r.height() / 8, r.width() * 2 / 3, r.height() / 2)
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// Pixels dark enough to be letters (the default text colour on its background).
int DarkPixels(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); y += 2) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) n += qGray(line[x]) < 120;
    }
    return n;
}

// The page's background colour (C0CBCA) over a third of the picture at least:
// the window is on the screen (with text on it or not).
bool PageColour(const QImage& img) {
    int page = 0, all = 0;
    for (int y = 0; y < img.height(); y += 8) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); x += 8, ++all) {
            const QRgb c = line[x];
            page += std::abs(qRed(c) - 0xC0) < 6 && std::abs(qGreen(c) - 0xCB) < 6 &&
                    std::abs(qBlue(c) - 0xCA) < 6;
        }
    }
    return page * 3 > all;
}

// The page's text on the screen: the window, and letters on it.
bool TextShown(const QImage& img) {
    return PageColour(img) && DarkPixels(img) > 400;
}

int Differing(const QImage& a, const QImage& b) {
    int n = 0;
    for (int y = 0; y < a.height(); y += 2) {
        const auto* la = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* lb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) n += la[x] != lb[x];
    }
    return n;
}

void Key(KeySym sym, bool control = false) {
    const KeyCode code = XKeysymToKeycode(display, sym);
    const KeyCode ctrl = XKeysymToKeycode(display, XK_Control_L);
    if (control) XTestFakeKeyEvent(display, ctrl, True, 0);
    XTestFakeKeyEvent(display, code, True, 0);
    XTestFakeKeyEvent(display, code, False, 0);
    if (control) XTestFakeKeyEvent(display, ctrl, False, 0);
    XFlush(display);
}

void Sleep(int ms) {
    ::usleep(useconds_t(ms) * 1000);
}

// Grabs until pred holds of the picture; the seconds since t0, or -1 after 20 s.
template <class P>
double Until(BenchClock::time_point t0, P pred) {
    while (SecondsSince(t0) < 20) {
        if (pred(Grab())) return SecondsSince(t0);
        Sleep(2);
    }
    return -1;
}

pid_t Start(const std::string& program, const std::string& file) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl(program.c_str(), program.c_str(), file.c_str(), nullptr);
        ::_exit(127);
    }
    return pid;
}

std::string Folder(const std::string& path) {
    return path.substr(0, path.rfind('/') + 1);
}

void Stop(pid_t pid) {
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
}

struct TTimes {
    std::vector<double> drawn, shown, turns, backs, warmTurns, warmBacks, ends, starts;
    std::vector<double> differing;  // the first text shown against the page 1.5 s later, in %
    std::vector<double> exits;      // SIGTERM to the process gone (its place and picture kept)
};

// A portable reader of its own in a new folder, with a 3.3 MB text it has
// opened once (converted); the folder.
std::string SetUp(const std::string& reader, const std::string& share) {
    std::string work = "/tmp/tavisto-start-XXXXXX";
    if (!::mkdtemp(work.data())) std::exit(1);
    // The web view library beside the program, when the build has one.
    std::system(("mkdir -p '" + work + "/MyBooks' '" + work + "/Templates' '" + work +
                 "/TEMP' && cp '" + share + "/'*.tml '" + share + "/charsets.dat' '" + work +
                 "/Templates/' && cp '" + reader + "' '" + work + "/tavisto' && touch '" + work +
                 "/portable'; cp '" + Folder(reader) + "../lib/tavisto/libtavisto-view.so' '" +
                 work + "/' 2>/dev/null")
                    .c_str());
    SaveFileSafely(work + "/book.txt", GenerateText(3300 * 1024, false, 7));
    const auto t = BenchClock::now();
    const pid_t warm = Start(work + "/tavisto", work + "/book.txt");
    Until(t, TextShown);
    Sleep(1500);
    // The end of the text shown (the first page and the second, joined below
    // it): the reader is left there, a screen before the third page begins.
    Key(XK_End);
    Sleep(1000);
    Stop(warm);
    return work;
}

void TimeReader(const std::string& work, TTimes& times, bool jumps) {
    const auto text = TextShown;
    const auto t0 = BenchClock::now();
    const pid_t pid = Start(work + "/tavisto", work + "/book.txt");
    times.drawn.push_back(Until(t0, [](const QImage& i) { return PageColour(i); }));
    times.shown.push_back(Until(t0, text));
    // A key and the picture it changes: PgDn across the page's end into the
    // next, PgUp back to where the reader was (which is saved again).
    const auto key = [&](KeySym sym, std::vector<double>& into, bool control = false) {
        const QImage before = Grab();
        const auto t1 = BenchClock::now();
        Key(sym, control);
        into.push_back(
            Until(t1, [&](const QImage& i) { return Differing(i, before) > 3000 && text(i); }));
    };
    Sleep(100);
    key(XK_Next, times.turns);
    Sleep(1000);
    key(XK_Prior, times.backs);
    Sleep(1000);
    key(XK_Next, times.warmTurns);
    Sleep(1000);
    key(XK_Prior, times.warmBacks);
    if (jumps) {
        // Ctrl+End to the book's end, Ctrl+Home back to its start: pages not
        // loaded; the last run only, as it leaves the reader elsewhere.
        Sleep(1000);
        key(XK_End, times.ends, true);
        Sleep(1000);
        key(XK_Home, times.starts, true);
    }
    Sleep(500);
    Stop(pid);
    Sleep(300);
}

// Started and left alone: the text first shown (the picture of the page last
// shown, when the reader keeps one) against the page a second and a half later.
void TimeStillStart(const std::string& work, TTimes& times) {
    const auto t0 = BenchClock::now();
    const pid_t pid = Start(work + "/tavisto", work + "/book.txt");
    QImage first;
    times.shown.push_back(Until(t0, [&](const QImage& i) {
        first = i;
        return TextShown(i);
    }));
    Sleep(1500);
    const QImage later = Grab();
    times.differing.push_back(100.0 * Differing(first, later) /
                              (double(later.width()) * later.height() / 2));
    const auto t1 = BenchClock::now();
    Stop(pid);
    times.exits.push_back(SecondsSince(t1));
    Sleep(300);
}

void Report(const char* what, const TTimes& t) {
    std::printf("%s: window drawn %s | text shown %s\n", what,
                Show(SpreadOf(t.drawn), "ms", 1000).c_str(),
                Show(SpreadOf(t.shown), "ms", 1000).c_str());
    std::printf(
        "  across a page's end: the first PgDn (0.1 s after the text) %s, PgUp back %s; "
        "again a second later %s, %s\n",
        Show(SpreadOf(t.turns), "ms", 1000).c_str(), Show(SpreadOf(t.backs), "ms", 1000).c_str(),
        Show(SpreadOf(t.warmTurns), "ms", 1000).c_str(),
        Show(SpreadOf(t.warmBacks), "ms", 1000).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: bench_start PROGRAM SHARE_FOLDER [EARLIER_PROGRAM] (under Xvfb)\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    display = XOpenDisplay(nullptr);
    if (!display) return 1;
    const std::string share = argv[2], bench = Folder(argv[0]);
    const std::string work = SetUp(argv[1], share);
    const std::string earlier = argc > 3 ? SetUp(argv[3], share) : std::string();
    TTimes now, then, bareWindow, bareWeb;
    for (int run = 0; run < Runs; ++run) {
        TimeReader(work, now, false);
        if (!earlier.empty()) TimeReader(earlier, then, false);
        auto t0 = BenchClock::now();
        pid_t pid = Start(bench + "bench_bare_window", "");
        bareWindow.drawn.push_back(Until(t0, [](const QImage& i) { return PageColour(i); }));
        Stop(pid);
        Sleep(300);
        t0 = BenchClock::now();
        pid = Start(bench + "bench_bare_web", work + "/Templates/vpage.html");
        // Drawn first: the screen behind a window is dark too.
        bareWeb.drawn.push_back(Until(t0, [](const QImage& i) { return PageColour(i); }));
        bareWeb.shown.push_back(Until(t0, TextShown));
        // PgDn a second later, scrolled by the engine itself: the least a key
        // to a page moved on the screen can take.
        Sleep(1000);
        const QImage before = Grab();
        const auto t1 = BenchClock::now();
        Key(XK_Next);
        bareWeb.warmTurns.push_back(
            Until(t1, [&](const QImage& i) { return Differing(i, before) > 3000; }));
        Stop(pid);
        Sleep(300);
    }
    // The jumps, from where the runs above leave the reader, and back.
    TTimes still, jumps;
    for (int run = 0; run < Runs; ++run) TimeStillStart(work, still);
    for (int run = 0; run < Runs; ++run) TimeReader(work, jumps, true);
    std::printf("3.3 MB book, %d runs, medians (ranges)\n", Runs);
    Report("this build", now);
    std::printf(
        "  started and left alone: text shown %s; %s of its pixels differ from the page "
        "1.5 s later\n",
        Show(SpreadOf(still.shown), "ms", 1000).c_str(),
        Show(SpreadOf(still.differing), "%", 1).c_str());
    std::printf("  exit, SIGTERM to the process gone: %s\n",
                Show(SpreadOf(still.exits), "ms", 1000).c_str());
    std::printf("  Ctrl+End %s, then Ctrl+Home %s\n",
                Show(SpreadOf(jumps.ends), "ms", 1000).c_str(),
                Show(SpreadOf(jumps.starts), "ms", 1000).c_str());
    if (!earlier.empty()) Report("earlier build", then);
    std::printf(
        "floor: a bare Qt window drawn %s | a bare Qt WebEngine view drawn %s, its text shown "
        "%s, PgDn a second later %s\n",
        Show(SpreadOf(bareWindow.drawn), "ms", 1000).c_str(),
        Show(SpreadOf(bareWeb.drawn), "ms", 1000).c_str(),
        Show(SpreadOf(bareWeb.shown), "ms", 1000).c_str(),
        Show(SpreadOf(bareWeb.warmTurns), "ms", 1000).c_str());
    std::system(("rm -rf '" + work + "'" + (earlier.empty() ? "" : " '" + earlier + "'")).c_str());
    return 0;
}
