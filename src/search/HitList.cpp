#include "search/HitList.h"

#include <algorithm>

#include "book/BodyLines.h"

HitList::HitList(BookFile& book, const std::string& text)
    : book_(book),
      text_(text),
      matcher_(text, book.GetProperty("Charset")),
      page_(CodePageOf(book.GetProperty("Charset"))),
      pages_(matcher_.Valid() ? std::max(book.GetIntProperty("PagesCount"), 1) : 0) {}

bool HitList::ScanOn(int32_t pages, std::vector<ListedHit>& found) {
    if (Finished()) return false;
    // From one page's marker to another's: a paragraph, and so a hit, never
    // lies across a page's end.
    const int32_t end = std::min(pages_ + 1, next_ + std::max(pages, 1));
    const uint64_t from = next_ == 1 ? 0 : book_.PageOffset(next_);
    const uint64_t to = end > pages_ ? UINT64_MAX : book_.PageOffset(end);
    matcher_.Scan(
        book_, from,
        [&](const SearchHit& h) {
            nth_ = h.Paragraph == last_.Paragraph ? nth_ + 1 : 0;
            last_ = h;
            found.push_back({h, nth_, ContextOf(h)});
            return true;
        },
        to);
    next_ = end;
    return !Finished();
}

double HitList::Done() const {
    return pages_ ? std::min(1.0, double(next_ - 1) / pages_) : 1.0;
}

std::string HitList::ContextOf(const SearchHit& hit) {
    // Some words either side, within the hit's paragraph: its lines run from
    // the line that begins with its tag to the next line that begins with a tag.
    constexpr uint64_t Before = 90, After = 150;
    const uint64_t from = hit.Offset > Before ? hit.Offset - Before : 0;
    const std::string raw = book_.BodyBytes(from, Before + After);
    const size_t at = std::min(size_t(hit.Offset - from), raw.size());
    size_t begin = 0;
    bool cutBefore = from > 0;
    for (size_t i = at; i > 0; --i)
        if (raw[i - 1] == '\n' && i < raw.size() && raw[i] == '<') {
            begin = i;
            cutBefore = false;
            break;
        }
    size_t end = raw.find("\n<", at);
    const bool cutAfter = end == std::string::npos && from + raw.size() < book_.BodySize();
    if (end == std::string::npos) end = raw.size();
    std::string_view text(raw.data() + begin, end - begin);
    if (!cutBefore) {
        int32_t n = 0;
        text = TextOfBodyLine(text, n);
    }
    const size_t hitAt = size_t(raw.data() + at - text.data());
    // A cut end may fall inside a mark, a reference or a letter: the text
    // begins after the first blank (or the cut mark's end) and ends before the last.
    if (cutBefore) {
        const std::string_view head = text.substr(0, hitAt);
        const size_t gt = head.rfind('>'), lt = head.rfind('<');
        size_t skip = gt != std::string_view::npos && (lt == std::string_view::npos || lt < gt)
                          ? gt + 1
                          : head.find(' ');
        if (skip == std::string_view::npos) skip = 0;
        text.remove_prefix(skip);
    }
    if (cutAfter) {
        const size_t blank = text.rfind(' ');
        if (blank != std::string_view::npos && blank > hitAt) text = text.substr(0, blank);
    }
    const size_t open = text.rfind('<');
    if (open != std::string_view::npos && text.find('>', open) == std::string_view::npos)
        text = text.substr(0, open);
    std::string shown;
    AppendShownText(shown, text);
    const std::string utf8 = ToUtf8(shown, page_);
    // One line, blanks as single spaces.
    std::string out;
    for (char c : utf8) {
        const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
        if (blank && (out.empty() || out.back() == ' ')) continue;
        out += blank ? ' ' : c;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return (cutBefore ? "… " : "") + out + (cutAfter ? " …" : "");
}
