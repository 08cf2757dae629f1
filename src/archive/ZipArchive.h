// Reading ZIP archives for the archive viewer, over libzip: the central
// directory, and extraction of named members into a folder by their bare names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Errors.h"

class EArchiveError : public EAppError {
  public:
    using EAppError::EAppError;
};

struct ZipEntry {
    std::string FileName;           // path inside the archive in UTF-8, "/" as separator
    uint64_t UncompressedSize = 0;  // bytes
    uint32_t DateTime = 0;          // MS-DOS time (low 16 bits) and date (high 16 bits)
    uint64_t Index = 0;             // position in the archive's directory
};

class ZipArchive {
  public:
    // Assigning an archive reads its central directory at once and rebuilds
    // Entries (folder entries left out). Raises EArchiveError naming the archive
    // and the reason when it cannot be read; Entries is then empty.
    void SetZipFileName(const std::string& path);
    const std::string& ZipFileName() const { return zipFileName_; }
    size_t EntryCount() const { return Entries.size(); }

    std::vector<ZipEntry> Entries;
    std::vector<std::string> Members;  // members to extract, as paths inside the archive
    std::string ExtractTo;             // folder to extract into, with a trailing '/'

    // Extracts every member named in Members to ExtractTo + its bare name,
    // replacing an existing file only once the new one is complete. Raises
    // EArchiveError naming the member when it cannot be extracted.
    void ExtractMembers();
    // Extracts one entry (an index into Entries) the same way; two members of
    // the same name are two entries.
    void ExtractEntry(size_t entry);

    // The part of a member path after its last "/", "\\" or ":".
    static std::string BareName(const std::string& memberPath);

  private:
    std::string zipFileName_;
};

// One row of the archive viewer: a member whose extension is ".txt" or ".fb2"
// in any case.
struct ArchiveRow {
    size_t Entry = 0;       // index into the archive's Entries
    std::string Name;       // bare name
    uint64_t Size = 0;      // bytes
    uint32_t DateTime = 0;  // MS-DOS time and date
    std::string Path;       // folder part up to and including the last "/"
    std::string Member;     // the whole path inside the archive
};
std::vector<ArchiveRow> TextMembers(const ZipArchive& zip);

// A member name as the archive stores it, in UTF-8: valid UTF-8 stays; the
// bytes of a DOS machine are read as cp866 when that gives Russian words,
// otherwise as CP437.
std::string DecodeMemberName(std::string_view raw);
// A ZIP archive: named ".zip" in any letter case, or beginning as one does
// ("PK\3\4", or "PK\5\6" when empty), whatever its name.
bool LooksLikeArchive(const std::string& path);
