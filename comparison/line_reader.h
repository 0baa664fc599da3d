#pragma once

// The one place where a file is cut into lines: a line ends at CR LF, CR or LF, and a last line
// without an ending is still a line. Neither byte can occur inside a multi-byte UTF-8 character,
// so lines are found in the bytes, before any decoding.
//
// A reader reads a file forwards from an offset, in pieces of up to `capacity` bytes: a read
// takes `firstRead` bytes at most after a start or a jump, twice as many as the read before while
// reading on. It keeps the position of the next CR and LF it has seen, so that finding line ends
// stays linear whatever the mix of line breaks. A line longer than the buffer is given by its
// place only. Reads throw FileError (source_file.h).
//
// A reader that reads ahead (readAhead()) has a thread of its own that reads the next pieces of
// the file while the lines of the one before are looked at, into buffers of their own (up to
// kAhead of them): what is left of the last line (up to kCarry bytes; a longer one is given by its
// place only) moves in front of the next piece. It reads on only, never seeks, and the observer
// is called on its thread.

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace parvane {

class SourceFile;

enum class LineBreak { None, Lf, Cr, CrLf };

// One line of a file: where it starts, how many bytes it holds (without its line break), how it
// ends, and its bytes while they are in the reader's buffer (null for a line longer than it).
struct Line {
    bool present = false;
    std::uint64_t start = 0;
    std::uint64_t length = 0;
    LineBreak ending = LineBreak::None;
    const unsigned char* bytes = nullptr;

    // The same line without its first `count` bytes (a byte-order mark).
    Line withoutPrefix(std::uint64_t count) const {
        Line rest = *this;
        rest.start += count;
        rest.length -= count;
        if (rest.bytes != nullptr) {
            rest.bytes += count;
        }
        return rest;
    }
};

class LineReader {
public:
    // Called with the bytes of every read, as they arrive.
    using ReadObserver = std::function<void(const unsigned char* bytes, std::size_t size)>;

    // The most bytes of a line that a reader reading ahead carries from one buffer to the next.
    static constexpr std::size_t kCarry = std::size_t{256} << 10;
    // The pieces a reader reads ahead of the one whose lines are looked at.
    static constexpr int kAhead = 3;

    LineReader(const SourceFile& file, std::uint64_t offset, std::size_t capacity,
               std::size_t firstRead = SIZE_MAX, ReadObserver observer = {});
    // A reader of the file from `offset` to its end that reads ahead on a thread of its own.
    static std::unique_ptr<LineReader> readAhead(const SourceFile& file, std::size_t capacity,
                                                 ReadObserver observer, std::uint64_t offset = 0);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next line; not present at the end of the file.
    Line next();

    // The next line, taken without looking for its end when it holds the same bytes and line
    // break as `other` (a line of another file, in memory), which `same` then says: two equal
    // lines are compared once. Otherwise next(), and `same` is false.
    Line nextLike(const Line& other, bool& same);

    // The bytes held from the start of the line next() would return on, and where they are in the
    // file; valid until the reader reads more.
    const unsigned char* held() const { return buffer_ + pos_; }
    std::size_t heldSize() const { return end_ - pos_; }
    std::uint64_t position() const { return base_ + pos_; }

    // Takes, as next() would, the lines held whose line breaks lie within the next `limit` bytes
    // and that are the same bytes as `other` (the bytes held by another reader) up to there (a
    // CR at the last of those bytes is not known to end its line yet), calling
    // `visit(bytes, start, length, ending)` for each until it returns false: then that line is
    // left for next(). Returns the bytes taken. Reads nothing.
    template <class Visit>
    std::size_t takeLines(std::size_t limit, const unsigned char* other, Visit&& visit);
    // Passes over `count` bytes held, which end a line.
    void pass(std::size_t count) { pos_ += count; }

    // Skips `count` lines; false when the file ended first.
    bool skip(std::uint64_t count);

    // Makes next() return the line that starts at `offset`, at or after the start of the line
    // next() would return. Bytes already held are used again.
    void seek(std::uint64_t offset);

    // Bytes looked at by one call of lookAt().
    static constexpr std::size_t kSpan = 4096;
    // How many of the `size` (up to kSpan) bytes at `a` and `b` are the same from the first on,
    // and where CR and LF are among those of `a`: bit i of breaks[i / 64] for byte i. With AVX2
    // where the processor has it, else with SSE2 or eight bytes at a time.
    // `portable` asks for the way that needs no AVX2, as the tests do.
    static std::size_t lookAt(const unsigned char* a, const unsigned char* b, std::size_t size,
                              std::uint64_t* breaks, bool portable = false);

private:
    struct Seen {
        std::uint64_t found = UINT64_MAX; // the next such byte at or after the last search's start
        std::uint64_t clearTo = 0;        // when none was found: none before this offset
    };

    // The pieces a reader reading ahead has read and not yet handed over, and its thread.
    struct Piece {
        int buffer = 0; // the bytes are after its carry room
        std::uint64_t offset = 0;
        std::size_t size = 0; // 0 at the end of the file
    };
    struct Ahead {
        std::thread thread;
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<Piece> ready;
        std::vector<int> free;  // buffers to read into
        std::uint64_t next = 0; // where the next piece starts
        bool ended = false, stop = false;
        std::exception_ptr error;
    };

    Line finish(std::uint64_t start, std::uint64_t end, LineBreak ending, bool inBuffer) const;
    std::uint64_t findBreak(std::uint64_t from);
    std::uint64_t nextOf(unsigned char byte, Seen& seen, std::uint64_t from, std::uint64_t limit);
    // Whether what is left of the line that starts at pos_ cannot be kept when more is read.
    bool cannotCarry() const;
    bool fill();
    bool fillAhead();
    std::size_t read(std::uint64_t offset, unsigned char* into, std::size_t size);
    void readAheadLoop();

    const SourceFile& file_;
    std::size_t capacity_;
    std::size_t carry_ = 0; // room before the bytes read, in each buffer of a reader reading ahead
    std::vector<std::unique_ptr<unsigned char[]>> buffers_;
    int active_ = 0; // the buffer of buffer_
    unsigned char* buffer_;
    std::unique_ptr<Ahead> ahead_;
    std::uint64_t base_;  // file offset of buffer_[0]
    std::size_t pos_ = 0; // where the next line starts
    std::size_t end_ = 0; // bytes held
    bool eof_ = false;
    Seen lf_, cr_;
    std::size_t firstRead_;
    std::size_t readSize_; // bytes the next read asks for at most
    ReadObserver observer_;
};

template <class Visit>
std::size_t LineReader::takeLines(std::size_t limit, const unsigned char* other, Visit&& visit) {
    const unsigned char* bytes = buffer_ + pos_;
    limit = std::min(limit, end_ - pos_);
    std::size_t lineStart = 0;
    std::uint64_t breaks[kSpan / 64];
    for (std::size_t span = 0; span < limit; span += kSpan) {
        const std::size_t size = std::min(kSpan, limit - span);
        if (const std::size_t same = lookAt(bytes + span, other + span, size, breaks);
            same < size) {
            limit = span + same; // the stretch of equal bytes ends here
        }
        const std::size_t end = std::min(limit, span + size);
        for (std::size_t word = 0; span + 64 * word < end; ++word) {
            for (std::uint64_t bits = breaks[word]; bits != 0; bits &= bits - 1) {
                const std::size_t at = span + 64 * word + std::size_t(__builtin_ctzll(bits));
                if (at < lineStart) {
                    continue; // the LF of a CR LF
                }
                LineBreak ending = bytes[at] == '\n' ? LineBreak::Lf : LineBreak::Cr;
                if (ending == LineBreak::Cr) {
                    if (at + 1 >= limit) {
                        pass(lineStart);
                        return lineStart;
                    }
                    ending = bytes[at + 1] == '\n' ? LineBreak::CrLf : LineBreak::Cr;
                }
                if (!visit(bytes + lineStart, base_ + pos_ + lineStart, at - lineStart, ending)) {
                    pass(lineStart);
                    return lineStart;
                }
                lineStart = at + (ending == LineBreak::CrLf ? 2 : 1);
            }
        }
    }
    pass(lineStart);
    return lineStart;
}

} // namespace parvane
