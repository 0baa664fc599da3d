#pragma once

// The sizes LargeComparison reads with and indexes by. Only tests change them, to make every
// buffer boundary and index step occur in small files; set them while no comparison is running
// (they are read when run(), linePairs(), differingPairs() or runFrom() starts).

#include <cstddef>
#include <cstdint>

namespace parvane {

struct LargeComparisonBuffers {
    std::size_t pass = std::size_t{2} << 20;    // bytes of each file held during the pass (>= 2)
    std::size_t slice = std::size_t{256} << 10; // bytes held by linePairs(), differingPairs()
    std::size_t stream = std::size_t{64} << 10; // pieces of a line longer than those (>= 4)
    std::uint64_t indexLines = 1024;            // a line start is indexed every so many lines,
    std::uint64_t indexBytes = std::uint64_t{1} << 20; // or after so many bytes
    // differingPairs() starts no more pairs once it holds so many characters (>= 1).
    std::uint64_t batchCharacters = std::uint64_t{1} << 20;
    // A line of at least so many bytes is noted by the pass (where it starts and ends, and where
    // every so many columns of it start), so that a part of it is read without the rest (>= 1).
    std::uint64_t longLineBytes = std::uint64_t{64} << 10;
    std::uint64_t checkpointColumns = std::uint64_t{1} << 20;

    // The sizes in use, which start as above.
    static LargeComparisonBuffers& current();
};

} // namespace parvane
