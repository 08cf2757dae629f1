// Every place a text is found in a book, for a list of them: found a few pages
// at a time, so that a window listing them stays live on the biggest book,
// each with a line of its paragraph around it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "search/TextMatcher.h"

struct ListedHit {
    SearchHit Hit;
    int Nth = 0;          // the hits in its paragraph before it
    std::string Context;  // UTF-8: the words around the hit, on one line
};

class HitList {
  public:
    // text: what the reader typed, in UTF-8.
    HitList(BookFile& book, const std::string& text);
    const std::string& Text() const { return text_; }
    // Looks through the next pages, at most pages of them, and appends what it
    // finds; false once the book's end is reached.
    bool ScanOn(int32_t pages, std::vector<ListedHit>& found);
    // How far the search has come, 0 to 1.
    double Done() const;
    bool Finished() const { return next_ > pages_; }

  private:
    std::string ContextOf(const SearchHit& hit);

    BookFile& book_;
    std::string text_;
    TextMatcher matcher_;
    CodePage page_;
    int32_t next_ = 1, pages_ = 0;
    SearchHit last_;
    int nth_ = 0;
};
