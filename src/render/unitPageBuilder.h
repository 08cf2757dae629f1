// The HTML of one virtual page: the page template filled with the page's text
// and its BACK and CONTINUE buttons, made safe to show.
#pragma once

#include <string>

#include "../core/unitStrings.h"

extern const char* const BackSnippet;      // 117 bytes
extern const char* const ContinueSnippet;  // 125 bytes

// Fills the page template with the page's lines and the BACK and CONTINUE buttons.
// On return pageLines holds the whole document. Raises "Cannot open file %s" when
// the template cannot be read; pageLines is then unchanged.
void BuildVPage(TLines& pageLines, const std::string& templatePath, bool isFirstPage,
                bool isLastPage);

// A book file can come from anyone. Every "<" of a page's text that does not
// begin one of the program's own paragraph tags or page markers becomes "&lt;",
// so the text can hold no markup of its own (a converted book holds none).
void EscapeForeignMarkup(TLines& pageLines);

// The charset the page declares: the book's "Charset" when it is a plain charset
// name (letters, digits, "-", "_", ".", ":", at most 40 bytes), otherwise
// "Windows-1252".
std::string PageCharset(const std::string& charset);
