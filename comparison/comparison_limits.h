#pragma once

// The limits of a comparison whose results are shown as display texts with 16-bit positions
// (comparison.h): a text position starts at 1, grows by 1 for every character of a line and by
// 2 after every line pair, in both files (also in a file that has already ended), and may not
// pass 32767; a line may not be longer than 32764 characters. A file of more than kMaxFileBytes
// bytes can never fit, whatever it holds.
//
// The limits are fed the line pairs in order, with each line's length in characters; the first
// pair that passes them decides the refusal, with one of three Spanish messages naming the file
// (or both files) that passes. Nothing here reads a file or throws.

#include "comparison/checked_int16.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace parvane {

class ComparisonLimits {
public:
    // Every counted character takes at most four bytes (a line break at most two bytes for the
    // two positions it takes).
    static constexpr std::uint64_t kMaxFileBytes = 4 * std::uint64_t{CheckedInt16::kMax - 1};

    ComparisonLimits(const std::filesystem::path& file1, const std::filesystem::path& file2)
        : file1_(file1), file2_(file2) {}

    // Line pair `has1`/`length1`, `has2`/`length2`; nothing once the limits are passed.
    void add(bool has1, std::uint64_t length1, bool has2, std::uint64_t length2);

    // The message of the refusal, once a pair passed the limits.
    const std::optional<std::string>& refusal() const { return refusal_; }

    // The message for a file too large by itself.
    static std::string tooLarge(const std::filesystem::path& path);

private:
    void refuse(std::string message) { refusal_ = std::move(message); }

    const std::filesystem::path& file1_;
    const std::filesystem::path& file2_;
    CheckedInt16 position1_{1}, position2_{1};
    std::optional<std::string> refusal_;
};

} // namespace parvane
