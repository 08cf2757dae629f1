// The Tavisto reader.
#include <QImageReader>
#include <QMessageBox>

#include <csignal>
#include <cstdio>

#include "options/unitOptStorage.h"
#include "unitApp.h"
#include "unitInstance.h"
#include "unitMain.h"
#include "unitStartup.h"

int main(int argc, char** argv) {
    // A file size limit makes write() fail with EFBIG, which is reported like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    InitOptionStorage();
    PrepareRendering();
    TApplication app(argc, argv);
    app.setApplicationName("Tavisto");

    // One reader per library: a second one would overwrite the first one's
    // positions and options when it ends. It writes nothing before this point.
    TInstanceGuard instance(ProgramFolder);
    if (!instance.Acquire()) {
        if (instance.HandOver({})) return 0;
        QMessageBox::information(nullptr, "Tavisto", "Tavisto is already running.");
        return 1;
    }
    TidyProgramFolder();

    if (!QImageReader::supportedImageFormats().contains("jpeg"))
        std::fprintf(stderr, "tavisto: no JPEG reader: the splash picture cannot be shown\n");
    CreateForms();
    instance.Listen([](const QStringList&) {
        if (frmMain && !frmMain->Closed()) {
            frmMain->raise();
            frmMain->activateWindow();
        }
    });
    InstallQuitSignals(QuitReader);
    StartReader();
    int rc = frmMain->Closed() ? 0 : app.exec();
    DestroyForms();
    return rc;
}
