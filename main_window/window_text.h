#pragma once

// What one view shows of a window of a comparison: from the line pairs the engine gives for the
// window (parvane::LinePairSlice), the lines of one file, each followed by CR LF as a display
// text makes them (a line the file does not have is not there), with the runs of its differing
// characters (those that count, and apart those left out), where each line starts and how long each
// whole line is. Made from the slices alone, it touches no widget, so it may be made on any thread.

#include "comparison/line_pair_slice.h"
#include "main_window/shown_text.h"

#include <QString>

#include <cstdint>
#include <vector>

struct WindowText {
    QString text;
    std::vector<OffsetRun> red;             // the differing characters that count, increasing
    std::vector<OffsetRun> leftOut;         // those that the comparison's rules leave out
    std::vector<int> lineStarts;            // the offset of each line, then the end of the text
    std::vector<std::uint64_t> lineLengths; // the whole lines' lengths in characters

    // The window of file `file` (1 or 2) that `slices` hold, from their first column on.
    static WindowText of(const std::vector<parvane::LinePairSlice>& slices, int file);
};
