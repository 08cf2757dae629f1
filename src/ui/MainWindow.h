// The main reader window: tool bars, the HTML view, the status bar and the two
// reader timers. Its logic lives in ReadingSession; the window wires controls to it.
#pragma once

#include <QCoreApplication>

#include <QLabel>
#include <QMainWindow>

#include <functional>
#include <memory>
#include <tuple>
#include <vector>

#include "library/Library.h"
#include "reading/ReadAloud.h"
#include "reading/ReadingSession.h"
#include "ui/LastPicture.h"
#include "view/QtSpeech.h"

class AboutDialog;
class ArchiveDialog;
class BooksDialog;
class CharsetDialog;
class ContentsDialog;
class HitListDialog;
class Icons;
class ProgressWindow;
class ScrollSpeedDialog;
class Splash;
class StyleDialog;
class VoiceDialog;
class QAction;
class QMenu;
class QLabel;
class QProgressBar;
class QToolBar;
class ThreadedTimer;
class PageView;

// A label that shows as much of its text as fits, with "…" for the rest; it
// never pushes its neighbours aside.
class ElidedLabel : public QLabel {
  public:
    using QLabel::QLabel;
    void SetFullText(const QString& text);
    QString FullText() const { return full_; }
    QSize minimumSizeHint() const override { return {20, QLabel::minimumSizeHint().height()}; }
    QSize sizeHint() const override { return {20, QLabel::sizeHint().height()}; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QString full_;
};

class MainWindow : public QMainWindow, public ReadingStatus, public LibraryListener {
    Q_DECLARE_TR_FUNCTIONS(MainWindow)

  public:
    MainWindow();
    ~MainWindow() override;

    ReadingSession& Reader() { return *reader_; }
    // The books of MyBooks/, which the windows add, rebuild and delete.
    Library& BookLibrary() { return library_; }
    PageView* WB = nullptr;
    ThreadedTimer* scrollTimer = nullptr;
    ThreadedTimer* progressTimer = nullptr;
    QAction* autoScrollAction = nullptr;
    QAction* windowedAction = nullptr;
    ElidedLabel* StatusTitle = nullptr;
    ElidedLabel* StatusHeading = nullptr;
    QLabel* StatusPage = nullptr;
    ElidedLabel* StatusNote = nullptr;
    QProgressBar* ProgressBar = nullptr;

    // Opens the recent book, sets the auto-scroll interval and closes the splash.
    void LoadRecentBook();
    // Makes the dialogs this window opens, after it and in their fixed order
    // (the splash last), and destroys them in the reverse order.
    void CreateDialogs(int splashTickMs);
    void DestroyDialogs();
    // A dialog of this window (tests and the screenshots reach them here).
    template <class Dialog>
    Dialog* Window() const {
        return std::get<std::unique_ptr<Dialog>>(dialogs_).get();
    }
    // Shows the window full screen: no border, maximised.
    void ShowFullScreen();
    // Shows the window as it was left: full screen, or a window at its saved
    // place; at once with the picture of the page last shown, when there is one.
    void ShowAsSaved();
    // After the start opened its book: the picture stays until the live page
    // has painted the same lines when the book opened where the picture was
    // taken; it goes at once otherwise.
    void TakeUpPicture();
    // Opens files given on the command line, handed over by a later start or
    // dropped: the first is opened (its book when converted before, else
    // converted into the library), the others only added. Each failure shows
    // the error box. True when the first one opened.
    bool OpenFiles(const std::vector<std::string>& files);
    // Files handed over by a later start wait until no dialog is open.
    void OpenFilesLater(const std::vector<std::string>& files);
    // Fills a menu with the recent books (not the one being read).
    void FillRecentMenu(QMenu* menu);
    // The window takes the page's colours where the page is dark (Night): tool
    // bar, status bar, scroll bars and dialogs alike; a light page leaves the
    // desktop's own palette. The page shown with no book open follows too.
    void ApplyPageColours();
    bool Closed() const { return closed_; }
    // Closes as Exit does, telling failures on standard error instead of a box.
    void CloseBySignal();

    void ShowBooks();
    void ShowContents();
    void AskFind();
    // Lists every place the search text is found; the one chosen is shown.
    void ListHits();
    void AskGoTo();
    void ChooseCharset();
    void ShowStyle();
    void ToggleAutoScroll();
    void ChooseScrollSpeed();
    // Read aloud: starts or stops (R), and the voice dialog.
    void ToggleReadAloud();
    void ChooseVoice();
    // Space: pauses and resumes reading aloud, pages down otherwise.
    void SpaceKey();
    void PageUp();
    void PageDown();
    void ShowAbout();
    void ToggleWindowed();
    // F11: the whole screen for the page, the tool bar and status bar hidden
    // but shown while the mouse is at the top or bottom edge; F11 or Esc
    // gives the window back as it was.
    void ToggleBare();
    bool Bare() const { return bare_; }
    void Minimize();
    void Exit();

    // ReadingStatus
    void SetTitlePanel(const std::string& text) override;
    void RepaintProgress(int percent) override;
    void ShowPlace(const ReadingPlace& place) override;
    void ShowNote(const std::string& note) override;
    void AutoScrollStopped() override;

    // LibraryListener: the book being read is let go of before its file changes.
    bool ReleaseBook(const std::string& name) override;
    void BookRewritten(const std::string& name) override;
    void BookDeleting(const std::string& name) override;
    void BookDeleted(const std::string& name) override;

    // The speech engine is started (and lists its voices) in the background
    // once a book's page is shown, so that the first Read aloud speaks at
    // once; tests that do not read aloud turn it off.
    static bool StartSpeechEarly;
    // The answer of the text dialogs (Find, Go to); tests set it.
    static std::function<std::string(const char* prompt, const std::string& start)> AskTextHook;

  protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    // The constructor's parts (MainWindowControls.cpp).
    QWidget* BuildToolBars(QWidget* parent);
    void BuildReadingButtons(QToolBar* bar);
    void BuildWindowButtons(QToolBar* bar);
    void Shortcut(QKeySequence seq, std::function<void()> handler);
    void AddKeys();
    void BuildStatusBar();
    // A line of text asked in a box titled by what it does.
    std::string AskText(const char* title, const char* prompt, const std::string& start);
    void SaveAndClose();
    void ShowWindowed();
    void OpenPending();
    bool closed_ = false;
    // The picture of the last page shown: where it was taken, and, on the
    // way out, what was on the screen.
    PictureKey picture_;
    QImage exitPicture_;
    std::vector<std::function<void()>> keysBeforeBook_;
    bool bare_ = false;  // the distraction-free full screen (ToggleBare)
    QWidget* toolPanel_ = nullptr;
    void RevealBars(QPointF global);
    bool bySignal_ = false;
    std::vector<std::string> pending_;
    void WireDialogs();
    Library library_;
    // Made in this order, destroyed in the reverse one.
    template <class... D>
    using Owned = std::tuple<std::unique_ptr<D>...>;
    Owned<AboutDialog, ProgressWindow, ArchiveDialog, BooksDialog, CharsetDialog, StyleDialog,
          ScrollSpeedDialog, VoiceDialog, Icons, ContentsDialog, HitListDialog, Splash>
        dialogs_;
    template <class Dialog, class... Args>
    Dialog& Make(Args&&... args) {
        auto& slot = std::get<std::unique_ptr<Dialog>>(dialogs_);
        slot = std::make_unique<Dialog>(std::forward<Args>(args)...);
        return *slot;
    }
    std::unique_ptr<ReadingSession> reader_;
    // Made at the first reading aloud: a speech engine may take its time to start.
    QtSpeech& Speech();
    std::unique_ptr<QtSpeech> speech_;
    std::unique_ptr<ReadAloud> aloud_;

  public:
    QAction* readAloudAction = nullptr;
    // Reading aloud, once it was started (tests).
    ReadAloud* Aloud() { return aloud_.get(); }
    QtSpeech* SpeechEngine() { return speech_.get(); }
};
