// Paragraph building: which lines of a text begin paragraphs, their numbers and
// classes, one line at a time, so that a whole book and a streamed one are
// tagged by the same rules.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// No piece of a line and no paragraph grows beyond this many bytes of text: a
// longer line is cut into pieces, and a line that would carry a paragraph past
// it begins a new one. A virtual page thus holds at most about twice as much.
constexpr size_t MaxPieceSize = 16000;

int LeadingSpaces(std::string_view line);
std::string InsertParagraphTag(std::string_view line, int32_t number, std::string_view cls);

// Where a piece of at most max bytes of s ends: after the last space in it, or,
// without one, at the last character boundary (of UTF-8 when utf8) that does not
// split a character reference such as "&lt;".
size_t PieceEnd(std::string_view s, size_t max, bool utf8);

class TParagraphBuilder {
  public:
    // charset: the book's, for cutting long lines between characters.
    explicit TParagraphBuilder(const std::string& charset);
    // Takes the next line of the text (escaped, dashes removed) and hands the
    // body line, or the lines of its pieces, to emit.
    using TEmit = std::function<void(std::string&&)>;
    void Add(std::string_view line, const TEmit& emit);
    // The number of the last paragraph.
    int32_t Count() const { return n_; }

  private:
    void Piece(std::string_view piece, bool begins, const char* cls, const TEmit& emit);

    bool utf8_;
    int32_t n_ = 0;
    uint64_t r_ = 0;         // text the current paragraph's later lines added
    uint64_t parBytes_ = 0;  // text of the current paragraph
};
