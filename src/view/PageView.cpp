#include "view/PageView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>

#include <climits>

#include "base/Errors.h"

bool PageView::ViewAfterFirstPaint = false;
int PageView::ViewAnywayAfterMs = 300;

PageView::PageView(QWidget* parent) : QWidget(parent) {
    // The views ahead are made when first needed: the first page waits for one view only.
    if (!ViewAfterFirstPaint) {
        MakeFront();
        return;
    }
    // Made after the first paint; a window that is not drawn soon (minimised) gets it anyway.
    setFocusPolicy(Qt::StrongFocus);
    QTimer::singleShot(ViewAnywayAfterMs, this, [this] { MakeFront(); });
}

void PageView::AfterFirstPaint(std::function<void()> f) {
    if (Front() || viewFailed_)
        f();
    else
        afterPaint_.push_back(std::move(f));
}

void PageView::MakeFront() {
    if (Front() || viewFailed_) return;
    // What waited for the window runs first (it may open a dialog, in whose
    // event loop the view can come to be made).
    for (auto waiting = std::move(afterPaint_); auto& f : waiting) f();
    if (Front() || viewFailed_) return;
    const bool hadFocus = hasFocus();
    try {
        views_[front_] = MakeView();
    } catch (const std::exception& e) {
        // Said once; the window stays, with nothing to show.
        viewFailed_ = true;
        const std::string why = e.what();
        Deliver([&] { throw EAppError(why); });
        return;
    }
    Front()->Widget()->raise();
    if (picture_) picture_->raise();
    setFocusProxy(Front()->Widget());
    if (hadFocus) Front()->Widget()->setFocus();
    if (pendingClear_) Front()->Clear();
    if (!pendingPath_.empty()) Front()->Navigate(pendingPath_);
    pendingPath_.clear();
    pendingClear_ = false;
}

void PageView::paintEvent(QPaintEvent*) {
    if (Front()) return;
    QPainter(this).fillRect(rect(), colour_);
    Painted();
}

void PageView::Painted() {
    if (Front() || frontAsked_) return;
    // What was painted reaches the screen when this event ends; the view is made next.
    frontAsked_ = true;
    QTimer::singleShot(0, this, [this] { MakeFront(); });
}

void PageView::SetPageColour(const QColor& colour) {
    colour_ = colour;
    for (auto* v : views_)
        if (v) v->SetBackground(colour);
    if (!Front()) update();
}

IWebPage* PageView::MakeView() {
    IWebPage* view = MakeWebPage(this);
    view->EmptyPageHtml = EmptyPageHtml;
    view->SetBackground(colour_);
    view->Widget()->setGeometry(rect());
    // News of a page ahead is kept quiet: only the page shown speaks to the reader.
    view->OnDocumentComplete = [this, view] { Completed(view); };
    view->OnShowMessage = [this, view](const std::u16string& m) {
        if (view == Front() && OnShowMessage) OnShowMessage(m);
    };
    view->OnError = [this, view](const std::string& m) {
        if (view == Front()) {
            if (OnError) OnError(m);
        } else if (const int place = PlaceOf(view); place >= 0) {
            failed_[place] = true;
        }
    };
    // It paints all of its place: a view stacked under it is never painted
    // when the page shown moves.
    view->Widget()->setAttribute(Qt::WA_OpaquePaintEvent);
    view->Widget()->show();
    view->Widget()->lower();
    return view;
}

int PageView::PlaceOf(const IWebPage* view) const {
    for (int place = 0; place < 2; ++place)
        if (views_[ahead_[place]] == view) return place;
    return -1;
}

void PageView::FrontLoaded() {
    frontLoaded_ = true;
    document_ = ++serial_;
    Deliver([this] {
        if (OnDocumentComplete) OnDocumentComplete();
    });
}

void PageView::Completed(IWebPage* view) {
    if (view == Front()) return FrontLoaded();
    const int place = PlaceOf(view);
    if (place < 0 || !pending_[place]) return;
    pending_[place] = false;
    ready_[place] = !failed_[place];
}

void PageView::resizeEvent(QResizeEvent*) {
    for (auto* v : views_)
        if (v) v->Widget()->setGeometry(rect());
    FitPicture();
}

void PageView::WhenPainted(std::function<void()> f) {
    if (Front())
        Front()->WhenPainted(std::move(f));
    else
        f();
}

void PageView::ShowPicture(const QImage& image) {
    if (!picture_) {
        picture_ = new QLabel(this);
        picture_->setAttribute(Qt::WA_TransparentForMouseEvents);
        picture_->setAttribute(Qt::WA_OpaquePaintEvent);
    }
    picture_->setPixmap(QPixmap::fromImage(image));
    qApp->installEventFilter(this);
    pictureSize_ = image.size();
    pictureCounted_ = false;
    picture_->raise();
    FitPicture();
}

void PageView::FitPicture() {
    if (!picture_) return;
    picture_->setGeometry(rect());
    const QSize device = (QSizeF(size()) * devicePixelRatioF()).toSize();
    const bool fits = device == pictureSize_;
    if (fits && !pictureCounted_) ++PicturesShown;
    pictureCounted_ = pictureCounted_ || fits;
    picture_->setVisible(fits);
}

void PageView::DropPicture() {
    if (!picture_) return;
    delete picture_;
    picture_ = nullptr;
    qApp->removeEventFilter(this);
    // After the events of the moment: the live page may be painting its first frame.
    if (!held_.empty()) QTimer::singleShot(0, this, [this] { GiveHeldInput(); });
}

bool PageView::eventFilter(QObject* watched, QEvent* e) {
    const QEvent::Type t = e->type();
    // The picture covers this widget, which then is never painted: its paint
    // is the window's first.
    if (t == QEvent::Paint && watched == picture_) Painted();
    if (t != QEvent::Wheel && t != QEvent::KeyPress && t != QEvent::KeyRelease) return false;
    auto* w = qobject_cast<QWidget*>(watched);
    if (!ShowsPicture() || !w || (w != this && !isAncestorOf(w))) return false;
    if (t == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(e);
        held_.push_back({true,
                         w->mapTo(this, wheel->position()),
                         wheel->angleDelta(),
                         0,
                         wheel->modifiers(),
                         {}});
        return true;
    }
    const auto* key = static_cast<QKeyEvent*>(e);
    switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Space:
            if (t == QEvent::KeyPress)
                held_.push_back({false, {}, {}, key->key(), key->modifiers(), key->text()});
            return true;
        default:
            return false;
    }
}

void PageView::GiveHeldInput() {
    auto held = std::move(held_);
    held_.clear();
    QWidget* page = Front() ? Front()->Widget() : nullptr;
    if (!page) return;
    QWidget* target = page->focusProxy() ? page->focusProxy() : page;
    for (const HeldInput& in : held) {
        if (in.wheel) {
            const QPointF at = target->mapFrom(this, in.at);
            QWheelEvent e(at, target->mapToGlobal(at), QPoint(), in.angle, Qt::NoButton,
                          in.modifiers, Qt::NoScrollPhase, false);
            QApplication::sendEvent(target, &e);
        } else {
            QKeyEvent press(QEvent::KeyPress, in.key, in.modifiers, in.text);
            QApplication::sendEvent(target, &press);
            QKeyEvent release(QEvent::KeyRelease, in.key, in.modifiers, in.text);
            QApplication::sendEvent(target, &release);
        }
    }
}

bool PageView::ShowsPicture() const {
    return picture_ && !picture_->isHidden();
}

QImage PageView::Grab() const {
    if (!Front() || !frontLoaded_ || ShowsPicture()) return {};
    return Front()->Widget()->grab().toImage();
}

void PageView::Navigate(const std::string& localPath) {
    ++turn_;
    frontLoaded_ = false;
    if (!Front()) {
        pendingPath_ = localPath;
        pendingClear_ = false;
        return;
    }
    Front()->Navigate(localPath);
}

void PageView::Clear() {
    ++turn_;
    frontLoaded_ = false;
    document_ = 0;
    for (auto* v : views_)
        if (v) v->EmptyPageHtml = EmptyPageHtml;
    DropPreloaded();
    if (!Front()) {
        pendingClear_ = true;
        pendingPath_.clear();
        return;
    }
    Front()->Clear();
}

// Before the view is made there is no page to ask or to move.
void PageView::AskIds(int x, int y, IdsAnswer answer) {
    if (Front()) Front()->AskIds(x, y, std::move(answer));
}

void PageView::ScrollParagraphIntoView(const std::string& id, int32_t character) {
    if (Front()) Front()->ScrollParagraphIntoView(id, character);
}

void PageView::ScrollToBottom() {
    if (Front()) Front()->ScrollToBottom();
}

void PageView::ScrollByScreen(int dy, std::function<void(ScrollState)> done) {
    if (Front()) Front()->ScrollByScreen(dy, std::move(done));
}

void PageView::ScrollBy(int dx, int dy, std::function<void(ScrollState)> done) {
    if (Front()) Front()->ScrollBy(dx, dy, std::move(done));
}

void PageView::Highlight(const std::string& paragraphId, const std::u16string& text, int nth) {
    if (Front()) Front()->Highlight(paragraphId, text, nth);
}

void PageView::JoinPage(AheadPlace where, int32_t page, int32_t shownPage, const std::string& html,
                        std::function<void(bool)> done) {
    if (!Front()) return done(false);
    Front()->JoinPage(where, page, shownPage, html, std::move(done));
}

void PageView::DropJoinedPage(int32_t page) {
    if (Front()) Front()->DropJoinedPage(page);
}

void PageView::Preload(AheadPlace place, const std::string& localPath) {
    if (!Front()) return;
    const int p = int(place);
    ready_[p] = failed_[p] = false;
    pending_[p] = true;
    IWebPage*& view = views_[ahead_[p]];
    if (!view) view = MakeView();  // the library is loaded: the first view came from it
    view->Navigate(localPath);
}

bool PageView::ShowPreloaded(AheadPlace place) {
    const int p = int(place), other = 1 - p;
    if (!ready_[p]) return false;
    IWebPage* before = Front();
    QWidget* focus = QApplication::focusWidget();
    const bool hadFocus =
        focus && (focus == before->Widget() || before->Widget()->isAncestorOf(focus));
    const int spare = ahead_[other];
    // The page shown before is now the other place's: unmarked, and standing
    // where a turn to it arrives (the previous page at its end, the next at its top).
    ahead_[other] = front_;
    front_ = ahead_[p];
    ready_[other] = frontLoaded_;
    pending_[other] = failed_[other] = false;
    before->Highlight("", u"");
    if (place == AheadPlace::Next)
        before->ScrollToBottom();
    else
        before->ScrollBy(0, INT_MIN / 2);
    ahead_[p] = spare;
    ready_[p] = pending_[p] = failed_[p] = false;

    Front()->Widget()->raise();
    if (picture_) picture_->raise();
    setFocusProxy(Front()->Widget());
    if (hadFocus) Front()->Widget()->setFocus();
    // As after a load: the news comes from the event loop, never from inside
    // the call; a navigation or another turn in the meantime voids it.
    frontLoaded_ = false;
    const uint64_t turn = ++turn_;
    QTimer::singleShot(0, this, [this, turn] {
        if (turn == turn_) FrontLoaded();
    });
    return true;
}

void PageView::DropPreloaded() {
    ready_ = pending_ = failed_ = {};
}
