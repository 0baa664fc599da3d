#pragma once

// The report as Spanish text for a terminal or a script.
//
// write() gives what was compared, then every differing line pair (the first `maxLines` when
// given): its 1-based line number and differing columns ("Línea 12, columnas 3-5, 9:"), then
// each file's line with a row of ^ under its differing characters (placed by the terminal widths
// of the grapheme clusters before them, see report_characters.h), and at the end the totals.
// Identical files give only "Estos dos ficheros son idénticos" (and, when they differ in what the
// rules leave out, a line that counts it). Characters that would disturb a
// terminal are escaped (see report_characters.h); a line longer than kPieceColumns is shown in
// pieces of that many columns, only the pieces that hold a difference.
//
// With a record layout, each differing line pair is followed by the fields its differing columns
// fall in, a line each with both values ("Línea 5, campo IMPORTE (41-52): 000001234,50 →
// 000001243,50"), and the report ends with the fields that differ and in how many lines each.
//
// With rules (comparison_rules.h) the header lists them, the line pairs show only what counts
// and the totals count what was left out apart; with `showLeftOut` the pairs that differ only in
// what is left out are listed too, and what is left out is marked with ~ ("; omitido: columnas
// 1-8", "solo omitido: columnas 1-8").
//
// Throws what ReportOutput and the source throw.

#include "comparison/file_comparison.h"
#include "comparison/record_layout.h"
#include "report/report_output.h"

#include <optional>

class ReportTextWriter {
public:
    static constexpr std::uint64_t kPieceColumns = 4096;
    static constexpr std::string_view kIdentical = "Estos dos ficheros son idénticos";

    static void write(ReportOutput& out, const parvane::FileComparison& source,
                      std::optional<std::uint64_t> maxLines,
                      const parvane::RecordLayout* layout = nullptr, bool showLeftOut = false);
    // What was compared and the totals only (or the line for identical files).
    static void writeSummary(ReportOutput& out, const parvane::FileComparison& source,
                             const parvane::RecordLayout* layout = nullptr);
};
