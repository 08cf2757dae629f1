// The Tavisto reader.
#include <QImageReader>

#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "options/Options.h"
#include "ui/Application.h"
#include "ui/InstanceGuard.h"
#include "ui/MainWindow.h"
#include "ui/Startup.h"
#include "view/PageView.h"

int main(int argc, char** argv) {
    // A file size limit makes write() fail with EFBIG, which is reported like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    // The web engine refuses to start as root with its sandbox on, and the
    // reader would end without a word: as root it runs without, and says so.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        std::fprintf(stderr, "tavisto: run as root: the web view's sandbox is off\n");
    }
    PrepareRendering();
    Application app(argc, argv);
    app.setApplicationName("Tavisto");
    app.setDesktopFileName("tavisto");
    InstallTranslation(QLocale::system());
    try {
        InitOptionStorage();
    } catch (const std::exception& e) {
        ShowErrorBox(e.what());
        return 1;
    }

    // The files to open, as absolute paths (a running reader has a folder of
    // its own), byte for byte: a name need not be UTF-8.
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i)
        if (const std::string path = AbsoluteArgumentPath(argv[i]); !path.empty())
            paths.push_back(path);

    // One reader per library: a second one would overwrite the first one's
    // positions and options when it ends. It writes nothing before this point.
    InstanceGuard instance(ProgramFolder);
    InstanceGuard::Outcome start = InstanceGuard::Outcome::TookOver;
    InstanceGuard::FileList left;
    if (!instance.Acquire()) start = instance.HandOver(InstanceGuard::FitMessage(paths, left));
    if (start != InstanceGuard::Outcome::TookOver) {
        if (start == InstanceGuard::Outcome::HandedOver) {
            // One start hands over so many files at most: the rest are named.
            if (!left.empty()) {
                std::string names;
                for (size_t i = 0; i < left.size() && i < 5; ++i)
                    names += "\n" + left[i].substr(0, 200);
                if (left.size() > 5) names += "\n...";
                ShowMessageBox(
                    QCoreApplication::translate("Tavisto",
                                                "%1 files were not opened: a start hands at most "
                                                "100 files to the reader running.")
                        .arg(left.size())
                        .toStdString() +
                    names);
            }
            return 0;
        }
        const std::string running =
            QCoreApplication::translate("Tavisto", "Tavisto is already running.").toStdString();
        std::fprintf(stderr, "tavisto: %s\n", running.c_str());
        ShowMessageBox(running);
        return 1;
    }
    try {
        if (const std::string note = TidyProgramFolder(); !note.empty()) ShowMessageBox(note);
    } catch (const std::exception& e) {
        ShowErrorBox(e.what());
    }

    if (!QImageReader::supportedImageFormats().contains("jpeg"))
        std::fprintf(stderr, "tavisto: no JPEG reader: the splash picture cannot be shown\n");
    PageView::ViewAfterFirstPaint = true;
    MainWindow* window = CreateForms();
    instance.Listen([window](const InstanceGuard::FileList& handed) {
        if (window->Closed()) return false;
        window->OpenFilesLater(handed);
        return true;
    });
    InstallQuitSignals(QuitReader);
    StartReader(paths);
    int rc = window->Closed() ? 0 : app.exec();
    // The window is closed and everything the reader keeps (the position, the
    // options, the last page's picture) is written and synced. Taking the web
    // engine and the speech engine down would only keep the user waiting: the
    // speech engine alone may hold the end up to two seconds. Under the
    // sanitizers the whole teardown runs, for their leak check.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    instance.Release();
    std::fflush(stdout);  // not every stream: a speech thread may hold one
    std::fflush(stderr);
    ::_exit(rc);
#endif
    DestroyForms();
    return rc;
}
