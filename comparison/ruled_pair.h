#pragma once

// The rules of what a comparison leaves out (comparison_rules.h) applied to one line pair, both
// lines read whole and decoded. A column differs, as always, when the characters there differ
// or one line has ended; the rules only say whether each such character counts or is left out.
// In file f a differing character at column c is left out when c is in a column range, in a
// field marked `ignorar`, or where a pattern matches in either line; when it is a blank at the
// end of its line (trailing blanks) or of its field (`sin-blancos-finales`); or when the other
// line's character there, not itself such a blank, folds to the same (case, `sin-mayusculas`).
// Otherwise it counts. The first of these reasons is the one given.
//
// Memory grows with the lines; one RuledPair is meant to be applied to pair after pair.

#include "comparison/comparison_rules.h"
#include "comparison/line_pair_slice.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parvane {

class RuledPair {
public:
    // The rules must outlive this.
    explicit RuledPair(const ComparisonRules& rules) : rules_(rules) {}

    // Applies the rules to the lines of a pair (a missing line is empty, and has no record type).
    void apply(std::u32string_view line1, std::u32string_view line2, bool has1 = true,
               bool has2 = true);

    // For file `f` (0 or 1), as the last apply() found them: the runs of differing columns that
    // count, and of those left out, increasing; and how many characters are in each.
    const std::vector<ColumnRun>& counted(int f) const { return sides_[f].counted; }
    const std::vector<ColumnRun>& leftOut(int f) const { return sides_[f].leftOut; }
    std::uint64_t countedCharacters(int f) const { return sides_[f].countedCharacters; }
    std::uint64_t leftOutCharacters(int f) const { return sides_[f].leftOutCharacters; }
    // The columns where either file has a character that counts, as increasing runs.
    std::vector<ColumnRun> countedTogether() const;
    // Why column `column` of file `f` is left out; none when it is not.
    std::optional<Omission> omission(int f, std::uint64_t column) const;

private:
    struct Side {
        std::vector<ColumnRun> counted, leftOut;
        std::vector<std::pair<ColumnRun, Omission>> why; // leftOut, cut where the reason changes
        std::uint64_t countedCharacters = 0, leftOutCharacters = 0;
        std::uint64_t blanksFrom = 0; // where the line's trailing blanks start
        // The field whose own trailing blanks were found last, and where they start.
        const LayoutField* blankField = nullptr;
        std::uint64_t fieldBlanksFrom = 0;
    };

    void findPatterns(std::array<std::u32string_view, 2> lines, std::uint64_t columns);
    bool inRanges(std::uint64_t column);
    bool absent(int f, std::u32string_view line, std::uint64_t column, const LayoutField* field);

    const ComparisonRules& rules_;
    std::array<Side, 2> sides_;
    std::size_t range_ = 0;           // the column range looked at last
    std::vector<int> patternAt_;      // by column: the first pattern that matches there, or -1
    std::vector<ColumnRun> matches_;  // scratch
    std::vector<std::size_t> starts_; // scratch: where each character's UTF-8 starts
    std::string utf8_;                // scratch
};

} // namespace parvane
