#include "main_window/difference_navigator.h"

#include <algorithm>
#include <utility>

void DifferenceNavigator::setDifferences(std::vector<int> lines, std::vector<TextCell> cells) {
    lines_ = std::move(lines);
    std::sort(cells.begin(), cells.end());
    cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
    runStarts_.clear();
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const bool continues = i > 0 && cells[i - 1].line == cells[i].line &&
                               cells[i - 1].column + 1 == cells[i].column;
        if (!continues) {
            runStarts_.push_back(cells[i]);
        }
    }
    compared_ = true;
}

void DifferenceNavigator::clear() {
    lines_.clear();
    runStarts_.clear();
    compared_ = false;
}

std::optional<int> DifferenceNavigator::firstLine() const {
    return lines_.empty() ? std::nullopt : std::optional(lines_.front());
}

std::optional<int> DifferenceNavigator::lastLine() const {
    return lines_.empty() ? std::nullopt : std::optional(lines_.back());
}

std::optional<TextCell> DifferenceNavigator::runFrom(TextCell caret, Direction direction) const {
    if (direction == Direction::Forward) {
        const auto next = std::upper_bound(runStarts_.begin(), runStarts_.end(), caret);
        return next == runStarts_.end() ? std::nullopt : std::optional(*next);
    }
    const auto after = std::lower_bound(runStarts_.begin(), runStarts_.end(), caret);
    return after == runStarts_.begin() ? std::nullopt : std::optional(*std::prev(after));
}

QString DifferenceNavigator::noteAt(int line, std::optional<int> column,
                                    Direction direction) const {
    const auto at = std::lower_bound(lines_.begin(), lines_.end(), line);
    const bool holds = at != lines_.end() && *at == line;
    return note(holds ? std::optional(std::uint64_t(at - lines_.begin())) : std::nullopt,
                lines_.size(), std::uint64_t(line), column, direction);
}

QString DifferenceNavigator::note(std::optional<std::uint64_t> index, std::uint64_t total,
                                  std::uint64_t line, std::optional<std::uint64_t> column,
                                  Direction direction) {
    if (total == 0) {
        return QStringLiteral("No hay diferencias");
    }
    if (!index) {
        return direction == Direction::Forward ? QStringLiteral("Ninguna diferencia más abajo")
                                               : QStringLiteral("Ninguna diferencia más arriba");
    }
    QString text =
        QStringLiteral("Diferencia %1 de %2 · línea %3").arg(*index + 1).arg(total).arg(line + 1);
    if (column) {
        text += QStringLiteral(", columna %1").arg(*column + 1);
    }
    return text;
}
