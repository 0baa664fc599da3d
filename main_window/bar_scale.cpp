#include "main_window/bar_scale.h"

#include <algorithm>
#include <climits>

namespace {

__extension__ typedef unsigned __int128 Wide;

constexpr std::uint64_t kMostValue = INT_MAX;

} // namespace

bool BarScale::scaled() const { return last_ > kMostValue; }

int BarScale::toBar(std::uint64_t position) const {
    position = std::min(position, last_);
    if (!scaled()) {
        return int(position);
    }
    return int(Wide(position) * kMostValue / last_);
}

// The least position whose value is `value`: ceil(value * last / INT_MAX), which the rounding
// down of toBar() takes back to `value`, as last > INT_MAX.
std::uint64_t BarScale::fromBar(int value) const {
    const std::uint64_t bar = std::uint64_t(std::max(0, value));
    if (!scaled()) {
        return std::min(bar, last_);
    }
    return std::uint64_t((Wide(bar) * last_ + kMostValue - 1) / kMostValue);
}

int BarScale::step(std::uint64_t positions) const {
    if (!scaled()) {
        return int(std::clamp<std::uint64_t>(positions, 1, kMostValue));
    }
    return std::max(1, toBar(positions));
}
