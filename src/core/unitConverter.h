// The conversion as the program runs it: the text streams from its file to the
// book file through buffers of a fixed size, whatever the text's size. One pass
// learns what the whole text must decide (charset, layout, title), a second
// writes the book's text into a file of no name, and the save puts the header
// in front of it. The books are the same, byte for byte, as the stages of
// unitTextConversions make them holding the whole text.
#pragma once

#include <string>

#include "unitBookClasses.h"
#include "unitParagraphs.h"
#include "unitTextConversions.h"

// Converts a text file into a new book record for folder, its text kept in a
// file of its own until the record is saved (SaveAsNewBook). kind: the layout
// chosen by hand (null: decided from the text). Raises as ConvertTextFile does.
TBookInfo ConvertToBook(const std::string& sourcePath, const std::string& folder,
                        TConversionProgress* progress = nullptr,
                        const TLayout::TKind* kind = nullptr);

// Builds a book's paragraphs and virtual pages again from its own text, as
// RebuildParagraphs does, streaming; the record then holds the new text in a
// file of its own until it is saved (SaveToBookFile).
TLayout RebuildBook(TBookInfo& book, const TLayout::TKind* kind);

// What a book was converted from, kept as its property "Source": the file's
// size, its modification time in nanoseconds and its absolute path, then a tab
// and the member's path for a text taken out of an archive. The same file,
// unchanged, gives the same text. Empty when the file cannot be examined.
std::string SourceIdentity(const std::string& path, const std::string& member = {});
// The book of the list converted from that source, or -1.
long FindBookOfSource(TBookInfoList& list, const std::string& identity);
