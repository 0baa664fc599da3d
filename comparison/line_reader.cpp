#include "comparison/line_reader.h"

#include "comparison/source_file.h"

#include <algorithm>
#include <cstring>

namespace parvane {

namespace {
constexpr std::uint64_t kNone = UINT64_MAX;
}

LineReader::LineReader(const SourceFile& file, std::uint64_t offset, std::size_t capacity,
                       std::size_t firstRead, ReadObserver observer)
    : file_(file), capacity_(std::max<std::size_t>(capacity, 2)),
      buffer_(new unsigned char[capacity_]), base_(offset),
      firstRead_(std::clamp<std::size_t>(firstRead, 1, capacity_)), readSize_(firstRead_),
      observer_(std::move(observer)) {}

void LineReader::seek(std::uint64_t offset) {
    if (offset <= base_ + end_) {
        pos_ = static_cast<std::size_t>(offset - base_);
        return;
    }
    base_ = offset;
    pos_ = 0;
    end_ = 0;
    eof_ = false;
    lf_ = {};
    cr_ = {};
    readSize_ = firstRead_;
}

Line LineReader::next() {
    if (pos_ == end_ && !fill()) {
        return {};
    }
    const std::uint64_t start = base_ + pos_;
    bool inBuffer = true;
    std::uint64_t from = start;
    while (true) {
        const std::uint64_t found = findBreak(from);
        if (found < base_ + end_) {
            const std::size_t at = static_cast<std::size_t>(found - base_);
            if (buffer_[at] == '\r' && at + 1 == end_ && !eof_) {
                // Whether an LF follows decides how long the break is.
                if (!inBuffer || (pos_ == 0 && end_ == capacity_)) {
                    inBuffer = false;
                    pos_ = at;
                }
                fill();
                from = found;
                continue;
            }
            const bool crLf = buffer_[at] == '\r' && at + 1 < end_ && buffer_[at + 1] == '\n';
            pos_ = at + (crLf ? 2 : 1);
            const LineBreak ending = crLf                  ? LineBreak::CrLf
                                     : buffer_[at] == '\r' ? LineBreak::Cr
                                                           : LineBreak::Lf;
            return finish(start, found, ending, inBuffer);
        }
        if (eof_) {
            pos_ = end_;
            return finish(start, base_ + end_, LineBreak::None, inBuffer);
        }
        from = base_ + end_;
        if (inBuffer && pos_ == 0 && end_ == capacity_) {
            inBuffer = false;
        }
        if (!inBuffer) {
            pos_ = end_;
        }
        fill();
    }
}

Line LineReader::nextLike(const Line& other, bool& same) {
    same = false;
    const std::size_t breakLength = other.ending == LineBreak::CrLf   ? 2
                                    : other.ending == LineBreak::None ? 0
                                                                      : 1;
    // A lone CR must be seen not to start a CR LF here; a line without a break must end the file.
    const bool lookPast = other.ending == LineBreak::Cr || other.ending == LineBreak::None;
    const std::uint64_t size = other.length + breakLength;
    const bool held = other.bytes != nullptr && end_ - pos_ >= size + (lookPast ? 1 : 0);
    if (!held || std::memcmp(buffer_.get() + pos_, other.bytes, size) != 0 ||
        (lookPast && buffer_[pos_ + size] == '\n') || other.ending == LineBreak::None) {
        return next();
    }
    const std::uint64_t start = base_ + pos_;
    pos_ += size;
    same = true;
    return finish(start, start + other.length, other.ending, true);
}

bool LineReader::skip(std::uint64_t count) {
    for (std::uint64_t k = 0; k < count; ++k) {
        if (!next().present) {
            return false;
        }
    }
    return true;
}

Line LineReader::finish(std::uint64_t start, std::uint64_t end, LineBreak ending,
                        bool inBuffer) const {
    Line line{true, start, end - start, ending, nullptr};
    if (inBuffer) {
        line.bytes = buffer_.get() + (start - base_);
    }
    return line;
}

std::uint64_t LineReader::findBreak(std::uint64_t from) {
    return std::min(nextOf('\n', lf_, from), nextOf('\r', cr_, from));
}

std::uint64_t LineReader::nextOf(unsigned char byte, Seen& seen, std::uint64_t from) {
    const std::uint64_t end = base_ + end_;
    if (seen.found != kNone && seen.found >= from) {
        return seen.found;
    }
    const std::uint64_t begin = seen.found == kNone ? std::max(from, seen.clearTo) : from;
    if (begin >= end) {
        return end;
    }
    const void* hit = std::memchr(buffer_.get() + (begin - base_), byte, end - begin);
    if (hit == nullptr) {
        seen = {kNone, end};
        return end;
    }
    seen.found =
        base_ + static_cast<std::uint64_t>(static_cast<const unsigned char*>(hit) - buffer_.get());
    return seen.found;
}

// Keeps the bytes from pos_ on, moved to the front, and reads more after them. False at the end
// of the file.
bool LineReader::fill() {
    if (eof_) {
        return false;
    }
    if (pos_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + pos_, end_ - pos_);
        base_ += pos_;
        end_ -= pos_;
        pos_ = 0;
    }
    const std::size_t want = std::min(capacity_ - end_, readSize_);
    readSize_ = std::min(capacity_, readSize_ * 2);
    const std::size_t got = file_.readAt(base_ + end_, buffer_.get() + end_, want);
    if (got == 0) {
        eof_ = true;
        return false;
    }
    if (observer_) {
        observer_(buffer_.get() + end_, got);
    }
    end_ += got;
    return true;
}

} // namespace parvane
