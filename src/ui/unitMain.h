// The main reader window: tool bars, the HTML view, the status bar and the two
// reader timers. Its logic lives in TReader; the window wires controls to it.
#pragma once

#include <QCoreApplication>

#include <QLabel>
#include <QMainWindow>

#include <functional>
#include <memory>
#include <vector>

#include "render/unitReadAloud.h"
#include "render/unitReader.h"
#include "view/QtSpeech.h"

class QAction;
class QMenu;
class QLabel;
class QProgressBar;
class QToolBar;
class TThreadedTimer;
class TPageView;

// A label that shows as much of its text as fits, with "…" for the rest; it
// never pushes its neighbours aside.
class TElidedLabel : public QLabel {
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

class TfrmMain : public QMainWindow, public TReaderStatus {
    Q_DECLARE_TR_FUNCTIONS(TfrmMain)

  public:
    TfrmMain();
    ~TfrmMain() override;

    TReader& Reader() { return *reader_; }
    TPageView* WB = nullptr;
    TThreadedTimer* tmScroll = nullptr;
    TThreadedTimer* tmProgress = nullptr;
    QAction* btAutoScroll = nullptr;
    QAction* btWindowed = nullptr;
    TElidedLabel* StatusTitle = nullptr;
    TElidedLabel* StatusHeading = nullptr;
    QLabel* StatusPage = nullptr;
    TElidedLabel* StatusNote = nullptr;
    QProgressBar* ProgressBar = nullptr;

    // Opens the recent book, sets the auto-scroll interval and closes the splash.
    void LoadRecentBook();
    // Connects the windows created after this one.
    void WireBooksWindow();
    // Shows the window full screen: no border, maximised.
    void ShowFullScreen();
    // Shows the window as it was left: full screen, or a window at its saved place.
    void ShowAsSaved();
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

    void btBooksClick();
    void btContentsClick();
    void btFindClick();
    void btGoToClick();
    void btEncodingClick();
    void ToolButton4Click();
    void btAutoScrollClick();
    void btScrollSpeedClick();
    // Read aloud: starts or stops (R), and the voice dialog.
    void btReadAloudClick();
    void btVoiceClick();
    // Space: pauses and resumes reading aloud, pages down otherwise.
    void SpaceKey();
    void btPgUpClick();
    void btPgDnClick();
    void ToolButton1Click();
    void btWindowedClick();
    void btMinimizeClick();
    void btExitClick();

    // TReaderStatus
    void SetTitlePanel(const std::string& text) override;
    void RepaintProgress(int percent) override;
    void ShowPlace(const TPlace& place) override;
    void ShowNote(const std::string& note) override;
    void AutoScrollStopped() override;

    // The answer of the text dialogs (Find, Go to); tests set it.
    static std::function<std::string(const char* prompt, const std::string& start)> AskTextHook;

  protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    std::string AskText(const char* prompt, const std::string& start);
    void FormClose();
    void ShowWindowed();
    void OpenPending();
    bool closed_ = false;
    bool bySignal_ = false;
    std::vector<std::string> pending_;
    std::unique_ptr<TReader> reader_;
    // Made at the first reading aloud: a speech engine may take its time to start.
    TQtSpeech& Speech();
    std::unique_ptr<TQtSpeech> speech_;
    std::unique_ptr<TReadAloud> aloud_;

  public:
    QAction* btReadAloud = nullptr;
    // Reading aloud, once it was started (tests).
    TReadAloud* Aloud() { return aloud_.get(); }
    TQtSpeech* SpeechEngine() { return speech_.get(); }
};

extern TfrmMain* frmMain;
