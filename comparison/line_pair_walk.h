#pragma once

// The rule of what differs, applied to the bytes of a line pair: line k of one file against line
// k of the other, column by column, a column being one character. Two characters differ when
// their code points do; a column past the end of one line differs in the other. Each line is
// decoded as its file is (Decodings). When both files are decoded alike two characters are
// equal exactly when their bytes are, so stretches of equal bytes are passed over in bulk, and
// characters are decoded only where the bytes differ; decoded otherwise, equal ASCII bytes are
// still passed over in bulk, and other characters are decoded one by one. Under UTF-8 the bytes
// must be valid UTF-8 (a file's bytes are walked so only once the pass found them so; a walk of
// other bytes gives figures that are thrown away, never a fault).

#include "comparison/line_bytes.h"
#include "comparison/line_pair_slice.h"
#include "comparison/text_decoding.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace parvane {

// What a line pair comes to: each line's length in characters, its differing characters that
// count and, apart, those that the rules leave out.
struct PairCounts {
    std::uint64_t length1 = 0, length2 = 0;
    std::uint64_t differing1 = 0, differing2 = 0;
    std::uint64_t leftOut1 = 0, leftOut2 = 0;
};

PairCounts countPair(LineBytes& a, LineBytes& b, Decodings decodings);

// The characters of a line (what is left of it).
std::uint64_t countCharacters(LineBytes& bytes, Decoding decoding);
// The characters of valid UTF-8 bytes: those that are no continuation byte.
std::uint64_t countUtf8Characters(const unsigned char* bytes, std::size_t size);

// Up to `maxColumns` characters of a line from column `firstColumn` on, appended to `text`;
// returns the line's length in characters.
std::uint64_t sliceLine(LineBytes& bytes, Decoding decoding, std::uint64_t firstColumn,
                        std::uint64_t maxColumns, std::u32string& text);

// The differing columns of `text` (the columns from `firstColumn` on of a line) against `other`
// (the same columns of the other line, whose whole length is `otherLength`).
std::vector<ColumnRun> differingRuns(const std::u32string& text, const std::u32string& other,
                                     std::uint64_t otherLength, std::uint64_t firstColumn);

// Walks the two lines of a pair side by side from column `firstColumn`, where `a` and `b` stand,
// and calls `visit` with the edges of each run of differing columns of both lines together, in
// increasing order: (column, true) where a run starts (a column where they differ, after one
// where they do not) and, with `ends`, (column, false) at the run's last column. It stops when
// `visit` returns false or the walk has passed column `stopColumn`. From a column past 0 the walk
// cannot tell whether its first column starts a run: callers ignore that one. Once a line has
// ended, the rest of the other is one run.
using RunEdgeVisit = std::function<bool(std::uint64_t column, bool starts)>;
void visitRunEdges(LineBytes& a, LineBytes& b, Decodings decodings, std::uint64_t firstColumn,
                   const RunEdgeVisit& visit, std::uint64_t stopColumn = UINT64_MAX,
                   bool ends = false);

// Moves `bytes` on by `count` characters, or to its end.
void skipCharacters(LineBytes& bytes, Decoding decoding, std::uint64_t count);

} // namespace parvane
