#include "book/BookFile.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include "base/Errors.h"
#include "base/Files.h"
#include "book/BodyLines.h"

namespace {

constexpr uint64_t npos = UINT64_MAX;
// Markers of pages the book does not count are kept up to this many.
constexpr size_t MaxOddMarkers = 4096;

std::string Marker(int32_t n) {
    char buf[20];
    return std::string(buf, WritePageMarker(buf, n));
}

}  // namespace

bool IsBareFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

BookFile::BookFile(std::string folder) : folder_(std::move(folder)) {
    SetProperty("Charset", "windows-1252");
    SetProperty("LastPage", "1");
    SetProperty("LastParagraph", "1");
}

std::string BookFile::FullPath() const {
    if (!IsBareFileName(FileName))
        throw EFileError(Fmt(Messages::tr("Cannot open file %s"), folder_ + FileName));
    return folder_ + FileName;
}

void BookFile::ReadBodyText(const std::function<void(std::string_view)>& sink, uint64_t from,
                            uint64_t to) {
    Reading([&] { body_->Read(sink, from, to); });
}

std::string BookFile::BodyBytes(uint64_t at, uint64_t n) {
    return Reading([&] { return body_->Bytes(at, n); });
}

void BookFile::ForEachLine(const std::function<void(std::string_view)>& fn) {
    Reading([&] { body_->ForEachLine(fn); });
}

uint64_t BookFile::BodySize() const {
    return body_->Size();
}

void BookFile::ReadBodyIntoMemory() {
    if (!OnFile()) return;
    LineList lines;
    ForEachLine([&](std::string_view line) { lines.emplace_back(line); });
    body_ = std::make_unique<MemoryBody>(std::move(lines));
    indexed_ = false;
}

const LineList& BookFile::Body() {
    ReadBodyIntoMemory();
    return static_cast<const MemoryBody&>(*body_).Lines();
}

LineList& BookFile::EditBody() {
    ReadBodyIntoMemory();
    indexed_ = false;
    return static_cast<MemoryBody&>(*body_).EditLines();
}

void BookFile::DeleteBookFile() {
    if (::unlink(FullPath().c_str()) != 0)
        throw EFileError(Fmt(Messages::tr("Cannot delete %s"), FileName));
}

std::string BookFile::GetProperty(const std::string& name) const {
    return ValueOf(Properties, name);
}

int32_t BookFile::GetIntProperty(const std::string& name) const {
    if (IndexOfName(Properties, name) < 0) return -1;
    std::string v = GetProperty(name);
    int32_t n = 0;
    if (!TryDecimalToInt(v, n))
        throw EConvertError(
            Fmt(Messages::tr("'%s' is not a valid integer value"), EscapeControls(v)) +
            Fmt(Messages::tr(" (the property %s of the book %s)"), name, EscapeControls(FileName)));
    return n;
}

void BookFile::SetProperty(const std::string& name, const std::string& value) {
    SetValue(Properties, name, value, /*appendEmpty=*/true);
}

void BookFile::CountPagesTo(int32_t pages) {
    SetProperty("PagesCount", IntToStr(pages));
    LastPage = std::min(LastPage, pages);
}

bool BookFile::MarkerAt(uint64_t offset, int32_t n) {
    const std::string m = Marker(n);
    try {
        return body_->Bytes(offset, m.size()) == m;
    } catch (const BodyStore::Unreadable&) {
        return false;
    }
}

void BookFile::IndexPages() {
    const int32_t p = GetIntProperty("PagesCount");
    markers_.assign(p > 0 ? size_t(p) : 0, npos);
    oddMarkers_.clear();
    markerScan_ = false;
    if (TakeStoredIndex(p)) {
        indexed_ = true;
        indexedPages_ = p;
        return;
    }
    ScanForMarkers(p);
    markerScan_ = indexed_ = true;
    // A count of pages beyond the markers the text holds (a crafted or cut
    // book) would show blank pages at its end: the book has as many pages as
    // its last marker says, kept with the next save.
    size_t found = markers_.size();
    while (found > 1 && markers_[found - 1] == npos) --found;
    if (found < markers_.size() && markers_[found - 1] != npos) {
        markers_.resize(found);
        CountPagesTo(int32_t(found));
    }
    // Kept in the book with the next save of the position.
    if (p > 0 && std::find(markers_.begin(), markers_.end(), npos) == markers_.end()) {
        PageIndex.clear();
        for (uint64_t off : markers_) PageIndex.push_back(IntToStr(int64_t(off)));
    }
    indexedPages_ = GetIntProperty("PagesCount");
}

// The index the conversion stored: one offset per page, rising, inside the
// text; false when it is not that.
bool BookFile::TakeStoredIndex(int32_t p) {
    bool stored = p > 0 && PageIndex.size() == size_t(p);
    uint64_t prev = 0;
    for (size_t i = 0; stored && i < PageIndex.size(); ++i) {
        // Digits only, and a number within the text (never one out of range).
        uint64_t v = 0;
        const std::string& l = PageIndex[i];
        const auto [end, err] = std::from_chars(l.data(), l.data() + l.size(), v);
        if (l.empty() || l[0] == '+' || err != std::errc() || end != l.data() + l.size())
            stored = false;
        if (!stored || v >= body_->Size() || (i > 0 && v <= prev)) {
            stored = false;
            break;
        }
        markers_[i] = prev = v;
    }
    // A quick look that it belongs to this text; each page read checks its own ends.
    return stored && MarkerAt(markers_.front(), 1) && MarkerAt(markers_.back(), p);
}

void BookFile::ScanForMarkers(int32_t p) {
    // One pass over the text, in pieces: the first occurrence of every marker.
    // Lines may end in CR LF, LF or CR alike: a page is the bytes between its
    // markers, split into lines as any text is. A NUL byte has no place in a
    // book's text: such a book is damaged (it would be read short).
    std::fill(markers_.begin(), markers_.end(), npos);
    uint64_t base = 0;              // body offset of text[0]
    std::string pending;            // a '<' too near the end of a piece to be read yet
    constexpr size_t longest = 17;  // "<Page-2147483648>"
    auto scan = [&](std::string_view text, bool final) {
        size_t from = 0;
        while (const void* hit = std::memchr(text.data() + from, '<', text.size() - from)) {
            size_t c = size_t(static_cast<const char*>(hit) - text.data());
            if (!final && text.size() - c < longest) {
                pending.assign(text.substr(c));
                base += c;
                return;
            }
            from = c + 1;
            int32_t n;
            if (text.compare(c, 5, "<Page") != 0 || !PageMarkerAt(text, c, n)) continue;
            if (n >= 1 && n <= p) {
                if (markers_[size_t(n - 1)] == npos) markers_[size_t(n - 1)] = base + c;
            } else if (oddMarkers_.size() < MaxOddMarkers) {
                oddMarkers_.emplace(n, base + c);
            }
        }
        pending.clear();
        base += text.size();
    };
    ReadBodyText([&](std::string_view piece) {
        if (std::memchr(piece.data(), '\0', piece.size())) throw EBookDamaged::Of(FullPath());
        if (pending.empty()) {
            scan(piece, false);
        } else {
            std::string text = pending + std::string(piece);
            scan(text, false);
        }
    });
    if (!pending.empty()) {
        std::string text = pending;
        scan(text, true);
    }
}

bool BookFile::Indexed() {
    // A page count set since (a book being made or edited) asks for another index.
    return indexed_ && indexedPages_ == GetIntProperty("PagesCount");
}

uint64_t BookFile::MarkerOf(int32_t n) {
    if (!Indexed()) IndexPages();
    const int32_t p = GetIntProperty("PagesCount");
    if (n >= 1 && n <= p) return markers_[size_t(n - 1)];
    if (!markerScan_) {
        indexed_ = false;
        PageIndex.clear();
        IndexPages();
    }
    auto it = oddMarkers_.find(n);
    return it == oddMarkers_.end() ? npos : it->second;
}

void BookFile::ExtractPage(int32_t n, LineList& lines) {
    const int32_t p = GetIntProperty("PagesCount");
    lines.clear();
    // The page runs from just after its marker to just before the next page's
    // marker (or to the end of the text for the last page). A missing marker
    // gives an empty page.
    uint64_t start = MarkerOf(n);
    if (start == npos) return;
    uint64_t end = body_->Size();
    if (n < p) {
        if (n == INT32_MAX) return;
        end = MarkerOf(n + 1);
        if (end == npos) return;
    }
    if (!markerScan_ && (!MarkerAt(start, n) || (n < p && !MarkerAt(end, n + 1)))) {
        // The stored index does not fit this text: search it once.
        indexed_ = false;
        PageIndex.clear();
        IndexPages();
        return ExtractPage(n, lines);
    }
    start += Marker(n).size();
    if (end <= start) return;
    // The conversion makes pages of some 16 to 32 KB; a larger one was made
    // elsewhere, and shown whole it would take the reader gigabytes.
    if (end - start > MaxPageBytes)
        throw ETextRefused(Fmt(Messages::tr("Page %s of the book %s is too large to be shown: "
                                            "choose its paragraphs again (Books, Paragraphs) to "
                                            "cut it into pages"),
                               IntToStr(n), FileName));
    const std::string text = Reading([&] { return body_->Bytes(start, end - start); });
    if (text.size() != end - start) throw EBookDamaged::Of(FullPath());
    SplitText(text, lines);
}

uint64_t BookFile::PageOffset(int32_t n) {
    if (!Indexed()) IndexPages();
    const int32_t p = GetIntProperty("PagesCount");
    return n >= 1 && n <= p && markers_[size_t(n - 1)] != npos ? markers_[size_t(n - 1)] : 0;
}

int32_t BookFile::FirstParagraphOfPage(int32_t n) {
    // The tag right after the page's marker.
    const uint64_t at = PageOffset(n);
    if (at == 0 && n != 1) return 0;
    std::string head;
    try {
        head = body_->Bytes(at, 64);
    } catch (const BodyStore::Unreadable&) {
        return 0;
    }
    const std::string marker = Marker(n);
    if (head.compare(0, marker.size(), marker) != 0) return 0;
    std::string_view cls;
    size_t textAt = 0;
    return ParagraphTagOf(head, cls, textAt);
}

int32_t BookFile::PageOfParagraph(int32_t n) {
    // Pages begin with rising paragraph numbers: the last page beginning at or
    // before n holds it.
    int32_t lo = 1, hi = GetIntProperty("PagesCount");
    if (hi < 1) return 1;
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo + 1) / 2;
        const int32_t first = FirstParagraphOfPage(mid);
        if (first > 0 && first <= n)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

int BookFile::PositionPercent() {
    const double at = PlaceOf(LastPage, LastParagraph);
    return at < 0 ? -1 : std::clamp(int(std::lround(at * 100.0)), 0, 100);
}

double BookFile::PlaceOf(int32_t onPage, int32_t paragraph) {
    const int32_t pages = GetIntProperty("PagesCount");
    if (pages < 1) return -1;
    const int32_t page = std::clamp(onPage, 1, pages);
    // Within the page: by paragraphs, from its first to the next page's first
    // (on the last page, to the last paragraph: the book's end is 100%).
    double within = 0;
    const int32_t first = FirstParagraphOfPage(page);
    const int32_t next =
        page < pages ? FirstParagraphOfPage(page + 1) : GetIntProperty("TotalParagraphs");
    if (first > 0 && next > first)
        within = std::clamp(double(paragraph - first) / double(next - first), 0.0, 1.0);
    else if (page == pages && first > 0 && paragraph >= next)
        within = 1;
    return std::clamp((page - 1 + within) / pages, 0.0, 1.0);
}

int32_t BookFile::ParagraphAtPercent(double percent) {
    const int32_t pages = GetIntProperty("PagesCount");
    const int32_t total = GetIntProperty("TotalParagraphs");
    percent = std::clamp(percent, 0.0, 100.0);
    if (pages < 1) return std::max(1, int32_t(std::lround(percent / 100.0 * std::max(total, 0))));
    // PositionPercent turned round: the page, then the part of it.
    const double at = percent / 100.0 * pages;
    const int32_t page = std::clamp(int32_t(at) + 1, 1, pages);
    const int32_t first = FirstParagraphOfPage(page);
    const int32_t next = page < pages ? FirstParagraphOfPage(page + 1) : total;
    if (first < 1) return 1;
    if (next <= first) return first;
    const int32_t n = first + int32_t(std::lround((at - (page - 1)) * (next - first)));
    // The next page's first paragraph belongs to the next page, except at the end.
    return std::min(n, page < pages ? next - 1 : next);
}

void BookFile::NextPage(LineList& lines) {
    if (LastPage < GetIntProperty("PagesCount")) {
        ++LastPage;
        ExtractPage(LastPage, lines);
    }
}

void BookFile::PrevPage(LineList& lines) {
    if (LastPage > 1) {
        --LastPage;
        ExtractPage(LastPage, lines);
    }
}
