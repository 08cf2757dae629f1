// Paragraph building: which lines of a text begin paragraphs, their numbers and
// classes, one line at a time, so that a whole book and a streamed one are
// tagged by the same rules. Before the lines are tagged, one look at the whole
// text decides its layout: the rule that reads most texts right ("classic"), or
// one of the layouts that rule would misread.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "convert/HeadingShapes.h"
#include "text/Charsets.h"

// The least distance in bytes from one page marker to the next.
constexpr size_t VPageSize = 16000;

// No piece of a line and no paragraph grows beyond this many bytes of text: a
// longer line is cut into pieces, and a line that would carry a paragraph past
// it begins a new one. A virtual page thus holds at most about twice as much.
constexpr size_t MaxPieceSize = 16000;

int LeadingSpaces(std::string_view line);
// The indent for the layouts: as LeadingSpaces, but a leading tab counts as four spaces.
int EffectiveIndent(std::string_view line);

// Where a piece of at most max bytes of s ends: after the last space in it, or,
// without one, at the last character boundary (of UTF-8 when utf8) that does not
// split a character reference such as "&lt;".
size_t PieceEnd(std::string_view s, size_t max, bool utf8);

// The least length that percent of the lines reach, from a count of lines by
// their length (the last entry counts the longer ones too).
size_t LengthReachedBy(const std::vector<uint64_t>& lengths, uint64_t lines, int percent);

// A line handed on that was two lines of the text, joined at a word split at
// the first one's end: the second began at byte at of it (0: not joined), at
// indent in the text (its blanks are gone from the line). Each of the two
// tells its own length.
struct Joint {
    size_t at = 0;
    int indent = 0;
};

struct Layout {
    enum Shape { Classic, Lines, Margin, Verse, Wrapped };
    Shape Kind = Classic;
    // The common left margin taken off every line's indent (margin and verse).
    int MarginWidth = 0;
    // The column prose is wrapped at (wrapped): a line that ends a sentence and
    // leaves room for the next line's first word ends its paragraph.
    int WrapWidth = 0;
    // The lines (counted from 0) that hang under the first line of a block: a
    // paragraph set with a hanging indent (notes, a licence) between blank
    // lines, in ascending order. They continue the paragraph whatever their indent.
    std::vector<uint64_t> Hanging;
    // "classic", "lines", "margin N", "verse", "wrapped N": the book property "Layout".
    std::string Name() const;
    // A name as the user gives it ("auto" is none of these); false when unknown.
    static bool FromName(std::string_view name, Shape& kind);
};

// What the layout decision learns from one pass over a text's lines.
class LayoutStats {
  public:
    explicit LayoutStats(const std::string& charset);
    // Returns the characters shown of the line's text after its blanks (0 for
    // a blank line), which the paragraph builder takes too.
    size_t Add(std::string_view line, Joint joint = {});
    // The layout the text is read with: classic unless that rule would clearly
    // misread it.
    Layout Decide() const;
    // The given kind, with the margin this text has for it.
    Layout Make(Layout::Shape kind) const;
    // The largest indent M that 90% of the non-empty lines reach.
    int CommonMargin() const;
    // The lines (counted from 0) whose hanging is known: all but the later
    // lines of a block that may still hang.
    uint64_t Settled() const;
    // The lines found to hang so far, in ascending order.
    const std::vector<uint64_t>& Hanging() const { return hanging_; }
    // The text has ended, and its last block with it.
    void Finish() { EndBlock(false); }

  private:
    // The column the lines are wrapped at, or 0 when they are not wrapped.
    size_t WrapColumn() const;
    // The block between blank lines just ended: its lines hang or not.
    void EndBlock(bool blankCounted);
    CodePage page_;
    struct BlockLine {
        int indent;
        size_t length;  // characters, the indent included
    };
    std::vector<BlockLine> block_;  // the current block, while it may hang
    bool blockTooLong_ = false;
    bool mayHang_ = false;  // the block's indents so far are a hanging indent's
    std::vector<uint64_t> hanging_;
    uint64_t lines_ = 0, filled_ = 0, classicPars_ = 0;
    uint64_t measured_ = 0;  // the lengths counted: a joined line counts its two
    uint64_t longLines_ = 0, shortLines_ = 0, capitals_ = 0, lettered_ = 0;
    std::vector<uint64_t> lengths_;  // non-empty lines by length in characters
    std::vector<uint64_t> indents_;  // non-empty lines by indent
};

class ParagraphBuilder {
  public:
    // charset: the book's, for cutting long lines between characters.
    ParagraphBuilder(const std::string& charset, Layout layout = {});
    // Takes the next line of the text (escaped, dashes removed) and hands the
    // body line, or the lines of its pieces, to emit: the number and class of
    // the paragraph it begins (0 and null for a line that continues one) and
    // its text.
    // shown: the characters shown of the line after its blanks, when known.
    using Emit = std::function<void(int32_t number, const char* cls, std::string_view text)>;
    void Add(std::string_view line, const Emit& emit, size_t shown = std::string_view::npos,
             Joint joint = {});
    // The number of the last paragraph.
    int32_t Count() const { return n_; }
    // The line (counted from 0) hangs under its block's first line, as the
    // layout's Hanging says; told before the line is added.
    void Hangs(uint64_t line) { layout_.Hanging.push_back(line); }
    // Many of the lines are words split at line ends joined with the next
    // line: the text is wrapped prose, whatever its lines look like, so no
    // line is taken for short or for a paragraph's whole by its length alone
    // beyond what the rules always did.
    void JoinedLines() { joined_ = true; }

  private:
    // shown: the piece's characters after its indent, when known.
    void Piece(std::string_view piece, bool begins, const char* cls, const Emit& emit,
               size_t shown = std::string_view::npos);
    // Whether a line begins a paragraph by the layout's own rule; ind: the
    // indent the rules see, the layout's margin taken off.
    bool BeginsByLayout(std::string_view line, int own, size_t ws, int& ind) const;
    // What the next line is judged by: this one's end, and the length and
    // indent of its last line in the text (length, last).
    void Remember(std::string_view line, bool blank, int own, size_t textLen, size_t length,
                  int last, bool begins);
    // The class of the paragraph a line begins.
    const char* ClassOf(std::string_view line, size_t ws, int ind, size_t textLen,
                        bool endedBefore) const;
    // Whether a line (not blank) stands apart from the line before: it looks
    // like a heading, and the line before ended where a paragraph ends.
    bool SetApart(std::string_view line, size_t textLen) const;
    // Whether a line at the paragraphs' margin begins one all the same: the
    // line before ended its paragraph short. ws: the line's leading blanks.
    bool AfterAnEnd(std::string_view line, size_t ws) const;
    // Whether the line's first word would have fitted after the line before.
    bool WouldHaveFitted(std::string_view line, size_t ws) const;
    // Counts whether a line that goes on with a sentence would have fitted
    // its first word after the line before: every line of a text wrapped by
    // a machine is filled (Filled); and whether the line before was as long
    // as the width: every line of a justified text is (Justified), but for a
    // paragraph's last.
    void CountFill(std::string_view line, size_t ws, int own);
    bool Filled() const;
    bool Justified() const;
    // A line short of the width of a justified text ended its paragraph,
    // when it ended a sentence or a colon.
    bool ShortOfJustified() const;
    // Whether the line begins with a dash; whether the text sets the replies
    // it begins with one flush at its margin, as CountReplies counts them.
    bool Reply(std::string_view line, size_t ws) const;
    void CountReplies(std::string_view line, size_t ws, int own);
    bool RepliesFlush() const;
    // A play's speech begins with the name of who speaks: Cue is the name a
    // line may begin with, CountCue counts those that begin paragraphs, and
    // Speaks says the line begins with one said often in a play.
    std::string_view Cue(std::string_view line, size_t ws) const;
    void CountCue(std::string_view line, size_t ws);
    bool Speaks(std::string_view line, size_t ws) const;
    // Whether a line indented as a paragraph's first goes on with a block set
    // deeper (a letter, a quotation): its first lines deeper, the rest less.
    bool BlockGoesOn(int indent) const;
    // Counts a line of so many characters into the width the text is wrapped at.
    void Measure(size_t length);

    bool utf8_;
    CodePage page_;
    Layout layout_;
    bool afterHeading_ = false;               // the line before stood apart
    bool blankBefore_ = true;                 // the line before was blank
    int indentBefore_ = 0, blockMargin_ = 0;  // the line before's indent; the block's
    bool opening_ = true;                     // the short lines that open the book are being read
    bool endsSentence_ = false;               // the line before ended a sentence
    bool colon_ = false;                      // or a colon
    size_t before_ = 0;                       // and was so many characters long
    // The lines so far by their length in characters, their indent included.
    std::vector<uint64_t> lengths_ = std::vector<uint64_t>(201);
    uint64_t measured_ = 0;
    // The column the lines so far are wrapped at: 0 when they are not wrapped.
    size_t fullWidth_ = 72;
    bool unwrapped_ = false;  // the text is not wrapped: a line is a paragraph's whole
    bool joined_ = false;     // many lines were joined at split words
    uint64_t goesOn_ = 0, roomLeft_ = 0, full_ = 0;   // as CountFill counts
    uint64_t replies_ = 0, repliesAfterEnd_ = 0;      // as CountReplies counts
    std::unordered_map<std::string, uint32_t> cues_;  // names at paragraphs' starts
    uint64_t cued_ = 0, speakers_ = 0;                // their count; names said three times
    uint64_t starts_ = 0;                             // paragraphs begun
    bool hasText_ = false;                            // the current paragraph has more than blanks
    uint64_t line_ = 0;                               // lines taken so far
    size_t hang_ = 0;                                 // the next of the layout's hanging lines
    int32_t n_ = 0;
    uint64_t r_ = 0;         // text the current paragraph's later lines added
    uint64_t parBytes_ = 0;  // text of the current paragraph
    // A line's shown text, and in UTF-8, while it is looked at as a heading.
    mutable std::string shown_, shownUtf8_;
};

// Cuts the tagged text into virtual pages as the lines pass: a page marker goes
// in front of the first "<" that lies VPageSize bytes or more after the start
// of the previous marker, counted in the text joined with CR LF.
class PageMarker {
  public:
    // Writes a line, given as consecutive parts, and its CR LF through write,
    // with the markers the line calls for.
    template <class W>
    void Line(std::initializer_list<std::string_view> parts, W&& write) {
        uint64_t out = 0;  // bytes of this line written, markers included
        for (std::string_view part : parts) {
            size_t from = 0;
            for (;;) {
                const void* hit = part.size() > from
                                      ? std::memchr(part.data() + from, '<', part.size() - from)
                                      : nullptr;
                const size_t lt =
                    hit ? size_t(static_cast<const char*>(hit) - part.data()) : part.size();
                if (lt > from) write(part.substr(from, lt - from));
                out += lt - from;
                if (!hit) break;
                const uint64_t at = off_ + out;
                if (at >= next_) {
                    char buf[32];
                    const size_t n = Marker(buf, at);
                    write(std::string_view(buf, n));
                    out += n;
                }
                write(std::string_view("<", 1));
                ++out;
                from = lt + 1;
            }
        }
        write(std::string_view("\r\n", 2));
        off_ += out + 2;
    }
    // The same for a tagged line whose text holds no "<" (an escaped one): the
    // tag's "<" is the only place a marker can go.
    template <class W>
    void TaggedLine(std::string_view tag, std::string_view text, W&& write) {
        uint64_t out = 0;
        if (!tag.empty()) {
            if (off_ >= next_) {
                char buf[32];
                const size_t n = Marker(buf, off_);
                write(std::string_view(buf, n));
                out += n;
            }
            write(tag);
            out += tag.size();
        }
        write(text);
        write(std::string_view("\r\n", 2));
        off_ += out + text.size() + 2;
    }
    int32_t Pages() const { return k_; }
    // Where each marker stands in the marked text.
    const std::vector<uint64_t>& Offsets() const { return offsets_; }
    uint64_t Size() const { return off_; }

  private:
    // A new page begins at offset at: its marker goes into buf; returns its length.
    size_t Marker(char* buf, uint64_t at);
    uint64_t off_ = 0;   // the current line's start in the marked text
    uint64_t next_ = 0;  // the first offset at which a "<" receives a marker
    int32_t k_ = 0;
    std::vector<uint64_t> offsets_;
};
