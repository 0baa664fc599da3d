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
    : file_(file), capacity_(std::max<std::size_t>(capacity, 2)), base_(offset),
      firstRead_(std::clamp<std::size_t>(firstRead, 1, capacity_)), readSize_(firstRead_),
      observer_(std::move(observer)) {
    buffers_.push_back(std::unique_ptr<unsigned char[]>(new unsigned char[capacity_]));
    buffer_ = buffers_[0].get();
}

std::unique_ptr<LineReader> LineReader::readAhead(const SourceFile& file, std::size_t capacity,
                                                  ReadObserver observer) {
    auto reader = std::make_unique<LineReader>(file, 0, capacity, SIZE_MAX, std::move(observer));
    LineReader& r = *reader;
    r.carry_ = std::min(kCarry, r.capacity_);
    r.buffers_.clear();
    r.ahead_ = std::make_unique<Ahead>();
    for (int b = 0; b <= kAhead; ++b) {
        r.buffers_.push_back(
            std::unique_ptr<unsigned char[]>(new unsigned char[r.carry_ + r.capacity_]));
        if (b < kAhead) {
            r.ahead_->free.push_back(b);
        }
    }
    // Nothing held yet, in front of where the first piece will go.
    r.active_ = kAhead;
    r.buffer_ = r.buffers_[std::size_t(kAhead)].get();
    r.base_ = 0 - std::uint64_t{r.carry_}; // offsets wrap: base_ + carry_ is 0
    r.pos_ = r.end_ = r.carry_;
    r.ahead_->thread = std::thread([&r] { r.readAheadLoop(); });
    return reader;
}

LineReader::~LineReader() {
    if (ahead_) {
        {
            const std::lock_guard lock(ahead_->mutex);
            ahead_->stop = true;
        }
        ahead_->changed.notify_all();
        ahead_->thread.join();
    }
}

// The reading thread: reads the next piece into each free buffer, lets the observer see it and
// hands it over, until the end of the file.
void LineReader::readAheadLoop() {
    Ahead& ahead = *ahead_;
    std::unique_lock lock(ahead.mutex);
    while (true) {
        ahead.changed.wait(lock, [&] {
            return ahead.stop || (!ahead.free.empty() && !ahead.ended && !ahead.error);
        });
        if (ahead.stop) {
            return;
        }
        const int buffer = ahead.free.back();
        ahead.free.pop_back();
        const std::uint64_t offset = ahead.next;
        lock.unlock();
        unsigned char* into = buffers_[std::size_t(buffer)].get() + carry_;
        std::size_t size = 0;
        std::exception_ptr error;
        try {
            size = file_.readAt(offset, into, capacity_);
            if (observer_ && size > 0) {
                observer_(into, size);
            }
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        ahead.error = error;
        ahead.next = offset + size;
        ahead.ended = size == 0;
        ahead.ready.push_back({buffer, offset, size});
        ahead.changed.notify_all();
    }
}

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
                if (!inBuffer || cannotCarry()) {
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
        if (inBuffer && cannotCarry()) {
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
    if (!held || std::memcmp(buffer_ + pos_, other.bytes, size) != 0 ||
        (lookPast && buffer_[pos_ + size] == '\n') || other.ending == LineBreak::None) {
        return next();
    }
    const std::uint64_t start = base_ + pos_;
    pos_ += size;
    same = true;
    return finish(start, start + other.length, other.ending, true);
}

// Takes the next piece read ahead, with what is left of the current line moved in front of it, and
// gives the buffer of the piece before back to the reading thread.
bool LineReader::fillAhead() {
    Ahead& ahead = *ahead_;
    std::unique_lock lock(ahead.mutex);
    ahead.changed.wait(lock, [&] { return !ahead.ready.empty() || ahead.error; });
    if (ahead.error) {
        std::rethrow_exception(ahead.error);
    }
    const Piece piece = ahead.ready.front();
    ahead.ready.pop_front();
    if (piece.size == 0) {
        eof_ = true;
        return false;
    }
    const std::size_t left = end_ - pos_;
    unsigned char* into = buffers_[std::size_t(piece.buffer)].get();
    std::memcpy(into + carry_ - left, buffer_ + pos_, left);
    ahead.free.push_back(active_);
    lock.unlock();
    ahead.changed.notify_all();
    active_ = piece.buffer;
    buffer_ = into;
    base_ = piece.offset - carry_;
    pos_ = carry_ - left;
    end_ = carry_ + piece.size;
    return true;
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
        line.bytes = buffer_ + (start - base_);
    }
    return line;
}

// The first LF, then a CR before it if any: CR is looked for only where a line can end, so a file
// without any is not searched through for one.
std::uint64_t LineReader::findBreak(std::uint64_t from) {
    const std::uint64_t lf = nextOf('\n', lf_, from, base_ + end_);
    return nextOf('\r', cr_, from, lf);
}

// The next `byte` at or after `from` and before `limit` (at most the end of the bytes held), or
// that limit.
std::uint64_t LineReader::nextOf(unsigned char byte, Seen& seen, std::uint64_t from,
                                 std::uint64_t limit) {
    limit = std::min(limit, base_ + end_);
    if (seen.found != kNone && seen.found >= from) {
        return std::min(seen.found, limit);
    }
    const std::uint64_t begin = seen.found == kNone ? std::max(from, seen.clearTo) : from;
    if (begin >= limit) {
        return limit;
    }
    const void* hit = std::memchr(buffer_ + (begin - base_), byte, limit - begin);
    if (hit == nullptr) {
        seen = {kNone, limit};
        return limit;
    }
    seen.found =
        base_ + static_cast<std::uint64_t>(static_cast<const unsigned char*>(hit) - buffer_);
    return seen.found;
}

bool LineReader::cannotCarry() const {
    return ahead_ ? end_ - pos_ > carry_ : pos_ == 0 && end_ == capacity_;
}

// Keeps the bytes from pos_ on, moved to the front, and reads more after them. False at the end
// of the file.
bool LineReader::fill() {
    if (eof_) {
        return false;
    }
    if (ahead_) {
        return fillAhead();
    }
    if (pos_ > 0) {
        std::memmove(buffer_, buffer_ + pos_, end_ - pos_);
        base_ += pos_;
        end_ -= pos_;
        pos_ = 0;
    }
    const std::size_t want = std::min(capacity_ - end_, readSize_);
    readSize_ = std::min(capacity_, readSize_ * 2);
    const std::size_t got = file_.readAt(base_ + end_, buffer_ + end_, want);
    if (got == 0) {
        eof_ = true;
        return false;
    }
    if (observer_) {
        observer_(buffer_ + end_, got);
    }
    end_ += got;
    return true;
}

} // namespace parvane
