#include "comparison/field_tally.h"

#include "comparison/comparison_error.h"

#include <algorithm>

namespace parvane {

namespace {

// The columns read of each line at first: a record's fields and key lie within them in most
// layouts, and a line no longer than that is read whole.
constexpr std::uint64_t kFirstColumns = 4096;
constexpr std::uint64_t kBatchPairs = 4096;

} // namespace

const RecordType* FieldTally::typeOf(const RecordLayout& layout, const LinePairSlice& pair) {
    // The slice holds the line from its first column; a type is told by the line's start.
    if (pair.firstColumn != 0) {
        return nullptr;
    }
    return layout.typeOf(pair.has1 ? pair.text1 : pair.text2);
}

FieldTally FieldTally::count(const FileComparison& comparison, const RecordLayout& layout,
                             const std::function<bool()>& goOn) {
    const std::uint64_t columns = std::max(kFirstColumns, layout.keyEnd());
    FieldTally tally(layout);
    std::uint64_t from = 0;
    while (true) {
        if (goOn && !goOn()) {
            throw ComparisonCancelled("Recuento de campos cancelado.");
        }
        const std::vector<LinePairSlice> batch =
            comparison.differingPairs(from, kBatchPairs, columns);
        if (batch.empty()) {
            break;
        }
        for (const LinePairSlice& pair : batch) {
            const RecordType* type = typeOf(layout, pair);
            if (!type) {
                tally.add(nullptr, {});
                continue;
            }
            FieldFinder finder(type);
            if (std::max(pair.length1, pair.length2) <= columns) {
                for (const std::vector<ColumnRun>* runs : {&pair.runs1, &pair.runs2}) {
                    for (const ColumnRun& run : *runs) {
                        finder.add(run);
                    }
                }
            } else {
                comparison.visitDifferingRuns(pair.line, [&](ColumnRun run) { finder.add(run); });
            }
            tally.add(type, finder.found());
        }
        from = batch.back().line + 1;
    }
    return tally;
}

void FieldTally::add(const RecordType* type, const std::vector<FieldRun>& runs) {
    if (!type) {
        ++untyped_;
        return;
    }
    bool outside = false;
    for (const FieldRun& found : runs) {
        if (found.field) {
            ++counts_[found.field];
        } else {
            outside = true;
        }
    }
    outsideFields_ += outside ? 1 : 0;
}

void FieldTally::add(const FieldTally& other) {
    for (const auto& [field, lines] : other.counts_) {
        counts_[field] += lines;
    }
    outsideFields_ += other.outsideFields_;
    untyped_ += other.untyped_;
}

std::vector<FieldCount> FieldTally::fields() const {
    std::vector<FieldCount> fields;
    for (const RecordType& type : layout_->types()) {
        for (const LayoutField& field : type.fields) {
            if (const auto found = counts_.find(&field); found != counts_.end()) {
                fields.push_back({&type, &field, found->second});
            }
        }
    }
    return fields;
}

} // namespace parvane
