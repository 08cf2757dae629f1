// The reader window's logic without the window: the current book and its page,
// page assembly, the reading position and progress, paging, finding and going
// to places. The window supplies the view, the two timers and the status bar.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "book/BookFile.h"
#include "convert/Headings.h"
#include "reading/HtmlView.h"
#include "reading/ReadingPace.h"
#include "reading/TimerControl.h"
#include "search/TextMatcher.h"

// Where the reader is, as the status bar shows it.
struct ReadingPlace {
    std::string Title;    // the book's own title, or its file name without ".tvst"
    std::string Heading;  // the heading of the contents the reading position is under
    int32_t Page = 0, Pages = 0;
    int Percent = -1;  // paragraph / TotalParagraphs, -1 when not known
    // Minutes left in the chapter and in the book at the reader's own pace;
    // -1 while the pace is not known.
    double MinutesLeftInChapter = -1, MinutesLeftInBook = -1;
};

// The status bar as the reader logic sees it.
class ReadingStatus {
  public:
    virtual ~ReadingStatus() = default;
    virtual void SetTitlePanel(const std::string& text) = 0;
    // Paints the progress panel with the bar at percent.
    virtual void RepaintProgress(int percent) = 0;
    virtual void ShowPlace(const ReadingPlace&) {}
    // A word for the reader ("Not found"); empty clears it.
    virtual void ShowNote(const std::string&) {}
    // Auto-scroll ended by itself (the end of the book).
    virtual void AutoScrollStopped() {}
};

class ReadingSession {
  public:
    ReadingSession(HtmlView& view, ITimerControl& scrollTimer, ITimerControl& progressTimer,
                   ReadingStatus& status);

    // The book being read: only ever a book that loaded completely.
    std::unique_ptr<BookFile> CurrentBook;
    LineList PageLines;
    bool RestorePosition = false;
    bool NextPageRequested = false;
    bool PrevPageRequested = false;
    uint64_t CurDocument = 0;
    uint64_t CurWindow = 0;
    int32_t LastPercent = 0;
    int ProgressPosition = 0;  // the progress bar's position, 0 to 100
    // The first paragraph at the top edge of the view, -1 when not known, and
    // the character of it that begins the line there.
    int32_t TopParagraph = -1;
    int32_t TopCharacter = 0;
    // The document's scroll position then, and the pages it held.
    int32_t TopScroll = 0, TopFirstPage = 0, TopLastPage = 0;
    // Set with RestorePosition: once the page and the pages joined to it are
    // pages first to last, the document is scrolled to scroll, exactly as it
    // stood (the picture of the last page shown is put back pixel for pixel).
    struct ExactPlace {
        int32_t scroll = -1, first = 0, last = 0;
    } RestoreScroll;
    // Runs f once the page on its way has loaded, the pages next to it are
    // joined and RestoreScroll is done (at once when nothing is on its way).
    void WhenSettled(std::function<void()> f);
    // The book's headings.
    std::vector<Heading> Contents;
    // Milliseconds of a steady clock; tests give their own.
    std::function<int64_t()> Clock;
    // The paragraph being read aloud, 0 when none: while it lasts it is the
    // reading position, whatever the top of the view shows.
    int32_t SpokenParagraph = 0;
    // Fired after the reader moved the view by hand: paging, a page turn, a
    // jump to a paragraph (read aloud goes on from the new place).
    std::function<void()> OnJump;
    // Fired when the book open is closed or another takes its place (a switch,
    // a rebuild, the end): whatever was bound to the old book lets go of it.
    std::function<void()> OnBookChanged;

    // The options pages are set by (the style's values, "hyphenate",
    // "norm_size"), handed over as a value whenever they change: the session
    // reads no option of its own.
    void SetPageOptions(LineList options) { pageOptions_ = std::move(options); }

    // Renders the current book's page LastPage into Templates/vpage.html and shows
    // it; pages loaded ahead before are void. Does nothing when no book is open.
    void LoadPage();
    // Loads fileName (a bare name inside MyBooks/) and makes it the current book
    // with its page extracted. Raises when it does not load; the current book,
    // if any, then stays current and nothing is written anywhere.
    void OpenBook(const std::string& fileName);
    // Opens RecentBook when it names a book file of the library and renders it at
    // the remembered paragraph; a failure is reported through reportError and
    // ends the opening. The auto-scroll interval is set from ScrollSpeed in every case.
    void LoadRecentBook(const std::function<void(const std::string&)>& reportError);
    // The Books window's choice: saves the current book's position, loads the
    // chosen book, shows it at its remembered paragraph and makes it the recent
    // book. Raises when either step fails; the current book then stays current.
    void SwitchToBook(const std::string& fileName);
    // The current book's file is about to go: the book is closed without being
    // saved, the view empties and RecentBook no longer names it.
    void CloseBook();
    bool IsCurrentBook(const std::string& fileName) const;
    // The book file is about to be rewritten: when it is the current book, its
    // position is saved and it is closed (it stays the recent book); true then.
    bool ReleaseBook(const std::string& fileName);
    // Opens a book again after it was rewritten, at its remembered paragraph.
    void ReopenBook(const std::string& fileName);
    // Encoding: sets the book's charset and renders the page again in place.
    void ApplyCharset(const std::string& charset);
    // Takes the live place as the book's position: the line at the top of the
    // view when it is known (or the paragraph read aloud), so that a page
    // rendered again starts there. The book file learns it when saved.
    void KeepPlace();
    // Renders the page again and returns to the book's position.
    void RenderInPlace();
    // Closing: stops the timers, saves the position and the options, releases the
    // book. Every step runs even when an earlier one fails; failures are reported.
    void Close(const std::function<void(const std::string&)>& reportError);

    // Shows paragraph n, wherever in the book, at the top of the view (turning
    // to its page when needed; GotoParagraph only scrolls the page shown).
    void ShowParagraph(int32_t n);
    // "Ctrl+End": the book's last page, scrolled to its end.
    void ShowEnd();
    // The paragraph at percent of the book.
    void GoToPercent(double percent);
    // "Ctrl+G": a percent ("50%") or a paragraph number; false when it is neither.
    bool GoTo(const std::string& where);
    // Finds text from the reading position on (or back), wrapping; the hit is
    // shown and marked. "Not found" on the status bar when the book holds none.
    bool Find(const std::string& text, bool forward = true);
    bool FindAgain(bool forward);
    const std::string& SearchText() const { return searchText_; }
    // Shows a hit of text (the nth in its paragraph) marked, as Find shows
    // one; F3 goes on from it.
    void ShowHit(const std::string& text, const SearchHit& hit, int nth);
    // The heading the reading position is under (its index in Contents), or -1.
    int CurrentHeading() const;
    // The heading paragraph n is under, or -1.
    int HeadingOf(int32_t n) const;
    // Marks text in paragraph n and keeps it in sight, turning to the
    // paragraph's page when it is on another (read aloud's sentence).
    void ShowText(int32_t n, const std::u16string& text);
    // Takes the mark off.
    void ClearMark();
    // A page was sent to the view and has not completed.
    bool Loading() const { return loading_; }
    // Runs f once the page on its way has loaded and stands where it is shown
    // (at once when none is on its way); another book drops it.
    void WhenShown(std::function<void()> f);
    // Changes whenever another book is opened, or the book is closed.
    uint64_t BookSerial() const { return bookSerial_; }

    // Asks the view for the paragraph at the probe point; answer gets its number,
    // or -1. An answer that comes after the book changed is dropped; one of a
    // page replaced meanwhile (a render in place) is asked again of the new page.
    void AskTopParagraph(std::function<void(int32_t)> answer);
    // Scrolls the page shown to paragraph n, the line of its character at the top.
    void GotoParagraph(int32_t n, int32_t character = 0);
    void PageLoaded();
    void ProgressTick();
    // Auto-scroll follows the clock: each tick scrolls by the pixels the time
    // since scrolling began calls for (one per interval); at the end of a page
    // it goes on into the next, at the end of the book it stops.
    void SetAutoScroll(bool on);
    void ScrollTick();
    // Pg Dn at the bottom of a page goes on to the next page, PgUp at the top to
    // the end of the previous one.
    void PageDown();
    void PageUp();
    void ShowPageMessage(const std::u16string& text);
    void NextPage();
    void PreviousPage();

    // The probe point: half the view's width, 50 pixels below its top.
    static constexpr int ProbeY = 50;
    // The number of an element id "parN", or -1.
    static int32_t ParagraphOfId(const std::string& id);

  private:
    // Where a page that is being loaded is shown once it completes.
    enum class Arrival { Top, Bottom, Paragraph };
    // Builds page n of the current book, ready for the view: a whole document,
    // or the page as it is joined to one (see HtmlView::JoinPage).
    void BuildPage(int32_t n, LineList& lines, bool joined = false);
    // Renders page LastPage into vpage.html and sends it to the view.
    void RenderPage();
    // Loads the next page, else the previous one, ahead: one a call.
    void PreloadAhead();
    // Shows page from a place ahead when it holds it: true then.
    bool TurnToPreloaded(int32_t page, Arrival arrival);
    int PageStep();
    std::unique_ptr<BookFile> LoadBook(const std::string& fileName, LineList& page);
    void Adopt(std::unique_ptr<BookFile> book, LineList& page);
    void RecordParagraph(int32_t cur);
    void Jumped() {
        if (OnJump) OnJump();
    }
    // Sets the book's "Language" from the letters of its page.
    void DecideLanguage(const LineList& page);
    // Where the position lies in the current book, 0 to 1 (-1: no pages),
    // measured as PositionPercent is, and kept per place; Percent from it.
    double Place();
    int Percent();
    // Where the heading after heading h begins (1: the book's end), kept per heading.
    double EndOfHeading(int h);
    void ShowPage(int32_t page, Arrival arrival, int32_t paragraph = 0);
    void ReportPlace();
    bool Alive(uint64_t book) const { return CurrentBook && book == bookSerial_; }
    // Saves the position of the book open; what is returned says why it was
    // not (a book file replaced by another book, a full disk), empty when it was.
    std::string SaveOrSayWhy();
    // The hits of the matcher in the hit's paragraph before it.
    int HitsBefore(const TextMatcher& matcher, const SearchHit& hit);
    // Another book, or none: the old one's answers, mark and spoken paragraph go.
    void BookChanged();

    LineList pageOptions_;
    ReadingPace pace_;
    HtmlView& view_;
    ITimerControl& tmScroll_;
    ITimerControl& tmProgress_;
    ReadingStatus& status_;
    // Every opened or closed book gets a new serial; answers carry the one they
    // were asked under.
    uint64_t bookSerial_ = 0;
    uint64_t probeAsked_ = 0;  // the probe waiting for its answer, 0 when none
    int probeTicks_ = 0;       // ticks since it was asked
    uint64_t probeSerial_ = 0;
    Arrival arrival_ = Arrival::Top;
    int32_t arrivalParagraph_ = 0;
    std::u16string highlight_;
    int highlightNth_ = 0;  // which of the paragraph's occurrences is the hit
    std::vector<std::function<void()>> whenShown_, whenSettled_;
    // Nothing more to join: the exact place is put back, and what waited runs.
    void Settled();
    bool Settling() const {
        return CurrentBook && (loading_ || joined_.joining || RestoreScroll.scroll >= 0);
    }
    std::string searchText_;
    int32_t hitParagraph_ = 0;
    uint64_t hitOffset_ = UINT64_MAX;
    // Auto-scroll: when it began (on this page) and how far it has come since.
    int64_t scrollStart_ = 0;
    int64_t scrolled_ = 0;
    int64_t lastScrollAt_ = 0;
    bool loading_ = false;  // a page was sent to the view and has not completed
    // Pages rendered anew (another book, charset, style) void what is ahead.
    uint64_t render_ = 0;
    struct AheadPage {
        uint64_t book = 0, render = 0;
        int32_t page = 0;
        bool sent = false;  // the view has it (a page that could not be built is not sent)
        LineList lines;
    };
    AheadPage ahead_[2];
    // Marks a place ahead as holding page, of this book and render.
    void KeepAhead(AheadPage& a, int32_t page, bool sent);
    bool HoldsAhead(const AheadPage& a, int32_t page) const;
    struct PlaceKey {
        uint64_t book = 0;
        int32_t page = 0, paragraph = 0;
        bool operator==(const PlaceKey&) const = default;
    };
    // The pages the document shown holds: the page loaded, and those joined
    // above and below it so that the text runs on across their seams. serial
    // is 0 while a page is on its way, and changes with each page loaded: the
    // answer to a join asked of another document is dropped.
    struct JoinedPages {
        uint64_t serial = 0;
        int32_t loaded = 0, first = 0, last = 0;
        std::map<int32_t, int32_t> starts;  // page -> its first paragraph
        bool joining = false, refused = false;
    } joined_;
    uint64_t joinSerial_ = 0;
    // The first and last page of the document shown.
    int32_t FirstShown() const { return joined_.serial ? joined_.first : CurrentBook->LastPage; }
    int32_t LastShown() const { return joined_.serial ? joined_.last : CurrentBook->LastPage; }
    // The page stands in the document shown, which can be scrolled to it.
    bool Shows(int32_t page) const {
        return CurWindow && !loading_ && page >= FirstShown() && page <= LastShown();
    }
    // Joins the pages next to the page at the top of the view (LastPage), one
    // at a time, and lets go of those two pages away from it.
    void KeepPagesJoined();
    // The top of the view is at paragraph n: LastPage follows it into a joined page.
    void FollowTop(int32_t n);
    PlaceKey placeKey_;
    double place_ = -1;
    std::pair<uint64_t, int> endKey_{0, -2};  // book, heading
    double end_ = 1;
    std::shared_ptr<char> alive_ = std::make_shared<char>();
};
