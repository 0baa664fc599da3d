#pragma once

// One positional comparison of two files, made by one pass over both (FileComparison::run()).
//
// The pass cuts both files into lines (line_reader.h), decides their decoding (text_decoding.h),
// compares line k of file 1 with line k of file 2 column by column (line_pair_walk.h), counts
// what differs and notes what a later reader needs. With the display limits (the default) it
// refuses, with OverflowError, files that a display text with 16-bit positions cannot hold
// (comparison_limits.h); `unlimited` compares files of any size. Its memory grows with the
// number of lines at most (a sparse index of line starts, the differing line pairs, 8 bytes each,
// with where the first of each stretch of consecutive ones starts in both files, and the bytes of
// the first differing pairs up to ReadSizes::keptBytes), never with the size of a line or the
// number of differing characters. Files are read in bounded pieces (never
// mapped) and are closed when run() returns.
//
// The result gives the decoding, each file's traits, the totals, a hint of a shifted file
// (shift_watch.h), the differing line pairs and navigation between them, and parts of any line
// pairs, read again from the files on demand: each read checks that the file is still the one
// compared (same device, inode, size and modification and change times). Lines and columns
// count from 0 (line_pair_slice.h).
//
// Failures throw (comparison_error.h), with a Spanish message naming the file: FileError for a
// path that is not a readable regular file, OverflowError past the display limits,
// FileChangedError for a file that changes during the pass or since, ComparisonCancelled when
// the progress callback asks to stop. A result is safe to read from one thread at a time.

#include "comparison/comparison_error.h"
#include "comparison/comparison_rules.h"
#include "comparison/file_traits.h"
#include "comparison/line_pair_slice.h"
#include "comparison/shift_hint.h"
#include "comparison/text_decoding.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace parvane {

// What a whole comparison found. Characters are those that a view colours. Differing characters
// that the rules leave out (comparison_rules.h) are counted apart, and do not make a line pair
// differ: with no rule those counts are 0.
struct ComparisonTotals {
    std::uint64_t differingCharacters1 = 0; // in file 1
    std::uint64_t differingCharacters2 = 0; // in file 2
    std::uint64_t differingLines = 0;       // line pairs with at least one differing character
    std::uint64_t linesOnlyIn1 = 0;         // lines of file 1 past the end of file 2
    std::uint64_t linesOnlyIn2 = 0;         // lines of file 2 past the end of file 1
    std::uint64_t leftOutCharacters1 = 0;   // differing characters left out, in file 1
    std::uint64_t leftOutCharacters2 = 0;   // in file 2
    std::uint64_t leftOutLines = 0;         // line pairs that differ only in what is left out
};

// The sizes a comparison reads with and indexes by. Tests make them tiny, so that every buffer
// boundary and index step occurs in small files.
struct ReadSizes {
    std::size_t pass = std::size_t{2} << 20;    // bytes of each file held during the pass (>= 2)
    std::size_t slice = std::size_t{256} << 10; // bytes held when reading line pairs back
    std::size_t stream = std::size_t{64} << 10; // pieces of a line longer than those (>= 4)
    std::uint64_t indexLines = 1024;            // a line start is indexed every so many lines,
    std::uint64_t indexBytes = std::uint64_t{1} << 20; // or after so many bytes
    // differingPairs() starts no more pairs once it holds so many characters (>= 1).
    std::uint64_t batchCharacters = std::uint64_t{1} << 20;
    // A line of at least so many bytes is noted by the pass (where it starts and ends, and where
    // every so many columns of it start), so that a part of it is read without the rest (>= 1).
    std::uint64_t longLineBytes = std::uint64_t{64} << 10;
    std::uint64_t checkpointColumns = std::uint64_t{1} << 20;
    // The pass keeps the bytes of differing line pairs, so many in all at most (what notes each
    // pair included), for differingPairs() to read back without reading the files; none by
    // default. A reader of every differing pair (the report) asks for kKeptForReading.
    std::uint64_t keptBytes = 0;
    static constexpr std::uint64_t kKeptForReading = std::uint64_t{24} << 20;
    // Files of at least so many bytes each are compared without limits in two halves, each on a
    // thread of its own, when their lines are found in step where file 1's second half starts.
    std::uint64_t halvesFrom = std::uint64_t{32} << 20;
};

struct ComparisonOptions {
    // Called now and then during the pass (at least every 50 ms of work) with the bytes read so
    // far and in all; returning false stops the pass with ComparisonCancelled.
    using Progress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

    bool unlimited = false; // no display limits
    ReadSizes sizes;
    Progress progress;
    // How to decode file 1 and file 2; none: both alike, as text_decoding.h says. A file told to
    // be UTF-8 that is not is refused with FileError.
    std::optional<DecodingChoices> decodings;
    // What the comparison leaves out; none by default. The pass applies them to every line pair
    // whose bytes differ, reading both of its lines whole.
    ComparisonRules rules;
};

class FileComparison {
public:
    static FileComparison run(const std::filesystem::path& file1,
                              const std::filesystem::path& file2,
                              const ComparisonOptions& options = {});

    FileComparison(FileComparison&&) noexcept;
    FileComparison& operator=(FileComparison&&) noexcept;
    ~FileComparison();

    // `file` is 1 or 2 wherever it is asked for.
    const std::filesystem::path& path(int file) const;
    bool unlimited() const;
    Decoding decoding(int file) const;
    const FileTraits& traits(int file) const;
    std::uint64_t lineCount(int file) const;
    std::uint64_t pairCount() const { return std::max(lineCount(1), lineCount(2)); }
    std::uint64_t longestLine(int file) const; // in characters
    const ComparisonTotals& totals() const;
    // No line pair differs in anything that counts.
    bool identical() const { return totals().differingLines == 0; }
    // The rules the comparison was made with.
    const ComparisonRules& rules() const;
    // Why the character at `column` of line pair `line` in file `file` is left out; none when it
    // is not (it is equal, counts, or is past its line). Reads the pair again, whole.
    std::optional<Omission> omission(std::uint64_t line, int file, std::uint64_t column) const;
    // Whether one file seems shifted against the other, within the differing line pairs (a
    // record missing or added); the first place found.
    const std::optional<ShiftHint>& shift() const;

    // The differing line pairs (those where something that counts differs), in increasing order.
    std::uint64_t differingLineCount() const { return totals().differingLines; }
    // The first differing line pair after / before `line`, if any.
    std::optional<std::uint64_t> nextDifferingLine(std::uint64_t line) const;
    std::optional<std::uint64_t> previousDifferingLine(std::uint64_t line) const;
    std::optional<std::uint64_t> firstDifferingLine() const;
    std::optional<std::uint64_t> lastDifferingLine() const;
    // How many differing line pairs come before `line` (so a differing line's index, from 0).
    std::uint64_t differingLinesBefore(std::uint64_t line) const;
    // The differing line pair of index `index` (from 0), if any.
    std::optional<std::uint64_t> differingLine(std::uint64_t index) const;

    // `count` line pairs from `first` on (fewer at the end), each from column `firstColumn` on,
    // at most `maxColumns` columns of each line. Reading starts at the nearest line start known
    // before `first` (an index entry or a differing line). With rules, a pair whose columns
    // differ is read again whole to apply them.
    std::vector<LinePairSlice> linePairs(std::uint64_t first, std::uint64_t count,
                                         std::uint64_t firstColumn = 0,
                                         std::uint64_t maxColumns = UINT64_MAX) const;

    // The differing line pairs from `fromLine` on, in increasing order: at most `maxPairs` of
    // them, each as linePairs(line, 1, 0, maxColumns) gives it. Fewer when the text read so far
    // reaches ReadSizes::batchCharacters, but at least one while any is left; empty past the
    // last. Each line is read where the pass found it, so a batch costs about the bytes of its
    // lines, not of the lines between them. Memory grows with the text returned.
    std::vector<LinePairSlice> differingPairs(std::uint64_t fromLine, std::uint64_t maxPairs,
                                              std::uint64_t maxColumns = UINT64_MAX) const;

    // Calls `visit` with every run of differing columns of line pair `line`, both files taken
    // together (a column where either line differs), over the whole pair, in increasing order:
    // the runs of one file are those that fall within its line. Memory stays bounded by the read
    // sizes whatever the lines' lengths and the number of runs.
    void visitDifferingRuns(std::uint64_t line, const std::function<void(ColumnRun)>& visit) const;

    // The start of the nearest run of differing characters after `from` (forward) or before it
    // (backward), in reading order, if any. The runs are those of both files taken together: a
    // column where either line differs, whose previous column differs in neither. Memory stays
    // bounded by the read sizes whatever the lines' lengths; a move costs about the bytes of the
    // lines it passes.
    std::optional<LineColumn> runFrom(LineColumn from, bool forward) const;

    struct State;

private:
    explicit FileComparison(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace parvane
