#include "reading/ReadingSession.h"
#include "book/BookList.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "base/Errors.h"
#include "base/Files.h"
#include "book/HeaderJournal.h"
#include "convert/TextAnalysis.h"
#include "options/Options.h"
#include "reading/Hyphenator.h"
#include "reading/PageBuilder.h"
#include "reading/Placeholders.h"
#include "search/TextMatcher.h"
#include "text/Charsets.h"

ReadingSession::ReadingSession(HtmlView& view, ITimerControl& scrollTimer,
                               ITimerControl& progressTimer, ReadingStatus& status)
    : view_(view), tmScroll_(scrollTimer), tmProgress_(progressTimer), status_(status) {
    Clock = [] {
        return int64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count());
    };
}

void ReadingSession::LoadPage() {
    if (!CurrentBook) return;  // nothing to render: the view stays as it is
    ++render_;
    for (auto& a : ahead_) a = {};
    view_.DropPreloaded();
    RenderPage();
}

void ReadingSession::BuildPage(int32_t n, LineList& lines, bool joined) {
    const std::string tpl = TemplatesFolder();
    CurrentBook->ExtractPage(n, lines);
    PageStructure structure;
    structure.Page = CodePageOf(CurrentBook->GetProperty("Charset"));
    structure.Contents = &Contents;
    structure.Speakers = CurrentBook->GetProperty("Speakers");
    structure.Epigraphs = CurrentBook->GetProperty("Epigraphs");
    const std::string language = CurrentBook->GetProperty("Language");
    if (ValueOf(pageOptions_, "hyphenate") != "0")
        structure.Hyphens = Hyphenator::ForLanguage(language);
    structure.TemplateValues = {
        "Charset=" + PageCharset(CurrentBook->GetProperty("Charset")),
        "Language=" + std::string(language == "ru" || language == "en" ? language : ""),
        // A click at the page's edges turns a screen, unless the reader said no.
        std::string("Zones=") + (ValueOf(pageOptions_, "click_zones") == "0" ? "0" : "1")};
    if (joined)
        BuildJoinedPage(lines, BookFile::IsFirstPage(n), CurrentBook->IsLastPage(n), &structure);
    else
        BuildPageHtml(lines, tpl + "vpage.tml", BookFile::IsFirstPage(n),
                      CurrentBook->IsLastPage(n), &structure);
}

void ReadingSession::KeepPagesJoined() {
    JoinedPages& j = joined_;
    if (!CurrentBook || loading_ || !CurWindow || !j.serial || j.joining) return;
    if (j.refused) return Settled();
    const int32_t top = CurrentBook->LastPage, pages = CurrentBook->GetIntProperty("PagesCount");
    // Pages two away stay: going back and forth over a seam joins nothing anew.
    for (; j.first < top - 2; ++j.first) {
        view_.DropJoinedPage(j.first);
        j.starts.erase(j.first);
    }
    for (; j.last > top + 2; --j.last) {
        view_.DropJoinedPage(j.last);
        j.starts.erase(j.last);
    }
    int32_t page = 0;
    auto where = HtmlView::AheadPlace::Next;
    if (j.last < std::min(top + 1, pages)) {
        page = j.last + 1;
    } else if (j.first > std::max(top - 1, 1)) {
        page = j.first - 1;
        where = HtmlView::AheadPlace::Previous;
    }
    if (!page) return Settled();
    LineList lines;
    try {
        BuildPage(page, lines, true);
    } catch (const std::exception&) {
        j.refused = true;  // the turn to that page says why
        return Settled();
    }
    const int32_t start = CurrentBook->FirstParagraphOfPage(page);
    j.joining = true;
    const uint64_t serial = j.serial, book = bookSerial_;
    std::weak_ptr<char> alive = alive_;
    view_.JoinPage(where, page, j.loaded,
                   ToUtf8(JoinLines(lines), CodePageOf(CurrentBook->GetProperty("Charset"))),
                   [this, alive, serial, book, where, page, start](bool ok) {
                       if (alive.expired() || !Alive(book) || serial != joined_.serial) return;
                       joined_.joining = false;
                       if (!ok) {
                           joined_.refused = true;
                           return Settled();
                       }
                       (where == HtmlView::AheadPlace::Next ? joined_.last : joined_.first) = page;
                       joined_.starts[page] = start;
                       KeepPagesJoined();
                   });
}

void ReadingSession::FollowTop(int32_t n) {
    if (!joined_.serial || loading_ || joined_.first == joined_.last) return;
    int32_t page = CurrentBook->LastPage;
    for (const auto& [p, start] : joined_.starts)
        if (start > 0 && start <= n) page = p;
    if (page == CurrentBook->LastPage) return;
    CurrentBook->LastPage = page;
    KeepPagesJoined();
}

void ReadingSession::RenderPage() {
    const std::string tpl = TemplatesFolder();
    ApplyTemplate(tpl + "style.tml", tpl + "vpage.css", PageStyleValues(pageOptions_));
    BuildPage(CurrentBook->LastPage, PageLines);
    SaveLinesToFile(tpl + "vpage.html", PageLines);
    probeAsked_ = 0;
    joined_ = {};
    view_.Navigate(tpl + "vpage.html");
    CurDocument = view_.Document();
    loading_ = true;
    std::string title = DisplayTitle(*CurrentBook);
    if (title == CurrentBook->FileName && title.size() > 5 &&
        SameText(std::string_view(title).substr(title.size() - 5), ".tvst"))
        title.resize(title.size() - 5);
    status_.SetTitlePanel(title);
    ReportPlace();
}

namespace {
const char* const AheadFiles[2] = {"vpage-next.html", "vpage-previous.html"};
}  // namespace

void ReadingSession::KeepAhead(AheadPage& a, int32_t page, bool sent) {
    a.book = bookSerial_;
    a.render = render_;
    a.page = page;
    a.sent = sent;
}

bool ReadingSession::HoldsAhead(const AheadPage& a, int32_t page) const {
    return a.book == bookSerial_ && a.render == render_ && a.page == page;
}

void ReadingSession::PreloadAhead() {
    if (!CurrentBook || loading_ || !CurWindow) return;
    const int32_t pages = CurrentBook->GetIntProperty("PagesCount");
    for (const int place : {0, 1}) {
        const int32_t page = place == 0 ? LastShown() + 1 : FirstShown() - 1;
        AheadPage& a = ahead_[place];
        if (page < 1 || page > pages || HoldsAhead(a, page)) continue;
        KeepAhead(a, page, false);
        // A page that cannot be built now is built by the turn to it, which says why.
        try {
            BuildPage(page, a.lines);
            const std::string file = TemplatesFolder() + AheadFiles[place];
            SaveLinesToFile(file, a.lines);
            view_.Preload(HtmlView::AheadPlace(place), file);
            a.sent = true;
        } catch (const std::exception&) {
            a.lines.clear();
        }
        return;
    }
}

bool ReadingSession::TurnToPreloaded(int32_t page, Arrival arrival) {
    if (arrival == Arrival::Paragraph || loading_ || !CurWindow) return false;
    const int place = arrival == Arrival::Top ? 0 : 1;
    AheadPage& a = ahead_[place];
    if (!a.sent || !HoldsAhead(a, page) || !view_.ShowPreloaded(HtmlView::AheadPlace(place)))
        return false;
    // The page shown before is the other place's now (unless pages were joined
    // to it: then it holds none); this place is empty.
    AheadPage& other = ahead_[1 - place];
    if (FirstShown() == LastShown())
        KeepAhead(other, CurrentBook->LastPage, true);
    else
        other = {};
    other.lines.swap(PageLines);
    PageLines.swap(a.lines);
    a = {};
    CurrentBook->LastPage = page;
    // vpage.html is the page shown, as after a render.
    const std::string tpl = TemplatesFolder();
    std::rename((tpl + AheadFiles[place]).c_str(), (tpl + "vpage.html").c_str());
    probeAsked_ = 0;
    joined_ = {};
    CurDocument = view_.Document();
    loading_ = true;
    return true;
}

std::unique_ptr<BookFile> ReadingSession::LoadBook(const std::string& fileName, LineList& page) {
    if (!IsBareFileName(fileName))
        throw EFileError(Fmt(Messages::tr("Cannot open file %s"), BooksFolder() + fileName));
    auto book = std::make_unique<BookFile>(BooksFolder());
    book->FileName = fileName;
    book->LoadFromBookFile();
    // A book converted before books had contents gets them now, once; they are
    // kept with the next save of the position.
    EnsureContents(*book);
    book->ExtractPage(book->LastPage, page);
    return book;
}

void ReadingSession::Adopt(std::unique_ptr<BookFile> book, LineList& page) {
    CurrentBook = std::move(book);
    status_.ShowNote("");  // a word about the book before is void
    // A charset the page cannot be shown and searched in gives way to the one
    // the page's own bytes tell; kept with the next save.
    const std::string charset = CurrentBook->GetProperty("Charset");
    if (!IsKnownCharset(charset)) {
        const std::string detected = AnalyzeCharset(page);
        CurrentBook->SetProperty("Charset", detected);
        status_.ShowNote(Fmt(Messages::tr("The charset %s cannot be shown: read as %s"),
                             EscapeControls(charset).substr(0, 40), detected));
    }
    // A book converted before books knew their language learns it from its page.
    if (CurrentBook->GetProperty("Language").empty()) DecideLanguage(page);
    PageLines.swap(page);
    Contents = ParseContents(CurrentBook->Contents);
    if (CurrentBook->ContentsLeftInFile())
        status_.ShowNote(Messages::tr("The book's contents are too large to be shown"));
    BookChanged();
    TopParagraph = -1;
    TopCharacter = 0;
    hitParagraph_ = 0;
}

void ReadingSession::BookChanged() {
    ++bookSerial_;
    probeAsked_ = 0;
    pace_.Reset();
    whenShown_.clear();
    whenSettled_.clear();
    RestoreScroll = {};
    // The paragraph read aloud was the old book's place, never the new one's.
    SpokenParagraph = 0;
    if (OnBookChanged) OnBookChanged();
}

void ReadingSession::OpenBook(const std::string& fileName) {
    LineList page;
    auto book = LoadBook(fileName, page);
    Adopt(std::move(book), page);
}

void ReadingSession::LoadRecentBook(const std::function<void(const std::string&)>& reportError) {
    try {
        // A name that is not a bare file name counts as a book that is not there.
        if (IsBareFileName(RecentBook) && FileExists(BooksFolder() + RecentBook)) {
            OpenBook(RecentBook);
            NoteRecentBook(RecentBook);
            RestorePosition = true;
            LoadPage();
            tmProgress_.SetEnabled(true);
        }
    } catch (const std::exception& e) {
        reportError(e.what());
    }
    tmScroll_.SetInterval(uint16_t(uint32_t(ScrollSpeed) & 0xFFFF));
}

void ReadingSession::SwitchToBook(const std::string& fileName) {
    // The current book is saved first, so that choosing it again reads back the
    // position just written (a save that fails is said, and the switch goes
    // on); a book that then fails to load leaves it current.
    std::string replaced;
    if (CurrentBook) replaced = SaveOrSayWhy();
    LineList page;
    auto book = LoadBook(fileName, page);
    Adopt(std::move(book), page);
    status_.ShowNote(replaced);
    RestorePosition = true;
    LoadPage();
    RecentBook = CurrentBook->FileName;
    NoteRecentBook(RecentBook);
}

bool ReadingSession::IsCurrentBook(const std::string& fileName) const {
    return CurrentBook && CurrentBook->FileName == fileName;
}

bool ReadingSession::ReleaseBook(const std::string& fileName) {
    if (!IsCurrentBook(fileName)) return false;
    const std::string replaced = SaveOrSayWhy();
    const std::string recent = RecentBook;
    CloseBook();
    RecentBook = recent;
    status_.ShowNote(replaced);
    return true;
}

std::string ReadingSession::SaveOrSayWhy() {
    // A position that cannot be written (a full disk) leaves the book file
    // with the last one that could: the reader goes on, and is told.
    try {
        HeaderJournal journal(HeaderJournalPath());
        CurrentBook->SavePosition(&journal);
    } catch (const EAppError& e) {
        return e.what();
    }
    return {};
}

void ReadingSession::ReopenBook(const std::string& fileName) {
    OpenBook(fileName);
    RestorePosition = true;
    LoadPage();
}

void ReadingSession::CloseBook() {
    if (!CurrentBook) return;
    if (RecentBook == CurrentBook->FileName) RecentBook.clear();
    if (tmScroll_.Enabled()) {
        tmScroll_.SetEnabled(false);
        status_.AutoScrollStopped();
    }
    CurrentBook.reset();
    Contents.clear();
    BookChanged();
    PageLines.clear();
    CurDocument = CurWindow = 0;
    RestorePosition = NextPageRequested = PrevPageRequested = false;
    view_.Clear();
    status_.ShowNote("");
    status_.SetTitlePanel("");
    ProgressPosition = LastPercent = 0;
    status_.RepaintProgress(0);
    status_.ShowPlace({});
}

void ReadingSession::KeepPlace() {
    if (!CurrentBook) return;
    // The paragraph at the top edge (or the one read aloud): rendered again,
    // the page starts with it.
    if (SpokenParagraph > 0) {
        CurrentBook->LastParagraph = SpokenParagraph;
        CurrentBook->LastCharacter = 0;
    } else if (TopParagraph > 0) {
        CurrentBook->LastParagraph = TopParagraph;
        CurrentBook->LastCharacter = TopCharacter;
    }
}

void ReadingSession::ApplyCharset(const std::string& charset) {
    if (!CurrentBook) return;
    CurrentBook->SetProperty("Charset", charset);
    // Letters read in another charset may be of another alphabet.
    LineList page;
    CurrentBook->ExtractPage(CurrentBook->LastPage, page);
    DecideLanguage(page);
    KeepPlace();
    RenderInPlace();
}

void ReadingSession::DecideLanguage(const LineList& page) {
    LineList text;
    text.reserve(page.size());
    for (const auto& line : page) {
        int32_t n = 0;
        text.emplace_back(TextOfBodyLine(line, n));
    }
    const std::string language =
        TextLanguage(text, CodePageOf(CurrentBook->GetProperty("Charset")));
    if (language != CurrentBook->GetProperty("Language"))
        CurrentBook->SetProperty("Language", language);
}

void ReadingSession::RenderInPlace() {
    if (!CurrentBook) return;
    RestorePosition = true;
    LoadPage();
}

void ReadingSession::Close(const std::function<void(const std::string&)>& reportError) {
    tmScroll_.SetEnabled(false);
    tmProgress_.SetEnabled(false);
    try {
        if (CurrentBook && SpokenParagraph > 0) CurrentBook->LastParagraph = SpokenParagraph;
        HeaderJournal journal(HeaderJournalPath());
        if (CurrentBook) CurrentBook->SavePosition(&journal);
    } catch (const std::exception& e) {
        reportError(e.what());
    }
    try {
        SaveOptions();
    } catch (const std::exception& e) {
        reportError(e.what());
    }
    PageLines.clear();
    CurrentBook.reset();
    Contents.clear();
    BookChanged();
    FreeOptionList();
}

void ReadingSession::ShowPage(int32_t page, Arrival arrival, int32_t paragraph) {
    // The page becomes the book's only once it is built: a page that cannot be
    // (a full disk, a damaged book) leaves the reader where it was.
    const int32_t was = CurrentBook->LastPage;
    arrival_ = arrival;
    arrivalParagraph_ = paragraph;
    RestorePosition = false;
    try {
        if (!TurnToPreloaded(page, arrival)) {
            CurrentBook->LastPage = page;
            RenderPage();
        }
    } catch (...) {
        CurrentBook->LastPage = was;
        arrival_ = Arrival::Top;
        throw;
    }
    hitParagraph_ = 0;  // a search goes on from wherever the reader now is
    // The position is the new page's at once, not when the probe next looks.
    const int32_t first = paragraph > 0 ? paragraph : CurrentBook->FirstParagraphOfPage(page);
    if (first > 0) {
        CurrentBook->LastParagraph = first;
        TopParagraph = first;
    }
    CurrentBook->LastCharacter = TopCharacter = 0;
    ReportPlace();
}

void ReadingSession::ReportPlace() {
    if (!CurrentBook) return;
    ReadingPlace place;
    place.Title = DisplayTitle(*CurrentBook);
    if (place.Title == CurrentBook->FileName && place.Title.size() > 5)
        place.Title.resize(place.Title.size() - 5);
    const int h = CurrentHeading();
    if (h >= 0)
        place.Heading =
            ToUtf8(Contents[size_t(h)].Text, CodePageOf(CurrentBook->GetProperty("Charset")));
    place.Page = CurrentBook->LastPage;
    place.Pages = std::max(CurrentBook->GetIntProperty("PagesCount"), 0);
    // Percent and page from one measure: where the position lies among the pages.
    place.Percent = Percent();
    // Time left: to the next heading (or the end), and to the end.
    const double at = Place(), size = double(CurrentBook->BodySize());
    if (at >= 0) {
        place.MinutesLeftInBook = pace_.MinutesFor((1 - at) * size);
        if (h >= 0) place.MinutesLeftInChapter = pace_.MinutesFor((EndOfHeading(h) - at) * size);
    }
    status_.ShowPlace(place);
}

int32_t ReadingSession::ParagraphOfId(const std::string& id) {
    if (id.size() <= 3 || id.compare(0, 3, "par") != 0) return -1;
    int32_t n = -1;
    if (!TryDecimalToInt(std::string_view(id).substr(3), n)) return -1;
    return n;
}

void ReadingSession::AskTopParagraph(std::function<void(int32_t)> answer) {
    if (!CurDocument) return answer(-1);
    const uint64_t asked = ++probeSerial_;
    const uint64_t book = bookSerial_, doc = CurDocument;
    probeAsked_ = asked;
    probeTicks_ = 0;
    std::weak_ptr<char> alive = alive_;
    view_.AskIds(view_.ViewWidth() / 2, ProbeY,
                 [this, alive, asked, book, doc, answer](bool ok, const std::string& atPoint,
                                                         const std::string& atTop,
                                                         int32_t topCharacter, int32_t scrollTop) {
                     if (alive.expired()) return;
                     if (probeAsked_ == asked) probeAsked_ = 0;
                     // The book it was asked of is gone: void. The page was replaced, or
                     // a new one is on its way (the view may still answer of the old
                     // one): the new page is asked once it stands.
                     if (!Alive(book)) return;
                     if (doc != CurDocument || loading_)
                         return WhenShown([this, answer] { AskTopParagraph(answer); });
                     if (int32_t top = ParagraphOfId(atTop); top > 0) {
                         TopParagraph = top;
                         TopCharacter = topCharacter;
                         TopScroll = scrollTop;
                         TopFirstPage = FirstShown();
                         TopLastPage = LastShown();
                     }
                     answer(ok ? ParagraphOfId(atPoint) : -1);
                 });
}

void ReadingSession::GotoParagraph(int32_t n, int32_t character) {
    view_.ScrollParagraphIntoView("par" + IntToStr(n), character);
}

void ReadingSession::PageLoaded() {
    CurDocument = view_.Document();
    CurWindow = CurDocument;
    probeAsked_ = 0;
    loading_ = false;
    if (RestorePosition && CurrentBook) {
        GotoParagraph(CurrentBook->LastParagraph, CurrentBook->LastCharacter);
    } else if (arrival_ == Arrival::Paragraph && CurrentBook) {
        GotoParagraph(arrivalParagraph_);
        if (!highlight_.empty())
            view_.Highlight("par" + IntToStr(arrivalParagraph_), highlight_, highlightNth_);
    } else if (arrival_ == Arrival::Bottom) {
        view_.ScrollToBottom();
    }
    RestorePosition = false;
    arrival_ = Arrival::Top;
    highlight_.clear();
    // A new page scrolls on from where it is shown.
    scrollStart_ = lastScrollAt_ = Clock();
    scrolled_ = 0;
    tmProgress_.SetEnabled(true);
    // The pages around it are joined to it, so that the text runs on (a key
    // that waited for the page finds them there).
    if (CurrentBook) {
        const int32_t n = CurrentBook->LastPage;
        joined_ = {};
        joined_.serial = ++joinSerial_;
        joined_.loaded = joined_.first = joined_.last = n;
        joined_.starts[n] = CurrentBook->FirstParagraphOfPage(n);
        KeepPagesJoined();
    }
    auto waiting = std::move(whenShown_);
    whenShown_.clear();
    for (auto& f : waiting) f();
}

void ReadingSession::WhenSettled(std::function<void()> f) {
    if (!Settling()) return f();
    whenSettled_.push_back(std::move(f));
}

void ReadingSession::Settled() {
    if (RestoreScroll.scroll >= 0 && RestoreScroll.first == joined_.first &&
        RestoreScroll.last == joined_.last) {
        view_.ScrollBy(0, INT_MIN / 2);
        view_.ScrollBy(0, RestoreScroll.scroll);
    }
    RestoreScroll = {};
    auto waiting = std::move(whenSettled_);
    whenSettled_.clear();
    for (auto& f : waiting) f();
}

void ReadingSession::WhenShown(std::function<void()> f) {
    if (!loading_) return f();
    whenShown_.push_back(std::move(f));
}

double ReadingSession::Place() {
    // Measured again only when the place changed: a tick that finds the reader
    // where it was reads nothing from the book.
    const PlaceKey key{bookSerial_, CurrentBook->LastPage, CurrentBook->LastParagraph};
    if (key != placeKey_) {
        placeKey_ = key;
        place_ = CurrentBook->PlaceOf(CurrentBook->LastPage, CurrentBook->LastParagraph);
    }
    return place_;
}

int ReadingSession::Percent() {
    const double at = Place();
    return at < 0 ? -1 : std::clamp(int(std::lround(at * 100.0)), 0, 100);
}

double ReadingSession::EndOfHeading(int h) {
    // Looked up once a chapter: its end does not move while it is read.
    const std::pair<uint64_t, int> key{bookSerial_, h};
    if (key != endKey_) {
        endKey_ = key;
        end_ = 1;
        if (h >= 0 && size_t(h + 1) < Contents.size()) {
            const int32_t p = Contents[size_t(h + 1)].Paragraph;
            end_ = CurrentBook->PlaceOf(CurrentBook->PageOfParagraph(p), p);
        }
    }
    return end_;
}

void ReadingSession::RecordParagraph(int32_t cur) {
    const bool spoken = SpokenParagraph > 0;
    if (spoken) cur = SpokenParagraph;
    if (cur < 0 || !CurrentBook) return;
    FollowTop(cur);
    const bool moved = CurrentBook->LastParagraph != cur;
    CurrentBook->LastParagraph = cur;
    CurrentBook->LastCharacter = !spoken && cur == TopParagraph ? TopCharacter : 0;
    if (moved) {
        // The reader's pace, in bytes of the book's text.
        if (const double at = Place(); at >= 0)
            pace_.Note(Clock(), at * double(CurrentBook->BodySize()));
        ReportPlace();
    }
    const int pct = Percent();
    if (pct < 0) return;
    ProgressPosition = pct;
    if (ProgressPosition != LastPercent) {
        LastPercent = ProgressPosition;
        status_.RepaintProgress(ProgressPosition);
    }
}
