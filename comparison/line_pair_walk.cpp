#include "comparison/line_pair_walk.h"

#include "comparison/utf8_validator.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace parvane {
namespace {

// The bytes a UTF-8 character takes, judged by its first byte.
inline std::size_t utf8Length(unsigned char lead) {
    return lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
}

inline bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The code point of the UTF-8 character of `length` bytes at `bytes` (fewer bytes than it needs
// only when the file is not what was compared).
inline char32_t utf8Code(const unsigned char* bytes, std::size_t length) {
    const unsigned char lead = bytes[0];
    if (lead < 0x80) {
        return lead;
    }
    char32_t code = lead & (0x7F >> utf8Length(lead));
    for (std::size_t k = 1; k < length; ++k) {
        code = (code << 6) | (bytes[k] & 0x3F);
    }
    return code;
}

// The bytes of the character at the start of `window` (not empty), decoded as `decoding`.
inline std::size_t characterLength(Decoding decoding, std::span<const unsigned char> window) {
    return decoding == Decoding::Utf8 ? std::min(utf8Length(window[0]), window.size()) : 1;
}

inline char32_t characterAt(Decoding decoding, std::span<const unsigned char> window,
                            std::size_t length) {
    return decoding == Decoding::Utf8 ? utf8Code(window.data(), length)
                                      : singleByteCharacter(decoding, window[0]);
}

// How many leading bytes two windows share that are ASCII: the same characters under any
// decodings.
inline std::size_t sharedAscii(std::span<const unsigned char> a, std::span<const unsigned char> b) {
    const std::size_t size = std::min(a.size(), b.size());
    std::size_t same = 0;
    while (same < size && a[same] == b[same] && a[same] < 0x80) {
        ++same;
    }
    return same;
}

// Both lines under one decoding of a character per byte: equal characters are equal bytes.
PairCounts countSingleBytes(LineBytes& a, LineBytes& b) {
    std::uint64_t common = 0, mismatches = 0;
    while (true) {
        const auto windowA = a.window(1);
        const auto windowB = b.window(1);
        if (windowA.empty() || windowB.empty()) {
            break;
        }
        const std::size_t n = std::min(windowA.size(), windowB.size());
        for (std::size_t i = 0; i < n; ++i) {
            mismatches += windowA[i] != windowB[i] ? 1 : 0;
        }
        common += n;
        a.consume(n);
        b.consume(n);
    }
    const std::uint64_t rest1 = countCharacters(a, Decoding::Windows1252);
    const std::uint64_t rest2 = countCharacters(b, Decoding::Windows1252);
    return {common + rest1, common + rest2, mismatches + rest1, mismatches + rest2};
}

// How many of the first `size` bytes of `a` and `b` are the same: blocks of them, growing, with
// memcmp() (which the C library vectorises), then the block that differs byte by byte.
std::size_t sameBytes(const unsigned char* a, const unsigned char* b, std::size_t size) {
    std::size_t same = 0;
    for (std::size_t block = 32; same < size; block = std::min<std::size_t>(block * 2, 4096)) {
        const std::size_t n = std::min(block, size - same);
        if (std::memcmp(a + same, b + same, n) != 0) {
            break;
        }
        same += n;
    }
    while (same < size && a[same] == b[same]) {
        ++same;
    }
    return same;
}

// How many leading bytes two windows share, cut back to the start of a character of both.
inline std::size_t sharedCharacterBytes(std::span<const unsigned char> a,
                                        std::span<const unsigned char> b) {
    const std::size_t size = std::min(a.size(), b.size());
    const std::size_t same = sameBytes(a.data(), b.data(), size);
    // A character may go on past the window: keep three bytes back in that case.
    std::size_t cut = same < size ? same : (same > 3 ? same - 3 : 0);
    while (cut > 0 && (isContinuation(a[cut]) || isContinuation(b[cut]))) {
        --cut;
    }
    return cut;
}

// UTF-8: characters side by side; runs of equal bytes are passed over in bulk.
PairCounts countUtf8(LineBytes& a, LineBytes& b) {
    constexpr std::size_t kBulk = 16;
    std::uint64_t common = 0, mismatches = 0;
    while (true) {
        const auto windowA = a.window(4);
        const auto windowB = b.window(4);
        if (windowA.empty() || windowB.empty()) {
            break;
        }
        const std::size_t shared = sharedCharacterBytes(windowA, windowB);
        if (shared >= kBulk) {
            common += countUtf8Characters(windowA.data(), shared);
            a.consume(shared);
            b.consume(shared);
            continue;
        }
        const std::size_t lengthA = std::min(utf8Length(windowA[0]), windowA.size());
        const std::size_t lengthB = std::min(utf8Length(windowB[0]), windowB.size());
        if (lengthA != lengthB || std::memcmp(windowA.data(), windowB.data(), lengthA) != 0) {
            ++mismatches;
        }
        ++common;
        a.consume(lengthA);
        b.consume(lengthB);
    }
    const std::uint64_t rest1 = countCharacters(a, Decoding::Utf8);
    const std::uint64_t rest2 = countCharacters(b, Decoding::Utf8);
    return {common + rest1, common + rest2, mismatches + rest1, mismatches + rest2};
}

// Lines decoded unlike: equal ASCII bytes in bulk, every other character decoded.
PairCounts countUnlike(LineBytes& a, LineBytes& b, Decodings decodings) {
    std::uint64_t common = 0, mismatches = 0;
    while (true) {
        const auto windowA = a.window(4);
        const auto windowB = b.window(4);
        if (windowA.empty() || windowB.empty()) {
            break;
        }
        if (const std::size_t shared = sharedAscii(windowA, windowB); shared > 0) {
            common += shared;
            a.consume(shared);
            b.consume(shared);
            continue;
        }
        const std::size_t lengthA = characterLength(decodings[0], windowA);
        const std::size_t lengthB = characterLength(decodings[1], windowB);
        if (characterAt(decodings[0], windowA, lengthA) !=
            characterAt(decodings[1], windowB, lengthB)) {
            ++mismatches;
        }
        ++common;
        a.consume(lengthA);
        b.consume(lengthB);
    }
    const std::uint64_t rest1 = countCharacters(a, decodings[0]);
    const std::uint64_t rest2 = countCharacters(b, decodings[1]);
    return {common + rest1, common + rest2, mismatches + rest1, mismatches + rest2};
}

} // namespace

std::uint64_t countUtf8Characters(const unsigned char* bytes, std::size_t size) {
    std::uint64_t continuations = 0;
    std::size_t i = 0;
    // Eight bytes at a time: a continuation byte has its high bit set and the bit below clear;
    // the multiplication adds up the eight bytes' marks in the top byte.
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes + i, sizeof word);
        const std::uint64_t marks = word & ~(word << 1) & 0x8080808080808080ULL;
        continuations += ((marks >> 7) * 0x0101010101010101ULL) >> 56;
    }
    for (; i < size; ++i) {
        continuations += isContinuation(bytes[i]) ? 1 : 0;
    }
    return size - continuations;
}

PairCounts countPair(LineBytes& a, LineBytes& b, Decodings decodings) {
    if (decodings[0] != decodings[1]) {
        return countUnlike(a, b, decodings);
    }
    return decodings[0] == Decoding::Utf8 ? countUtf8(a, b) : countSingleBytes(a, b);
}

std::uint64_t countCharacters(LineBytes& bytes, Decoding decoding) {
    std::uint64_t count = 0;
    for (auto window = bytes.window(1); !window.empty(); window = bytes.window(1)) {
        count += decoding == Decoding::Utf8 ? countUtf8Characters(window.data(), window.size())
                                            : window.size();
        bytes.consume(window.size());
    }
    return count;
}

std::uint64_t sliceLine(LineBytes& bytes, Decoding decoding, std::uint64_t firstColumn,
                        std::uint64_t maxColumns, std::u32string& text) {
    std::uint64_t column = 0;
    const std::uint64_t stop =
        maxColumns > UINT64_MAX - firstColumn ? UINT64_MAX : firstColumn + maxColumns;
    if (decoding != Decoding::Utf8) {
        std::u32string piece;
        for (auto window = bytes.window(1); !window.empty(); window = bytes.window(1)) {
            const std::uint64_t from = std::clamp(firstColumn, column, column + window.size());
            const std::uint64_t to = std::clamp(stop, column, column + window.size());
            if (from < to) {
                decodeSingleBytes(
                    decoding,
                    std::string_view(reinterpret_cast<const char*>(window.data()) + (from - column),
                                     static_cast<std::size_t>(to - from)),
                    piece);
                text += piece;
            }
            column += window.size();
            bytes.consume(window.size());
        }
        return column;
    }
    while (true) {
        const auto window = bytes.window(4);
        if (window.empty()) {
            break;
        }
        if (column >= stop) {
            return column + countCharacters(bytes, decoding);
        }
        // Far from the slice: whole characters of the window are counted, not decoded (there
        // are no more of them than bytes).
        if (window.size() > 4 && column + window.size() <= firstColumn) {
            std::size_t cut = window.size() - 3;
            while (cut > 0 && isContinuation(window[cut])) {
                --cut;
            }
            if (cut > 0) {
                column += countUtf8Characters(window.data(), cut);
                bytes.consume(cut);
                continue;
            }
        }
        if (column >= firstColumn && window[0] < 0x80) {
            // A run of ASCII in the slice: a character per byte.
            const std::size_t most =
                static_cast<std::size_t>(std::min<std::uint64_t>(window.size(), stop - column));
            const std::size_t run = Utf8Validator::asciiPrefix(window.data(), most);
            const std::size_t at = text.size();
            text.resize(at + run);
            std::copy_n(window.data(), run, text.data() + at);
            column += run;
            bytes.consume(run);
            continue;
        }
        const std::size_t length = std::min(utf8Length(window[0]), window.size());
        if (column >= firstColumn) {
            text.push_back(utf8Code(window.data(), length));
        }
        ++column;
        bytes.consume(length);
    }
    return column;
}

std::vector<ColumnRun> differingRuns(const std::u32string& text, const std::u32string& other,
                                     std::uint64_t otherLength, std::uint64_t firstColumn) {
    std::vector<ColumnRun> runs;
    // Columns that both lines have; past them every column differs.
    const std::size_t both = static_cast<std::size_t>(
        std::min<std::uint64_t>(std::min(text.size(), other.size()),
                                otherLength > firstColumn ? otherLength - firstColumn : 0));
    constexpr std::size_t kBlock = 8;
    for (std::size_t j = 0; j < text.size(); ++j) {
        // Equal columns are passed over a block at a time.
        while (j + kBlock <= both &&
               std::memcmp(text.data() + j, other.data() + j, kBlock * sizeof(char32_t)) == 0) {
            j += kBlock;
        }
        if (j >= text.size()) {
            break;
        }
        const std::uint64_t column = firstColumn + j;
        if (j < both && text[j] == other[j]) {
            continue;
        }
        if (!runs.empty() && runs.back().last + 1 == column) {
            runs.back().last = column;
        } else {
            runs.push_back({column, column});
        }
    }
    return runs;
}

void visitRunEdges(LineBytes& a, LineBytes& b, Decodings decodings, std::uint64_t firstColumn,
                   const RunEdgeVisit& visit, std::uint64_t stopColumn, bool ends) {
    const bool alike = decodings[0] == decodings[1];
    const bool utf8 = alike && decodings[0] == Decoding::Utf8;
    std::uint64_t column = firstColumn;
    bool differed = false; // whether the column before differs
    // The run that ends before `column`, if the column before differs.
    const auto endRun = [&] { return !ends || !differed || visit(column - 1, false); };
    while (column < stopColumn) {
        const auto wa = a.window(4);
        const auto wb = b.window(4);
        if (wa.empty() || wb.empty()) {
            if (wa.empty() && wb.empty()) {
                endRun();
                return;
            }
            // Once a line has ended, the rest of the other is one run.
            if (!differed && !visit(column, true)) {
                return;
            }
            if (ends) {
                const std::uint64_t rest = wa.empty() ? countCharacters(b, decodings[1])
                                                      : countCharacters(a, decodings[0]);
                visit(column + rest - 1, false);
            }
            return;
        }
        const std::size_t both = std::min(wa.size(), wb.size());
        // Equal bytes up to a cut that ends a character in both lines, held whole in both windows;
        // equal ASCII bytes only, when the lines are decoded unlike.
        std::size_t cut = !alike ? sharedAscii(wa, wb) : sameBytes(wa.data(), wb.data(), both);
        if (utf8) {
            cut = std::min(cut, both > 4 ? both - 4 : 0);
            while (cut > 0 && (isContinuation(wa[cut]) || isContinuation(wb[cut]))) {
                --cut;
            }
        }
        if (cut > 0) {
            if (!endRun()) {
                return;
            }
            column += utf8 ? countUtf8Characters(wa.data(), cut) : cut;
            a.consume(cut);
            b.consume(cut);
            differed = false;
            continue;
        }
        std::size_t lengthA = 1, lengthB = 1;
        bool differs = wa[0] != wb[0];
        if (utf8) {
            lengthA = std::min(utf8Length(wa[0]), wa.size());
            lengthB = std::min(utf8Length(wb[0]), wb.size());
            differs = lengthA != lengthB || std::memcmp(wa.data(), wb.data(), lengthA) != 0;
        } else if (!alike) {
            lengthA = characterLength(decodings[0], wa);
            lengthB = characterLength(decodings[1], wb);
            differs =
                characterAt(decodings[0], wa, lengthA) != characterAt(decodings[1], wb, lengthB);
        }
        if (differs && !differed && !visit(column, true)) {
            return;
        }
        if (!differs && !endRun()) {
            return;
        }
        differed = differs;
        ++column;
        a.consume(lengthA);
        b.consume(lengthB);
    }
}

void skipCharacters(LineBytes& bytes, Decoding decoding, std::uint64_t count) {
    while (true) {
        const auto window = bytes.window(1);
        if (window.empty()) {
            return;
        }
        if (decoding != Decoding::Utf8) {
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(count, window.size()));
            bytes.consume(n);
            count -= n;
            if (count == 0) {
                return;
            }
            continue;
        }
        // Whole characters: a lead byte and the continuation bytes after it, which may be in
        // the next window.
        std::size_t i = 0;
        for (; i < window.size(); ++i) {
            if (!isContinuation(window[i])) {
                if (count == 0) {
                    bytes.consume(i);
                    return;
                }
                --count;
            }
        }
        bytes.consume(i);
    }
}

} // namespace parvane
