#include "report/report_pairs.h"

#include <algorithm>

namespace report_pairs {

using parvane::ColumnRun;
using parvane::LinePairSlice;

std::vector<LinePairSlice> reportedPairs(const parvane::FileComparison& comparison,
                                         std::uint64_t fromLine, std::uint64_t maxPairs) {
    return comparison.differingPairs(fromLine, maxPairs, kMaxReportedColumns);
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
