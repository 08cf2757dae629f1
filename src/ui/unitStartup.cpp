#include "unitStartup.h"

#include <QApplication>
#include <QDialog>

#include <unistd.h>

#include <cstdlib>

#include "options/unitOptStorage.h"
#include "unitAbout.h"
#include "unitApp.h"
#include "unitArcView.h"
#include "unitBooks.h"
#include "unitCharsets.h"
#include "unitContents.h"
#include "unitImageLists.h"
#include "unitMain.h"
#include "unitScrollSpeed.h"
#include "unitSplash.h"
#include "unitStyleOpts.h"
#include "unitTextProcessor.h"
#include "unitVoice.h"
#include "view/PageView.h"
#include "view/ThdTimer.h"

void CreateForms(int splashTickMs) {
    new TfrmMain();
    new TfrmAbout();
    new TfrmBooks();
    new TfrmTextProcessor();
    new TfrmCharsets();
    new TfrmArcView();
    new TfrmStyle();
    new TfrmScrollSpeed();
    new TfrmVoice();
    new TfrmImageLists();
    new TfrmContents();
    new TfrmSplash(splashTickMs);
    frmMain->WireBooksWindow();
    CentreDialogsOn(frmMain);
}

void StartReader(const std::vector<std::string>& files) {
    if (files.empty()) {
        frmSplash->FormCreate();
        frmMain->ShowAsSaved();
        return;
    }
    // Opened from a file manager: the file at once, without the splash's wait,
    // as soon as the window is on the screen.
    frmMain->ShowAsSaved();
    frmMain->WB->AfterFirstPaint([files] {
        if (!frmMain->OpenFiles(files)) frmMain->LoadRecentBook();
        frmMain->tmScroll->SetInterval(uint16_t(ScrollSpeed));
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
