#pragma once

// Positional comparison of two files of any size, under the same rules as compareFiles() (line
// ends, decoding, what differs) but without its 16-bit limits.
//
// LargeComparison::run() makes one pass over both files: it decides the decoding (both UTF-8
// when both are valid UTF-8, a leading byte-order mark then not being text; else both
// Windows-1252), counts the lines, finds the line pairs that differ and counts what differs.
// Its memory grows with the number of lines at most (a sparse index of line starts, the set of
// differing line pairs, 8 bytes each, with where the first of each stretch of consecutive ones
// starts in both files), never with the size of a line or the number of differing characters.
// The files are read with read-sized pieces into bounded buffers (never mapped), and are closed
// when run() returns; linePairs() and differingPairs() open them again for the call and check,
// after reading, that each is still the file that was compared (same device, inode, size and
// modification and change times).
//
// Lines and columns are 0-based here; a column counts characters (code points) of the decoded
// line, as the comparison does. A line pair k holds line k of each file, or nothing for a file
// that has fewer lines; a missing line is compared as an empty one.
//
// Failures throw, with a Spanish message that names the file:
//  - FileError (comparison.h) when a path is not a readable regular file, as compareFiles();
//  - FileChangedError when a file was truncated, grown or replaced since it was compared;
//  - FileChangedError also when a file changes while run() reads it;
//  - ComparisonCancelled when the progress callback asked to stop (it names both files).
// An object is safe to read from one thread at a time; it holds no open file between calls.

#include "comparison/comparison.h"

#include <algorithm>
#include <compare>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace parvane {

enum class Decoding { Utf8, Windows1252 };

struct FileChangedError : ComparisonError {
    using ComparisonError::ComparisonError;
};
struct ComparisonCancelled : ComparisonError {
    using ComparisonError::ComparisonError;
};

// What a whole comparison found. Characters are those that a view would colour.
struct ComparisonTotals {
    std::uint64_t differingCharacters1 = 0; // in file 1
    std::uint64_t differingCharacters2 = 0; // in file 2
    std::uint64_t differingLines = 0;       // line pairs with at least one differing character
    std::uint64_t linesOnlyIn1 = 0;         // lines of file 1 past the end of file 2
    std::uint64_t linesOnlyIn2 = 0;         // lines of file 2 past the end of file 1
};

// A run of differing columns [first, last], both included.
struct ColumnRun {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    friend bool operator==(const ColumnRun&, const ColumnRun&) = default;
};

// A line pair and a column of it.
struct LineColumn {
    std::uint64_t line = 0;
    std::uint64_t column = 0;
    friend auto operator<=>(const LineColumn&, const LineColumn&) = default;
};

// Part of line pair k: the characters of each line from `firstColumn` on (at most the columns
// asked for), and the runs of differing columns of each file that fall in that part, increasing.
struct LinePairSlice {
    std::uint64_t line = 0;
    bool has1 = false, has2 = false;        // whether each file has line k
    std::uint64_t length1 = 0, length2 = 0; // the whole lines' lengths in characters
    std::uint64_t firstColumn = 0;
    std::u32string text1, text2;
    std::vector<ColumnRun> runs1, runs2;
};

class LargeComparison {
public:
    // Called now and then during the pass (at least every 50 ms of work) with the bytes read so
    // far and in all; returning false stops the pass with ComparisonCancelled.
    using Progress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

    static LargeComparison run(const std::filesystem::path& file1,
                               const std::filesystem::path& file2, const Progress& progress = {});

    LargeComparison(LargeComparison&&) noexcept;
    LargeComparison& operator=(LargeComparison&&) noexcept;
    ~LargeComparison();

    const std::filesystem::path& path(int file) const; // file is 1 or 2
    Decoding decoding() const;
    std::uint64_t lineCount(int file) const;
    std::uint64_t pairCount() const { return std::max(lineCount(1), lineCount(2)); }
    std::uint64_t longestLine(int file) const; // in characters
    const ComparisonTotals& totals() const;
    bool identical() const { return totals().differingLines == 0; }

    // The differing line pairs, in increasing order.
    std::uint64_t differingLineCount() const { return totals().differingLines; }
    // The first differing line pair after / before `line`, if any.
    std::optional<std::uint64_t> nextDifferingLine(std::uint64_t line) const;
    std::optional<std::uint64_t> previousDifferingLine(std::uint64_t line) const;
    std::optional<std::uint64_t> firstDifferingLine() const;
    std::optional<std::uint64_t> lastDifferingLine() const;
    // How many differing line pairs come before `line` (so a differing line's index, from 0).
    std::uint64_t differingLinesBefore(std::uint64_t line) const;

    // `count` line pairs from `first` on (fewer at the end), each from column `firstColumn` on,
    // at most `maxColumns` columns of each line. Reading starts at the nearest line start known
    // before `first` (a sparse index entry or a differing line). Throws FileChangedError.
    std::vector<LinePairSlice> linePairs(std::uint64_t first, std::uint64_t count,
                                         std::uint64_t firstColumn = 0,
                                         std::uint64_t maxColumns = UINT64_MAX) const;

    // The differing line pairs from `fromLine` on, in increasing order: at most `maxPairs` of
    // them, each as linePairs(line, 1, 0, maxColumns) gives it. Fewer when the text read so far
    // reaches LargeComparisonBuffers::batchCharacters, but at least one while any is left; empty
    // past the last. Each line is read where the pass found it, with a read sized to the longest
    // line and growing while the pairs asked for lie close together, so a batch costs about the
    // bytes of its lines, not of the lines between them. Memory grows with the text returned.
    // Throws FileChangedError when a file is not the one compared, or changes during the call.
    std::vector<LinePairSlice> differingPairs(std::uint64_t fromLine, std::uint64_t maxPairs,
                                              std::uint64_t maxColumns = UINT64_MAX) const;

    // The start of the nearest run of differing characters after `from` (forward) or before it
    // (backward), in reading order, if any. The runs are those of both files taken together: a
    // column where either line differs, whose previous column differs in neither. Reads the line
    // pair of `from` (when it differs) and the nearest differing pairs past it, each from its
    // start and side by side, with memory bounded by the buffers' sizes whatever the lines'
    // lengths, so a move costs about the bytes of those lines. Throws FileChangedError as
    // linePairs().
    std::optional<LineColumn> runFrom(LineColumn from, bool forward) const;

private:
    struct State;
    explicit LargeComparison(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace parvane
