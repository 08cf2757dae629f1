#include "book/BookFile.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include "base/Errors.h"
#include "base/Files.h"
#include "book/BodyLines.h"

namespace {

constexpr uint64_t npos = UINT64_MAX;
// Markers of pages the book does not count are kept up to this many.
constexpr size_t MaxOddMarkers = 4096;

std::string Marker(int32_t n) {
    char buf[20];
    return std::string(buf, WritePageMarker(buf, n));
}

// A piece of the body text read from the file.
constexpr size_t ReadChunk = 1 << 20;

// Drops the line of blanks that may end a book's contents, filling the last
// block of its header (see NameBodyFile).
bool IsBlankLine(const std::string& line) {
    return line.find_first_not_of(' ') == std::string::npos;
}

void DropRoom(LineList& contents) {
    if (!contents.empty() && IsBlankLine(contents.back())) contents.pop_back();
}

}  // namespace

bool IsBareFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

BookFile::BookFile(std::string folder) : folder_(std::move(folder)) {
    SetProperty("Charset", "windows-1252");
    SetProperty("LastPage", "1");
    SetProperty("LastParagraph", "1");
}

std::string BookFile::FullPath() const {
    if (!IsBareFileName(FileName))
        throw EFileError(Fmt(Messages::tr("Cannot open file %s"), folder_ + FileName));
    return folder_ + FileName;
}

void BookFile::ReadHeader(Stream& s) {
    // Everything is read first and only then taken over, so a file that ends
    // early leaves the record as it was.
    std::string title;
    LineList props, resA, resB;
    ReadStr(s, title);
    ReadStringList(s, props);
    ReadStringList(s, resA);
    DropRoom(resA);
    ReadStringList(s, resB);
    Title = std::move(title);
    Properties = std::move(props);
    Contents = std::move(resA);
    PageIndex = std::move(resB);
}

namespace {

// The least room a page takes in the text: its marker "<PageN>".
constexpr uint64_t MinPageBytes = 7;
// The least room a paragraph takes: its tag "<p id="parN"".
constexpr uint64_t MinParagraphBytes = 11;
// The lines a contents list or page index may have in a book that does not count
// its paragraphs or pages.
constexpr size_t MaxUncountedLines = size_t(1) << 20;

[[noreturn]] void Damaged(const std::string& path) {
    throw EBookDamaged(Fmt(Messages::tr("Book file %s is damaged"), path));
}

// Opens a book file for reading; "Error reading from" when it cannot be opened.
std::unique_ptr<FileReadStream> OpenBookFile(const BookFile& b) {
    try {
        return std::make_unique<FileReadStream>(b.FullPath());
    } catch (const EFileError&) {
        throw EFileError(Fmt(Messages::tr("Error reading from \r\n%s"), b.FileName));
    }
}

}  // namespace

void BookFile::CheckCounts(uint64_t room) const {
    // Each number the reader goes by is a number, and each count fits the
    // bytes there are: nothing is ever taken in memory for a count that lies.
    const int32_t pages = GetIntProperty("PagesCount");
    const int32_t paragraphs = GetIntProperty("TotalParagraphs");
    GetIntProperty("LastPage");
    GetIntProperty("LastParagraph");
    if (pages > 0 && uint64_t(pages) > 1 + room / MinPageBytes) Damaged(FullPath());
    if (paragraphs > 0 && uint64_t(paragraphs) > 1 + room / MinParagraphBytes) Damaged(FullPath());
}

void BookFile::LoadHeader() {
    auto s = OpenBookFile(*this);
    // What a list shows: the title and the properties; the contents and the page
    // index are passed over, never held.
    try {
        std::string title;
        LineList props;
        ReadStr(*s, title);
        ReadStringList(*s, props);
        SkipBlock(*s);
        SkipBlock(*s);
        Title = std::move(title);
        Properties = std::move(props);
        LineList().swap(Contents);
        LineList().swap(PageIndex);
        headerOnly_ = !loaded_;
    } catch (const EReadError&) {
        Damaged(s->Path());
    } catch (const std::bad_alloc&) {
        Damaged(s->Path());
    }
}

void BookFile::LoadFromBookFile() {
    auto s = OpenBookFile(*this);
    BookFile loaded(folder_);
    loaded.FileName = FileName;
    auto file = std::make_unique<BodyFile>();
    try {
        ReadStr(*s, loaded.Title);
        ReadStringList(*s, loaded.Properties);
        loaded.CheckCounts(uint64_t(s->Remaining()));
        // The contents hold a heading per paragraph at most, the page index an
        // offset per page: a longer list does not belong to this book.
        auto most = [&](const char* count) {
            const int32_t n = loaded.GetIntProperty(count);
            return n > 0 ? size_t(n) : MaxUncountedLines;
        };
        // Contents larger than any book's are not taken in (a crafted book
        // could make the reader hold gigabytes); they stay in the file, and a
        // save copies them from there.
        const int32_t contents = ReadI32(*s);
        if (contents > 0 && uint64_t(contents) > MaxContentsBytes) {
            if (s->Remaining() < contents) Damaged(s->Path());
            file->contentsAt = uint64_t(s->Position());
            file->contentsBytes = uint64_t(contents);
            s->Skip(uint64_t(contents));
        } else if (!ReadStringListOf(*s, contents, loaded.Contents, most("TotalParagraphs"))) {
            Damaged(s->Path());
        }
        if (!ReadStringList(*s, loaded.PageIndex, most("PagesCount"))) Damaged(s->Path());
        DropRoom(loaded.Contents);
        // The text stays in the file; its block is the rest of the file, exactly.
        const int32_t n = ReadI32(*s);
        file->offset = uint64_t(s->Position());
        file->size = n < 1 ? 0 : uint64_t(n);
        if (n < 0 || s->Remaining() != int64_t(file->size)) Damaged(s->Path());
        loaded.CheckCounts(file->size);
    } catch (const EReadError&) {
        Damaged(s->Path());
    } catch (const std::bad_alloc&) {
        Damaged(s->Path());
    }
    loaded.LastPage = loaded.GetIntProperty("LastPage");
    loaded.LastParagraph = loaded.GetIntProperty("LastParagraph");
    // Written by newer readers only: anything but a count is the paragraph's start.
    if (!TryDecimalToInt(loaded.GetProperty("LastCharacter"), loaded.LastCharacter) ||
        loaded.LastCharacter < 0)
        loaded.LastCharacter = 0;
    file->fd = s->TakeHandle();
    IdentityOf(file->fd.Get(), loaded.identity_);
    loaded.file_ = std::move(file);
    loaded.bodyInMemory_ = false;
    loaded.loaded_ = true;
    *this = std::move(loaded);
    // A page the book does not have (0, past its end, none) gives way to the
    // page of the paragraph, or to the start.
    const int32_t pages = GetIntProperty("PagesCount");
    if (LastPage < 1 || LastPage > std::max(pages, 1)) {
        LastPage = 1;
        try {
            if (LastParagraph > 0) LastPage = PageOfParagraph(LastParagraph);
        } catch (const EAppError&) {
            // A text that cannot be searched says so when its page is read.
        }
    }
}

void BookFile::ReadFrom(Stream& s, bool headerOnly) {
    BookFile loaded(folder_);
    loaded.ReadHeader(s);
    if (!headerOnly) ReadStringList(s, loaded.body_);
    Title = std::move(loaded.Title);
    Properties = std::move(loaded.Properties);
    Contents = std::move(loaded.Contents);
    PageIndex = std::move(loaded.PageIndex);
    if (!headerOnly) {
        body_ = std::move(loaded.body_);
        bodyInMemory_ = true;
        file_.reset();
        pagesIndexed_ = fileIndexed_ = false;
    }
}

void BookFile::ReadBodyText(const std::function<void(std::string_view)>& sink, uint64_t from) {
    if (bodyInMemory_) {
        uint64_t at = 0;
        auto part = [&](std::string_view s) {
            if (at + s.size() > from) sink(at >= from ? s : s.substr(size_t(from - at)));
            at += s.size();
        };
        for (const auto& l : body_) {
            part(l);
            part("\r\n");
        }
        return;
    }
    std::string buf(std::min<uint64_t>(file_->size, ReadChunk), '\0');
    for (uint64_t at = from; at < file_->size;) {
        size_t n = size_t(std::min<uint64_t>(buf.size(), file_->size - at));
        if (!ReadAt(file_->fd.Get(), buf.data(), n, file_->offset + at))
            throw EBookDamaged(Fmt(Messages::tr("Book file %s is damaged"), FullPath()));
        sink(std::string_view(buf.data(), n));
        at += n;
    }
}

void BookFile::ForEachLine(const std::function<void(std::string_view)>& fn) {
    if (bodyInMemory_) {
        for (const auto& l : body_) fn(l);
        return;
    }
    LineSplitter split;
    bool whole = true;
    ReadBodyText([&](std::string_view piece) {
        if (whole) whole = split.Feed(piece.data(), piece.size(), fn);
    });
    // A NUL byte has no place in a book's text: read on, the rest would be lost.
    if (!whole) Damaged(FullPath());
    split.Finish(fn);
}

uint64_t BookFile::BodySize() const {
    return bodyInMemory_ ? JoinedLength(body_) : file_->size;
}

void BookFile::ReadBodyIntoMemory() {
    if (bodyInMemory_) return;
    LineList lines;
    ForEachLine([&](std::string_view line) { lines.emplace_back(line); });
    body_ = std::move(lines);
    bodyInMemory_ = true;
    pagesIndexed_ = false;
}

const LineList& BookFile::Body() {
    ReadBodyIntoMemory();
    return body_;
}

LineList& BookFile::EditBody() {
    ReadBodyIntoMemory();
    pagesIndexed_ = false;
    fileIndexed_ = false;
    return body_;
}

void BookFile::WriteHeader(Stream& s, const std::string* room) const {
    WriteStr(s, Title);
    WriteStringList(s, Properties);
    if (Contents.empty() && !room && ContentsLeftInFile()) {
        // Copied from the file as they stand, a piece at a time.
        WriteI32(s, int32_t(file_->contentsBytes));
        std::string piece(std::min<uint64_t>(file_->contentsBytes, ReadChunk), '\0');
        for (uint64_t at = 0; at < file_->contentsBytes;) {
            const size_t n = size_t(std::min<uint64_t>(piece.size(), file_->contentsBytes - at));
            if (!ReadAt(file_->fd.Get(), piece.data(), n, file_->contentsAt + at))
                throw EBookDamaged(Fmt(Messages::tr("Book file %s is damaged"), FullPath()));
            s.Write(piece.data(), n);
            at += n;
        }
        WriteStringList(s, PageIndex);
        return;
    }
    // Reading drops one line of blanks at the contents' end, the room: a
    // contents list that ends in a blank line of its own gets an empty one
    // after it, so that it reads back as it was.
    const bool guard = !room && !Contents.empty() && IsBlankLine(Contents.back());
    if (guard || room) {
        LineList contents = Contents;
        if (guard) contents.emplace_back();
        if (room) contents.push_back(*room);
        WriteStringList(s, contents);
    } else {
        WriteStringList(s, Contents);
    }
    WriteStringList(s, PageIndex);
}

void BookFile::WriteTo(Stream& s) {
    WriteHeader(s);
    if (bodyInMemory_) {
        WriteStringList(s, body_);
        return;
    }
    WriteI32(s, int32_t(file_->size));
    ReadBodyText([&](std::string_view piece) { s.Write(piece.data(), piece.size()); });
}

void BookFile::AdoptBodyFile(FileDescriptor fd, uint64_t size, bool unnamed) {
    file_ = std::make_unique<BodyFile>();
    file_->fd = std::move(fd);
    file_->size = size;
    file_->unnamed = unnamed;
    LineList().swap(body_);
    bodyInMemory_ = false;
    pagesIndexed_ = fileIndexed_ = markerScan_ = false;
}

uint64_t BookFile::WriteBook(SafeFileStream& f) {
    if (bodyInMemory_) {
        WriteTo(f);
        return 0;
    }
    // The text is copied from the old file to the new one by the kernel; the
    // process never holds it.
    WriteHeader(f);
    WriteI32(f, int32_t(file_->size));
    const uint64_t offset = f.Written();
    f.CopyFrom(file_->fd.Get(), file_->offset, file_->size);
    return offset;
}

void BookFile::ReadFromSaved(uint64_t offset) {
    if (bodyInMemory_) return;
    // Go on reading from the new file, so that the old one's space is given back.
    try {
        FileDescriptor fd(OpenRegularFile(FullPath()));
        struct stat st;
        if (::fstat(fd.Get(), &st) == 0 && uint64_t(st.st_size) == offset + file_->size) {
            file_->fd = std::move(fd);
            file_->offset = offset;
            // Contents left in the file lie after the title and properties.
            if (file_->contentsBytes)
                file_->contentsAt = 2 + (Title.size() & 0xFFFF) + 4 + JoinedLength(Properties) + 4;
        }
    } catch (const EFileError&) {
        // The old file stays open and holds the same text.
    }
}

bool BookFile::IdentityOf(int fd, FileIdentity& id) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return false;
    id.device = uint64_t(st.st_dev);
    id.inode = uint64_t(st.st_ino);
    id.size = uint64_t(st.st_size);
    id.modified = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

void BookFile::RememberFile() {
    try {
        FileDescriptor fd(OpenRegularFile(FullPath()));
        IdentityOf(fd.Get(), identity_);
    } catch (const EFileError&) {
        identity_ = {};
    }
}

bool BookFile::HoldsSameText() {
    BookFile now(folder_);
    now.FileName = FileName;
    try {
        now.LoadFromBookFile();
    } catch (const EAppError&) {
        return false;
    }
    // The page index and count are not compared: this record may have made
    // them again from the text since it was opened.
    if (now.BodySize() != BodySize() || now.Properties.empty() ||
        now.GetProperty("TotalParagraphs") != GetProperty("TotalParagraphs"))
        return false;
    // The first and the last bytes of the two texts.
    const uint64_t size = BodySize(), piece = std::min<uint64_t>(size, 4096);
    for (const uint64_t from : {uint64_t(0), size - piece}) {
        std::string mine, theirs;
        auto take = [&](std::string& into) {
            return [&into, piece](std::string_view s) {
                if (into.size() < piece) into.append(s.substr(0, size_t(piece) - into.size()));
            };
        };
        ReadBodyText(take(mine), from);
        now.ReadBodyText(take(theirs), from);
        if (mine != theirs) return false;
    }
    return true;
}

void BookFile::SaveToBookFile() {
    // A record of which only the header was read holds no text: written, it
    // would replace the book with an empty one.
    if (headerOnly_)
        throw EFileError(
            Fmt(Messages::tr("Unable to write to %s: only its header was read"), FullPath()));
    SafeFileStream f(FullPath());
    const uint64_t offset = WriteBook(f);
    f.Commit();
    ReadFromSaved(offset);
    RememberFile();
}

// The book's text lies alone in a file of no name: the header goes in front of
// it there, and the file takes the book's name, so that the text is written
// once. The header is made a whole number of the file system's blocks by a
// line of blanks that ends the contents (read as no heading, and dropped when
// the book is read). False when the file system cannot, or the name was taken
// meanwhile; the text is then read from the file wherever it now lies.
bool BookFile::NameBodyFile() {
    file_->unnamed = false;
    const int fd = file_->fd.Get();
    const uint64_t block = BlockSizeOf(fd);
    // The contents may hold a line per paragraph, the blank one among them.
    const int32_t paragraphs = GetIntProperty("TotalParagraphs");
    if (block == 0 || file_->offset != 0 || file_->size == 0 ||
        (paragraphs > 0 && Contents.size() >= size_t(paragraphs)))
        return false;
    MemoryStream head;
    std::string room;
    WriteHeader(head, &room);
    WriteI32(head, int32_t(file_->size));
    room.assign(size_t((block - head.Size() % block) % block), ' ');
    head.Clear();
    WriteHeader(head, &room);
    WriteI32(head, int32_t(file_->size));
    if (!InsertRoomInFront(fd, head.Size())) return false;
    file_->offset = head.Size();
    return WriteAt(fd, head.Data().data(), head.Size(), 0) && NameUnnamedFile(fd, FullPath()) == 0;
}

void BookFile::SaveAsNewBook(const std::string& baseName) {
    for (uint64_t i = 0;; ++i) {
        std::string name =
            i == 0 ? baseName + ".tvst" : baseName + "(" + IntToStr(int64_t(i)) + ").tvst";
        if (PathTaken(folder_ + name)) continue;
        FileName = name;
        Title = name;
        if (!bodyInMemory_ && file_->unnamed && NameBodyFile()) {
            IdentityOf(file_->fd.Get(), identity_);
            return;
        }
        SafeFileStream f(FullPath());
        const uint64_t offset = WriteBook(f);
        if (f.CommitAsNew()) {
            ReadFromSaved(offset);
            RememberFile();
            return;
        }
        // Another writer took the name between the look and the save: the next one.
    }
}

void BookFile::SavePosition() {
    // A book whose file was removed while it was open is not made again.
    if (loaded_ && !PathTaken(FullPath())) return;
    // Another book put in its place (a copy, another program) is not written
    // over; the same book under a new inode takes the position.
    if (loaded_) {
        FileIdentity now;
        bool same = false;
        try {
            FileDescriptor fd(OpenRegularFile(FullPath()));
            same = IdentityOf(fd.Get(), now) && now == identity_;
        } catch (const EFileError&) {
        }
        if (!same && !HoldsSameText())
            throw EBookReplaced(Fmt(
                Messages::tr(
                    "The book file %s was replaced by another book: its position was not saved"),
                FullPath()));
    }
    if (const int percent = PositionPercent(); percent >= 0)
        SetProperty("ReadPercent", IntToStr(percent));
    SetProperty("LastPage", IntToStr(LastPage));
    SetProperty("LastParagraph", IntToStr(LastParagraph));
    SetProperty("LastCharacter", IntToStr(LastCharacter));
    SaveToBookFile();
}

void BookFile::DeleteBookFile() {
    if (::unlink(FullPath().c_str()) != 0)
        throw EFileError(Fmt(Messages::tr("Cannot delete %s"), FileName));
}

std::string BookFile::GetProperty(const std::string& name) const {
    return ValueOf(Properties, name);
}

int32_t BookFile::GetIntProperty(const std::string& name) const {
    if (IndexOfName(Properties, name) < 0) return -1;
    std::string v = GetProperty(name);
    int32_t n = 0;
    if (!TryDecimalToInt(v, n))
        throw EConvertError(
            Fmt(Messages::tr("'%s' is not a valid integer value"), EscapeControls(v)) +
            Fmt(Messages::tr(" (the property %s of the book %s)"), name, EscapeControls(FileName)));
    return n;
}

void BookFile::SetProperty(const std::string& name, const std::string& value) {
    SetValue(Properties, name, value, /*appendEmpty=*/true);
}

void BookFile::IndexPages() {
    pages_.clear();
    for (size_t i = 0; i < body_.size(); ++i) {
        const std::string& l = body_[i];
        const char* base = l.data();
        size_t from = 0;
        while (from + 5 <= l.size()) {
            const void* hit = std::memchr(base + from, '<', l.size() - from);
            if (!hit) break;
            size_t c = size_t(static_cast<const char*>(hit) - base);
            int32_t n;
            if (l.compare(c, 5, "<Page") == 0 && PageMarkerAt(l, c, n))
                pages_.emplace(n, TextPos{i, c});
            from = c + 1;
        }
    }
    pagesIndexed_ = true;
    // As for a book on file: no blank pages past the last marker.
    int32_t found = GetIntProperty("PagesCount");
    const int32_t counted = found;
    while (found > 1 && !pages_.count(found)) --found;
    if (found < counted && pages_.count(found)) CountPagesTo(found);
}

void BookFile::CountPagesTo(int32_t pages) {
    SetProperty("PagesCount", IntToStr(pages));
    LastPage = std::min(LastPage, pages);
}

bool BookFile::FindMarker(int32_t n, TextPos& pos) const {
    auto it = pages_.find(n);
    if (it == pages_.end()) return false;
    pos = it->second;
    return true;
}

bool BookFile::MarkerAt(uint64_t offset, int32_t n) {
    const std::string m = Marker(n);
    if (offset > file_->size || file_->size - offset < m.size()) return false;
    std::string got(m.size(), '\0');
    return ReadAt(file_->fd.Get(), got.data(), got.size(), file_->offset + offset) && got == m;
}

void BookFile::IndexFilePages() {
    const int32_t p = GetIntProperty("PagesCount");
    fileMarkers_.assign(p > 0 ? size_t(p) : 0, npos);
    oddMarkers_.clear();
    markerScan_ = false;
    // The index the conversion stored: one offset per page, rising, inside the text.
    bool stored = p > 0 && PageIndex.size() == size_t(p);
    uint64_t prev = 0;
    for (size_t i = 0; stored && i < PageIndex.size(); ++i) {
        // Digits only, and a number within the text (never one out of range).
        uint64_t v = 0;
        const std::string& l = PageIndex[i];
        const auto [end, err] = std::from_chars(l.data(), l.data() + l.size(), v);
        if (l.empty() || l[0] == '+' || err != std::errc() || end != l.data() + l.size())
            stored = false;
        if (!stored || v >= file_->size || (i > 0 && v <= prev)) {
            stored = false;
            break;
        }
        fileMarkers_[i] = prev = v;
    }
    // A quick look that it belongs to this text; each page read checks its own ends.
    if (stored && MarkerAt(fileMarkers_.front(), 1) && MarkerAt(fileMarkers_.back(), p)) {
        fileIndexed_ = true;
        return;
    }
    // One pass over the text, in pieces: the first occurrence of every marker.
    // Lines may end in CR LF, LF or CR alike: a page is the bytes between its
    // markers, split into lines as any text is. A NUL byte has no place in a
    // book's text: such a book is damaged (it would be read short).
    std::fill(fileMarkers_.begin(), fileMarkers_.end(), npos);
    uint64_t base = 0;              // body offset of text[0]
    std::string pending;            // a '<' too near the end of a piece to be read yet
    constexpr size_t longest = 17;  // "<Page-2147483648>"
    auto scan = [&](std::string_view text, bool final) {
        size_t from = 0;
        while (const void* hit = std::memchr(text.data() + from, '<', text.size() - from)) {
            size_t c = size_t(static_cast<const char*>(hit) - text.data());
            if (!final && text.size() - c < longest) {
                pending.assign(text.substr(c));
                base += c;
                return;
            }
            from = c + 1;
            int32_t n;
            if (text.compare(c, 5, "<Page") != 0 || !PageMarkerAt(text, c, n)) continue;
            if (n >= 1 && n <= p) {
                if (fileMarkers_[size_t(n - 1)] == npos) fileMarkers_[size_t(n - 1)] = base + c;
            } else if (oddMarkers_.size() < MaxOddMarkers) {
                oddMarkers_.emplace(n, base + c);
            }
        }
        pending.clear();
        base += text.size();
    };
    ReadBodyText([&](std::string_view piece) {
        if (std::memchr(piece.data(), '\0', piece.size())) Damaged(FullPath());
        if (pending.empty()) {
            scan(piece, false);
        } else {
            std::string text = pending + std::string(piece);
            scan(text, false);
        }
    });
    if (!pending.empty()) {
        std::string text = pending;
        scan(text, true);
    }
    markerScan_ = fileIndexed_ = true;
    // A count of pages beyond the markers the text holds (a crafted or cut
    // book) would show blank pages at its end: the book has as many pages as
    // its last marker says, kept with the next save.
    size_t found = fileMarkers_.size();
    while (found > 1 && fileMarkers_[found - 1] == npos) --found;
    if (found < fileMarkers_.size() && fileMarkers_[found - 1] != npos) {
        fileMarkers_.resize(found);
        CountPagesTo(int32_t(found));
    }
    // Kept in the book with the next save of the position.
    if (p > 0 && std::find(fileMarkers_.begin(), fileMarkers_.end(), npos) == fileMarkers_.end()) {
        PageIndex.clear();
        for (uint64_t off : fileMarkers_) PageIndex.push_back(IntToStr(int64_t(off)));
    }
}

void BookFile::ExtractPageFromFile(int32_t n, LineList& lines) {
    if (!fileIndexed_) IndexFilePages();
    const int32_t p = GetIntProperty("PagesCount");
    auto markerOf = [&](int32_t k) -> uint64_t {
        if (k >= 1 && k <= p) return fileMarkers_[size_t(k - 1)];
        if (!markerScan_) {
            fileIndexed_ = false;
            PageIndex.clear();
            IndexFilePages();
        }
        auto it = oddMarkers_.find(k);
        return it == oddMarkers_.end() ? npos : it->second;
    };
    uint64_t start = markerOf(n);
    if (start == npos) return;
    uint64_t end = file_->size;
    if (n < p) {
        if (n == INT32_MAX) return;
        end = markerOf(n + 1);
        if (end == npos) return;
    }
    if (!markerScan_ && (!MarkerAt(start, n) || (n < p && !MarkerAt(end, n + 1)))) {
        // The stored index does not fit this text: search it once.
        fileIndexed_ = false;
        PageIndex.clear();
        IndexFilePages();
        return ExtractPageFromFile(n, lines);
    }
    start += Marker(n).size();
    if (end <= start) return;
    // The conversion makes pages of some 16 to 32 KB; a larger one was made
    // elsewhere, and shown whole it would take the reader gigabytes.
    if (end - start > MaxPageBytes)
        throw ETextRefused(Fmt(Messages::tr("Page %s of the book %s is too large to be shown: "
                                            "choose its paragraphs again (Books, Paragraphs) to "
                                            "cut it into pages"),
                               IntToStr(n), FileName));
    std::string text(size_t(end - start), '\0');
    if (!ReadAt(file_->fd.Get(), text.data(), text.size(), file_->offset + start))
        throw EBookDamaged(Fmt(Messages::tr("Book file %s is damaged"), FullPath()));
    SplitText(text, lines);
}

void BookFile::ExtractPage(int32_t n, LineList& lines) {
    const int32_t p = GetIntProperty("PagesCount");
    lines.clear();
    IsLastPage = n >= p;
    IsFirstPage = n <= 1;
    if (!bodyInMemory_) return ExtractPageFromFile(n, lines);
    if (!pagesIndexed_) IndexPages();

    // The page runs from just after its marker to just before the next page's
    // marker (or to the end of the text for the last page), in the body text
    // joined with CR LF. A missing marker gives an empty page.
    TextPos start, end;
    if (!FindMarker(n, start)) return;
    start.col += 5 + IntToStr(n).size() + 1;
    if (n < p) {
        if (n == INT32_MAX || !FindMarker(n + 1, end)) return;
    } else {
        end = TextPos{body_.size() - 1, body_.back().size() + 2};
    }
    if (end.line < start.line || (end.line == start.line && end.col <= start.col)) return;

    auto piece = [&](size_t i, size_t from, size_t to, std::string& out) {
        const std::string& l = body_[i];
        for (size_t k = from; k < to; ++k)
            out += k < l.size() ? l[k] : (k == l.size() ? '\r' : '\n');
    };
    std::string text;
    if (start.line == end.line) {
        piece(start.line, start.col, end.col, text);
    } else {
        piece(start.line, start.col, body_[start.line].size() + 2, text);
        for (size_t i = start.line + 1; i < end.line; ++i) {
            text += body_[i];
            text += "\r\n";
        }
        piece(end.line, 0, end.col, text);
    }
    SplitText(text, lines);
}

uint64_t BookFile::PageOffset(int32_t n) {
    if (!bodyInMemory_) {
        if (!fileIndexed_) IndexFilePages();
        const int32_t p = GetIntProperty("PagesCount");
        return n >= 1 && n <= p && fileMarkers_[size_t(n - 1)] != npos ? fileMarkers_[size_t(n - 1)]
                                                                       : 0;
    }
    if (!pagesIndexed_) IndexPages();
    TextPos pos;
    if (!FindMarker(n, pos)) return 0;
    uint64_t offset = 0;
    for (size_t i = 0; i < pos.line; ++i) offset += body_[i].size() + 2;
    return offset + pos.col;
}

int32_t BookFile::FirstParagraphOfPage(int32_t n) {
    // The tag right after the page's marker.
    std::string head;
    if (!bodyInMemory_) {
        const uint64_t at = PageOffset(n);
        if (at == 0 && n != 1) return 0;
        head.resize(size_t(std::min<uint64_t>(64, file_->size - std::min(at, file_->size))));
        if (!ReadAt(file_->fd.Get(), head.data(), head.size(), file_->offset + at)) return 0;
    } else {
        if (!pagesIndexed_) IndexPages();
        TextPos pos;
        if (!FindMarker(n, pos)) return 0;
        head = body_[pos.line].substr(pos.col, 64);
    }
    const std::string marker = Marker(n);
    if (head.compare(0, marker.size(), marker) != 0) return 0;
    std::string_view cls;
    size_t textAt = 0;
    return ParagraphTagOf(head, cls, textAt);
}

int32_t BookFile::PageOfParagraph(int32_t n) {
    // Pages begin with rising paragraph numbers: the last page beginning at or
    // before n holds it.
    int32_t lo = 1, hi = GetIntProperty("PagesCount");
    if (hi < 1) return 1;
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo + 1) / 2;
        const int32_t first = FirstParagraphOfPage(mid);
        if (first > 0 && first <= n)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

int BookFile::PositionPercent() {
    const int32_t pages = GetIntProperty("PagesCount");
    if (pages < 1) return -1;
    const int32_t page = std::clamp(LastPage, 1, pages);
    // Within the page: by paragraphs, from its first to the next page's first
    // (on the last page, to the last paragraph: the book's end is 100%).
    double within = 0;
    const int32_t first = FirstParagraphOfPage(page);
    const int32_t next =
        page < pages ? FirstParagraphOfPage(page + 1) : GetIntProperty("TotalParagraphs");
    if (first > 0 && next > first)
        within = std::clamp(double(LastParagraph - first) / double(next - first), 0.0, 1.0);
    else if (page == pages && first > 0 && LastParagraph >= next)
        within = 1;
    return std::clamp(int(std::lround((page - 1 + within) / pages * 100.0)), 0, 100);
}

int32_t BookFile::ParagraphAtPercent(double percent) {
    const int32_t pages = GetIntProperty("PagesCount");
    const int32_t total = GetIntProperty("TotalParagraphs");
    percent = std::clamp(percent, 0.0, 100.0);
    if (pages < 1) return std::max(1, int32_t(std::lround(percent / 100.0 * std::max(total, 0))));
    // PositionPercent turned round: the page, then the part of it.
    const double at = percent / 100.0 * pages;
    const int32_t page = std::clamp(int32_t(at) + 1, 1, pages);
    const int32_t first = FirstParagraphOfPage(page);
    const int32_t next = page < pages ? FirstParagraphOfPage(page + 1) : total;
    if (first < 1) return 1;
    if (next <= first) return first;
    const int32_t n = first + int32_t(std::lround((at - (page - 1)) * (next - first)));
    // The next page's first paragraph belongs to the next page, except at the end.
    return std::min(n, page < pages ? next - 1 : next);
}

void BookFile::NextPage(LineList& lines) {
    if (LastPage < GetIntProperty("PagesCount")) {
        ++LastPage;
        ExtractPage(LastPage, lines);
    }
}

void BookFile::PrevPage(LineList& lines) {
    if (LastPage > 1) {
        --LastPage;
        ExtractPage(LastPage, lines);
    }
}

std::string DisplayTitle(const BookFile& b) {
    const std::string own = b.GetProperty("BookTitle");
    if (own.empty()) return b.FileName;
    return ToUtf8(own, CodePageOf(b.GetProperty("Charset")));
}

std::string DisplayAuthor(const BookFile& b) {
    return ToUtf8(b.GetProperty("Author"), CodePageOf(b.GetProperty("Charset")));
}

int PercentOf(int32_t cur, int32_t total) {
    // nearbyint rounds in the default mode: to nearest, halves to even.
    return int(std::nearbyint(double(cur) / double(total) * 100.0));
}

int ReadPercent(const BookFile& b) {
    int32_t saved = 0;
    if (TryDecimalToInt(b.GetProperty("ReadPercent"), saved) && saved >= 0 && saved <= 100)
        return saved;
    // Never read: at its start.
    if (b.GetProperty("LastParagraph") == "1" && b.GetProperty("LastPage") == "1") return 0;
    int32_t cur = 0, total = 0;
    if (!TryDecimalToInt(b.GetProperty("LastParagraph"), cur) ||
        !TryDecimalToInt(b.GetProperty("TotalParagraphs"), total) || total <= 0)
        return -1;
    return std::clamp(PercentOf(cur, total), 0, 100);
}

int CompareBookTitles(const BookFile& a, const BookFile& b) {
    const std::string x = FoldToUtf8(DisplayTitle(a), CodePage::Utf8);
    const std::string y = FoldToUtf8(DisplayTitle(b), CodePage::Utf8);
    return x.compare(y) < 0 ? -1 : (x == y ? 0 : 1);
}

BookList::BookList(std::string folder) : folder_(std::move(folder)) {}

BookFile& BookList::AddNew() {
    books_.push_back(std::make_unique<BookFile>(folder_));
    return *books_.back();
}

static bool EndsWithBookExtension(const char* name) {
    size_t n = std::strlen(name);
    return n >= 5 && SameText(std::string_view(name + n - 5, 5), ".tvst");
}

void BookList::ScanFolder() {
    books_.clear();
    Errors.clear();
    DIR* d = ::opendir(folder_.c_str());
    if (!d) return;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        if (EndsWithBookExtension(e->d_name)) names.emplace_back(e->d_name);
    }
    ::closedir(d);
    for (auto& name : names) {
        // Folders, FIFOs and devices named like books are no books.
        if (!FileExists(folder_ + name)) continue;
        BookFile& b = AddNew();
        b.FileName = name;
        try {
            b.LoadHeader();
        } catch (const EAppError& e) {
            // A damaged or unreadable file is listed with an empty title.
            Errors.push_back(e.what());
        }
    }
}

void BookList::SortByTitle() {
    std::stable_sort(books_.begin(), books_.end(),
                     [](const auto& a, const auto& b) { return CompareBookTitles(*a, *b) < 0; });
}

long BookList::IndexOf(const std::string& fileName) const {
    for (size_t i = 0; i < books_.size(); ++i)
        if (books_[i]->FileName == fileName) return long(i);
    return -1;
}

std::vector<std::string> BookList::Captions() const {
    std::vector<std::string> out;
    out.reserve(books_.size());
    for (const auto& b : books_) out.push_back(DisplayTitle(*b));
    return out;
}
