#pragma once

// The differing line pairs as a report goes over them: a batch at a time, each line's text up to
// kMaxReportedColumns, so that memory stays bounded however long a line is and the files are
// read once per batch, not once per line; and every run of differing columns of a pair, past
// that cut too.

#include "comparison/field_tally.h"
#include "comparison/file_comparison.h"
#include "report/report_output.h"

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

// Writes pair `index` (from 0) of those a report lists into `out`, counting its fields in `tally`
// when there is one.
using WritePair = std::function<void(ReportOutput& out, parvane::LinePairSlice& pair,
                                     std::uint64_t index, parvane::FieldTally* tally)>;

// Calls `write` for each of the first `limit` line pairs that differ (`withLeftOut`: in anything,
// as pairsWithLeftOut() finds them), in order, and returns how many there were. Reading them
// back costs about as much as writing them: the differing pairs go a chunk at a time, two chunks
// at once, the later one written on a thread of its own into memory (with a tally of its own,
// added to `tally`, of `layout`) and then handed to `out`. Errors reach the caller in the order
// the pairs are listed.
std::uint64_t writePairs(ReportOutput& out, const parvane::FileComparison& comparison,
                         bool withLeftOut, std::uint64_t limit, const parvane::RecordLayout* layout,
                         parvane::FieldTally* tally, const WritePair& write);

// Calls `visit` with every run of differing columns of `pair` in file `file` (1 or 2; 0 for both
// files together), in increasing order, over the whole line: for a cut pair they are read again
// from the files, a run at a time.
void forEachRun(const parvane::FileComparison& comparison, const parvane::LinePairSlice& pair,
                int file, const std::function<void(parvane::ColumnRun)>& visit);

} // namespace report_pairs
