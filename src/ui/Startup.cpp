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

void CreateForms(int splashTickMs) {
    new MainWindow();
    new AboutDialog();
    new BooksDialog(frmMain->BookLibrary());
    new ProgressWindow();
    new CharsetDialog();
    new ArchiveDialog();
    new StyleDialog();
    new ScrollSpeedDialog();
    new VoiceDialog();
    new Icons();
    new ContentsDialog();
    new Splash(splashTickMs);
    frmMain->WireBooksWindow();
    CentreDialogsOn(frmMain);
}

void StartReader(const std::vector<std::string>& files) {
    if (files.empty()) {
        frmSplash->Start();
        frmMain->ShowAsSaved();
        return;
    }
    // Opened from a file manager: the file at once, without the splash's wait,
    // as soon as the window is on the screen.
    frmMain->ShowAsSaved();
    frmMain->WB->AfterFirstPaint([files] {
        if (!frmMain->OpenFiles(files)) frmMain->LoadRecentBook();
        frmMain->scrollTimer->SetInterval(uint16_t(ScrollSpeed));
    });
}

void DestroyForms() {
    delete frmSplash;
    delete frmContents;
    delete frmImageLists;
    delete frmVoice;
    delete frmScrollSpeed;
    delete frmStyle;
    delete frmArcView;
    delete frmCharsets;
    delete frmTextProcessor;
    delete frmBooks;
    delete frmAbout;
    delete frmMain;
}

void QuitReader() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) d->reject();
    if (frmMain) frmMain->CloseBySignal();
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
