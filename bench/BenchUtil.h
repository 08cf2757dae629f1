// Helpers of the benchmarks: several runs reported as median and range, and
// work run in a child process to learn its peak memory.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using BenchClock = std::chrono::steady_clock;

inline double SecondsSince(BenchClock::time_point a) {
    return std::chrono::duration<double>(BenchClock::now() - a).count();
}

// Median, least and most of several figures.
struct Spread {
    double median = 0, low = 0, high = 0;
};
inline Spread SpreadOf(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    if (v.empty()) return {};
    return {v[v.size() / 2], v.front(), v.back()};
}
inline std::string Show(const Spread& s, const char* unit, double scale = 1) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "%.3g %s (%.3g-%.3g)", s.median * scale, unit, s.low * scale,
                  s.high * scale);
    return buf;
}

// Runs fn in a child process: its result (a number it reports) and its peak
// resident memory in megabytes.
template <class F>
std::pair<double, double> InChild(F fn) {
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
    return {s, double(ru.ru_maxrss) / 1024.0};
}
