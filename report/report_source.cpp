#include "report/report_source.h"

#include <algorithm>

ReportSource::~ReportSource() = default;

std::uint64_t ReportSource::pairCount() const { return std::max(lineCount(1), lineCount(2)); }

parvane::LinePairSlice ReportSource::reportedPair(std::uint64_t line) const {
    std::vector<parvane::LinePairSlice> pairs = linePairs(line, 1, 0, kMaxReportedColumns);
    if (pairs.empty()) {
        parvane::LinePairSlice none;
        none.line = line;
        return none;
    }
    return std::move(pairs.front());
}

std::vector<parvane::LinePairSlice> ReportSource::reportedPairs(std::uint64_t fromLine,
                                                                std::uint64_t maxPairs) const {
    return differingPairs(fromLine, maxPairs, kMaxReportedColumns);
}

bool ReportSource::isCut(const parvane::LinePairSlice& pair) {
    return std::max(pair.length1, pair.length2) > pair.firstColumn + kMaxReportedColumns;
}
