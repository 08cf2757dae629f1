#include "search/TextMatcher.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "book/BodyLines.h"
#include "text/Charsets.h"

namespace {

bool Blank(char32_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0xA0;
}

// The folded form of a two-byte UTF-8 sequence; false when it folds to itself.
bool FoldPair(unsigned char lead, unsigned char trail, unsigned char& l2, unsigned char& t2) {
    char32_t c = char32_t((lead & 0x1F) << 6 | (trail & 0x3F));
    char32_t f = FoldCase(c);
    if (f == c) return false;
    l2 = static_cast<unsigned char>(0xC0 | (f >> 6));
    t2 = static_cast<unsigned char>(0x80 | (f & 0x3F));
    return true;
}

}  // namespace

TextMatcher::TextMatcher(const std::string& text, const std::string& charset) {
    const CodePage cp = CodePageOf(charset);
    utf8_ = cp == CodePage::Utf8;
    MakeFolding(cp);
    if (!MakeNeedle(text, cp)) return;
    MakeSkipTables();
    if (utf8_) MakePairTables();
    if (!needle_.empty()) MakeQuickPass();
    fail_.assign(needle_.size(), 0);
    for (size_t i = 1, k = 0; i < needle_.size(); ++i) {
        while (k > 0 && needle_[i] != needle_[k]) k = fail_[k - 1];
        if (needle_[i] == needle_[k]) ++k;
        fail_[i] = k;
    }
}

void TextMatcher::MakeFolding(CodePage cp) {
    for (int b = 0; b < 256; ++b) {
        unsigned char out = static_cast<unsigned char>(b);
        if (b < 0x80 || !utf8_) {
            std::string one(1, char(b));
            size_t i = 0;
            char32_t c = DecodeChar(one, i, utf8_ ? CodePage::Win1252 : cp);
            if (Blank(c)) {
                out = ' ';
            } else if (!EncodeChar(FoldCase(c), utf8_ ? CodePage::Win1252 : cp, out) ||
                       (utf8_ && b >= 0x80)) {
                out = static_cast<unsigned char>(b);
            }
        }
        fold_[b] = out;
    }
}

// The needle, written as the book writes its text, folded, blanks collapsed;
// false when a character of it has no place in the book's charset.
bool TextMatcher::MakeNeedle(const std::string& text, CodePage cp) {
    std::string needle;
    bool lastBlank = false;
    for (size_t i = 0; i < text.size();) {
        char32_t c = FoldCase(DecodeChar(text, i, CodePage::Utf8));
        if (Blank(c)) {
            if (!lastBlank && !needle.empty()) needle += ' ';
            lastBlank = true;
            continue;
        }
        lastBlank = false;
        if (utf8_) {
            AppendUtf8(needle, c);
        } else {
            unsigned char b;
            if (!EncodeChar(c, cp, b)) return false;  // no such character in this book
            needle += char(fold_[b]);
        }
    }
    while (!needle.empty() && needle.back() == ' ') needle.pop_back();
    needle_ = needle;
    return true;
}

void TextMatcher::MakeSkipTables() {
    // A byte that is plain text or a blank (no tag, no reference, no letter of
    // two bytes to fold) and folds to something else than the needle's first
    // (which is never a blank).
    for (int b = 0; b < 256; ++b) {
        const bool special = b == '<' || b == '&' || (utf8_ && IsLead(b));
        skip_[b] =
            !needle_.empty() && !special && fold_[b] != static_cast<unsigned char>(needle_[0]);
        plain_[b] = !special;
        pairOf_[b] = -1;
    }
}

void TextMatcher::MakePairTables() {
    for (int l = 0; l < Leads; ++l) {
        const auto lead = static_cast<unsigned char>(FirstLead + l);
        pairOf_[lead] = l;
        for (int t = 0; t < 64; ++t) {
            unsigned char l2 = lead, t2 = static_cast<unsigned char>(0x80 + t);
            if (l2 == 0xC2 && t2 == 0xA0) {
                pair_[l][t] = 0;
                continue;
            }
            FoldPair(lead, static_cast<unsigned char>(0x80 + t), l2, t2);
            pair_[l][t] = uint16_t(l2 << 8 | t2);
        }
    }
    if (needle_.empty()) return;
    const auto n0 = static_cast<unsigned char>(needle_[0]);
    const int n1 = needle_.size() > 1 ? static_cast<unsigned char>(needle_[1]) : -1;
    for (int l = 0; l < Leads; ++l)
        for (int t = 0; t < 64; ++t) {
            const uint16_t f = pair_[l][t];
            pairSkip_[l][t] = f == 0                                              ? 2
                              : ((f >> 8) != n0 || (n1 >= 0 && (f & 0xFF) != n1)) ? 1
                                                                                  : 0;
        }
}

void TextMatcher::MakeQuickPass() {
    // The quick pass: the bytes a match can begin with, and the second
    // character's after them.
    const auto n0 = static_cast<unsigned char>(needle_[0]);
    auto variants = [&](size_t at, unsigned char* keys, int& count) {
        count = 0;
        const auto c = static_cast<unsigned char>(needle_[at]);
        if (c == ' ' || c == '<' || c == '>' || c == '&') return 0;
        if (utf8_ && c >= 0x80) {
            // A two-byte letter: the trail bytes of its cases (their leads checked after).
            if (at + 1 >= needle_.size()) return 0;
            const uint16_t pair = uint16_t(c << 8 | static_cast<unsigned char>(needle_[at + 1]));
            for (int l = 0; l < Leads; ++l)
                for (int t = 0; t < 64; ++t)
                    if (pair_[l][t] == pair) {
                        const auto key = static_cast<unsigned char>(0x80 + t);
                        if (std::find(keys, keys + count, key) != keys + count) continue;
                        if (count == 4) return count = 0, 0;
                        keys[count++] = key;
                    }
            return count ? 2 : 0;
        }
        for (int b = 0; b < 256; ++b) {
            if (fold_[b] != c || b == '<' || b == '&' || (utf8_ && b >= 0x80)) continue;
            if (count == 4) return count = 0, 0;
            keys[count++] = static_cast<unsigned char>(b);
        }
        return count ? 1 : 0;
    };
    const int firstLength = variants(0, keyA_, nA_);
    if (firstLength == 2) firstPair_ = uint16_t(n0 << 8 | static_cast<unsigned char>(needle_[1]));
    if (nA_ && size_t(firstLength) < needle_.size()) {
        const int secondLength = variants(size_t(firstLength), keyB_, nB_);
        dB_ = secondLength;  // the second character's last byte, after the first's
    }
}

size_t TextMatcher::NextStop(const unsigned char* bytes, size_t i, size_t n) const {
    const size_t reach = nB_ ? size_t(dB_) : 0;  // the bytes looked at after a candidate
    auto stopsAt = [&](size_t p) {
        const unsigned char b = bytes[p];
        if (b == '<' || b == '&') return true;
        if (std::find(keyA_, keyA_ + nA_, b) == keyA_ + nA_) return false;
        // The second character beyond the piece: looked at when it comes.
        return !nB_ || p + reach >= n ||
               std::find(keyB_, keyB_ + nB_, bytes[p + reach]) != keyB_ + nB_;
    };
#if defined(__SSE2__)
    const __m128i lt = _mm_set1_epi8('<'), amp = _mm_set1_epi8('&');
    __m128i a[4], b[4];
    for (int k = 0; k < 4; ++k) {
        a[k] = _mm_set1_epi8(char(keyA_[k < nA_ ? k : 0]));
        b[k] = _mm_set1_epi8(char(keyB_[k < nB_ ? k : 0]));
    }
    while (i + 16 + reach <= n) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        __m128i ma = _mm_cmpeq_epi8(c, a[0]);
        for (int k = 1; k < nA_; ++k) ma = _mm_or_si128(ma, _mm_cmpeq_epi8(c, a[k]));
        if (nB_) {
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i + reach));
            __m128i mb = _mm_cmpeq_epi8(d, b[0]);
            for (int k = 1; k < nB_; ++k) mb = _mm_or_si128(mb, _mm_cmpeq_epi8(d, b[k]));
            ma = _mm_and_si128(ma, mb);
        }
        ma = _mm_or_si128(ma, _mm_or_si128(_mm_cmpeq_epi8(c, lt), _mm_cmpeq_epi8(c, amp)));
        if (const int mask = _mm_movemask_epi8(ma))
            return i + size_t(__builtin_ctz(unsigned(mask)));
        i += 16;
    }
#endif
    for (; i < n; ++i)
        if (stopsAt(i)) return i;
    return n;
}

// One scan's state. The body text streams by in pieces; each byte is read as
// the reader sees it (tags give paragraph numbers and are no text, references
// are their characters, letters folded) and fed to the needle's automaton.
class TextMatcher::Scanner {
  public:
    Scanner(const TextMatcher& m, uint64_t from, const std::function<bool(const SearchHit&)>& hit)
        : m_(&m), hit_(&hit), ring_(m.needle_.size()), offset_(from) {}
    // The hit callback said no more.
    bool Stopped() const { return stop_; }
    // The state is worked on in a copy of the scanner's own: nothing else can
    // reach it, so the compiler keeps it in registers across the piece.
    void Feed(std::string_view piece) {
        Scanner s = std::move(*this);
        s.Read(piece);
        *this = std::move(s);
    }

  private:
    struct MatchStart {
        uint64_t offset;
        int32_t paragraph;
    };
    // The hot path, one byte at a time: kept in the loop that calls it.
    [[gnu::always_inline]] void Emit(unsigned char b, uint64_t at);
    // A byte of plain text (no tag, no reference).
    [[gnu::always_inline]] void Plain(unsigned char b, uint64_t at);
    void FlushLead();
    // No match under way, no tag, reference or letter half read.
    bool Between() const { return k_ == 0 && !inTag_ && lead_ < 0 && entity_.empty(); }
    // Between matches, the bytes that can neither begin one nor change the
    // state are passed over at once: the place after them (i when none).
    [[gnu::always_inline]] size_t PassToStop(const unsigned char* bytes, size_t i, size_t n);
    [[gnu::always_inline]] size_t PassUnmatchable(const unsigned char* bytes, size_t i, size_t n);
    [[gnu::always_inline]] void EndTag();
    // Takes b into the reference being read; false when b is still to be read.
    [[gnu::always_inline]] bool TakeIntoReference(unsigned char b);
    void Read(std::string_view piece);

    const TextMatcher* m_;
    const std::function<bool(const SearchHit&)>* hit_;
    std::vector<MatchStart> ring_;
    uint64_t emitted_ = 0;
    size_t k_ = 0;  // the needle's bytes matched so far
    int32_t paragraph_ = 0;
    bool lastBlank_ = true, stop_ = false;
    std::string tag_, entity_;
    bool inTag_ = false;
    uint64_t entityAt_ = 0;
    int lead_ = -1;  // UTF-8: the lead byte of a letter whose trail is to come
    uint64_t leadAt_ = 0;
    uint64_t offset_;
};

inline void TextMatcher::Scanner::Emit(unsigned char b, uint64_t at) {
    if (b == ' ') {
        if (lastBlank_) return;
        lastBlank_ = true;
    } else {
        lastBlank_ = false;
    }
    const size_t m = m_->needle_.size();
    ring_[emitted_ % m] = {at, paragraph_};
    ++emitted_;
    while (k_ > 0 && static_cast<unsigned char>(m_->needle_[k_]) != b) k_ = m_->fail_[k_ - 1];
    if (static_cast<unsigned char>(m_->needle_[k_]) == b) ++k_;
    if (k_ == m) {
        const MatchStart& s = ring_[(emitted_ - m) % m];
        if (!(*hit_)({s.paragraph, s.offset})) stop_ = true;
        k_ = m_->fail_[k_ - 1];
    }
}

inline void TextMatcher::Scanner::Plain(unsigned char b, uint64_t at) {
    if (m_->utf8_) {
        if (lead_ >= 0) {
            unsigned char l2, t2;
            const auto l = static_cast<unsigned char>(lead_);
            lead_ = -1;
            if (l == 0xC2 && b == 0xA0) return Emit(' ', leadAt_);
            if (FoldPair(l, b, l2, t2)) {
                Emit(l2, leadAt_);
                return Emit(t2, at);
            }
            Emit(l, leadAt_);
            // b may begin a pair of its own
        }
        if (m_->IsLead(b)) {
            lead_ = b;
            leadAt_ = at;
            return;
        }
    }
    Emit(m_->fold_[b], at);
}

void TextMatcher::Scanner::FlushLead() {
    if (lead_ >= 0) {
        Emit(static_cast<unsigned char>(lead_), leadAt_);
        lead_ = -1;
    }
}

inline size_t TextMatcher::Scanner::PassToStop(const unsigned char* bytes, size_t i, size_t n) {
    // No match begins before the next stop: a letter of two bytes is met at
    // its lead, which must be the first's own.
    size_t j = i;
    for (;;) {
        j = m_->NextStop(bytes, j, n);
        if (j < n && bytes[j] == '<') {
            // A tag whole in the piece is read at once: a paragraph's tag gives
            // the paragraph of what follows.
            const auto* close = static_cast<const unsigned char*>(
                std::memchr(bytes + j, '>', std::min<size_t>(n - j, 64)));
            if (!close) break;
            const size_t end = size_t(close - bytes) + 1;
            std::string_view cls;
            size_t textAt = 0;
            if (const int32_t p = ParagraphTagOf(
                    std::string_view(reinterpret_cast<const char*>(bytes) + j, end - j), cls,
                    textAt))
                paragraph_ = p;
            j = end;
            continue;
        }
        if (j == n || !m_->firstPair_ || bytes[j] == '&') break;
        if (j == i) break;  // no lead before it here: read as it comes
        const int l = m_->pairOf_[bytes[j - 1]];
        if (l >= 0 && m_->pair_[l][bytes[j] - 0x80] == m_->firstPair_) {
            --j;
            break;
        }
        ++j;
    }
    if (j > i) lastBlank_ = false;
    return j;
}

inline size_t TextMatcher::Scanner::PassUnmatchable(const unsigned char* bytes, size_t i,
                                                    size_t n) {
    size_t j = i;
    bool blank = lastBlank_;
    const int n1 = m_->needle_.size() > 1 ? static_cast<unsigned char>(m_->needle_[1]) : -1;
    for (;;) {
        while (j < n && m_->skip_[bytes[j]]) blank = m_->fold_[bytes[j++]] == ' ';
        if (j + 1 >= n) break;
        const auto b0 = bytes[j], b1 = bytes[j + 1];
        if (m_->utf8_ && m_->pairOf_[b0] >= 0 && (b1 & 0xC0) == 0x80) {
            // A letter of two bytes that cannot begin a match.
            const uint8_t what = m_->pairSkip_[m_->pairOf_[b0]][b1 - 0x80];
            if (!what) break;
            blank = what == 2;  // 2: a no-break space
            j += 2;
            continue;
        }
        // The needle's first byte, but not its second after it.
        if (n1 >= 0 && m_->plain_[b0] && m_->plain_[b1] && m_->fold_[b1] != n1 &&
            !(m_->fold_[b1] == ' ' && n1 == ' ')) {
            blank = false;
            ++j;
            continue;
        }
        break;
    }
    if (j > i) lastBlank_ = blank;
    return j;
}

inline void TextMatcher::Scanner::EndTag() {
    inTag_ = false;
    // A paragraph tag begins a paragraph: no match runs across it.
    tag_ += '>';
    std::string_view cls;
    size_t textAt = 0;
    if (const int32_t n = ParagraphTagOf(tag_, cls, textAt)) {
        paragraph_ = n;
        k_ = 0;
        lastBlank_ = true;
    }
}

inline bool TextMatcher::Scanner::TakeIntoReference(unsigned char b) {
    // A reference is "&", letters, ";": "&lt;", "&gt;", "&amp;". Any other
    // byte ends it as text and is read as itself (a tag, a line end, another "&").
    const bool name = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
    if (name && entity_.size() < 4) {
        entity_ += char(b);
        return true;
    }
    std::string bytes;
    bytes.swap(entity_);
    if (b == ';') {
        bytes += ';';
        if (const char shown = EscapedChar(bytes)) {
            Emit(static_cast<unsigned char>(shown), entityAt_);
            return true;
        }
    }
    for (size_t j = 0; j < bytes.size(); ++j)
        Plain(static_cast<unsigned char>(bytes[j]), entityAt_ + j);
    return b == ';';
}

void TextMatcher::Scanner::Read(std::string_view piece) {
    if (stop_) return;
    const auto* bytes = reinterpret_cast<const unsigned char*>(piece.data());
    const size_t n = piece.size();
    const uint64_t base = offset_;  // byte i of the piece lies at base + i
    offset_ += n;
    for (size_t i = 0; i < n && !stop_; ++i) {
        if (Between()) {
            const size_t j = m_->nA_ ? PassToStop(bytes, i, n) : PassUnmatchable(bytes, i, n);
            if (j > i) {
                i = j;
                if (i == n) break;
            }
        }
        const auto b = bytes[i];
        if (inTag_) {
            // A tag's first bytes are enough to know it (a picture's data
            // runs on to its '>', and is no text).
            if (b == '>')
                EndTag();
            else if (tag_.size() < 64)
                tag_ += char(b);
            continue;
        }
        if (!entity_.empty() && TakeIntoReference(b)) continue;
        if (b == '<') {
            FlushLead();
            inTag_ = true;
            tag_ = "<";
        } else if (b == '&') {
            FlushLead();
            entity_ = "&";
            entityAt_ = base + i;
        } else {
            Plain(b, base + i);
        }
    }
}

namespace {
// Thrown out of the body's read once the scan has what it wanted: the rest of
// the book is not read.
struct ScanEnded {};
}  // namespace

void TextMatcher::Scan(BookFile& book, uint64_t from,
                       const std::function<bool(const SearchHit&)>& hit, uint64_t to) const {
    if (needle_.empty()) return;
    Scanner scanner(*this, from, hit);
    try {
        book.ReadBodyText(
            [&](std::string_view piece) {
                scanner.Feed(piece);
                if (scanner.Stopped()) throw ScanEnded{};
            },
            from, to);
    } catch (const ScanEnded&) {
    }
}

namespace {

// The body offset of the page holding paragraph n.
uint64_t StartOf(BookFile& book, int32_t paragraph) {
    return book.PageOffset(book.PageOfParagraph(paragraph));
}

}  // namespace

bool FindNext(BookFile& book, const TextMatcher& m, int32_t paragraph, uint64_t offset,
              SearchHit& found) {
    if (!m.Valid()) return false;
    auto after = [&](const SearchHit& h) {
        return h.Paragraph > paragraph ||
               (h.Paragraph == paragraph && (offset == UINT64_MAX || h.Offset > offset));
    };
    bool got = false;
    m.Scan(book, StartOf(book, paragraph), [&](const SearchHit& h) {
        if (!after(h)) return true;
        found = h;
        got = true;
        return false;
    });
    if (got) return true;
    // On from the start of the book.
    m.Scan(book, 0, [&](const SearchHit& h) {
        found = h;
        got = true;
        return false;
    });
    return got;
}

bool FindPrevious(BookFile& book, const TextMatcher& m, int32_t paragraph, uint64_t offset,
                  SearchHit& found) {
    if (!m.Valid()) return false;
    auto before = [&](const SearchHit& h) {
        return h.Paragraph < paragraph ||
               (h.Paragraph == paragraph && offset != UINT64_MAX && h.Offset < offset);
    };
    auto any = [](const SearchHit&) { return true; };
    const int32_t pages = std::max(book.GetIntProperty("PagesCount"), 1);
    const int32_t here = std::clamp(book.PageOfParagraph(paragraph), 1, pages);
    // The last hit that take takes in pages first to last (a paragraph never
    // crosses a page).
    auto lastIn = [&](int32_t first, int32_t last, const auto& take) {
        const uint64_t from = first <= 1 ? 0 : book.PageOffset(first);
        uint64_t to = last >= pages ? UINT64_MAX : book.PageOffset(last + 1);
        if (to <= from) to = UINT64_MAX;  // a page without its marker
        bool got = false;
        m.Scan(
            book, from,
            [&](const SearchHit& h) {
                if (take(h)) {
                    found = h;
                    got = true;
                }
                return true;
            },
            to);
        return got;
    };
    // Back from the paragraph's page, then back from the book's end: in runs
    // of pages that double, so that the pages read grow with the way to the hit.
    for (int32_t last = here, run = 1; last >= 1; last -= run, run *= 2)
        if (lastIn(std::max(1, last - run + 1), last, before)) return true;
    for (int32_t last = pages, run = 1; last >= here; last -= run, run *= 2)
        if (lastIn(std::max(here, last - run + 1), last, any)) return true;
    return false;
}
