// The whole conversion on arbitrary bytes: it converts or refuses with a clear
// error, the result holds the markers it claims, and it survives a save and load.
#include <stdlib.h>

#include <cstdint>
#include <string>

#include "FuzzFolder.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "base/Streams.h"
#include "convert/Converter.h"
#include "convert/FictionBook.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A FictionBook is read by its own reader (fuzz_fb2).
    if (LooksLikeFictionBook(std::string_view(reinterpret_cast<const char*>(data), size))) return 0;
    const std::string text = Folder() + "fuzz.txt";
    SaveFileSafely(text, std::string(reinterpret_cast<const char*>(data), size));
    BookFile book(Folder());
    try {
        book = ConvertToBook(text, Folder());
    } catch (const ETextRefused&) {
        return 0;
    }
    const int32_t pages = book.GetIntProperty("PagesCount");
    const int32_t paragraphs = book.GetIntProperty("TotalParagraphs");
    if (pages < 1 || paragraphs < 1) __builtin_trap();
    if (book.Body()[0].rfind("<Page1><p id=\"par1\" class=\"pnorm\">", 0) != 0) __builtin_trap();
    LineList page;
    for (int32_t n = 1; n <= pages && n <= 4; ++n) {
        book.ExtractPage(n, page);
        if (page.empty() || page[0].rfind("<p id=\"par", 0) != 0) __builtin_trap();
    }
    MemoryStream out;
    book.WriteTo(out);
    BookFile back(Folder());
    MemoryStream in(out.Data());
    back.ReadFrom(in, false);
    if (back.Body() != book.Body() || back.Properties != book.Properties) __builtin_trap();
    return 0;
}
