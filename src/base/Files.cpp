#include "base/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/falloc.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/Errors.h"

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathTaken(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

int64_t FileSizeOf(const std::string& path) {
    return StampOf(path).size;
}

FileStamp StampOf(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return {};
    return {int64_t(st.st_size), int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

int TryOpenRegularFile(const std::string& path, int& err, int access) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer
    // for ever. Whatever was opened is then refused unless it is a regular file.
    int fd = ::open(path.c_str(), access | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        err = errno;
        return -1;
    }
    struct stat st;
    int flags = -1;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return -1;
    }
    if ((flags = ::fcntl(fd, F_GETFL)) < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        err = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

int OpenRegularFile(const std::string& path) {
    int err = 0;
    int fd = TryOpenRegularFile(path, err);
    if (fd < 0) throw EFileError(Fmt(Messages::tr("Cannot open file %s"), path));
    return fd;
}

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& o) noexcept {
    if (this != &o) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = o.fd_;
        o.fd_ = -1;
    }
    return *this;
}

bool ReadAt(int fd, void* buf, size_t n, uint64_t offset) {
    char* p = static_cast<char*>(buf);
    while (n > 0) {
        ssize_t r = ::pread(fd, p, n, off_t(offset));
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (r == 0) return false;
        p += r;
        n -= size_t(r);
        offset += uint64_t(r);
    }
    return true;
}

bool WriteAt(int fd, const void* buf, size_t n, uint64_t offset) {
    const char* p = static_cast<const char*>(buf);
    while (n > 0) {
        ssize_t w = ::pwrite(fd, p, n, off_t(offset));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= size_t(w);
        offset += uint64_t(w);
    }
    return true;
}

FileDescriptor MakeUnnamedFile(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        std::string temp = TemporaryTemplate(folder + "book");
        fd = ::mkostemp(temp.data(), O_CLOEXEC);
        if (fd >= 0) ::unlink(temp.c_str());
    }
    if (fd < 0)
        throw EFileError(Fmt(Messages::tr("Cannot create file %s"), folder) + ": " +
                         std::strerror(errno));
    return FileDescriptor(fd);
}

uint64_t BlockSizeOf(int fd) {
    struct statfs fs;
    return ::fstatfs(fd, &fs) == 0 && fs.f_bsize > 0 ? uint64_t(fs.f_bsize) : 0;
}

bool InsertRoomInFront(int fd, uint64_t n) {
    return ::fallocate(fd, FALLOC_FL_INSERT_RANGE, 0, off_t(n)) == 0;
}

static mode_t UsualMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

int NameUnnamedFile(int fd, const std::string& path) {
    if (::fchmod(fd, UsualMode()) != 0 || ::fsync(fd) != 0) return errno;
    // A file of no name is linked through its entry in /proc (linkat with
    // AT_EMPTY_PATH needs a privilege); a taken name fails with EEXIST.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0)
        return errno;
    SyncFolderOf(path);
    return 0;
}

static int WriteAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (w == 0) return ENOSPC;
        p += w;
        n -= size_t(w);
    }
    return 0;
}

std::string ReadWholeFile(const std::string& path) {
    FileDescriptor fd(OpenRegularFile(path));
    struct stat st;
    std::string data;
    if (::fstat(fd.Get(), &st) == 0 && st.st_size > 0) data.reserve(size_t(st.st_size));
    char buf[1 << 16];
    for (;;) {
        ssize_t r = ::read(fd.Get(), buf, sizeof buf);
        if (r < 0) {
            if (errno == EINTR) continue;
            throw EFileError(Fmt(Messages::tr("Cannot open file %s"), path));
        }
        if (r == 0) break;
        data.append(buf, size_t(r));
    }
    return data;
}

void LoadLinesFromFile(const std::string& path, LineList& lines) {
    std::string data = ReadWholeFile(path);
    SplitText(data, lines);
}

void SaveLinesToFile(const std::string& path, const LineList& lines) {
    SafeFile f(path, SafeFile::Disposable);
    const std::string text = JoinLines(lines);
    f.Write(text.data(), text.size());
    f.Commit();
}

namespace {
// What this program's temporaries carry between the final name and the
// writer's process id; nobody else's file is taken for one of them.
constexpr char TempTag[] = ".tavisto-tmp-";
constexpr size_t TempTagLength = sizeof TempTag - 1;
}  // namespace

std::string TemporaryTemplate(const std::string& path) {
    return path + TempTag + std::to_string(::getpid()) + "-XXXXXX";
}

// The writer's process id of a temporary's name, or 0 when the name is none:
// exactly "NAME.tavisto-tmp-PID-" and six letters or digits (mkostemp's).
static pid_t WriterOf(const char* name) {
    const char* tag = nullptr;
    for (const char* p = std::strstr(name, TempTag); p; p = std::strstr(p + 1, TempTag)) tag = p;
    if (!tag || tag == name) return 0;
    const char* d = tag + TempTagLength;
    long pid = 0;
    const char* q = d;
    while (*q >= '0' && *q <= '9' && q - d < 10) pid = pid * 10 + (*q++ - '0');
    if (q == d || *q != '-' || std::strlen(q + 1) != 6 || pid <= 0) return 0;
    for (const char* c = q + 1; *c; ++c)
        if (!std::isalnum(static_cast<unsigned char>(*c))) return 0;
    return pid_t(pid);
}

static bool ProcessAlive(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

void RemoveDeadTemporaries(const std::string& folder, bool includingOwn) {
    DIR* d = ::opendir(folder.c_str());
    if (!d) return;
    std::vector<std::string> dead;
    const pid_t self = ::getpid();
    while (dirent* e = ::readdir(d)) {
        pid_t pid = WriterOf(e->d_name);
        if (pid == 0) continue;
        if (pid == self ? includingOwn : !ProcessAlive(pid)) dead.emplace_back(e->d_name);
    }
    ::closedir(d);
    std::string dir = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    for (const auto& name : dead) {
        struct stat st;
        std::string full = dir + name;
        if (::lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(full.c_str());
    }
}

SafeFile::SafeFile(std::string path, Durability durability)
    : path_(std::move(path)), durable_(durability == Durable) {
    RemoveDeadTemporaries(FolderOf(path_));
    temp_ = TemporaryTemplate(path_);
    fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
    if (fd_ < 0)
        throw EFileError(Fmt(Messages::tr("Cannot create file %s"), path_) + ": " +
                         std::strerror(errno));
    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    struct stat st;
    mode_t mode = 0644;
    if (::stat(path_.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        mode = UsualMode();
    }
    ::fchmod(fd_, mode);
}

SafeFile::~SafeFile() {
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(temp_.c_str());
    }
}

void SafeFile::Fail(int err) {
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(temp_.c_str());
        fd_ = -1;
    }
    throw EFileError(Fmt(Messages::tr("Unable to write to %s"), path_) + ": " + std::strerror(err));
}

void SafeFile::Write(const void* data, size_t size) {
    if (fd_ < 0) Fail(EBADF);
    if (int err = WriteAll(fd_, static_cast<const char*>(data), size)) Fail(err);
    written_ += size;
}

void SafeFile::CopyFrom(int fd, uint64_t offset, uint64_t size) {
    if (fd_ < 0) Fail(EBADF);
    // In the kernel first: no copy passes through this process, and filesystems
    // that can share blocks between files copy nothing at all.
    loff_t in = loff_t(offset);
    uint64_t left = size;
    while (left > 0) {
        ssize_t n = ::copy_file_range(fd, &in, fd_, nullptr, left, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        left -= uint64_t(n);
    }
    std::vector<char> buf;
    while (left > 0) {
        if (buf.empty()) buf.resize(1 << 20);
        size_t chunk = left < buf.size() ? size_t(left) : buf.size();
        if (!ReadAt(fd, buf.data(), chunk, uint64_t(in))) Fail(EIO);
        if (int err = WriteAll(fd_, buf.data(), chunk)) Fail(err);
        in += loff_t(chunk);
        left -= chunk;
    }
    written_ += size;
}

void SafeFile::Finish() {
    if (fd_ < 0) Fail(EBADF);
    if (durable_ && ::fsync(fd_) != 0) Fail(errno);
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(temp_.c_str());
        throw EFileError(Fmt(Messages::tr("Unable to write to %s"), path_) + ": " +
                         std::strerror(err));
    }
}

void SyncFolderOf(const std::string& path) {
    // Makes the rename itself durable.
    int dfd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

void SafeFile::Commit() {
    Finish();
    if (::rename(temp_.c_str(), path_.c_str()) != 0) {
        int err = errno;
        ::unlink(temp_.c_str());
        throw EFileError(Fmt(Messages::tr("Unable to write to %s"), path_) + ": " +
                         std::strerror(err));
    }
    if (durable_) SyncFolderOf(path_);
}

bool SafeFile::CommitAsNew() {
    Finish();
    int rc = ::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, path_.c_str(), RENAME_NOREPLACE);
    if (rc != 0 && (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
        // A filesystem without the flag: a hard link fails the same way on a taken name.
        rc = ::link(temp_.c_str(), path_.c_str());
        if (rc == 0) ::unlink(temp_.c_str());
    }
    if (rc != 0) {
        int err = errno;
        ::unlink(temp_.c_str());
        if (err == EEXIST) return false;
        throw EFileError(Fmt(Messages::tr("Unable to write to %s"), path_) + ": " +
                         std::strerror(err));
    }
    SyncFolderOf(path_);
    return true;
}

void SaveFileSafely(const std::string& path, const std::string& content) {
    SafeFile f(path);
    f.Write(content.data(), content.size());
    f.Commit();
}

static std::string WithoutSlash(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

bool EmptyFolder(const std::string& path) {
    // The folder is opened without following a link, and everything in it is
    // removed by name within it: a link planted anywhere leads nowhere.
    const int dfd =
        ::open(WithoutSlash(path).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dfd < 0) return false;
    DIR* d = ::fdopendir(dfd);
    if (!d) {
        ::close(dfd);
        return false;
    }
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.emplace_back(e->d_name);
    for (const auto& n : names) {
        struct stat st;
        if (::fstatat(dfd, n.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(st.st_mode))
            ::unlinkat(dfd, n.c_str(), 0);
    }
    ::closedir(d);
    return true;
}

bool MakeRealFolder(const std::string& path) {
    const std::string p = WithoutSlash(path);
    struct stat st;
    if (::lstat(p.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return false;
        // A link (or a file) in the folder's place goes; what it points to stays.
        if (::unlink(p.c_str()) != 0)
            throw EFileError(Fmt(Messages::tr("Cannot create folder %s"), path) + ": " +
                             std::strerror(errno));
        MakeFolder(path);
        return true;
    }
    MakeFolder(path);
    return false;
}

void MakeFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) == 0 || (errno == EEXIST && DirectoryExists(path))) return;
    const int err = errno == EEXIST ? ENOTDIR : errno;
    throw EFileError(Fmt(Messages::tr("Cannot create folder %s"), path) + ": " +
                     std::strerror(err));
}

bool CopyFileIfMissing(const std::string& from, const std::string& to) {
    if (PathTaken(to)) return false;
    FileDescriptor src(OpenRegularFile(from));
    struct stat st;
    if (::fstat(src.Get(), &st) != 0)
        throw EFileError(Fmt(Messages::tr("Cannot open file %s"), from));
    SafeFile out(to);
    out.CopyFrom(src.Get(), 0, uint64_t(st.st_size));
    return out.CommitAsNew();
}
