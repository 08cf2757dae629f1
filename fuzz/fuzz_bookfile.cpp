// Book files from anywhere: the whole file and the header alone. A file either
// loads or is refused with a read error; one that loads writes back and loads
// again to the same record.
#include <cstdint>
#include <string>

#include "core/unitBookClasses.h"
#include "core/unitErrors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (bool headerOnly : {false, true}) {
        TBookInfo book("/nonexistent/");
        TMemoryStream in(bytes);
        try {
            book.ReadFrom(in, headerOnly);
        } catch (const EReadError&) {
            continue;
        }
        if (headerOnly) continue;
        try {
            TLines page;
            const int32_t pages = book.GetIntProperty("PagesCount");
            for (int32_t n = 0; n <= 3 && n <= pages + 1; ++n) book.ExtractPage(n, page);
            book.LastPage = book.GetIntProperty("LastPage");
            book.NextPage(page);
            book.PrevPage(page);
        } catch (const EConvertError&) {
        }
        TMemoryStream out;
        book.WriteTo(out);
        TBookInfo again("/nonexistent/");
        TMemoryStream back(out.Data());
        again.ReadFrom(back, false);
        if (again.Title != book.Title || again.Properties != book.Properties ||
            again.ReservedA != book.ReservedA || again.ReservedB != book.ReservedB ||
            again.Body() != book.Body())
            __builtin_trap();
    }
    return 0;
}
