#include "convert/Paragraphs.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "base/Strings.h"
#include "book/BodyLines.h"

int LeadingSpaces(std::string_view line) {
    if (line.empty()) return 0;
    size_t n = 0;
    while (n < line.size() && line[n] == ' ') ++n;
    if (n == line.size()) return int(n) - 1;
    return int(n);
}

// Bytes of the leading run of spaces and tabs.
static size_t WhiteBytes(std::string_view line) {
    size_t n = 0;
    while (n < line.size() && (line[n] == ' ' || line[n] == '\t')) ++n;
    return n;
}

int EffectiveIndent(std::string_view line) {
    if (line.empty()) return 0;
    size_t n = WhiteBytes(line);
    int width = 0;
    for (size_t i = 0; i < n; ++i) width += line[i] == '\t' ? 4 : 1;
    return n == line.size() ? width - 1 : width;
}

static bool ReferenceChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '#';
}

size_t PieceEnd(std::string_view s, size_t max, bool utf8) {
    if (s.size() <= max) return s.size();
    size_t sp = s.rfind(' ', max - 1);
    if (sp != std::string_view::npos && sp > 0) return sp + 1;
    size_t cut = max;
    if (utf8)
        while (cut > 1 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
    // Not inside "&lt;", "&gt;" or any reference the text wrote itself.
    for (size_t back = 1; back <= 10 && back < cut; ++back) {
        size_t amp = cut - back;
        if (s[amp] == '&') {
            size_t j = amp + 1;
            while (j < s.size() && j - amp <= 10 && ReferenceChar(s[j])) ++j;
            if (j < s.size() && s[j] == ';' && j >= cut) cut = amp;
            break;
        }
        if (!ReferenceChar(s[amp])) break;
    }
    return cut;
}

std::string Layout::Name() const {
    switch (Kind) {
        case Lines:
            return "lines";
        case Margin:
            return "margin " + IntToStr(MarginWidth);
        case Verse:
            return "verse";
        case Wrapped:
            return "wrapped " + IntToStr(WrapWidth);
        default:
            return "classic";
    }
}

bool Layout::FromName(std::string_view name, Shape& kind) {
    static const std::pair<const char*, Shape> names[] = {{"classic", Classic},
                                                          {"lines", Lines},
                                                          {"margin", Margin},
                                                          {"verse", Verse},
                                                          {"wrapped", Wrapped}};
    for (const auto& [n, k] : names)
        if (SameText(name, n)) {
            kind = k;
            return true;
        }
    return false;
}

// Lengths in characters and indents are counted up to these, the rest together.
constexpr size_t LengthCap = 1000, IndentCap = 200;

LayoutStats::LayoutStats(const std::string& charset)
    : page_(CodePageOf(charset)), lengths_(LengthCap + 1), indents_(IndentCap + 1) {}

void LayoutStats::Add(std::string_view line) {
    const int indent = EffectiveIndent(line);
    // The classic rule on these lines: the first begins paragraph 1, then every
    // line indented by two or more, or empty.
    if (lines_++ == 0 || indent > 1 || line.empty()) ++classicPars_;
    const size_t ws = WhiteBytes(line);
    if (ws == line.size()) {  // nothing but blanks
        EndBlock(true);
        return;
    }
    ++filled_;
    const std::string_view text = line.substr(ws);
    const size_t textChars = ShownLength(text, page_ == CodePage::Utf8);
    const size_t chars = size_t(indent) + textChars;
    ++lengths_[std::min(chars, LengthCap)];
    // Blocks of a few dozen lines at most are looked at for a hanging indent.
    if (!blockTooLong_ && block_.size() < 64) {
        block_.push_back({indent, chars});
        const size_t n = block_.size();
        if (n == 2) mayHang_ = indent >= 2 && block_[0].indent < indent;
        if (n > 2) mayHang_ = mayHang_ && indent == block_[1].indent;
    } else {
        blockTooLong_ = true;
    }
    ++indents_[std::min(size_t(indent), IndentCap)];
    if (chars > 120) ++longLines_;
    if (textChars < 45) ++shortLines_;
    // Whether the line's first letter (past dashes, quotes and the like) is a capital.
    size_t i = 0;
    for (int k = 0; k < 6 && i < text.size(); ++k) {
        char32_t c = DecodeChar(text, i, page_);
        if (IsLetter(c)) {
            ++lettered_;
            if (IsUpper(c)) ++capitals_;
            break;
        }
        if (c >= '0' && c <= '9') break;
    }
}

void LayoutStats::EndBlock(bool blankCounted) {
    // A paragraph set with a hanging indent: its first line, then lines all at
    // one deeper indent, every line but the last filled nearly to
    // the block's longest (wrapped prose, not lines of verse or dialogue).
    const size_t n = block_.size();
    bool hangs =
        !blockTooLong_ && n >= 2 && block_[1].indent >= 2 && block_[0].indent < block_[1].indent;
    size_t longest = 0;
    for (const auto& l : block_) longest = std::max(longest, l.length);
    for (size_t i = 0; hangs && i < n; ++i) {
        if (i > 0 && block_[i].indent != block_[1].indent) hangs = false;
        if (i + 1 < n && block_[i].length * 100 < longest * 80) hangs = false;
    }
    if (hangs && longest >= 40) {
        // The block's lines end before the blank line just counted, or at the end.
        const uint64_t first = lines_ - n - (blankCounted ? 1 : 0);
        for (uint64_t i = first + 1; i < first + n; ++i) hanging_.push_back(i);
    }
    block_.clear();
    blockTooLong_ = false;
}

uint64_t LayoutStats::Settled() const {
    const bool open = !blockTooLong_ && block_.size() >= 2 && mayHang_;
    return lines_ - (open ? block_.size() - 1 : 0);
}

int LayoutStats::CommonMargin() const {
    uint64_t atLeast = 0;
    for (size_t m = IndentCap + 1; m-- > 0;) {
        atLeast += indents_[m];
        if (atLeast * 10 >= filled_ * 9) return int(m);
    }
    return 0;
}

size_t LayoutStats::WrapColumn() const {
    // Hard-wrapped lines end near a common column: nearly all are at most that
    // long, and most come close to it.
    if (filled_ == 0) return 0;
    uint64_t seen = 0;
    size_t w = 0;
    while (w < LengthCap && (seen += lengths_[w]) * 100 < filled_ * 95) ++w;
    if (w > 100) return 0;
    uint64_t near = 0;
    for (size_t l = (w * 4 + 4) / 5; l <= w; ++l) near += lengths_[l];
    return near * 2 >= filled_ ? w : 0;
}

Layout LayoutStats::Make(Layout::Shape kind) const {
    Layout l;
    l.Kind = kind;
    // The text's last block ends with the text.
    LayoutStats last(*this);
    last.EndBlock(false);
    l.Hanging = std::move(last.hanging_);
    if (kind == Layout::Margin) l.MarginWidth = CommonMargin();
    if (kind == Layout::Verse) l.MarginWidth = CommonMargin() >= 2 ? CommonMargin() : 0;
    if (kind == Layout::Wrapped) l.WrapWidth = int(WrapColumn() ? WrapColumn() : 70);
    return l;
}

Layout LayoutStats::Decide() const {
    if (filled_ == 0) return {};
    const double perParagraph = double(lines_) / double(classicPars_);
    const double shortShare = double(shortLines_) / double(filled_);
    const double longShare = double(longLines_) / double(filled_);
    const double capitalShare = lettered_ ? double(capitals_) / double(lettered_) : 0;
    const bool wrapped = WrapColumn() > 0;
    // The classic rule runs lines together into paragraphs of many lines.
    if (perParagraph > 2) {
        // Short lines, each beginning with a capital: verse.
        if (shortShare >= 0.75 && capitalShare >= 0.6) return Make(Layout::Verse);
        // Many lines far longer than any wrap width: one paragraph per line.
        if (longShare >= 0.15 && !wrapped) return Make(Layout::Lines);
    }
    // Wrapped prose that the classic rule runs together into paragraphs of many
    // lines (no indents, no blank lines): its short lines end paragraphs.
    if (perParagraph > 12 && wrapped && capitalShare < 0.5 && CommonMargin() == 0)
        return Make(Layout::Wrapped);
    // Nearly every line begins a paragraph, and the lines are wrapped prose under
    // a common margin: every line would be a paragraph, every first line a title.
    const int margin = CommonMargin();
    if (margin >= 2 && wrapped && capitalShare < 0.5 && classicPars_ * 10 >= lines_ * 8)
        return Make(Layout::Margin);
    return Make(Layout::Classic);
}

ParagraphBuilder::ParagraphBuilder(const std::string& charset, Layout layout)
    : utf8_(charset == "UTF-8"), layout_(layout), headings_(CodePageOf(charset)) {}

void ParagraphBuilder::Piece(std::string_view piece, bool begins, const char* cls,
                             const Emit& emit) {
    const size_t ws = WhiteBytes(piece);
    const size_t textLen =
        ws == piece.size() ? (piece.empty() ? 0 : 1) : ShownLength(piece.substr(ws), utf8_);
    if (n_ == 0) {
        // The book's first line is paragraph 1, class "pnorm", whatever it holds;
        // its running length counts the tag.
        n_ = 1;
        r_ = ParagraphTagLength(1) + ShownLength(piece, utf8_);
        hasText_ = ws < piece.size();
        parBytes_ = piece.size();
        emit(1, "pnorm", piece);
        return;
    }
    if (!begins && parBytes_ + piece.size() > MaxPieceSize) {
        begins = true;
        cls = "pnorm";
    }
    const bool text = ws < piece.size();
    if (begins) {
        ++n_;
        r_ = 0;
        hasText_ = text;
        parBytes_ = piece.size();
        emit(n_, cls, piece);
    } else {
        r_ += textLen;
        hasText_ = hasText_ || text;
        parBytes_ += piece.size();
        emit(0, nullptr, piece);
    }
}

void ParagraphBuilder::Add(std::string_view line, const Emit& emit) {
    const size_t len = line.size();
    const int own = EffectiveIndent(line);
    const size_t ws = WhiteBytes(line);
    // The indent the rules see: the layout's margin comes off it.
    int ind = own;
    bool begins = false;
    switch (layout_.Kind) {
        case Layout::Classic:
            begins = ind > 1 || len == 0;
            break;
        case Layout::Wrapped: {
            // The line before ended a sentence, and this line's first word would
            // have fitted after it: it was broken short, at a paragraph's end.
            const std::string_view word = line.substr(ws, line.find(' ', ws) - ws);
            begins = ind > 1 || len == 0 ||
                     (endsSentence_ &&
                      before_ + 1 + ShownLength(word, utf8_) <= size_t(layout_.WrapWidth));
            break;
        }
        case Layout::Lines:
            begins = true;
            break;
        case Layout::Verse:
            if (layout_.MarginWidth > 0 && own >= layout_.MarginWidth)
                ind = own - layout_.MarginWidth;
            begins = true;
            break;
        case Layout::Margin:
            // A line at the margin continues; one with less indent stands alone.
            if (own >= layout_.MarginWidth) {
                // Any indent beyond the margin begins a paragraph: a margin of
                // two with first lines at three is common in texts typed by hand.
                ind = own - layout_.MarginWidth;
                begins = ind > 0 || len == 0;
            } else {
                begins = true;
            }
            break;
    }
    // A heading or a break standing flush on its own line, after a paragraph's
    // last line, is no part of that paragraph; nor is the line after it.
    // (A paragraph of blank lines so far may take it: it shows alone there.)
    // A line that hangs under its block's first line continues its paragraph.
    const bool hanging = hang_ < layout_.Hanging.size() && layout_.Hanging[hang_] == line_;
    ++line_;
    if (hanging) ++hang_;
    // Lengths are the characters the reader sees, whatever the charset.
    const size_t textLen = ws == len ? (len ? 1 : 0) : ShownLength(line.substr(ws), utf8_);
    if (layout_.Kind != Layout::Lines && layout_.Kind != Layout::Verse) {
        const bool blank = ws == len;
        // (A line of prose is too long to be looked at: most are.)
        const bool heading = !blank && !hanging && textLen <= 60 && headings_.StandsAlone(line);
        begins = (begins || (heading && hasText_) || (afterHeading_ && !blank)) && !hanging;
        afterHeading_ = heading;
    }
    if (layout_.Kind == Layout::Wrapped) {
        before_ = size_t(own) + textLen;
        endsSentence_ = EndsSentence(line);
    }
    const char first = len == 0 ? 0 : (ws == len ? line[len - 1] : line[ws]);
    const char* cls = "pnorm";
    if (len > 0 && textLen < 60 && first != '-' && r_ < 60) cls = "pnor0";
    if (ind > 6) cls = "ptitl";
    if (ind > 35) cls = "pepig";
    if (len <= MaxPieceSize) return Piece(line, begins, cls, emit);
    // A runaway line: its pieces after the first begin paragraphs of their own.
    size_t end = PieceEnd(line, MaxPieceSize, utf8_);
    Piece(line.substr(0, end), begins, cls, emit);
    for (std::string_view rest = line.substr(end); !rest.empty(); rest = rest.substr(end)) {
        end = PieceEnd(rest, MaxPieceSize, utf8_);
        Piece(rest.substr(0, end), true, "pnorm", emit);
    }
}

size_t PageMarker::Marker(char* buf, uint64_t at) {
    ++k_;
    offsets_.push_back(at);
    next_ = at + VPageSize;
    return WritePageMarker(buf, k_);
}
