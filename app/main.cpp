// The Tavisto reader.
#include <QImageReader>

#include <csignal>
#include <cstdio>

#include "options/unitOptStorage.h"
#include "unitApp.h"
#include "unitMain.h"
#include "unitStartup.h"

int main(int argc, char** argv) {
    // A file size limit makes write() fail with EFBIG, which is reported like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    InitOptionStorage();
    PrepareRendering();
    TApplication app(argc, argv);
    app.setApplicationName("Tavisto");
    if (!QImageReader::supportedImageFormats().contains("jpeg"))
        std::fprintf(stderr, "tavisto: no JPEG reader: the splash picture cannot be shown\n");
    CreateForms();
    InstallQuitSignals([] {
        if (frmMain) frmMain->close();
    });
    StartReader();
    int rc = frmMain->Closed() ? 0 : app.exec();
    DestroyForms();
    return rc;
}
