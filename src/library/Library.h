// The library: the books of one folder, and the only way books come into it,
// are rebuilt or go. The windows and tavisto-convert both use it; whoever holds
// a book open listens, so that it lets go of the book before its file changes.
#pragma once

#include <string>
#include <vector>

#include "book/BookFile.h"
#include "convert/Paragraphs.h"
#include "convert/TextAnalysis.h"

struct AddedBook {
    std::string FileName;  // the book's file in the library folder
    bool Reused = false;   // a book of the same unchanged source was there already
};

// Told before and after a book file of the library changes.
class LibraryListener {
  public:
    virtual ~LibraryListener() = default;
    // The book file is about to be rewritten: a listener that holds it open
    // saves its position and lets go of it, and returns true; it is then told
    // BookRewritten, whether the rewrite succeeded or not.
    virtual bool ReleaseBook(const std::string&) { return false; }
    virtual void BookRewritten(const std::string&) {}
    // The book file is about to be deleted: nothing may write it back.
    virtual void BookDeleting(const std::string&) {}
    virtual void BookDeleted(const std::string&) {}
};

class Library {
  public:
    // folder: the library folder, with its trailing '/'.
    explicit Library(std::string folder);
    const std::string& Folder() const { return folder_; }

    void Subscribe(LibraryListener* listener);
    void Unsubscribe(LibraryListener* listener);

    // Adds the text at textPath as a new book named after the text, recording
    // where it came from ("Source": source, and member for a text taken out of
    // an archive) so that the same file opened again finds its book. With
    // reuse, a book of that source, unchanged, is taken instead of converting
    // again. layout: chosen by hand (null: decided from the text). Raises as
    // the conversion does; nothing is written then.
    AddedBook Add(const std::string& textPath, const std::string& source, const std::string& member,
                  ConversionProgress* progress, const Layout::Shape* layout, bool reuse) const;
    // Builds the paragraphs of book fileName anew in another layout (null:
    // decided again). Raises when the book cannot be read or written; the file
    // is then as it was.
    void Rebuild(const std::string& fileName, const Layout::Shape* layout);
    // Deletes book fileName. Raises "Cannot delete %s" when it cannot be deleted.
    void Delete(const std::string& fileName);

  private:
    std::string folder_;
    std::vector<LibraryListener*> listeners_;
};
