#include "comparison/ruled_pair.h"

#include "comparison/case_folding.h"
#include "comparison/text_decoding.h"

#include <algorithm>

namespace parvane {
namespace {

bool isBlank(char32_t c) { return c == U' ' || c == U'\t'; }

// Where the blanks that end `line` within [begin, end) start.
std::uint64_t blanksFrom(std::u32string_view line, std::uint64_t begin, std::uint64_t end) {
    end = std::min<std::uint64_t>(end, line.size());
    while (end > begin && isBlank(line[static_cast<std::size_t>(end - 1)])) {
        --end;
    }
    return end;
}

void addColumn(std::vector<ColumnRun>& runs, std::uint64_t column) {
    if (!runs.empty() && runs.back().last + 1 == column) {
        runs.back().last = column;
    } else {
        runs.push_back({column, column});
    }
}

} // namespace

void RuledPair::apply(std::u32string_view line1, std::u32string_view line2, bool has1, bool has2) {
    const std::array<std::u32string_view, 2> lines{line1, line2};
    const std::uint64_t columns = std::max(line1.size(), line2.size());
    for (int f = 0; f < 2; ++f) {
        Side& side = sides_[f];
        side.counted.clear();
        side.leftOut.clear();
        side.why.clear();
        side.countedCharacters = side.leftOutCharacters = 0;
        side.blanksFrom =
            rules_.ignoreTrailingBlanks() ? blanksFrom(lines[f], 0, UINT64_MAX) : lines[f].size();
        side.blankField = nullptr;
    }
    const RecordLayout* layout = rules_.layout();
    const RecordType* type = nullptr;
    if (layout != nullptr && (has1 || has2)) {
        type = layout->typeOf(has1 ? line1 : line2);
    }
    range_ = 0;
    bool patternsFound = false;
    for (std::uint64_t c = 0; c < columns; ++c) {
        const bool both = c < line1.size() && c < line2.size();
        if (both && line1[c] == line2[c]) {
            continue;
        }
        // Why both lines' characters here are left out, if a rule of columns says so.
        std::optional<Omission> whole;
        const LayoutField* field = type != nullptr ? type->fieldAt(c) : nullptr;
        if (inRanges(c)) {
            whole = Omission{Omission::Rule::Columns, 0, nullptr};
        } else if (field != nullptr && field->ignored) {
            whole = Omission{Omission::Rule::Field, 0, field};
        } else if (!rules_.patterns().empty()) {
            if (!patternsFound) {
                findPatterns(lines, columns);
                patternsFound = true;
            }
            if (patternAt_[c] >= 0) {
                whole = Omission{Omission::Rule::Pattern, std::size_t(patternAt_[c]), nullptr};
            }
        }
        for (int f = 0; f < 2; ++f) {
            if (c >= lines[f].size()) {
                continue;
            }
            std::optional<Omission> why = whole;
            if (!why && absent(f, lines[f], c, field)) {
                const bool own = c < sides_[f].blanksFrom; // the field's blanks, not the line's
                why = Omission{Omission::Rule::TrailingBlanks, 0, own ? field : nullptr};
            }
            const int o = 1 - f;
            if (!why && c < lines[o].size() && !absent(o, lines[o], c, field)) {
                const bool caseRule = rules_.ignoreCase() || (field != nullptr && field->noCase);
                if (caseRule && foldCase(lines[f][c]) == foldCase(lines[o][c])) {
                    why = Omission{Omission::Rule::Case, 0, rules_.ignoreCase() ? nullptr : field};
                }
            }
            Side& side = sides_[f];
            if (!why) {
                addColumn(side.counted, c);
                ++side.countedCharacters;
                continue;
            }
            addColumn(side.leftOut, c);
            ++side.leftOutCharacters;
            if (!side.why.empty() && side.why.back().second == *why &&
                side.why.back().first.last + 1 == c) {
                side.why.back().first.last = c;
            } else {
                side.why.push_back({{c, c}, *why});
            }
        }
    }
}

bool RuledPair::inRanges(std::uint64_t column) {
    const std::vector<ColumnRun>& ranges = rules_.columns();
    while (range_ < ranges.size() && ranges[range_].last < column) {
        ++range_;
    }
    return range_ < ranges.size() && ranges[range_].first <= column;
}

// Whether the character at `column` of line `f` is a blank that the rules do not compare.
bool RuledPair::absent(int f, std::u32string_view line, std::uint64_t column,
                       const LayoutField* field) {
    Side& side = sides_[f];
    if (column >= side.blanksFrom) {
        return true;
    }
    if (field == nullptr || !field->noTrailingBlanks) {
        return false;
    }
    if (side.blankField != field) {
        side.blankField = field;
        side.fieldBlanksFrom = blanksFrom(line, field->first, field->end());
    }
    return column >= side.fieldBlanksFrom;
}

void RuledPair::findPatterns(std::array<std::u32string_view, 2> lines, std::uint64_t columns) {
    patternAt_.assign(static_cast<std::size_t>(columns), -1);
    for (const std::u32string_view line : lines) {
        utf8_.clear();
        appendUtf8(utf8_, line);
        starts_.clear();
        if (utf8_.size() != line.size()) {
            std::size_t at = 0;
            for (const char32_t c : line) {
                starts_.push_back(at);
                at += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
            }
        }
        // The first pattern given wins where several match.
        for (std::size_t p = 0; p < rules_.patterns().size(); ++p) {
            matches_.clear();
            rules_.matchPattern(p, utf8_, starts_, matches_);
            for (const ColumnRun& run : matches_) {
                for (std::uint64_t c = run.first; c <= run.last && c < columns; ++c) {
                    int& at = patternAt_[static_cast<std::size_t>(c)];
                    at = at < 0 ? static_cast<int>(p) : at;
                }
            }
        }
    }
}

std::vector<ColumnRun> RuledPair::countedTogether() const {
    return unite(sides_[0].counted, sides_[1].counted);
}

std::optional<Omission> RuledPair::omission(int f, std::uint64_t column) const {
    const auto& why = sides_[f].why;
    const auto after = std::upper_bound(
        why.begin(), why.end(), column,
        [](std::uint64_t c, const std::pair<ColumnRun, Omission>& w) { return c < w.first.first; });
    if (after == why.begin() || std::prev(after)->first.last < column) {
        return std::nullopt;
    }
    return std::prev(after)->second;
}

} // namespace parvane
