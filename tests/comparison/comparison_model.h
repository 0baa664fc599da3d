#pragma once

// A deliberately plain model of the comparison: whole texts, whole lines and every column
// looked at, with no shortcut for large files. The engine's tests and its fuzz target hold the
// engine against it; both build it without GoogleTest.
//
// model() gives what a comparison of two files' bytes must come to; disagreement() holds a
// FileComparison (and compareFiles()'s result) against it and names the first difference found.

#include "comparison/comparison.h"
#include "comparison/file_comparison.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace parvane::test {

// Why the display limits refuse a comparison, and for which file (0 or 1). The engine names the
// first limit it meets; every limit the files pass is a right answer.
enum class Refusal {
    TextTooLarge, // the file's own text does not fit
    LineTooLong,  // the file has a line that does not fit
    TooLargeWith, // the file fits alone, not with a line break for each line the other adds
};
struct RefusalOf {
    Refusal kind;
    int file;
    friend bool operator==(const RefusalOf&, const RefusalOf&) = default;
};

struct ModelFile {
    std::vector<std::u32string> lines;
    FileTraits traits;
    std::uint64_t longest = 0;
    std::string display;          // every line followed by CR LF, as UTF-8
    std::vector<int> differences; // 1-based positions in `display`, each line break taking two
};

struct Model {
    Decodings decodings{Decoding::Utf8, Decoding::Utf8};
    std::array<ModelFile, 2> files;
    std::vector<std::array<std::vector<ColumnRun>, 2>> runs;    // of each line pair, in each file
    std::vector<std::array<std::vector<ColumnRun>, 2>> leftOut; // what the rules leave out
    ComparisonTotals totals;
    std::vector<std::uint64_t> differingLines;
    std::optional<ShiftHint> shift;
    std::vector<LineColumn> runStarts; // of both files together, in reading order
    std::vector<RefusalOf> refusals;   // empty when the display limits hold the files
    // The first file (0 or 1) whose byte-order mark announces UTF-16 or UTF-32, which is refused.
    std::optional<int> unreadFile;
    // The first file (0 or 1) told to be UTF-8 that is not, which is refused.
    std::optional<int> notUtf8File;

    std::uint64_t pairCount() const { return runs.size(); }
};

// `choices`: how each file is to be decoded, as ComparisonOptions::decodings says; `rules`: what
// the comparison leaves out, as comparison_rules.h says it (then `differences` and the display
// limits are those of the comparison without rules, which compareFiles() makes).
Model model(const std::string& bytes1, const std::string& bytes2,
            std::optional<std::array<DecodingChoice, 2>> choices = std::nullopt,
            const ComparisonRules& rules = {});

// Which refusal an OverflowError's message gives for files `file1` and `file2`; none when it is
// not one of the three.
std::optional<RefusalOf> refusalIn(const std::string& message, const std::filesystem::path& file1,
                                   const std::filesystem::path& file2);

// How thoroughly disagreement() looks.
struct Thoroughness {
    std::uint64_t batch = 2; // differing pairs read a batch of so many at a time
    bool everyPlace =
        true; // linePairs() and runFrom() from every line (and column), or near some runs
    std::uint64_t windowSeed = 0; // 0, or a seed for a few windows of columns
};

// The first way `comparison` differs from `expected`, in words; none when it agrees.
std::optional<std::string> disagreement(const FileComparison& comparison, const Model& expected,
                                        const Thoroughness& thoroughness = {});
// The same for compareFiles()' result (display texts, positions, traits).
std::optional<std::string> disagreement(const Comparison& comparison, const Model& expected);

} // namespace parvane::test
