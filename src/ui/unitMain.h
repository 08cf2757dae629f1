// The main reader window: tool bars, the HTML view, the status bar and the two
// reader timers. Its logic lives in TReader; the window wires controls to it.
#pragma once

#include <QMainWindow>

#include <memory>

#include "render/unitReader.h"

class QAction;
class QLabel;
class QProgressBar;
class QToolBar;
class TThreadedTimer;
class TWebEngineView;

class TfrmMain : public QMainWindow, public TReaderStatus {
  public:
    TfrmMain();
    ~TfrmMain() override;

    TReader& Reader() { return *reader_; }
    TWebEngineView* WB = nullptr;
    TThreadedTimer* tmScroll = nullptr;
    TThreadedTimer* tmProgress = nullptr;
    QAction* btAutoScroll = nullptr;
    QAction* btWindowed = nullptr;
    QLabel* StatusTitle = nullptr;
    QProgressBar* ProgressBar = nullptr;

    // Opens the recent book, sets the auto-scroll interval and closes the splash.
    void LoadRecentBook();
    // Connects the windows created after this one.
    void WireBooksWindow();
    // Shows the window full screen: no border, maximised.
    void ShowFullScreen();
    bool Closed() const { return closed_; }

    void btBooksClick();
    void btEncodingClick();
    void ToolButton4Click();
    void btAutoScrollClick();
    void btScrollSpeedClick();
    void btPgUpClick();
    void btPgDnClick();
    void ToolButton1Click();
    void btWindowedClick();
    void btMinimizeClick();
    void btExitClick();

    // TReaderStatus
    void SetTitlePanel(const std::string& text) override;
    void RepaintProgress(int percent) override;

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    void FormClose();
    bool closed_ = false;
    std::unique_ptr<TReader> reader_;
};

extern TfrmMain* frmMain;
