// The file layer: whole-file reads, line-list files and saves that never leave a
// half-written file behind.
#pragma once

#include <cstdint>
#include <string>

#include "unitStrings.h"

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Size of a file in bytes, or -1 when it cannot be examined.
int64_t FileSizeOf(const std::string& path);

// Reads a whole file; raises "Cannot open file %s" when it cannot be opened or read.
std::string ReadWholeFile(const std::string& path);
// Reads a file as a line list (split as SplitText does).
void LoadLinesFromFile(const std::string& path, TLines& lines);
// Writes lines, CR LF after each, replacing the file in place. Raises
// "Cannot create file %s" or "Unable to write to %s".
void SaveLinesToFile(const std::string& path, const TLines& lines);

// A file written beside its final name and put in place by rename only after all
// its bytes reached the disk. Destroying it without Commit removes the temporary,
// so the previous file stays as it was.
class TSafeFile {
  public:
    explicit TSafeFile(std::string path);  // raises "Cannot create file %s"
    ~TSafeFile();
    TSafeFile(const TSafeFile&) = delete;
    TSafeFile& operator=(const TSafeFile&) = delete;

    void Write(const void* data, size_t size);  // raises "Unable to write to %s"
    void Commit();                              // flush, fsync, rename; same error
    const std::string& Path() const { return path_; }
    int Handle() const { return fd_; }

  private:
    void Fail();
    std::string path_, temp_;
    int fd_ = -1;
};

// Replaces a file's whole content safely (TSafeFile).
void SaveFileSafely(const std::string& path, const std::string& content);
