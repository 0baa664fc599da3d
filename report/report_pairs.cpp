#include "report/report_pairs.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <thread>

namespace report_pairs {

using parvane::ColumnRun;
using parvane::LinePairSlice;

std::vector<LinePairSlice> reportedPairs(const parvane::FileComparison& comparison,
                                         std::uint64_t fromLine, std::uint64_t maxPairs) {
    return comparison.differingPairs(fromLine, maxPairs, kMaxReportedColumns);
}

namespace {

// Differing line pairs read at a time.
constexpr std::uint64_t kBatchPairs = 256;
// Differing line pairs in a chunk, and the most bytes a chunk written into memory holds: past
// them it ends early.
constexpr std::uint64_t kChunkPairs = 4096;
constexpr std::size_t kChunkBytes = std::size_t{16} << 20;

// Reads at most `count` of the pairs listed from line `from` on.
using ReadPairs = std::vector<LinePairSlice> (*)(const parvane::FileComparison& comparison,
                                                 std::uint64_t from, std::uint64_t count);

std::vector<LinePairSlice> readBatch(const parvane::FileComparison& comparison, std::uint64_t from,
                                     std::uint64_t count) {
    return reportedPairs(comparison, from, std::min(kBatchPairs, count));
}

// Writes the pairs listed from line `from` on, pair `first` of the list, up to pair `end`, or
// until `out` holds `mostBytes`. Returns the index of the first pair not written.
std::uint64_t writeChunk(ReportOutput& out, const parvane::FileComparison& comparison,
                         ReadPairs read, std::uint64_t from, std::uint64_t first, std::uint64_t end,
                         std::size_t mostBytes, parvane::FieldTally* tally,
                         const WritePair& write) {
    std::uint64_t index = first;
    while (index < end && out.text().size() < mostBytes) {
        std::vector<LinePairSlice> batch = read(comparison, from, end - index);
        if (batch.empty()) {
            break;
        }
        for (LinePairSlice& pair : batch) {
            write(out, pair, index++, tally);
        }
        from = batch.back().line + 1;
    }
    return index;
}

} // namespace

std::uint64_t writePairs(ReportOutput& out, const parvane::FileComparison& comparison,
                         bool withLeftOut, std::uint64_t limit, const parvane::RecordLayout* layout,
                         parvane::FieldTally* tally, const WritePair& write) {
    if (withLeftOut) {
        // Found by reading every line pair, one chunk at a time.
        return writeChunk(out, comparison, pairsWithLeftOut, 0, 0, limit, SIZE_MAX, tally, write);
    }
    const std::uint64_t count = std::min(limit, comparison.differingLineCount());
    std::uint64_t first = 0;
    while (first < count) {
        const std::uint64_t middle = std::min(count, first + kChunkPairs);
        const std::uint64_t end = std::min(count, middle + kChunkPairs);
        ReportOutput later;
        std::optional<parvane::FieldTally> laterTally;
        if (tally != nullptr && layout != nullptr) {
            laterTally.emplace(*layout);
        }
        std::uint64_t reached = middle;
        std::exception_ptr error;
        std::thread thread;
        if (middle < end) {
            thread = std::thread([&] {
                try {
                    reached =
                        writeChunk(later, comparison, readBatch,
                                   comparison.differingLine(middle).value_or(UINT64_MAX), middle,
                                   end, kChunkBytes, laterTally ? &*laterTally : nullptr, write);
                } catch (...) {
                    error = std::current_exception();
                }
            });
        }
        try {
            first = writeChunk(out, comparison, readBatch,
                               comparison.differingLine(first).value_or(UINT64_MAX), first, middle,
                               SIZE_MAX, tally, write);
        } catch (...) {
            if (thread.joinable()) {
                thread.join();
            }
            throw;
        }
        if (thread.joinable()) {
            thread.join();
        }
        if (first < middle) {
            break; // the pairs ended early
        }
        if (error) {
            std::rethrow_exception(error);
        }
        out << later.text();
        if (laterTally) {
            tally->add(*laterTally);
        }
        first = reached;
    }
    return first;
}

bool counts(const parvane::FileComparison& comparison, const LinePairSlice& pair) {
    return !pair.runs1.empty() || !pair.runs2.empty() ||
           comparison.differingLinesBefore(pair.line + 1) !=
               comparison.differingLinesBefore(pair.line);
}

std::vector<LinePairSlice> pairsWithLeftOut(const parvane::FileComparison& comparison,
                                            std::uint64_t fromLine, std::uint64_t maxPairs) {
    // Line pairs read at a time.
    constexpr std::uint64_t kScan = 64;
    std::vector<LinePairSlice> found;
    for (std::uint64_t line = fromLine; line < comparison.pairCount() && found.empty();
         line += kScan) {
        for (LinePairSlice& pair : comparison.linePairs(line, kScan, 0, kMaxReportedColumns)) {
            const bool differs =
                counts(comparison, pair) || !pair.leftOut1.empty() || !pair.leftOut2.empty();
            if (differs && found.size() < maxPairs) {
                found.push_back(std::move(pair));
            }
        }
    }
    return found;
}

bool isCut(const LinePairSlice& pair) {
    return pair.firstColumn + pair.text1.size() < pair.length1 ||
           pair.firstColumn + pair.text2.size() < pair.length2;
}

void forEachRun(const parvane::FileComparison& comparison, const LinePairSlice& pair, int file,
                const std::function<void(ColumnRun)>& visit) {
    if (!isCut(pair)) {
        const std::vector<ColumnRun> runs = file == 1   ? pair.runs1
                                            : file == 2 ? pair.runs2
                                                        : parvane::unite(pair.runs1, pair.runs2);
        std::for_each(runs.begin(), runs.end(), visit);
        return;
    }
    // A file's runs are those of both files that fall within its line.
    const std::uint64_t length = file == 1   ? pair.length1
                                 : file == 2 ? pair.length2
                                             : std::max(pair.length1, pair.length2);
    comparison.visitDifferingRuns(pair.line, [&](ColumnRun run) {
        if (run.first < length) {
            visit({run.first, std::min(run.last, length - 1)});
        }
    });
}

} // namespace report_pairs
