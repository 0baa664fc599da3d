#pragma once

// What a comparison keeps once its pass is over (comparison_pass.h makes it, file_comparison.cpp
// reads the files back with it). Internal to the engine.

#include "comparison/file_comparison.h"
#include "comparison/kept_pairs.h"
#include "comparison/line_pair_walk.h"
#include "comparison/line_reader.h"
#include "comparison/ruled_pair.h"
#include "comparison/source_file.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace parvane {

struct IndexEntry {
    std::uint64_t line = 0;
    std::uint64_t offset = 0;
};

// A line the pass noted for its length: where it starts, its bytes (without the line break),
// where the next line starts (UINT64_MAX after the last), its characters under UTF-8 and the byte
// (from the line's start) where each column that is a multiple of `columnsApart` starts under
// UTF-8.
struct LongLine {
    std::uint64_t line = 0;
    std::uint64_t start = 0;
    std::uint64_t length = 0;
    std::uint64_t next = UINT64_MAX;
    std::uint64_t characters = 0;
    std::uint64_t columnsApart = 1;
    std::vector<std::uint64_t> checkpoints; // for columns 0, columnsApart, ... below characters
};

// What the pass keeps of one file.
struct FileRecord {
    std::filesystem::path path;
    FileIdentity identity;
    std::shared_ptr<const std::string> held; // the bytes, for a file the pass held whole
    FileTraits traits;
    std::uint64_t lines = 0;
    std::uint64_t longest = 0;       // in characters
    std::uint64_t longestBytes = 0;  // without the line break
    std::vector<IndexEntry> index;   // the start of line 0, then sparse line starts
    std::vector<LongLine> longLines; // by increasing line

    const LongLine* longLine(std::uint64_t k) const;
};

// Where the first differing line pair of a stretch of consecutive ones (and line pair 1, when it
// differs) starts in files 1 and 2: bytes after the offset of the file's last index entry at or
// before that line (kNoStart for a missing line). The other lines of a stretch start where the
// line before ends: a pair costs 8 bytes then, not 16.
struct DifferingStart {
    static constexpr std::uint32_t kNoStart = UINT32_MAX;
    std::uint64_t line = 0;
    std::array<std::uint32_t, 2> start{};
};

struct FileComparison::State {
    std::array<FileRecord, 2> files;
    Decodings decodings{Decoding::Utf8, Decoding::Utf8};
    bool unlimited = false;
    ReadSizes sizes;
    ComparisonRules rules;
    ComparisonTotals totals;
    // A deque, whose growth never holds two copies of it.
    std::deque<std::uint64_t> differing;
    std::vector<DifferingStart> differingStarts; // by increasing line
    KeptPairs kept;
    std::optional<ShiftHint> shift;

    // Line `k` of file `f` (0 or 1) as a reader gives it, cut to its text: the first line of a
    // file with a byte-order mark starts after it under UTF-8.
    Line textOf(int f, std::uint64_t k, const Line& line) const;
    // The known line start of file `f` nearest before line `line`, which that file has: its last
    // index entry at or before it, a noted long line's end, or a differing line between them.
    IndexEntry nearestStart(int f, std::uint64_t line) const;
    // The recorded start of differing line pair `line`, if any.
    const DifferingStart* recordedStart(std::uint64_t line) const;
    // Calls `visit` with the edges of the runs of line pair `line` from `fromColumn` on
    // (visitRunEdges(), their ends too with `ends`), up to about `stopColumn`. A long line is
    // entered at its checkpoint before `fromColumn`.
    void visitRuns(std::uint64_t line, const RunEdgeVisit& visit, std::uint64_t fromColumn = 0,
                   std::uint64_t stopColumn = UINT64_MAX, bool ends = false) const;
    // The columns of the longer line of pair `line` when one of them is long (noted by the
    // pass), else 0.
    std::uint64_t longColumns(std::uint64_t line) const;
    // `count` line pairs from `first` on, as FileComparison::linePairs() gives them without
    // rules: every differing column in runs1 and runs2.
    std::vector<LinePairSlice> readPairs(std::uint64_t first, std::uint64_t count,
                                         std::uint64_t firstColumn, std::uint64_t maxColumns) const;
    // Applies the rules to `slice`, whose runs are those of readPairs(): those that count stay,
    // those left out move to leftOut1 and leftOut2. A part of a pair is read again whole.
    void applyRules(LinePairSlice& slice, RuledPair& ruled) const;
    // Line pair `line` read whole, with the rules applied to it.
    void rulePair(std::uint64_t line, RuledPair& ruled) const;
};

} // namespace parvane
