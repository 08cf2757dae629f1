#include "ui/MainWindow.h"
#include "book/BookList.h"

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
#include <QMouseEvent>
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
#include <cmath>

#include <algorithm>
#include <cstdio>

#include "base/Files.h"
#include "options/Options.h"
#include "options/StyleValues.h"
#include "ui/AboutDialog.h"
#include "ui/Application.h"
#include "ui/ArchiveDialog.h"
#include "ui/BooksDialog.h"
#include "ui/CharsetDialog.h"
#include "ui/ContentsDialog.h"
#include "ui/HitListDialog.h"
#include "ui/Icons.h"
#include "ui/ProgressWindow.h"
#include "ui/ScrollSpeedDialog.h"
#include "ui/Splash.h"
#include "ui/StyleDialog.h"
#include "ui/VoiceDialog.h"
#include "ui/WindowPlace.h"
#include "view/PageView.h"
#include "view/ThreadedTimer.h"

namespace {
// Failures of one hand-over told in full; the rest are counted.
constexpr size_t MaxFailuresTold = 10;
}  // namespace

MainWindow::MainWindow() : library_(BooksFolder()) {
    library_.Subscribe(this);
    setWindowTitle(QString::fromStdString(ProgramCaption()));
    auto* central = new QWidget(this);
    auto* vbox = new QVBoxLayout(central);
    vbox->setContentsMargins(0, 0, 0, 0);
    vbox->setSpacing(0);
    toolPanel_ = BuildToolBars(central);
    vbox->addWidget(toolPanel_);
    WB = new PageView(central);
    // Files dropped anywhere on the window are opened; the view never gets them.
    setAcceptDrops(true);
    qApp->installEventFilter(this);
    vbox->addWidget(WB, 1);
    setCentralWidget(central);

    BuildStatusBar();

    scrollTimer = new ThreadedTimer(this);
    scrollTimer->SetInterval(20);
    progressTimer = new ThreadedTimer(this);
    progressTimer->SetInterval(250);
    reader_ = std::make_unique<ReadingSession>(*WB, *scrollTimer, *progressTimer, *this);
    reader_->SetPageOptions(OptionList);
    scrollTimer->OnTimer = [this](ThreadedTimer*) { reader_->ScrollTick(); };
    progressTimer->OnTimer = [this](ThreadedTimer*) { reader_->ProgressTick(); };
    // Everything the view hands over passes its error guard into the error box.
    WB->OnError = [](const std::string& m) { ShowErrorBox(m); };
    WB->OnDocumentComplete = [this] {
        reader_->PageLoaded();
        // Its thread starts it: the window's thread only asks.
        if (StartSpeechEarly && !speech_ && reader_->CurrentBook && readAloudAction->isEnabled())
            QTimer::singleShot(0, this, [this] { Speech(); });
    };
    WB->OnShowMessage = [this](const std::u16string& m) { reader_->ShowPageMessage(m); };
    WB->setFocus();
}

bool MainWindow::ReleaseBook(const std::string& name) {
    return reader_->ReleaseBook(name);
}

void MainWindow::BookRewritten(const std::string& name) {
    reader_->ReopenBook(name);
}

// Deleting the book being read closes it first: nothing is saved for it.
void MainWindow::BookDeleting(const std::string& name) {
    if (reader_->IsCurrentBook(name)) reader_->CloseBook();
}

void MainWindow::BookDeleted(const std::string& name) {
    ForgetRecentBook(name);
}

void MainWindow::WireDialogs() {
    // About's link: the guide, put back from the installation when it was deleted.
    Window<AboutDialog>()->OnOpenGuide = [this] {
        Guard([this] {
            if (!PortableMode && !DataFolder.empty())
                CopyFileIfMissing(DataFolder + GuideBook, BooksFolder() + GuideBook);
            reader_->SwitchToBook(GuideBook);
        });
    };
}

void MainWindow::CreateDialogs(int splashTickMs) {
    Make<AboutDialog>();
    auto& progress = Make<ProgressWindow>();
    auto& archive = Make<ArchiveDialog>();
    Make<BooksDialog>(library_, *reader_, archive, progress);
    Make<CharsetDialog>();
    Make<StyleDialog>();
    Make<ScrollSpeedDialog>();
    Make<VoiceDialog>();
    Make<Icons>();
    Make<ContentsDialog>();
    Make<HitListDialog>();
    Make<Splash>(splashTickMs);
    WireDialogs();
    CentreDialogsOn(this);
}

namespace {
template <class Tuple, size_t... I>
void ResetBackwards(Tuple& t, std::index_sequence<I...>) {
    (std::get<sizeof...(I) - 1 - I>(t).reset(), ...);
}
}  // namespace

void MainWindow::DestroyDialogs() {
    ResetBackwards(dialogs_, std::make_index_sequence<std::tuple_size_v<decltype(dialogs_)>>());
}

MainWindow::~MainWindow() {
    DestroyDialogs();
    WB->OnDocumentComplete = nullptr;
    WB->OnShowMessage = nullptr;
    WB->OnError = nullptr;
    delete scrollTimer;
    delete progressTimer;
    scrollTimer = progressTimer = nullptr;
}

void MainWindow::ShowFullScreen() {
    if (closed_) return;
    setWindowFlag(Qt::FramelessWindowHint, true);
    // Without a window manager nothing maximises the window: it gets the
    // screen's size from here.
    if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
        setGeometry(s->availableGeometry());
    showMaximized();
}

void MainWindow::ShowWindowed() {
    setWindowFlag(Qt::FramelessWindowHint, false);
    QScreen* primary = QGuiApplication::primaryScreen();
    QList<QRect> screens;
    for (QScreen* s : QGuiApplication::screens()) screens << s->geometry();
    const QRect available = primary ? primary->availableGeometry() : QRect(0, 0, 1024, 768);
    showNormal();
    setGeometry(PlaceWindow(RectFromText(WindowRect), screens, available));
}

void MainWindow::ShowAsSaved() {
    if (closed_) return;
    ApplyPageColours();
    if (!RecentBook.empty()) {
        const QImage image = LastPicture(PictureKey::Now(RecentBook), picture_);
        if (!image.isNull()) WB->ShowPicture(image);
        // The book may have opened before the window showed.
        if (reader_->CurrentBook) TakeUpPicture();
    }
    if (WindowMode == WindowModeWindow) {
        windowedAction->setChecked(true);
        ShowWindowed();
    } else {
        ShowFullScreen();
    }
}

bool MainWindow::OpenFiles(const std::vector<std::string>& files) {
    bool opened = false;
    // The failures of one hand-over are told in one box, however many files failed.
    std::string failures;
    size_t failed = 0;
    for (size_t i = 0; i < files.size() && !closed_; ++i) {
        try {
            const std::string name = Window<BooksDialog>()->AddToLibrary(files[i], true);
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

void MainWindow::OpenFilesLater(const std::vector<std::string>& files) {
    pending_.insert(pending_.end(), files.begin(), files.end());
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
    OpenPending();
}

void MainWindow::OpenPending() {
    if (pending_.empty() || closed_) return;
    // A dialog being answered keeps its own work, and the start its own: the
    // files wait for them.
    if (QApplication::activeModalWidget() || !isVisible() ||
        (Window<Splash>() && Window<Splash>()->isVisible())) {
        QTimer::singleShot(300, this, [this] { OpenPending(); });
        return;
    }
    QTimer::singleShot(0, this, [this] {
        std::vector<std::string> files;
        files.swap(pending_);
        WB->DropPicture();  // another book's page is on its way
        OpenFiles(files);
    });
}

void MainWindow::FillRecentMenu(QMenu* menu) {
    menu->clear();
    std::vector<std::pair<std::string, std::string>> rows;  // file name, title
    for (const std::string& name : RecentBooks) {
        if (reader_->IsCurrentBook(name) || !FileExists(BooksFolder() + name)) continue;
        BookFile b(BooksFolder());
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
        QAction* a = menu->addAction(FromUtf8(shown));
        const std::string book = name;
        connect(a, &QAction::triggered, this,
                [this, book] { Guard([&] { reader_->SwitchToBook(book); }); });
    }
    if (menu->isEmpty()) menu->addAction(tr("No recent books"))->setEnabled(false);
}

bool MainWindow::eventFilter(QObject* o, QEvent* e) {
    const QEvent::Type t = e->type();
    if (t == QEvent::MouseMove && bare_) RevealBars(static_cast<QMouseEvent*>(e)->globalPosition());
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

void MainWindow::LoadRecentBook() {
    if (closed_) {  // closed by a signal while the splash was up
        if (Window<Splash>()) Window<Splash>()->hide();
        return;
    }
    reader_->LoadRecentBook([](const std::string& m) { ShowErrorBox(m); });
    if (Window<Splash>()) Window<Splash>()->hide();
    TakeUpPicture();
}

void MainWindow::TakeUpPicture() {
    ReadingSession& r = *reader_;
    // The keys pressed before the book opened go to it (they wait for its page).
    for (auto keys = std::move(keysBeforeBook_); auto& key : keys) r.WhenSettled(key);
    keysBeforeBook_.clear();
    const BookFile* b = r.CurrentBook.get();
    if (!WB->HoldsPicture()) return;
    if (!b || !r.Loading() || !r.RestorePosition || b->FileName != picture_.Book ||
        b->LastParagraph != picture_.Paragraph || b->LastCharacter != picture_.Character)
        return WB->DropPicture();
    r.RestoreScroll = {picture_.Scroll, picture_.FirstPage, picture_.LastPage};
    r.WhenSettled([this] { WB->WhenPainted([this] { WB->DropPicture(); }); });
    // A page that never comes does not leave the picture standing.
    QTimer::singleShot(3000, WB, [this] { WB->DropPicture(); });
}

void MainWindow::SetTitlePanel(const std::string& text) {
    StatusTitle->SetFullText(FromUtf8(text));
}

void MainWindow::ShowPlace(const ReadingPlace& place) {
    StatusTitle->SetFullText(QString::fromStdString(place.Title));
    // The book's own title as its first heading is said once.
    StatusHeading->SetFullText(
        place.Heading == place.Title ? QString() : QString::fromStdString(place.Heading));
    // The time left, once the reader's pace is known: "12 min left in the
    // chapter, 3 h 5 min in the book".
    auto duration = [](double minutes) {
        const int m = int(std::lround(minutes));
        return m < 60 ? tr("%1 min").arg(std::max(m, 1))
                      : tr("%1 h %2 min").arg(m / 60).arg(m % 60);
    };
    QString left;
    if (place.MinutesLeftInBook >= 0)
        left =
            place.MinutesLeftInChapter >= 0
                ? tr("%1 left in the chapter, %2 in the book")
                      .arg(duration(place.MinutesLeftInChapter), duration(place.MinutesLeftInBook))
                : tr("%1 left in the book").arg(duration(place.MinutesLeftInBook));
    StatusPage->setToolTip(left);
    StatusPage->setText(
        place.Pages > 0
            ? tr("page %1 of %2%3")
                      .arg(place.Page)
                      .arg(place.Pages)
                      .arg(place.Percent >= 0 ? QString("  %1%").arg(place.Percent) : QString()) +
                  (left.isEmpty() ? QString() : "  ·  " + left)
            : QString());
}

void MainWindow::ShowNote(const std::string& note) {
    StatusNote->SetFullText(QString::fromStdString(note));
}

void MainWindow::AutoScrollStopped() {
    autoScrollAction->setChecked(false);
}

void MainWindow::ShowContents() {
    ReadingSession& r = *reader_;
    if (!r.CurrentBook) return;
    Window<ContentsDialog>()->Fill(r.Contents, r.CurrentBook->GetProperty("Charset"),
                                   r.CurrentHeading());
    if (Window<ContentsDialog>()->exec() != QDialog::Accepted ||
        Window<ContentsDialog>()->SelectedParagraph < 1)
        return;
    r.ShowParagraph(Window<ContentsDialog>()->SelectedParagraph);
}

std::function<std::string(const char*, const std::string&)> MainWindow::AskTextHook;

std::string MainWindow::AskText(const char* title, const char* prompt, const std::string& start) {
    if (AskTextHook) return AskTextHook(prompt, start);
    bool ok = false;
    QString text = QInputDialog::getText(this, tr(title), tr(prompt), QLineEdit::Normal,
                                         QString::fromStdString(start), &ok);
    return ok ? text.toStdString() : std::string();
}

void MainWindow::AskFind() {
    if (!reader_->CurrentBook) return;
    const std::string text =
        AskText(QT_TR_NOOP("Find"), QT_TR_NOOP("Find:"), reader_->SearchText());
    if (!text.empty()) reader_->Find(text, true);
}

void MainWindow::ListHits() {
    if (!reader_->CurrentBook) return;
    HitListDialog* d = Window<HitListDialog>();
    d->List(*reader_, reader_->SearchText());
    if (d->exec() != QDialog::Accepted || !d->Chosen()) return;
    reader_->ShowHit(d->Text(), d->Chosen()->Hit, d->Chosen()->Nth);
}

void MainWindow::AskGoTo() {
    if (!reader_->CurrentBook) return;
    const std::string where = AskText(
        QT_TR_NOOP("Go to"), QT_TR_NOOP("Go to a percent (50%) or a paragraph number:"), "");
    if (where.empty()) return;
    reader_->GoTo(where);  // a word on the status bar when it cannot
}

void MainWindow::RepaintProgress(int percent) {
    ProgressBar->setValue(percent);
}

void MainWindow::ShowBooks() {
    if (Window<BooksDialog>()->exec() != QDialog::Accepted || !Window<BooksDialog>()->SelectedBook)
        return;
    std::string name = Window<BooksDialog>()->SelectedBook->FileName;
    WB->DropPicture();  // another book's page is on its way
    reader_->SwitchToBook(name);
}

void MainWindow::ChooseCharset() {
    const std::string current =
        reader_->CurrentBook ? reader_->CurrentBook->GetProperty("Charset") : std::string();
    if (Window<CharsetDialog>()->ExecFor(current) != QDialog::Accepted ||
        !Window<CharsetDialog>()->HasSelection())
        return;
    reader_->ApplyCharset(Window<CharsetDialog>()->SelectedCharset);
}

void MainWindow::ShowStyle() {
    reader_->KeepPlace();
    if (Window<StyleDialog>()->exec() != QDialog::Accepted) return;
    reader_->SetPageOptions(OptionList);
    ApplyPageColours();
    reader_->RenderInPlace();
}

namespace {
QColor OptionColour(const char* key) {
    try {
        const ColorValue c = HexToColor(ValueOf(OptionList, key));
        return QColor(c.r, c.g, c.b);
    } catch (const std::exception&) {
        return {};
    }
}
}  // namespace

void MainWindow::ApplyPageColours() {
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
        // The lines and frames the style draws (tool bar separators among
        // them) in shades of the window, not the desktop's bright ones; links
        // in the page's accent.
        p.setColor(QPalette::Light, raised.lighter(150));
        p.setColor(QPalette::Midlight, raised.lighter(125));
        p.setColor(QPalette::Mid, raised.darker(125));
        p.setColor(QPalette::Dark, raised.darker(150));
        p.setColor(QPalette::Shadow, QColor(Qt::black));
        for (auto role : {QPalette::Link, QPalette::LinkVisited})
            p.setColor(role, accent.isValid() ? accent : text);
        p.setColor(QPalette::HighlightedText, text.lighter(130));
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            p.setColor(QPalette::Disabled, role, text.darker(200));
    }
    QApplication::setPalette(p);
    // A tool bar with a style sheet keeps the palette it was polished with
    // (its separators stayed the desktop's): it is given the new one.
    for (QToolBar* bar : findChildren<QToolBar*>()) {
        bar->setPalette(p);
        for (QWidget* w : bar->findChildren<QWidget*>()) w->setPalette(p);
    }
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

void MainWindow::ToggleAutoScroll() {
    // The page cannot both scroll by itself and follow the voice.
    if (autoScrollAction->isChecked() && aloud_ && aloud_->Active()) {
        aloud_->Stop();
        readAloudAction->setChecked(false);
    }
    reader_->SetAutoScroll(autoScrollAction->isChecked());
}

bool MainWindow::StartSpeechEarly = true;

QtSpeech& MainWindow::Speech() {
    if (!speech_) {
        speech_ = std::make_unique<QtSpeech>();
        speech_->SetVoice(SpeechVoice);
        speech_->SetRate(SpeechRate);
        aloud_ = std::make_unique<ReadAloud>(*reader_, *speech_);
        aloud_->OnEnded = [this] { readAloudAction->setChecked(false); };
        aloud_->OnFailed = [](const std::string& why) { ShowErrorBox(why); };
    }
    return *speech_;
}

void MainWindow::ToggleReadAloud() {
    if (!readAloudAction->isChecked()) {
        if (aloud_) aloud_->Stop();
        return;
    }
    if (!reader_->CurrentBook || !Speech().Available()) {
        readAloudAction->setChecked(false);
        if (reader_->CurrentBook) ShowErrorBox(Speech().WhyNot().toStdString());
        return;
    }
    autoScrollAction->setChecked(false);
    reader_->SetAutoScroll(false);
    aloud_->Start();
}

void MainWindow::ChooseVoice() {
    QtSpeech& speech = Speech();
    const std::string language =
        reader_->CurrentBook ? reader_->CurrentBook->GetProperty("Language") : std::string();
    const QStringList voices = speech.Voices(language.empty() ? "en" : language);
    if (Window<VoiceDialog>()->ExecFor(voices, SpeechVoice, SpeechRate) != QDialog::Accepted)
        return;
    SpeechVoice = Window<VoiceDialog>()->Voice;
    SpeechRate = Window<VoiceDialog>()->Rate;
    speech.SetVoice(SpeechVoice);
    speech.SetRate(SpeechRate);
    SaveOptions();
}

void MainWindow::SpaceKey() {
    if (aloud_ && aloud_->Active())
        aloud_->TogglePause();
    else
        PageDown();
}

void MainWindow::ChooseScrollSpeed() {
    Window<ScrollSpeedDialog>()->ChosenInterval = scrollTimer->Interval();
    if (Window<ScrollSpeedDialog>()->exec() != QDialog::Accepted) return;
    scrollTimer->SetInterval(uint16_t(Window<ScrollSpeedDialog>()->ChosenInterval));
    if (autoScrollAction->isChecked()) scrollTimer->SetEnabled(true);
    ScrollSpeed = Window<ScrollSpeedDialog>()->ChosenInterval;
    SaveOptions();
}

void MainWindow::PageUp() {
    // Before the book the picture shows has opened, the key waits for it.
    if (!reader_->CurrentBook && WB->HoldsPicture())
        return keysBeforeBook_.push_back([this] { reader_->PageUp(); });
    reader_->PageUp();
}
void MainWindow::PageDown() {
    if (!reader_->CurrentBook && WB->HoldsPicture())
        return keysBeforeBook_.push_back([this] { reader_->PageDown(); });
    reader_->PageDown();
}
void MainWindow::ShowAbout() {
    Window<AboutDialog>()->exec();
}

void MainWindow::ToggleBare() {
    reader_->KeepPlace();
    bare_ = !bare_;
    toolPanel_->setVisible(!bare_);
    statusBar()->setVisible(!bare_);
    if (bare_) {
        setWindowFlag(Qt::FramelessWindowHint, true);
        showFullScreen();
    } else if (windowedAction->isChecked()) {
        ShowWindowed();
    } else {
        ShowFullScreen();
    }
    QApplication::processEvents();
    reader_->RenderInPlace();
}

void MainWindow::RevealBars(QPointF global) {
    // The bars come while the mouse is at their edge of the screen, and go
    // when it leaves them.
    const QRect r = geometry();
    const double y = global.y();
    const int edge = 4;
    toolPanel_->setVisible(y <= r.top() + (toolPanel_->isVisible() ? toolPanel_->height() : edge));
    statusBar()->setVisible(y >=
                            r.bottom() - (statusBar()->isVisible() ? statusBar()->height() : edge));
}

void MainWindow::ToggleWindowed() {
    // The page is rendered again at the paragraph being read, not where the
    // book was opened.
    reader_->KeepPlace();
    progressTimer->SetEnabled(false);
    scrollTimer->SetEnabled(false);
    autoScrollAction->setChecked(false);
    if (windowedAction->isChecked()) {
        ShowWindowed();
    } else {
        WindowRect = RectText(geometry());
        ShowFullScreen();
    }
    QApplication::processEvents();
    reader_->RenderInPlace();  // with no book open nothing is rendered
}

void MainWindow::Minimize() {
    showMinimized();
}

void MainWindow::Exit() {
    progressTimer->SetEnabled(false);
    scrollTimer->SetEnabled(false);
    exitPicture_ = WB->Grab();
    WB->hide();
    QApplication::processEvents();
    setWindowFlag(Qt::FramelessWindowHint, false);
    showNormal();
    QApplication::processEvents();
    close();
}

void MainWindow::closeEvent(QCloseEvent* e) {
    SaveAndClose();
    e->accept();
}

void MainWindow::SaveAndClose() {
    if (closed_) return;

    closed_ = true;
    WindowMode = windowedAction->isChecked() ? WindowModeWindow : WindowModeFull;
    if (windowedAction->isChecked()) WindowRect = RectText(geometry());
    // The page as it is shown, kept when it shows the position exactly.
    ReadingSession& r = *reader_;
    const QImage shown = !exitPicture_.isNull()          ? exitPicture_
                         : isVisible() && !isMinimized() ? WB->Grab()
                                                         : QImage();
    PictureKey key;
    if (r.CurrentBook && !r.Loading() && r.SpokenParagraph == 0 &&
        r.TopParagraph == r.CurrentBook->LastParagraph &&
        r.TopCharacter == r.CurrentBook->LastCharacter) {
        key = PictureKey::Now({});
        key.Book = r.CurrentBook->FileName;
        key.Paragraph = r.TopParagraph;
        key.Character = r.TopCharacter;
        key.Scroll = r.TopScroll;
        key.FirstPage = r.TopFirstPage;
        key.LastPage = r.TopLastPage;
    }
    reader_->Close([this](const std::string& m) {
        if (bySignal_)
            std::fprintf(stderr, "tavisto: %s\n", EscapeControls(m).c_str());
        else
            ShowErrorBox(m);
    });
    // The book's stamp once its position is written.
    if (!key.Book.empty()) {
        const PictureKey now = PictureKey::Now(key.Book);
        key.BookSize = now.BookSize;
        key.BookTime = now.BookTime;
    }
    KeepLastPicture(shown, key);
    if (aloud_) aloud_->Stop();
}

void MainWindow::CloseBySignal() {
    bySignal_ = true;
    close();
}
