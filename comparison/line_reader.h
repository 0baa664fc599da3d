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
// A reader that reads ahead (readAhead()) has a thread of its own that reads the next piece of
// the file while the lines of the one before are looked at, into a second buffer: what is left of
// the last line (up to kCarry bytes; a longer one is given by its place only) moves in front of
// it. It reads on only, never seeks, and the observer is called on its thread.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

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

    LineReader(const SourceFile& file, std::uint64_t offset, std::size_t capacity,
               std::size_t firstRead = SIZE_MAX, ReadObserver observer = {});
    // A reader of the whole file from its start that reads ahead on a thread of its own.
    static std::unique_ptr<LineReader> readAhead(const SourceFile& file, std::size_t capacity,
                                                 ReadObserver observer);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next line; not present at the end of the file.
    Line next();

    // The next line, taken without looking for its end when it holds the same bytes and line
    // break as `other` (a line of another file, in memory), which `same` then says: two equal
    // lines are compared once. Otherwise next(), and `same` is false.
    Line nextLike(const Line& other, bool& same);

    // Skips `count` lines; false when the file ended first.
    bool skip(std::uint64_t count);

    // Makes next() return the line that starts at `offset`, at or after the start of the line
    // next() would return. Bytes already held are used again.
    void seek(std::uint64_t offset);

private:
    struct Seen {
        std::uint64_t found = UINT64_MAX; // the next such byte at or after the last search's start
        std::uint64_t clearTo = 0;        // when none was found: none before this offset
    };

    // The piece a reader reading ahead reads next, and its thread.
    struct Ahead {
        std::thread thread;
        std::mutex mutex;
        std::condition_variable changed;
        int buffer = 0;           // the buffer it reads into, after its carry room
        std::uint64_t offset = 0; // where in the file
        bool asked = false, done = false, stop = false;
        std::size_t got = 0;
        std::exception_ptr error;
    };

    Line finish(std::uint64_t start, std::uint64_t end, LineBreak ending, bool inBuffer) const;
    std::uint64_t findBreak(std::uint64_t from);
    std::uint64_t nextOf(unsigned char byte, Seen& seen, std::uint64_t from);
    // Whether what is left of the line that starts at pos_ cannot be kept when more is read.
    bool cannotCarry() const;
    bool fill();
    bool fillAhead();
    void askAhead(int buffer, std::uint64_t offset);
    void readAheadLoop();

    const SourceFile& file_;
    std::size_t capacity_;
    std::size_t carry_ = 0; // room before the bytes read, in each buffer of a reader reading ahead
    std::unique_ptr<unsigned char[]> buffers_[2];
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

} // namespace parvane
