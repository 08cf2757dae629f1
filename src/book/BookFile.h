// The book record, its book file, and the list of books in a library folder.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/Errors.h"
#include "base/Files.h"
#include "base/Streams.h"
#include "base/Strings.h"
#include "book/BodyStore.h"
#include "text/Charsets.h"

// A book file name is a bare name inside the library folder: not empty, no
// separator, neither "." nor "..". Names from config.dat, the list or the
// command line are used only when they are.
bool IsBareFileName(const std::string& name);

// Contents larger than this are left in the book file: no book has so many
// headings, and a crafted one would make the reader hold gigabytes.
constexpr uint64_t MaxContentsBytes = 16 << 20;
// A page larger than this is not read from a book file (see ExtractPage).
constexpr uint64_t MaxPageBytes = 4 << 20;

// One book: title, book file name, properties, converted text and reading position.
// Its book file is Folder + FileName; Folder is the library folder with a trailing '/'.
//
// A book opened for reading keeps its text in the file: only the header and the
// page index are in memory, and a page is read from the file when it is shown.
// A book being made (the conversion) or edited holds its text as lines.
class HeaderJournal;

// A header saved whole keeps this much room at least, and ends on a block:
// a position can then be saved in place for a long time to come.
constexpr uint64_t MinHeaderRoom = 512;
constexpr uint64_t HeaderBlock = 4096;

class BookFile {
  public:
    explicit BookFile(std::string folder);
    BookFile(BookFile&&) = default;
    BookFile& operator=(BookFile&&) = default;

    std::string Title;
    std::string FileName;
    LineList Properties;
    LineList Contents;   // the contents: "paragraph<TAB>level<TAB>heading" per line
    LineList PageIndex;  // the page index: the body offset of each page's marker
    int32_t LastParagraph = 0;
    // The character of LastParagraph that begins the line at the top of the
    // view (0: the paragraph's start), so that the same line comes back.
    int32_t LastCharacter = 0;
    int32_t LastPage = 1;

    // The converted text as lines. A book opened for reading reads it from its
    // file here (the whole text: for tools and tests, never for the reader).
    const LineList& Body();
    // Write access to the lines; the page index is made again when next needed.
    LineList& EditBody();
    // The body text (lines with CR LF), handed over in pieces, from memory or file.
    void ReadBodyText(const std::function<void(std::string_view)>& sink, uint64_t from = 0,
                      uint64_t to = UINT64_MAX);
    // Bytes [at, at + n) of the body text, fewer at its end.
    std::string BodyBytes(uint64_t at, uint64_t n);
    // The body's lines one by one, split as a line list is split, without ever
    // holding more than a piece of the text.
    void ForEachLine(const std::function<void(std::string_view)>& line);
    uint64_t BodySize() const;
    // The text now lies in this file, from its start, size bytes of it (a
    // conversion writes it there); the page index in PageIndex belongs to it.
    // unnamed: a file of no name (MakeUnnamedFile) that holds nothing else,
    // which a save as a new book may put the header in and name.
    void AdoptBodyFile(FileDescriptor fd, uint64_t size, bool unnamed = false);

    const std::string& Folder() const { return folder_; }
    // The book's contents were too large to be read: Contents is empty, and
    // a save keeps them as they are in the file.
    bool ContentsLeftInFile() const { return OnFile() && OnFile()->contentsBytes > 0; }
    // Raises "Cannot open file %s" when FileName is not a bare file name.
    std::string FullPath() const;

    // Opens the book file for reading: the header, with the text left in the
    // file. Raises "Error reading from \r\n%s" when the file cannot be opened,
    // "Book file %s is damaged" when it is not a whole book file (its text's
    // length is not the rest of the file, a count does not fit its bytes), and
    // the integer error (naming book and property) for a number that is none;
    // the record keeps what it held before.
    void LoadFromBookFile();
    // The title and the properties only; the same errors for the file's blocks.
    void LoadHeader();
    // True once LoadFromBookFile succeeded. A record read with LoadHeader alone
    // is never saved (SaveToBookFile raises "Unable to write to %s: ...").
    bool Loaded() const { return loaded_; }
    void SaveToBookFile();
    // Saves a new book under a name that nothing in the folder bears yet:
    // FileName and Title become name.tvst, name(1).tvst, ... whichever is free at
    // the moment of saving, even with other writers in the same folder.
    void SaveAsNewBook(const std::string& baseName);
    void ReadFrom(Stream& s, bool headerOnly);
    void WriteTo(Stream& s);
    // Saves the position; a loaded book whose file is gone is not written. A
    // loaded book whose file was replaced since (another device, inode, size
    // or time) is written only when the file holds the same text; else the
    // file is left alone and EBookReplaced says so. With a journal, the header
    // is written in place when it fits the room it keeps (the text is not
    // copied); else, and without one, the whole book is saved anew.
    void SavePosition(HeaderJournal* journal = nullptr);
    // Raises "Cannot delete %s" when the file cannot be deleted.
    void DeleteBookFile();

    std::string GetProperty(const std::string& name) const;
    int32_t GetIntProperty(const std::string& name) const;
    void SetProperty(const std::string& name, const std::string& value);

    // Page n opens the book, or ends it (every page does when the book counts none).
    static bool IsFirstPage(int32_t n) { return n <= 1; }
    bool IsLastPage(int32_t n) const { return n >= GetIntProperty("PagesCount"); }
    // Page n's lines. Raises ETextRefused for a page of a book on file larger
    // than MaxPageBytes (never made by the conversion).
    void ExtractPage(int32_t n, LineList& lines);
    // Where page n's marker stands in the body text (0 when it has none).
    uint64_t PageOffset(int32_t n);
    // The number of the paragraph page n begins with (0 when not known).
    int32_t FirstParagraphOfPage(int32_t n);
    // The page that holds paragraph n (1 when none does).
    int32_t PageOfParagraph(int32_t n);
    // How far the position (LastPage, LastParagraph) lies in the book, 0 to 100,
    // measured as the page numbers are: pages before it, and the part of its page
    // before the paragraph. -1 when the book counts no pages.
    int PositionPercent();
    // Where paragraph (on page onPage) lies in the book, 0 to 1, measured as
    // PositionPercent is; -1 when the book counts no pages.
    double PlaceOf(int32_t onPage, int32_t paragraph);
    // The paragraph that PositionPercent puts at percent (0 to 100).
    int32_t ParagraphAtPercent(double percent);
    void NextPage(LineList& lines);
    void PrevPage(LineList& lines);

  private:
    // The store's reads, the failure named after this book ("Book file %s is damaged").
    template <class F>
    auto Reading(F&& f) const;
    FileBody* OnFile() const { return dynamic_cast<FileBody*>(body_.get()); }
    bool NameBodyFile();
    // The page index: where each page's marker stands in the text.
    void IndexPages();
    bool TakeStoredIndex(int32_t pages);
    // The first occurrence of every marker, in one pass over the text.
    void ScanForMarkers(int32_t pages);
    bool Indexed();
    // The text's markers end at page pages, before the count said: the count
    // becomes that (kept with the next save).
    void CountPagesTo(int32_t pages);
    void ReadHeader(Stream& s);
    // Raises when a number the reader uses is none, or a count cannot fit room bytes.
    void CheckCounts(uint64_t room) const;
    // Where page n's marker stands (npos when the text has none).
    uint64_t MarkerOf(int32_t n);
    bool MarkerAt(uint64_t offset, int32_t n);
    void ReadBodyIntoMemory();
    // room: a line of blanks that ends the contents, to fill the header's last block.
    void WriteHeader(Stream& s, const std::string* room = nullptr) const;
    // Header and text into f; the text of a book on file is copied by the kernel.
    // Returns where the text begins in f.
    uint64_t WriteBook(SafeFileStream& f);
    // A line of blanks after the contents keeps them within the lines reading allows.
    bool RoomLineFits() const;
    // The header and the text's length, exactly size bytes (the room line
    // fills them up); empty when they need more.
    std::string HeaderOfSize(uint64_t size) const;
    // The size of the header with MinHeaderRoom, rounded up to block.
    uint64_t RoomyHeaderSize(uint64_t block) const;
    // The header written over the file's own, through the journal; false
    // (nothing written) when it does not fit or the file is not the one read.
    bool SaveHeaderInPlace(HeaderJournal& journal);
    // After a save: the text is read from the new file from now on.
    void ReadFromSaved(uint64_t offset);
    // The book file as it was opened or last saved, to tell it from another
    // put in its place.
    struct FileIdentity {
        uint64_t device = 0, inode = 0, size = 0;
        int64_t modified = 0;  // nanoseconds
        bool operator==(const FileIdentity&) const = default;
    };
    static bool IdentityOf(int fd, FileIdentity& id);
    void RememberFile();
    // The file now at FullPath() holds this record's text (as far as its
    // length, paragraph count and first and last bytes tell).
    bool HoldsSameText();

    std::string folder_;
    bool loaded_ = false;
    bool headerOnly_ = false;  // filled by LoadHeader alone: never saved
    std::unique_ptr<BodyStore> body_ = std::make_unique<MemoryBody>();
    FileIdentity identity_;
    // The body offset of each page marker, pages 1 to PagesCount (npos when
    // absent), and of markers the count does not hold; markerScan_ once the
    // whole text was searched (else the index came from PageIndex).
    std::vector<uint64_t> markers_;
    std::unordered_map<int32_t, uint64_t> oddMarkers_;
    bool indexed_ = false;
    int32_t indexedPages_ = 0;  // the page count the index was made for
    bool markerScan_ = false;
};

template <class F>
auto BookFile::Reading(F&& f) const {
    try {
        return f();
    } catch (const BodyStore::Unreadable&) {
        throw EBookDamaged::Of(FullPath());
    }
}
