#pragma once

// The report's view of compareFiles(): the same limits and messages as the window's comparison.
// open() compares the files at once and keeps the result (at most 32767 characters a file), so
// later reads never touch the files. It throws what compareFiles() throws (FileError,
// OverflowError) and FileError when a file changed while it was compared.

#include "report/report_source.h"

#include <memory>
#include <string>

class BoundedReportSource : public ReportSource {
public:
    static std::unique_ptr<BoundedReportSource> open(const std::filesystem::path& file1,
                                                     const std::filesystem::path& file2);

    const std::filesystem::path& path(int file) const override;
    parvane::Decoding decoding() const override { return decoding_; }
    std::uint64_t lineCount(int file) const override;
    const parvane::ComparisonTotals& totals() const override { return totals_; }
    std::optional<std::uint64_t> firstDifferingLine() const override;
    std::optional<std::uint64_t> nextDifferingLine(std::uint64_t line) const override;
    std::vector<parvane::LinePairSlice> linePairs(std::uint64_t first, std::uint64_t count,
                                                  std::uint64_t firstColumn,
                                                  std::uint64_t maxColumns) const override;
    std::vector<parvane::LinePairSlice> differingPairs(std::uint64_t fromLine,
                                                       std::uint64_t maxPairs,
                                                       std::uint64_t maxColumns) const override;
    bool unlimited() const override { return false; }

private:
    // One file's lines and, for each, its runs of differing columns.
    struct Side {
        std::filesystem::path path;
        std::vector<std::u32string> lines;
        std::vector<std::vector<parvane::ColumnRun>> runs;
    };

    BoundedReportSource() = default;
    static void fill(Side& side, const std::string& displayText,
                     const std::vector<std::int16_t>& differences);

    Side sides_[2];
    parvane::Decoding decoding_ = parvane::Decoding::Utf8;
    parvane::ComparisonTotals totals_;
    std::vector<std::uint64_t> differingLines_;
};
