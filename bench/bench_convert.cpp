// Conversion speed and memory: ConvertTextFile plus SaveToBookFile on generated
// 100 MB and 200 MB texts, against the floor of reading the same file and writing
// the same number of bytes. Prints figures; run from the build folder.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "TextGen.h"
#include "core/unitBookClasses.h"
#include "core/unitFiles.h"
#include "core/unitTextConversions.h"

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a) {
    return std::chrono::duration<double>(Clock::now() - a).count();
}

// Runs fn in a child process and returns (seconds, peak resident kilobytes of the child).
template <class F>
std::pair<double, long> InChild(F fn) {
    int pipefd[2];
    if (::pipe(pipefd) != 0) return {-1, -1};
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipefd[0]);
        double s = fn();
        if (::write(pipefd[1], &s, sizeof s) != sizeof s) _exit(1);
        _exit(0);
    }
    ::close(pipefd[1]);
    double s = -1;
    if (::read(pipefd[0], &s, sizeof s) != sizeof s) s = -1;
    ::close(pipefd[0]);
    int status;
    struct rusage ru;
    ::wait4(pid, &status, 0, &ru);
    return {s, ru.ru_maxrss};
}

double Floor(const std::string& src, const std::string& dst, bool sync) {
    auto t = Clock::now();
    std::string data = ReadWholeFile(src);
    int fd = ::open(dst.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    size_t off = 0;
    while (off < data.size()) {
        ssize_t w = ::write(fd, data.data() + off, std::min<size_t>(1 << 20, data.size() - off));
        if (w <= 0) break;
        off += size_t(w);
    }
    if (sync) ::fsync(fd);
    ::close(fd);
    return Seconds(t);
}

void Measure(const std::string& dir, uint64_t mb, bool cyrillic) {
    std::string src = dir + "/gen-" + std::to_string(mb) + (cyrillic ? "-1251" : "-latin") + ".txt";
    std::string text = GenerateText(mb << 20, cyrillic);
    FILE* f = std::fopen(src.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    const double size = double(text.size());
    text.clear();
    text.shrink_to_fit();
    std::string lib = dir + "/lib/";
    ::mkdir(lib.c_str(), 0755);

    Floor(src, dir + "/floor.out", false);  // warm the page cache
    double floorNoSync = Floor(src, dir + "/floor.out", false);
    double floorSync = Floor(src, dir + "/floor.out", true);
    double secs = 1e9;
    long kb = 0;
    for (int run = 0; run < 3; ++run) {
        auto [s1, k1] = InChild([&] {
            auto t = Clock::now();
            TBookInfo book(lib);
            ConvertTextFile(src, book);
            double c = Seconds(t);
            book.SaveToBookFile();
            double s = Seconds(t);
            std::fprintf(
                stderr, "    convert %.3f s, save %.3f s: %s charset %s, %s paragraphs, %s pages\n",
                c, s - c, book.FileName.c_str(), book.GetProperty("Charset").c_str(),
                book.GetProperty("TotalParagraphs").c_str(),
                book.GetProperty("PagesCount").c_str());
            return s;
        });
        ::unlink((lib + "gen-" + std::to_string(mb) + (cyrillic ? "-1251" : "-latin") + ".tvst")
                     .c_str());
        if (s1 < secs) secs = s1;
        if (k1 > kb) kb = k1;
    }
    std::printf(
        "%4llu MB %-6s convert+save best of 3 %.3f s (%.0f MB/s) | floor %.3f s (with fsync %.3f "
        "s) "
        "| ratio %.2f (vs fsync floor %.2f) | peak RSS %.0f MB = %.2f x text\n",
        (unsigned long long)mb, cyrillic ? "1251" : "latin", secs, size / 1048576 / secs,
        floorNoSync, floorSync, secs / floorNoSync, secs / floorSync, kb / 1024.0,
        kb * 1024.0 / size);
    std::fflush(stdout);
    std::system(("rm -rf '" + lib + "' '" + src + "' '" + dir + "/floor.out'").c_str());
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : "/tmp";
    std::string work = dir + "/tavisto-bench-XXXXXX";
    if (!::mkdtemp(work.data())) return 1;
    Measure(work, 100, false);
    Measure(work, 100, true);
    Measure(work, 200, false);
    ::rmdir(work.c_str());
    return 0;
}
