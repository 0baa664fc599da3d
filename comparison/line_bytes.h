#pragma once

// The bytes of one line, seen through a window that the walks over a line pair move forwards:
// from memory when the line is in a reader's buffer, or read again from its file a piece at a
// time when it is longer. A file that has become shorter than the line throws FileChangedError,
// "during the pass" or "since the comparison" as the owner says.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace parvane {

class SourceFile;

class LineBytes {
public:
    // `size` bytes at `bytes`; none when `bytes` is null.
    LineBytes(const unsigned char* bytes, std::uint64_t size)
        : memory_(bytes), size_(bytes != nullptr ? size : 0) {}
    // `size` bytes of `file` from `offset`, held `piece` bytes at a time (at least 4); `afterRead`
    // is called after each read, when given.
    LineBytes(const SourceFile& file, std::uint64_t offset, std::uint64_t size, std::size_t piece,
              bool duringPass, std::function<void()> afterRead = {});

    // At least min(wanted, what is left) bytes; empty at the end.
    std::span<const unsigned char> window(std::size_t wanted) {
        if (file_ == nullptr) {
            return {memory_ + pos_, static_cast<std::size_t>(size_ - pos_)};
        }
        if (end_ - pos_ < wanted && left_ > 0) {
            refill();
        }
        return {buffer_.get() + pos_, static_cast<std::size_t>(end_ - pos_)};
    }
    void consume(std::size_t count) { pos_ += count; }

private:
    void refill();

    const unsigned char* memory_ = nullptr;
    std::uint64_t size_ = 0;
    std::uint64_t pos_ = 0;
    // Read from a file:
    const SourceFile* file_ = nullptr;
    std::size_t piece_ = 0;
    std::unique_ptr<unsigned char[]> buffer_;
    std::uint64_t end_ = 0;
    std::uint64_t offset_ = 0; // of the next read
    std::uint64_t left_ = 0;   // bytes still to read
    bool duringPass_ = false;
    std::function<void()> afterRead_;
};

} // namespace parvane
