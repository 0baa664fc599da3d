#pragma once

// The bytes of differing line pairs, as the pass had them at hand, so that reading them back
// (FileComparison::differingPairs()) costs no read of the files: up to a number of bytes in all
// (what notes each pair included), lines of at most KeptPairs::kLongestLine bytes, kept in
// pieces of 1 MB that never move.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace parvane {

// The bytes of a differing line pair that the pass kept (a missing line has none).
struct KeptPair {
    std::uint64_t line = 0;
    std::array<const unsigned char*, 2> bytes{};
    std::array<std::uint32_t, 2> length{};
};

class KeptPairs {
public:
    static constexpr std::uint64_t kLongestLine = std::uint64_t{16} << 10;

    explicit KeptPairs(std::uint64_t mostBytes = 0) : mostBytes_(mostBytes) {}

    // Keeps line pair `line`, after those kept so far, when there is room; `bytes[f]` is null
    // for a missing line.
    void keep(std::uint64_t line, const std::array<const unsigned char*, 2>& bytes,
              const std::array<std::uint64_t, 2>& length);
    // Keeps the pairs `other` kept, after those kept so far, their lines `shift` further on, as
    // far as there is room.
    void keepAll(const KeptPairs& other, std::uint64_t shift);
    // Line pair `line`, if kept.
    const KeptPair* find(std::uint64_t line) const;

private:
    static constexpr std::size_t kChunkBytes = std::size_t{1} << 20;
    std::vector<KeptPair> pairs_; // by increasing line
    std::vector<std::unique_ptr<unsigned char[]>> chunks_;
    std::size_t chunkUsed_ = kChunkBytes;
    std::uint64_t mostBytes_;
    std::uint64_t bytes_ = 0;
};

} // namespace parvane
