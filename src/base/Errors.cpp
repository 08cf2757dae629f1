#include "base/Errors.h"

namespace {
// pattern with its first "%s" or "%d" at or after from replaced; from moves past the argument.
std::string FmtFrom(const std::string& pattern, const std::string& arg, size_t& from) {
    std::string out = pattern;
    for (size_t i = from; i + 1 < out.size(); ++i) {
        if (out[i] == '%' && (out[i + 1] == 's' || out[i + 1] == 'd')) {
            out.replace(i, 2, arg);
            from = i + arg.size();
            return out;
        }
    }
    from = out.size();
    return out;
}
}  // namespace

std::string Fmt(const std::string& pattern, const std::string& arg) {
    size_t from = 0;
    return FmtFrom(pattern, arg, from);
}

std::string Fmt(const std::string& pattern, const std::string& a, const std::string& b) {
    size_t from = 0;
    const std::string first = FmtFrom(pattern, a, from);
    return FmtFrom(first, b, from);
}

std::string (*Messages::Translate)(const char* text) = nullptr;

std::string Messages::tr(const char* text) {
    return Translate ? Translate(text) : std::string(text);
}

EBookDamaged EBookDamaged::Of(const std::string& path) {
    return EBookDamaged(Fmt(Messages::tr("Book file %s is damaged"), path));
}
