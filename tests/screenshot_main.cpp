// Makes a picture of the reader with a book open, for the README:
//   tavisto_screenshot DATA_FOLDER OUTPUT.png [WIDTH HEIGHT [DIALOG]]
// DATA_FOLDER holds the installation's read-only files (build/share/tavisto);
// the reader runs in a program folder of its own made from them, so the user's
// library is left alone.
#include <QPixmap>
#include <QScreen>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "options/unitOptStorage.h"
#include "ui/unitAbout.h"
#include "ui/unitApp.h"
#include "ui/unitBooks.h"
#include "ui/unitCharsets.h"
#include "ui/unitMain.h"
#include "ui/unitScrollSpeed.h"
#include "ui/unitSplash.h"
#include "ui/unitStartup.h"
#include "ui/unitStyleOpts.h"
#include "view/ThdTimer.h"
#include "view/WebEngineView.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: tavisto_screenshot DATA_FOLDER OUTPUT.png [WIDTH HEIGHT [DIALOG]]\n");
        return 2;
    }
    std::signal(SIGXFSZ, SIG_IGN);
    char tmpl[] = "/tmp/tavisto-shot-XXXXXX";
    std::string work = std::string(::mkdtemp(tmpl)) + "/";
    const std::string data = argv[1];
    std::string cmd = "mkdir -p '" + work + "MyBooks' '" + work + "Templates' '" + work +
                      "TEMP' && cp '" + data + "/'*.tml '" + data + "/charsets.dat' '" + work +
                      "Templates/' && cp '" + data + "/'*.tvst '" + work + "MyBooks/'";
    if (std::system(cmd.c_str()) != 0) return 1;
    ProgramFolder = work;
    LoadOptions();
    PrepareRendering();
    TApplication app(argc, argv);
    ErrorBoxHook = [](const std::string& m) { std::fprintf(stderr, "error: %s\n", m.c_str()); };
    MessageBoxHook = ErrorBoxHook;
    CreateForms(100);
    StartReader();
    const int w = argc > 4 ? std::atoi(argv[3]) : 1100, h = argc > 4 ? std::atoi(argv[4]) : 720;
    frmMain->setWindowFlag(Qt::FramelessWindowHint, true);
    frmMain->showNormal();
    frmMain->setGeometry(0, 0, w, h);
    TReader& r = frmMain->Reader();
    r.RenderInPlace();
    bool ok = QTest::qWaitFor(
        [&] {
            return r.CurDocument && r.CurDocument == frmMain->WB->Document() && !r.RestorePosition;
        },
        20000);
    frmMain->WB->ScrollBy(0, 0);
    QTest::qWait(1500);  // let the compositor paint the loaded page before the picture
    // A dialog instead of the main window: books, style, speed, about, encoding.
    QWidget* target = frmMain;
    if (argc > 5) {
        std::string which = argv[5];
        QWidget* d = which == "books"    ? static_cast<QWidget*>(frmBooks)
                     : which == "style"  ? static_cast<QWidget*>(frmStyle)
                     : which == "speed"  ? static_cast<QWidget*>(frmScrollSpeed)
                     : which == "about"  ? static_cast<QWidget*>(frmAbout)
                     : which == "splash" ? static_cast<QWidget*>(frmSplash)
                                         : static_cast<QWidget*>(frmCharsets);
        d->show();
        QTest::qWait(500);
        target = d;
    }
    QPixmap shot = target->grab();
    bool saved = shot.save(argv[2], "PNG");
    frmMain->tmProgress->SetEnabled(false);
    DestroyForms();
    std::system(("rm -rf '" + work + "'").c_str());
    return ok && saved ? 0 : 1;
}
