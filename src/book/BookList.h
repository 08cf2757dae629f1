// The books of a library folder as a list shows them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "book/BookFile.h"

// What the list and the status bar show of a book, in UTF-8: its own title
// ("BookTitle", with its series and number when it has them: "Title (Series,
// 3)") or else its file name without its extension; its author; how far it was read, in
// percent (as saved with the position; from its paragraphs for a book saved
// before that; 0 for a book never read; -1 when not known).
std::string DisplayTitle(const BookFile& b);
std::string DisplayAuthor(const BookFile& b);
int ReadPercent(const BookFile& b);
// cur / total * 100, rounded to the nearest, halves to the even one.
int PercentOf(int32_t cur, int32_t total);

// A book's cover picture (a book made from a FictionBook that has one): its
// data as base64 and its kind ("jpeg", "png", "gif"), read from the book's
// first page; empty when it has none or it cannot be read.
struct CoverPicture {
    std::string Kind, Base64;
};
CoverPicture CoverOf(const BookFile& listed);

// The display titles compared without regard to letter case: <0, 0 or >0.
int CompareBookTitles(const BookFile& a, const BookFile& b);

// The books of one library folder, each loaded header-only. Owns its records.
class BookList {
  public:
    explicit BookList(std::string folder);
    BookFile& AddNew();
    BookFile& GetBook(size_t index) { return *books_.at(index); }
    size_t Count() const { return books_.size(); }
    void Clear() { books_.clear(); }
    // Rebuilds the list. A book file that cannot be read is listed with an empty
    // title and its message kept in Errors; what is not a regular file is skipped.
    // With a stem, only the books named after it: stem.tvst, stem(1).tvst, ...
    void ScanFolder(std::string_view stem = {});
    std::vector<std::string> Errors;
    void SortByTitle();
    // The captions a list view shows (display titles), one per record in list order.
    std::vector<std::string> Captions() const;
    // The row of the book whose file is fileName, or -1.
    long IndexOf(const std::string& fileName) const;

  private:
    std::string folder_;
    std::vector<std::unique_ptr<BookFile>> books_;
};
