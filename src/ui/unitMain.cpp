#include "unitMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "options/unitOptStorage.h"
#include "unitAbout.h"
#include "unitApp.h"
#include "unitBooks.h"
#include "unitCharsets.h"
#include "unitScrollSpeed.h"
#include "unitSplash.h"
#include "unitStyleOpts.h"
#include "view/ThdTimer.h"
#include "view/WebEngineView.h"

TfrmMain* frmMain = nullptr;

namespace {

// Runs a handler and shows what escapes it in the standard error box.
template <class F>
void Guard(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        ShowErrorBox(e.what());
    }
}

QToolBar* MakeToolBar(QWidget* parent, int buttonWidth) {
    auto* bar = new QToolBar(parent);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->setMovable(false);
    bar->setFloatable(false);
    QFont f("Liberation Sans Narrow");
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(11);
    bar->setFont(f);
    bar->setStyleSheet(
        QString("QToolButton { min-width: %1px; min-height: 23px; }").arg(buttonWidth - 8));
    return bar;
}

}  // namespace

TfrmMain::TfrmMain() {
    frmMain = this;
    setWindowTitle("Tavisto 4.0 BETA");
    auto* central = new QWidget(this);
    auto* vbox = new QVBoxLayout(central);
    vbox->setContentsMargins(0, 0, 0, 0);
    vbox->setSpacing(0);

    auto* toolPanel = new QWidget(central);
    toolPanel->setFixedHeight(33);
    auto* hbox = new QHBoxLayout(toolPanel);
    hbox->setContentsMargins(2, 0, 2, 0);
    QToolBar* toolBar2 = MakeToolBar(toolPanel, 48);
    QToolBar* toolBar3 = MakeToolBar(toolPanel, 30);
    hbox->addWidget(toolBar2);
    hbox->addStretch(1);
    hbox->addWidget(toolBar3);
    vbox->addWidget(toolPanel);

    auto add = [](QToolBar* bar, const char* caption, auto handler, bool check = false) {
        QAction* a = bar->addAction(caption);
        a->setCheckable(check);
        QObject::connect(a, &QAction::triggered, bar, [handler] { Guard(handler); });
        return a;
    };
    add(toolBar2, "Books", [this] { btBooksClick(); });
    toolBar2->addSeparator();
    add(toolBar2, "Encoding", [this] { btEncodingClick(); });
    add(toolBar2, "Style", [this] { ToolButton4Click(); });
    toolBar2->addSeparator();
    btAutoScroll = add(
        toolBar2, "AutoScroll", [this] { btAutoScrollClick(); }, true);
    add(toolBar2, "Speed", [this] { btScrollSpeedClick(); });
    toolBar2->addSeparator();
    add(toolBar2, "PgUp", [this] { btPgUpClick(); });
    add(toolBar2, "Pg Dn", [this] { btPgDnClick(); });
    add(toolBar3, "About", [this] { ToolButton1Click(); });
    btWindowed = add(
        toolBar3, "Wnd", [this] { btWindowedClick(); }, true);
    add(toolBar3, "Min", [this] { btMinimizeClick(); });
    add(toolBar3, "Exit", [this] { btExitClick(); });

    WB = new TWebEngineView(central);
    vbox->addWidget(WB, 1);
    setCentralWidget(central);

    StatusTitle = new QLabel(this);
    StatusTitle->setTextFormat(Qt::PlainText);  // a title is text, never markup
    StatusTitle->setFixedWidth(200);
    auto* progressPanel = new QWidget(this);
    progressPanel->setFixedWidth(255);
    ProgressBar = new QProgressBar(progressPanel);
    ProgressBar->setRange(0, 100);
    ProgressBar->setTextVisible(false);
    ProgressBar->setGeometry(2, 2, 250, 15);
    auto* third = new QLabel(this);
    third->setMinimumWidth(100);
    statusBar()->setFixedHeight(21);
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(StatusTitle);
    statusBar()->addWidget(progressPanel);
    statusBar()->addWidget(third, 1);

    tmScroll = new TThreadedTimer(this);
    tmScroll->SetInterval(20);
    tmProgress = new TThreadedTimer(this);
    tmProgress->SetInterval(250);
    reader_ = std::make_unique<TReader>(*WB, *tmScroll, *tmProgress, *this);
    tmScroll->OnTimer = [this](TThreadedTimer*) { reader_->tmScrollTimer(); };
    tmProgress->OnTimer = [this](TThreadedTimer*) { reader_->tmProgressTimer(); };
    WB->OnDocumentComplete = [this] { Guard([this] { reader_->WBDocumentComplete(); }); };
    WB->OnShowMessage = [this](const std::u16string& m) { reader_->WBShowMessage(m); };
    WB->setFocus();
}

void TfrmMain::WireBooksWindow() {
    // Deleting the book being read closes it first: nothing is saved for it.
    frmBooks->OnDeletingBook = [this](const std::string& name) {
        if (reader_->IsCurrentBook(name)) reader_->CloseBook();
    };
    frmBooks->OnReleasingBook = [this](const std::string& name) {
        return reader_->ReleaseBook(name);
    };
    frmBooks->OnBookRewritten = [this](const std::string& name) { reader_->ReopenBook(name); };
    frmBooks->CurrentBookName = [this] {
        return reader_->CurrentBook ? reader_->CurrentBook->FileName : std::string();
    };
}

TfrmMain::~TfrmMain() {
    WB->OnDocumentComplete = nullptr;
    WB->OnShowMessage = nullptr;
    delete tmScroll;
    delete tmProgress;
    tmScroll = tmProgress = nullptr;
    if (frmMain == this) frmMain = nullptr;
}

void TfrmMain::ShowFullScreen() {
    if (closed_) return;
    setWindowFlag(Qt::FramelessWindowHint, true);
    showMaximized();
}

void TfrmMain::LoadRecentBook() {
    if (closed_) {  // closed by a signal while the splash was up
        if (frmSplash) frmSplash->hide();
        return;
    }
    reader_->LoadRecentBook([](const std::string& m) { ShowErrorBox(m); });
    if (frmSplash) frmSplash->hide();
}

void TfrmMain::SetTitlePanel(const std::string& text) {
    StatusTitle->setText(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

void TfrmMain::RepaintProgress(int percent) {
    ProgressBar->setValue(percent);
}

void TfrmMain::btBooksClick() {
    if (frmBooks->exec() != QDialog::Accepted || !frmBooks->SelectedBook) return;
    std::string name = frmBooks->SelectedBook->FileName;
    reader_->SwitchToBook(name);
}

void TfrmMain::btEncodingClick() {
    if (frmCharsets->exec() != QDialog::Accepted || !frmCharsets->HasSelection()) return;
    reader_->ApplyCharset(frmCharsets->SelectedCharset);
}

void TfrmMain::ToolButton4Click() {
    reader_->CopyPositionToProperties();
    if (frmStyle->exec() != QDialog::Accepted) return;
    reader_->RenderInPlace();
}

void TfrmMain::btAutoScrollClick() {
    tmScroll->SetEnabled(btAutoScroll->isChecked());
}

void TfrmMain::btScrollSpeedClick() {
    frmScrollSpeed->ChosenInterval = tmScroll->Interval();
    if (frmScrollSpeed->exec() != QDialog::Accepted) return;
    tmScroll->SetInterval(uint16_t(frmScrollSpeed->ChosenInterval));
    if (btAutoScroll->isChecked()) tmScroll->SetEnabled(true);
    ScrollSpeed = frmScrollSpeed->ChosenInterval;
    SaveOptions();
}

void TfrmMain::btPgUpClick() {
    reader_->btPgUpClick();
}
void TfrmMain::btPgDnClick() {
    reader_->btPgDnClick();
}
void TfrmMain::ToolButton1Click() {
    frmAbout->exec();
}

void TfrmMain::btWindowedClick() {
    tmProgress->SetEnabled(false);
    tmScroll->SetEnabled(false);
    btAutoScroll->setChecked(false);
    if (btWindowed->isChecked()) {
        setWindowFlag(Qt::FramelessWindowHint, false);
        showNormal();
        resize(640, 480);
    } else {
        setWindowFlag(Qt::FramelessWindowHint, true);
        showMaximized();
    }
    QApplication::processEvents();
    reader_->RenderInPlace();  // with no book open nothing is rendered
}

void TfrmMain::btMinimizeClick() {
    showMinimized();
}

void TfrmMain::btExitClick() {
    tmProgress->SetEnabled(false);
    tmScroll->SetEnabled(false);
    WB->hide();
    QApplication::processEvents();
    setWindowFlag(Qt::FramelessWindowHint, false);
    showNormal();
    QApplication::processEvents();
    close();
}

void TfrmMain::closeEvent(QCloseEvent* e) {
    FormClose();
    e->accept();
}

void TfrmMain::FormClose() {
    if (closed_) return;
    closed_ = true;
    reader_->Close([](const std::string& m) { ShowErrorBox(m); });
}
