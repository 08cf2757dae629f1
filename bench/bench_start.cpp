// What a reader sees, timed from outside: the program started with a 3.3 MB
// book already converted (`tavisto FILE`), to its window drawn in the page's
// colour and to the page's text on the screen; then a key to the next virtual
// page's text shown (PgDn at a page's end) and back (PgUp at a page's top).
// The screen is grabbed every few milliseconds, as a camera would; keys go
// through the X server (XTest). Run under Xvfb with a window manager:
//   xvfb-run -a -s "-screen 0 1280x800x24" bash -c 'openbox & exec build/bench/bench_start
//   build/app/tavisto build/share/tavisto'
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
#include "core/unitFiles.h"

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

// The page's background colour (C0CBCA) in the middle of the picture.
bool PageColour(const QImage& img) {
    const QRgb c = img.pixel(img.width() / 2, img.height() - 1);
    return std::abs(qRed(c) - 0xC0) < 6 && std::abs(qGreen(c) - 0xCB) < 6 &&
           std::abs(qBlue(c) - 0xCA) < 6;
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

void Key(KeySym sym) {
    const KeyCode code = XKeysymToKeycode(display, sym);
    XTestFakeKeyEvent(display, code, True, 0);
    XTestFakeKeyEvent(display, code, False, 0);
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

void Stop(pid_t pid) {
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_start PROGRAM SHARE_FOLDER (under Xvfb)\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    display = XOpenDisplay(nullptr);
    if (!display) return 1;
    // A portable reader of its own, and a 3.3 MB text it has opened once.
    std::string work = "/tmp/tavisto-start-XXXXXX";
    if (!::mkdtemp(work.data())) return 1;
    const std::string share = argv[2];
    std::system(("mkdir -p '" + work + "/MyBooks' '" + work + "/Templates' '" + work +
                 "/TEMP' && cp '" + share + "/'*.tml '" + share + "/charsets.dat' '" + work +
                 "/Templates/' && cp '" + argv[1] + "' '" + work + "/tavisto' && cp \"$(dirname '" +
                 argv[1] + "')/../lib/tavisto/libtavisto-view.so\" '" + work + "/' && touch '" +
                 work + "/portable'")
                    .c_str());
    const std::string program = work + "/tavisto", file = work + "/book.txt";
    SaveFileSafely(file, GenerateText(3300 * 1024, false, 7));
    const auto text = [](const QImage& i) { return DarkPixels(i) > 400; };
    {
        const auto t = BenchClock::now();
        const pid_t warm = Start(program, file);  // converts the text
        Until(t, text);
        Sleep(1500);
        Stop(warm);
    }
    std::vector<double> drawn, shown, turns, backs;
    for (int run = 0; run < Runs; ++run) {
        const auto t0 = BenchClock::now();
        const pid_t pid = Start(program, file);
        drawn.push_back(Until(t0, [](const QImage& i) { return PageColour(i); }));
        shown.push_back(Until(t0, text));
        Sleep(1500);
        // To the page's end, then PgDn: the next virtual page from its top.
        Key(XK_End);
        Sleep(1000);
        QImage before = Grab();
        auto t1 = BenchClock::now();
        Key(XK_Next);
        turns.push_back(
            Until(t1, [&](const QImage& i) { return Differing(i, before) > 3000 && text(i); }));
        Sleep(1000);
        // PgUp at a page's top: the previous virtual page from its end.
        before = Grab();
        t1 = BenchClock::now();
        Key(XK_Prior);
        backs.push_back(
            Until(t1, [&](const QImage& i) { return Differing(i, before) > 3000 && text(i); }));
        Stop(pid);
    }
    std::printf(
        "3.3 MB book, %d runs: window drawn %s | text shown %s | next page %s | previous "
        "page %s\n",
        Runs, Show(SpreadOf(drawn), "ms", 1000).c_str(), Show(SpreadOf(shown), "ms", 1000).c_str(),
        Show(SpreadOf(turns), "ms", 1000).c_str(), Show(SpreadOf(backs), "ms", 1000).c_str());
    std::system(("rm -rf '" + work + "'").c_str());
    return 0;
}
