#pragma once

// The report as one self-contained HTML page (UTF-8, no outside resources, scripts forbidden by
// its content security policy): what was compared, the totals, and both files side by side with
// line numbers, differing characters in red. Every character of the files is escaped, and
// control and invisible characters are shown as their escapes (see report_characters.h).
//
// Small comparisons show every line pair. From the pass without limits, with more than
// kMaxFullPairs line pairs, or when `maxLines` leaves differing pairs out, the page shows only
// the differing pairs (the first `maxLines`) with kContextLines pairs around each, and says so
// at the top; it then cuts lines after kMaxColumns characters, saying how many were left out.
//
// With a record layout, a column names the fields that differ in each differing line pair, and a
// table at the end gives the lines in which each field differs.
//
// Throws what ReportOutput and the source throw.

#include "comparison/file_comparison.h"
#include "comparison/record_layout.h"
#include "report/report_output.h"

#include <optional>

class ReportHtmlWriter {
public:
    static constexpr std::uint64_t kMaxFullPairs = 10000;
    static constexpr std::uint64_t kContextLines = 3;
    static constexpr std::uint64_t kMaxColumns = 10000;

    static void write(ReportOutput& out, const parvane::FileComparison& source,
                      std::optional<std::uint64_t> maxLines,
                      const parvane::RecordLayout* layout = nullptr);
};
