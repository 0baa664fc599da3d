#include "main_window/text_grid.h"

#include <algorithm>

TextGrid::TextGrid(std::u32string_view characters, std::span<const int> lineStarts)
    : characters_(characters), lineStarts_(lineStarts) {}

int TextGrid::lineCount() const {
    if (lineStarts_.empty()) {
        return 0;
    }
    const int lastStart = lineStarts_.back();
    const bool lastHolds = std::size_t(lastStart) < characters_.size();
    return int(lineStarts_.size()) - 1 + (lastHolds ? 1 : 0);
}

std::u32string_view TextGrid::line(int line) const {
    if (line < 0 || line >= lineCount()) {
        return {};
    }
    const std::size_t start = std::size_t(lineStarts_[std::size_t(line)]);
    std::size_t end = std::size_t(line) + 1 < lineStarts_.size()
                          ? std::size_t(lineStarts_[std::size_t(line) + 1])
                          : characters_.size();
    end = std::min(end, characters_.size());
    while (end > start && (characters_[end - 1] == U'\n' || characters_[end - 1] == U'\r')) {
        --end;
    }
    return characters_.substr(start, end - start);
}

TextPlace TextGrid::placeAt(TextCell cell) const {
    if (cell.line < 0 || cell.line >= lineCount() || cell.column < 0) {
        return {TextPlace::Kind::NoLine};
    }
    const std::u32string_view characters = line(cell.line);
    const std::size_t column = std::size_t(cell.column);
    if (column < characters.size()) {
        return {TextPlace::Kind::Character, characters[column]};
    }
    return {column == characters.size() ? TextPlace::Kind::LineEnd : TextPlace::Kind::PastLineEnd};
}

TextCell TextGrid::cellOf(int offset) const {
    if (lineStarts_.empty()) {
        return {};
    }
    offset = std::max(offset, 0);
    const auto after = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
    const auto line = std::max<std::ptrdiff_t>(after - lineStarts_.begin() - 1, 0);
    const int start = lineStarts_[std::size_t(line)];
    const int length = int(this->line(int(line)).size());
    return {int(line), std::min(offset - start, length)};
}

int TextGrid::offsetOf(TextCell cell) const {
    if (lineStarts_.empty()) {
        return 0;
    }
    const int line = std::clamp(cell.line, 0, int(lineStarts_.size()) - 1);
    const int length = int(this->line(line).size());
    return lineStarts_[std::size_t(line)] + std::clamp(cell.column, 0, length);
}
