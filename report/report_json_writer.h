#pragma once

// The report as one JSON document (UTF-8), written as it goes: what was compared, the decoding,
// the totals and, per differing line pair, its 1-based number and each file's length and runs
// of differing columns as 1-based [first, last] pairs (null for a file without that line). With
// `maxLines`, only the first that many pairs are listed and "truncated" says whether some were
// left out. docs/report.md shows the shape.
//
// Throws what ReportOutput and the source throw; the document is then unfinished.

#include "report/report_output.h"
#include "report/report_source.h"

#include <optional>
#include <string>
#include <string_view>

class ReportJsonWriter {
public:
    static void write(ReportOutput& out, const ReportSource& source,
                      std::optional<std::uint64_t> maxLines);
    // The same without the line pairs, naming the page `html` written beside it.
    static void writeSummary(ReportOutput& out, const ReportSource& source,
                             const std::filesystem::path& html);

    // `text` (UTF-8) as a JSON string, quotes included.
    static std::string quote(std::string_view text);
};
