// The Tavisto reader.
#include <QFileInfo>
#include <QImageReader>
#include <QMessageBox>
#include <QUrl>

#include <csignal>
#include <cstdio>

#include "options/unitOptStorage.h"
#include "unitApp.h"
#include "unitInstance.h"
#include "unitMain.h"
#include "unitStartup.h"
#include "view/PageView.h"

int main(int argc, char** argv) {
    // A file size limit makes write() fail with EFBIG, which is reported like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    PrepareRendering();
    TApplication app(argc, argv);
    app.setApplicationName("Tavisto");
    app.setDesktopFileName("tavisto");
    InstallTranslation(QLocale::system());
    try {
        InitOptionStorage();
    } catch (const std::exception& e) {
        ShowErrorBox(e.what());
        return 1;
    }

    // The files to open, as absolute paths: a running reader has a folder of its own.
    QStringList files;
    std::vector<std::string> paths;
    for (const QString& a : app.arguments().mid(1)) {
        const QString path = a.startsWith("file://") ? QUrl(a).toLocalFile() : a;
        if (path.isEmpty() || path.startsWith("-")) continue;
        files << QFileInfo(path).absoluteFilePath();
        paths.push_back(files.back().toStdString());
    }

    // One reader per library: a second one would overwrite the first one's
    // positions and options when it ends. It writes nothing before this point.
    TInstanceGuard instance(ProgramFolder);
    if (!instance.Acquire()) {
        if (instance.HandOver(files)) return 0;
        QMessageBox::information(
            nullptr, "Tavisto",
            QCoreApplication::translate("Tavisto", "Tavisto is already running."));
        return 1;
    }
    try {
        if (const std::string note = TidyProgramFolder(); !note.empty()) ShowMessageBox(note);
    } catch (const std::exception& e) {
        ShowErrorBox(e.what());
    }

    if (!QImageReader::supportedImageFormats().contains("jpeg"))
        std::fprintf(stderr, "tavisto: no JPEG reader: the splash picture cannot be shown\n");
    TPageView::ViewAfterFirstPaint = true;
    CreateForms();
    instance.Listen([](const QStringList& handed) {
        if (!frmMain || frmMain->Closed()) return;
        std::vector<std::string> files;
        for (const QString& f : handed) files.push_back(f.toStdString());
        frmMain->OpenFilesLater(files);
    });
    InstallQuitSignals(QuitReader);
    StartReader(paths);
    int rc = frmMain->Closed() ? 0 : app.exec();
    DestroyForms();
    return rc;
}
