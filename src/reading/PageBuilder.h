// The HTML of one virtual page: the page template filled with the page's text
// and its BACK and CONTINUE buttons, made safe to show.
#pragma once

#include <string>

#include "base/Strings.h"
#include "convert/Headings.h"

class Hyphenator;

extern const char* const BackSnippet;      // 117 bytes
extern const char* const ContinueSnippet;  // 125 bytes

// What the page shows of the book's structure, besides its text: the book's
// contents and its charset, and the patterns its words break by (none: they
// break only at hyphens of their own).
struct PageStructure {
    const std::vector<Heading>* Contents = nullptr;  // in paragraph order
    CodePage Page = CodePage::Win1252;
    const Hyphenator* Hyphens = nullptr;
    // A play's speakers, as the book keeps them ("name|name"): a paragraph of
    // a name alone (a point or colon after it) is marked "pspk".
    std::string Speakers;
    // Epigraphs, as the book keeps them ("first-name first-name"): their lines
    // are marked "pepi", their names "pepa".
    std::string Epigraphs;
    // More placeholders of the template (name=value lines: the charset, the
    // language), filled in the template alone, never in the book's text.
    LineList TemplateValues;
};

// Fills the page template with the page's lines and the BACK and CONTINUE buttons.
// On return pageLines holds the whole document. Raises "Cannot open file %s" when
// the template cannot be read; pageLines is then unchanged. With a structure, the
// paragraphs are marked as MarkStructure marks them and their words hyphenated.
void BuildPageHtml(LineList& pageLines, const std::string& templatePath, bool isFirstPage,
                   bool isLastPage, const PageStructure* structure = nullptr);

// A page as it is joined to the page shown, so that the text runs on across
// their seam: the page's lines made ready as BuildPageHtml makes them, between
// its BACK and CONTINUE buttons, with no template around them.
void BuildJoinedPage(LineList& pageLines, bool isFirstPage, bool isLastPage,
                     const PageStructure* structure);

// Gives a page's paragraphs the classes their look needs beyond the book's own:
// "ph1", "ph2", "ph3" for a heading of the contents by its level, "pgap" for an
// empty one (a stanza or scene break), "pbrk" for a line of marks ("* * *").
// The book's bytes stay; only the page's tags change (after EscapeForeignMarkup).
void MarkStructure(LineList& pageLines, const PageStructure& structure);

// A book file can come from anyone. Every "<" of a page's text that does not
// begin one of the program's own paragraph tags or page markers becomes "&lt;",
// so the text can hold no markup of its own (a converted book holds none).
void EscapeForeignMarkup(LineList& pageLines);

// The charset the page declares: the book's "Charset" when it is a plain charset
// name (letters, digits, "-", "_", ".", ":", at most 40 bytes), otherwise
// "Windows-1252".
std::string PageCharset(const std::string& charset);

// The values the style sheet is filled from: the style options, and what follows
// from them: "text_indent" (the first line's indent) and "par_gap" (the space
// after a paragraph), one of the two zero.
LineList PageStyleValues(const LineList& options);
