#pragma once

// A 16-bit signed counter whose every addition is checked: a sum outside -32768..32767 is
// refused and leaves the value as it was.

#include <cstdint>
#include <limits>

namespace parvane {

class CheckedInt16 {
public:
    static constexpr int kMax = std::numeric_limits<std::int16_t>::max();
    static constexpr int kMin = std::numeric_limits<std::int16_t>::min();

    constexpr explicit CheckedInt16(std::int16_t value) : value_(value) {}

    // Adds `amount`; returns false, and changes nothing, when the sum would not fit in 16 bits.
    [[nodiscard]] constexpr bool tryAdd(int amount) {
        const long long sum = static_cast<long long>(value_) + amount;
        if (sum > kMax || sum < kMin) {
            return false;
        }
        value_ = static_cast<std::int16_t>(sum);
        return true;
    }

    [[nodiscard]] constexpr std::int16_t value() const { return value_; }

    // True when `n` can be converted to a 16-bit signed value.
    [[nodiscard]] static constexpr bool fits(long long n) { return n >= kMin && n <= kMax; }

private:
    std::int16_t value_;
};

} // namespace parvane
