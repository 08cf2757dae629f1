// Line lists and the name=value rules shared by book properties, the option
// list, the encoding table and the placeholder values.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

using LineList = std::vector<std::string>;

// Splits text into lines: CR LF, a lone CR and a lone LF each end a line, a
// terminator at the very end adds no empty line, and a NUL byte ends the text.
void SplitText(std::string_view text, LineList& out);
LineList SplitText(std::string_view text);

// The first CR or LF in [p, end), or null.
const char* FindLineEnd(const char* p, const char* end);

// The same splitting, fed piece by piece: for texts read in pieces, so that no
// copy of the whole text is ever held besides the line being split.
class LineSplitter {
  public:
    // stopAtNul: a NUL byte ends the text (a caller that took them out says no,
    // and the pieces are not searched for one).
    explicit LineSplitter(bool stopAtNul = true) : stopAtNul_(stopAtNul) {}
    // Hands each whole line to emit (a view into data, or into Held()); returns
    // false once a NUL byte has ended the text; later bytes are ignored.
    template <class F>
    bool Feed(const char* data, size_t size, F&& emit) {
        if (ended_) return false;
        const char* p = data;
        const char* end = data + size;
        if (const void* nul = stopAtNul_ ? std::memchr(p, '\0', size) : nullptr) {
            end = static_cast<const char*>(nul);
            ended_ = true;
        }
        // A CR that ended the piece before waits for its LF in this one; an
        // empty piece leaves it waiting.
        if (skipLF_ && p < end && *p == '\n') ++p;
        if (size > 0) skipLF_ = false;
        while (p < end) {
            const char* q = FindLineEnd(p, end);
            if (!q) {
                held_.append(p, end);
                break;
            }
            if (held_.empty()) {
                emit(std::string_view(p, size_t(q - p)));
            } else {
                held_.append(p, q);
                emit(std::string_view(held_));
                held_.clear();
            }
            if (*q == '\r') {
                ++q;
                if (q == end)
                    skipLF_ = true;
                else if (*q == '\n')
                    ++q;
            } else {
                ++q;
            }
            p = q;
        }
        return !ended_;
    }
    // The last line, when the text does not end with a line end.
    template <class F>
    void Finish(F&& emit) {
        if (!held_.empty()) emit(std::string_view(held_));
        held_.clear();
    }
    // The start of a line whose end has not come yet.
    std::string& Held() { return held_; }

  private:
    std::string held_;
    bool stopAtNul_;
    bool skipLF_ = false;
    bool ended_ = false;
};

// Joins lines with CR LF after every line, the last one included.
std::string JoinLines(const LineList& lines);
// Length of JoinLines(lines) without building it.
uint64_t JoinedLength(const LineList& lines);

// ASCII letters compare without regard to case; other bytes as they are.
bool SameText(std::string_view a, std::string_view b);
std::string LowerAscii(std::string_view s);

// The part of a line before its first "=", or npos-free empty view when the
// line holds no "=" (such a line has no name).
bool LineName(std::string_view line, std::string_view& name);
// Index of the first line whose name equals name without regard to case, or -1.
long IndexOfName(const LineList& lines, std::string_view name);
// Value of the first line of that name; empty when there is none.
std::string ValueOf(const LineList& lines, std::string_view name);
// Sets name=value: replaces the first matching line in place (spelled as passed),
// appends when there is none, deletes the line when value is empty. With
// appendEmpty an empty value for a missing name still appends "name=".
void SetValue(LineList& lines, std::string_view name, std::string_view value,
              bool appendEmpty = false);

// The encoding table's rows: each line's display name (the text before its first
// "=", or empty), and the encoding a row stands for (the value of the first line
// of that display name, without regard to case).
std::vector<std::string> DisplayNames(const LineList& table);
std::string ValueOfRow(const LineList& table, size_t row);

// Integer texts: optional sign, then decimal digits, or hexadecimal digits after
// "$", "0x", "0X", "x" or "X". Hexadecimal takes up to 32 bits (wrapping into the
// negative range, as the stored files expect); decimal must fit 32 bits signed.
bool TryStrToInt(std::string_view s, int32_t& out);
// As TryStrToInt, but raises "'%s' is not a valid integer value".
int32_t StrToInt(std::string_view s);
// Decimal only: optional sign and digits.
bool TryDecimalToInt(std::string_view s, int32_t& out);

std::string IntToStr(int64_t v);
// The 64-bit FNV-1a hash of a text.
uint64_t ContentHash(std::string_view text);

// Control bytes below 0x20 (tab aside), DEL, C1 controls in UTF-8 and bytes
// 0x80 to 0x9F outside a UTF-8 character written as \xHH, so that a text from
// a file can be printed or shown without acting on the terminal.
std::string EscapeControls(std::string_view s);
// Control bytes below 0x20 and DEL as spaces: what a name from outside (an
// archive's member, a text's file) may become a file name as.
std::string ControlsToSpaces(std::string s);
