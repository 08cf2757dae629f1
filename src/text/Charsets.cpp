#include "text/Charsets.h"

#include <array>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "base/Strings.h"

namespace {

const char16_t Cp866Table[128] = {
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B,
    0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433,
    0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B,
    0x044C, 0x044D, 0x044E, 0x044F, 0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0,
};

const char16_t Win1251Table[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
    0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408,
    0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
    0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

const char16_t Win1252Table[128] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039,
    0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178, 0x00A0, 0x00A1, 0x00A2, 0x00A3,
    0x00A4, 0x00A5, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x00B9, 0x00BA, 0x00BB,
    0x00BC, 0x00BD, 0x00BE, 0x00BF, 0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF, 0x00D0, 0x00D1, 0x00D2, 0x00D3,
    0x00D4, 0x00D5, 0x00D6, 0x00D7, 0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF,
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7, 0x00E8, 0x00E9, 0x00EA, 0x00EB,
    0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF,
};

const char16_t Koi8rTable[128] = {
    0x2500, 0x2502, 0x250C, 0x2510, 0x2514, 0x2518, 0x251C, 0x2524, 0x252C, 0x2534, 0x253C, 0x2580,
    0x2584, 0x2588, 0x258C, 0x2590, 0x2591, 0x2592, 0x2593, 0x2320, 0x25A0, 0x2219, 0x221A, 0x2248,
    0x2264, 0x2265, 0x00A0, 0x2321, 0x00B0, 0x00B2, 0x00B7, 0x00F7, 0x2550, 0x2551, 0x2552, 0x0451,
    0x2553, 0x2554, 0x2555, 0x2556, 0x2557, 0x2558, 0x2559, 0x255A, 0x255B, 0x255C, 0x255D, 0x255E,
    0x255F, 0x2560, 0x2561, 0x0401, 0x2562, 0x2563, 0x2564, 0x2565, 0x2566, 0x2567, 0x2568, 0x2569,
    0x256A, 0x256B, 0x256C, 0x00A9, 0x044E, 0x0430, 0x0431, 0x0446, 0x0434, 0x0435, 0x0444, 0x0433,
    0x0445, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x044F, 0x0440, 0x0441,
    0x0442, 0x0443, 0x0436, 0x0432, 0x044C, 0x044B, 0x0437, 0x0448, 0x044D, 0x0449, 0x0447, 0x044A,
    0x042E, 0x0410, 0x0411, 0x0426, 0x0414, 0x0415, 0x0424, 0x0413, 0x0425, 0x0418, 0x0419, 0x041A,
    0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x042F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0416, 0x0412,
    0x042C, 0x042B, 0x0417, 0x0428, 0x042D, 0x0429, 0x0427, 0x042A,
};

const char16_t Cp437Table[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

const char16_t* TableOf(CodePage cp) {
    switch (cp) {
        case CodePage::Cp866:
            return Cp866Table;
        case CodePage::Win1251:
            return Win1251Table;
        case CodePage::Koi8r:
            return Koi8rTable;
        case CodePage::Cp437:
            return Cp437Table;
        default:
            return Win1252Table;
    }
}

char32_t DecodeUtf8(std::string_view s, size_t& i) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const size_t n = s.size();
    unsigned char c = p[i];
    size_t len;
    char32_t cp;
    unsigned lo = 0x80, hi = 0xBF;
    if (c < 0x80) {
        ++i;
        return c;
    } else if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        ++i;
        return 0xFFFD;
    }
    for (size_t k = 1; k < len; ++k) {
        if (i + k >= n) {
            ++i;
            return 0xFFFD;
        }
        unsigned b = p[i + k];
        if (k == 1 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF)) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    i += len;
    return cp;
}

}  // namespace

CodePage CodePageOf(std::string_view charset) {
    if (SameText(charset, "UTF-8") || SameText(charset, "utf8")) return CodePage::Utf8;
    if (SameText(charset, "cp866") || SameText(charset, "ibm866")) return CodePage::Cp866;
    if (SameText(charset, "windows-1251") || SameText(charset, "cp1251")) return CodePage::Win1251;
    if (SameText(charset, "KOI8-R") || SameText(charset, "koi8r")) return CodePage::Koi8r;
    if (SameText(charset, "cp437") || SameText(charset, "ibm437")) return CodePage::Cp437;
    return CodePage::Win1252;
}

bool IsKnownCharset(std::string_view charset) {
    static const char* const known[] = {
        "UTF-8",        "utf8",         "cp866",      "ibm866",      "windows-1251", "cp1251",
        "Windows-1252", "cp1252",       "cp437",      "ibm437",      "KOI8-R",       "KOI8-U",
        "ISO-8859-1",   "ISO-8859-2",   "ISO-8859-5", "ISO-8859-15", "windows-1250", "windows-1253",
        "windows-1254", "windows-1257", "us-ascii",   "latin1"};
    for (const char* k : known)
        if (SameText(charset, k)) return true;
    return false;
}

std::string_view TrimBlanks(std::string_view line, CodePage cp) {
    // The length of the blank that ends line at e (or begins it at b); 0 when none.
    auto blankAt = [&](size_t at, bool back) -> size_t {
        const auto c = static_cast<unsigned char>(line[at]);
        if (c == ' ' || c == '\t') return 1;
        if (cp != CodePage::Utf8) return c >= 0x80 && TableOf(cp)[c - 0x80] == 0xA0;
        const size_t from = back ? at - 1 : at;
        return (back ? at > 0 : at + 1 < line.size()) && line.substr(from, 2) == "\xC2\xA0" ? 2 : 0;
    };
    size_t b = 0, e = line.size();
    while (b < e)
        if (size_t n = blankAt(b, false))
            b += n;
        else
            break;
    while (e > b)
        if (size_t n = blankAt(e - 1, true))
            e -= n;
        else
            break;
    return line.substr(b, e - b);
}

char32_t charsets_detail::DecodeChar(std::string_view s, size_t& i, CodePage cp) {
    if (cp == CodePage::Utf8) return DecodeUtf8(s, i);
    unsigned char c = static_cast<unsigned char>(s[i++]);
    return c < 0x80 ? char32_t(c) : char32_t(TableOf(cp)[c - 0x80]);
}

size_t Utf8ContinuationBytes(std::string_view s) {
    size_t n = 0, i = 0;
#ifdef __SSE2__
    // Sixteen bytes at a time: as signed bytes, 10xxxxxx are those below -64.
    // Each lane counts its own (a match is -1), up to 255 blocks; the lanes
    // are then summed.
    const __m128i below = _mm_set1_epi8(-64), zero = _mm_setzero_si128();
    while (i + 16 <= s.size()) {
        __m128i lanes = zero;
        for (int k = 0; k < 255 && i + 16 <= s.size(); ++k, i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + i));
            lanes = _mm_sub_epi8(lanes, _mm_cmplt_epi8(v, below));
        }
        const __m128i sums = _mm_sad_epu8(lanes, zero);
        n += size_t(_mm_cvtsi128_si64(sums)) +
             size_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
    }
#endif
    // Eight bytes at a time: a byte's top bit set and the next bit clear.
    for (; i + 8 <= s.size(); i += 8) {
        uint64_t w;
        std::memcpy(&w, s.data() + i, 8);
        // One bit a byte at its bottom, summed into the top byte by the multiply.
        const uint64_t ones = (w & ~(w << 1) & 0x8080808080808080ULL) >> 7;
        n += size_t((ones * 0x0101010101010101ULL) >> 56);
    }
    for (; i < s.size(); ++i) n += (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80;
    return n;
}

size_t Utf8ValidLength(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const size_t n = s.size();
    size_t i = 0;
    while (i < n) {
        size_t slowTo = n;  // read one character at a time up to here
#ifdef __SSE2__
        // Sixteen bytes at a time while they hold ASCII and two-byte characters
        // only (Latin and Cyrillic letters): every byte C2..DF followed by one
        // 80..BF, and every 80..BF preceded by one C2..DF. As signed bytes,
        // 80..BF are below -64 and C2..DF between -63 and -32.
        const __m128i contBelow = _mm_set1_epi8(-64), leadAbove = _mm_set1_epi8(-63),
                      leadBelow = _mm_set1_epi8(-32);
        unsigned carry = 0;  // the byte before i is a lead, its continuation at i
        for (; i + 16 <= n; i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            const unsigned high = unsigned(_mm_movemask_epi8(v));
            if (high == 0 && !carry) continue;
            const unsigned cont = unsigned(_mm_movemask_epi8(_mm_cmplt_epi8(v, contBelow)));
            const unsigned lead = unsigned(_mm_movemask_epi8(
                _mm_and_si128(_mm_cmpgt_epi8(v, leadAbove), _mm_cmplt_epi8(v, leadBelow))));
            // Any other byte above 0x7F (a dash, a quote), or a lead and a
            // continuation out of step: this block is read character by character.
            if ((high & ~(cont | lead)) != 0 || cont != (((lead << 1) | carry) & 0xFFFF)) {
                slowTo = i + 16;
                break;
            }
            carry = lead >> 15;
        }
        i -= carry;  // that lead is read again, with its continuation
#endif
        while (i < slowTo) {
            const unsigned char c = p[i];
            if (c < 0x80) {
                ++i;
            } else if (c >= 0xC2 && c <= 0xDF && i + 1 < n && (p[i + 1] & 0xC0) == 0x80) {
                i += 2;
            } else {
                const size_t at = i;
                if (DecodeUtf8(s, i) == 0xFFFD && s.compare(at, i - at, "\xEF\xBF\xBD") != 0)
                    return at;
            }
        }
    }
    return n;
}

size_t CharCount(std::string_view s, CodePage cp) {
    return cp == CodePage::Utf8 ? s.size() - Utf8ContinuationBytes(s) : s.size();
}

namespace {

// Writes c in UTF-8 at o; returns the end of what it wrote (four bytes at most).
char* PutUtf8(char* o, char32_t c) {
    if (c < 0x80) {
        *o++ = char(c);
    } else if (c < 0x800) {
        *o++ = char(0xC0 | (c >> 6));
        *o++ = char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *o++ = char(0xE0 | (c >> 12));
        *o++ = char(0x80 | ((c >> 6) & 0x3F));
        *o++ = char(0x80 | (c & 0x3F));
    } else {
        *o++ = char(0xF0 | (c >> 18));
        *o++ = char(0x80 | ((c >> 12) & 0x3F));
        *o++ = char(0x80 | ((c >> 6) & 0x3F));
        *o++ = char(0x80 | (c & 0x3F));
    }
    return o;
}

// A character of a single-byte page in UTF-8: its bytes and how many.
struct EncodedChar {
    char bytes[4];
    uint8_t size;
};

const std::array<EncodedChar, 256>& EncodedPage(CodePage cp) {
    static const auto pages = [] {
        std::array<std::array<EncodedChar, 256>, 6> all{};
        for (const CodePage page : {CodePage::Cp866, CodePage::Win1251, CodePage::Win1252,
                                    CodePage::Koi8r, CodePage::Cp437})
            for (unsigned b = 0; b < 256; ++b) {
                EncodedChar& e = all[size_t(page)][b];
                const char32_t c = b < 0x80 ? char32_t(b) : char32_t(TableOf(page)[b - 0x80]);
                e.size = uint8_t(PutUtf8(e.bytes, c) - e.bytes);
            }
        return all;
    }();
    return pages[size_t(cp)];
}

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
    char bytes[4];
    out.append(bytes, size_t(PutUtf8(bytes, c) - bytes));
}

void AppendAsUtf8(std::string& out, std::string_view s, CodePage cp) {
    if (cp == CodePage::Utf8) {
        out.reserve(out.size() + s.size());
        // Valid sequences are copied as they are, in runs; a byte that begins
        // none becomes U+FFFD.
        for (;;) {
            const size_t valid = Utf8ValidLength(s);
            out.append(s.substr(0, valid));
            if (valid == s.size()) return;
            AppendUtf8(out, 0xFFFD);
            s.remove_prefix(valid + 1);
        }
    }
    // A single-byte page: its characters are all below U+10000, three bytes
    // at most, written straight into the string from the page's own table of
    // them (four bytes stored at a time, the fourth overwritten).
    const std::array<EncodedChar, 256>& page = EncodedPage(cp);
    const size_t start = out.size();
    out.resize(start + s.size() * 3 + 1);
    char* o = out.data() + start;
    for (char ch : s) {
        const EncodedChar& e = page[static_cast<unsigned char>(ch)];
        std::memcpy(o, e.bytes, 4);
        o += e.size;
    }
    out.resize(size_t(o - out.data()));
}

std::string ToUtf8(std::string_view s, CodePage cp) {
    std::string out;
    AppendAsUtf8(out, s, cp);
    return out;
}

std::string_view AsUtf8(std::string_view s, CodePage cp, std::string& memory) {
    if (cp == CodePage::Utf8 && Utf8ValidLength(s) == s.size()) return s;
    memory.clear();
    AppendAsUtf8(memory, s, cp);
    return memory;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        char32_t c = DecodeChar(utf8, i, CodePage::Utf8);
        if (c >= 0x10000) {
            out += char16_t(0xD800 + ((c - 0x10000) >> 10));
            out += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += char16_t(c);
        }
    }
    return out;
}

bool EncodeChar(char32_t c, CodePage cp, unsigned char& out) {
    if (c < 0x80) {
        out = static_cast<unsigned char>(c);
        return true;
    }
    if (cp == CodePage::Utf8) return false;
    const char16_t* t = TableOf(cp);
    for (int k = 0; k < 128; ++k)
        if (t[k] == c && c != 0xFFFD) {
            out = static_cast<unsigned char>(0x80 + k);
            return true;
        }
    return false;
}

std::string FoldToUtf8(std::string_view s, CodePage cp) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) AppendUtf8(out, FoldCase(DecodeChar(s, i, cp)));
    return out;
}

void Utf16Decoder::Feed(const char* data, size_t size, std::string& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    size_t i = 0;
    while (i < size) {
        unsigned b0, b1;
        if (pendingByte_ >= 0) {
            b0 = unsigned(pendingByte_);
            b1 = p[i++];
            pendingByte_ = -1;
        } else {
            if (i + 1 >= size) {
                pendingByte_ = p[i++];
                break;
            }
            b0 = p[i];
            b1 = p[i + 1];
            i += 2;
        }
        const char32_t u = bigEndian_ ? (b0 << 8 | b1) : (b1 << 8 | b0);
        if (highSurrogate_) {
            if (u >= 0xDC00 && u <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (u - 0xDC00));
                highSurrogate_ = 0;
                continue;
            }
            AppendUtf8(out, 0xFFFD);
            highSurrogate_ = 0;
        }
        if (u >= 0xD800 && u <= 0xDBFF)
            highSurrogate_ = u;
        else if (u >= 0xDC00 && u <= 0xDFFF)
            AppendUtf8(out, 0xFFFD);
        else
            AppendUtf8(out, u);
    }
}

void Utf16Decoder::Finish(std::string& out) {
    if (highSurrogate_ || pendingByte_ >= 0) AppendUtf8(out, 0xFFFD);
    highSurrogate_ = 0;
    pendingByte_ = -1;
}
