// The reading session paging: the keys, the page turns, auto-scroll and the
// progress tick that follows the top of the view.
#include "book/BookList.h"
#include "reading/ReadingSession.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/Errors.h"
#include "base/Files.h"
#include "convert/TextAnalysis.h"
#include "options/Options.h"
#include "reading/Hyphenator.h"
#include "reading/PageBuilder.h"
#include "reading/Placeholders.h"
#include "search/TextMatcher.h"
#include "text/Charsets.h"

void ReadingSession::ProgressTick() {
    // Page requests of the page's buttons are served first.
    if (NextPageRequested) NextPage();
    if (PrevPageRequested) PreviousPage();
    NextPageRequested = false;
    PrevPageRequested = false;
    if (!CurrentBook) return;
    PreloadAhead();
    // One question at a time; one that got no answer for two seconds is given up.
    if (probeAsked_ && ++probeTicks_ < 8) return;
    // The reading position is the paragraph at the top edge (its first line
    // there, or the paragraph crossing it), not the one at the probe point below
    // it: shown again at the top, the same paragraph is read back, so the
    // position never creeps forward from one session to the next.
    AskTopParagraph(
        [this](int32_t cur) { RecordParagraph(TopParagraph > 0 ? TopParagraph : cur); });
}

void ReadingSession::SetAutoScroll(bool on) {
    scrollStart_ = lastScrollAt_ = Clock();
    scrolled_ = 0;
    tmScroll_.SetEnabled(on);
}

void ReadingSession::ScrollTick() {
    if (!CurWindow || !CurrentBook) return;
    const int64_t now = Clock();
    const int interval = std::max<int>(1, tmScroll_.Interval());
    if (loading_) {
        scrollStart_ = now;  // a page being loaded does not run up pixels
        scrolled_ = 0;
        return;
    }
    // As many pixels as the time since scrolling began calls for: a late tick
    // catches up instead of losing its pixel.
    const int64_t due = (now - scrollStart_) / interval;
    const int64_t step = due - scrolled_;
    if (step <= 0) return;
    // No more than one move a frame (60 a second): at short intervals the
    // pixels of several ticks go in one move, the rate stays the clock's.
    if (scrolled_ > 0 && now - lastScrollAt_ < 16) return;
    lastScrollAt_ = now;
    scrolled_ = due;
    const uint64_t book = bookSerial_, doc = CurDocument;
    std::weak_ptr<char> alive = alive_;
    view_.ScrollBy(0, int(std::min<int64_t>(step, 10000)),
                   [this, alive, book, doc](ScrollState st) {
                       if (alive.expired() || !Alive(book) || doc != CurDocument || loading_)
                           return;
                       if (st.moved || !st.atBottom || !tmScroll_.Enabled()) return;
                       // The end of the page: on into the next one; the end of the book: stop.
                       if (LastShown() < CurrentBook->GetIntProperty("PagesCount")) {
                           ShowPage(LastShown() + 1, Arrival::Top);
                       } else {
                           tmScroll_.SetEnabled(false);
                           status_.AutoScrollStopped();
                       }
                   });
}

int ReadingSession::PageStep() {
    return view_.ViewHeight() - 2 * StrToInt(ValueOf(pageOptions_, "norm_size"));
}

void ReadingSession::PageDown() {
    // A key while the page is on its way (the picture of the last page at a
    // start, a turn) is applied to it once it stands.
    if (Settling()) return WhenSettled([this] { PageDown(); });
    if (!CurWindow) return;
    const int step = PageStep();
    const uint64_t book = bookSerial_, doc = CurDocument;
    std::weak_ptr<char> alive = alive_;
    view_.ScrollByScreen(step, [this, alive, book, doc, step](ScrollState st) {
        if (alive.expired() || !Alive(book) || doc != CurDocument || loading_) return;
        // Already at the bottom: on to the next page, from its top.
        if (step > 0 && !st.moved && st.atBottom &&
            LastShown() < CurrentBook->GetIntProperty("PagesCount"))
            ShowPage(LastShown() + 1, Arrival::Top);
        Jumped();
    });
}

void ReadingSession::PageUp() {
    if (Settling()) return WhenSettled([this] { PageUp(); });
    if (!CurWindow) return;
    const int step = PageStep();
    const uint64_t book = bookSerial_, doc = CurDocument;
    std::weak_ptr<char> alive = alive_;
    view_.ScrollByScreen(-step, [this, alive, book, doc, step](ScrollState st) {
        if (alive.expired() || !Alive(book) || doc != CurDocument || loading_) return;
        // Already at the top: back to the previous page, shown from its end.
        if (step > 0 && !st.moved && st.atTop && FirstShown() > 1)
            ShowPage(FirstShown() - 1, Arrival::Bottom);
        Jumped();
    });
}

void ReadingSession::ShowPageMessage(const std::u16string& text) {
    if (text == u"PrevPage") PrevPageRequested = true;
    if (text == u"NextPage") NextPageRequested = true;
    // A click at the page's edge (the page asks only when the reader wants it).
    if (text == u"ScreenDown") PageDown();
    if (text == u"ScreenUp") PageUp();
}

void ReadingSession::NextPage() {
    if (!CurrentBook) return;
    // The buttons stand at the ends of the document shown: on from its last
    // page, back from its first. At the book's end the page is shown again.
    const int32_t n = LastShown();
    ShowPage(n < CurrentBook->GetIntProperty("PagesCount") ? n + 1 : n, Arrival::Top);
    Jumped();
}

void ReadingSession::PreviousPage() {
    if (!CurrentBook) return;
    const int32_t n = FirstShown();
    ShowPage(n > 1 ? n - 1 : n, Arrival::Top);
    Jumped();
}
