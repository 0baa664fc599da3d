#include "comparison/utf8_validator.h"

#include "comparison/processor.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace parvane {
namespace {

// What a lead byte asks of the bytes after it: how many continuation bytes, and the range of the
// first of them, narrower after some leads (what rules out overlong forms, surrogates and code
// points past U+10FFFF). A byte that cannot lead has -1.
struct Lead {
    int continuations;
    int low, high;
};

constexpr Lead leadOf(unsigned char byte) {
    if (byte < 0x80) {
        return {0, 0x80, 0xBF};
    }
    if (byte >= 0xC2 && byte <= 0xDF) {
        return {1, 0x80, 0xBF};
    }
    if (byte >= 0xE0 && byte <= 0xEF) {
        return {2, byte == 0xE0 ? 0xA0 : 0x80, byte == 0xED ? 0x9F : 0xBF};
    }
    if (byte >= 0xF0 && byte <= 0xF4) {
        return {3, byte == 0xF0 ? 0x90 : 0x80, byte == 0xF4 ? 0x8F : 0xBF};
    }
    return {-1, 0, 0};
}

// Where the run of ASCII bytes from `i` ends, looked at 64 bytes at a time (past its end the
// bytes are looked at one by one by the caller).
std::size_t asciiBlocksPortable(const unsigned char* bytes, std::size_t i, std::size_t size) {
    while (i + 64 <= size) {
#if defined(__SSE2__)
        __m128i any = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        for (int part = 1; part < 4; ++part) {
            any = _mm_or_si128(
                any, _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i + 16 * part)));
        }
        if (_mm_movemask_epi8(any) != 0) {
            break;
        }
#else
        std::uint64_t words[8];
        std::memcpy(words, bytes + i, sizeof words);
        std::uint64_t any = 0;
        for (const std::uint64_t word : words) {
            any |= word;
        }
        if ((any & 0x8080808080808080ULL) != 0) {
            break;
        }
#endif
        i += 64;
    }
    return i;
}

#if PARVANE_AVX2
// The same 64 bytes at a time in two AVX2 registers, for the processors that have it.
[[gnu::target("avx2")]] std::size_t asciiBlocksWide(const unsigned char* bytes, std::size_t i,
                                                    std::size_t size) {
    while (i + 64 <= size) {
        const __m256i any =
            _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i)),
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i + 32)));
        if (_mm256_movemask_epi8(any) != 0) {
            break;
        }
        i += 64;
    }
    return i;
}
#endif

// Where the run of ASCII bytes from `i` ends, as far as whole blocks of 64 go.
std::size_t asciiBlocks(const unsigned char* bytes, std::size_t i, std::size_t size) {
#if PARVANE_AVX2
    return processorHasAvx2() ? asciiBlocksWide(bytes, i, size)
                              : asciiBlocksPortable(bytes, i, size);
#else
    return asciiBlocksPortable(bytes, i, size);
#endif
}

} // namespace

std::size_t Utf8Validator::asciiPrefix(const unsigned char* bytes, std::size_t size) {
    std::size_t i = asciiBlocks(bytes, 0, size);
    while (i < size && bytes[i] < 0x80) {
        ++i;
    }
    return i;
}

void Utf8Validator::feed(const unsigned char* bytes, std::size_t size) {
    std::size_t i = 0;
    while (valid_ && i < size) {
        if (pending_ > 0) {
            const unsigned char byte = bytes[i++];
            valid_ = byte >= low_ && byte <= high_;
            low_ = 0x80;
            high_ = 0xBF;
            --pending_;
            continue;
        }
        // Mostly ASCII: 64 bytes at a time while no byte has its high bit set.
        i = asciiBlocks(bytes, i, size);
        if (i >= size) {
            break;
        }
        const Lead lead = leadOf(bytes[i++]);
        valid_ = lead.continuations >= 0;
        pending_ = lead.continuations;
        low_ = static_cast<unsigned char>(lead.low);
        high_ = static_cast<unsigned char>(lead.high);
    }
}

std::size_t Utf8Validator::sequenceLength(std::string_view bytes) {
    const Lead lead = leadOf(static_cast<unsigned char>(bytes[0]));
    if (lead.continuations < 0 || bytes.size() <= std::size_t(lead.continuations)) {
        return 0;
    }
    Utf8Validator validator;
    validator.feed(bytes.substr(0, std::size_t(lead.continuations) + 1));
    return validator.valid() ? std::size_t(lead.continuations) + 1 : 0;
}

} // namespace parvane
