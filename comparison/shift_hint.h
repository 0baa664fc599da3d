#pragma once

// A hint that one file seems shifted against the other: from line pair `line` (0-based) on, the
// lines of one file equal those of the other `lines` (1 to 3) further on, so that file `lacking`
// (1 or 2) seems to lack that many lines. The comparison stays positional: this only says why
// so many lines differ.

#include <cstdint>

namespace parvane {

struct ShiftHint {
    std::uint64_t line = 0;
    int lines = 0;
    int lacking = 0;
    bool operator==(const ShiftHint&) const = default;
};

} // namespace parvane
