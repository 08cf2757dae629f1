// The reading session going to places: a paragraph, a percent, a text found.
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

void ReadingSession::ShowParagraph(int32_t n) {
    if (!CurrentBook) return;
    const int32_t total = CurrentBook->GetIntProperty("TotalParagraphs");
    n = std::max(1, total > 0 ? std::min(n, total) : n);
    const int32_t page = CurrentBook->PageOfParagraph(n);
    if (Shows(page)) {
        // In the document shown: scroll, no render.
        CurrentBook->LastPage = page;
        GotoParagraph(n);
        if (!highlight_.empty()) view_.Highlight("par" + IntToStr(n), highlight_, highlightNth_);
        highlight_.clear();
        CurrentBook->LastParagraph = TopParagraph = n;
        CurrentBook->LastCharacter = TopCharacter = 0;
        ReportPlace();
        KeepPagesJoined();
        Jumped();
        return;
    }
    ShowPage(page, Arrival::Paragraph, n);
    Jumped();
}

void ReadingSession::ShowEnd() {
    if (!CurrentBook) return;
    const int32_t total = std::max(CurrentBook->GetIntProperty("TotalParagraphs"), 0);
    const int32_t page = total > 0 ? CurrentBook->PageOfParagraph(total)
                                   : std::max(CurrentBook->GetIntProperty("PagesCount"), 1);
    if (Shows(page) && page == LastShown()) {
        CurrentBook->LastPage = page;
        view_.ScrollToBottom();
        if (total > 0) CurrentBook->LastParagraph = TopParagraph = total;
        CurrentBook->LastCharacter = TopCharacter = 0;
        ReportPlace();
        KeepPagesJoined();
    } else {
        ShowPage(page, Arrival::Bottom, total);
    }
    Jumped();
}

void ReadingSession::ShowText(int32_t n, const std::u16string& text) {
    if (!CurrentBook) return;
    const int32_t page = CurrentBook->PageOfParagraph(n);
    if (page == CurrentBook->LastPage && loading_ && arrival_ == Arrival::Paragraph) {
        // The page is on its way: the mark waits for it.
        arrivalParagraph_ = n;
        highlight_ = text;
        return;
    }
    if (Shows(page)) {
        view_.Highlight("par" + IntToStr(n), text);
        if (CurrentBook->LastParagraph != n || CurrentBook->LastPage != page) {
            CurrentBook->LastPage = page;
            CurrentBook->LastParagraph = n;
            ReportPlace();
            KeepPagesJoined();
        }
        return;
    }
    highlight_ = text;
    ShowPage(page, Arrival::Paragraph, n);
}

void ReadingSession::ClearMark() {
    if (CurWindow && !loading_) view_.Highlight("", u"");
}

void ReadingSession::GoToPercent(double percent) {
    if (!CurrentBook) return;
    ShowParagraph(CurrentBook->ParagraphAtPercent(percent));
}

bool ReadingSession::GoTo(const std::string& where) {
    std::string w = where;
    while (!w.empty() && w.back() == ' ') w.pop_back();
    while (!w.empty() && w.front() == ' ') w.erase(0, 1);
    // What went wrong is said in a few words, to fit the status bar.
    const std::string bad = Messages::tr("Go to: a percent (50%) or a paragraph number");
    if (!w.empty() && w.back() == '%') {
        w.pop_back();
        char* end = nullptr;
        const double p = std::strtod(w.c_str(), &end);
        if (w.empty() || *end || p < 0 || p > 100) {
            status_.ShowNote(bad);
            return false;
        }
        status_.ShowNote("");
        GoToPercent(p);
        return true;
    }
    int32_t n = 0;
    if (!TryDecimalToInt(w, n) || n < 1) {
        status_.ShowNote(bad);
        return false;
    }
    const int32_t total = CurrentBook ? CurrentBook->GetIntProperty("TotalParagraphs") : 0;
    status_.ShowNote(
        total > 0 && n > total
            ? Fmt(Messages::tr("The book has %d paragraphs: the last is shown"), IntToStr(total))
            : std::string());
    ShowParagraph(n);
    return true;
}

bool ReadingSession::Find(const std::string& text, bool forward) {
    if (!CurrentBook || text.empty()) return false;
    if (text != searchText_) {
        searchText_ = text;
        hitParagraph_ = 0;
    }
    const TextMatcher matcher(text, CurrentBook->GetProperty("Charset"));
    const int32_t from = hitParagraph_
                             ? hitParagraph_
                             : (TopParagraph > 0 ? TopParagraph : CurrentBook->LastParagraph);
    const uint64_t offset = hitParagraph_ ? hitOffset_ : UINT64_MAX;
    SearchHit hit;
    const bool found = forward
                           ? FindNext(*CurrentBook, matcher, std::max(from, 1), offset, hit)
                           : FindPrevious(*CurrentBook, matcher, std::max(from, 1), offset, hit);
    if (!found) {
        status_.ShowNote(Messages::tr("Not found"));
        view_.Highlight("", u"");  // the last hit is no longer marked
        return false;
    }
    // A search that went past the book's end (or start) and on from the other says so.
    const int32_t at = std::max(from, 1);
    const bool wrapped =
        forward ? !(hit.Paragraph > at ||
                    (hit.Paragraph == at && (offset == UINT64_MAX || hit.Offset > offset)))
                : !(hit.Paragraph < at ||
                    (hit.Paragraph == at && offset != UINT64_MAX && hit.Offset < offset));
    status_.ShowNote(!wrapped  ? std::string()
                     : forward ? Messages::tr("Passed the end: found from the start")
                               : Messages::tr("Passed the start: found from the end"));
    ShowHit(text, hit, HitsBefore(matcher, hit));
    return true;
}

void ReadingSession::ShowHit(const std::string& text, const SearchHit& hit, int nth) {
    if (!CurrentBook) return;
    searchText_ = text;
    highlight_ = Utf8ToUtf16(text);
    highlightNth_ = nth;
    ShowParagraph(hit.Paragraph);
    hitParagraph_ = hit.Paragraph;
    hitOffset_ = hit.Offset;
}

int ReadingSession::HitsBefore(const TextMatcher& matcher, const SearchHit& hit) {
    // From the page the paragraph is on (a paragraph never spans two).
    int before = 0;
    const uint64_t from = CurrentBook->PageOffset(CurrentBook->PageOfParagraph(hit.Paragraph));
    matcher.Scan(*CurrentBook, from, [&](const SearchHit& h) {
        if (h.Paragraph > hit.Paragraph || h.Offset >= hit.Offset) return false;
        before += h.Paragraph == hit.Paragraph;
        return true;
    });
    return before;
}

bool ReadingSession::FindAgain(bool forward) {
    return !searchText_.empty() && Find(searchText_, forward);
}

int ReadingSession::CurrentHeading() const {
    return CurrentBook ? HeadingOf(CurrentBook->LastParagraph) : -1;
}

int ReadingSession::HeadingOf(int32_t at) const {
    if (Contents.empty()) return -1;
    auto it = std::upper_bound(Contents.begin(), Contents.end(), at,
                               [](int32_t p, const Heading& h) { return p < h.Paragraph; });
    return int(it - Contents.begin()) - 1;
}
