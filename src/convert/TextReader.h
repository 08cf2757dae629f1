// Reading a source text for the conversion: its lines, in pieces, whatever its
// size, and the watch that refuses a file that is no text.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/Errors.h"
#include "base/Files.h"
#include "convert/Converter.h"
#include "convert/HeadingShapes.h"
#include "convert/TextAnalysis.h"
#include "text/Charsets.h"

// The longest line the reader holds; a longer one is handed on in parts.
constexpr size_t MaxLineBytes = 1 << 20;

// Whether a text is a text at all, decided by where its bytes stand, not by how
// they were read: its first 64 KB, then the first 4 KB of every 256 KB after
// them, and its last 4 KB, so that a text turning into binary bytes (or a hole
// of NULs) is refused when it is met, before any book is saved.
class BinaryWatch {
  public:
    explicit BinaryWatch(std::string path) : path_(std::move(path)) {}
    // Bytes of the text from offset at.
    void Feed(const char* p, size_t n, uint64_t at) {
        // The last bytes so far, for the look at the end.
        if (n >= TailBytes) {
            tail_.assign(p + n - TailBytes, TailBytes);
        } else {
            tail_.append(p, n);
            if (tail_.size() > TailBytes) tail_.erase(0, tail_.size() - TailBytes);
        }
        while (n > 0) {
            const uint64_t start = window_ * ReadPieceSize, len = window_ ? 4096 : 65536;
            if (at + n <= start) return;
            if (at < start) {
                p += start - at;
                n -= size_t(start - at);
                at = start;
            }
            const size_t take = size_t(std::min<uint64_t>(n, start + len - at));
            if (held_.empty() && take == len) {
                Check(std::string_view(p, take));
            } else {
                held_.append(p, take);
                if (held_.size() < len) return;
                Check(held_);
                held_.clear();
            }
            ++window_;
            p += take;
            n -= take;
            at += take;
        }
    }
    // A text shorter than the first window is judged by all it has.
    void Finish() {
        if (window_ == 0 && !held_.empty()) Check(held_);
        // The end, which the windows may have passed by.
        if (window_ > 0) Check(tail_);
    }

  private:
    static constexpr size_t TailBytes = 4096;
    void Check(std::string_view sample) const {
        if (LooksBinary(sample))
            throw ETextRefused(Fmt(Messages::tr("%s is not a text file"), path_));
    }
    std::string path_, held_, tail_;
    uint64_t window_ = 0;
};

// The lines of a text file as the conversion reads them: split at CR LF, CR or
// LF (a line end at the very end adds no line), NUL bytes as spaces, UTF-16 (by
// its byte-order mark) as UTF-8, "<", ">" and "&" escaped, and a line-end dash
// dropped before a line that begins with a space. Read as often as needed, in
// pieces: no more than a line and a piece are ever held.
class TextReader {
  public:
    TextReader(const std::string& path, size_t pieceSize)
        : path_(path), fd_(OpenRegularFile(path)), piece_(std::max<size_t>(pieceSize, 1)) {
        struct stat st;
        if (::fstat(fd_.Get(), &st) != 0)
            throw EFileError(Fmt(Messages::tr("Cannot open file %s"), path));
        size_ = uint64_t(st.st_size);
        if (size_ > MaxBlockSize)
            throw ETextRefused(Fmt(Messages::tr("%s is too large for a book file"), path));
        unsigned char bom[2];
        utf16_ = size_ >= 2 && ReadAt(fd_.Get(), bom, 2, 0) &&
                 ((bom[0] == 0xFF && bom[1] == 0xFE) || (bom[0] == 0xFE && bom[1] == 0xFF));
        bigEndian_ = utf16_ && bom[0] == 0xFE;
        // The UTF-8 mark says the charset; it is no part of the text.
        unsigned char mark[3];
        utf8Mark_ = !utf16_ && size_ >= 3 && ReadAt(fd_.Get(), mark, 3, 0) && mark[0] == 0xEF &&
                    mark[1] == 0xBB && mark[2] == 0xBF;
    }
    // The lines read and the words split at line ends joined, in the last reading.
    uint64_t Lines() const { return lines_; }
    uint64_t Joins() const { return joins_; }
    // Where the line just handed on was joined at a word split at a line's end.
    Joint LastJoint() const { return emittedJoin_; }
    // The text says it is Unicode (a byte-order mark): read as UTF-8.
    bool Unicode() const { return utf16_ || utf8Mark_; }
    // From now on the text is read in its charset: a word hyphenated at a
    // line end is joined (the charset tells letters and their case), and the
    // no-break and wide spaces an indent is written with count as spaces.
    void ReadAs(CodePage page) {
        join_ = true;
        page_ = page;
    }
    // Ends the reading under way after the piece being read: its last lines are
    // not handed on.
    void Stop() { stop_ = true; }
    // From now on a text saved with doubled line ends is read as written:
    // every line end is two, so of the blank lines between two lines every
    // second one is the text's own.
    void DropSingleBlankLines() { single_ = true; }
    // From now on the page numbers a text kept from a printed book are
    // dropped, with the blank lines around them: the paragraph they broke goes
    // on. A page number is a line of their form that goes on with their count
    // (a page or two may be missing); any other number stays, a note's "1"
    // or a chapter's.
    void DropPageNumbers(PageNumbers pages) { pages_ = std::move(pages); }
    // From now on the running heads a text kept from a printed book are
    // dropped, as its page numbers are. The first time a head is said it
    // stays where the line before it was short or ended a sentence, but for
    // right under a page number or head dropped, or with a number of its own:
    // there it may be the book's title, or a chapter's.
    void DropRunningHeads(RunningHeads heads) { heads_ = std::move(heads); }

    void ForEachLine(const std::function<void(std::string_view)>& emit,
                     const std::function<void(double)>& progress) {
        std::string raw(piece_, '\0'), decoded;
        std::unique_ptr<Utf16Decoder> utf16;
        if (utf16_) utf16 = std::make_unique<Utf16Decoder>(bigEndian_);
        split_ = LineSplitter(false);  // NUL bytes are spaces by then
        compounds_.clear();
        noting_ = false;
        lines_ = joins_ = 0;
        pending_ = {};
        hasPending_ = stop_ = false;
        pendingJoin_ = emittedJoin_ = {};
        blanks_ = 0;
        heldBlanks_.clear();
        dropAfter_ = 0;
        lastPage_ = pages_.First - 1;
        headSaid_.assign(heads_.Texts.size(), false);
        endedSentence_ = true;
        longBefore_ = afterPrinted_ = pageHeld_ = false;
        learned_.clear();
        titles_ = {};
        titlesSaid_ = 0;
        BinaryWatch binary(path_);
        uint64_t at = utf16_ ? 2 : utf8Mark_ ? 3 : 0, textAt = 0;
        for (;;) {
            ssize_t got = ::pread(fd_.Get(), raw.data(), raw.size(), off_t(at));
            if (got < 0) {
                if (errno == EINTR) continue;
                throw EFileError(Fmt(Messages::tr("Cannot open file %s"), path_));
            }
            if (got == 0) break;
            at += uint64_t(got);
            // What is read counts, not what the file said of itself when opened.
            if (at > MaxBlockSize)
                throw ETextRefused(Fmt(Messages::tr("%s is too large for a book file"), path_));
            char* data = raw.data();
            size_t n = size_t(got);
            if (utf16) {
                decoded.clear();
                utf16->Feed(data, n, decoded);
                data = decoded.data();
                n = decoded.size();
            }
            binary.Feed(data, n, textAt);
            textAt += n;
            Split(data, n, emit);
            if (stop_) return;
            if (progress && size_ > 0) progress(double(at) / double(size_));
        }
        if (utf16) {
            decoded.clear();
            utf16->Finish(decoded);
            binary.Feed(decoded.data(), decoded.size(), textAt);
            Split(decoded.data(), decoded.size(), emit);
        }
        binary.Finish();
        split_.Finish([&](std::string_view line) { WholeLine(line, emit, true); });
        FlushBlanks(emit);
        if (hasPending_) Emit(pending_, emit);
    }

  private:
    void Split(char* data, size_t n, const std::function<void(std::string_view)>& emit) {
        // A NUL byte is kept as a space: the text after it is the book's too.
        for (char* p = data; (p = static_cast<char*>(std::memchr(p, 0, size_t(data + n - p))));)
            *p++ = ' ';
        pieceAt_ = data;
        pieceEnd_ = data + n;
        nextMark_ = -1;
        split_.Feed(data, n, [&](std::string_view line) {
            // A line begun in an earlier piece lies in the splitter's memory.
            const bool inPiece = line.data() >= data && line.data() < data + n;
            WholeLine(line, emit, !inPiece);
        });
        // A line is never held longer than MaxLineBytes, even before its end comes.
        std::string& held = split_.Held();
        while (held.size() > MaxLineBytes) {
            const size_t cut = LongLineCut(held);
            Pass(std::string_view(held.data(), cut), emit, true);
            held.erase(0, cut);
        }
        KeepPending();
    }

    void WholeLine(std::string_view line, const std::function<void(std::string_view)>& emit,
                   bool transient) {
        while (line.size() > MaxLineBytes) {
            const size_t cut = LongLineCut(line);
            Pass(line.substr(0, cut), emit, true);
            line.remove_prefix(cut);
        }
        Pass(line, emit, transient);
    }

    // Where a line longer than MaxLineBytes is cut: its first MaxLineBytes (cut
    // after a space, else between characters) go on as a line of their own.
    // Where the cut falls depends on the text alone, not on how it was read; its
    // pieces become paragraphs of their own in any case.
    static size_t LongLineCut(std::string_view line) {
        const std::string_view head = line.substr(0, MaxLineBytes);
        size_t cut = head.rfind(' ');
        if (cut != std::string_view::npos && cut >= MaxLineBytes / 2) return cut + 1;
        cut = MaxLineBytes;
        // Not inside a UTF-8 character: back over its continuation bytes.
        for (int k = 0; k < 3 && (uint8_t(line[cut]) & 0xC0) == 0x80; ++k) --cut;
        return cut;
    }

    // The line held back points into the piece; the next read reuses that
    // memory, so it is copied now.
    void KeepPending() {
        if (hasPending_ && pending_.data() != pendingCopy_.data()) {
            pendingCopy_.assign(pending_);
            pending_ = pendingCopy_;
        }
    }

    // One line of the text: escaped, then held until the next one shows
    // whether its end dash goes or its last word goes on in it.
    void Line(std::string_view line, const std::function<void(std::string_view)>& emit,
              bool transient) {
        bool copy = transient;
        ++lines_;
        if (noteUpTo_ && lines_ > noteUpTo_) {
            stop_ = true;
            return;
        }
        if (HoldsMark(line, transient)) {
            // (Into the memory of a line escaped before.)
            escaped_[next_].clear();
            AppendConvertedLine(escaped_[next_], line);
            line = escaped_[next_];
            next_ ^= 1;  // the line held back may be the other one
        }
        // The compounds the text writes whole, for its words split at a hyphen.
        if ((noting_ || noteUpTo_) && std::memchr(line.data(), '-', line.size()))
            NoteCompounds(line, page_, compounds_);
        if (noteUpTo_) return;
        if (hasPending_) {
            // A soft hyphen at a line's end only ever splits a word.
            const size_t soft = SoftHyphenAtEnd();
            if (soft > 0 && !line.empty() && Hyphenated(line, soft)) return Join(line, soft);
            if (!pending_.empty() && pending_.back() == '-' && !line.empty()) {
                if (Hyphenated(line, 1)) {
                    // "Созд-" and "анное ...": one word, without the hyphen;
                    // "что-" and "нибудь": one word as written, with it.
                    const bool keep =
                        KeepsHyphen(pending_, line.substr(line.find_first_not_of(" \t")), page_,
                                    [this](const std::string& compound) {
                                        if (!noting_) NoteCompoundsSoFar();
                                        return compounds_.count(compound) > 0;
                                    });
                    return Join(line, keep ? 0 : 1);
                }
                // A dash after a space (" -", " --", a no-break space too) is a
                // dash; any other goes before a line that begins with a space.
                if (!AfterBlank(pending_) && line.front() == ' ') pending_.remove_suffix(1);
            }
            Emit(pending_, emit);
        }
        if (copy) {
            pendingCopy_.assign(line);
            line = pendingCopy_;
        }
        pending_ = line;
        pendingJoin_ = {};
        hasPending_ = true;
    }

    // The line held back goes on with line, the last mark bytes of its own
    // dropped (a hyphen, a soft one); the next line's indent goes.
    void Join(std::string_view line, size_t mark) {
        const std::string_view rest = line.substr(line.find_first_not_of(" \t"));
        // (Built apart from the line held back, which may lie in pendingCopy_;
        // the memory goes back and forth.)
        joined_.clear();
        pendingJoin_ = {pending_.size() - mark, EffectiveIndent(line)};
        joined_.append(pending_.substr(0, pending_.size() - mark)).append(rest);
        pendingCopy_.swap(joined_);
        pending_ = pendingCopy_;
        ++joins_;
    }

    // The bytes of the soft hyphen the line held back ends with (U+00AD, one
    // byte of windows-1251 and Windows-1252), 0 for none.
    size_t SoftHyphenAtEnd() const {
        if (!join_ || pending_.empty()) return 0;
        if (page_ == CodePage::Utf8)
            return pending_.size() >= 2 && pending_.ends_with("\xC2\xAD") ? 2 : 0;
        return (page_ == CodePage::Win1251 || page_ == CodePage::Win1252) &&
                       pending_.back() == '\xAD'
                   ? 1
                   : 0;
    }

    void Emit(std::string_view line, const std::function<void(std::string_view)>& emit) {
        emittedJoin_ = pendingJoin_;
        emit(line);
    }

    // A line on its way to Line, past what a text kept of its file or its
    // printing: of a text saved with doubled line ends every second blank
    // line, and the page numbers with the blank lines around them, which are
    // held back until the next line with text shows whether one stands among
    // them. (Before Line: a word split at a page's end is joined.)
    void Pass(std::string_view line, const std::function<void(std::string_view)>& emit,
              bool transient) {
        if (join_) {
            const std::string_view plain = PlainIndent(line);
            transient = transient || plain.data() != line.data();
            line = plain;
        }
        if (!single_ && pages_.Form.empty() && heads_.Texts.empty())
            return Line(line, emit, transient);
        const bool blank = BlankLine(line);
        if (single_) {
            blanks_ = blank ? blanks_ + 1 : 0;
            if (blank && blanks_ % 2 == 1) return;
        }
        if (!pages_.Form.empty() || !heads_.Texts.empty()) {
            if (blank) {
                if (dropAfter_ > 0) {
                    --dropAfter_;
                    return;
                }
                // (Held back only while a page could still have them: a few,
                // short.)
                if (heldBlanks_.size() >= 64 || line.size() > 256) FlushBlanks(emit);
                if (line.size() > 256) return Line(line, emit, transient);
                heldBlanks_.emplace_back(line);
                return;
            }
            int64_t value = 0;
            if (line.size() <= 160 && !pages_.Form.empty() &&
                NumberForm(line, page_, value) == pages_.Form && value > lastPage_ &&
                value <= lastPage_ + 3) {
                lastPage_ = value;
                return DropPrinted(pages_.BlanksBefore, pages_.BlanksAfter, emit);
            }
            if (line.size() <= 160 && RunningHead(line))
                return DropPrinted(heads_.BlanksBefore, heads_.BlanksAfter, emit);
            if (pageHeld_) {
                // The line held under a page mark is the page's head when the
                // text goes on past it in the middle of a sentence, or when
                // such a head said it before; or when it is the chapter's
                // title, said lately or right under it. It goes with the blank
                // lines after it (those the pages have, at a sentence's end).
                size_t i = line.find_first_not_of(" \t");
                const bool goesOn = !endedSentence_ && IsLower(DecodeChar(line, i, page_));
                bool numbered = false;
                const std::string text = HeadText(pageHead_, page_, &numbered);
                if (goesOn || Said(text, numbered) ||
                    (line.size() <= 160 && HeadText(line, page_) == text)) {
                    if (goesOn && learned_.size() < 256) learned_.insert(text);
                    const size_t keep =
                        goesOn ? 0
                               : heldBlanks_.size() -
                                     std::min(heldBlanks_.size(), heads_.Texts.empty()
                                                                      ? pages_.BlanksAfter
                                                                      : heads_.BlanksAfter);
                    heldBlanks_.resize(keep);
                    pageHeld_ = false;
                }
            } else if (afterPrinted_ && PageHeadLike(line) && (!endedSentence_ || Said(line))) {
                FlushBlanks(emit);
                pageHead_.assign(line);
                pageHeld_ = true;
                afterPrinted_ = false;
                return;
            }
            dropAfter_ = 0;
            afterPrinted_ = false;
            FlushBlanks(emit);
            endedSentence_ = EndsSentence(AsUtf8(line, page_, utf8_), CodePage::Utf8);
            longBefore_ = CharCount(TrimBlanks(line, page_), page_) >= 40;
            bool numbered = false;
            if (!longBefore_ && PageHeadLike(line)) {
                std::string title = HeadText(line, page_, &numbered);
                if (!numbered) titles_[titlesSaid_++ % titles_.size()] = std::move(title);
            }
        }
        Line(line, emit, transient);
    }

    // Whether a page's head said it before, or the text lately as a title
    // (a chapter's "ГЛАВА 5" is said again in the next one's "ГЛАВА 6").
    bool Said(const std::string& head, bool numbered) const {
        return learned_.count(head) ||
               (!numbered && std::find(titles_.begin(), titles_.end(), head) != titles_.end());
    }
    bool Said(std::string_view line) const {
        bool numbered = false;
        return Said(HeadText(line, page_, &numbered), numbered);
    }

    // Whether a line may be a page's own head (the title of the chapter it
    // is in): beginning with a capital, ending no sentence nor a clause, and
    // short: two thirds of a full line at most, no line of prose going on.
    bool PageHeadLike(std::string_view line) {
        const std::string_view t = TrimBlanks(line, page_);
        if (t.empty() || t.size() > 160 || std::strchr(",;:-", t.back())) return false;
        const size_t chars = CharCount(t, page_);
        return chars <= 40 && chars * 3 <= pages_.Width * 2 && !HeadText(t, page_).empty() &&
               !EndsSentence(AsUtf8(t, page_, utf8_), CodePage::Utf8);
    }

    // A page number or a running head dropped, with the blank lines its pages
    // always have around it. (Blank lines beyond those are the text's.)
    void DropPrinted(size_t blanksBefore, size_t blanksAfter,
                     const std::function<void(std::string_view)>& emit) {
        heldBlanks_.resize(heldBlanks_.size() - std::min(heldBlanks_.size(), blanksBefore));
        FlushBlanks(emit);
        dropAfter_ = blanksAfter;
        afterPrinted_ = true;
    }

    // Whether line is a running head to drop.
    bool RunningHead(std::string_view line) {
        if (heads_.Texts.empty()) return false;
        bool numbered = false;
        const auto head =
            std::find(heads_.Texts.begin(), heads_.Texts.end(), HeadText(line, page_, &numbered));
        if (head == heads_.Texts.end()) return false;
        const size_t k = size_t(head - heads_.Texts.begin());
        if (headSaid_[k]) return true;
        headSaid_[k] = true;
        return numbered || afterPrinted_ || (longBefore_ && !endedSentence_);
    }

    // A line whose indent is a first line's written with no-break or wide
    // spaces (text copied from a web page has them): the indent as spaces,
    // as wide, in indented_. Any other line as it is: an indent that begins
    // with spaces, or deeper, is the text's own way to set a line (verse).
    std::string_view PlainIndent(std::string_view line) {
        // (Most lines begin with a letter, or a blank of ASCII.)
        if (line.empty() || static_cast<unsigned char>(line[0]) < 0x80) return line;
        auto wide = [](char32_t c) {
            return c == 0xA0 || c == 0x2002 || c == 0x2003 || c == 0x2007 || c == 0x202F ||
                   c == 0x3000;
        };
        size_t i = 0, spaces = 0;
        while (i < line.size() && spaces <= 8) {
            size_t next = i;
            const char32_t c = DecodeChar(line, next, page_);
            if (c != ' ' && !wide(c)) break;
            spaces += c == 0x3000 ? 2 : 1;  // (an ideographic space is wide)
            i = next;
        }
        if (i == 0 || spaces > 8) return line;
        indented_.assign(spaces, ' ').append(line.substr(i));
        return indented_;
    }

    void FlushBlanks(const std::function<void(std::string_view)>& emit) {
        // (A line held under a page mark is the text's, if nothing told otherwise.)
        if (pageHeld_) {
            pageHeld_ = false;
            Line(pageHead_, emit, true);
        }
        for (const std::string& b : heldBlanks_) Line(b, emit, true);
        heldBlanks_.clear();
    }

    // The compounds the text wrote whole up to the line being read. Most texts
    // never ask: they split no word at a line's end, or only words that decide
    // without them (English ones, particles). The first time a split word is
    // asked about them, the lines so far are read again for them, and from
    // then on they are noted as the lines pass.
    void NoteCompoundsSoFar() {
        TextReader again(path_, piece_);
        again.page_ = page_;
        again.single_ = single_;  // (the lines counted alike)
        again.pages_ = pages_;
        again.heads_ = heads_;
        again.noteUpTo_ = lines_;
        again.ForEachLine([](std::string_view) {}, {});
        compounds_ = std::move(again.compounds_);
        noting_ = true;
    }

    // Whether line holds a byte to escape. The lines of a piece come in
    // order: where the next one stands in the piece is kept, so that the piece
    // is looked through once, not once for every line. A line held over from
    // an earlier piece (transient) is looked through itself.
    bool HoldsMark(std::string_view line, bool transient) {
        if (transient) return NextToEscape(line, 0) < line.size();
        const ptrdiff_t from = line.data() - pieceAt_;
        if (nextMark_ < from) {
            const std::string_view piece(pieceAt_, size_t(pieceEnd_ - pieceAt_));
            nextMark_ = ptrdiff_t(NextToEscape(piece, size_t(from)));
        }
        return nextMark_ < from + ptrdiff_t(line.size());
    }

    // Whether the dash (or two) that ends s follows a blank.
    bool AfterBlank(std::string_view s) const {
        s.remove_suffix(s.size() >= 2 && s[s.size() - 2] == '-' ? 2 : 1);
        const std::string_view t = TrimBlanks(s, page_);
        return !s.empty() && t.data() + t.size() < s.data() + s.size();
    }

    // Whether the line held back ends with a word hyphenated before line: a
    // letter and a hyphen of mark bytes, and line goes on with the paragraph
    // (no deeper indent) with a letter.
    bool Hyphenated(std::string_view line, size_t mark) const {
        if (!join_ || pending_.size() < mark + 1 || pending_.size() + line.size() > MaxLineBytes)
            return false;
        const size_t b = line.find_first_not_of(" \t");
        if (b == std::string_view::npos) return false;
        // A line indented deeper than the one before begins a paragraph.
        if (EffectiveIndent(line) > std::max(EffectiveIndent(pending_), 1)) return false;
        size_t i = b;
        if (!IsLetter(DecodeChar(line, i, page_))) return false;
        // The character before the hyphen, or the letter under a stress mark there.
        size_t end = pending_.size() - mark;
        for (int k = 0; k < 2; ++k) {
            size_t at = end - 1;
            if (page_ == CodePage::Utf8)
                while (at > 0 && (static_cast<unsigned char>(pending_[at]) & 0xC0) == 0x80) --at;
            size_t j = at;
            const char32_t c = DecodeChar(pending_, j, page_);
            if (j != end) return false;
            if (!IsCombiningMark(c) || at == 0) return IsLetter(c);
            end = at;
        }
        return false;
    }

    std::string path_;
    FileDescriptor fd_;
    size_t piece_;
    uint64_t size_ = 0;
    bool utf16_ = false, bigEndian_ = false, utf8Mark_ = false;
    LineSplitter split_{false};
    std::string pendingCopy_, joined_, escaped_[2], indented_;
    std::unordered_set<std::string> compounds_;
    bool noting_ = false;              // compounds_ holds those of every line so far
    uint64_t lines_ = 0;               // lines read, as this reading counts them
    uint64_t joins_ = 0;               // words split at line ends joined
    Joint pendingJoin_, emittedJoin_;  // of the line held back, of the line handed on
    uint64_t noteUpTo_ = 0;            // a reading again that only notes compounds, up to this line
    int next_ = 0;
    std::string_view pending_;  // the line held back
    bool hasPending_ = false, stop_ = false, join_ = false;
    bool single_ = false;         // blank lines alone are dropped
    uint64_t blanks_ = 0;         // blank lines since the last with text
    PageNumbers pages_;           // the page numbers dropped
    int64_t lastPage_ = 0;        // the last one dropped
    RunningHeads heads_;          // the running heads dropped
    std::vector<bool> headSaid_;  // whether each has been said
    // Whether the last line with text ended a sentence, and was long (a line
    // of prose, not a heading or a title's).
    bool endedSentence_ = true, longBefore_ = false;
    bool afterPrinted_ = false;  // nothing but blank lines since one was dropped
    // A line held right under a page mark until the next one tells whether
    // it is the page's own head; the heads told so.
    bool pageHeld_ = false;
    std::string pageHead_;
    std::unordered_set<std::string> learned_;
    // The last lines said that may be titles (as HeadText): the chapter's is
    // among them, past its epigraph or a letter's address.
    std::array<std::string, 16> titles_;
    size_t titlesSaid_ = 0;
    std::string utf8_;
    std::vector<std::string> heldBlanks_;  // blank lines held back
    size_t dropAfter_ = 0;                 // blank lines after a page number still to drop
    // The piece being read, and where in it the next byte to escape stands
    // (-1: not looked for yet).
    const char *pieceAt_ = nullptr, *pieceEnd_ = nullptr;
    ptrdiff_t nextMark_ = -1;
    CodePage page_ = CodePage::Win1252;
};
