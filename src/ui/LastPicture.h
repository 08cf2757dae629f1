// The page as the reader last saw it: kept when the reader closes, and shown
// at once at the next start that reopens the book where it was, at the same
// size and in the same style, until the live page has painted the same lines
// in its place.
#pragma once

#include <QImage>

#include <cstdint>
#include <string>

struct PictureKey {
    std::string Book;                    // the book file's name in MyBooks/
    int64_t BookSize = 0, BookTime = 0;  // the book file's size and change time
    uint64_t Style = 0;                  // the page's options and templates
    // The position, and the document as it stood: its scroll position and
    // the pages it held.
    int32_t Paragraph = 0, Character = 0, Scroll = 0, FirstPage = 0, LastPage = 0;

    // The book file as it is now, and the style: the position is left out.
    static PictureKey Now(const std::string& book);
    bool SameBookAndStyle(const PictureKey& o) const {
        return Book == o.Book && BookSize == o.BookSize && BookTime == o.BookTime &&
               Style == o.Style;
    }
};

// Keeps the picture; an empty picture, or a key with no book, removes the one kept.
void KeepLastPicture(const QImage& image, const PictureKey& key);
// The picture kept when it was taken of this book unchanged, in this style;
// a null image otherwise. key learns the position it was taken at.
QImage LastPicture(const PictureKey& now, PictureKey& key);
