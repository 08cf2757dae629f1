#include "unitFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "unitErrors.h"

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int64_t FileSizeOf(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return -1;
    return int64_t(st.st_size);
}

static bool WriteAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (w == 0) return false;
        p += w;
        n -= size_t(w);
    }
    return true;
}

std::string ReadWholeFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw EFileError(Fmt("Cannot open file %s", path));
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw EFileError(Fmt("Cannot open file %s", path));
    }
    std::string data;
    try {
        if (st.st_size > 0) data.reserve(size_t(st.st_size));
        char buf[1 << 16];
        for (;;) {
            ssize_t r = ::read(fd, buf, sizeof buf);
            if (r < 0) {
                if (errno == EINTR) continue;
                throw EFileError(Fmt("Cannot open file %s", path));
            }
            if (r == 0) break;
            data.append(buf, size_t(r));
        }
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
    return data;
}

void LoadLinesFromFile(const std::string& path, TLines& lines) {
    std::string data = ReadWholeFile(path);
    SplitText(data, lines);
}

void SaveLinesToFile(const std::string& path, const TLines& lines) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw EFileError(Fmt("Cannot create file %s", path));
    std::string text = JoinLines(lines);
    bool ok = WriteAll(fd, text.data(), text.size());
    if (::close(fd) != 0) ok = false;
    if (!ok) throw EFileError(Fmt("Unable to write to %s", path));
}

// Temporaries of a save that was killed before its rename stay behind; the next
// save of the same file removes those older than a minute (a newer one may still
// belong to a save under way).
static void RemoveStaleTemporaries(const std::string& path) {
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    std::string prefix = (slash == std::string::npos ? path : path.substr(slash + 1)) + ".tmp-";
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    const time_t now = ::time(nullptr);
    while (dirent* e = ::readdir(d)) {
        if (std::strncmp(e->d_name, prefix.c_str(), prefix.size()) != 0 ||
            std::strlen(e->d_name) != prefix.size() + 6)
            continue;
        std::string full = (slash == std::string::npos ? std::string() : dir) + e->d_name;
        struct stat st;
        if (::lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && now - st.st_mtime > 60)
            ::unlink(full.c_str());
    }
    ::closedir(d);
}

TSafeFile::TSafeFile(std::string path) : path_(std::move(path)) {
    RemoveStaleTemporaries(path_);
    temp_ = path_ + ".tmp-XXXXXX";
    fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
    if (fd_ < 0) throw EFileError(Fmt("Cannot create file %s", path_));
    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    struct stat st;
    mode_t mode = 0644;
    if (::stat(path_.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd_, mode);
}

TSafeFile::~TSafeFile() {
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(temp_.c_str());
    }
}

void TSafeFile::Fail() {
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(temp_.c_str());
        fd_ = -1;
    }
    throw EFileError(Fmt("Unable to write to %s", path_));
}

void TSafeFile::Write(const void* data, size_t size) {
    if (fd_ < 0) Fail();
    if (!WriteAll(fd_, static_cast<const char*>(data), size)) Fail();
}

void TSafeFile::Commit() {
    if (fd_ < 0) Fail();
    if (::fsync(fd_) != 0) Fail();
    if (::close(fd_) != 0) {
        fd_ = -1;
        ::unlink(temp_.c_str());
        throw EFileError(Fmt("Unable to write to %s", path_));
    }
    fd_ = -1;
    if (::rename(temp_.c_str(), path_.c_str()) != 0) {
        ::unlink(temp_.c_str());
        throw EFileError(Fmt("Unable to write to %s", path_));
    }
    // Make the rename itself durable.
    size_t slash = path_.rfind('/');
    std::string dir = slash == std::string::npos ? std::string(".") : path_.substr(0, slash + 1);
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

void SaveFileSafely(const std::string& path, const std::string& content) {
    TSafeFile f(path);
    f.Write(content.data(), content.size());
    f.Commit();
}
