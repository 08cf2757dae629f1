// The FictionBook reader on arbitrary bytes: it makes a book or refuses with
// a clear error, never anything in between; the book holds no markup but its
// own, and a page built from it lets nothing of the source through as markup.
#include <cstdint>
#include <string>

#include "FuzzFolder.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "book/BodyLines.h"
#include "convert/FictionBook.h"
#include "reading/PageBuilder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = Folder() + "fuzz.fb2";
    SaveFileSafely(path, std::string(reinterpret_cast<const char*>(data), size));
    BookFile book(Folder());
    try {
        book = ConvertFictionBook(path, Folder());
    } catch (const EAppError&) {
        return 0;
    }
    const int32_t pages = book.GetIntProperty("PagesCount");
    const int32_t paragraphs = book.GetIntProperty("TotalParagraphs");
    if (pages < 1 || paragraphs < 1) __builtin_trap();
    int32_t seen = 0;
    for (int32_t n = 1; n <= pages && n <= 8; ++n) {
        LineList page;
        book.ExtractPage(n, page);
        for (const auto& line : page) {
            std::string_view cls;
            size_t at = 0;
            if (ParagraphTagOf(line, cls, at) != ++seen) __builtin_trap();
        }
        const LineList built = page;
        EscapeForeignMarkup(page);
        if (page != built) __builtin_trap();
    }
    return 0;
}
