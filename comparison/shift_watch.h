#pragma once

// Watches the differing line pairs of a pass, in increasing order, for a file shifted against
// the other (shift_hint.h). Within a stretch of consecutive differing pairs, the line of one file
// that equals the line of the other 1, 2 or 3 pairs before it is evidence; three such pairs in a
// row, of the same file and distance, make the hint. Only the first hint is kept. Lines are
// compared by a hash of their bytes, so a pair costs one look at its bytes; lines that are empty
// or only spaces and tabs, longer than kLongestLine bytes or not at hand prove nothing.

#include "comparison/shift_hint.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace parvane {

class ShiftWatch {
public:
    static constexpr std::uint64_t kLongestLine = 4096;
    static constexpr int kFarthest = 3; // lines of distance
    static constexpr int kEvidence = 3; // pairs in a row

    // What a line is compared by. An unusable key equals nothing.
    struct Key {
        std::uint64_t hash = 0;
        std::uint64_t length = 0;
        bool usable = false;
        bool matches(const Key& other) const {
            return usable && other.usable && hash == other.hash && length == other.length;
        }
    };
    // The key of a line's bytes (without its line break).
    static Key keyOf(std::string_view line);

    // Differing line pair `line`, after every earlier one: the keys of its lines in files 1
    // and 2 (unusable for a missing line).
    void differingPair(std::uint64_t line, const std::array<Key, 2>& keys);
    // Whether a hint is found: no more pairs need watching.
    bool done() const { return hint_.has_value(); }
    const std::optional<ShiftHint>& hint() const { return hint_; }

private:
    static constexpr int kRing = kFarthest + 1;

    bool started_ = false;
    std::uint64_t last_ = 0;                       // the last pair seen
    std::uint64_t stretchStart_ = 0;               // the first pair of its stretch
    std::array<std::array<Key, kRing>, 2> keys_{}; // of the last pairs, by line % kRing
    // Pairs of evidence in a row, by file lacking lines (0, 1) and distance - 1.
    std::array<std::array<int, kFarthest>, 2> evidence_{};
    std::optional<ShiftHint> hint_;
};

} // namespace parvane
