#include "book/BodyLines.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "text/Charsets.h"

bool PageMarkerAt(std::string_view text, size_t at, int32_t& n) {
    if (text.compare(at, 5, "<Page") != 0) return false;
    size_t j = at + 5;
    bool neg = false;
    if (j < text.size() && text[j] == '-') {
        neg = true;
        ++j;
    }
    size_t ds = j;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j;
    if (j == ds || j >= text.size() || text[j] != '>') return false;
    size_t nd = j - ds;
    if (nd > 10 || (nd > 1 && text[ds] == '0') || (neg && nd == 1 && text[ds] == '0')) return false;
    int64_t v = 0;
    for (size_t k = ds; k < j; ++k) v = v * 10 + (text[k] - '0');
    if (neg) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return false;
    n = int32_t(v);
    return true;
}

int32_t ParagraphTagOf(std::string_view line, std::string_view& cls, size_t& textAt) {
    size_t at = 0;
    if (line.substr(0, 5) == "<Page") {
        size_t gt = line.find('>');
        if (gt == std::string_view::npos) return 0;
        at = gt + 1;
    }
    static const std::string_view open = "<p id=\"par", mid = "\" class=\"";
    if (line.substr(at, open.size()) != open) return 0;
    size_t d = at + open.size(), e = d;
    while (e < line.size() && line[e] >= '0' && line[e] <= '9' && e - d < 10) ++e;
    // The tag is whole within the line: number, class of five letters, "\">".
    if (e == d || line.size() < e + mid.size() + 7 || line.substr(e, mid.size()) != mid ||
        line.substr(e + mid.size() + 5, 2) != "\">")
        return 0;
    cls = line.substr(e + mid.size(), 5);
    textAt = e + mid.size() + 7;
    int64_t n = 0;
    for (size_t k = d; k < e; ++k) n = n * 10 + (line[k] - '0');
    return n > INT32_MAX ? 0 : int32_t(n);
}

std::string_view TextOfBodyLine(std::string_view line, int32_t& n) {
    std::string_view cls;
    size_t textAt = 0;
    n = ParagraphTagOf(line, cls, textAt);
    if (n) return line.substr(textAt);
    // A marker without a tag after it comes off alone.
    if (line.substr(0, 5) == "<Page") {
        size_t gt = line.find('>');
        if (gt != std::string_view::npos && gt > 5 && line.find_first_not_of("0123456789", 5) == gt)
            return line.substr(gt + 1);
    }
    return line;
}

namespace {

// The marks a text's own markup becomes, as they stand, and the picture's
// start: nothing else of a source ever reaches a page as markup.
constexpr std::string_view InlineMarks[] = {
    "<em>",  "</em>",  "<strong>", "</strong>", "<s>",         "</s>", "<sup>",       "</sup>",
    "<sub>", "</sub>", "<code>",   "</code>",   NoteMarkStart, "</a>", NoteTextStart, "</span>",
};
constexpr std::string_view PictureStart = "<img class=\"pimg\" alt=\"\" src=\"data:image/";

bool Base64Char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/' || c == '=';
}

}  // namespace

size_t InlineMarkAt(std::string_view s, size_t at) {
    const std::string_view rest = s.substr(std::min(at, s.size()));
    for (std::string_view mark : InlineMarks)
        if (rest.substr(0, mark.size()) == mark) return mark.size();
    if (rest.substr(0, PictureStart.size()) != PictureStart) return 0;
    size_t i = PictureStart.size();
    bool typed = false;
    for (std::string_view type : {"jpeg;base64,", "png;base64,", "gif;base64,"})
        if (rest.substr(i, type.size()) == type) {
            i += type.size();
            typed = true;
            break;
        }
    if (!typed) return 0;
    while (i < rest.size() && Base64Char(rest[i])) ++i;
    return rest.substr(i, 2) == "\">" ? i + 2 : 0;
}

bool BodyMarkupAt(std::string_view s, size_t at) {
    int32_t n = 0;
    if (PageMarkerAt(s, at, n)) return true;
    if (s.compare(at, 5, "<Page") == 0) return false;
    if (InlineMarkAt(s, at)) return true;
    std::string_view cls;
    size_t textAt = 0;
    if (!ParagraphTagOf(s.substr(at), cls, textAt)) return false;
    // Only the classes the conversion writes: anything else is a book's own text.
    for (std::string_view known : {"pnorm", "pnor0", "ptitl", "pepig", "psubt", "pauth", "pvers",
                                   "pcite", "ptabl", "pimag", "pnote"})
        if (cls == known) return true;
    return false;
}

char EscapedChar(std::string_view reference) {
    return reference == "&lt;" ? '<' : reference == "&gt;" ? '>' : reference == "&amp;" ? '&' : 0;
}

size_t ShownLength(std::string_view text, bool utf8) {
    size_t n = text.size();
    if (utf8) n -= Utf8ContinuationBytes(text);
    for (size_t at = text.find('&'); at != std::string_view::npos; at = text.find('&', at + 1)) {
        const size_t semi = text.substr(at, 5).find(';');
        if (semi != std::string_view::npos && EscapedChar(text.substr(at, semi + 1))) n -= semi;
    }
    return n;
}

void AppendShownText(std::string& out, std::string_view text) {
    size_t run = 0;  // where the bytes shown as they stand begin
    // (From one "<" or "&" to the next: most text has none.)
    for (size_t i = NextToEscape(text, 0); i < text.size(); i = NextToEscape(text, i + 1)) {
        // Marks show no letters; a note's text shows where the notes are.
        if (text[i] == '<') {
            if (const size_t n = InlineMarkAt(text, i)) {
                size_t next = i + n;
                if (text.substr(i, n) == NoteTextStart) {
                    const size_t close = text.find("</span>", next);
                    next = close == std::string_view::npos ? text.size() : close + 7;
                }
                out.append(text, run, i - run);
                run = next;
                i = next - 1;  // and the loop's step
                continue;
            }
        }
        if (text[i] == '&') {
            // The longest reference written is "&amp;".
            const size_t semi = text.substr(i, 5).find(';');
            if (semi != std::string_view::npos) {
                if (const char c = EscapedChar(text.substr(i, semi + 1))) {
                    out.append(text, run, i - run);
                    out += c;
                    i += semi;
                    run = i + 1;
                    continue;
                }
            }
        }
    }
    if (run < text.size()) out.append(text, run);
}

std::string ConvertLine(std::string_view line) {
    std::string out;
    AppendConvertedLine(out, line);
    return out;
}

size_t NextToEscape(std::string_view s, size_t at) {
#ifdef __SSE2__
    const __m128i lt = _mm_set1_epi8('<'), gt = _mm_set1_epi8('>'), amp = _mm_set1_epi8('&');
    for (; at + 16 <= s.size(); at += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + at));
        const int hits = _mm_movemask_epi8(_mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(v, lt), _mm_cmpeq_epi8(v, gt)), _mm_cmpeq_epi8(v, amp)));
        if (hits) return at + size_t(__builtin_ctz(unsigned(hits)));
    }
#endif
    for (; at < s.size(); ++at)
        if (s[at] == '<' || s[at] == '>' || s[at] == '&') return at;
    return s.size();
}

void AppendConvertedLine(std::string& out, std::string_view line) {
    out.reserve(out.size() + line.size() + 16);
    size_t from = 0;
    for (size_t i = NextToEscape(line, 0); i < line.size(); i = NextToEscape(line, i + 1)) {
        const char c = line[i];
        out.append(line, from, i - from);
        out += c == '<' ? std::string_view("&lt;") : c == '>' ? "&gt;" : "&amp;";
        from = i + 1;
    }
    out.append(line, from);
}

size_t ParagraphTagLength(int32_t n) {
    char digits[16];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, n);
    return 10 + size_t(end - digits) + 9 + 5 + 2;
}

size_t WriteParagraphTag(char* buf, int32_t n, const char* cls) {
    char* p = buf;
    std::memcpy(p, "<p id=\"par", 10);
    p += 10;
    p = std::to_chars(p, p + 12, n).ptr;
    std::memcpy(p, "\" class=\"", 9);
    p += 9;
    std::memcpy(p, cls, 5);
    p += 5;
    std::memcpy(p, "\">", 2);
    p += 2;
    return size_t(p - buf);
}

size_t WritePageMarker(char* buf, int32_t n) {
    std::memcpy(buf, "<Page", 5);
    char* end = std::to_chars(buf + 5, buf + 19, n).ptr;
    *end++ = '>';
    return size_t(end - buf);
}
