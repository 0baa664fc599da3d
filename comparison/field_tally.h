#pragma once

// In how many differing line pairs of a comparison each field of a record layout differs, over
// the whole files: count() reads the differing line pairs back a batch at a time (the first
// columns of each, and the rest of a longer line only when it is needed), so memory stays
// bounded whatever the files' size. It throws what the comparison's reads throw
// (FileChangedError), and ComparisonCancelled when `goOn` says to stop. A reader that goes over
// every differing line pair anyway (a report) counts them as it goes with add() instead.

#include "comparison/field_finder.h"
#include "comparison/file_comparison.h"
#include "comparison/record_layout.h"

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace parvane {

struct FieldCount {
    const RecordType* type = nullptr;
    const LayoutField* field = nullptr;
    std::uint64_t lines = 0;
};

class FieldTally {
public:
    // How the type and its fields are found in a line pair (line_pair_slice.h).
    static const RecordType* typeOf(const RecordLayout& layout, const LinePairSlice& pair);

    static FieldTally count(const FileComparison& comparison, const RecordLayout& layout,
                            const std::function<bool()>& goOn = {});

    // No line counted yet; the layout must outlive the tally.
    explicit FieldTally(const RecordLayout& layout) : layout_(&layout) {}
    // Counts one differing line pair of `type` (none: of no type) whose differing columns fall
    // in `runs` (FieldFinder::found()).
    void add(const RecordType* type, const std::vector<FieldRun>& runs);
    // Adds the lines `other`, a tally of the same layout, counted.
    void add(const FieldTally& other);

    // The fields that differ in any line, in the layout's order, each with its count.
    std::vector<FieldCount> fields() const;
    // Differing lines with differences outside every field of their type.
    std::uint64_t outsideFields() const { return outsideFields_; }
    // Differing lines of no record type.
    std::uint64_t untyped() const { return untyped_; }

private:
    const RecordLayout* layout_;
    std::map<const LayoutField*, std::uint64_t> counts_;
    std::uint64_t outsideFields_ = 0;
    std::uint64_t untyped_ = 0;
};

} // namespace parvane
