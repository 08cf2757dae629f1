// The conversion of a text into a book: the text streams from its file to the
// book file through buffers of a fixed size, whatever the text's size. The
// charset and the title come from the text's start; the layout, which every
// line decides, is guessed from its first pieces, and one pass writes the
// book's text into a file of no name while it looks at the whole text. A
// second pass builds the book again in the rare text whose whole decides
// otherwise. The save puts the header in front of the book's text. How the
// text is read never shows in the book: any size of read piece gives the same
// book, byte for byte.
#pragma once

#include <string>

#include "book/BookFile.h"
#include "book/BookList.h"
#include "convert/Paragraphs.h"
#include "convert/TextAnalysis.h"

// The bytes the conversion reads at a time.
constexpr size_t ReadPieceSize = size_t(1) << 18;

// Converts a text file into a new book record for folder, its text kept in a
// file of its own until the record is saved (SaveAsNewBook). kind: the layout
// chosen by hand (null: decided from the text). Raises "Cannot open file %s",
// "%s holds no text", "%s is not a text file" and "%s is too large for a book
// file". The stages it announces: "Loading Source Text", "Converting symbols",
// "Removing Dashes", "Analyzing Charset", "Creating paragraphs", "Creating
// Virtual Pages".
BookFile ConvertToBook(const std::string& sourcePath, const std::string& folder,
                       ConversionProgress* progress = nullptr, const Layout::Shape* kind = nullptr,
                       size_t pieceSize = ReadPieceSize);

// Builds a converted book's paragraphs and virtual pages again from its own
// text (tags and markers taken off) in another layout, or the one decided anew
// when kind is null; no source text is needed. The reading position stays on
// the same text: the paragraph that now holds the line the old one began with.
// The record then holds the new text in a file of its own until it is saved
// (SaveToBookFile).
Layout RebuildBook(BookFile& book, const Layout::Shape* kind);

// What a book was converted from, kept as its property "Source": the file's
// size, its modification time in nanoseconds and its absolute path, then a tab
// and the member's path for a text taken out of an archive. The same file,
// unchanged, gives the same text. Empty when the file cannot be examined.
std::string SourceIdentity(const std::string& path, const std::string& member = {});
// The book of the list converted from that source, or -1.
long FindBookOfSource(BookList& list, const std::string& identity);
