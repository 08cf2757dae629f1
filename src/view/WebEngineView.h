// The HTML view over Qt WebEngine: the pages are local files, read by nothing but
// the view itself. A page's script can reach neither other files nor the
// network; no context menu; script alerts intercepted; questions answered
// asynchronously.
#pragma once

#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

#include "view/WebPage.h"

class WebEnginePage;

class WebEngineView : public QWebEngineView, public IWebPage {
  public:
    explicit WebEngineView(QWidget* parent = nullptr);
    ~WebEngineView() override;

    void Navigate(const std::string& localPath) override;
    void Clear() override;
    void SetBackground(const QColor& colour) override;
    uint64_t Document() const override { return document_; }
    void AskIds(int x, int y, IdsAnswer answer) override;
    void ScrollParagraphIntoView(const std::string& id, int32_t character) override;
    void ScrollToBottom() override;
    void WhenPainted(std::function<void()> f) override;
    void ScrollBy(int dx, int dy, std::function<void(ScrollState)> done = {}) override;
    void ScrollByScreen(int dy, std::function<void(ScrollState)> done) override;
    void Highlight(const std::string& paragraphId, const std::u16string& text,
                   int nth = 0) override;
    void JoinPage(AheadPlace where, int32_t page, int32_t shownPage, const std::string& html,
                  std::function<void(bool)> done) override;
    void DropJoinedPage(int32_t page) override;
    int ViewWidth() const override { return width(); }
    int ViewHeight() const override { return height(); }
    QWidget* Widget() override { return this; }

    // Makes the pages' own address scheme known; before the application object.
    static void RegisterPageScheme();
    // Requests the view refused since it was made (what a page tried to reach).
    static QStringList RefusedRequests();

    // A script's message box, handed to the reader.
    void ShowMessage(const std::u16string& text);
    // The address of what Clear shows, the only data: address the view goes to.
    QUrl EmptyPageUrl() const;

  private:
    void PageLoaded(bool ok);
    // Runs a script of the program's own on the page; answer (if any) gets its
    // result unless the view is gone by then.
    void Run(const QString& script, std::function<void(const QVariant&)> answer = {});
    // Runs move (a script that scrolls the page); done learns where it stands.
    void Scroll(const QString& move, std::function<void(ScrollState)> done);
    // Asks every few milliseconds, at most left times more, whether WhenPainted's frames are shown.
    void AskPainted(std::function<void()> f, int left);

    WebEnginePage* page_;
    uint64_t document_ = 0;
    QUrl lastUrl_;
    std::shared_ptr<char> alive_ = std::make_shared<char>();
};
