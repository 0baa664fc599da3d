#pragma once

// The fields of a record layout as a report names them: the fields that the differing columns
// of a line pair fall in, over the whole line, and each field's value in both files as a report
// shows it.

#include "comparison/field_finder.h"
#include "comparison/file_comparison.h"
#include "comparison/record_layout.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace report_fields {

// A value is cut after so many characters, with "…".
inline constexpr std::size_t kMostValueCharacters = 200;

struct LineFields {
    const parvane::RecordType* type = nullptr; // none: the line is of no record type
    std::vector<parvane::FieldRun> runs;
};

LineFields of(const parvane::FileComparison& comparison, const parvane::RecordLayout& layout,
              const parvane::LinePairSlice& pair);

// The value of `field` in file `file` (1 or 2) of `pair`, in UTF-8, control and invisible
// characters escaped as the report escapes them; none when the file has no such line.
std::optional<std::string> value(const parvane::LinePairSlice& pair, int file,
                                 const parvane::LayoutField& field);

// "IMPORTE", or "DETALLE IMPORTE" in a layout of several record types.
std::string name(const parvane::RecordType& type, const parvane::LayoutField& field);

} // namespace report_fields
