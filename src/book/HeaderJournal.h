// A book's header written in place over the old one, so that saving a position
// never copies the text; and the save cut short by a crash, undone.
#pragma once

#include <cstdint>
#include <string>

// The journal is one file in the user's folder. Before a header is written
// over, the old one is put there (with the book's path, identity and the new
// header's hash) and synced; then the book's bytes are written and synced; then
// the journal is emptied. At the next start, Repair finds a journal that was
// not emptied: a book whose header is neither the old nor the new one gets the
// old one back. Its text was never touched, so the book opens whole, at the
// old position or at the new one.
class HeaderJournal {
  public:
    explicit HeaderJournal(std::string path) : path_(std::move(path)) {}

    // Writes header over the first header.size() bytes of the book file open
    // as fd (read and write), which hold old now; bookPath names it. Raises
    // "Unable to write to %s: reason" for the journal or the book.
    void Overwrite(int fd, const std::string& bookPath, const std::string& old,
                   const std::string& header);
    // Undoes a write the journal shows was cut short; true when a header was
    // put back. A journal that is not whole (the crash came while it was
    // written) is dropped: its book was not touched yet.
    bool Repair();

    // The steps of Overwrite around the book's own write, for tests that cut
    // a save short: Begin leaves the journal on the disk, End empties it.
    void Begin(int fd, const std::string& bookPath, const std::string& old,
               const std::string& header);
    void End();

  private:
    [[noreturn]] void Fail(const std::string& path, int err) const;
    // The journal, opened (and made, durably, when missing) and locked.
    int Open(bool create) const;
    std::string path_;
};
