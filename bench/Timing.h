#pragma once
// Clocks for the benchmarks: repeated calls' median and 99th percentile, and
// work run in a child process whose wall time, CPU time and peak memory the
// system reports; a program run to its end; the size of a run. Single-threaded; a failing child ends the benchmark.

#include "support/RunProgram.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

using Clock = std::chrono::steady_clock;

/// How many files a run makes: the environment variable TUNELET_BENCH_FILES
/// when set to a positive number (a short run for a check), else `fallback`.
inline std::size_t fileCount(std::size_t fallback)
{
    const char* wanted = std::getenv("TUNELET_BENCH_FILES");
    const std::size_t count = wanted != nullptr ? std::strtoul(wanted, nullptr, 10) : 0;
    return count > 0 ? count : fallback;
}

inline double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

/// The machine's load averages as /proc/loadavg states them (its first three
/// numbers), printed beside timings taken on a machine shared with others.
inline std::string loadAverages()
{
    char line[128] = {};
    if (std::FILE* file = std::fopen("/proc/loadavg", "r")) {
        if (std::fgets(line, sizeof line, file) == nullptr)
            line[0] = 0;
        std::fclose(file);
    }
    std::string text(line);
    for (int field = 0, at = 0; at < static_cast<int>(text.size()); ++at)
        if (text[static_cast<std::size_t>(at)] == ' ' && ++field == 3)
            return text.substr(0, static_cast<std::size_t>(at));
    return text;
}

struct Percentiles {
    double p50 = 0;
    double p99 = 0;
    /// What the last call returned (hits found).
    std::size_t found = 0;
};

/// Calls `search` (returning a count) `times` times, at least once; its times in ms.
template <typename Search>
Percentiles measure(int times, Search search)
{
    std::vector<double> milliseconds;
    std::size_t found = 0;
    for (int i = 0; i < std::max(1, times); ++i) {
        const auto start = Clock::now();
        found = search();
        milliseconds.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    return {milliseconds[milliseconds.size() / 2], milliseconds[(milliseconds.size() * 99) / 100], found};
}

struct Run {
    double seconds = 0;
    /// User and system time: on a machine shared with other work, the
    /// steadier measure.
    double cpuSeconds = 0;
    long peakKilobytes = 0;
};

/// Keeps in `best` the shortest times of it and `run` (each on its own),
/// and the higher peak: a run's best when it is run more than once.
inline void keepBest(Run& best, const Run& run)
{
    const bool first = best.seconds == 0;
    best.seconds = first ? run.seconds : std::min(best.seconds, run.seconds);
    best.cpuSeconds = first ? run.cpuSeconds : std::min(best.cpuSeconds, run.cpuSeconds);
    best.peakKilobytes = std::max(best.peakKilobytes, run.peakKilobytes);
}

/// Runs `work` (returning true on success) in a child process; exits the
/// benchmark with status 1 when the child fails.
template <typename Work>
Run inChild(Work work)
{
    const auto start = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const bool ok = work();
        std::_Exit(ok ? 0 : 1);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    Run result;
    result.seconds = secondsSince(start);
    result.peakKilobytes = usage.ru_maxrss;
    auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    result.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "a benchmark child failed\n");
        std::exit(1);
    }
    return result;
}

using testing_support::runProgram;

} // namespace bench
