// Reading a book, without a view: opening it, page turns (extract, build and
// write the page), saving the position, the contents and a search from the
// first paragraph to a text at the end; for books of 1, 100 and 500 MB. Five
// runs of each; medians and ranges. Run from the build folder:
// bench/bench_page DATA_FOLDER (the repo's data/).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "TextGen.h"
#include "base/Files.h"
#include "book/BookList.h"
#include "book/HeaderJournal.h"
#include "convert/Converter.h"
#include "library/Library.h"
#include "options/Options.h"
#include "reading/ReadingSession.h"
#include "search/TextMatcher.h"

namespace {

constexpr int Runs = 5;

struct NullView : HtmlView {
    void Navigate(const std::string&) override { ++doc; }
    void Clear() override {}
    uint64_t Document() const override { return doc; }
    void AskIds(int, int, IdsAnswer) override {}
    void ScrollParagraphIntoView(const std::string&, int32_t) override {}
    void ScrollToBottom() override {}
    void ScrollBy(int, int, std::function<void(ScrollState)>) override {}
    void Highlight(const std::string&, const std::u16string&, int) override {}
    int ViewWidth() const override { return 1000; }
    int ViewHeight() const override { return 700; }
    uint64_t doc = 0;
};
struct NullTimer : ITimerControl {
    bool Enabled() const override { return on; }
    void SetEnabled(bool v) override { on = v; }
    uint16_t Interval() const override { return iv; }
    void SetInterval(uint16_t v) override { iv = v; }
    bool on = false;
    uint16_t iv = 20;
};
struct NullStatus : ReadingStatus {
    void SetTitlePanel(const std::string&) override {}
    void RepaintProgress(int) override {}
};

// Resident memory of this process, in megabytes.
double ResidentMB() {
    std::ifstream f("/proc/self/statm");
    long pages = 0, resident = 0;
    f >> pages >> resident;
    return double(resident) * double(::sysconf(_SC_PAGESIZE)) / 1048576.0;
}

double ReadWholeFileSeconds(const std::string& path) {
    auto t = BenchClock::now();
    FileDescriptor fd(OpenRegularFile(path));
    std::string buf(1 << 20, '\0');
    for (uint64_t at = 0;;) {
        ssize_t n = ::pread(fd.Get(), buf.data(), buf.size(), off_t(at));
        if (n <= 0) break;
        at += uint64_t(n);
    }
    return SecondsSince(t);
}

// The floor of a save in place: 64 bytes written where they stand, synced.
double WriteInPlaceSeconds(const std::string& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
    char bytes[64];
    ReadAt(fd.Get(), bytes, sizeof bytes, 0);
    auto t = BenchClock::now();
    WriteAt(fd.Get(), bytes, sizeof bytes, 0);
    ::fdatasync(fd.Get());
    return SecondsSince(t);
}

void Measure(uint64_t mb) {
    const std::string src = ProgramFolder + "book.txt";
    {
        std::string text = GenerateText(mb << 20, false, 3);
        text += "\r\n  At the very end stands the needle in the haystack.\r\n";
        FILE* f = std::fopen(src.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    BookFile made = ConvertToBook(src, BooksFolder());
    made.SaveAsNewBook("book");
    const std::string name = made.FileName, path = BooksFolder() + name;
    const int pages = made.GetIntProperty("PagesCount");
    const int32_t paragraphs = made.GetIntProperty("TotalParagraphs");
    const size_t headings = made.Contents.size();
    ::unlink(src.c_str());

    NullView view;
    NullTimer scroll, progress;
    NullStatus status;
    std::vector<double> opens, turns, saves, floors, wholeSaves, reads, searches, nexts, backs,
        memory;
    double before = ResidentMB();
    for (int run = 0; run < Runs; ++run) {
        ReadingSession reader(view, scroll, progress, status);
        reader.SetPageOptions(OptionList);
        auto t = BenchClock::now();
        reader.OpenBook(name);
        reader.LoadPage();
        opens.push_back(SecondsSince(t));
        memory.push_back(ResidentMB() - before);
        for (int i = 0; i < 200; ++i) {
            reader.CurrentBook->LastPage =
                1 + int((i * 7919 + run * 31) % pages);  // all over the book
            auto p = BenchClock::now();
            reader.LoadPage();
            turns.push_back(SecondsSince(p));
        }
        // As the reader saves: in place, through the journal; then the whole
        // copy it falls back to when the header outgrew its room.
        HeaderJournal journal(HeaderJournalPath());
        reader.CurrentBook->LastParagraph = 1 + run;
        auto s = BenchClock::now();
        reader.CurrentBook->SavePosition(&journal);
        saves.push_back(SecondsSince(s));
        floors.push_back(WriteInPlaceSeconds(path));
        s = BenchClock::now();
        reader.CurrentBook->SaveToBookFile();
        wholeSaves.push_back(SecondsSince(s));
        reads.push_back(ReadWholeFileSeconds(path));
        const TextMatcher needle("NEEDLE in the  haystack",
                                 reader.CurrentBook->GetProperty("Charset"));
        SearchHit hit;
        auto f = BenchClock::now();
        FindNext(*reader.CurrentBook, needle, 1, UINT64_MAX, hit);
        searches.push_back(SecondsSince(f));
        if (hit.Paragraph != paragraphs)
            std::printf("    (the search ended at paragraph %d)\n", hit.Paragraph);
        // F3 from the book's start and Shift+F3 from its end, each hit on the
        // page it starts from: as quick on any book.
        const TextMatcher chapter("Chapter", reader.CurrentBook->GetProperty("Charset"));
        f = BenchClock::now();
        FindNext(*reader.CurrentBook, chapter, 1, UINT64_MAX, hit);
        nexts.push_back(SecondsSince(f));
        f = BenchClock::now();
        FindPrevious(*reader.CurrentBook, chapter, paragraphs, UINT64_MAX, hit);
        backs.push_back(SecondsSince(f));
        if (hit.Paragraph < paragraphs - 100)
            std::printf("    (Shift+F3 went back to paragraph %d)\n", hit.Paragraph);
    }
    std::sort(turns.begin(), turns.end());
    std::printf(
        "%4llu MB book (%d pages, %zu headings): open + first page %s | page turn median %.3f ms, "
        "p95 "
        "%.3f ms | save position %s (floor: 64 bytes written in place and synced %s; a whole "
        "save %s), reading the file %s | search to the end %s | F3, Shift+F3 to a hit near "
        "%s, %s | memory after open +%s\n",
        (unsigned long long)mb, pages, headings, Show(SpreadOf(opens), "ms", 1000).c_str(),
        turns[turns.size() / 2] * 1000, turns[turns.size() * 95 / 100] * 1000,
        Show(SpreadOf(saves), "ms", 1000).c_str(), Show(SpreadOf(floors), "ms", 1000).c_str(),
        Show(SpreadOf(wholeSaves), "s").c_str(), Show(SpreadOf(reads), "s").c_str(),
        Show(SpreadOf(searches), "s").c_str(), Show(SpreadOf(nexts), "ms", 1000).c_str(),
        Show(SpreadOf(backs), "ms", 1000).c_str(), Show(SpreadOf(memory), "MB").c_str());
    std::fflush(stdout);
    ::unlink(path.c_str());
}

// A text opened again (its book found, not converted) in a library of
// 10,000 books and in one of that book alone; and what reading every header
// of the large one (the list window) takes.
void MeasureLargeLibrary() {
    const std::string text = ProgramFolder + "tale.txt";
    SaveFileSafely(text, "  A tale told once.\r\n");
    const Library library(BooksFolder());
    const std::string made = library.Add(text, text, "", nullptr, nullptr, true).FileName;
    auto reopen = [&] {
        std::vector<double> times;
        for (int run = 0; run < Runs; ++run) {
            auto t = BenchClock::now();
            if (!library.Add(text, text, "", nullptr, nullptr, true).Reused) std::abort();
            times.push_back(SecondsSince(t));
        }
        return SpreadOf(times);
    };
    const Spread alone = reopen();
    const std::string bytes = ReadWholeFile(BooksFolder() + made);
    for (int i = 0; i < 10000; ++i)
        SaveFileSafely(BooksFolder() + "other " + std::to_string(i) + ".tvst", bytes);
    const Spread many = reopen();
    std::vector<double> scans;
    for (int run = 0; run < Runs; ++run) {
        auto t = BenchClock::now();
        BookList list(BooksFolder());
        list.ScanFolder();
        scans.push_back(SecondsSince(t));
    }
    std::printf(
        "a text opened again, its book found: library of 1 book %s, of 10,001 books %s | every "
        "header of the 10,001 read (My Books) %s\n",
        Show(alone, "ms", 1000).c_str(), Show(many, "ms", 1000).c_str(),
        Show(SpreadOf(scans), "ms", 1000).c_str());
    std::system(("rm -f '" + BooksFolder() + "'*.tvst").c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_page DATA_FOLDER (the repo's data/)\n");
        return 2;
    }
    std::string work = "/tmp/tavisto-page-XXXXXX";
    if (!::mkdtemp(work.data())) return 1;
    ProgramFolder = work + "/";
    ::mkdir(BooksFolder().c_str(), 0755);
    ::mkdir(TemplatesFolder().c_str(), 0755);
    std::system(
        ("cp '" + std::string(argv[1]) + "/Templates/'* '" + TemplatesFolder() + "'").c_str());
    LoadOptions();
    MeasureLargeLibrary();
    for (uint64_t mb : {1, 100, 500}) Measure(mb);
    std::system(("rm -rf '" + work + "'").c_str());
    return 0;
}
