#include "archive/ZipArchive.h"

#include "base/Files.h"
#include "base/Strings.h"
#include "convert/TextAnalysis.h"
#include "text/Charsets.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <zip.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

namespace {

struct ZipCloser {
    void operator()(zip_t* z) const {
        if (z) zip_discard(z);
    }
};
using ZipPtr = std::unique_ptr<zip_t, ZipCloser>;

zip_t* OpenArchiveWith(const std::string& path, int flags, int& err) {
    int fd = TryOpenRegularFile(path, err);  // never a FIFO or a device
    if (fd < 0)
        throw EArchiveError(
            Fmt(Messages::tr("Cannot read the archive %s:\r\n%s"), path, std::strerror(err)));
    zip_t* z = zip_fdopen(fd, flags, &err);
    if (!z) ::close(fd);
    return z;
}

ZipPtr OpenArchive(const std::string& path) {
    int err = 0;
    zip_t* z = OpenArchiveWith(path, ZIP_CHECKCONS, err);
    // The strict check refuses two members of one name; such an archive is read
    // all the same, each member by its own entry.
    if (!z && err == ZIP_ER_EXISTS) z = OpenArchiveWith(path, 0, err);
    if (!z) {
        zip_error_t e;
        zip_error_init_with_code(&e, err);
        std::string reason = zip_error_strerror(&e);
        zip_error_fini(&e);
        throw EArchiveError(Fmt(Messages::tr("Cannot read the archive %s:\r\n%s"), path, reason));
    }
    return ZipPtr(z);
}

uint32_t DosDateTime(time_t t) {
    struct tm tm;
    if (t <= 0 || !localtime_r(&t, &tm) || tm.tm_year < 80) return (1u << 5 | 1u) << 16;
    uint32_t date = uint32_t((tm.tm_year - 80) << 9 | (tm.tm_mon + 1) << 5 | tm.tm_mday);
    uint32_t time = uint32_t(tm.tm_hour << 11 | tm.tm_min << 5 | tm.tm_sec / 2);
    return date << 16 | time;
}

}  // namespace

std::string DecodeMemberName(std::string_view raw) {
    // ASCII, and valid UTF-8 (the flag set, or a maker that writes UTF-8
    // anyway), stay as they are.
    bool ascii = true;
    for (char c : raw) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii || LooksLikeUtf8(raw, false)) return std::string(raw);
    // Bytes of a DOS machine: Russian (cp866) when every byte above 0x7F is a
    // cp866 letter and no word mixes them with Latin letters; else the DOS
    // code page of the format itself (CP437).
    bool cyrillic = true;
    bool latinInWord = false, highInWord = false;
    for (size_t k = 0; k <= raw.size() && cyrillic; ++k) {
        unsigned char c = k < raw.size() ? static_cast<unsigned char>(raw[k]) : ' ';
        if (c >= 0x80) {
            size_t at = k;
            cyrillic = IsLetter(DecodeChar(raw, at, CodePage::Cp866));
            highInWord = true;
        } else if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') {
            latinInWord = true;
        } else {
            if (latinInWord && highInWord) cyrillic = false;
            latinInWord = highInWord = false;
        }
    }
    return ToUtf8(raw, cyrillic ? CodePage::Cp866 : CodePage::Cp437);
}

bool LooksLikeArchive(const std::string& path) {
    size_t dot = path.rfind('.');
    if (dot != std::string::npos && path.find('/', dot) == std::string::npos &&
        SameText(std::string_view(path).substr(dot), ".zip"))
        return true;
    int err = 0;
    FileDescriptor fd(TryOpenRegularFile(path, err));
    char head[4];
    if (!fd || !ReadAt(fd.Get(), head, 4, 0)) return false;
    return std::string_view(head, 4) == std::string_view("PK\x03\x04", 4) ||
           std::string_view(head, 4) == std::string_view("PK\x05\x06", 4);
}

std::string ZipArchive::BareName(const std::string& memberPath) {
    size_t cut = memberPath.find_last_of("/\\:");
    return ControlsToSpaces(cut == std::string::npos ? memberPath : memberPath.substr(cut + 1));
}

void ZipArchive::SetZipFileName(const std::string& path) {
    zipFileName_ = path;
    Entries.clear();
    ZipPtr z = OpenArchive(path);
    zip_int64_t n = zip_get_num_entries(z.get(), 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        if (zip_stat_index(z.get(), zip_uint64_t(i), 0, &st) != 0) continue;
        const char* raw = zip_get_name(z.get(), zip_uint64_t(i), ZIP_FL_ENC_RAW);
        if (!raw) continue;
        std::string member = DecodeMemberName(raw);
        for (char& c : member)
            if (c == '\\') c = '/';
        if (member.empty() || member.back() == '/') continue;  // folder entry
        ZipEntry e;
        e.FileName = member;
        e.UncompressedSize = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
        e.DateTime = DosDateTime((st.valid & ZIP_STAT_MTIME) ? st.mtime : 0);
        e.Index = zip_uint64_t(i);
        Entries.push_back(std::move(e));
    }
}

void ZipArchive::ExtractMembers() {
    for (const std::string& member : Members) {
        size_t i = 0;
        while (i < Entries.size() && Entries[i].FileName != member) ++i;
        if (i == Entries.size())
            throw EArchiveError(Fmt(Messages::tr("The archive holds no member %s"), member));
        ExtractEntry(i);
    }
}

void ZipArchive::ExtractEntry(size_t index) {
    ZipPtr z = OpenArchive(zipFileName_);
    const ZipEntry* entry = &Entries.at(index);
    const std::string& name = entry->FileName;
    const std::string bare = BareName(name);
    // Only ever TEMP/ + a bare name: nothing of the archive's paths reaches the disk.
    if (bare.empty() || bare == "." || bare == ".." || bare.find('/') != std::string::npos ||
        bare.find('\0') != std::string::npos)
        throw EArchiveError(
            Fmt(Messages::tr("Cannot extract %s: its name is not a file name"), name));
    if (entry->UncompressedSize > 2147483647u)
        throw EArchiveError(
            Fmt(Messages::tr("Cannot extract %s: it is too large for a book"), name));
    // Room for the text and a margin, so that the disk is never filled up.
    constexpr uint64_t margin = 64ull << 20;
    struct statvfs vfs;
    if (::statvfs(ExtractTo.c_str(), &vfs) == 0) {
        const uint64_t free = uint64_t(vfs.f_bavail) * vfs.f_frsize;
        if (entry->UncompressedSize + margin > free)
            throw EArchiveError(Fmt(Messages::tr("Cannot extract %s: not enough free space in %s"),
                                    name, ExtractTo));
    }

    const std::string target = ExtractTo + bare;
    std::string temp = TemporaryTemplate(target);
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        throw EArchiveError(
            Fmt(Messages::tr("Cannot extract %s: cannot create a file in %s"), name, ExtractTo));
    std::string failure;
    zip_file_t* f = zip_fopen_index(z.get(), entry->Index, 0);
    if (!f) {
        failure = zip_strerror(z.get());
    } else {
        std::string buf(1 << 16, '\0');
        uint64_t total = 0;
        for (;;) {
            zip_int64_t got = zip_fread(f, buf.data(), buf.size());
            if (got < 0) {
                failure = zip_file_strerror(f);
                break;
            }
            if (got == 0) break;
            total += uint64_t(got);
            const char* p = buf.data();
            size_t left = size_t(got);
            while (left > 0) {
                ssize_t w = ::write(fd, p, left);
                if (w < 0 && errno == EINTR) continue;
                if (w <= 0) {
                    failure = std::string("cannot write to ") + ExtractTo + " (" +
                              std::strerror(w < 0 ? errno : ENOSPC) + ")";
                    break;
                }
                p += w;
                left -= size_t(w);
            }
            if (!failure.empty()) break;
            if (total > entry->UncompressedSize) {
                failure = "its data is longer than the archive says";
                break;
            }
        }
        zip_fclose(f);
    }
    if (failure.empty() && ::fsync(fd) != 0) failure = std::strerror(errno);
    if (::close(fd) != 0 && failure.empty()) failure = std::strerror(errno);
    if (failure.empty() && ::rename(temp.c_str(), target.c_str()) != 0)
        failure = std::strerror(errno);
    if (!failure.empty()) {
        ::unlink(temp.c_str());
        throw EArchiveError(Fmt(Messages::tr("Cannot extract %s:\r\n%s"), name, failure));
    }
    ::chmod(target.c_str(), 0644);
}

std::vector<ArchiveRow> TextMembers(const ZipArchive& zip) {
    std::vector<ArchiveRow> rows;
    for (const auto& e : zip.Entries) {
        const std::string& p = e.FileName;
        size_t dot = p.rfind('.');
        if (dot == std::string::npos || p.find_first_of("/:", dot) != std::string::npos) continue;
        const std::string_view ext = std::string_view(p).substr(dot);
        if (!SameText(ext, ".txt") && !SameText(ext, ".fb2")) continue;
        ArchiveRow r;
        r.Entry = size_t(&e - zip.Entries.data());
        r.Name = ZipArchive::BareName(p);
        r.Size = e.UncompressedSize;
        r.DateTime = e.DateTime;
        size_t cut = p.find_last_of('/');
        r.Path = cut == std::string::npos ? std::string() : p.substr(0, cut + 1);
        r.Member = p;
        rows.push_back(std::move(r));
    }
    return rows;
}
