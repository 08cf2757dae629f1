// charsets.dat as the encoding dialog reads it: rows and the value of each row.
#include <cstdint>
#include <string>

#include "base/Strings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    LineList table = SplitText(text);
    std::vector<std::string> names = DisplayNames(table);
    if (names.size() != table.size()) __builtin_trap();
    for (size_t row = 0; row < table.size() && row < 64; ++row) (void)ValueOfRow(table, row);
    (void)ValueOfRow(table, table.size());
    return 0;
}
