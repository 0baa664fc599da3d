#include "comparison/field_finder.h"

#include <algorithm>

namespace parvane {

FieldFinder::FieldFinder(const RecordType* type) : type_(type) {
    const std::size_t count = type ? type->fields.size() : 0;
    fields_.assign(count, false);
    gaps_.assign(count + 1, std::nullopt);
}

void FieldFinder::addGap(std::size_t gap, std::uint64_t first, std::uint64_t last) {
    std::optional<ColumnRun>& seen = gaps_[gap];
    seen = seen ? ColumnRun{std::min(seen->first, first), std::max(seen->last, last)}
                : ColumnRun{first, last};
}

void FieldFinder::add(ColumnRun run) {
    if (!type_) {
        addGap(0, run.first, run.last);
        return;
    }
    const std::vector<LayoutField>& fields = type_->fields;
    // The first field that ends after the run's start.
    std::size_t i = static_cast<std::size_t>(
        std::partition_point(fields.begin(), fields.end(),
                             [&](const LayoutField& field) { return field.end() <= run.first; }) -
        fields.begin());
    std::uint64_t at = run.first;
    for (; i < fields.size() && fields[i].first <= run.last; ++i) {
        if (at < fields[i].first) {
            addGap(i, at, fields[i].first - 1);
            at = fields[i].first;
        }
        fields_[i] = true;
        if (fields[i].end() > run.last) {
            return;
        }
        at = fields[i].end();
    }
    addGap(i, at, run.last);
}

std::vector<FieldRun> FieldFinder::found() const {
    std::vector<FieldRun> found;
    for (std::size_t i = 0; i < gaps_.size(); ++i) {
        if (gaps_[i]) {
            found.push_back({nullptr, *gaps_[i]});
        }
        if (i < fields_.size() && fields_[i]) {
            const LayoutField& field = type_->fields[i];
            found.push_back({&field, {field.first, field.end() - 1}});
        }
    }
    return found;
}

} // namespace parvane
