#include "book/HeaderJournal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/Errors.h"
#include "base/Files.h"
#include "base/Strings.h"

namespace {

constexpr char Magic[8] = {'T', 'V', 'S', 'T', 'H', 'D', 'R', '1'};
// No header comes near this: a larger journal is none of ours.
constexpr uint64_t MostJournalBytes = uint64_t(256) << 20;

void Put(std::string& out, uint64_t v) {
    out.append(reinterpret_cast<const char*>(&v), 8);
}

// Reads the record's fields in order; false once the bytes run out.
class RecordReader {
  public:
    explicit RecordReader(std::string_view bytes) : rest_(bytes) {}
    bool Number(uint64_t& v) {
        if (rest_.size() < 8) return false;
        std::memcpy(&v, rest_.data(), 8);
        rest_.remove_prefix(8);
        return true;
    }
    bool Skip(size_t n) {
        if (rest_.size() < n) return false;
        rest_.remove_prefix(n);
        return true;
    }
    bool Bytes(std::string_view& out) {
        uint64_t n = 0;
        if (!Number(n) || n > rest_.size()) return false;
        out = rest_.substr(0, size_t(n));
        rest_.remove_prefix(size_t(n));
        return true;
    }

  private:
    std::string_view rest_;
};

// The record ends in the hash of all before it: a journal cut short by a
// crash is not whole.
bool WholeRecord(std::string_view record) {
    uint64_t sum = 0;
    if (record.size() < sizeof Magic + 8 ||
        record.substr(0, sizeof Magic) != std::string_view(Magic, sizeof Magic))
        return false;
    std::memcpy(&sum, record.data() + record.size() - 8, 8);
    return ContentHash(record.substr(0, record.size() - 8)) == sum;
}

struct Identity {
    uint64_t device = 0, inode = 0, size = 0;
};

bool IdentityOf(int fd, Identity& id) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return false;
    id = {uint64_t(st.st_dev), uint64_t(st.st_ino), uint64_t(st.st_size)};
    return true;
}

}  // namespace

void HeaderJournal::Fail(const std::string& path, int err) const {
    throw EFileError(Fmt(Messages::tr("Unable to write to %s"), path) + ": " + std::strerror(err));
}

int HeaderJournal::Open(bool create) const {
    int fd = ::open(path_.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0 && errno == ENOENT && create) {
        // Its name must outlast a crash as its bytes do.
        fd = ::open(path_.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_CREAT | O_EXCL, 0600);
        if (fd >= 0) SyncFolderOf(path_);
    }
    if (fd < 0 && create) Fail(path_, errno);
    return fd;
}

void HeaderJournal::Begin(int fd, const std::string& bookPath, const std::string& old,
                          const std::string& header) {
    Identity id;
    if (old.size() != header.size() || !IdentityOf(fd, id)) Fail(bookPath, EINVAL);
    std::string record(Magic, sizeof Magic);
    Put(record, id.device);
    Put(record, id.inode);
    Put(record, id.size);
    Put(record, bookPath.size());
    record += bookPath;
    Put(record, old.size());
    record += old;
    Put(record, ContentHash(header));
    Put(record, ContentHash(record));
    FileDescriptor journal(Open(true));
    if (!WriteAt(journal.Get(), record.data(), record.size(), 0) ||
        ::ftruncate(journal.Get(), off_t(record.size())) != 0 || ::fdatasync(journal.Get()) != 0)
        Fail(path_, errno ? errno : EIO);
}

void HeaderJournal::End() {
    // Not synced: a journal that outlives a crash after the book's write finds
    // the new header there and is dropped.
    FileDescriptor journal(Open(false));
    if (journal && ::ftruncate(journal.Get(), 0) != 0) {
    }
}

void HeaderJournal::Overwrite(int fd, const std::string& bookPath, const std::string& old,
                              const std::string& header) {
    Begin(fd, bookPath, old, header);
    if (!WriteAt(fd, header.data(), header.size(), 0) || ::fdatasync(fd) != 0) {
        const int err = errno ? errno : EIO;
        // What may have been written goes back at once; failing that, the
        // journal stays for the next start.
        if (WriteAt(fd, old.data(), old.size(), 0) && ::fdatasync(fd) == 0) End();
        Fail(bookPath, err);
    }
    End();
}

bool HeaderJournal::Repair() {
    FileDescriptor journal(Open(false));
    if (!journal) return false;
    struct stat st;
    if (::fstat(journal.Get(), &st) != 0 || st.st_size == 0) return false;
    std::string record;
    if (uint64_t(st.st_size) <= MostJournalBytes) {
        record.resize(size_t(st.st_size));
        if (!ReadAt(journal.Get(), record.data(), record.size(), 0)) record.clear();
    }
    Identity said, now;
    std::string_view path, old;
    uint64_t newHash = 0;
    RecordReader r(std::string_view(record).substr(0, WholeRecord(record) ? record.size() : 0));
    bool putBack = false;
    if (r.Skip(sizeof Magic) && r.Number(said.device) && r.Number(said.inode) &&
        r.Number(said.size) && r.Bytes(path) && r.Bytes(old) && r.Number(newHash)) {
        int err = 0;
        FileDescriptor book(TryOpenRegularFile(std::string(path), err, O_RDWR));
        std::string header(old.size(), '\0');
        // Only the same file, still of its size (a whole save since made another),
        // whose header is neither the old nor the new one.
        if (book && IdentityOf(book.Get(), now) && now.device == said.device &&
            now.inode == said.inode && now.size == said.size &&
            ReadAt(book.Get(), header.data(), header.size(), 0) && header != old &&
            ContentHash(header) != newHash) {
            // Failing that, the journal stays for another try.
            if (!WriteAt(book.Get(), old.data(), old.size(), 0) || ::fdatasync(book.Get()) != 0)
                return false;
            putBack = true;
        }
    }
    if (::ftruncate(journal.Get(), 0) != 0) {
    }
    return putBack;
}
