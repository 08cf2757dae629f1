// The library: adding a text to a library folder as a book, the one way the
// windows and tavisto-convert both add books.
#pragma once

#include <string>

#include "convert/Paragraphs.h"
#include "convert/TextAnalysis.h"

struct AddedBook {
    std::string FileName;  // the book's file in the library folder
    bool Reused = false;   // a book of the same unchanged source was there already
};

// Adds the text at textPath to library (a folder with its trailing '/') as a new
// book named after the text, recording where it came from ("Source": source,
// and member for a text taken out of an archive) so that the same file opened
// again finds its book. With reuse, a book of that source, unchanged, is taken
// instead of converting again. layout: chosen by hand (null: decided from the
// text). Raises as the conversion does; nothing is written then.
AddedBook AddTextToLibrary(const std::string& textPath, const std::string& library,
                           const std::string& source, const std::string& member,
                           ConversionProgress* progress, const Layout::Shape* layout, bool reuse);
