#pragma once

// The report as one JSON document (UTF-8), written as it goes: what was compared, the decoding,
// the totals and, per differing line pair, its 1-based number and each file's length and runs
// of differing columns as 1-based [first, last] pairs (null for a file without that line). With
// `maxLines`, only the first that many pairs are listed and "truncated" says whether some were
// left out. File names are given exactly (see name()). docs/report.md shows the shape.
//
// With a record layout, each line pair also has "fields": its record type and, for each field
// its differing columns fall in, the field's name, columns and value in both files (and the
// differing columns outside every field), and the document ends with "fieldTotals": the lines in
// which each field differs.
//
// With rules (comparison_rules.h) the document lists them ("rules"), the totals count what was
// left out, and each side of a line pair has "runs": every run of differing columns with its
// status, "counted" or "leftOut" ("columns" keeps those that count). With `showLeftOut` the line
// pairs that differ only in what is left out are listed too.
//
// Throws what ReportOutput and the source throw; the document is then unfinished.

#include "comparison/file_comparison.h"
#include "comparison/record_layout.h"
#include "report/report_output.h"

#include <optional>
#include <string>
#include <string_view>

class ReportJsonWriter {
public:
    static void write(ReportOutput& out, const parvane::FileComparison& source,
                      std::optional<std::uint64_t> maxLines,
                      const parvane::RecordLayout* layout = nullptr, bool showLeftOut = false);
    // The same without the line pairs, naming the page `html` written beside it.
    static void writeSummary(ReportOutput& out, const parvane::FileComparison& source,
                             const std::filesystem::path& html,
                             const parvane::RecordLayout* layout = nullptr);

    // `text` (UTF-8) as a JSON string, quotes included: control characters (C0, DEL, C1) are
    // escaped, everything else is as it is.
    static std::string quote(std::string_view text);
    // A file name as JSON: a string of its characters when its bytes are UTF-8, else an array of
    // its bytes as numbers, so that every name is told from every other.
    static std::string name(std::string_view bytes);
};
