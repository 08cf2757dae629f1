#include "convert/Paragraphs.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <utility>

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

// An em or en dash: in UTF-8, or 0x97 and 0x96 of windows-1251 and Windows-1252.
static bool StartsWithDash(std::string_view s, CodePage page) {
    if (page == CodePage::Utf8)
        return s.rfind("\xE2\x80\x94", 0) == 0 || s.rfind("\xE2\x80\x93", 0) == 0;
    return (page == CodePage::Win1251 || page == CodePage::Win1252) && !s.empty() &&
           (s[0] == '\x97' || s[0] == '\x96');
}

// A line that begins with a dash after its blanks at ws: "-" or an em or en dash.
static bool BeginsWithDash(std::string_view line, size_t ws, CodePage page) {
    return ws < line.size() && (line[ws] == '-' || StartsWithDash(line.substr(ws), page));
}

// The lengths in characters of the two lines of the text a line was joined
// from at a word split (joint): the first with its indent and its hyphen,
// the second with the indent it had. textChars: the line's characters after
// its blanks (ws bytes).
static std::pair<size_t, size_t> JoinedLengths(std::string_view line, size_t ws, int indent,
                                               size_t textChars, Joint joint, bool utf8) {
    const size_t head = ShownLength(line.substr(ws, joint.at - ws), utf8);
    return {size_t(indent) + head + (line[joint.at - 1] == '-' ? 0 : 1),
            size_t(joint.indent) + textChars - std::min(head, textChars)};
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

size_t LengthReachedBy(const std::vector<uint64_t>& lengths, uint64_t lines, int percent) {
    uint64_t seen = 0;
    size_t w = 0;
    while (w + 1 < lengths.size() && (seen += lengths[w]) * 100 < lines * uint64_t(percent)) ++w;
    return w;
}

// Lengths in characters and indents are counted up to these, the rest together.
constexpr size_t LengthCap = 1000, IndentCap = 200;

LayoutStats::LayoutStats(const std::string& charset)
    : page_(CodePageOf(charset)), lengths_(LengthCap + 1), indents_(IndentCap + 1) {}

size_t LayoutStats::Add(std::string_view line, Joint joint) {
    const int indent = EffectiveIndent(line);
    // The classic rule on these lines: the first begins paragraph 1, then every
    // line indented by two or more, or empty.
    if (lines_++ == 0 || indent > 1 || line.empty()) ++classicPars_;
    const size_t ws = WhiteBytes(line);
    if (ws == line.size()) {  // nothing but blanks
        EndBlock(true);
        return 0;
    }
    ++filled_;
    const std::string_view text = line.substr(ws);
    const size_t textChars = ShownLength(text, page_ == CodePage::Utf8);
    size_t chars = size_t(indent) + textChars;
    // (Two lines of the text, joined at a word split: the longer tells most.)
    if (joint.at > ws && joint.at < line.size()) {
        const auto [first, second] =
            JoinedLengths(line, ws, indent, textChars, joint, page_ == CodePage::Utf8);
        ++lengths_[std::min(first, LengthCap)];
        ++lengths_[std::min(second, LengthCap)];
        measured_ += 2;
        chars = std::max(first, second);
    } else {
        ++lengths_[std::min(chars, LengthCap)];
        ++measured_;
    }
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
    return textChars;
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
    // (Its first line is filled with text, not with the blanks that centre
    // a short title.)
    if (hangs && longest >= 40 && block_[0].length - size_t(block_[0].indent) >= 40) {
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
    if (measured_ == 0) return 0;
    const size_t w = LengthReachedBy(lengths_, measured_, 95);
    if (w > 100) return 0;
    uint64_t near = 0;
    for (size_t l = (w * 4 + 4) / 5; l <= w; ++l) near += lengths_[l];
    return near * 2 >= measured_ ? w : 0;
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
    : utf8_(charset == "UTF-8"), page_(CodePageOf(charset)), layout_(layout) {}

void ParagraphBuilder::Measure(size_t length) {
    ++lengths_[std::min(length, lengths_.size() - 1)];
    ++measured_;
    // Until the text shows its own, the common width of wrapped texts; then
    // learned again now and then (the few first hundred lines each time).
    if (measured_ < 30 || (measured_ > 256 && measured_ % (measured_ > 8192 ? 1024 : 64) != 0))
        return;
    const size_t w = LengthReachedBy(lengths_, measured_, 90);
    fullWidth_ = w > 100 ? 0 : w;
    // Not wrapped at all: lines of 200 characters and more, one in twelve at
    // least. (A wrapped text whose words split at line ends are joined has
    // lines of two widths, too long for a width but few so long.)
    unwrapped_ = lengths_.back() * 12 >= measured_;
}

bool ParagraphBuilder::BlockGoesOn(int indent) const {
    // A line set less deep than the line before, or at the block's margin,
    // goes on with its paragraph when the line before was full (verse,
    // short, is a line each) and ended no sentence: after one, it is a
    // paragraph of its own, its first line indented less than the one
    // before (texts typed by hand indent as it comes).
    // (Only in text wrapped as prose is: a longer line is a paragraph of its own.)
    if (indent <= 1 || indentBefore_ <= 1 || fullWidth_ < 50 || blankBefore_) return false;
    const bool full = before_ * 4 >= fullWidth_ * 3 && before_ * 3 <= fullWidth_ * 4;
    return full && (indent < indentBefore_ || indent == blockMargin_) && !endsSentence_ && !colon_;
}

bool ParagraphBuilder::AfterAnEnd(std::string_view line, size_t ws) const {
    // The line before ended a sentence well short of the width the text is
    // wrapped at, and this line's first word would have fitted after it: it
    // was broken there, at a paragraph's end (an epigraph's line, a verse
    // quoted). So was a short line that ended no sentence, in a text whose
    // width is known by now, when this line begins with a capital: a line of
    // verse. In a text not wrapped, any line ending a sentence or a colon is one.
    if (ws == line.size()) return false;
    if (unwrapped_ && !joined_ && (endsSentence_ || colon_)) return true;
    if (ShortOfJustified()) return true;
    // A text that sets its replies flush begins one after any sentence; a
    // play, a speech with the name of one who speaks often.
    if ((endsSentence_ || colon_) && RepliesFlush() && Reply(line, ws)) return true;
    if (endsSentence_ && Speaks(line, ws)) return true;
    if (!endsSentence_) {
        if (measured_ < 30 || blankBefore_ || joined_ ||
            (fullWidth_ ? before_ * 4 >= fullWidth_ * 3 : before_ >= 60))
            return false;
        size_t i = ws;
        if (!IsUpper(DecodeChar(line, i, page_))) return false;
    }
    if (fullWidth_ == 0) return before_ < 60;
    // (In a text wrapped by a machine, filling every line it can, a line
    // never has room for the next one's first word inside a sentence: after
    // a sentence, such room is a paragraph's end whatever the line's length.)
    return (before_ * 4 < fullWidth_ * 3 || (endsSentence_ && Filled())) &&
           WouldHaveFitted(line, ws);
}

bool ParagraphBuilder::WouldHaveFitted(std::string_view line, size_t ws) const {
    const std::string_view word = line.substr(ws, line.find(' ', ws) - ws);
    return before_ + 1 + ShownLength(word, utf8_) <= fullWidth_;
}

void ParagraphBuilder::CountFill(std::string_view line, size_t ws, int own) {
    // Lines at the margin that go on with the sentence of a line above them.
    if (goesOn_ >= 4096 || ws == line.size() || blankBefore_ || endsSentence_ || colon_ ||
        own > 1 || measured_ < 30 || fullWidth_ < 40 || before_ * 4 < fullWidth_ * 3)
        return;
    ++goesOn_;
    roomLeft_ += WouldHaveFitted(line, ws);
    full_ += before_ == fullWidth_;
}

bool ParagraphBuilder::Filled() const {
    return goesOn_ >= 64 && roomLeft_ * 50 <= goesOn_;
}

bool ParagraphBuilder::Justified() const {
    return goesOn_ >= 64 && full_ * 50 >= goesOn_ * 49;
}

bool ParagraphBuilder::ShortOfJustified() const {
    return (endsSentence_ || colon_) && before_ < fullWidth_ && Justified();
}

bool ParagraphBuilder::Reply(std::string_view line, size_t ws) const {
    if (!BeginsWithDash(line, ws, page_)) return false;
    // (A dash before a small letter goes on with the author's words: "— сказал он".)
    size_t i = ws;
    for (int k = 0; k < 4 && i < line.size(); ++k) {
        const char32_t c = DecodeChar(line, i, page_);
        if (IsLetter(c)) return !IsLower(c);
    }
    return true;
}

void ParagraphBuilder::CountReplies(std::string_view line, size_t ws, int own) {
    // Lines at the margin that begin with a dash, under a line of text: a
    // dash a machine wrapped there follows a sentence's end now and then, a
    // reply set flush nearly always.
    if (replies_ >= 4096 || blankBefore_ || own > 1 || !Reply(line, ws)) return;
    ++replies_;
    repliesAfterEnd_ += endsSentence_ || colon_;
}

std::string_view ParagraphBuilder::Cue(std::string_view line, size_t ws) const {
    // One to three words of letters, each from a capital, then "." or " (":
    // "Петр.", "Акулина Ивановна (моет посуду).", then the speech.
    size_t i = ws;
    for (int words = 0; words < 3 && i < line.size(); ++words) {
        const size_t start = i;
        for (bool first = true; i < line.size(); first = false) {
            const size_t at = i;
            const char32_t c = DecodeChar(line, i, page_);
            if (!IsLetter(c)) {
                i = at;
                break;
            }
            if (first && !IsUpper(c)) return {};
        }
        if (i - start < 2 || i >= line.size() || i - ws > 40) return {};
        if (line[i] == '.')
            return i + 1 < line.size() ? line.substr(ws, i - ws) : std::string_view();
        if (line[i] != ' ') return {};
        if (i + 1 < line.size() && line[i + 1] == '(') return line.substr(ws, i - ws);
        ++i;
    }
    return {};
}

void ParagraphBuilder::CountCue(std::string_view line, size_t ws) {
    const std::string_view cue = Cue(line, ws);
    if (cue.empty()) return;
    auto it = cues_.find(std::string(cue));
    if (it == cues_.end()) {
        if (cues_.size() >= 1024) return;  // (no play has so many names)
        it = cues_.emplace(std::string(cue), 0).first;
    }
    if (++it->second == 3) ++speakers_;
    ++cued_;
}

bool ParagraphBuilder::Speaks(std::string_view line, size_t ws) const {
    // A few names, each at the start of three paragraphs or more, of dozens,
    // and of a third of all paragraphs at least (a novel's "Да." and "Нет."
    // begin far fewer).
    if (speakers_ < 3 || cued_ < 20 || cued_ * 3 < starts_) return false;
    const std::string_view cue = Cue(line, ws);
    if (cue.empty()) return false;
    const auto it = cues_.find(std::string(cue));
    return it != cues_.end() && it->second >= 3;
}

bool ParagraphBuilder::RepliesFlush() const {
    return replies_ >= 16 && repliesAfterEnd_ * 4 >= replies_ * 3;
}

namespace {

// A rule drawn with one mark, spaces between or not ("-----", "= = =", "***",
// the dots of lines left out of a quotation): no paragraph goes on through
// it, however long it is.
bool Rule(std::string_view line, size_t ws) {
    if (ws >= line.size() || !std::strchr("-=*_~#+.", line[ws])) return false;
    size_t marks = 0;
    for (size_t i = ws; i < line.size(); ++i) {
        if (line[i] == line[ws])
            ++marks;
        else if (line[i] != ' ' && line[i] != '\t')
            return false;
    }
    return marks >= 3;
}

}  // namespace

bool ParagraphBuilder::SetApart(std::string_view line, size_t textLen) const {
    if (Rule(line, WhiteBytes(line))) return true;
    if (textLen > 60) return false;
    // The line before ended a paragraph: a blank, a sentence's end or a colon,
    // a line standing apart itself, a line broken well short of the text's
    // width, or one longer than any wrapped line (a paragraph of one line).
    const size_t full = fullWidth_;
    const bool ended = blankBefore_ || endsSentence_ || colon_ || afterHeading_ || full == 0 ||
                       before_ * 4 < full * 3 || before_ * 3 > full * 4;
    // And a heading is clearly shorter than a full line.
    if (!ended || (full && textLen * 4 >= full * 3)) return false;
    // (A line with no "<" and no "&" shows as it stands.)
    std::string_view shown = TrimBlanks(line, page_);
    if (std::memchr(shown.data(), '<', shown.size()) ||
        std::memchr(shown.data(), '&', shown.size())) {
        shown_.clear();
        AppendShownText(shown_, shown);
        shown = shown_;
    }
    const std::string_view utf8 = AsUtf8(shown, page_, shownUtf8_);
    if (IsSeparator(utf8)) return true;
    const LineShape shape = ShapeOf(utf8, false);
    // A line of words alone looks much like a paragraph's last line: it
    // stands apart only among the lines that open the book (its title and
    // author), before any long line.
    return !shape.Key.empty() &&
           (shape.Numbered() || shape.Capitals || shape.Word != HeadingWord::None ||
            (opening_ && textLen * 2 < (full ? full : 72)));
}

void ParagraphBuilder::Piece(std::string_view piece, bool begins, const char* cls, const Emit& emit,
                             size_t shown) {
    const size_t ws = WhiteBytes(piece);
    const size_t textLen = ws == piece.size()                ? (piece.empty() ? 0 : 1)
                           : shown != std::string_view::npos ? shown
                                                             : ShownLength(piece.substr(ws), utf8_);
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

bool ParagraphBuilder::BeginsByLayout(std::string_view line, int own, size_t ws, int& ind) const {
    const size_t len = line.size();
    switch (layout_.Kind) {
        case Layout::Classic:
            return (ind > 1 && !BlockGoesOn(own)) || len == 0 || AfterAnEnd(line, ws);
        case Layout::Wrapped: {
            // The line before ended a sentence, and this line's first word would
            // have fitted after it: it was broken short, at a paragraph's end.
            // So was a line well short of the width, or one before a reply.
            const std::string_view word = line.substr(ws, line.find(' ', ws) - ws);
            const size_t width = size_t(layout_.WrapWidth);
            const bool fits = before_ + 1 + ShownLength(word, utf8_) <= width;
            const bool reply = BeginsWithDash(line, ws, page_);
            return ind > 1 || len == 0 || (reply && (colon_ || endsSentence_)) ||
                   (fits && (endsSentence_ || reply || before_ * 4 < width * 3)) ||
                   ShortOfJustified();
        }
        case Layout::Lines:
            return true;
        case Layout::Verse:
            if (layout_.MarginWidth > 0 && own >= layout_.MarginWidth)
                ind = own - layout_.MarginWidth;
            return true;
        case Layout::Margin:
            // A line at the margin continues; one with less indent stands
            // alone, unless it goes on in a small letter with the sentence the
            // line before left open (a margin lost in the file).
            if (own < layout_.MarginWidth) {
                size_t i = ws;
                return ws == len || endsSentence_ || blankBefore_ ||
                       !IsLower(DecodeChar(line, i, page_));
            }
            // Any indent beyond the margin begins a paragraph: a margin of two
            // with first lines at three is common in texts typed by hand.
            ind = own - layout_.MarginWidth;
            return ind > 0 || len == 0 || AfterAnEnd(line, ws);
    }
    return false;
}

void ParagraphBuilder::Remember(std::string_view line, bool blank, int own, size_t textLen,
                                size_t length, int last, bool begins) {
    before_ = length;
    size_t end = line.size();
    while (end > 0 && (line[end - 1] == ' ' || line[end - 1] == '\t')) --end;
    endsSentence_ = !blank && EndsSentence(line.substr(0, end), page_);
    colon_ = end > 0 && line[end - 1] == ':';
    blankBefore_ = blank;
    // A block set deeper than the paragraphs: its margin is learned where a
    // line steps back from a deeper first line; a blank line ends it.
    if (blank) {
        blockMargin_ = 0;
        return;
    }
    if (own > 1 && own < indentBefore_ && !begins) blockMargin_ = own;
    if (own <= 1) blockMargin_ = 0;
    // (The last line of the text, when two were joined, went on with the first.)
    if (last > 1 && last < own) blockMargin_ = last;
    if (last <= 1) blockMargin_ = 0;
    indentBefore_ = last;
    opening_ = opening_ && textLen <= 60 && line_ <= 12;
    Measure(before_);
}

const char* ParagraphBuilder::ClassOf(std::string_view line, size_t ws, int ind, size_t textLen,
                                      bool endedBefore) const {
    const size_t len = line.size();
    const char first = len == 0 ? 0 : (ws == len ? line[len - 1] : line[ws]);
    const char* cls = "pnorm";
    // Set as verse is: a short line after a short paragraph, in verse, or in
    // prose after a line without a sentence's end or a colon (a poem quoted);
    // a short paragraph of prose, a reply above all, looks like any other.
    const bool reply = ws < len && StartsWithDash(line.substr(ws), page_);
    const bool verse = layout_.Kind == Layout::Verse || (!endedBefore && !reply);
    if (len > 0 && textLen < 60 && first != '-' && r_ < 60 && verse) cls = "pnor0";
    // Set deep: a title or an epigraph, when short; a paragraph of prose that
    // begins deep is prose.
    const size_t titleMost = fullWidth_ ? std::min<size_t>(60, fullWidth_ * 2 / 3) : 60;
    if (ind > 6 && textLen < titleMost) cls = "ptitl";
    if (ind > 35 && textLen < 60) cls = "pepig";
    return cls;
}

void ParagraphBuilder::Add(std::string_view line, const Emit& emit, size_t shown, Joint joint) {
    const size_t len = line.size();
    const int own = EffectiveIndent(line);
    const size_t ws = WhiteBytes(line);
    // The indent the rules see: the layout's margin comes off it.
    int ind = own;
    bool begins = BeginsByLayout(line, own, ws, ind);
    // A heading or a break standing flush on its own line, after a paragraph's
    // last line, is no part of that paragraph; nor is the line after it.
    // (A paragraph of blank lines so far may take it: it shows alone there.)
    // A line that hangs under its block's first line continues its paragraph.
    const bool hanging = hang_ < layout_.Hanging.size() && layout_.Hanging[hang_] == line_;
    ++line_;
    if (hanging) ++hang_;
    // Lengths are the characters the reader sees, whatever the charset.
    const size_t textLen = ws == len                         ? (len ? 1 : 0)
                           : shown != std::string_view::npos ? shown
                                                             : ShownLength(line.substr(ws), utf8_);
    const bool blank = ws == len;
    const bool endedBefore = endsSentence_ || colon_;
    if (layout_.Kind != Layout::Lines && layout_.Kind != Layout::Verse) {
        // A line indented as paragraphs are begins one anyway: only a flush or
        // a centred line is looked at as a heading.
        const bool heading = !blank && !hanging && (ind <= 1 || ind > 6) && SetApart(line, textLen);
        begins = (begins || (heading && hasText_) || (afterHeading_ && !blank)) && !hanging;
        afterHeading_ = heading;
    }
    CountFill(line, ws, own);
    CountReplies(line, ws, own);
    // (The names said at the first paragraphs' starts.)
    if (begins && !blank && starts_ < 4096) {
        ++starts_;
        CountCue(line, ws);
    }
    // A line joined at a word split at its text line's end was two lines
    // there: each tells the width, and the next line follows the second.
    size_t length = size_t(own) + textLen;
    int last = own;
    if (joint.at > ws && joint.at < len) {
        const auto [first, second] = JoinedLengths(line, ws, own, textLen, joint, utf8_);
        Measure(first);
        last = joint.indent;
        length = second;
    }
    Remember(line, blank, own, textLen, length, last, begins);
    const char* cls = ClassOf(line, ws, ind, textLen, endedBefore);
    if (len <= MaxPieceSize) return Piece(line, begins, cls, emit, textLen);
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
