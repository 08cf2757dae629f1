// tavisto-convert: converts text files into book files, or shows what a book file holds.
//
//   tavisto-convert [--library DIR] [--layout L] FILE...
//       one book per text file (per text file of a ZIP archive), in DIR (default:
//       MyBooks/ of the program folder); L is auto, classic, lines, margin or verse
//   tavisto-convert --info BOOK     title, properties and body line count
//   tavisto-convert --toc BOOK      the contents: paragraph, level, heading
//   tavisto-convert --find BOOK T   every paragraph holding T: paragraph, page, its beginning
//   tavisto-convert --text BOOK     every paragraph: number, class, its text as the reader sees it

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "archive/ZipArchive.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "book/BookFile.h"
#include "convert/Converter.h"
#include "convert/Headings.h"
#include "convert/TextAnalysis.h"
#include "library/Library.h"
#include "options/Options.h"
#include "search/TextMatcher.h"
#include "text/Charsets.h"

namespace {

// Messages go to standard error on one line, with nothing in them that a
// terminal would act on.
void Report(const std::string& text) {
    std::string t = text;
    for (size_t i = 0; i < t.size(); ++i)
        if (t[i] == '\r' || t[i] == '\n') t[i] = ' ';
    size_t w = 0;
    for (size_t i = 0; i < t.size(); ++i)
        if (!(t[i] == ' ' && w > 0 && t[w - 1] == ' ')) t[w++] = t[i];
    t.resize(w);
    std::cerr << "tavisto-convert: " << EscapeControls(t) << "\n";
}

// Shows the stage under way on standard error once a file has taken more than a moment.
class StderrProgress : public ConversionProgress {
  public:
    explicit StderrProgress(std::string name) : name_(std::move(name)) {}
    ~StderrProgress() override {
        if (shown_ && tty_) std::cerr << "\n";
    }
    void StageStarted(const std::string& message) override {
        stage_ = message;
        Show(0, true);
    }
    void StageProgress(double f) override { Show(f, false); }

  private:
    void Show(double f, bool newStage) {
        auto elapsed = std::chrono::steady_clock::now() - start_;
        if (elapsed < std::chrono::milliseconds(700)) return;
        int pct = int(f * 100);
        if (tty_) {
            std::fprintf(stderr, "\r%s: %s %3d%%", name_.c_str(), stage_.c_str(), pct);
        } else if (newStage) {
            std::fprintf(stderr, "%s: %s\n", name_.c_str(), stage_.c_str());
        }
        shown_ = true;
    }
    std::string name_, stage_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    bool tty_ = ::isatty(2);
    bool shown_ = false;
};

int Usage() {
    std::cerr << "usage: tavisto-convert [--library DIR] [--layout "
                 "auto|classic|lines|margin|verse|wrapped] "
                 "FILE...\n"
                 "       tavisto-convert --info BOOK\n"
                 "A FILE that is a ZIP archive gives one book for each of its text files.\n";
    return 2;
}

int Info(const std::string& path) {
    size_t slash = path.rfind('/');
    BookFile book(FolderOf(path));
    book.FileName = path.substr(slash == std::string::npos ? 0 : slash + 1);
    uint64_t lines = 0;
    try {
        book.LoadFromBookFile();
        // Counted as the text streams by, split as a line list is split; the book
        // is never held whole.
        bool cr = false, open = false, ended = false;
        book.ReadBodyText([&](std::string_view piece) {
            for (size_t i = 0; i < piece.size() && !ended; ++i) {
                char c = piece[i];
                if (c == '\0') {
                    ended = true;
                } else if (c == '\n' && cr) {
                    cr = false;
                } else if (c == '\r' || c == '\n') {
                    ++lines;
                    open = false;
                    cr = c == '\r';
                } else {
                    open = true;
                    cr = false;
                }
            }
        });
        if (open) ++lines;
    } catch (const EAppError& e) {
        Report(e.what());
        return 1;
    }
    // The title and author in UTF-8, as the reader shows them, whatever the
    // book's charset; a book file can come from anyone: nothing of it reaches
    // the terminal raw.
    const std::string charset = book.GetProperty("Charset");
    const CodePage page = CodePageOf(charset);
    std::cout << EscapeControls(book.Title) << "\n";
    for (const auto& p : book.Properties) {
        const bool shown = IsKnownCharset(charset) &&
                           (p.rfind("BookTitle=", 0) == 0 || p.rfind("Author=", 0) == 0);
        const size_t eq = p.find('=');
        std::cout << EscapeControls(shown ? p.substr(0, eq + 1) + ToUtf8(p.substr(eq + 1), page)
                                          : p)
                  << "\n";
    }
    std::cout << lines << "\n";
    return 0;
}

// Loads a book named by a path; reports and returns false when it does not load.
bool LoadBook(const std::string& path, BookFile& book) {
    size_t slash = path.rfind('/');
    book.FileName = path.substr(slash == std::string::npos ? 0 : slash + 1);
    try {
        book.LoadFromBookFile();
        return true;
    } catch (const EAppError& e) {
        Report(e.what());
        return false;
    }
}

int Contents(const std::string& path) {
    BookFile book(FolderOf(path));
    if (!LoadBook(path, book)) return 1;
    EnsureContents(book);
    const CodePage cp = CodePageOf(book.GetProperty("Charset"));
    for (const Heading& h : ParseContents(book.Contents))
        std::cout << h.Paragraph << "\t" << h.Level << "\t" << EscapeControls(ToUtf8(h.Text, cp))
                  << "\n";
    return 0;
}

// Hands each paragraph of a book to fn: its number, class and text as the
// reader sees it (its lines joined by a space, the first limit bytes or so).
void EachParagraph(BookFile& book, size_t limit,
                   const std::function<void(int32_t, std::string_view, const std::string&)>& fn) {
    int32_t current = 0;
    std::string cls, shown;
    book.ForEachLine([&](std::string_view line) {
        std::string_view c;
        size_t textAt = 0;
        if (int32_t n = ParagraphTagOf(line, c, textAt)) {
            if (current) fn(current, cls, shown);
            current = n;
            cls = c;
            shown.clear();
            line = line.substr(textAt);
        }
        if (shown.size() >= limit) return;
        std::string t;
        AppendShownText(t, line);
        const size_t b = t.find_first_not_of(' '), e = t.find_last_not_of(' ');
        if (b == std::string::npos) return;
        if (!shown.empty()) shown += ' ';
        shown.append(t, b, e - b + 1);
    });
    if (current) fn(current, cls, shown);
}

int Find(const std::string& path, const std::string& text) {
    BookFile book(FolderOf(path));
    if (!LoadBook(path, book)) return 1;
    TextMatcher matcher(text, book.GetProperty("Charset"));
    std::vector<int32_t> found;
    matcher.Scan(book, 0, [&](const SearchHit& h) {
        if (found.empty() || found.back() != h.Paragraph) found.push_back(h.Paragraph);
        return true;
    });
    // The beginning of each paragraph found, as the reader sees it.
    const CodePage cp = CodePageOf(book.GetProperty("Charset"));
    size_t next = 0;
    EachParagraph(book, 400, [&](int32_t n, std::string_view, const std::string& begins) {
        if (next >= found.size() || n != found[next]) return;
        std::string utf8 = ToUtf8(begins, cp), shown;
        size_t chars = 0;
        for (size_t i = 0; i < utf8.size() && chars < 60;) {
            const size_t at = i;
            DecodeChar(utf8, i, CodePage::Utf8);
            shown.append(utf8, at, i - at);
            ++chars;
        }
        std::cout << n << "\t" << book.PageOfParagraph(n) << "\t" << EscapeControls(shown) << "\n";
        ++next;
    });
    return 0;
}

// Every paragraph on a line of its own, in UTF-8: its number, its class and its
// text, its lines joined by a space, as the reader sees it.
int Text(const std::string& path) {
    BookFile book(FolderOf(path));
    if (!LoadBook(path, book)) return 1;
    const CodePage cp = CodePageOf(book.GetProperty("Charset"));
    EachParagraph(book, SIZE_MAX, [&](int32_t n, std::string_view cls, const std::string& text) {
        std::cout << n << "\t" << cls << "\t" << EscapeControls(ToUtf8(text, cp)) << "\n";
    });
    return 0;
}

// Adds one text to the library, as the reader adds it (its source recorded, so
// that the reader opens this book for the same file), and prints the new book's
// line. source and member: where the text came from.
void ConvertOne(const std::string& file, const std::string& source, const std::string& member,
                const std::string& shownName, const std::string& library,
                const Layout::Shape* layout) {
    StderrProgress progress(shownName);
    BookFile book(library);
    book.FileName = Library(library).Add(file, source, member, &progress, layout, false).FileName;
    book.LoadHeader();
    // Names come from archives and file systems: nothing of them reaches the terminal raw.
    std::cout << EscapeControls(book.FileName) << "\t"
              << EscapeControls(book.GetProperty("Charset")) << "\t"
              << book.GetProperty("TotalParagraphs") << " paragraphs\t"
              << book.GetProperty("PagesCount") << " pages\t" << book.GetProperty("Layout")
              << std::endl;
}

// The folder an archive's texts are extracted into while this run lasts.
// Named "tavisto-convert-PID-XXXXXX" in the temporary folder; a signal that
// ends the run empties and removes it, and a run after one that was killed
// (SIGKILL) removes what it left.
char scratchPath[4096];
int scratchFd = -1;

// The signals whose default ends the run and that can be caught: each empties
// the folder first (a closed pipe on the output, an alarm, a user's signal).
constexpr int EndingSignals[] = {SIGTERM, SIGHUP,  SIGINT,  SIGQUIT,   SIGUSR1,
                                 SIGUSR2, SIGALRM, SIGPIPE, SIGVTALRM, SIGPROF};

void RemoveScratchOnSignal(int sig) {
    // Only calls that are safe in a signal handler: the folder is read with
    // getdents64 and emptied with unlinkat.
    if (scratchFd >= 0) {
        alignas(8) char buf[4096];
        // Passes over the folder until one removes nothing more.
        for (bool removed = true; removed;) {
            removed = false;
            ::lseek(scratchFd, 0, SEEK_SET);
            ssize_t n;
            while ((n = ::getdents64(scratchFd, buf, sizeof buf)) > 0) {
                for (ssize_t at = 0; at < n;) {
                    auto* e = reinterpret_cast<dirent64*>(buf + at);
                    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0 &&
                        ::unlinkat(scratchFd, e->d_name, 0) == 0)
                        removed = true;
                    at += e->d_reclen;
                }
            }
        }
        ::rmdir(scratchPath);
    }
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

std::string TempRoot() {
    const char* t = std::getenv("TMPDIR");
    return t && *t ? std::string(t) : std::string("/tmp");
}

// Folders of earlier runs of this user that were killed before they could clean up.
void RemoveKilledRunsScratch() {
    const std::string root = TempRoot() + "/";
    DIR* d = ::opendir(root.c_str());
    if (!d) return;
    std::vector<std::string> gone;
    while (dirent* e = ::readdir(d)) {
        const char* name = e->d_name;
        if (std::strncmp(name, "tavisto-convert-", 16) != 0) continue;
        char* end = nullptr;
        const long pid = std::strtol(name + 16, &end, 10);
        if (pid <= 0 || *end != '-' || std::strlen(end + 1) != 6) continue;
        if (::kill(pid_t(pid), 0) == 0 || errno == EPERM) continue;  // still running
        struct stat st;
        if (::lstat((root + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
            st.st_uid == ::getuid())
            gone.emplace_back(root + name);
    }
    ::closedir(d);
    for (const auto& dir : gone)
        if (EmptyFolder(dir)) ::rmdir(dir.c_str());
}

// Every text member of an archive (those the archive window lists), one book
// each, extracted into a folder of this run's own and removed after.
int ConvertArchive(const std::string& archive, const std::string& library,
                   const Layout::Shape* layout) {
    ZipArchive zip;
    zip.SetZipFileName(archive);
    std::vector<ArchiveRow> rows = TextMembers(zip);
    if (rows.empty()) throw EArchiveError(archive + " holds no text file");
    RemoveKilledRunsScratch();
    std::string scratch = TempRoot() + "/tavisto-convert-" + std::to_string(::getpid()) + "-XXXXXX";
    if (scratch.size() >= sizeof scratchPath || !::mkdtemp(scratch.data()))
        throw EFileError(Fmt("Cannot create file %s", scratch));
    std::memcpy(scratchPath, scratch.c_str(), scratch.size() + 1);
    scratchFd = ::open(scratchPath, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    for (int sig : EndingSignals) std::signal(sig, RemoveScratchOnSignal);
    zip.ExtractTo = scratch + "/";
    int status = 0;
    for (const ArchiveRow& row : rows) {
        const std::string text = zip.ExtractTo + row.Name;
        try {
            zip.ExtractEntry(row.Entry);
            ConvertOne(text, archive, row.Member, archive + ": " + row.Member, library, layout);
        } catch (const std::exception& e) {
            Report(e.what());
            status = 1;
        }
        ::unlink(text.c_str());
    }
    for (int sig : EndingSignals) std::signal(sig, SIG_DFL);
    EmptyFolder(scratch);
    ::rmdir(scratch.c_str());
    if (scratchFd >= 0) ::close(scratchFd);
    scratchFd = -1;
    return status;
}

}  // namespace

int Run(const std::vector<std::string>& args);

int main(int argc, char** argv) {
    // A file size limit makes write() fail with EFBIG, which is reported like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    // Whatever goes wrong is said on standard error and ends the run with 1 or 2,
    // never with an abort.
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        Report(e.what());
    } catch (...) {
        Report("Unknown error");
    }
    return 1;
}

int Run(const std::vector<std::string>& args) {
    if (args.empty()) return Usage();
    if (args[0] == "--info") {
        if (args.size() != 2) return Usage();
        return Info(args[1]);
    }
    if (args[0] == "--toc") {
        if (args.size() != 2) return Usage();
        return Contents(args[1]);
    }
    if (args[0] == "--find") {
        if (args.size() != 3) return Usage();
        return Find(args[1], args[2]);
    }
    if (args[0] == "--text") {
        if (args.size() != 2) return Usage();
        return Text(args[1]);
    }
    std::string library;
    Layout::Shape layoutKind = Layout::Classic;
    const Layout::Shape* layout = nullptr;  // automatic
    size_t i = 0;
    while (i < args.size() && args[i].rfind("--", 0) == 0) {
        if (i + 1 >= args.size()) return Usage();
        if (args[i] == "--library") {
            library = args[i + 1];
            if (library.empty()) {
                Report("the library folder is empty: name a folder");
                return 2;
            }
            if (library.back() != '/') library += '/';
        } else if (args[i] == "--layout") {
            if (args[i + 1] != "auto") {
                if (!Layout::FromName(args[i + 1], layoutKind)) return Usage();
                layout = &layoutKind;
            }
        } else {
            return Usage();
        }
        i += 2;
    }
    if (library.empty()) {
        // The reader's own library, as the reader finds it (and sets it up).
        try {
            LocateProgramFolder();
            SetUpProgramFolder();
        } catch (const std::exception& e) {
            Report(e.what());
            return 2;
        }
        library = BooksFolder();
    }
    if (!DirectoryExists(library)) {
        Report("the library folder " + library + " does not exist");
        return 2;
    }
    if (i >= args.size()) return Usage();
    int status = 0;
    for (; i < args.size(); ++i) {
        const std::string& file = args[i];
        try {
            if (LooksLikeArchive(file)) {
                if (ConvertArchive(file, library, layout) != 0) status = 1;
            } else {
                ConvertOne(file, file, "", file, library, layout);
            }
        } catch (const std::exception& e) {
            Report(e.what());
            status = 1;
        }
    }
    return status;
}
