#pragma once

// A run of columns of a line, [first, last], both included; columns count from 0.

#include <cstdint>

namespace parvane {

struct ColumnRun {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    friend bool operator==(const ColumnRun&, const ColumnRun&) = default;
};

} // namespace parvane
