// What the reader asks of its HTML view. The real one embeds Qt WebEngine; tests
// stand in a fake. Questions are answered later, through a callback, so that
// nothing waits for the view: the answer of a page that was replaced in the
// meantime is simply dropped by the asker.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

// Where the page stands after a scroll.
struct ScrollState {
    bool moved = false;     // the page moved at all
    bool atTop = false;     // nothing above the view
    bool atBottom = false;  // nothing below the view
};

class HtmlView {
  public:
    virtual ~HtmlView() = default;

    // Starts loading a local file; returns at once. OnDocumentComplete follows.
    virtual void Navigate(const std::string& localPath) = 0;
    // Shows an empty page, and drops the document.
    virtual void Clear() = 0;
    // The current document, 0 while none has loaded. It may still be the previous
    // page's during a load.
    virtual uint64_t Document() const = 0;
    // Asks for the id of the innermost element at a point in view pixels, the
    // id of the first paragraph at the view's top edge and the character of it
    // that begins the line there (0 when the paragraph begins below the edge;
    // characters as the page's text counts them, soft hyphens aside), and
    // the document's scroll position. ok is false when the view could not answer.
    using IdsAnswer =
        std::function<void(bool ok, const std::string& atPoint, const std::string& atTop,
                           int32_t topCharacter, int32_t scrollTop)>;
    virtual void AskIds(int x, int y, IdsAnswer answer) = 0;
    // Scrolls the first "p" element with this id so that the line holding its
    // character (counted as AskIds counts) stands at the top of the view; the
    // paragraph's start when it has no such character. The view keeps that line
    // at the top when its size changes, until the page is scrolled.
    virtual void ScrollParagraphIntoView(const std::string& id, int32_t character) = 0;
    // Scrolls to the end of the page.
    virtual void ScrollToBottom() = 0;
    // Runs f once the page has painted what was asked of it before.
    virtual void WhenPainted(std::function<void()> f) { f(); }
    // Relative scroll of the document's window, clamped at its edges; done (when
    // given) learns where the page stands afterwards.
    virtual void ScrollBy(int dx, int dy, std::function<void(ScrollState)> done = {}) = 0;
    // A screen on or back (PgDn, PgUp): the same, and then a line the top
    // edge cuts is brought down whole.
    virtual void ScrollByScreen(int dy, std::function<void(ScrollState)> done) {
        ScrollBy(0, dy, std::move(done));
    }
    // Marks occurrence nth (0: the first) of text (compared without regard to
    // case, any run of white space matching any other) inside the paragraph
    // and brings it into view. The mark made before goes in any case (an empty
    // id: only that).
    virtual void Highlight(const std::string& paragraphId, const std::u16string& text,
                           int nth = 0) = 0;
    virtual int ViewWidth() const = 0;
    virtual int ViewHeight() const = 0;

    // Pages loaded ahead, out of sight, so that a turn shows them at once: the
    // next page from its top, the previous one from its end. A view that keeps
    // none ignores Preload and refuses ShowPreloaded.
    enum class AheadPlace { Next = 0, Previous = 1 };
    // Starts loading a local file into a place ahead, replacing what it held.
    virtual void Preload(AheadPlace, const std::string& /*localPath*/) {}
    // Shows the page loaded ahead at once, when its load has ended: true then,
    // and OnDocumentComplete follows as after Navigate. The page shown before
    // takes the other place ahead (unmarked; from its end when it is now the
    // previous page, from its top when the next); the place shown from is empty.
    virtual bool ShowPreloaded(AheadPlace) { return false; }
    // Forgets the pages ahead.
    virtual void DropPreloaded() {}

    // Pages joined to the document shown, so that the text runs on across a
    // page's end: html (a page's lines in UTF-8, between its BACK and CONTINUE
    // buttons) goes below the document's last page (Next) or above its first
    // (Previous), and nothing in sight moves. Only the buttons at the
    // document's two ends show. shownPage is the page the document was loaded
    // with; done learns whether the page was joined (a view that joins
    // nothing, or a page template with no "page" block, says no).
    virtual void JoinPage(AheadPlace /*where*/, int32_t /*page*/, int32_t /*shownPage*/,
                          const std::string& /*html*/, std::function<void(bool)> done) {
        done(false);
    }
    // Takes a page out of the document shown again, nothing in sight moving.
    virtual void DropJoinedPage(int32_t /*page*/) {}

    // Fired once a page has loaded and its elements can be queried.
    std::function<void()> OnDocumentComplete;
    // A script message box the page wants to show; it is never shown.
    std::function<void(const std::u16string&)> OnShowMessage;
    // What an error raised while the view's news (a completed page, a message,
    // an answer) is handled says; it never unwinds into the view's own frames.
    std::function<void(const std::string&)> OnError;

  protected:
    // Hands news to the reader: whatever it raises goes to OnError.
    template <class F>
    void Deliver(F&& f) noexcept {
        try {
            f();
        } catch (const std::exception& e) {
            Fail(e.what());
        } catch (...) {
            Fail("Unknown error");
        }
    }

  private:
    void Fail(const std::string& what) noexcept {
        try {
            if (OnError) OnError(what);
        } catch (...) {
        }
    }
};
