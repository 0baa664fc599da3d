#pragma once

// The values of a QScrollBar (an int) for positions over a whole file, which may be more than
// INT_MAX (lines of a file, or pixels across its longest line).
//
// Up to INT_MAX positions, a bar value is the position itself. Past that, the bar runs from 0 to
// INT_MAX and each value stands for the proportional position: 0 for the first, INT_MAX for the
// last, and toBar(fromBar(v)) == v for every value v, so that a bar set to where the views stand
// stays there. Positions past the last give the bar's maximum; negative values, the first
// position. A plain value type: nothing fails.

#include <cstdint>

class BarScale {
public:
    // A scale for the positions 0 to `last`.
    explicit BarScale(std::uint64_t last = 0) : last_(last) {}

    std::uint64_t last() const { return last_; }
    bool scaled() const;
    // The bar's maximum: the value of the last position.
    int barMaximum() const { return toBar(last_); }
    // The bar value that stands for `position` (the nearest at or below it when scaled).
    int toBar(std::uint64_t position) const;
    // The first position that the bar value `value` stands for.
    std::uint64_t fromBar(int value) const;
    // A step of `positions` (a page, say) in bar values, at least 1.
    int step(std::uint64_t positions) const;

private:
    std::uint64_t last_;
};
