#pragma once

// Places, sizes and colours as the window's design gives them: places and sizes in twips
// (15 twips to a device-independent pixel), colours as 0x00BBGGRR with red in the lowest byte.

#include <QColor>
#include <QRect>

#include <cmath>
#include <cstdint>

namespace units {

constexpr int kTwipsPerPixel = 15;

inline int pixels(double twips) { return int(std::lround(twips / kTwipsPerPixel)); }

inline QRect pixelRect(int left, int top, int width, int height) {
    return QRect(pixels(left), pixels(top), pixels(width), pixels(height));
}

inline QColor colour(std::uint32_t bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

} // namespace units
