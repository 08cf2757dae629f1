// Book files from anywhere: the whole file and the header alone. A file either
// loads or is refused with a read error; one that loads writes back and loads
// again to the same record.
#include <cstdint>
#include <string>

#include "base/Errors.h"
#include "book/BookFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (bool headerOnly : {false, true}) {
        BookFile book("/nonexistent/");
        MemoryStream in(bytes);
        try {
            book.ReadFrom(in, headerOnly);
        } catch (const EReadError&) {
            continue;
        }
        if (headerOnly) continue;
        try {
            LineList page;
            const int32_t pages = book.GetIntProperty("PagesCount");
            for (int32_t n = 0; n <= 3 && n <= pages + 1; ++n) book.ExtractPage(n, page);
            book.LastPage = book.GetIntProperty("LastPage");
            book.NextPage(page);
            book.PrevPage(page);
        } catch (const EConvertError&) {
        }
        MemoryStream out;
        book.WriteTo(out);
        BookFile again("/nonexistent/");
        MemoryStream back(out.Data());
        again.ReadFrom(back, false);
        if (again.Title != book.Title || again.Properties != book.Properties ||
            again.Contents != book.Contents || again.PageIndex != book.PageIndex ||
            again.Body() != book.Body())
            __builtin_trap();
    }
    return 0;
}
