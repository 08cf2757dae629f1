// ZIP archives from anywhere: the directory is read or refused with a message;
// the text rows never name a path outside the archive's own names.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "archive/ZipArchive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = [] {
        std::string p = "/tmp/tavisto-fuzz-zip-XXXXXX";
        int fd = ::mkstemp(p.data());
        if (fd >= 0) ::close(fd);
        return p;
    }();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    ZipArchive zip;
    try {
        zip.SetZipFileName(path);
    } catch (const EArchiveError&) {
        return 0;
    }
    for (const ArchiveRow& row : TextMembers(zip)) {
        if (row.Name.find('/') != std::string::npos) __builtin_trap();
        if (row.Path + row.Name != row.Member && row.Member.find(':') == std::string::npos)
            __builtin_trap();
    }
    return 0;
}
