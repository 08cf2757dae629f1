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
#include "core/unitTextConversions.h"
#include "options/unitOptStorage.h"

namespace {

class StderrNotifier : public TNotifier {
  public:
    void ShowMessage(const std::string& text) override {
        std::string t = text;
        for (auto& c : t)
            if (c == '\r' || c == '\n') c = ' ';
        std::cerr << "tavisto-convert: " << t << "\n";
    }
};

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

int Info(const std::string& path, TNotifier& notifier) {
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
    TRecordingNotifier rec;
    TBookInfo book(folder, &rec);
    book.FileName = path.substr(slash == std::string::npos ? 0 : slash + 1);
    try {
        book.LoadFromBookFile();
    } catch (const EAppError& e) {
        notifier.ShowMessage(e.what());
        return 1;
    }
    if (!rec.Messages.empty()) {
        notifier.ShowMessage("cannot read " + path);
        return 1;
    }
    std::cout << book.Title << "\n";
    for (const auto& p : book.Properties) std::cout << p << "\n";
    std::cout << book.Body().size() << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // A file size limit makes write() fail with EFBIG, which is reported like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    StderrNotifier notifier;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage();
    if (args[0] == "--info") {
        if (args.size() != 2) return Usage();
        return Info(args[1], notifier);
    }
    ProgramFolder = ExecutableFolder();
    std::string library = BooksFolder();
    size_t i = 0;
    if (args[0] == "--library") {
        if (args.size() < 3) return Usage();
        library = args[1];
        if (library.back() != '/') library += '/';
        i = 2;
    }
    if (i >= args.size()) return Usage();
    int status = 0;
    for (; i < args.size(); ++i) {
        const std::string& file = args[i];
        try {
            TBookInfo book(library, &notifier);
            StderrProgress progress(file);
            ConvertTextFile(file, book, &progress);
            book.SaveToBookFile();
            std::cout << book.FileName << "\t" << book.GetProperty("Charset") << "\t"
                      << book.GetProperty("TotalParagraphs") << " paragraphs\t"
                      << book.GetProperty("PagesCount") << " pages" << std::endl;
        } catch (const std::exception& e) {
            notifier.ShowMessage(e.what());
            status = 1;
        }
    }
    return status;
}
