#include "book/BodyStore.h"

#include <algorithm>

namespace {

// A piece of the text read from a file.
constexpr size_t ReadChunk = 1 << 20;

}  // namespace

void MemoryBody::Read(const std::function<void(std::string_view)>& sink, uint64_t from,
                      uint64_t to) const {
    if (from >= to) return;
    uint64_t at = 0;
    auto part = [&](std::string_view s) {
        if (at < to && at + s.size() > from) {
            s = s.substr(0, size_t(std::min<uint64_t>(s.size(), to - at)));
            sink(at >= from ? s : s.substr(size_t(from - at)));
        }
        at += s.size();
    };
    for (const auto& l : lines_) {
        if (at >= to) break;
        part(l);
        part("\r\n");
    }
}

void MemoryBody::ForEachLine(const std::function<void(std::string_view)>& line) const {
    for (const auto& l : lines_) line(l);
}

std::string MemoryBody::Bytes(uint64_t at, uint64_t n) const {
    if (starts_.size() != lines_.size()) {
        starts_.clear();
        uint64_t start = 0;
        for (const auto& l : lines_) {
            starts_.push_back(start);
            start += l.size() + 2;
        }
    }
    std::string out;
    // The line that holds byte at, then on until n bytes are taken.
    size_t i = size_t(std::upper_bound(starts_.begin(), starts_.end(), at) - starts_.begin());
    if (i == 0) return out;
    for (--i; i < lines_.size() && out.size() < n; ++i) {
        const std::string& l = lines_[i];
        for (uint64_t k = at > starts_[i] ? at - starts_[i] : 0; k < l.size() + 2 && out.size() < n;
             ++k)
            out += k < l.size() ? l[size_t(k)] : (k == l.size() ? '\r' : '\n');
    }
    return out;
}

void FileBody::Read(const std::function<void(std::string_view)>& sink, uint64_t from,
                    uint64_t to) const {
    to = std::min(to, size);
    if (from < to) ReadRegion(offset + from, to - from, sink);
}

void FileBody::ReadRegion(uint64_t at, uint64_t bytes,
                          const std::function<void(std::string_view)>& sink) const {
    std::string buf(std::min<uint64_t>(bytes, ReadChunk), '\0');
    for (uint64_t done = 0; done < bytes;) {
        const size_t n = size_t(std::min<uint64_t>(buf.size(), bytes - done));
        if (!ReadAt(fd.Get(), buf.data(), n, at + done)) throw Unreadable{};
        sink(std::string_view(buf.data(), n));
        done += n;
    }
}

void FileBody::ForEachLine(const std::function<void(std::string_view)>& fn) const {
    LineSplitter split;
    bool whole = true;
    Read(
        [&](std::string_view piece) {
            if (whole) whole = split.Feed(piece.data(), piece.size(), fn);
        },
        0);
    // A NUL byte has no place in a book's text: read on, the rest would be lost.
    if (!whole) throw Unreadable{};
    split.Finish(fn);
}

std::string FileBody::Bytes(uint64_t at, uint64_t n) const {
    if (at >= size) return {};
    std::string out(size_t(std::min(n, size - at)), '\0');
    if (!ReadAt(fd.Get(), out.data(), out.size(), offset + at)) throw Unreadable{};
    return out;
}
