// The HTML view over Qt WebEngine: local files only, no context menu, script
// alerts intercepted, and DOM questions answered synchronously.
#pragma once

#include <QEventLoop>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "HtmlView.h"

class TWebEnginePage;

class TWebEngineView : public QWebEngineView, public THtmlView {
  public:
    explicit TWebEngineView(QWidget* parent = nullptr);
    ~TWebEngineView() override;

    void Navigate(const std::string& localPath) override;
    uint64_t Document() const override { return document_; }
    bool ElementIdAtPoint(int x, int y, std::string& id) override;
    bool ScrollParagraphIntoView(const std::string& id) override;
    void ScrollBy(int dx, int dy) override;
    int ViewWidth() const override { return width(); }
    int ViewHeight() const override { return height(); }

    // Vertical scroll offset of the page in CSS pixels, asked of the page (tests, benchmarks).
    double ScrollOffset();
    // Runs a script and waits for its answer (at most timeoutMs); false on failure.
    bool RunScriptSync(const QString& script, QVariant& result, int timeoutMs = 2000);

  private:
    void PageLoaded(bool ok);

    TWebEnginePage* page_;
    uint64_t document_ = 0;
    bool inSyncCall_ = false;
    bool loading_ = false;
    QUrl lastUrl_;
    QEventLoop* syncLoop_ = nullptr;
    bool completePending_ = false;
};
