// A folder of the fuzzing process's own, made at its first use, for the files a
// target writes (texts to convert, books to load).
#pragma once

#include <stdlib.h>

#include <string>

inline const std::string& Folder() {
    static const std::string folder = [] {
        char tmpl[] = "/tmp/tavisto-fuzz-XXXXXX";
        if (!::mkdtemp(tmpl)) __builtin_trap();
        return std::string(tmpl) + "/";
    }();
    return folder;
}
