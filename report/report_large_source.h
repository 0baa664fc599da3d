#pragma once

// The report's view of LargeComparison: files of any size, read again for every slice or
// batch of differing pairs.
// open() makes the comparison's one pass and throws what LargeComparison::run() throws
// (FileError); slices throw FileChangedError when a file changed since.

#include "report/report_source.h"

#include <memory>

class LargeReportSource : public ReportSource {
public:
    static std::unique_ptr<LargeReportSource> open(const std::filesystem::path& file1,
                                                   const std::filesystem::path& file2);

    const std::filesystem::path& path(int file) const override { return comparison_.path(file); }
    parvane::Decoding decoding() const override { return comparison_.decoding(); }
    std::uint64_t lineCount(int file) const override { return comparison_.lineCount(file); }
    const parvane::ComparisonTotals& totals() const override { return comparison_.totals(); }
    std::optional<std::uint64_t> firstDifferingLine() const override;
    std::optional<std::uint64_t> nextDifferingLine(std::uint64_t line) const override;
    std::vector<parvane::LinePairSlice> linePairs(std::uint64_t first, std::uint64_t count,
                                                  std::uint64_t firstColumn,
                                                  std::uint64_t maxColumns) const override;
    std::vector<parvane::LinePairSlice> differingPairs(std::uint64_t fromLine,
                                                       std::uint64_t maxPairs,
                                                       std::uint64_t maxColumns) const override;
    bool unlimited() const override { return true; }

private:
    explicit LargeReportSource(parvane::LargeComparison comparison);

    parvane::LargeComparison comparison_;
};
