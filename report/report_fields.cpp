#include "report/report_fields.h"

#include "comparison/field_tally.h"
#include "comparison/text_decoding.h"
#include "report/report_characters.h"
#include "report/report_pairs.h"

#include <algorithm>

namespace report_fields {

LineFields of(const parvane::FileComparison& comparison, const parvane::RecordLayout& layout,
              const parvane::LinePairSlice& pair) {
    LineFields fields;
    fields.type = parvane::FieldTally::typeOf(layout, pair);
    parvane::FieldFinder finder(fields.type);
    report_pairs::forEachRun(comparison, pair, 0, [&](parvane::ColumnRun run) { finder.add(run); });
    fields.runs = finder.found();
    return fields;
}

std::optional<std::string> value(const parvane::LinePairSlice& pair, int file,
                                 const parvane::LayoutField& field) {
    if (!(file == 1 ? pair.has1 : pair.has2)) {
        return std::nullopt;
    }
    const std::u32string_view text = file == 1 ? pair.text1 : pair.text2;
    const std::uint64_t length = file == 1 ? pair.length1 : pair.length2;
    const std::uint64_t first = std::min<std::uint64_t>(field.first, text.size());
    const std::uint64_t end = std::min(field.end(), length);
    const std::uint64_t shown = std::min<std::uint64_t>(
        {end > first ? end - first : 0, kMostValueCharacters, text.size() - first});
    std::string out;
    for (const char32_t c :
         text.substr(static_cast<std::size_t>(first), static_cast<std::size_t>(shown))) {
        if (report_characters::needsEscape(c)) {
            out += report_characters::escape(c);
        } else {
            parvane::appendUtf8(out, std::u32string_view(&c, 1));
        }
    }
    if (end > first + shown) {
        out += "…";
    }
    return out;
}

std::string name(const parvane::RecordType& type, const parvane::LayoutField& field) {
    return type.name.empty() ? field.name : type.name + " " + field.name;
}

} // namespace report_fields
