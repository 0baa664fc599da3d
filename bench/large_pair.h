#pragma once

// The pair of large files the benchmarks of files of any size compare: `lines` lines of 99
// printable characters that vary with the line, the second file changing one character of one
// line in `every` (line k with k % every == 37 % every; every line for 1). Throws
// std::runtime_error when they cannot be written.

#include <cstdint>
#include <filesystem>

namespace bench {

constexpr std::size_t kLargePairLineLength = 99;

void writeLargePair(const std::filesystem::path& path1, const std::filesystem::path& path2,
                    std::uint64_t lines, std::uint64_t every = 100);

// Reads a file once, so that a run after it finds it in the page cache.
void readOnce(const std::filesystem::path& path, std::size_t readSize = std::size_t{4} << 20);

// The time in seconds to read both files once, each on a thread of its own, `readSize` bytes a
// read: the floor of any comparison of them.
double readBothOnce(const std::filesystem::path& path1, const std::filesystem::path& path2,
                    std::size_t readSize);

} // namespace bench
