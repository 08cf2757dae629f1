// Templates and values from anywhere: substitution always ends, and a value is
// never scanned again.
#include <cstdint>
#include <string>

#include "base/Strings.h"
#include "reading/Placeholders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // The first line break separates the values (split at '|') from the template.
    size_t cut = bytes.find('\n');
    std::string valuesText = cut == std::string::npos ? std::string() : bytes.substr(0, cut);
    std::string tmpl = cut == std::string::npos ? bytes : bytes.substr(cut + 1);
    LineList values;
    size_t from = 0;
    while (from <= valuesText.size()) {
        size_t bar = valuesText.find('|', from);
        if (bar == std::string::npos) bar = valuesText.size();
        values.push_back(valuesText.substr(from, bar - from));
        from = bar + 1;
    }
    LineList lines = SplitText(tmpl);
    LineList all = lines;
    ReplaceAllPlaceholders(all, values);
    for (const char* name : {"Charset", "Pg_Up", "Page_Text", "Pg_Dn"}) {
        LineList one = lines;
        ReplacePlaceholder(one, name, values.empty() ? std::string() : values[0]);
    }
    return 0;
}
