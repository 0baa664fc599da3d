#pragma once

// What a report reads from a finished comparison of two files, whichever pass made it: the
// decoding, the totals, the differing line pairs and slices of any line pair. Lines and columns
// are 0-based here, as in comparison/large_comparison.h, whose types are used.
//
// Reading slices may throw parvane::ComparisonError (a file changed since it was compared, for
// the pass that reads the files again). An object is used from one thread at a time. Writers
// read the differing pairs a batch at a time (reportedPairs()), so that memory stays bounded
// and the pass without limits reads each file once per batch, not once per line.

#include "comparison/large_comparison.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

class ReportSource {
public:
    // The columns of a line that a report goes over: reading a slice of a line of the pass
    // without limits reads the whole line, so longer lines are reported up to here only.
    static constexpr std::uint64_t kMaxReportedColumns = std::uint64_t{1} << 18;

    virtual ~ReportSource();

    virtual const std::filesystem::path& path(int file) const = 0; // file is 1 or 2
    virtual parvane::Decoding decoding() const = 0;
    virtual std::uint64_t lineCount(int file) const = 0;
    virtual const parvane::ComparisonTotals& totals() const = 0;
    virtual std::optional<std::uint64_t> firstDifferingLine() const = 0;
    // The first differing line pair after `line`, if any.
    virtual std::optional<std::uint64_t> nextDifferingLine(std::uint64_t line) const = 0;
    // `count` line pairs from `first` on (fewer at the end), each from column `firstColumn` on,
    // at most `maxColumns` columns of each line, with the differing runs of that part.
    virtual std::vector<parvane::LinePairSlice> linePairs(std::uint64_t first, std::uint64_t count,
                                                          std::uint64_t firstColumn,
                                                          std::uint64_t maxColumns) const = 0;
    // At most `maxPairs` of the differing line pairs from `fromLine` on, in increasing order,
    // each from column 0 on and at most `maxColumns` columns of each line; fewer when their text
    // grows large, but at least one while any is left, and none past the last.
    virtual std::vector<parvane::LinePairSlice> differingPairs(std::uint64_t fromLine,
                                                               std::uint64_t maxPairs,
                                                               std::uint64_t maxColumns) const = 0;
    // True for the pass without the window's size limits.
    virtual bool unlimited() const = 0;

    std::uint64_t pairCount() const;
    // Line pair `line` up to kMaxReportedColumns.
    parvane::LinePairSlice reportedPair(std::uint64_t line) const;
    // differingPairs() up to kMaxReportedColumns, at most `maxPairs` of them.
    std::vector<parvane::LinePairSlice> reportedPairs(std::uint64_t fromLine,
                                                      std::uint64_t maxPairs) const;
    // True when `pair`, read by reportedPair(), leaves out columns of a longer line.
    static bool isCut(const parvane::LinePairSlice& pair);
    bool identical() const { return totals().differingLines == 0; }
};
