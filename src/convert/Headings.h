// The headings of a book, found from what the book repeats: short lines whose
// shape recurs through the book with their numbers counting up are its
// chapters (and parts, and sections under them, by how they nest); a short
// line right under a numbered heading is that heading's title. Known words
// only add weight. Texts are compared decoded and folded, so letter case is no
// matter in any charset.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/Strings.h"
#include "book/BodyLines.h"
#include "convert/HeadingShapes.h"
#include "text/Charsets.h"

// One entry of a book's contents.
struct Heading {
    int32_t Paragraph = 0;
    int Level = 0;     // 1 (book, part), 2 (chapter), 3 (under a chapter)
    std::string Text;  // in the book's charset
};

// Finds the headings of a converted book, reading its tagged lines in order.
// Only the short paragraphs are kept as they pass; the headings are told at
// the end, when the whole book has shown what it repeats. A finder may read
// on a thread of its own beside a writer: it stands in cache lines of its own.
class alignas(64) HeadingFinder {
  public:
    // everyLine: every line is a paragraph of its own (the lines and verse layouts).
    HeadingFinder(const std::string& charset, bool everyLine);
    void Add(std::string_view bodyLine);
    // The same for a line already taken apart: the number and class of the
    // paragraph it begins (0 when it continues one) and its text.
    void AddParts(int32_t number, std::string_view cls, std::string_view text);
    void Finish();
    const std::vector<Heading>& Headings() const { return headings_; }
    // The names of a play's speakers: short lines in capitals, each said
    // again and again, dozens of times together (shown text, the book's charset).
    const std::vector<std::string>& Speakers() const { return speakers_; }
    // The epigraphs under headings: the paragraph of each one's first line and
    // of its attribution (a name, "Пословица.").
    const std::vector<std::pair<int32_t, int32_t>>& Epigraphs() const { return epigraphs_; }

  private:
    // A short paragraph that may be a heading.
    struct Candidate {
        int32_t paragraph;
        int64_t ordinal;  // among the paragraphs with text
        int shape;        // its shape, grouped without marks
        int marks;        // its shape with them, and whether its number is in figures
        int64_t value;
        HeadingWord word;
        bool capitals, apart, centred, top;
        bool beforeProse;  // a paragraph of prose comes right after it
        // It broke into a sentence: the paragraph of prose right before it
        // ended none, or the paragraph right after it begins with a small letter.
        bool breaksIn;
        int gap;           // the blank lines right before it
        std::string text;  // shown, in the book's charset
        // Prose comes past one short line under it (an author's name).
        bool proseUnderOne = false;
    };
    void Close(bool followedByBlank);
    // The candidates taken as headings, their shapes grouped: numbered shapes
    // that count up, then lines in capitals that recur, then one-off headings.
    void TakeNumberedShapes(std::vector<int>& depth) const;
    // The members of a numbered shape that keep its count.
    std::vector<size_t> Counted(const std::vector<size_t>& members) const;
    void TakeTitles(std::vector<int>& depth, std::vector<std::string>& text) const;
    // The titles joined to numbered headings, folded.
    std::set<std::string> NumberedTitles(const std::vector<int>& depth) const;
    void TakeCapitals(std::vector<int>& depth) const;
    void TakeSetOff(std::vector<int>& depth) const;
    // Prose comes right under candidate i, or a heading's number (the first
    // chapter of a story it titles), or either past one short line (its
    // author's name).
    bool OverText(size_t i) const;
    // Titles found as a level of their own take their place among the levels.
    void PlaceTitles(const std::vector<size_t>& members, std::vector<int>& depth) const;
    void TakeOneOffs(std::vector<int>& depth) const;
    void TakeOneOffTitles(std::vector<int>& depth, std::vector<std::string>& text) const;
    // underNumber: the paragraph stands right under a numbered heading.
    void NoteShortRun(bool prose, bool underNumber);
    // The paragraph being closed in UTF-8, made once for all that look at it.
    std::string_view ContentUtf8();
    void FindEpigraphs(const std::vector<int>& depth);
    void CountName(std::string_view utf8);
    void FindSpeakers();
    void DropPrintedContents(std::vector<int>& depth, const std::vector<std::string>& text) const;

    CodePage page_;
    bool everyLine_;
    std::vector<Candidate> candidates_;
    std::unordered_map<std::string, int> shapeIds_;
    std::vector<Heading> headings_;
    std::unordered_map<std::string, int> names_;  // lines in capitals, folded, and their count
    std::vector<std::string> speakers_;
    // The short paragraphs since the last of prose, and whether each is a name.
    std::vector<std::pair<int32_t, bool>> shortRun_;
    // Runs of short paragraphs that ended in a name before prose.
    std::vector<std::vector<int32_t>> namedRuns_;
    std::vector<std::pair<int32_t, int32_t>> epigraphs_;
    int64_t ordinal_ = 0;     // paragraphs with text so far
    bool prose_ = false;      // a paragraph of prose has passed: the book's top is over
    int64_t lastProse_ = -1;  // the ordinal of the last paragraph of prose
    bool lastBlank_ = true;   // the line before (the start of the text counts as blank)
    int blanks_ = 0;          // blank lines since the last with text
    // The paragraphs with text by the blank lines right before them: none,
    // one, two, three or more.
    uint64_t gaps_[4] = {};
    // The paragraph being read.
    bool open_ = false;
    int32_t number_ = 0;
    bool centred_ = false;
    std::string content_;
    // As ContentUtf8 made it, while contentInUtf8_: content_ itself, or
    // contentUtf8_.
    std::string_view contentAsUtf8_;
    std::string contentUtf8_;
    bool contentInUtf8_ = false;
    int contentLines_ = 0;
    size_t contentChars_ = 0;
    bool blankBefore_ = false, blankAfter_ = false, broken_ = false;
    int gapBefore_ = 0;
    // The last bytes of the last line with text, and whether the last
    // paragraph was of prose that ended no sentence.
    char tail_[16] = {};
    size_t tailLength_ = 0;
    std::string tailUtf8_;
    bool unfinished_ = false;
};

// The contents as the book file keeps them: "paragraph<TAB>level<TAB>text".
LineList ContentsLines(const std::vector<Heading>& headings);
// And back; lines that do not read so are left out.
std::vector<Heading> ParseContents(const LineList& lines);
