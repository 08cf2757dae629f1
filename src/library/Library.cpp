#include "library/Library.h"

#include "book/BookFile.h"
#include "convert/Converter.h"

AddedBook AddTextToLibrary(const std::string& textPath, const std::string& library,
                           const std::string& source, const std::string& member,
                           ConversionProgress* progress, const Layout::Shape* layout, bool reuse) {
    const std::string identity = SourceIdentity(source, member);
    if (reuse && !identity.empty()) {
        BookList books(library);
        books.ScanFolder();  // a damaged book is no match
        if (long i = FindBookOfSource(books, identity); i >= 0)
            return {books.GetBook(size_t(i)).FileName, true};
    }
    BookFile book = ConvertToBook(textPath, library, progress, layout);
    if (!identity.empty()) book.SetProperty("Source", identity);
    book.SaveAsNewBook(BookBaseName(textPath));
    return {book.FileName, false};
}
