#pragma once

// The fields of a record that the differing columns of a line pair fall in: add() takes the runs
// of differing columns (of either file, in any order) and found() gives, in the order of the
// columns, each field that holds any of them once, and the columns that fall outside every field
// as one run per gap between fields (from the first differing column of the gap to its last).
// Without a record type every run falls outside. Memory grows with the fields, not the runs.

#include "comparison/line_pair_slice.h"
#include "comparison/record_layout.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace parvane {

struct FieldRun {
    const LayoutField* field = nullptr; // none: columns outside every field
    ColumnRun columns;                  // the differing columns, when outside every field
};

class FieldFinder {
public:
    explicit FieldFinder(const RecordType* type);

    void add(ColumnRun run);
    std::vector<FieldRun> found() const;
    const RecordType* type() const { return type_; }

private:
    void addGap(std::size_t gap, std::uint64_t first, std::uint64_t last);

    const RecordType* type_;
    std::vector<bool> fields_;                   // whether field i differs
    std::vector<std::optional<ColumnRun>> gaps_; // gap i lies before field i; the last, after all
};

} // namespace parvane
