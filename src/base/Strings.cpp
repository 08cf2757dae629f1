#include "base/Strings.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cstring>
#include <limits>

#include "base/Errors.h"

void SplitText(std::string_view text, LineList& out) {
    out.clear();
    LineSplitter split;
    auto add = [&](std::string_view line) { out.emplace_back(line); };
    split.Feed(text.data(), text.size(), add);
    split.Finish(add);
}

LineList SplitText(std::string_view text) {
    LineList lines;
    SplitText(text, lines);
    return lines;
}

const char* FindLineEnd(const char* p, const char* end) {
#if defined(__SSE2__)
    // Sixteen bytes at a time, in one pass.
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int mask =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
        if (mask) return p + __builtin_ctz(unsigned(mask));
        p += 16;
    }
    for (; p < end; ++p)
        if (*p == '\r' || *p == '\n') return p;
    return nullptr;
#else
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
    const char* cr = static_cast<const char*>(std::memchr(p, '\r', size_t((lf ? lf : end) - p)));
    return cr ? cr : lf;
#endif
}

uint64_t JoinedLength(const LineList& lines) {
    uint64_t n = 0;
    for (const auto& l : lines) n += l.size() + 2;
    return n;
}

std::string JoinLines(const LineList& lines) {
    std::string out;
    out.reserve(JoinedLength(lines));
    for (const auto& l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

static inline char Fold(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

std::string LowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = Fold(c);
    return out;
}

bool LineName(std::string_view line, std::string_view& name) {
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    name = line.substr(0, eq);
    return true;
}

long IndexOfName(const LineList& lines, std::string_view name) {
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view n;
        if (LineName(lines[i], n) && SameText(n, name)) return long(i);
    }
    return -1;
}

std::string ValueOf(const LineList& lines, std::string_view name) {
    long i = IndexOfName(lines, name);
    if (i < 0) return {};
    const std::string& l = lines[size_t(i)];
    return l.substr(l.find('=') + 1);
}

void SetValue(LineList& lines, std::string_view name, std::string_view value, bool appendEmpty) {
    long i = IndexOfName(lines, name);
    std::string line;
    line.reserve(name.size() + 1 + value.size());
    line.append(name).append("=").append(value);
    if (i < 0) {
        if (!value.empty() || appendEmpty) lines.push_back(std::move(line));
    } else if (value.empty()) {
        lines.erase(lines.begin() + i);
    } else {
        lines[size_t(i)] = std::move(line);
    }
}

std::vector<std::string> DisplayNames(const LineList& table) {
    std::vector<std::string> names;
    names.reserve(table.size());
    for (const auto& line : table) {
        std::string_view n;
        names.emplace_back(LineName(line, n) ? n : std::string_view());
    }
    return names;
}

std::string ValueOfRow(const LineList& table, size_t row) {
    std::string_view n;
    if (row >= table.size() || !LineName(table[row], n)) n = {};
    return ValueOf(table, n);
}

static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool TryDecimalToInt(std::string_view s, int32_t& out) {
    size_t i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
    if (i == s.size()) return false;
    int64_t v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
        if (v > int64_t(std::numeric_limits<int32_t>::max()) + 1) return false;
    }
    if (neg) v = -v;
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
        return false;
    out = int32_t(v);
    return true;
}

bool TryStrToInt(std::string_view s, int32_t& out) {
    size_t i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
    std::string_view rest = s.substr(i);
    size_t skip = 0;
    if (!rest.empty() && (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X'))
        skip = 1;
    else if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X'))
        skip = 2;
    if (skip == 0) return TryDecimalToInt(s, out);
    std::string_view digits = rest.substr(skip);
    if (digits.empty()) return false;
    uint64_t v = 0;
    for (char c : digits) {
        int d = HexDigit(c);
        if (d < 0) return false;
        v = v * 16 + uint64_t(d);
        if (v > 0xFFFFFFFFull) return false;
    }
    uint32_t u = uint32_t(v);
    if (neg) u = 0u - u;
    out = int32_t(u);
    return true;
}

int32_t StrToInt(std::string_view s) {
    int32_t v = 0;
    if (!TryStrToInt(s, v))
        throw EConvertError(Fmt(Messages::tr("'%s' is not a valid integer value"), std::string(s)));
    return v;
}

std::string IntToStr(int64_t v) {
    return std::to_string(v);
}

std::string ControlsToSpaces(std::string s) {
    for (char& c : s)
        if ((unsigned char)c < 0x20 || c == 0x7F) c = ' ';
    return s;
}

namespace {
// The length of the well-formed UTF-8 character at s[i] (a lead byte there),
// 0 when it is none.
size_t Utf8SequenceAt(std::string_view s, size_t i) {
    const unsigned char c = (unsigned char)s[i];
    const size_t n = c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF5 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k)
        if (((unsigned char)s[i + k] & 0xC0) != 0x80) return 0;
    return n;
}
}  // namespace

std::string EscapeControls(std::string_view s) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(s.size());
    auto escape = [&](unsigned char c) {
        out += "\\x";
        out += hex[c >> 4];
        out += hex[c & 15];
    };
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char c = (unsigned char)s[i];
        if ((c < 0x20 && c != '\t') || c == 0x7F) {
            escape(c);
        } else if (c == 0xC2 && i + 1 < s.size() && (unsigned char)s[i + 1] >= 0x80 &&
                   (unsigned char)s[i + 1] <= 0x9F) {
            // A C1 control in UTF-8 (U+0080 to U+009F): a terminal acts on it too.
            escape(c);
            escape((unsigned char)s[++i]);
        } else if (const size_t n = c >= 0xC2 ? Utf8SequenceAt(s, i) : 0; n > 1) {
            out.append(s.substr(i, n));  // a character of UTF-8, whole
            i += n - 1;
        } else if (c >= 0x80 && c <= 0x9F) {
            // A byte of another charset, or of broken UTF-8, that a terminal in
            // its eight-bit mode reads as a control (0x9B begins a sequence).
            escape(c);
        } else {
            out += s[i];
        }
    }
    return out;
}

uint64_t ContentHash(std::string_view text) {
    uint64_t h = 0xcbf29ce484222325;
    for (unsigned char c : text) h = (h ^ c) * 0x100000001b3;
    return h;
}
