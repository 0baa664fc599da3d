#pragma once

// A run of columns of a line, [first, last], both included; columns count from 0.

#include <algorithm>
#include <cstdint>
#include <vector>

namespace parvane {

struct ColumnRun {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    friend bool operator==(const ColumnRun&, const ColumnRun&) = default;
};

// The runs of both `a` and `b`, in any order, merged where they overlap or touch, increasing.
inline std::vector<ColumnRun> unite(const std::vector<ColumnRun>& a,
                                    const std::vector<ColumnRun>& b) {
    std::vector<ColumnRun> all(a);
    all.insert(all.end(), b.begin(), b.end());
    std::sort(all.begin(), all.end(),
              [](const ColumnRun& x, const ColumnRun& y) { return x.first < y.first; });
    std::vector<ColumnRun> united;
    for (const ColumnRun& run : all) {
        if (!united.empty() && run.first <= united.back().last + 1) {
            united.back().last = std::max(united.back().last, run.last);
        } else {
            united.push_back(run);
        }
    }
    return united;
}

} // namespace parvane
