#include "comparison/line_reader.h"

#include "comparison/processor.h"
#include "comparison/source_file.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace parvane {

namespace {

constexpr std::uint64_t kNone = UINT64_MAX;
// A reader reading ahead reads its pieces in parts of at most so many bytes.
constexpr std::size_t kObservedPart = std::size_t{128} << 10;

// The bits of a word below bit `count` (all of them for 64).
std::uint64_t below(std::size_t count) {
    return count >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
}

// One block of 64 bytes at `a` and `b`: a bit for each byte of `a` that is CR or LF in `breaks`,
// and returns a bit for each byte that is the same in both.
std::uint64_t lookAtBlock(const unsigned char* a, const unsigned char* b, std::uint64_t& breaks) {
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    std::uint64_t same = 0;
    breaks = 0;
    for (int part = 0; part < 4; ++part) {
        const __m128i one = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 16 * part));
        const __m128i two = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 16 * part));
        same |= std::uint64_t(std::uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(one, two))))
                << (16 * part);
        const __m128i found = _mm_or_si128(_mm_cmpeq_epi8(one, lf), _mm_cmpeq_epi8(one, cr));
        breaks |= std::uint64_t(std::uint32_t(_mm_movemask_epi8(found))) << (16 * part);
    }
    return same;
#else
    // Eight bytes at a time: a byte of `x` that is zero gets its high bit in the result.
    constexpr std::uint64_t kLow = 0x7F7F7F7F7F7F7F7FULL;
    const auto zeroBytes = [](std::uint64_t x) { return ~(((x & kLow) + kLow) | x | kLow); };
    std::uint64_t same = 0;
    breaks = 0;
    for (std::size_t i = 0; i < 64; i += 8) {
        std::uint64_t one, two;
        std::memcpy(&one, a + i, 8);
        std::memcpy(&two, b + i, 8);
        const std::uint64_t equal = zeroBytes(one ^ two);
        const std::uint64_t found =
            zeroBytes(one ^ 0x0A0A0A0A0A0A0A0AULL) | zeroBytes(one ^ 0x0D0D0D0D0D0D0D0DULL);
        // The high bit of each byte, one bit a byte (in memory order on a little-endian machine).
        for (std::size_t byte = 0; byte < 8; ++byte) {
            same |= ((equal >> (8 * byte + 7)) & 1) << (i + byte);
            breaks |= ((found >> (8 * byte + 7)) & 1) << (i + byte);
        }
    }
    return same;
#endif
}

std::size_t lookAtSpan(const unsigned char* a, const unsigned char* b, std::size_t size,
                       std::uint64_t* breaks) {
    std::size_t i = 0;
    for (; i + 64 <= size; i += 64) {
        std::uint64_t& found = breaks[i / 64];
        const std::uint64_t same = lookAtBlock(a + i, b + i, found);
        if (same != ~std::uint64_t{0}) {
            const std::size_t equal = std::size_t(__builtin_ctzll(~same));
            found &= below(equal);
            return i + equal;
        }
    }
    if (i == size) {
        return size;
    }
    // The last bytes, fewer than a block, one by one.
    std::uint64_t& found = breaks[i / 64];
    found = 0;
    for (std::size_t at = i; at < size; ++at) {
        if (a[at] != b[at]) {
            return at;
        }
        if (a[at] == '\n' || a[at] == '\r') {
            found |= std::uint64_t{1} << (at - i);
        }
    }
    return size;
}

#if PARVANE_AVX2
// The same 64 bytes at a time in two AVX2 registers, for the processors that have it.
[[gnu::target("avx2")]] std::size_t lookAtSpanWide(const unsigned char* a, const unsigned char* b,
                                                   std::size_t size, std::uint64_t* breaks) {
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i cr = _mm256_set1_epi8('\r');
    std::size_t i = 0;
    for (; i + 64 <= size; i += 64) {
        std::uint64_t same = 0, found = 0;
        for (int half = 0; half < 2; ++half) {
            const __m256i one =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i + 32 * half));
            const __m256i two =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i + 32 * half));
            same |= std::uint64_t(std::uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(one, two))))
                    << (32 * half);
            const __m256i ends =
                _mm256_or_si256(_mm256_cmpeq_epi8(one, lf), _mm256_cmpeq_epi8(one, cr));
            found |= std::uint64_t(std::uint32_t(_mm256_movemask_epi8(ends))) << (32 * half);
        }
        if (same != ~std::uint64_t{0}) {
            const std::size_t equal = std::size_t(__builtin_ctzll(~same));
            breaks[i / 64] = found & below(equal);
            return i + equal;
        }
        breaks[i / 64] = found;
    }
    return i + lookAtSpan(a + i, b + i, size - i, breaks + i / 64);
}
#endif

} // namespace

std::size_t LineReader::lookAt(const unsigned char* a, const unsigned char* b, std::size_t size,
                               std::uint64_t* breaks, bool portable) {
#if PARVANE_AVX2
    if (!portable && processorHasAvx2()) {
        return lookAtSpanWide(a, b, size, breaks);
    }
#endif
    return lookAtSpan(a, b, size, breaks);
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
                                                  ReadObserver observer, std::uint64_t offset) {
    auto reader =
        std::make_unique<LineReader>(file, offset, capacity, SIZE_MAX, std::move(observer));
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
    r.base_ = offset - std::uint64_t{r.carry_}; // offsets may wrap: base_ + carry_ is the offset
    r.pos_ = r.end_ = r.carry_;
    r.ahead_->next = offset;
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
            size = read(offset, into, capacity_);
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

// Reads up to `size` bytes at `offset` in parts that the observer sees while they are still in
// the cache. Fewer only at the end of the file.
std::size_t LineReader::read(std::uint64_t offset, unsigned char* into, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const std::size_t part = std::min(size - done, kObservedPart);
        const std::size_t got = file_.readAt(offset + done, into + done, part);
        if (observer_ && got > 0) {
            observer_(into + done, got);
        }
        done += got;
        if (got < part) {
            break;
        }
    }
    return done;
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
    const std::size_t got = read(base_ + end_, buffer_ + end_, want);
    if (got == 0) {
        eof_ = true;
        return false;
    }
    end_ += got;
    return true;
}

} // namespace parvane
