// What the conversion of a plain text into a book decides from the text: its
// escapes, its charset, its title and author, its contents, its file name.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/Strings.h"
#include "book/BodyLines.h"
#include "book/BookFile.h"
#include "convert/Paragraphs.h"

// Told what the conversion is doing; the progress window listens to it.
class ConversionProgress {
  public:
    virtual ~ConversionProgress() = default;
    // A new stage begins ("Loading Source Text", "Converting symbols", ...).
    virtual void StageStarted(const std::string& message) = 0;
    // How far the current stage has come, 0 to 1; called now and then in long stages.
    virtual void StageProgress(double /*fraction*/) {}
};

constexpr size_t CharsetSampleSize = 64000;

// "UTF-8", "cp866", "windows-1251", "KOI8-R" or "Windows-1252".
std::string AnalyzeCharset(const LineList& lines);
// The language of a text from its letters, as a language tag: "ru" when most
// letters are Cyrillic, "en" when most are Latin, "" when it has no letters.
std::string TextLanguage(const LineList& lines, CodePage cp);
// Whether a line holds nothing but spaces and tabs.
inline bool BlankLine(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}
// Whether the text goes on from before to after in the middle of a sentence:
// before ends none, and after begins with a small letter. (utf8: memory for
// before in UTF-8, where a sentence's end is told.)
bool SentenceGoesOn(std::string_view before, std::string_view after, CodePage cp,
                    std::string& utf8);
// Whether a text's lines stand each after a blank line of its own, as a
// text saved with doubled line ends has them: its paragraphs' lines go on
// after a single blank line, in the middle of a sentence, again and again.
bool DoubleSpaced(const LineList& lines, CodePage cp);
// A line that is a number and marks alone ("- 12 -", "12", "[12]"): its form,
// the number as "#" ("- # -"), and its value; "" for any other line.
std::string NumberForm(std::string_view line, CodePage cp, int64_t& value);
// The page numbers a text kept from the book it was taken from: their form
// ("- # -"; "" when there are none), the first one's value, and the blank
// lines that always stand before and after them. They are numbers alone,
// counting up by one again and again, that break into a sentence (the line
// before ends none, the line after goes on in a small letter) one time in
// three at least. And the characters of the pages' full lines (the text's
// lines of text, 9 in 10 no longer).
struct PageNumbers {
    std::string Form;
    int64_t First = 0;
    size_t BlanksBefore = 0, BlanksAfter = 0;
    size_t Width = 0;
};
// A line that may head a printed page: its text with a page number at its
// start or end taken off and its runs of blanks made one space ("12   НОС"
// and "НОС" are "НОС"); "" for a line too long for one, or without a letter,
// or beginning with a small one. numbered: whether a number was taken off.
std::string HeadText(std::string_view line, CodePage cp, bool* numbered = nullptr);
// The running heads a text kept from the book it was taken from (the
// author's name, the book's title, over each page or every other page), as
// HeadText has them, and the blank lines that always stand before and after
// them. A head is a short line said again and again, a page or more apart,
// that breaks into a sentence (see FindPageNumbers) one time in three at
// least: the lines between do not count there, blank ones, page numbers or
// other heads.
struct RunningHeads {
    std::vector<std::string> Texts;
    size_t BlanksBefore = 0, BlanksAfter = 0;
};
RunningHeads FindRunningHeads(const LineList& lines, CodePage cp);
// (The lines of the heads found do not count between a number and its
// neighbours.)
PageNumbers FindPageNumbers(const LineList& lines, CodePage cp, const RunningHeads& heads = {});
// The probe words, as windows-1251 bytes.
extern const char* const ProbeWords[10];
// Round to nearest, halves to the even neighbour, of sum / count (count > 0).
int64_t RoundHalfEvenDiv(uint64_t sum, uint64_t count);
// True when the sample starts with the UTF-8 byte-order mark, or holds a
// multi-byte sequence and is valid UTF-8 throughout (a sequence cut off at the
// end is allowed when cutAtEnd). tolerant: a stray byte for every thousand
// valid multi-byte sequences is allowed too (a text damaged in a few places).
bool LooksLikeUtf8(std::string_view sample, bool cutAtEnd, bool tolerant = false);

// Finds the book's headings (one pass over its text) and keeps them as its
// contents, in its first reserved list, with their number as "Headings".
void FindContents(BookFile& book);
// The same for a book converted before books had contents; false when it has them.
bool EnsureContents(BookFile& book);
// The name a book takes from its source: the source's file name without its
// extension ("book" when nothing is left).
std::string BookBaseName(const std::string& sourcePath);
// The book file name for a source: its base name with ".tvst", or name(1).tvst,
// name(2).tvst... when that is taken in booksFolder (by anything, a folder too).
std::string ChooseBookFileName(const std::string& sourcePath, const std::string& booksFolder);

// The book's own title and author where its first lines (escaped, as the
// conversion holds them) state them: a Project Gutenberg header or first line,
// or the short lines that open the text, standing apart from what follows in
// the text's layout. A heading or the first words of a paragraph are no
// title. Empty when they do not; in the book's charset.
void FindTitleAndAuthor(const LineList& lines, const std::string& charset, std::string& title,
                        std::string& author, const Layout& layout = {});

// Whether a word split at a line's end by a hyphen (before: the line up to
// and with its "-"; after: the next line from its first letter) keeps it: a
// compound split at its own hyphen ("что-" "нибудь", "кое-" "что",
// "looking-" "glass", "WAISTCOAT-" "POCKET"), not a word split at a syllable
// ("Созд-" "анное"). English words keep it; Russian ones when a particle or
// prefix shows the compound, or the next part begins with a capital.
// writtenWhole: whether the book wrote a compound (folded, UTF-8, "что-то")
// whole before; one it did keeps its hyphen where split. Asked only when
// nothing else decides.
bool KeepsHyphen(std::string_view before, std::string_view after, CodePage page,
                 const std::function<bool(const std::string&)>& writtenWhole = {});
// Adds the words with a hyphen inside that a line holds to seen (folded,
// UTF-8), up to a bound.
void NoteCompounds(std::string_view line, CodePage page, std::unordered_set<std::string>& seen);

// A person's name (UTF-8): two to four words, each beginning with a capital,
// an initial with its point a word ("А. П. Чехов", "Чехов А. П.").
bool NameLike(std::string_view utf8);

// A sample that is not text: more than 1% of its bytes are NUL or control bytes
// other than tab, CR, LF and FF.
bool LooksBinary(std::string_view sample);
