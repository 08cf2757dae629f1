#include "base/Streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/Errors.h"

void Stream::ReadBuffer(void* buf, size_t n) {
    if (Read(buf, n) != n) throw EReadError(Messages::tr("Stream read error"));
}

void Stream::Skip(uint64_t n) {
    char buf[1 << 14];
    while (n > 0) {
        const size_t chunk = size_t(std::min<uint64_t>(n, sizeof buf));
        ReadBuffer(buf, chunk);
        n -= chunk;
    }
}

size_t MemoryStream::Read(void* buf, size_t n) {
    size_t avail = data_.size() - pos_;
    if (n > avail) n = avail;
    if (n) std::memcpy(buf, data_.data() + pos_, n);
    pos_ += n;
    return n;
}

void MemoryStream::Write(const void* buf, size_t n) {
    if (pos_ == data_.size()) {
        data_.append(static_cast<const char*>(buf), n);
    } else {
        if (pos_ + n > data_.size()) data_.resize(pos_ + n);
        std::memcpy(data_.data() + pos_, buf, n);
    }
    pos_ += n;
}

FileReadStream::FileReadStream(const std::string& path) : path_(path) {
    fd_ = OpenRegularFile(path);
    struct stat st;
    if (::fstat(fd_, &st) != 0) {
        ::close(fd_);
        fd_ = -1;
        throw EFileError(Fmt(Messages::tr("Cannot open file %s"), path));
    }
    size_ = int64_t(st.st_size);
}

FileReadStream::~FileReadStream() {
    if (fd_ >= 0) ::close(fd_);
}

size_t FileReadStream::Read(void* buf, size_t n) {
    size_t done = 0;
    char* p = static_cast<char*>(buf);
    while (done < n) {
        ssize_t r = ::read(fd_, p + done, n - done);
        if (r < 0) {
            if (errno == EINTR) continue;
            throw EReadError(Messages::tr("Stream read error"));
        }
        if (r == 0) break;
        done += size_t(r);
    }
    pos_ += int64_t(done);
    return done;
}

void FileReadStream::Skip(uint64_t n) {
    if (n > uint64_t(size_ - pos_) || ::lseek(fd_, off_t(n), SEEK_CUR) < 0)
        throw EReadError(Messages::tr("Stream read error"));
    pos_ += int64_t(n);
}

void FileReadStream::Write(const void*, size_t) {
    throw EFileError(Fmt(Messages::tr("Unable to write to %s"), path_));
}

SafeFileStream::SafeFileStream(const std::string& path) : file_(path) {
    buf_.reserve(1 << 18);
}

size_t SafeFileStream::Read(void*, size_t) {
    throw EReadError(Messages::tr("Stream read error"));
}

void SafeFileStream::Flush() {
    if (!buf_.empty()) {
        file_.Write(buf_.data(), buf_.size());
        buf_.clear();
    }
}

void SafeFileStream::Write(const void* data, size_t n) {
    if (buf_.size() + n > buf_.capacity()) Flush();
    if (n >= buf_.capacity()) {
        file_.Write(data, n);
    } else {
        buf_.append(static_cast<const char*>(data), n);
    }
}

void SafeFileStream::Commit() {
    Flush();
    file_.Commit();
}

bool SafeFileStream::CommitAsNew() {
    Flush();
    return file_.CommitAsNew();
}

void SafeFileStream::CopyFrom(int fd, uint64_t offset, uint64_t size) {
    Flush();
    file_.CopyFrom(fd, offset, size);
}

static void WriteU16(Stream& s, uint16_t v) {
    unsigned char b[2] = {uint8_t(v), uint8_t(v >> 8)};
    s.Write(b, 2);
}

void WriteI32(Stream& s, int32_t v) {
    uint32_t u = uint32_t(v);
    unsigned char b[4] = {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
    s.Write(b, 4);
}

int32_t ReadI32(Stream& s) {
    unsigned char b[4];
    s.ReadBuffer(b, 4);
    return int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                   uint32_t(b[3]) << 24);
}

// A declared length that runs past the end of the stream is refused before any
// memory is taken for it.
static void CheckAvailable(Stream& s, uint64_t n) {
    int64_t left = s.Remaining();
    if (left >= 0 && n > uint64_t(left)) throw EReadError(Messages::tr("Stream read error"));
}

void WriteStr(Stream& s, const std::string& str) {
    uint16_t len = uint16_t(str.size() & 0xFFFF);
    WriteU16(s, len);
    if (len >= 1) s.Write(str.data(), len);
}

void ReadStr(Stream& s, std::string& str) {
    unsigned char b[2];
    s.ReadBuffer(b, 2);
    size_t len = size_t(b[0]) | size_t(b[1]) << 8;
    if (len == 0) {
        str.clear();
        return;
    }
    CheckAvailable(s, len);
    std::string tmp(len, '\0');
    s.ReadBuffer(tmp.data(), len);
    str = std::move(tmp);
}

void WriteMemoryBlock(Stream& s, MemoryStream& buf) {
    if (buf.Size() > MaxBlockSize) throw EAppError(Messages::tr("Block too large for a book file"));
    int32_t n = int32_t(buf.Size());
    WriteI32(s, n);
    if (n < 1) return;
    s.Write(buf.Data().data(), buf.Size());
    buf.Clear();
}

void ReadMemoryBlock(Stream& s, MemoryStream& buf) {
    int32_t n = ReadI32(s);
    buf.Clear();
    if (n < 1) return;
    CheckAvailable(s, uint64_t(n));
    std::string& d = buf.MutableData();
    d.resize(size_t(n));
    s.ReadBuffer(d.data(), size_t(n));
    buf.SetPosition(0);
}

void WriteStringList(Stream& s, const LineList& lines) {
    // The same bytes as joining the text into one buffer first, without the copy.
    uint64_t total = JoinedLength(lines);
    if (total > MaxBlockSize) throw EAppError(Messages::tr("Text too large for a book file"));
    WriteI32(s, int32_t(total));
    for (const auto& l : lines) {
        s.Write(l.data(), l.size());
        s.Write("\r\n", 2);
    }
}

void ReadStringList(Stream& s, LineList& lines) {
    ReadStringList(s, lines, SIZE_MAX);
}

bool ReadStringList(Stream& s, LineList& lines, size_t maxLines) {
    return ReadStringListOf(s, ReadI32(s), lines, maxLines);
}

bool ReadStringListOf(Stream& s, int32_t n, LineList& lines, size_t maxLines) {
    // The block is split as it is read, piece by piece, into a list of its own,
    // which replaces the caller's only when the whole block was there.
    LineList out;
    bool fits = true;
    if (n >= 1) {
        CheckAvailable(s, uint64_t(n));
        LineSplitter split;
        auto add = [&](std::string_view line) { out.emplace_back(line); };
        // Room for lines of 40 bytes and more: the list never moves while it grows
        // (pages of the reserve that are never used are never touched).
        out.reserve(std::min(size_t(n) / 40 + 16, maxLines == SIZE_MAX ? SIZE_MAX : maxLines + 1));
        std::string buf(std::min<size_t>(size_t(n), 1 << 16), '\0');
        size_t left = size_t(n);
        while (left > 0) {
            size_t chunk = std::min(left, buf.size());
            s.ReadBuffer(buf.data(), chunk);
            split.Feed(buf.data(), chunk, add);
            left -= chunk;
            if (out.size() > maxLines) {
                // More lines than the list can hold: what is left is not even read.
                s.Skip(left);
                fits = false;
                break;
            }
        }
        if (fits) split.Finish(add);
        if (fits && out.size() > maxLines) fits = false;
        if (!fits) LineList().swap(out);
    }
    lines.swap(out);
    return fits;
}

void SkipBlock(Stream& s) {
    const int32_t n = ReadI32(s);
    if (n >= 1) s.Skip(uint64_t(n));
}
