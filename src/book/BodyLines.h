// The book body's lines, read and written: what every part of the program that
// looks into a book's text or writes one asks. A line is an optional page marker "<PageN>", then an
// optional paragraph tag <p id="parN" class="ccccc">, then the text, in which
// the conversion wrote "<" and ">" as "&lt;" and "&gt;".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The page number of a marker "<PageN>" that begins at text[at], written exactly
// as the decimal number is written (no sign but "-", no leading zero); false
// when none begins there.
bool PageMarkerAt(std::string_view text, size_t at, int32_t& n);
// The paragraph number of a body line's leading tag (after a page marker), its
// class in cls, and where the line's text begins; 0 when the line has no tag.
int32_t ParagraphTagOf(std::string_view line, std::string_view& cls, size_t& textAt);
// A body line's text without its page marker and paragraph tag; n learns the
// tag's number (0 when the line has none).
std::string_view TextOfBodyLine(std::string_view line, int32_t& n);
// Whether s[at] begins a page marker, a whole paragraph tag or an inline
// mark: the only markup a body holds.
bool BodyMarkupAt(std::string_view s, size_t at);
// The inline marks a book made from a marked-up text holds: "<em>", "<strong>",
// "<s>", "<sup>", "<sub>", "<code>" and their ends; a note's mark (its text
// in a span inside it); a picture as data in "<img class="pimg" alt=""
// src="data:image/jpeg;base64,...">" (jpeg, png or gif). The length of the
// one that begins at s[at], 0 when none does.
size_t InlineMarkAt(std::string_view s, size_t at);
constexpr std::string_view NoteMarkStart = "<a class=\"note\" tabindex=\"0\">";
constexpr std::string_view NoteTextStart = "<span class=\"ntext\">";
// Appends a body text as the reader sees it: "&lt;", "&gt;" and "&amp;" as the
// characters they stand for, inline marks and a note's text left out,
// everything else as it is.
void AppendShownText(std::string& out, std::string_view text);
// The characters a body text shows: a UTF-8 sequence (when utf8) counts one,
// and so do "&lt;", "&gt;" and "&amp;".
size_t ShownLength(std::string_view text, bool utf8);
// The character a reference the conversion writes stands for: '<' for "&lt;",
// '>' for "&gt;", '&' for "&amp;"; 0 for any other.
char EscapedChar(std::string_view reference);

// A line of source text as a body holds it: "<" and ">" as "&lt;" and "&gt;",
// every other byte as it is.
std::string ConvertLine(std::string_view line);
// Where the next byte ConvertLine escapes ("<", ">" or "&") stands in s from
// `at` on; s.size() when none does. Sixteen bytes at a time.
size_t NextToEscape(std::string_view s, size_t at);
// As ConvertLine, appended to out.
void AppendConvertedLine(std::string& out, std::string_view line);
// The length of the paragraph tag for number n (and a class of five letters).
size_t ParagraphTagLength(int32_t n);
// Writes the paragraph tag for number n and class cls (five letters) into buf
// (40 bytes at least); returns its length.
size_t WriteParagraphTag(char* buf, int32_t n, const char* cls);
// Writes the page marker "<PageN>" into buf (20 bytes at least); returns its length.
size_t WritePageMarker(char* buf, int32_t n);
