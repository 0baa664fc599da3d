#include "report/report_large_source.h"

namespace fs = std::filesystem;

LargeReportSource::LargeReportSource(parvane::LargeComparison comparison)
    : comparison_(std::move(comparison)) {}

std::unique_ptr<LargeReportSource> LargeReportSource::open(const fs::path& file1,
                                                           const fs::path& file2) {
    return std::unique_ptr<LargeReportSource>(
        new LargeReportSource(parvane::LargeComparison::run(file1, file2)));
}

std::optional<std::uint64_t> LargeReportSource::firstDifferingLine() const {
    return comparison_.firstDifferingLine();
}

std::optional<std::uint64_t> LargeReportSource::nextDifferingLine(std::uint64_t line) const {
    return comparison_.nextDifferingLine(line);
}

std::vector<parvane::LinePairSlice> LargeReportSource::linePairs(std::uint64_t first,
                                                                 std::uint64_t count,
                                                                 std::uint64_t firstColumn,
                                                                 std::uint64_t maxColumns) const {
    return comparison_.linePairs(first, count, firstColumn, maxColumns);
}

std::vector<parvane::LinePairSlice>
LargeReportSource::differingPairs(std::uint64_t fromLine, std::uint64_t maxPairs,
                                  std::uint64_t maxColumns) const {
    return comparison_.differingPairs(fromLine, maxPairs, maxColumns);
}
