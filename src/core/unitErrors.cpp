#include "unitErrors.h"

std::string Fmt(const std::string& pattern, const std::string& arg) {
    std::string out = pattern;
    for (size_t i = 0; i + 1 < out.size(); ++i) {
        if (out[i] == '%' && (out[i + 1] == 's' || out[i + 1] == 'd')) {
            out.replace(i, 2, arg);
            break;
        }
    }
    return out;
}
