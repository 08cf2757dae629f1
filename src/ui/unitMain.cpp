#include "unitMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QColor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

#include "core/unitFiles.h"
#include "core/unitStyleValues.h"
#include "options/unitOptStorage.h"
#include "unitAbout.h"
#include "unitApp.h"
#include "unitBooks.h"
#include "unitCharsets.h"
#include "unitContents.h"
#include "unitScrollSpeed.h"
#include "unitSplash.h"
#include "unitStyleOpts.h"
#include "unitVoice.h"
#include "unitWindowPlace.h"
#include "view/PageView.h"
#include "view/ThdTimer.h"

TfrmMain* frmMain = nullptr;

namespace {
// Failures of one hand-over told in full; the rest are counted.
constexpr size_t MaxFailuresTold = 10;
}  // namespace

void TElidedLabel::SetFullText(const QString& text) {
    full_ = text;
    setToolTip(Qt::convertFromPlainText(text));
    update();
}

void TElidedLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = contentsRect().adjusted(4, 0, -4, 0);
    p.drawText(r, Qt::AlignVCenter | Qt::AlignLeft,
               fontMetrics().elidedText(full_, Qt::ElideRight, r.width()));
}

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

    auto add = [](QToolBar* bar, const QString& caption, auto handler, bool check = false) {
        QAction* a = bar->addAction(caption);
        a->setCheckable(check);
        QObject::connect(a, &QAction::triggered, bar, [handler] { Guard(handler); });
        return a;
    };
    auto keys = [](QAction* a, const QString& tip, std::initializer_list<QKeySequence> seq) {
        a->setToolTip(tip);
        a->setShortcuts(QList<QKeySequence>(seq));
        a->setShortcutContext(Qt::WindowShortcut);
        return a;
    };
    QAction* books = keys(add(toolBar2, tr("Books"), [this] { btBooksClick(); }),
                          tr("Your books (Ctrl+O); the arrow or a right click: the recent ones"),
                          {QKeySequence::Open});
    // The recent books: the button's menu, and its right click.
    if (auto* button = qobject_cast<QToolButton*>(toolBar2->widgetForAction(books))) {
        auto* recent = new QMenu(button);
        connect(recent, &QMenu::aboutToShow, this, [this, recent] { FillRecentMenu(recent); });
        button->setMenu(recent);
        button->setPopupMode(QToolButton::MenuButtonPopup);
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QWidget::customContextMenuRequested, button,
                [button] { button->showMenu(); });
    }
    keys(add(toolBar2, tr("Contents"), [this] { btContentsClick(); }), tr("Contents (Ctrl+T)"),
         {QKeySequence("Ctrl+T")});
    keys(add(toolBar2, tr("Find"), [this] { btFindClick(); }),
         tr("Find in the book (Ctrl+F; F3 next, Shift+F3 previous)"), {QKeySequence::Find});
    toolBar2->addSeparator();
    QAction* encoding = add(toolBar2, tr("Encoding"), [this] { btEncodingClick(); });
    encoding->setToolTip(
        tr("The character set the book is read in; the arrow: how its paragraphs are made"));
    // The open book's paragraph layout: the button's menu.
    if (auto* button = qobject_cast<QToolButton*>(toolBar2->widgetForAction(encoding))) {
        auto* menu = new QMenu(button);
        connect(menu, &QMenu::aboutToShow, this, [this, menu] {
            menu->clear();
            QMenu* paragraphs = menu->addMenu(tr("Paragraphs"));
            if (!reader_->CurrentBook) {
                paragraphs->setEnabled(false);
                return;
            }
            const std::string name = reader_->CurrentBook->FileName;
            TfrmBooks::FillLayoutMenu(
                paragraphs, reader_->CurrentBook->GetProperty("Layout"),
                [name](const TLayout::TKind* kind) { frmBooks->RebuildBookFile(name, kind); });
        });
        button->setMenu(menu);
        button->setPopupMode(QToolButton::MenuButtonPopup);
    }
    add(toolBar2, tr("Style"), [this] {
        ToolButton4Click();
    })->setToolTip(tr("Font, size and colours"));
    toolBar2->addSeparator();
    btAutoScroll = keys(add(
                            toolBar2, tr("AutoScroll"), [this] { btAutoScrollClick(); }, true),
                        tr("Scroll by itself (A)"), {QKeySequence(Qt::Key_A)});
    add(toolBar2, tr("Speed"), [this] {
        btScrollSpeedClick();
    })->setToolTip(tr("How fast the page scrolls by itself"));
    btReadAloud = keys(add(
                           toolBar2, tr("Read aloud"), [this] { btReadAloudClick(); }, true),
                       tr("Read the book aloud from the top of the page (R); Space pauses, "
                          "Esc stops"),
                       {QKeySequence(Qt::Key_R)});
    QAction* voice = add(toolBar2, tr("Voice"), [this] { btVoiceClick(); });
    voice->setToolTip(tr("The voice and the rate of reading aloud"));
    // Without a speech engine nothing can be read aloud, and the buttons say why.
    if (const QString why = TQtSpeech::WhyNotInstalled(); !why.isEmpty()) {
        for (QAction* a : {btReadAloud, voice}) {
            a->setEnabled(false);
            a->setToolTip(why);
        }
    }
    toolBar2->addSeparator();
    keys(add(toolBar2, tr("PgUp"), [this] { btPgUpClick(); }), tr("Page up (PgUp)"),
         {QKeySequence(Qt::Key_PageUp)});
    keys(add(toolBar2, tr("Pg Dn"), [this] { btPgDnClick(); }), tr("Page down (Pg Dn, Space)"),
         {QKeySequence(Qt::Key_PageDown)});
    // Keys without a button.
    auto shortcut = [this](QKeySequence seq, auto handler) {
        auto* a = new QAction(this);
        a->setShortcut(seq);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, [handler] { Guard(handler); });
        addAction(a);
    };
    shortcut(QKeySequence(Qt::Key_F3), [this] { reader_->FindAgain(true); });
    shortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { reader_->FindAgain(false); });
    shortcut(QKeySequence("Ctrl+G"), [this] { btGoToClick(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Home), [this] { reader_->ShowParagraph(1); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_End), [this] { reader_->ShowParagraph(INT32_MAX); });
    keys(add(toolBar3, tr("About"), [this] { ToolButton1Click(); }), tr("About Tavisto (F1)"),
         {QKeySequence::HelpContents});
    btWindowed = keys(add(
                          toolBar3, tr("Wnd"), [this] { btWindowedClick(); }, true),
                      tr("A window or full screen (F11; Esc leaves full screen)"),
                      {QKeySequence(Qt::Key_F11)});
    add(toolBar3, tr("Min"), [this] { btMinimizeClick(); })->setToolTip(tr("Minimise"));
    keys(add(toolBar3, tr("Exit"), [this] { btExitClick(); }),
         tr("Save the place and quit (Ctrl+Q)"), {QKeySequence::Quit});
    shortcut(QKeySequence(Qt::Key_Space), [this] { SpaceKey(); });
    // A checkable action's shortcut toggles its check before the handler runs,
    // as a click does. Escape stops reading aloud, or else leaves full screen.
    shortcut(QKeySequence(Qt::Key_Escape), [this] {
        if (aloud_ && aloud_->Active()) {
            btReadAloud->setChecked(false);
            return btReadAloudClick();
        }
        if (btWindowed->isChecked()) return;
        btWindowed->setChecked(true);
        btWindowedClick();
    });

    WB = new TPageView(central);
    // Files dropped anywhere on the window are opened; the view never gets them.
    setAcceptDrops(true);
    qApp->installEventFilter(this);
    vbox->addWidget(WB, 1);
    setCentralWidget(central);

    // Title, heading, page, percent and the bar: the texts give way (elided),
    // the bar keeps its width.
    StatusTitle = new TElidedLabel(this);
    StatusHeading = new TElidedLabel(this);
    StatusPage = new QLabel(this);
    StatusNote = new TElidedLabel(this);
    auto* progressPanel = new QWidget(this);
    progressPanel->setFixedWidth(255);
    ProgressBar = new QProgressBar(progressPanel);
    ProgressBar->setRange(0, 100);
    ProgressBar->setTextVisible(false);
    ProgressBar->setGeometry(2, 2, 250, 15);
    statusBar()->setFixedHeight(21);
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(StatusTitle, 3);
    statusBar()->addWidget(StatusHeading, 2);
    statusBar()->addWidget(StatusNote, 1);
    statusBar()->addPermanentWidget(StatusPage);
    statusBar()->addPermanentWidget(progressPanel);

    tmScroll = new TThreadedTimer(this);
    tmScroll->SetInterval(20);
    tmProgress = new TThreadedTimer(this);
    tmProgress->SetInterval(250);
    reader_ = std::make_unique<TReader>(*WB, *tmScroll, *tmProgress, *this);
    tmScroll->OnTimer = [this](TThreadedTimer*) { reader_->tmScrollTimer(); };
    tmProgress->OnTimer = [this](TThreadedTimer*) { reader_->tmProgressTimer(); };
    // Everything the view hands over passes its error guard into the error box.
    WB->OnError = [](const std::string& m) { ShowErrorBox(m); };
    WB->OnDocumentComplete = [this] { reader_->WBDocumentComplete(); };
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
    // About's link: the guide, put back from the installation when it was deleted.
    frmAbout->OnOpenGuide = [this] {
        Guard([this] {
            if (!PortableMode && !DataFolder.empty())
                CopyFileIfMissing(DataFolder + GuideBook, BooksFolder() + GuideBook);
            reader_->SwitchToBook(GuideBook);
        });
    };
    frmBooks->CurrentBookPercent = [this] {
        return reader_->CurrentBook ? reader_->CurrentBook->PositionPercent() : -1;
    };
    frmBooks->CurrentBookName = [this] {
        return reader_->CurrentBook ? reader_->CurrentBook->FileName : std::string();
    };
}

TfrmMain::~TfrmMain() {
    WB->OnDocumentComplete = nullptr;
    WB->OnShowMessage = nullptr;
    WB->OnError = nullptr;
    delete tmScroll;
    delete tmProgress;
    tmScroll = tmProgress = nullptr;
    if (frmMain == this) frmMain = nullptr;
}

void TfrmMain::ShowFullScreen() {
    if (closed_) return;
    setWindowFlag(Qt::FramelessWindowHint, true);
    // Without a window manager nothing maximises the window: it gets the
    // screen's size from here.
    if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
        setGeometry(s->availableGeometry());
    showMaximized();
}

void TfrmMain::ShowWindowed() {
    setWindowFlag(Qt::FramelessWindowHint, false);
    QScreen* primary = QGuiApplication::primaryScreen();
    QList<QRect> screens;
    for (QScreen* s : QGuiApplication::screens()) screens << s->geometry();
    const QRect available = primary ? primary->availableGeometry() : QRect(0, 0, 1024, 768);
    showNormal();
    setGeometry(PlaceWindow(RectFromText(WindowRect), screens, available));
}

void TfrmMain::ShowAsSaved() {
    if (closed_) return;
    ApplyPageColours();
    if (WindowMode == WindowModeWindow) {
        btWindowed->setChecked(true);
        ShowWindowed();
    } else {
        ShowFullScreen();
    }
}

bool TfrmMain::OpenFiles(const std::vector<std::string>& files) {
    bool opened = false;
    // The failures of one hand-over are told in one box, however many files failed.
    std::string failures;
    size_t failed = 0;
    for (size_t i = 0; i < files.size() && !closed_; ++i) {
        try {
            const std::string name = frmBooks->AddToLibrary(files[i], true);
            if (i == 0 && !name.empty()) {
                reader_->SwitchToBook(name);
                opened = true;
            }
        } catch (const std::exception& e) {
            if (++failed <= MaxFailuresTold)
                failures += (failures.empty() ? "" : "\n\n") + std::string(e.what());
        }
    }
    if (failed > MaxFailuresTold)
        failures +=
            "\n\n" + tr("(%1 more files failed)").arg(failed - MaxFailuresTold).toStdString();
    if (!failures.empty()) ShowErrorBox(failures);
    return opened;
}

void TfrmMain::OpenFilesLater(const std::vector<std::string>& files) {
    pending_.insert(pending_.end(), files.begin(), files.end());
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
    OpenPending();
}

void TfrmMain::OpenPending() {
    if (pending_.empty() || closed_) return;
    // A dialog being answered keeps its own work, and the start its own: the
    // files wait for them.
    if (QApplication::activeModalWidget() || !isVisible() ||
        (frmSplash && frmSplash->isVisible())) {
        QTimer::singleShot(300, this, [this] { OpenPending(); });
        return;
    }
    QTimer::singleShot(0, this, [this] {
        std::vector<std::string> files;
        files.swap(pending_);
        OpenFiles(files);
    });
}

void TfrmMain::FillRecentMenu(QMenu* menu) {
    menu->clear();
    std::vector<std::pair<std::string, std::string>> rows;  // file name, title
    for (const std::string& name : RecentBooks) {
        if (reader_->IsCurrentBook(name) || !FileExists(BooksFolder() + name)) continue;
        TBookInfo b(BooksFolder());
        b.FileName = name;
        std::string title = name;
        try {
            b.LoadHeader();
            title = DisplayTitle(b);
        } catch (const std::exception&) {
            // Listed by its file name; opening it shows what is wrong.
        }
        rows.emplace_back(name, title);
    }
    for (const auto& [name, title] : rows) {
        // Two books of one title are told apart by their files.
        const bool repeated = std::count_if(rows.begin(), rows.end(),
                                            [&](const auto& r) { return r.second == title; }) > 1;
        const std::string shown = repeated ? title + "  (" + name + ")" : title;
        QAction* a = menu->addAction(QString::fromUtf8(shown.data(), qsizetype(shown.size())));
        const std::string book = name;
        connect(a, &QAction::triggered, this,
                [this, book] { Guard([&] { reader_->SwitchToBook(book); }); });
    }
    if (menu->isEmpty()) menu->addAction(tr("No recent books"))->setEnabled(false);
}

bool TfrmMain::eventFilter(QObject* o, QEvent* e) {
    const QEvent::Type t = e->type();
    if (t != QEvent::DragEnter && t != QEvent::DragMove && t != QEvent::Drop)
        return QMainWindow::eventFilter(o, e);
    auto* w = qobject_cast<QWidget*>(o);
    if (!w || w->window() != this) return QMainWindow::eventFilter(o, e);
    auto* drop = static_cast<QDropEvent*>(e);
    const std::vector<std::string> files = LocalFilesOf(drop->mimeData());
    if (files.empty()) {
        drop->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (t == QEvent::Drop) OpenFilesLater(files);
    return true;
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
    StatusTitle->SetFullText(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

void TfrmMain::ShowPlace(const TPlace& place) {
    StatusTitle->SetFullText(QString::fromStdString(place.Title));
    // The book's own title as its first heading is said once.
    StatusHeading->SetFullText(
        place.Heading == place.Title ? QString() : QString::fromStdString(place.Heading));
    StatusPage->setText(
        place.Pages > 0
            ? tr("page %1 of %2%3")
                  .arg(place.Page)
                  .arg(place.Pages)
                  .arg(place.Percent >= 0 ? QString("  %1%").arg(place.Percent) : QString())
            : QString());
}

void TfrmMain::ShowNote(const std::string& note) {
    StatusNote->SetFullText(QString::fromStdString(note));
}

void TfrmMain::AutoScrollStopped() {
    btAutoScroll->setChecked(false);
}

void TfrmMain::btContentsClick() {
    TReader& r = *reader_;
    if (!r.CurrentBook) return;
    frmContents->Fill(r.Contents, r.CurrentBook->GetProperty("Charset"), r.CurrentHeading());
    if (frmContents->exec() != QDialog::Accepted || frmContents->SelectedParagraph < 1) return;
    r.ShowParagraph(frmContents->SelectedParagraph);
}

std::function<std::string(const char*, const std::string&)> TfrmMain::AskTextHook;

std::string TfrmMain::AskText(const char* prompt, const std::string& start) {
    if (AskTextHook) return AskTextHook(prompt, start);
    bool ok = false;
    QString text = QInputDialog::getText(this, "Tavisto", tr(prompt), QLineEdit::Normal,
                                         QString::fromStdString(start), &ok);
    return ok ? text.toStdString() : std::string();
}

void TfrmMain::btFindClick() {
    if (!reader_->CurrentBook) return;
    const std::string text = AskText(QT_TR_NOOP("Find:"), reader_->SearchText());
    if (!text.empty()) reader_->Find(text, true);
}

void TfrmMain::btGoToClick() {
    if (!reader_->CurrentBook) return;
    const std::string where =
        AskText(QT_TR_NOOP("Go to a percent (50%) or a paragraph number:"), "");
    if (where.empty()) return;
    reader_->GoTo(where);  // a word on the status bar when it cannot
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
    const std::string current =
        reader_->CurrentBook ? reader_->CurrentBook->GetProperty("Charset") : std::string();
    if (frmCharsets->ExecFor(current) != QDialog::Accepted || !frmCharsets->HasSelection()) return;
    reader_->ApplyCharset(frmCharsets->SelectedCharset);
}

void TfrmMain::ToolButton4Click() {
    reader_->CopyPositionToProperties();
    if (frmStyle->exec() != QDialog::Accepted) return;
    ApplyPageColours();
    reader_->RenderInPlace();
}

namespace {
QColor OptionColour(const char* key) {
    try {
        const TColorValue c = HexToColor(ValueOf(OptionList, key));
        return QColor(c.r, c.g, c.b);
    } catch (const std::exception&) {
        return {};
    }
}
}  // namespace

void TfrmMain::ApplyPageColours() {
    static const QPalette desktop = QApplication::palette();
    const QColor bg = OptionColour("bgcolor"), text = OptionColour("norm_color"),
                 accent = OptionColour("titl_color");
    QPalette p = desktop;
    if (bg.isValid() && text.isValid() && bg.lightness() < 96) {
        const QColor raised = bg.lighter(160), sunken = bg.lighter(125);
        for (auto role : {QPalette::Window, QPalette::Button, QPalette::AlternateBase})
            p.setColor(role, raised);
        p.setColor(QPalette::Base, sunken);
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                          QPalette::ToolTipText, QPalette::BrightText})
            p.setColor(role, text);
        p.setColor(QPalette::ToolTipBase, raised);
        p.setColor(QPalette::PlaceholderText, text.darker(140));
        if (accent.isValid()) p.setColor(QPalette::Highlight, accent.darker(130));
        p.setColor(QPalette::HighlightedText, text.lighter(130));
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            p.setColor(QPalette::Disabled, role, text.darker(200));
    }
    QApplication::setPalette(p);
    // With no book open the view shows how to open one, in the page's colours.
    const QString page = bg.isValid() ? bg.name() : QString("#ffffff");
    const QString ink = text.isValid() ? text.name() : QString("#000000");
    WB->SetPageColour(QColor(page));
    WB->EmptyPageHtml =
        QString(
            "<html><body style=\"background:%1;color:%2;font-family:'Liberation Sans',"
            "sans-serif;font-size:18px;margin:0;display:flex;align-items:center;"
            "justify-content:center;height:100vh\"><div style=\"max-width:32em;"
            "line-height:1.6\"><h2 style=\"font-weight:normal\">%3</h2><p>%4</p><p>%5</p>"
            "</div></body></html>")
            .arg(page, ink, tr("No book is open"),
                 tr("Open one from <b>My Books</b> (Ctrl+O), where <b>Browse</b> adds a text "
                    "file or a ZIP archive to your library."),
                 tr("Or drop a text file on this window, or pick a book you read lately from "
                    "the arrow beside <b>Books</b>."));
    if (!reader_->CurrentBook) WB->Clear();
}

void TfrmMain::btAutoScrollClick() {
    // The page cannot both scroll by itself and follow the voice.
    if (btAutoScroll->isChecked() && aloud_ && aloud_->Active()) {
        aloud_->Stop();
        btReadAloud->setChecked(false);
    }
    reader_->SetAutoScroll(btAutoScroll->isChecked());
}

TQtSpeech& TfrmMain::Speech() {
    if (!speech_) {
        speech_ = std::make_unique<TQtSpeech>();
        speech_->SetVoice(SpeechVoice);
        speech_->SetRate(SpeechRate);
        aloud_ = std::make_unique<TReadAloud>(*reader_, *speech_);
        aloud_->OnEnded = [this] { btReadAloud->setChecked(false); };
        aloud_->OnFailed = [](const std::string& why) { ShowErrorBox(why); };
    }
    return *speech_;
}

void TfrmMain::btReadAloudClick() {
    if (!btReadAloud->isChecked()) {
        if (aloud_) aloud_->Stop();
        return;
    }
    if (!reader_->CurrentBook || !Speech().Available()) {
        btReadAloud->setChecked(false);
        if (reader_->CurrentBook) ShowErrorBox(Speech().WhyNot().toStdString());
        return;
    }
    btAutoScroll->setChecked(false);
    reader_->SetAutoScroll(false);
    aloud_->Start();
}

void TfrmMain::btVoiceClick() {
    TQtSpeech& speech = Speech();
    const std::string language =
        reader_->CurrentBook ? reader_->CurrentBook->GetProperty("Language") : std::string();
    const QStringList voices = speech.Voices(language.empty() ? "en" : language);
    if (frmVoice->ExecFor(voices, SpeechVoice, SpeechRate) != QDialog::Accepted) return;
    SpeechVoice = frmVoice->Voice;
    SpeechRate = frmVoice->Rate;
    speech.SetVoice(SpeechVoice);
    speech.SetRate(SpeechRate);
    SaveOptions();
}

void TfrmMain::SpaceKey() {
    if (aloud_ && aloud_->Active())
        aloud_->TogglePause();
    else
        btPgDnClick();
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
    // The page is rendered again at the paragraph being read, not where the
    // book was opened.
    reader_->CopyPositionToProperties();
    tmProgress->SetEnabled(false);
    tmScroll->SetEnabled(false);
    btAutoScroll->setChecked(false);
    if (btWindowed->isChecked()) {
        ShowWindowed();
    } else {
        WindowRect = RectText(geometry());
        ShowFullScreen();
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
    WindowMode = btWindowed->isChecked() ? WindowModeWindow : WindowModeFull;
    if (btWindowed->isChecked()) WindowRect = RectText(geometry());
    reader_->Close([this](const std::string& m) {
        if (bySignal_)
            std::fprintf(stderr, "tavisto: %s\n", EscapeControls(m).c_str());
        else
            ShowErrorBox(m);
    });
    if (aloud_) aloud_->Stop();
}

void TfrmMain::CloseBySignal() {
    bySignal_ = true;
    close();
}
