#include "report/report_characters.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace report_characters {
namespace {

struct Range {
    char32_t first, last;
};

// Characters that hide or reorder text on a terminal or in a page.
constexpr std::array<Range, 10> kInvisible = {{
    {0x061C, 0x061C},   // Arabic letter mark
    {0x180E, 0x180E},   // Mongolian vowel separator
    {0x200B, 0x200B},   // zero-width space
    {0x200E, 0x200F},   // left-to-right and right-to-left marks
    {0x2028, 0x202E},   // line and paragraph separators, bidirectional embeddings and overrides
    {0x2060, 0x2064},   // word joiner and invisible operators
    {0x2066, 0x206F},   // bidirectional isolates and deprecated format characters
    {0xFEFF, 0xFEFF},   // byte-order mark
    {0xFFF9, 0xFFFB},   // interlinear annotation
    {0xE0000, 0xE007F}, // tags
}};

// Combining marks and joiners, drawn over the character before them.
constexpr std::array<Range, 19> kZeroWidth = {{
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x05BF, 0x05BF}, {0x05C1, 0x05C2},
    {0x05C4, 0x05C5}, {0x05C7, 0x05C7}, {0x0610, 0x061A}, {0x064B, 0x065F}, {0x0670, 0x0670},
    {0x06D6, 0x06DC}, {0x06DF, 0x06E4}, {0x06E7, 0x06E8}, {0x06EA, 0x06ED}, {0x1AB0, 0x1AFF},
    {0x1DC0, 0x1DFF}, {0x200C, 0x200D}, {0x20D0, 0x20FF}, {0xFE00, 0xFE0F},
}};

// East Asian wide and full-width characters (the common blocks, and the emoji that terminals
// draw two columns wide).
constexpr std::array<Range, 22> kWide = {{
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},
    {0xA000, 0xA4CF},   {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},
    {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},
    {0x1B000, 0x1B2FF}, {0x1F300, 0x1F64F}, {0x1F680, 0x1F6FF}, {0x1F900, 0x1F9FF},
    {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
}};

template <std::size_t N> bool inRanges(const std::array<Range, N>& ranges, char32_t c) {
    const auto after =
        std::upper_bound(ranges.begin(), ranges.end(), c,
                         [](char32_t value, const Range& r) { return value < r.first; });
    return after != ranges.begin() && c <= std::prev(after)->last;
}

std::string hex(char32_t c, int digits) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i) {
        out[static_cast<std::size_t>(i)] = kHex[c & 0xF];
        c >>= 4;
    }
    return out;
}

} // namespace

bool needsEscape(char32_t c) {
    if (c < 0x7F) {
        return c < 0x20 && c != '\t';
    }
    return (c < 0x20 && c != '\t') || (c >= 0x7F && c <= 0x9F) || inRanges(kInvisible, c);
}

std::string escape(char32_t c) {
    if (c < 0x80) {
        return "\\x" + hex(c, 2);
    }
    if (c <= 0xFFFF) {
        return "\\u" + hex(c, 4);
    }
    return "\\U" + hex(c, 6);
}

int terminalWidth(char32_t c) {
    if (c >= 0x20 && c < 0x7F) {
        return 1;
    }
    if (needsEscape(c)) {
        return static_cast<int>(escape(c).size());
    }
    if (inRanges(kZeroWidth, c)) {
        return 0;
    }
    return inRanges(kWide, c) ? 2 : 1;
}

} // namespace report_characters
