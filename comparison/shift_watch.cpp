#include "comparison/shift_watch.h"

#include <functional>

namespace parvane {

ShiftWatch::Key ShiftWatch::keyOf(std::string_view line) {
    Key key;
    key.length = line.size();
    key.usable =
        line.size() <= kLongestLine && line.find_first_not_of(" \t") != std::string_view::npos;
    if (key.usable) {
        key.hash = std::hash<std::string_view>{}(line);
    }
    return key;
}

void ShiftWatch::differingPair(std::uint64_t line, const std::array<Key, 2>& keys) {
    if (hint_) {
        return;
    }
    if (!started_ || line != last_ + 1) {
        stretchStart_ = line;
        evidence_ = {};
    }
    started_ = true;
    last_ = line;
    for (int f = 0; f < 2; ++f) {
        keys_[f][line % kRing] = keys[f];
    }
    for (int d = 1; d <= kFarthest; ++d) {
        // File 2 lacks d lines when its line d pairs before equals this line of file 1; file 1
        // does when it is the other way round.
        for (const int lacking : {2, 1}) {
            const int f = lacking - 1; // the file whose earlier line is looked at
            int& row = evidence_[std::size_t(f)][std::size_t(d - 1)];
            const bool within = line >= stretchStart_ + std::uint64_t(d);
            if (!within || !keys_[f][(line - d) % kRing].matches(keys[1 - f])) {
                row = 0;
                continue;
            }
            // The first pair of evidence is d pairs into the shift, as its own earlier line is.
            if (++row == kEvidence && !hint_) {
                hint_ = ShiftHint{line - (kEvidence - 1) - std::uint64_t(d), d, lacking};
            }
        }
    }
}

} // namespace parvane
