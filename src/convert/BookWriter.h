// Writing a book's text as its lines pass: paragraphs, page markers and
// headings, into a file of no name that the book's save names.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "base/Errors.h"
#include "base/Files.h"
#include "book/BookFile.h"
#include "convert/AsideThread.h"
#include "convert/Converter.h"
#include "convert/Headings.h"
#include "convert/Paragraphs.h"
#include "convert/SyncBehind.h"

// The book's text, written through a buffer into a file of no name in the
// library's folder; nothing of it is left when the program dies. The book's
// header is put in front of it when the book is saved.
class BodyWriter {
  public:
    // final: the file becomes the book's (not a first draft), and is synced
    // while it is written.
    explicit BodyWriter(const std::string& folder, bool final = true)
        : folder_(folder), fd_(MakeUnnamedFile(folder)) {
        buf_.reserve(ReadPieceSize);
        if (final) sync_.emplace(fd_.Get());
    }
    void Write(std::string_view s) {
        if (buf_.size() + s.size() > ReadPieceSize) Flush();
        if (s.size() >= ReadPieceSize) {
            WriteAll(s);
        } else {
            buf_.append(s);
        }
    }
    // The file is a first draft after all: it is no longer synced.
    void Draft() { sync_.reset(); }
    FileDescriptor Finish() {
        Flush();
        if (const int err = sync_ ? sync_->Finish() : 0) Fail(err);
        sync_.reset();
        return std::move(fd_);
    }

  private:
    void Flush() {
        WriteAll(buf_);
        buf_.clear();
    }
    [[noreturn]] void Fail(int err) const {
        throw EFileError(Fmt(Messages::tr("Unable to write to %s"), folder_) + ": " +
                         std::strerror(err));
    }
    void WriteAll(std::string_view s) {
        while (!s.empty()) {
            ssize_t w = ::write(fd_.Get(), s.data(), s.size());
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) Fail(w < 0 ? errno : ENOSPC);
            s.remove_prefix(size_t(w));
            if (sync_) sync_->Written(uint64_t(w));
        }
    }
    std::string folder_;
    FileDescriptor fd_;
    std::string buf_;
    std::optional<SyncBehind> sync_;  // destroyed before the file is closed
};

// The second half of every build: paragraphs, page markers and headings as the
// lines pass, the text written to a body file. The paragraphs are tagged on
// the caller's thread; a converted text is written, and every book's headings
// found, on a thread beside it.
struct BookWriter {
    // escaped: the lines hold no "<" of their own (a converted text's).
    BookWriter(const std::string& folder, const std::string& charset, const Layout& layout,
               bool escaped)
        : escaped(escaped),
          body(folder),
          builder(charset, layout),
          headings(charset, layout.Kind == Layout::Lines || layout.Kind == Layout::Verse),
          aside_(*this),
          asideThread_(aside_) {}

    // Tags and writes one line; returns the paragraph holding its first byte.
    // shown, joint: as ParagraphBuilder::Add's.
    int32_t Add(std::string_view line, size_t shown = std::string_view::npos, Joint joint = {}) {
        int32_t first = 0;
        builder.Add(
            line,
            [&](int32_t n, const char* cls, std::string_view text) {
                // A rebuild reads the pages as the lines pass: its text is
                // written here.
                if (!escaped) Write(n, cls, text);
                asideThread_.AddParts(n, n ? std::string_view(cls, 5) : std::string_view(), text);
                if (!first) first = builder.Count();
            },
            shown, joint);
        return first;
    }

    // Puts what was built into the book record.
    void Finish(const std::string& source, BookFile& book, const Layout& layout) {
        asideThread_.Finish();
        headings.Finish();
        // Escapes, tags and markers make the text longer than its source.
        if (marker.Size() > MaxBlockSize)
            throw ETextRefused(Fmt(Messages::tr("%s is too large for a book file"), source));
        book.AdoptBodyFile(body.Finish(), marker.Size(), true);
        book.SetProperty("TotalParagraphs", IntToStr(builder.Count()));
        book.PageIndex.clear();
        for (uint64_t at : marker.Offsets()) book.PageIndex.push_back(IntToStr(int64_t(at)));
        book.SetProperty("PagesCount", IntToStr(marker.Pages()));
        book.SetProperty("Layout", layout.Name());
        // "&" is escaped as "<" and ">" are (books made before wrote it as it
        // stood, and are read as they always were); a rebuild keeps the mark.
        if (escaped) book.SetProperty("Escaped", "amp lt gt");
    }

    void Contents(BookFile& book) {
        book.Contents = ContentsLines(headings.Headings());
        book.SetProperty("Headings", IntToStr(int64_t(headings.Headings().size())));
        // A play's speakers, for the page to show as such: "name|name|...".
        std::string speakers;
        for (const auto& name : headings.Speakers())
            speakers += (speakers.empty() ? "" : "|") + name;
        if (!speakers.empty()) book.SetProperty("Speakers", speakers);
        // Epigraphs, for the page to set apart: "first-name first-name ...".
        std::string epigraphs;
        for (const auto& [first, name] : headings.Epigraphs())
            epigraphs += (epigraphs.empty() ? "" : " ") + IntToStr(first) + "-" + IntToStr(name);
        if (!epigraphs.empty()) book.SetProperty("Epigraphs", epigraphs);
    }

    bool escaped;
    // The writer's thread and the other write apart: each in lines of its own.
    alignas(64) BodyWriter body;
    alignas(64) ParagraphBuilder builder;
    alignas(64) PageMarker marker;
    HeadingFinder headings;

  private:
    // Writes a part with its tag and the page marker it calls for.
    void Write(int32_t n, const char* cls, std::string_view text) {
        char tag[48];
        const size_t tagLength = n ? WriteParagraphTag(tag, n, cls) : 0;
        auto write = [&](std::string_view piece) { body.Write(piece); };
        if (escaped)
            marker.TaggedLine(std::string_view(tag, tagLength), text, write);
        else
            marker.Line({std::string_view(tag, tagLength), text}, write);
    }
    // The parts on the other thread: a converted text's are written there,
    // and every book's looked at for headings.
    struct Aside : PartsReader {
        explicit Aside(BookWriter& writer) : writer(writer) {}
        void AddParts(int32_t n, std::string_view cls, std::string_view text) override {
            if (writer.escaped) {
                char c[6] = {};
                cls.copy(c, 5);
                writer.Write(n, c, text);
            }
            writer.headings.AddParts(n, cls, text);
        }
        BookWriter& writer;
    };
    Aside aside_;
    AsideThread asideThread_;  // has the parts until Finish
};
