// Page turn cost: extracting a virtual page, building its HTML and writing
// vpage.css and vpage.html, for a 1 MB and a 500 MB book. Prints figures.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "TextGen.h"
#include "core/unitBookClasses.h"
#include "core/unitFiles.h"
#include "core/unitTextConversions.h"
#include "options/unitOptStorage.h"
#include "render/unitReader.h"

namespace {

using Clock = std::chrono::steady_clock;

struct NullView : THtmlView {
    void Navigate(const std::string&) override { ++doc; }
    uint64_t Document() const override { return doc; }
    void Clear() override {}
    void AskIds(int, int, TIdsAnswer) override {}
    void ScrollParagraphIntoView(const std::string&) override {}
    void ScrollToBottom() override {}
    void ScrollBy(int, int, std::function<void(TScrollState)>) override {}
    void Highlight(const std::string&, const std::u16string&) override {}
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
struct NullStatus : TReaderStatus {
    void SetTitlePanel(const std::string&) override {}
    void RepaintProgress(int) override {}
};

void Measure(const std::string& dir, uint64_t mb) {
    std::string src = dir + "/book.txt";
    {
        std::string text = GenerateText(mb << 20, false, 3);
        FILE* f = std::fopen(src.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    TBookInfo made(BooksFolder());
    ConvertTextFile(src, made);
    made.SaveToBookFile();
    const int pages = made.GetIntProperty("PagesCount");
    TLines().swap(made.EditBody());

    NullView view;
    NullTimer scroll, progress;
    NullStatus status;
    TReader reader(view, scroll, progress, status);
    auto t0 = Clock::now();
    reader.OpenBook(made.FileName);
    double openMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    reader.LoadPage();  // the first render also indexes the pages

    std::vector<double> ms;
    for (int i = 0; i < 200; ++i) {
        reader.CurrentBook->LastPage = 1 + (i * 7919) % pages;  // pages all over the book
        auto t = Clock::now();
        reader.LoadPage();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf(
        "%4llu MB book, %6d pages: open %.0f ms | page turn median %.3f ms, p95 %.3f ms, "
        "max %.3f ms\n",
        (unsigned long long)mb, pages, openMs, ms[ms.size() / 2], ms[ms.size() * 95 / 100],
        ms.back());
    std::fflush(stdout);
    ::unlink(src.c_str());
    ::unlink((BooksFolder() + made.FileName).c_str());
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
    Measure(work, 1);
    Measure(work, 500);
    std::system(("rm -rf '" + work + "'").c_str());
    return 0;
}
