#include "report/report_characters.h"

#include <algorithm>
#include <array>
#include <iterator>

#include <utf8proc.h>

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
    return c == '\t' ? 1 : utf8proc_charwidth(static_cast<utf8proc_int32_t>(c));
}

bool startsCluster(char32_t before, char32_t c, std::int32_t& state) {
    if (before == 0) {
        state = 0;
        return true;
    }
    return utf8proc_grapheme_break_stateful(static_cast<utf8proc_int32_t>(before),
                                            static_cast<utf8proc_int32_t>(c), &state);
}

int widenCluster(int width, char32_t before, char32_t c) {
    static constexpr char32_t kEmojiPresentation = 0xFE0F;
    auto regionalIndicator = [](char32_t r) { return r >= 0x1F1E6 && r <= 0x1F1FF; };
    if (c == kEmojiPresentation || (regionalIndicator(before) && regionalIndicator(c))) {
        return std::max(width, 2);
    }
    return std::max(width, terminalWidth(c));
}

} // namespace report_characters
