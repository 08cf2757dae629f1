#include "library/Library.h"

#include <algorithm>

#include "book/BookFile.h"
#include "book/BookList.h"
#include "convert/Converter.h"

Library::Library(std::string folder) : folder_(std::move(folder)) {}

void Library::Subscribe(LibraryListener* listener) {
    listeners_.push_back(listener);
}

void Library::Unsubscribe(LibraryListener* listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

AddedBook Library::Add(const std::string& textPath, const std::string& source,
                       const std::string& member, ConversionProgress* progress,
                       const Layout::Shape* layout, bool reuse) const {
    const std::string identity = SourceIdentity(source, member);
    if (reuse && !identity.empty()) {
        // The books named after the text first, then (books named otherwise
        // by earlier versions) the whole folder: a text opened again finds its
        // book without every header of a large library being read.
        for (const std::string& stem : {BookBaseName(textPath), std::string()}) {
            BookList books(folder_);
            books.ScanFolder(stem);  // a damaged book is no match
            if (long i = FindBookOfSource(books, identity); i >= 0)
                return {books.GetBook(size_t(i)).FileName, true};
        }
    }
    BookFile book = ConvertToBook(textPath, folder_, progress, layout);
    if (!identity.empty()) book.SetProperty("Source", identity);
    book.SaveAsNewBook(BookBaseName(textPath));
    return {book.FileName, false};
}

void Library::Rebuild(const std::string& fileName, const Layout::Shape* layout) {
    std::vector<LibraryListener*> released;
    for (LibraryListener* l : listeners_)
        if (l->ReleaseBook(fileName)) released.push_back(l);
    auto reopen = [&] {
        for (LibraryListener* l : released) l->BookRewritten(fileName);
    };
    try {
        BookFile book(folder_);
        book.FileName = fileName;
        book.LoadFromBookFile();
        RebuildBook(book, layout);
        book.SaveToBookFile();
    } catch (...) {
        reopen();
        throw;
    }
    reopen();
}

void Library::Delete(const std::string& fileName) {
    for (LibraryListener* l : listeners_) l->BookDeleting(fileName);
    BookFile book(folder_);
    book.FileName = fileName;
    book.DeleteBookFile();
    for (LibraryListener* l : listeners_) l->BookDeleted(fileName);
}
