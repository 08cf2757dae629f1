// Byte encodings of the book file: counted strings, byte blocks and line lists.
// All integers are little-endian; characters are copied byte for byte.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/Files.h"
#include "base/Strings.h"

// A sequential byte stream. Read may return fewer bytes than asked at the end;
// Write raises when the bytes cannot all be written.
class Stream {
  public:
    virtual ~Stream() = default;
    virtual size_t Read(void* buf, size_t n) = 0;
    virtual void Write(const void* buf, size_t n) = 0;
    // Bytes still to be read, or -1 when the stream cannot tell.
    virtual int64_t Remaining() const { return -1; }
    // Reads exactly n bytes or raises EReadError ("Stream read error").
    void ReadBuffer(void* buf, size_t n);
    // Passes over exactly n bytes or raises EReadError, holding none of them.
    virtual void Skip(uint64_t n);
};

// A growable in-memory byte stream with a size and a current position.
class MemoryStream : public Stream {
  public:
    MemoryStream() = default;
    explicit MemoryStream(std::string data) : data_(std::move(data)) {}
    size_t Read(void* buf, size_t n) override;
    void Write(const void* buf, size_t n) override;
    int64_t Remaining() const override { return int64_t(data_.size() - pos_); }
    size_t Size() const { return data_.size(); }
    size_t Position() const { return pos_; }
    void SetPosition(size_t p) { pos_ = p < data_.size() ? p : data_.size(); }
    void Clear() {
        data_.clear();
        pos_ = 0;
    }
    const std::string& Data() const { return data_; }
    std::string& MutableData() { return data_; }

  private:
    std::string data_;
    size_t pos_ = 0;
};

// A file opened for reading. Raises "Cannot open file %s" when it cannot be opened.
class FileReadStream : public Stream {
  public:
    explicit FileReadStream(const std::string& path);
    ~FileReadStream() override;
    size_t Read(void* buf, size_t n) override;
    void Write(const void* buf, size_t n) override;  // raises: read-only
    int64_t Remaining() const override { return size_ - pos_; }
    void Skip(uint64_t n) override;
    int64_t Position() const { return pos_; }
    int64_t Size() const { return size_; }
    const std::string& Path() const { return path_; }
    // Hands the open file over; the stream is unusable afterwards.
    FileDescriptor TakeHandle() {
        FileDescriptor fd(fd_);
        fd_ = -1;
        return fd;
    }

  private:
    std::string path_;
    int fd_ = -1;
    int64_t size_ = 0, pos_ = 0;
};

// A file written safely (see SafeFile) through a buffer. Commit puts it in place;
// without Commit the previous file is kept.
class SafeFileStream : public Stream {
  public:
    explicit SafeFileStream(const std::string& path);
    size_t Read(void* buf, size_t n) override;  // raises: write-only
    void Write(const void* buf, size_t n) override;
    void Commit();
    bool CommitAsNew();
    // Copies bytes of another file after what was written so far.
    void CopyFrom(int fd, uint64_t offset, uint64_t size);
    uint64_t Written() const { return file_.Written() + buf_.size(); }

  private:
    void Flush();
    SafeFile file_;
    std::string buf_;
};

void WriteStr(Stream& s, const std::string& str);
void ReadStr(Stream& s, std::string& str);
void WriteMemoryBlock(Stream& s, MemoryStream& buf);
void WriteI32(Stream& s, int32_t v);
int32_t ReadI32(Stream& s);
void ReadMemoryBlock(Stream& s, MemoryStream& buf);
// Raises EAppError when the list's text exceeds the 2,147,483,647 bytes a block holds.
void WriteStringList(Stream& s, const LineList& lines);
void ReadStringList(Stream& s, LineList& lines);
// The same for a list that may hold at most maxLines lines: a longer one is
// passed over without being kept (lines empty) and false is returned.
bool ReadStringList(Stream& s, LineList& lines, size_t maxLines);
// The same, its length n already read.
bool ReadStringListOf(Stream& s, int32_t n, LineList& lines, size_t maxLines);
// Passes over a byte block (a line list) without reading it into memory.
void SkipBlock(Stream& s);

constexpr uint64_t MaxBlockSize = 2147483647u;
