#pragma once

// The one pass of a comparison (see file_comparison.h): both files read once, side by side, line
// pair by line pair. Until the end it is not known whether both files are valid UTF-8, so what a
// line pair comes to is counted under each decoding that is still possible, and the first line
// pair, where a byte-order mark counts as text under Windows-1252 only, is judged under each.
// Large files compared without limits are compared in two halves at once, from the start of both
// and from where file 1's second half starts in both: when the first half's lines end there in
// both files, the halves are joined as if one pass had read them; else the first goes on alone.
// Internal to the engine.

#include "comparison/comparison_state.h"

#include <memory>

namespace parvane {

std::unique_ptr<FileComparison::State> comparisonPass(const std::filesystem::path& file1,
                                                      const std::filesystem::path& file2,
                                                      const ComparisonOptions& options);

} // namespace parvane
