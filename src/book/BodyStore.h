// Where a book's text lives: as lines in memory (a book being made or edited)
// or as a block of its file (a book opened for reading, whose text is never
// held). Both answer the same questions; the book file asks without knowing
// which it has.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/Files.h"
#include "base/Strings.h"

class BodyStore {
  public:
    // Raised by a store whose text cannot be read as a book's text (a read
    // that fails or comes short, a NUL byte); the book says which book.
    struct Unreadable {};

    virtual ~BodyStore() = default;
    // The text's length: its lines, each ended by CR LF.
    virtual uint64_t Size() const = 0;
    // The text from byte from on (up to byte to), handed over in pieces.
    virtual void Read(const std::function<void(std::string_view)>& sink, uint64_t from,
                      uint64_t to = UINT64_MAX) const = 0;
    // The lines one by one, split as a line list is split.
    virtual void ForEachLine(const std::function<void(std::string_view)>& line) const = 0;
    // Bytes [at, at + n) of the text, fewer at its end.
    virtual std::string Bytes(uint64_t at, uint64_t n) const = 0;
};

class MemoryBody : public BodyStore {
  public:
    MemoryBody() = default;
    explicit MemoryBody(LineList lines) : lines_(std::move(lines)) {}
    const LineList& Lines() const { return lines_; }
    LineList& EditLines() {
        starts_.clear();
        return lines_;
    }

    uint64_t Size() const override { return JoinedLength(lines_); }
    void Read(const std::function<void(std::string_view)>& sink, uint64_t from,
              uint64_t to = UINT64_MAX) const override;
    void ForEachLine(const std::function<void(std::string_view)>& line) const override;
    std::string Bytes(uint64_t at, uint64_t n) const override;

  private:
    LineList lines_;
    // Where each line begins in the text, made when first needed.
    mutable std::vector<uint64_t> starts_;
};

class FileBody : public BodyStore {
  public:
    // size bytes of fd from offset on; unnamed: a file of no name (see
    // MakeUnnamedFile) that holds nothing else yet.
    FileBody(FileDescriptor fd, uint64_t offset, uint64_t size, bool unnamed = false)
        : fd(std::move(fd)), offset(offset), size(size), unnamed(unnamed) {}

    uint64_t Size() const override { return size; }
    void Read(const std::function<void(std::string_view)>& sink, uint64_t from,
              uint64_t to = UINT64_MAX) const override;
    void ForEachLine(const std::function<void(std::string_view)>& line) const override;
    std::string Bytes(uint64_t at, uint64_t n) const override;

    FileDescriptor fd;
    uint64_t offset = 0;
    uint64_t size = 0;
    bool unnamed = false;
    // Contents too large to be read (see MaxContentsBytes): where they lie,
    // and the bytes of them, handed over in pieces.
    uint64_t contentsAt = 0, contentsBytes = 0;
    void ReadContents(const std::function<void(std::string_view)>& sink) const {
        ReadRegion(contentsAt, contentsBytes, sink);
    }

  private:
    // size bytes of the file from at on, in pieces; Unreadable when they are not there.
    void ReadRegion(uint64_t at, uint64_t size,
                    const std::function<void(std::string_view)>& sink) const;
};
