// What reads as a heading of a book: "Chapter IV", "ГЛАВА ПЕРВАЯ", "Book One:
// 1805", "Пролог", a roman numeral or a number standing alone. Texts are
// compared decoded and folded, so letter case is no matter in any charset.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/Strings.h"
#include "book/BodyLines.h"
#include "text/Charsets.h"

enum class HeadingKind {
    None,
    Part,     // Book, Part, Volume and their Russian equals: level 1
    Chapter,  // Chapter, Глава, Act, Prologue, Preface, ...: level 2
    Scene,    // Scene, Явление: under an act, level 3
    Numeral,  // a roman numeral or a number alone: level 2, or 3 under a chapter
};

// At most this many characters make a heading.
constexpr size_t MaxHeadingChars = 80;

// Classifies a text (UTF-8) as a heading by its words alone.
HeadingKind ClassifyHeading(std::string_view utf8);
// A line of marks only ("* * *", "---", "~~~"): a separator, never a heading.
bool IsSeparator(std::string_view utf8);
// A heading set between marks ("* ЧАСТЬ ВТОРАЯ *") without them.
std::string_view WithoutMarks(std::string_view text);
// Whether a text ends as a sentence does: ".", "!", "?", "…" (UTF-8), or one of
// them before a closing quote or bracket (written as the text writes it).
bool EndsSentence(std::string_view text);

// Whether a line of a text is a heading or a break by itself: a chapter or part
// word with its number, a numeral alone, "* * *". Most lines are told apart at
// their first byte or word.
class HeadingLines {
  public:
    explicit HeadingLines(CodePage page);
    // text: a line as the conversion holds it (escaped), in the page.
    bool StandsAlone(std::string_view text) const;
    // Whether the first word of text may begin a heading.
    bool FirstWordMayBeginHeading(std::string_view text) const;

  private:
    CodePage page_;
    bool initial_[256];
};

// One entry of a book's contents.
struct Heading {
    int32_t Paragraph = 0;
    int Level = 0;     // 1 (book, part), 2 (chapter), 3 (under a chapter)
    std::string Text;  // in the book's charset
};

// Finds the headings of a converted book, reading its tagged lines in order:
// a short paragraph that is a title paragraph standing alone between empty
// lines, or reads as a heading ("Chapter IV", a roman numeral alone).
class HeadingFinder {
  public:
    // everyLine: every line is a paragraph of its own (the lines and verse layouts).
    HeadingFinder(const std::string& charset, bool everyLine);
    void Add(std::string_view bodyLine);
    // The same for a line already taken apart: the number and class of the
    // paragraph it begins (0 when it continues one) and its text.
    void AddParts(int32_t number, std::string_view cls, std::string_view text);
    void Finish();
    const std::vector<Heading>& Headings() const { return headings_; }

  private:
    void Close(bool followedByBlank);
    bool TwoCapitals(std::string_view text) const;
    CodePage page_;
    bool everyLine_;
    HeadingLines lines_;
    std::vector<Heading> headings_;
    bool underChapter_ = false;
    bool lastBlank_ = true;  // the line before (the start of the text counts as blank)
    // The paragraph being read.
    bool open_ = false;
    int32_t number_ = 0;
    bool title_ = false;
    std::string content_;
    int contentLines_ = 0;
    bool blankBefore_ = false, blankAfter_ = false, broken_ = false;
};

// The contents as the book file keeps them: "paragraph<TAB>level<TAB>text".
LineList ContentsLines(const std::vector<Heading>& headings);
// And back; lines that do not read so are left out.
std::vector<Heading> ParseContents(const LineList& lines);
