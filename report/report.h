#pragma once

// The report mode for scripts: compares two files without any window and writes what differs
// to a stream, as Spanish text or as JSON, and optionally as an HTML page to a file.
//
// Report::write() returns the exit status: 0 identical, 1 different, 2 trouble. Trouble is a
// file that cannot be compared (the engine's FileError or, without `unlimited`, OverflowError,
// whose messages are those the window shows), a page that cannot be written, or a failed write
// to `out`; its Spanish message goes to `err`, one line. When the reader of `out` goes away
// (a closed pipe) the report stops quietly and the comparison's status is returned.
//
// The comparison is the engine's (file_comparison.h), with the window's display limits unless
// `unlimited`; either way memory stays bounded and the report is written as it goes, never held
// whole. write() ignores SIGPIPE for the rest of the process (the report then
// sees EPIPE instead of being killed); it needs no QApplication and opens no display.
//
// With `html`, the page goes to that file and `out` gets only the summary: what was compared and
// the totals. The file is checked before the comparison and written as ReportHtmlFile says
// (whole or not at all where the system allows it); one of the files compared, and other files
// that must not be lost, are refused. A page that goes to `out` itself (`/dev/stdout`) is all
// `out` gets. Neither stream is closed.
//
// With a record layout (record_layout.h), read before the comparison, each form names the fields
// of every differing line and ends with the fields that differ; a layout that cannot be read or
// is malformed is trouble, with the layout's message.
//
// With rules (comparison_rules.h; a layout's field flags join them) what they leave out does not
// count: only what counts is listed (with `showLeftOut`, what is left out too, marked), what is
// left out is counted apart, and files that differ only in it are identical (status 0).

#include "comparison/comparison_rules.h"
#include "comparison/text_decoding.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>

struct ReportRequest {
    enum class Format { Text, Json };

    std::filesystem::path file1, file2;
    Format format = Format::Text;
    std::optional<std::uint64_t> maxLines; // list at most this many differing line pairs
    std::filesystem::path html;            // empty: no page
    bool unlimited = false;                // no size limits (the pass for big files)
    std::optional<parvane::DecodingChoices> decodings; // how to decode each file; none: alike
    std::filesystem::path layout;   // a record layout whose fields the report names; empty: none
    parvane::ComparisonRules rules; // what the comparison leaves out
    bool showLeftOut = false;       // list what is left out too
};

class Report {
public:
    static int write(const ReportRequest& request, std::FILE* out, std::FILE* err);
};
