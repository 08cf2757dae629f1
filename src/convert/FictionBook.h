// FictionBook (FB2) files made into books: the file states its structure
// (sections, titles, epigraphs, poems, notes, pictures, its description), and
// the book keeps it in the program's own book format, so that everything a
// book does works on it unchanged.
#pragma once

#include <string>
#include <string_view>

#include "book/BookFile.h"
#include "convert/TextAnalysis.h"

// Whether the bytes a file begins with are a FictionBook's: its root element
// "FictionBook" (in UTF-8, an 8-bit charset or UTF-16), whatever its name.
bool LooksLikeFictionBook(std::string_view start);
bool IsFictionBookFile(const std::string& path);

// Converts a FictionBook file into a new book record for folder, its text
// kept in a file of its own until the record is saved (SaveAsNewBook), as
// ConvertToBook does for a text. The XML is read as it streams, in memory
// that does not grow with the file; no document type, entity or external file
// is ever followed. Raises "%s is not a well-formed FictionBook file: line %d
// (%s)", "%s is not read: it declares entities (line %d)",
// "%s is not a FictionBook file", "%s holds no text", and the file errors.
BookFile ConvertFictionBook(const std::string& path, const std::string& folder,
                            ConversionProgress* progress = nullptr);
