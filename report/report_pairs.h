#pragma once

// The differing line pairs as a report goes over them: a batch at a time, each line's text up to
// kMaxReportedColumns, so that memory stays bounded however long a line is and the files are
// read once per batch, not once per line; and every run of differing columns of a pair, past
// that cut too.

#include "comparison/file_comparison.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace report_pairs {

// The columns of a line whose text a report shows.
inline constexpr std::uint64_t kMaxReportedColumns = std::uint64_t{1} << 18;

// At most `maxPairs` of the differing line pairs from `fromLine` on (fewer when their text grows
// large, but at least one while any is left), each up to kMaxReportedColumns.
std::vector<parvane::LinePairSlice> reportedPairs(const parvane::FileComparison& comparison,
                                                  std::uint64_t fromLine, std::uint64_t maxPairs);

// True when `pair` leaves out columns of a longer line.
bool isCut(const parvane::LinePairSlice& pair);

// True when `pair` differs in something that counts (not only in what the rules leave out).
bool counts(const parvane::FileComparison& comparison, const parvane::LinePairSlice& pair);

// The line pairs from `fromLine` on that differ in anything, what counts or what the rules leave
// out: at most `maxPairs`, read a batch of line pairs at a time (every line pair is read, so
// this costs about a pass over the files), each up to kMaxReportedColumns; empty past the last.
std::vector<parvane::LinePairSlice> pairsWithLeftOut(const parvane::FileComparison& comparison,
                                                     std::uint64_t fromLine,
                                                     std::uint64_t maxPairs);

// Calls `visit` with every run of differing columns of `pair` in file `file` (1 or 2; 0 for both
// files together), in increasing order, over the whole line: for a cut pair they are read again
// from the files, a run at a time.
void forEachRun(const parvane::FileComparison& comparison, const parvane::LinePairSlice& pair,
                int file, const std::function<void(parvane::ColumnRun)>& visit);

} // namespace report_pairs
