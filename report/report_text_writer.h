#pragma once

// The report as Spanish text for a terminal or a script.
//
// write() gives what was compared, then every differing line pair (the first `maxLines` when
// given): its 1-based line number and differing columns ("Línea 12, columnas 3-5, 9:"), then
// each file's line with a row of ^ under its differing characters (placed by the terminal widths
// of the grapheme clusters before them, see report_characters.h), and at the end the totals.
// Identical files give only "Estos dos ficheros son idénticos". Characters that would disturb a
// terminal are escaped (see report_characters.h); a line longer than kPieceColumns is shown in
// pieces of that many columns, only the pieces that hold a difference.
//
// Throws what ReportOutput and the source throw.

#include "comparison/file_comparison.h"
#include "report/report_output.h"

#include <optional>

class ReportTextWriter {
public:
    static constexpr std::uint64_t kPieceColumns = 4096;
    static constexpr std::string_view kIdentical = "Estos dos ficheros son idénticos";

    static void write(ReportOutput& out, const parvane::FileComparison& source,
                      std::optional<std::uint64_t> maxLines);
    // What was compared and the totals only (or the line for identical files).
    static void writeSummary(ReportOutput& out, const parvane::FileComparison& source);
};
