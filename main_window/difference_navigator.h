#pragma once

// Where the next and previous difference lie from a caret, and the short note that says which
// difference the caret stands on. Differences are taken by line (the lines that hold a difference
// in either file) and by run (the differing characters next to each other in one line, in either
// file). The navigator holds copies of both; it knows nothing of views and never fails: with
// nothing to go to, the answer is empty.

#include "main_window/text_grid.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

class DifferenceNavigator {
public:
    enum class Direction { Forward, Backward };

    // `lines`: 0-based, increasing. `cells`: the differing cells of both files, in any order.
    void setDifferences(std::vector<int> lines, std::vector<TextCell> cells);
    void clear();
    bool compared() const { return compared_; }

    const std::vector<int>& lines() const { return lines_; }
    // The first cell of each run of differing cells, in order.
    const std::vector<TextCell>& runStarts() const { return runStarts_; }

    std::optional<int> firstLine() const;
    std::optional<int> lastLine() const;
    // The first run that starts after `caret`, or the last one that starts before it.
    std::optional<TextCell> runFrom(TextCell caret, Direction direction) const;

    // "Diferencia 3 de 17 · línea 45" when `line` holds a difference, with ", columna 7" when a
    // column is given; otherwise what is left in `direction`: "Ninguna diferencia más abajo", or
    // "No hay diferencias" at all.
    QString noteAt(int line, std::optional<int> column, Direction direction) const;
    // The same note for any count of differences: `index` (0-based) of the difference on `line`,
    // none when `line` holds none, among `total`.
    static QString note(std::optional<std::uint64_t> index, std::uint64_t total, std::uint64_t line,
                        std::optional<std::uint64_t> column, Direction direction);

private:
    std::vector<int> lines_;
    std::vector<TextCell> runStarts_;
    bool compared_ = false;
};
