// Speed and memory of the comparison of large files: `make bench-large` builds and runs it.
//
// It writes two files of 10 million lines of 99 characters (about 1 GB each; one line in a
// hundred differs in one character) to a temporary folder, reads them once so that every run
// finds them in the page cache, and times, in turns, the floor (both files read once, each on a
// thread of its own, with the pass's read size) and FileComparison::run(), giving the median of
// each and their ratio; then reading what was found (linePairs(), differingPairs(),
// nextDifferingLine()). Two more pairs show that the fast way over equal lines hides no slow way
// over differing ones: 2 million lines that all differ, and one line of 100 MB in each file. A
// pair whose halves are not in step is timed against the pass that never tries halves. The
// pass with rules of what to leave out is timed against the pass without them, in turns: with
// column ranges, case and trailing blanks, and with one pattern. Each figure is printed beside
// its target. The files are removed at the end. Always exits 0 unless the files cannot be made.

#include "bench/large_pair.h"
#include "comparison/file_comparison.h"

#include <algorithm>
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
constexpr int kRounds = 5;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The medians of the floor and of the pass over `path1` and `path2`, measured in turns.
std::pair<double, double> floorAndPass(const fs::path& path1, const fs::path& path2) {
    std::vector<double> floors, passes;
    const std::size_t readSize = parvane::ReadSizes{}.pass;
    for (int round = 0; round < kRounds; ++round) {
        floors.push_back(bench::readBothOnce(path1, path2, readSize));
        const auto start = Clock::now();
        parvane::FileComparison::run(path1, path2, {true, {}, {}});
        passes.push_back(secondsSince(start));
    }
    return {median(floors), median(passes)};
}

// The median of the pass over `path1` and `path2` without rules, and with `rules`, measured in
// turns.
std::pair<double, double> plainAndRuled(const fs::path& path1, const fs::path& path2,
                                        const parvane::ComparisonRules& rules,
                                        parvane::ComparisonTotals& totals) {
    std::vector<double> plain, ruled;
    for (int round = 0; round < kRounds; ++round) {
        auto start = Clock::now();
        parvane::FileComparison::run(path1, path2, {true, {}, {}});
        plain.push_back(secondsSince(start));
        parvane::ComparisonOptions options{true, {}, {}};
        options.rules = rules;
        start = Clock::now();
        totals = parvane::FileComparison::run(path1, path2, options).totals();
        ruled.push_back(secondsSince(start));
    }
    return {median(plain), median(ruled)};
}

// The pass with rules of what to leave out against the pass without them.
void withRules(const fs::path& path1, const fs::path& path2) {
    parvane::ComparisonRules columns;
    columns.addColumns("1-10,90-");
    columns.setIgnoreCase(true);
    columns.setIgnoreTrailingBlanks(true);
    parvane::ComparisonRules pattern;
    pattern.addPattern("[0-9]+");
    const struct {
        const char* name;
        const parvane::ComparisonRules& rules;
        double target;
    } cases[] = {{"column ranges, case and trailing blanks", columns, 1.3},
                 {"one pattern", pattern, 3.0}};
    for (const auto& c : cases) {
        parvane::ComparisonTotals totals;
        const auto [plain, ruled] = plainAndRuled(path1, path2, c.rules, totals);
        std::printf("pass with %s: %.3f s, without rules %.3f s, ratio %.2f (target ≤ %.1f) %s; "
                    "differing lines %llu, left out only %llu\n",
                    c.name, ruled, plain, ruled / plain, c.target,
                    ruled <= c.target * plain ? "PASS" : "FAIL",
                    static_cast<unsigned long long>(totals.differingLines),
                    static_cast<unsigned long long>(totals.leftOutLines));
    }
}

// Two files of `lines` lines that all differ, against the floor.
void allLinesDiffer(const fs::path& folder) {
    constexpr std::uint64_t kAllLines = 2'000'000;
    const fs::path path1 = folder / "e.txt";
    const fs::path path2 = folder / "f.txt";
    bench::writeLargePair(path1, path2, kAllLines, 1);
    bench::readOnce(path1);
    bench::readOnce(path2);
    const auto [floor, pass] = floorAndPass(path1, path2);
    std::printf("every one of %llu lines differs: pass %.3f s, floor %.3f s, ratio %.2f (no slower "
                "than the equal lines' way would be: for reference)\n",
                static_cast<unsigned long long>(kAllLines), pass, floor, pass / floor);
    fs::remove(path1);
    fs::remove(path2);
}

// A pair whose lines are not in step at the middle (a line of file 2 is one character longer
// near the start): the pass tries two halves, finds them not in step and goes on alone. Against
// the pass that never tries, in turns.
void notInStep(const fs::path& folder) {
    constexpr std::uint64_t kStepLines = 3'000'000;
    const fs::path path1 = folder / "g.txt";
    const fs::path made = folder / "h0.txt";
    const fs::path path2 = folder / "h.txt";
    bench::writeLargePair(path1, made, kStepLines);
    {
        std::ifstream in(made, std::ios::binary);
        std::ofstream out(path2, std::ios::binary);
        std::vector<char> block(std::size_t{8} << 20);
        in.read(block.data(), 1000);
        out.write(block.data(), in.gcount());
        out.put('z');
        while (in.read(block.data(), std::streamsize(block.size())) || in.gcount() > 0) {
            out.write(block.data(), in.gcount());
        }
    }
    fs::remove(made);
    bench::readOnce(path1);
    bench::readOnce(path2);
    parvane::ComparisonOptions alone{true, {}, {}};
    alone.sizes.halvesFrom = UINT64_MAX;
    std::vector<double> tried, never;
    // Short runs, in more turns: the median steadies.
    for (int round = 0; round < 3 * kRounds; ++round) {
        auto start = Clock::now();
        parvane::FileComparison::run(path1, path2, {true, {}, {}});
        tried.push_back(secondsSince(start));
        start = Clock::now();
        parvane::FileComparison::run(path1, path2, alone);
        never.push_back(secondsSince(start));
    }
    std::printf("halves not in step (%llu lines, one a character longer near the start): pass "
                "%.3f s, the pass that never tries halves %.3f s, ratio %.2f (target ≤ 1.1) %s\n",
                static_cast<unsigned long long>(kStepLines), median(tried), median(never),
                median(tried) / median(never),
                median(tried) <= 1.1 * median(never) ? "PASS" : "FAIL");
    fs::remove(path1);
    fs::remove(path2);
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
    const double floor = bench::readBothOnce(path1, path2, parvane::ReadSizes{}.pass);
    const long before = rssAnonKb();
    Watch watch;
    auto start = Clock::now();
    const auto comparison = parvane::FileComparison::run(
        path1, path2, {true, {}, [&](auto d, auto t) { return watch(d, t); }});
    const double seconds = secondsSince(start);
    start = Clock::now();
    const auto slices = comparison.linePairs(0, 1, kLength / 2 - 30, 60);
    const double sliceMs = secondsSince(start) * 1000;
    std::printf("one line of 100 MB: pass %.3f s (floor %.3f s, ratio %.2f), %llu differing "
                "characters (expected 1 + 1), peak RssAnon during the pass %ld kB (%ld kB more "
                "than before; target: no growth with the line), linePairs of 60 columns in its "
                "middle %.1f ms, %zu run\n",
                seconds, floor, seconds / floor,
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

        const auto [floorSeconds, medianPass] = floorAndPass(path1, path2);
        start = Clock::now();
        Watch watch;
        parvane::ReadSizes sizes; // as the report asks for them
        sizes.keptBytes = parvane::ReadSizes::kKeptForReading;
        const auto comparison = parvane::FileComparison::run(
            path1, path2, {true, sizes, [&](auto done, auto total) { return watch(done, total); }});
        const double passSeconds = secondsSince(start);
        const int calls = watch.calls;

        std::printf(
            "pass: %.3f s (median of %d), floor: %.3f s (both files read once in parallel), "
            "ratio %.2f (target ≤ 2.5) %s\n",
            medianPass, kRounds, floorSeconds, medianPass / floorSeconds,
            medianPass <= 2.5 * floorSeconds ? "PASS" : "FAIL");
        std::printf(
            "(for reference: cmp -l %.2f s (status %d), %.2f x the pass; cmp -l > /dev/null "
            "%.2f s, as it stops at the first difference)\n",
            cmpSeconds, cmpStatus, cmpSeconds / medianPass, cmpNullSeconds);
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
        withRules(path1, path2);
        fs::remove(path1);
        fs::remove(path2);
        allLinesDiffer(folder);
        notInStep(folder);
        singleLine(folder);
    } catch (const std::exception& error) {
        std::cerr << "large_bench: " << error.what() << "\n";
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return 0;
}
