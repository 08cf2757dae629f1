// Finding a text anywhere in a book: without regard to letter case (Latin and
// Cyrillic, in the book's charset), a line break counting as a space, and the
// text as the reader sees it ("&lt;" is "<"). The book's text streams by in
// pieces; nothing of it is held.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "book/BookFile.h"
#include "text/Charsets.h"

struct SearchHit {
    int32_t Paragraph = 0;
    uint64_t Offset = 0;  // where the match begins in the body text
};

class TextMatcher {
  public:
    // text: what the reader typed, in UTF-8.
    TextMatcher(const std::string& text, const std::string& charset);
    // False when the text is empty or cannot be written in the book's charset.
    bool Valid() const { return !needle_.empty(); }
    // Every match from the body offset from on (a page marker's offset, or 0)
    // up to the offset to (another page marker's), in order; hit returns false to stop.
    void Scan(BookFile& book, uint64_t from, const std::function<bool(const SearchHit&)>& hit,
              uint64_t to = UINT64_MAX) const;

  private:
    class Scanner;
    // The constructor's steps: the folded bytes, the needle, the tables that
    // pass over text quickly and the failure function of the needle.
    void MakeFolding(CodePage cp);
    bool MakeNeedle(const std::string& text, CodePage cp);
    void MakeSkipTables();
    void MakePairTables();
    void MakeQuickPass();
    bool utf8_;
    unsigned char fold_[256];  // single-byte pages: a byte's folded byte
    bool skip_[256];           // bytes passed over between matches
    bool plain_[256];          // bytes that are text, as they stand
    // UTF-8: the lead bytes of the letters of two bytes, folded by table
    // (U+0080 to U+053F: Latin, Greek and Cyrillic).
    static constexpr int FirstLead = 0xC2, Leads = 0xD4 - FirstLead + 1;
    static bool IsLead(int b) { return b >= FirstLead && b < FirstLead + Leads; }
    int pairOf_[256];              // a lead byte's row of the tables, or -1
    uint16_t pair_[Leads][64];     // their folded two bytes (0: a no-break space)
    uint8_t pairSkip_[Leads][64];  // 1: passed over, 2: passed over as a blank
    std::string needle_;           // folded, runs of blanks as one space
    std::vector<size_t> fail_;
    // The quick pass between matches looks for the byte that ends the needle's
    // first character in any of its cases (keyA_), followed dB_ bytes later by
    // one of the second's (keyB_; none when nB_ is 0), and stops at every "<"
    // and "&" (tags carry the paragraph numbers). Off when nA_ is 0.
    unsigned char keyA_[4] = {}, keyB_[4] = {};
    int nA_ = 0, nB_ = 0, dB_ = 1;
    uint16_t firstPair_ = 0;  // UTF-8: the first character's two bytes, folded; 0: one byte
    // The next place the quick pass stops at, from i on in bytes[0, n): where a
    // match may begin, or a "<" or "&"; n when there is none.
    size_t NextStop(const unsigned char* bytes, size_t i, size_t n) const;
};

// The next match after (paragraph, offset) (offset UINT64_MAX: from the start
// of that paragraph), wrapping at the end; or the previous one before it,
// wrapping at the start. False when the book holds the text nowhere.
bool FindNext(BookFile& book, const TextMatcher& m, int32_t paragraph, uint64_t offset,
              SearchHit& found);
bool FindPrevious(BookFile& book, const TextMatcher& m, int32_t paragraph, uint64_t offset,
                  SearchHit& found);
