// tavisto-convert: converts text files into book files, or shows what a book file holds.
//
//   tavisto-convert [--library DIR] FILE...   one book per text file, in DIR
//                                             (default: MyBooks/ beside the program)
//   tavisto-convert --info BOOK               title, properties and body line count

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "core/unitBookClasses.h"
#include "core/unitErrors.h"
#include "core/unitFiles.h"
#include "core/unitTextConversions.h"
#include "options/unitOptStorage.h"

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
class StderrProgress : public TConversionProgress {
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
    std::cerr << "usage: tavisto-convert [--library DIR] FILE...\n"
                 "       tavisto-convert --info BOOK\n";
    return 2;
}

int Info(const std::string& path) {
    size_t slash = path.rfind('/');
    TBookInfo book(FolderOf(path));
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
    // A book file can come from anyone: nothing of it reaches the terminal raw.
    std::cout << EscapeControls(book.Title) << "\n";
    for (const auto& p : book.Properties) std::cout << EscapeControls(p) << "\n";
    std::cout << lines << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // A file size limit makes write() fail with EFBIG, which is reported like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage();
    if (args[0] == "--info") {
        if (args.size() != 2) return Usage();
        return Info(args[1]);
    }
    ProgramFolder = ExecutableFolder();
    std::string library = BooksFolder();
    size_t i = 0;
    if (args[0] == "--library") {
        if (args.size() < 3) return Usage();
        library = args[1];
        if (library.empty()) {
            Report("the library folder is empty: name a folder");
            return 2;
        }
        if (library.back() != '/') library += '/';
        i = 2;
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
            TBookInfo book(library);
            StderrProgress progress(file);
            ConvertTextFile(file, book, &progress);
            book.SaveAsNewBook(BookBaseName(file));
            std::cout << book.FileName << "\t" << book.GetProperty("Charset") << "\t"
                      << book.GetProperty("TotalParagraphs") << " paragraphs\t"
                      << book.GetProperty("PagesCount") << " pages" << std::endl;
        } catch (const std::exception& e) {
            Report(e.what());
            status = 1;
        }
    }
    return status;
}
