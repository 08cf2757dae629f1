// The book file's layout on disk, read and written: the title, the
// properties, the contents, the page index and the text, each a block of its
// own; and the saves that never leave half a book behind.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/Errors.h"
#include "base/Files.h"
#include "book/BodyLines.h"
#include "book/BookFile.h"
#include "book/HeaderJournal.h"

namespace {

// Drops the line of blanks that may end a book's contents, filling the last
// block of its header (see NameBodyFile).
bool IsBlankLine(const std::string& line) {
    return line.find_first_not_of(' ') == std::string::npos;
}

void DropRoom(LineList& contents) {
    if (!contents.empty() && IsBlankLine(contents.back())) contents.pop_back();
}

}  // namespace

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
    throw EBookDamaged::Of(path);
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
    auto file = std::make_unique<FileBody>(FileDescriptor(), 0, 0);
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
    loaded.body_ = std::move(file);
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
    LineList lines;
    if (!headerOnly) ReadStringList(s, lines);
    Title = std::move(loaded.Title);
    Properties = std::move(loaded.Properties);
    Contents = std::move(loaded.Contents);
    PageIndex = std::move(loaded.PageIndex);
    if (!headerOnly) {
        body_ = std::make_unique<MemoryBody>(std::move(lines));
        indexed_ = false;
    }
}

void BookFile::WriteHeader(Stream& s, const std::string* room) const {
    WriteStr(s, Title);
    WriteStringList(s, Properties);
    if (Contents.empty() && !room && ContentsLeftInFile()) {
        // Copied from the file as they stand, a piece at a time.
        const FileBody& file = *OnFile();
        WriteI32(s, int32_t(file.contentsBytes));
        Reading([&] {
            file.ReadContents([&](std::string_view piece) { s.Write(piece.data(), piece.size()); });
        });
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
    if (auto* memory = dynamic_cast<const MemoryBody*>(body_.get()))
        return WriteStringList(s, memory->Lines());
    WriteI32(s, int32_t(body_->Size()));
    ReadBodyText([&](std::string_view piece) { s.Write(piece.data(), piece.size()); });
}

void BookFile::AdoptBodyFile(FileDescriptor fd, uint64_t size, bool unnamed) {
    body_ = std::make_unique<FileBody>(std::move(fd), 0, size, unnamed);
    indexed_ = markerScan_ = false;
}

bool BookFile::RoomLineFits() const {
    // The contents may hold a line per paragraph, the room among them. A
    // record with no text (a new one) has no position to keep and stays bare.
    int32_t paragraphs = 0;
    if (!TryDecimalToInt(GetProperty("TotalParagraphs"), paragraphs)) paragraphs = 0;
    return BodySize() > 0 &&
           Contents.size() < (paragraphs > 0 ? size_t(paragraphs) : MaxUncountedLines);
}

std::string BookFile::HeaderOfSize(uint64_t size) const {
    if (!RoomLineFits()) return {};
    MemoryStream head;
    std::string room;
    WriteHeader(head, &room);
    WriteI32(head, int32_t(BodySize()));
    if (head.Size() > size) return {};
    room.assign(size_t(size - head.Size()), ' ');
    head.Clear();
    WriteHeader(head, &room);
    WriteI32(head, int32_t(BodySize()));
    return std::move(head.MutableData());
}

uint64_t BookFile::RoomyHeaderSize(uint64_t block) const {
    MemoryStream head;
    std::string room;
    WriteHeader(head, &room);
    WriteI32(head, int32_t(BodySize()));
    return (head.Size() + MinHeaderRoom + block - 1) / block * block;
}

uint64_t BookFile::WriteBook(SafeFileStream& f) {
    // The header keeps room for the position to be saved in place later;
    // contents left in the file are copied as they stand, a piece at a time.
    if (ContentsLeftInFile() || !RoomLineFits()) {
        WriteHeader(f);
        WriteI32(f, int32_t(BodySize()));
    } else {
        const std::string header = HeaderOfSize(RoomyHeaderSize(HeaderBlock));
        f.Write(header.data(), header.size());
    }
    const uint64_t offset = f.Written();
    // The text of a book on file is copied by the kernel: the process never holds it.
    if (FileBody* file = OnFile())
        f.CopyFrom(file->fd.Get(), file->offset, file->size);
    else
        ReadBodyText([&](std::string_view piece) { f.Write(piece.data(), piece.size()); });
    return offset;
}

bool BookFile::SaveHeaderInPlace(HeaderJournal& journal) {
    FileBody* file = OnFile();
    if (!loaded_ || !file || file->offset == 0 || ContentsLeftInFile()) return false;
    const std::string header = HeaderOfSize(file->offset);
    if (header.empty()) return false;  // it outgrew its room
    // The file under the book's name is the one the text is read from.
    int err = 0;
    FileDescriptor fd(TryOpenRegularFile(FullPath(), err, O_RDWR));
    struct stat mine, named;
    if (!fd || ::fstat(fd.Get(), &named) != 0 || ::fstat(file->fd.Get(), &mine) != 0 ||
        mine.st_dev != named.st_dev || mine.st_ino != named.st_ino)
        return false;
    std::string old(header.size(), '\0');
    if (!ReadAt(fd.Get(), old.data(), old.size(), 0)) return false;
    if (old != header) journal.Overwrite(fd.Get(), FullPath(), old, header);
    RememberFile();
    return true;
}

void BookFile::ReadFromSaved(uint64_t offset) {
    FileBody* file = OnFile();
    if (!file) return;
    // Go on reading from the new file, so that the old one's space is given back.
    try {
        FileDescriptor fd(OpenRegularFile(FullPath()));
        struct stat st;
        if (::fstat(fd.Get(), &st) == 0 && uint64_t(st.st_size) == offset + file->size) {
            file->fd = std::move(fd);
            file->offset = offset;
            // Contents left in the file lie after the title and properties.
            if (file->contentsBytes)
                file->contentsAt = 2 + (Title.size() & 0xFFFF) + 4 + JoinedLength(Properties) + 4;
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
// the book is read), which is also the room a position saved in place takes. False when the file
// system cannot, or the name was taken meanwhile; the text is then read from the file wherever it
// now lies.
bool BookFile::NameBodyFile() {
    FileBody& file = *OnFile();
    file.unnamed = false;
    const int fd = file.fd.Get();
    const uint64_t block = BlockSizeOf(fd);
    if (block == 0 || file.offset != 0 || file.size == 0 || !RoomLineFits()) return false;
    const std::string header = HeaderOfSize(RoomyHeaderSize(block));
    if (!InsertRoomInFront(fd, header.size())) return false;
    file.offset = header.size();
    return WriteAt(fd, header.data(), header.size(), 0) && NameUnnamedFile(fd, FullPath()) == 0;
}

void BookFile::SaveAsNewBook(const std::string& baseName) {
    for (uint64_t i = 0;; ++i) {
        std::string name =
            i == 0 ? baseName + ".tvst" : baseName + "(" + IntToStr(int64_t(i)) + ").tvst";
        if (PathTaken(folder_ + name)) continue;
        FileName = name;
        Title = name;
        if (FileBody* file = OnFile(); file && file->unnamed && NameBodyFile()) {
            IdentityOf(file->fd.Get(), identity_);
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

void BookFile::SavePosition(HeaderJournal* journal) {
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
    if (journal && SaveHeaderInPlace(*journal)) return;
    SaveToBookFile();
}
