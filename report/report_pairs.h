#pragma once

// The differing line pairs as a report goes over them: a batch at a time, each line up to
// kMaxReportedColumns, so that memory stays bounded however long a line is and the files are
// read once per batch, not once per line.

#include "comparison/file_comparison.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace report_pairs {

// The columns of a line that a report shows.
inline constexpr std::uint64_t kMaxReportedColumns = std::uint64_t{1} << 18;

// At most `maxPairs` of the differing line pairs from `fromLine` on (fewer when their text grows
// large, but at least one while any is left), each up to kMaxReportedColumns.
inline std::vector<parvane::LinePairSlice> reportedPairs(const parvane::FileComparison& comparison,
                                                         std::uint64_t fromLine,
                                                         std::uint64_t maxPairs) {
    return comparison.differingPairs(fromLine, maxPairs, kMaxReportedColumns);
}

// True when `pair`, read by reportedPairs(), leaves out columns of a longer line.
inline bool isCut(const parvane::LinePairSlice& pair) {
    return std::max(pair.length1, pair.length2) > pair.firstColumn + kMaxReportedColumns;
}

} // namespace report_pairs
