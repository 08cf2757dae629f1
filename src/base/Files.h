// The file layer: opening files safely, whole-file reads, line-list files and
// saves that never leave a half-written file behind.
#pragma once

#include <fcntl.h>

#include <cstdint>
#include <string>

#include "base/Strings.h"

// A regular file exists under this path (a folder, a FIFO or a device does not count).
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Anything at all stands under this path (a file, a folder, a dangling link...).
bool PathTaken(const std::string& path);
// Size of a file in bytes, or -1 when it cannot be examined.
int64_t FileSizeOf(const std::string& path);
// A file's size and last change (nanoseconds), to tell whether it changed;
// {-1, 0} when it cannot be examined.
struct FileStamp {
    int64_t size = -1, modified = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const std::string& path);
// The folder part of a path, with its trailing '/' ("./" when it has none).
std::string FolderOf(const std::string& path);

// The one way the program opens a file it reads: never blocks on a FIFO or a
// device, and refuses anything that is not a regular file. Returns the
// descriptor (blocking again, close-on-exec); raises "Cannot open file %s".
int OpenRegularFile(const std::string& path);
// The same without raising: -1 with the reason in err (EINVAL for what is not a
// regular file). access: O_RDONLY, or O_RDWR for a file written in place.
int TryOpenRegularFile(const std::string& path, int& err, int access = O_RDONLY);

// Closes a descriptor when it goes out of scope.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
    FileDescriptor& operator=(FileDescriptor&& o) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_;
};

// Reads exactly n bytes at offset; false when the file ends first or fails.
bool ReadAt(int fd, void* buf, size_t n, uint64_t offset);
// Writes exactly n bytes at offset; false when that fails.
bool WriteAt(int fd, const void* buf, size_t n, uint64_t offset);

// A file of no name in folder, for reading and writing: nothing of it is left
// when the program dies (where the file system has no such files, a temporary
// removed at once). Raises "Cannot create file %s: reason".
FileDescriptor MakeUnnamedFile(const std::string& folder);
// The size of the blocks of the file system that holds fd's file: room put in
// front of a file is a whole number of them. 0 when unknown.
uint64_t BlockSizeOf(int fd);
// Puts n bytes of room in front of what the file holds, without moving its
// bytes through memory (ext4 and XFS can). False, with the file as it was, when
// the file system cannot.
bool InsertRoomInFront(int fd, uint64_t n);
// Gives a file of no name (MakeUnnamedFile) the name path, with the usual
// permissions, once its bytes reached the disk; a name that is taken is never
// replaced. Returns 0 or the reason (EEXIST: the name is taken).
int NameUnnamedFile(int fd, const std::string& path);

// Makes the entries of path's folder durable: a file made or renamed there
// is still there after a crash.
void SyncFolderOf(const std::string& path);

// Reads a whole file; raises "Cannot open file %s" when it cannot be opened or read.
std::string ReadWholeFile(const std::string& path);
// Reads a file as a line list (split as SplitText does).
void LoadLinesFromFile(const std::string& path, LineList& lines);
// Writes lines, CR LF after each, as a file made anew at will: put in place
// whole by rename (a link standing there is replaced, its target never
// written), not synced. Raises "Cannot create file %s: reason" or "Unable to
// write to %s: reason".
void SaveLinesToFile(const std::string& path, const LineList& lines);

// Temporaries carry the writing process's id in their names
// ("name.tavisto-tmp-PID-XXXXXX"), so that one left by a killed writer can be told from
// one still being written. Removes those of dead writers in folder; with
// includingOwn also those named with this process's id (at start-up none of
// them can be ours yet).
void RemoveDeadTemporaries(const std::string& folder, bool includingOwn = false);
// A temporary name beside path, for mkostemp.
std::string TemporaryTemplate(const std::string& path);

// A file written beside its final name and put in place by rename only after all
// its bytes reached the disk. Destroying it without a commit removes the
// temporary, so the previous file stays as it was.
class SafeFile {
  public:
    // A file made anew at will (a page, a style sheet) need not be durable: it
    // is still put in place whole by rename, but never synced to the disk.
    enum Durability { Durable, Disposable };
    explicit SafeFile(std::string path,
                      Durability durability = Durable);  // raises "Cannot create file %s"
    ~SafeFile();
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    // Raise "Unable to write to %s: reason".
    void Write(const void* data, size_t size);
    // Copies size bytes from offset of another file, in the kernel when it can.
    void CopyFrom(int fd, uint64_t offset, uint64_t size);
    uint64_t Written() const { return written_; }
    // Flushes, syncs and renames over the final name.
    void Commit();
    // The same, but only when nothing stands under the final name yet: false
    // (the temporary is removed) when something does. Choosing a free name and
    // taking it is thus one step, whoever else writes into the folder.
    bool CommitAsNew();
    const std::string& Path() const { return path_; }
    int Handle() const { return fd_; }

  private:
    [[noreturn]] void Fail(int err);
    void Finish();
    std::string path_, temp_;
    int fd_ = -1;
    uint64_t written_ = 0;
    bool durable_ = true;
};

// Replaces a file's whole content safely (SafeFile).
void SaveFileSafely(const std::string& path, const std::string& content);

// Makes a folder when it is missing; raises "Cannot create folder %s: reason".
void MakeFolder(const std::string& path);
// A real folder under path: a link or a file standing in its place is removed
// (never what a link points to) and an empty folder made. True when something
// had to be replaced; the MakeFolder errors.
bool MakeRealFolder(const std::string& path);
// Removes every file and link directly inside a folder, never following a link,
// the folder's own name included; false (nothing removed) when path is no real
// folder.
bool EmptyFolder(const std::string& path);
// Copies a file to a name where nothing stands yet; false (nothing written)
// when something already does. Raises "Cannot open file %s" for the source and
// the SafeFile errors for the copy.
bool CopyFileIfMissing(const std::string& from, const std::string& to);
