#include "unitLibrary.h"

#include "unitBookClasses.h"
#include "unitConverter.h"

TAddedBook AddTextToLibrary(const std::string& textPath, const std::string& library,
                            const std::string& source, const std::string& member,
                            TConversionProgress* progress, const TLayout::TKind* layout,
                            bool reuse) {
    const std::string identity = SourceIdentity(source, member);
    if (reuse && !identity.empty()) {
        TBookInfoList books(library);
        books.ScanFolder();  // a damaged book is no match
        if (long i = FindBookOfSource(books, identity); i >= 0)
            return {books.GetBook(size_t(i)).FileName, true};
    }
    TBookInfo book = ConvertToBook(textPath, library, progress, layout);
    if (!identity.empty()) book.SetProperty("Source", identity);
    book.SaveAsNewBook(BookBaseName(textPath));
    return {book.FileName, false};
}
