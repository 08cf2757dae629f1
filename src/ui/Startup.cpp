#include "ui/Startup.h"

#include <QApplication>
#include <QDialog>

#include <unistd.h>

#include <cstdlib>

#include "options/Options.h"
#include "ui/AboutDialog.h"
#include "ui/Application.h"
#include "ui/ArchiveDialog.h"
#include "ui/BooksDialog.h"
#include "ui/CharsetDialog.h"
#include "ui/ContentsDialog.h"
#include "ui/Icons.h"
#include "ui/MainWindow.h"
#include "ui/ProgressWindow.h"
#include "ui/ScrollSpeedDialog.h"
#include "ui/Splash.h"
#include "ui/StyleDialog.h"
#include "ui/VoiceDialog.h"
#include "view/PageView.h"
#include "view/ThreadedTimer.h"

namespace {
// The reader's window, which owns the dialogs it opens; made and destroyed here.
MainWindow* reader = nullptr;
}  // namespace

MainWindow* CreateForms(int splashTickMs) {
    reader = new MainWindow();
    reader->CreateDialogs(splashTickMs);
    return reader;
}

MainWindow* ReaderWindow() {
    return reader;
}

void StartReader(const std::vector<std::string>& files) {
    MainWindow* window = reader;
    if (files.empty()) {
        window->Window<Splash>()->Start([window] { window->LoadRecentBook(); });
        window->ShowAsSaved();
        return;
    }
    // Opened from a file manager: the file at once, without the splash's wait,
    // as soon as the window is on the screen.
    window->ShowAsSaved();
    window->WB->AfterFirstPaint([window, files] {
        if (!window->OpenFiles(files))
            window->LoadRecentBook();
        else
            window->TakeUpPicture();
        window->scrollTimer->SetInterval(uint16_t(ScrollSpeed));
    });
}

void DestroyForms() {
    MainWindow* window = reader;
    reader = nullptr;
    if (!window) return;
    window->DestroyDialogs();
    delete window;
}

void QuitReader() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) d->reject();
    if (reader) reader->CloseBySignal();
    QCoreApplication::exit(0);
}

std::string AbsoluteArgumentPath(const char* argument) {
    std::string path = argument;
    if (path.rfind("file://", 0) == 0) {
        path.erase(0, 7);
        if (path.rfind("localhost/", 0) == 0) path.erase(0, 9);
        path = QByteArray::fromPercentEncoding(QByteArray::fromStdString(path)).toStdString();
    }
    if (path.empty() || path[0] == '-') return {};
    if (path[0] != '/') {
        char* here = ::getcwd(nullptr, 0);
        if (!here) return {};
        const std::string folder = here;
        std::free(here);
        path = folder + (folder.back() == '/' ? "" : "/") + path;
    }
    return path;
}
