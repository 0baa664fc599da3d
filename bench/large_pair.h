#pragma once

// The pair of large files the benchmarks of files of any size compare: `lines` lines of 99
// printable characters that vary with the line, the second file changing one character of every
// hundredth line (line k with k % 100 == 37). Throws std::runtime_error when they cannot be
// written.

#include <cstdint>
#include <filesystem>

namespace bench {

constexpr std::size_t kLargePairLineLength = 99;

void writeLargePair(const std::filesystem::path& path1, const std::filesystem::path& path2,
                    std::uint64_t lines);

// Reads a file once, so that a run after it finds it in the page cache.
void readOnce(const std::filesystem::path& path);

} // namespace bench
