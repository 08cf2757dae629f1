// The reader's view: the page shown, with the next and the previous pages
// loaded ahead in views of their own stacked under it, so that a turn only
// raises one. Everything else the reader asks goes to the page shown.
#pragma once

#include <QWidget>

#include <array>
#include <functional>
#include <vector>

#include "reading/HtmlView.h"
#include "view/WebPage.h"

class PageView : public QWidget, public HtmlView {
  public:
    explicit PageView(QWidget* parent = nullptr);

    void Navigate(const std::string& localPath) override;
    void Clear() override;
    uint64_t Document() const override { return document_; }
    void AskIds(int x, int y, IdsAnswer answer) override;
    void ScrollParagraphIntoView(const std::string& id, int32_t character) override;
    void ScrollToBottom() override;
    void ScrollBy(int dx, int dy, std::function<void(ScrollState)> done = {}) override;
    void ScrollByScreen(int dy, std::function<void(ScrollState)> done) override;
    void Highlight(const std::string& paragraphId, const std::u16string& text,
                   int nth = 0) override;
    int ViewWidth() const override { return width(); }
    int ViewHeight() const override { return height(); }
    void Preload(AheadPlace place, const std::string& localPath) override;
    bool ShowPreloaded(AheadPlace place) override;
    void DropPreloaded() override;
    void WhenPainted(std::function<void()> f) override;
    void JoinPage(AheadPlace where, int32_t page, int32_t shownPage, const std::string& html,
                  std::function<void(bool)> done) override;
    void DropJoinedPage(int32_t page) override;

    // The view of the page shown (none yet when made after the first paint).
    IWebPage* Front() const { return views_[front_]; }
    // The web engine's view is made once the window has been drawn, in the
    // page's colour, instead of at once: the window shows before the engine starts.
    static bool ViewAfterFirstPaint;
    // A window not drawn by then (minimised) gets its view anyway, so many ms on.
    static int ViewAnywayAfterMs;
    // Runs f once the window has been drawn, before the view is made (at once
    // when the view is made already or at once).
    void AfterFirstPaint(std::function<void()> f);
    void SetPageColour(const QColor& colour);
    // A page ahead has loaded there and can be shown.
    bool Preloaded(AheadPlace place) const { return ready_[int(place)]; }
    // What Clear shows (see IWebPage).
    QString EmptyPageHtml;

    // A picture over the views (the last page as it was shown, at a start)
    // until DropPicture; shown only while it is of the view's size. The wheel
    // and the keys the page scrolls by, while it shows, wait for the live
    // page: they are given to it when the picture goes.
    void ShowPicture(const QImage& image);
    void DropPicture();
    bool ShowsPicture() const;
    bool HoldsPicture() const { return picture_; }
    // How many times a picture came to be shown.
    int PicturesShown = 0;
    // The page shown as it is on the screen (null when none is shown).
    QImage Grab() const;

  protected:
    void resizeEvent(QResizeEvent*) override;
    void paintEvent(QPaintEvent*) override;

  private:
    // Makes the view of the page shown, and sends it what came before it.
    void MakeFront();
    IWebPage* MakeView();
    void Completed(IWebPage* view);
    // The page shown has loaded (or been raised): the reader hears of it.
    void FrontLoaded();
    int PlaceOf(const IWebPage* view) const;

    std::array<IWebPage*, 3> views_{};
    int front_ = 0;
    // The views of the places ahead (next, previous), and whether each holds a
    // page whose load ended well, or one still on its way.
    std::array<int, 2> ahead_{1, 2};
    std::array<bool, 2> ready_{}, pending_{}, failed_{};
    bool frontLoaded_ = false;
    uint64_t document_ = 0, serial_ = 0;
    uint64_t turn_ = 0;  // the latest turn or navigation; an older turn's news is dropped
    QColor colour_ = Qt::white;
    bool frontAsked_ = false;
    // The window has been drawn (the colour, or the picture over it): the view is made next.
    void Painted();
    bool viewFailed_ = false;  // the library could not be loaded
    // What the view of the page shown is to show once it is made.
    std::string pendingPath_;
    bool pendingClear_ = false;
    std::vector<std::function<void()>> afterPaint_;
    class QLabel* picture_ = nullptr;
    QSize pictureSize_;  // in device pixels
    bool pictureCounted_ = false;
    void FitPicture();
    // Input held while the picture shows.
    struct HeldInput {
        bool wheel;
        QPointF at;  // in this view
        QPoint angle;
        int key;
        Qt::KeyboardModifiers modifiers;
        QString text;
    };
    std::vector<HeldInput> held_;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void GiveHeldInput();
};
