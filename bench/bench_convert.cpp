// Conversion speed and memory: the conversion the program runs, on generated
// texts of 100 MB (Latin, windows-1251, Russian in UTF-8) and 400 MB in the
// page cache, and on a text of one's own when given, against the floor of
// copying the text (cat text > copy) and writing as many bytes as the book,
// measured in the same run. Five runs each; medians and ranges. Run from the
// build folder: bench/bench_convert [DIR [FILE]].
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// cat text > copy, then as many bytes as the book written and synced (the
// conversion syncs its book).
double Floor(const std::string& src, const std::string& dir, uint64_t bookSize) {
    auto t = BenchClock::now();
    std::string cmd = "cat '" + src + "' > '" + dir + "/floor.copy'";
    if (std::system(cmd.c_str()) != 0) return -1;
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

// kind: "latin", "1251", or "utf-8" (Russian, about mb megabytes); or a
// text of one's own, copied in (given, mb unused).
void Measure(const std::string& dir, uint64_t mb, const std::string& kind,
             const std::string& given = {}) {
    const bool cyrillic = kind != "latin";
    const std::string src = dir + "/gen.txt";
    if (!given.empty()) {
        std::system(("cp '" + given + "' '" + src + "'").c_str());
        mb = uint64_t(FileSizeOf(src)) >> 20;
    } else {
        std::string text = kind == "utf-8" ? Utf8Of1251(GenerateText((mb << 20) * 10 / 18, true))
                                           : GenerateText(mb << 20, cyrillic);
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
        "%4llu MB %-6s streaming: %s, %.0f MB/s | floor %s | ratio %s | peak %s (book %.0f MB, "
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

}  // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : "/tmp";
    std::string work = dir + "/tavisto-bench-XXXXXX";
    if (!::mkdtemp(work.data())) return 1;
    Measure(work, 100, "latin");
    Measure(work, 100, "1251");
    Measure(work, 100, "utf-8");
    Measure(work, 400, "latin");
    // A real text besides: bench_convert DIR FILE
    if (argc > 2) Measure(work, 0, "given", argv[2]);
    ::rmdir(work.c_str());
    return 0;
}
