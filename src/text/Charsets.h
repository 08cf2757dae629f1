// The single-byte code pages a book may be written in, and UTF-8: decoding to
// Unicode, letter case for Latin and Cyrillic, and UTF-8 output. Books keep
// their bytes; this is for the decisions and displays that need characters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class CodePage { Utf8, Cp866, Win1251, Win1252, Koi8r, Cp437 };

// The code page of a charset name as books carry it ("UTF-8", "cp866",
// "windows-1251", "KOI8-R", "Windows-1252", ...), without regard to case; any other name
// reads as Windows-1252.
CodePage CodePageOf(std::string_view charset);
// A charset a page can be declared in and read right: UTF-8 or one of the
// single-byte sets that keep ASCII as it is (without regard to case). A
// stateful or multi-byte one (ISO-2022, UTF-16) would make markup unreadable.
bool IsKnownCharset(std::string_view charset);

namespace charsets_detail {
char32_t DecodeChar(std::string_view s, size_t& i, CodePage cp);
}
// The character at s[i], advancing i past it. A byte that does not begin a valid
// UTF-8 sequence decodes as U+FFFD and advances by one. ASCII and the two
// bytes of a Cyrillic or Latin letter are decoded here, the rest out of line.
inline char32_t DecodeChar(std::string_view s, size_t& i, CodePage cp) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
        ++i;
        return c;
    }
    if (cp == CodePage::Utf8 && c >= 0xC2 && c <= 0xDF && i + 1 < s.size()) {
        const auto b = static_cast<unsigned char>(s[i + 1]);
        if ((b & 0xC0) == 0x80) {
            i += 2;
            return char32_t((c & 0x1Fu) << 6 | (b & 0x3Fu));
        }
    }
    return charsets_detail::DecodeChar(s, i, cp);
}
// s without the blanks around it: spaces, tabs and no-break spaces.
std::string_view TrimBlanks(std::string_view s, CodePage cp);
// The number of characters in s.
size_t CharCount(std::string_view s, CodePage cp);
// The UTF-8 continuation bytes (10xxxxxx) in s: its bytes less its characters.
size_t Utf8ContinuationBytes(std::string_view s);
// The bytes of s that are valid UTF-8 before the first that is not.
size_t Utf8ValidLength(std::string_view s);
void AppendUtf8(std::string& out, char32_t c);
std::string ToUtf8(std::string_view s, CodePage cp);
// As ToUtf8, appended to out.
void AppendAsUtf8(std::string& out, std::string_view s, CodePage cp);
// As ToUtf8, but s itself when it is valid UTF-8 already; otherwise made in
// memory, which the view returned then points into.
std::string_view AsUtf8(std::string_view s, CodePage cp, std::string& memory);
std::u16string Utf8ToUtf16(std::string_view utf8);
// A single-byte page's byte for a character, or false when the page has none.
bool EncodeChar(char32_t c, CodePage cp, unsigned char& out);

// Letters of the Latin, Greek and Cyrillic alphabets.
namespace charsets_detail {
// Past their first blocks, capitals and small letters of the Latin and
// Cyrillic alphabets come in pairs, one code after the other (the old
// orthography's Ѣ ѣ, Ѳ ѳ, Ѵ ѵ, the other Slavic and Asian alphabets, Latin
// Ā ā, Ł ł, Œ œ): 1 for a capital, -1 for a small letter, 0 for none of them.
inline int PairedCase(char32_t c) {
    if (c < 0x0100 || c > 0x052F) return 0;
    if ((c >= 0x0460 && c <= 0x0481) || (c >= 0x048A && c <= 0x04BF) || c >= 0x04D0 ||
        (c <= 0x0137 && c != 0x0130) || (c >= 0x014A && c <= 0x0177))
        return c % 2 == 0 ? 1 : -1;
    if ((c >= 0x04C1 && c <= 0x04CE) || (c >= 0x0139 && c <= 0x0148) ||
        (c >= 0x0179 && c <= 0x017E))
        return c % 2 == 1 ? 1 : -1;
    if (c == 0x04C0 || c == 0x0130 || c == 0x0178) return 1;
    if (c == 0x04CF || c == 0x0138 || c == 0x0149 || c == 0x017F) return -1;
    return 0;
}
}  // namespace charsets_detail

// (ASCII and the modern Cyrillic alphabet, nearly every letter met, at the
// first looks.)
inline bool IsUpper(char32_t c) {
    if (c < 0x0100) return (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
    if (c >= 0x0400 && c < 0x0460) return c <= 0x042F;
    return (c >= 0x0391 && c <= 0x03A9 && c != 0x03A2) || charsets_detail::PairedCase(c) > 0;
}
inline bool IsLower(char32_t c) {
    if (c < 0x0100) return (c >= 'a' && c <= 'z') || (c >= 0xDF && c != 0xF7);
    if (c >= 0x0400 && c < 0x0460) return c >= 0x0430;
    return (c >= 0x03B1 && c <= 0x03C9) || charsets_detail::PairedCase(c) < 0;
}
inline bool IsLetter(char32_t c) {
    return IsUpper(c) || IsLower(c);
}
inline char32_t ToLower(char32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
    if (c >= 0x0410 && c <= 0x042F) return c + 0x20;
    if (c >= 0x0400 && c <= 0x040F) return c + 0x50;
    if (c >= 0x0391 && c <= 0x03A9 && c != 0x03A2) return c + 0x20;
    if (charsets_detail::PairedCase(c) > 0) {
        if (c == 0x04C0) return 0x04CF;
        if (c == 0x0130) return c;  // (its small letter is ASCII's i and a dot)
        if (c == 0x0178) return 0xFF;
        return c + 1;
    }
    return c;
}
// A mark set over the letter before it (a stress mark: "о́").
inline bool IsCombiningMark(char32_t c) {
    return c >= 0x0300 && c <= 0x036F;
}
// Lower case and ё as е: the folding searches and comparisons use.
inline char32_t FoldCase(char32_t c) {
    c = ToLower(c);
    return c == 0x0451 ? char32_t(0x0435) : c;  // ё reads as е
}
// Folds s to lower case in UTF-8.
std::string FoldToUtf8(std::string_view s, CodePage cp);

// UTF-16 text, in either byte order, turned into UTF-8 as it is read, piece by
// piece. Surrogate pairs become one character; anything that is not valid
// UTF-16 (a lone surrogate, an odd last byte) becomes U+FFFD.
class Utf16Decoder {
  public:
    explicit Utf16Decoder(bool bigEndian) : bigEndian_(bigEndian) {}
    void Feed(const char* data, size_t size, std::string& out);
    void Finish(std::string& out);

  private:
    bool bigEndian_;
    int pendingByte_ = -1;  // the first byte of a unit split between pieces
    char32_t highSurrogate_ = 0;
};
