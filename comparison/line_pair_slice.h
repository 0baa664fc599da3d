#pragma once

// What a comparison tells of a line pair: lines and columns count from 0, a column being one
// character (code point) of the decoded line. Line pair k holds line k of each file, or nothing
// for a file that has fewer lines; a missing line is compared as an empty one.

#include "comparison/column_run.h"

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

namespace parvane {

// A line pair and a column of it.
struct LineColumn {
    std::uint64_t line = 0;
    std::uint64_t column = 0;
    friend auto operator<=>(const LineColumn&, const LineColumn&) = default;
};

// Part of line pair `line`: the characters of each line from `firstColumn` on (at most the
// columns asked for), and the runs of differing columns of each file that fall in that part,
// increasing: those that count, and apart those that the comparison's rules leave out (always
// empty without rules).
struct LinePairSlice {
    std::uint64_t line = 0;
    bool has1 = false, has2 = false;        // whether each file has line k
    std::uint64_t length1 = 0, length2 = 0; // the whole lines' lengths in characters
    std::uint64_t firstColumn = 0;
    std::u32string text1, text2;
    std::vector<ColumnRun> runs1, runs2;
    std::vector<ColumnRun> leftOut1, leftOut2;
};

} // namespace parvane
