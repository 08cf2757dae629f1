// Conversion speed and memory: the conversion the program runs, on generated
// texts of 100 MB (Latin, windows-1251, Russian in UTF-8) and 400 MB in the
// page cache, and on a text of one's own when given, against the floor of
// reading the text and writing and syncing as many bytes as the book, measured
// in the same run; the real texts beside the repository (prose, plays, verse)
// in four charsets; and a FictionBook against the same text. Five runs each; medians and ranges.
// Run from the build folder: bench/bench_convert [DIR [FILE]].
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "TextGen.h"
#include "base/Files.h"
#include "convert/Converter.h"

namespace {

constexpr int Runs = 5;

// The text read (from the page cache), then as many bytes as the book
// written and synced (the conversion syncs its book): nothing more.
double Floor(const std::string& src, const std::string& dir, uint64_t bookSize) {
    auto t = BenchClock::now();
    {
        FileDescriptor in(OpenRegularFile(src));
        std::string buf(1 << 20, '\0');
        while (::read(in.Get(), buf.data(), buf.size()) > 0) {
        }
    }
    int fd = ::open((dir + "/floor.book").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::string block(1 << 20, 'b');
    for (uint64_t left = bookSize; left > 0;) {
        size_t n = size_t(std::min<uint64_t>(left, block.size()));
        if (::write(fd, block.data(), n) != ssize_t(n)) break;
        left -= n;
    }
    ::fsync(fd);
    ::close(fd);
    return SecondsSince(t);
}

// A windows-1251 text in UTF-8 (its letters are all at 0xC0 and above).
std::string Utf8Of1251(const std::string& text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0xC0) {
            out += ch;
            continue;
        }
        const unsigned c = 0x410 + (b - 0xC0);
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    }
    return out;
}

// The real texts beside the repository (prose, plays and verse, in UTF-8),
// one after another over and over to about mb megabytes, in a charset made by
// iconv; "" when they are absent.
std::string RealText(uint64_t mb, const std::string& charset) {
    const char* folder = TAVISTO_TEXTS;
    std::string all;
    if (DIR* d = ::opendir(folder)) {
        std::vector<std::string> names;
        while (dirent* e = ::readdir(d))
            if (std::string n = e->d_name; n.size() > 4 && n.substr(n.size() - 4) == ".txt")
                names.push_back(n);
        ::closedir(d);
        std::sort(names.begin(), names.end());
        for (const std::string& n : names) {
            FILE* p = ::popen(
                ("iconv -f UTF-8 -t " + charset + "//TRANSLIT '" + folder + "/" + n + "'").c_str(),
                "r");
            if (!p) continue;
            char buf[65536];
            for (size_t got; (got = std::fread(buf, 1, sizeof buf, p)) > 0;) all.append(buf, got);
            ::pclose(p);
        }
    }
    if (all.empty()) return {};
    std::string out;
    out.reserve((mb << 20) + all.size());
    while (out.size() < (mb << 20)) out += all;
    return out;
}

// kind: "latin", "1251", or "utf-8" (Russian, about mb megabytes), or a real
// text in a charset ("real UTF-8", "real CP1251", ...); or a text of one's
// own, copied in (given, mb unused).
void Measure(const std::string& dir, uint64_t mb, const std::string& kind,
             const std::string& given = {}) {
    const bool cyrillic = kind != "latin";
    const std::string src = dir + "/gen.txt";
    if (!given.empty()) {
        std::system(("cp '" + given + "' '" + src + "'").c_str());
        mb = uint64_t(FileSizeOf(src)) >> 20;
    } else {
        std::string text = kind.rfind("real ", 0) == 0 ? RealText(mb, kind.substr(5))
                           : kind == "utf-8" ? Utf8Of1251(GenerateText((mb << 20) * 10 / 18, true))
                                             : GenerateText(mb << 20, cyrillic);
        if (text.empty()) {
            std::printf("%s: the real texts are not beside the repository (%s)\n", kind.c_str(),
                        TAVISTO_TEXTS);
            return;
        }
        FILE* f = std::fopen(src.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    const double size = double(FileSizeOf(src));
    const std::string lib = dir + "/lib/";
    ::mkdir(lib.c_str(), 0755);
    uint64_t bookSize = 0;
    std::vector<double> floors, streamed, ratios, memory;
    for (int run = 0; run < Runs; ++run) {
        auto [secs, mbytes] = InChild([&] {
            auto t = BenchClock::now();
            BookFile book = ConvertToBook(src, lib);
            book.SaveAsNewBook("gen");
            return SecondsSince(t);
        });
        bookSize = uint64_t(FileSizeOf(lib + "gen.tvst"));
        ::unlink((lib + "gen.tvst").c_str());
        const double floor = Floor(src, dir, bookSize);
        streamed.push_back(secs);
        memory.push_back(mbytes);
        floors.push_back(floor);
        ratios.push_back(secs / floor);
    }
    const Spread s = SpreadOf(streamed);
    std::printf(
        "%4llu MB %-11s streaming: %s, %.0f MB/s | floor %s | ratio %s | peak %s (book %.0f MB, "
        "index %.2f MB)\n",
        (unsigned long long)mb, kind.c_str(), Show(s, "s").c_str(), size / 1048576 / s.median,
        Show(SpreadOf(floors), "s").c_str(), Show(SpreadOf(ratios), "x").c_str(),
        Show(SpreadOf(memory), "MB").c_str(), double(bookSize) / 1048576,
        double(bookSize) / 16000 * 8 / 1048576);
    std::fflush(stdout);
    std::system(
        ("rm -rf '" + lib + "' '" + src + "' '" + dir + "/floor.copy' '" + dir + "/floor.book'")
            .c_str());
}

// The same Russian text as a FictionBook (its paragraphs in sections of 200,
// each with a title) and as a plain text, converted in turn: the FictionBook's
// time against the text's.
void MeasureFictionBook(const std::string& dir, uint64_t mb) {
    std::string text = Utf8Of1251(GenerateText((mb << 20) * 10 / 18, true));
    std::string fb2 =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<FictionBook xmlns:l=\"x\"><description>"
        "<title-info><book-title>Bench</book-title><lang>ru</lang></title-info></description>"
        "<body><section><title><p>1</p></title>";
    fb2.reserve(text.size() + text.size() / 8);
    int paragraphs = 0, sections = 1;
    bool open = false;
    for (const std::string& line : SplitText(text)) {
        const bool starts = !line.empty() && line[0] == ' ';
        if (starts || !open) {
            if (open) fb2 += "</p>\n";
            if (++paragraphs % 200 == 0)
                fb2 +=
                    "</section><section><title><p>" + std::to_string(++sections) + "</p></title>";
            fb2 += "<p>";
            open = true;
        }
        for (char c : line) {
            if (c == '<')
                fb2 += "&lt;";
            else if (c == '&')
                fb2 += "&amp;";
            else
                fb2 += c;
        }
        fb2 += ' ';
    }
    fb2 += "</p></section></body></FictionBook>\n";
    const std::string txt = dir + "/gen.txt", book = dir + "/gen.fb2", lib = dir + "/lib/";
    SaveFileSafely(txt, text);
    SaveFileSafely(book, fb2);
    const size_t fb2Bytes = fb2.size();
    // Not held while the children run (their peak would count them).
    std::string().swap(fb2);
    std::string().swap(text);
    malloc_trim(0);
    ::mkdir(lib.c_str(), 0755);
    std::vector<double> texts, books, ratios, memory;
    for (int run = 0; run < Runs; ++run) {
        for (const std::string& src : {txt, book}) {
            auto [secs, mbytes] = InChild([&] {
                auto t = BenchClock::now();
                BookFile b = ConvertToBook(src, lib);
                b.SaveAsNewBook("gen");
                return SecondsSince(t);
            });
            ::unlink((lib + "gen.tvst").c_str());
            (src == txt ? texts : books).push_back(secs);
            if (src == book) memory.push_back(mbytes);
        }
        ratios.push_back(books.back() / texts.back());
    }
    std::printf(
        "%4llu MB FictionBook (%d paragraphs, %d sections): %s against the same text %s | ratio "
        "%s | peak %s\n",
        (unsigned long long)(fb2Bytes >> 20), paragraphs, sections,
        Show(SpreadOf(books), "s").c_str(), Show(SpreadOf(texts), "s").c_str(),
        Show(SpreadOf(ratios), "x").c_str(), Show(SpreadOf(memory), "MB").c_str());
    std::fflush(stdout);
    std::system(("rm -rf '" + lib + "' '" + txt + "' '" + book + "'").c_str());
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : "/tmp";
    std::string work = dir + "/tavisto-bench-XXXXXX";
    if (!::mkdtemp(work.data())) return 1;
    Measure(work, 100, "latin");
    Measure(work, 100, "1251");
    Measure(work, 100, "utf-8");
    for (const char* charset : {"UTF-8", "CP1251", "KOI8-R", "CP866"})
        Measure(work, 100, std::string("real ") + charset);
    Measure(work, 400, "latin");
    MeasureFictionBook(work, 100);
    // A real text besides: bench_convert DIR FILE
    if (argc > 2) Measure(work, 0, "given", argv[2]);
    ::rmdir(work.c_str());
    return 0;
}
