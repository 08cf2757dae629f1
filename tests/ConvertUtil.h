// Texts converted as the program converts them, and the body's lines read back.
#pragma once

#include <string>
#include <vector>

#include "TestUtil.h"
#include "book/BodyLines.h"
#include "convert/Converter.h"
#include "convert/Headings.h"

// The text, written to dir/t.txt, converted into a book of the library dir.
inline BookFile ConvertText(const TempDir& dir, const std::string& text,
                            const Layout::Shape* kind = nullptr, size_t pieceSize = ReadPieceSize) {
    WriteFile(dir / "t.txt", text);
    return ConvertToBook(dir / "t.txt", dir.Path(), nullptr, kind, pieceSize);
}

// The class of each body line's paragraph tag, in order ("-" for a line without one).
inline std::vector<std::string> Classes(BookFile& b) {
    std::vector<std::string> out;
    for (const auto& l : b.Body()) {
        std::string_view cls;
        size_t at = 0;
        out.push_back(ParagraphTagOf(l, cls, at) ? std::string(cls) : "-");
    }
    return out;
}

// Each body line's text, its marker and tag taken off.
inline LineList Texts(BookFile& b) {
    LineList out;
    for (const auto& l : b.Body()) {
        int32_t n = 0;
        out.emplace_back(TextOfBodyLine(l, n));
    }
    return out;
}

// The book's whole text in UTF-8, its lines joined with spaces.
inline std::string AllText(BookFile& b) {
    std::string all;
    for (const auto& l : Texts(b)) all += l + " ";
    return ToUtf8(all, CodePageOf(b.GetProperty("Charset")));
}

// A UTF-8 text in another charset, made by iconv.
inline std::string Iconv(const std::string& utf8, const std::string& charset) {
    if (charset == "UTF-8") return utf8;
    TempDir dir;
    WriteFile(dir / "in", utf8);
    return IconvFile(dir / "in", charset);
}

// The book's contents as "level text" lines, texts in UTF-8.
inline std::vector<std::string> Contents(BookFile& b) {
    std::vector<std::string> out;
    const CodePage cp = CodePageOf(b.GetProperty("Charset"));
    for (const Heading& h : ParseContents(b.Contents))
        out.push_back(std::to_string(h.Level) + " " + ToUtf8(h.Text, cp));
    return out;
}
