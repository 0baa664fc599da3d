// Speed and memory of the comparison of large files: `make bench-large` builds and runs it.
//
// It writes two files of 10 million lines of 99 characters (about 1 GB each; one line in a
// hundred differs in one character) to a temporary folder, reads them once so both runs find
// them in the page cache, times `cmp -l` and FileComparison::run() on them, then reading what
// was found (linePairs(), differingPairs(), nextDifferingLine()), and prints each figure beside
// its target. The files are removed at the end. Always exits 0 unless the files
// cannot be made.

#include "bench/large_pair.h"
#include "comparison/file_comparison.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kLines = 10'000'000;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// RssAnon of this process in kB.
long rssAnonKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("RssAnon:", 0) == 0) {
            return std::stol(line.substr(8));
        }
    }
    return -1;
}

// A progress callback that notes the largest RssAnon it sees.
struct Watch {
    int calls = 0;
    long peakKb = 0;
    bool operator()(std::uint64_t, std::uint64_t) {
        ++calls;
        peakKb = std::max(peakKb, rssAnonKb());
        return true;
    }
};

// Two files of one line of 100 MB that differ in one character in the middle.
void singleLine(const fs::path& folder) {
    constexpr std::size_t kLength = 100'000'000;
    const fs::path path1 = folder / "c.txt";
    const fs::path path2 = folder / "d.txt";
    {
        std::string line(kLength, 'a');
        std::ofstream(path1, std::ios::binary).write(line.data(), kLength);
        line[kLength / 2] = 'b';
        std::ofstream(path2, std::ios::binary).write(line.data(), kLength);
    }
    bench::readOnce(path1);
    bench::readOnce(path2);
    const long before = rssAnonKb();
    Watch watch;
    auto start = Clock::now();
    const auto comparison = parvane::FileComparison::run(
        path1, path2, {true, {}, [&](auto d, auto t) { return watch(d, t); }});
    const double seconds = secondsSince(start);
    start = Clock::now();
    const auto slices = comparison.linePairs(0, 1, kLength / 2 - 30, 60);
    const double sliceMs = secondsSince(start) * 1000;
    std::printf("one line of 100 MB: pass %.2f s, %llu differing characters (expected 1 + 1), "
                "peak RssAnon during the pass %ld kB (%ld kB more than before; target: no "
                "growth with the line), linePairs of 60 columns in its middle %.1f ms, %zu run\n",
                seconds,
                static_cast<unsigned long long>(comparison.totals().differingCharacters1 +
                                                comparison.totals().differingCharacters2),
                watch.peakKb, watch.peakKb - before, sliceMs,
                slices.empty() ? std::size_t{0} : slices[0].runs1.size());
    fs::remove(path1);
    fs::remove(path2);
}

} // namespace

int main() {
    const fs::path folder =
        fs::temp_directory_path() / ("parvane-large-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path path1 = folder / "a.txt";
    const fs::path path2 = folder / "b.txt";
    try {
        std::cout << "Writing two files of " << kLines << " lines in " << folder << "...\n";
        bench::writeLargePair(path1, path2, kLines);
        bench::readOnce(path1);
        bench::readOnce(path2);

        // GNU cmp stops at the first difference when its output is /dev/null, so the figure
        // compared against is that of cmp -l writing its list to a file.
        const std::string files = "cmp -l '" + path1.string() + "' '" + path2.string() + "'";
        auto start = Clock::now();
        std::system((files + " > /dev/null").c_str());
        const double cmpNullSeconds = secondsSince(start);
        start = Clock::now();
        const int cmpStatus =
            std::system((files + " > '" + (folder / "cmp.txt").string() + "'").c_str());
        const double cmpSeconds = secondsSince(start);

        start = Clock::now();
        Watch watch;
        const auto comparison = parvane::FileComparison::run(
            path1, path2, {true, {}, [&](auto done, auto total) { return watch(done, total); }});
        const double passSeconds = secondsSince(start);
        const int calls = watch.calls;

        std::printf("pass: %.2f s, cmp -l: %.2f s (status %d), ratio %.2f (target ≤ 2)\n",
                    passSeconds, cmpSeconds, cmpStatus, passSeconds / cmpSeconds);
        std::printf("(cmp -l > /dev/null: %.2f s, as it stops at the first difference)\n",
                    cmpNullSeconds);
        std::printf("RssAnon: %ld kB at most during the pass, %ld kB after it (target < 150 MB)\n",
                    watch.peakKb, rssAnonKb());
        std::printf("progress calls: %d (about one per 25 ms: %.0f expected)\n", calls,
                    passSeconds / 0.025);
        const auto& totals = comparison.totals();
        std::printf("lines %llu / %llu, differing lines %llu (expected %llu), characters %llu / "
                    "%llu\n",
                    static_cast<unsigned long long>(comparison.lineCount(1)),
                    static_cast<unsigned long long>(comparison.lineCount(2)),
                    static_cast<unsigned long long>(totals.differingLines),
                    static_cast<unsigned long long>(kLines / 100),
                    static_cast<unsigned long long>(totals.differingCharacters1),
                    static_cast<unsigned long long>(totals.differingCharacters2));

        start = Clock::now();
        const auto slices = comparison.linePairs(comparison.pairCount() - 60, 60);
        const double sliceMs = secondsSince(start) * 1000;
        std::printf("linePairs of the last 60 lines: %.2f ms (target ≤ 2 ms), %zu lines\n", sliceMs,
                    slices.size());

        // Every differing pair, a batch at a time as the report reads them.
        start = Clock::now();
        std::uint64_t read = 0;
        for (std::uint64_t from = 0;;) {
            const auto batch = comparison.differingPairs(from, 256);
            if (batch.empty()) {
                break;
            }
            read += batch.size();
            from = batch.back().line + 1;
        }
        const double batchSeconds = secondsSince(start);
        std::printf("differingPairs of all %llu differing lines, 256 at a time: %.2f s, %.2f x the "
                    "pass (target ≤ 0.3 x, leaving the report room within its 1.5 x)\n",
                    static_cast<unsigned long long>(read), batchSeconds,
                    batchSeconds / passSeconds);

        constexpr int kSearches = 100000;
        std::uint64_t sum = 0;
        start = Clock::now();
        for (int i = 0; i < kSearches; ++i) {
            sum += comparison.nextDifferingLine(static_cast<std::uint64_t>(i) * 97).value_or(0);
        }
        const double searchUs = secondsSince(start) * 1e6 / kSearches;
        std::printf("nextDifferingLine: %.3f µs per call (target well under 1 ms; %llu)\n",
                    searchUs, static_cast<unsigned long long>(sum % 10));

        // How long a cancelled pass takes to stop, once the callback has said so.
        Clock::time_point asked;
        start = Clock::now();
        try {
            const auto progress = [&](std::uint64_t, std::uint64_t) {
                if (secondsSince(start) < 0.1) {
                    return true;
                }
                asked = Clock::now();
                return false;
            };
            parvane::FileComparison::run(path1, path2, {true, {}, progress});
        } catch (const parvane::ComparisonCancelled&) {
            std::printf("cancelled pass stopped %.2f ms after the callback said so (target "
                        "≤ 100 ms)\n",
                        secondsSince(asked) * 1000);
        }
        fs::remove(path1);
        fs::remove(path2);
        singleLine(folder);
    } catch (const std::exception& error) {
        std::cerr << "large_bench: " << error.what() << "\n";
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return 0;
}
