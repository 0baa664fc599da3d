#include "comparison/large_comparison.h"

#include "comparison/large_comparison_buffers.h"
#include "comparison/source_file.h"
#include "comparison/text_decoding.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <span>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parvane {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kNone = UINT64_MAX;
constexpr std::uint32_t kNoStart = UINT32_MAX;
// A line start is indexed at least this often in bytes, so that the start of any line fits 32
// bits after its index entry, with room left for the three bytes of a byte-order mark.
constexpr std::uint64_t kMostIndexBytes = UINT32_MAX - 4;
// The least a read of differingPairs() asks for, however short the lines.
constexpr std::uint64_t kMinimumRead = 64;
constexpr auto kProgressInterval = std::chrono::milliseconds(25);

[[noreturn]] void throwChangedDuringPass(const fs::path& path) {
    throw FileChangedError("No se puede comparar " + quoted(path) +
                           ": el fichero ha cambiado mientras se comparaba. Vuelva a comparar "
                           "los ficheros.");
}

[[noreturn]] void throwChangedSince(const fs::path& path) {
    throw FileChangedError("No se puede mostrar " + quoted(path) +
                           ": el fichero ha cambiado desde la comparación. Vuelva a comparar "
                           "los ficheros.");
}

// Identity of a file's content as far as the system tells it.
struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    static std::optional<Identity> of(int descriptor) {
        struct stat info {};
        if (::fstat(descriptor, &info) != 0) {
            return std::nullopt;
        }
        return Identity{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
    }
    bool operator==(const Identity& other) const {
        return device == other.device && inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec &&
               changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
    }
};

// Calls the progress callback every kProgressInterval of work at most, and stops the pass when
// it says so.
class Pacer {
public:
    Pacer(const LargeComparison::Progress& progress, std::uint64_t total, std::string cancelled)
        : progress_(progress), total_(total), cancelled_(std::move(cancelled)),
          last_(Clock::now()) {}

    void add(std::uint64_t bytes) {
        done_ += bytes;
        tick();
    }
    void tick() {
        if (progress_ && Clock::now() - last_ >= kProgressInterval) {
            report();
        }
    }
    void report() {
        last_ = Clock::now();
        if (progress_ && !progress_(std::min(done_, total_), total_)) {
            throw ComparisonCancelled(cancelled_);
        }
    }

private:
    const LargeComparison::Progress& progress_;
    std::uint64_t total_;
    std::uint64_t done_ = 0;
    std::string cancelled_;
    Clock::time_point last_;
};

// Checks that bytes given piece by piece are well-formed UTF-8 (the rules of isValidUtf8()).
class Utf8Validator {
public:
    void feed(const unsigned char* bytes, std::size_t size) {
        std::size_t i = 0;
        while (valid_ && i < size) {
            if (pending_ == 0) {
                // Mostly ASCII: sixteen bytes at a time while no byte has its high bit set.
                while (i + 16 <= size) {
                    std::uint64_t a, b;
                    std::memcpy(&a, bytes + i, 8);
                    std::memcpy(&b, bytes + i + 8, 8);
                    if (((a | b) & 0x8080808080808080ULL) != 0) {
                        break;
                    }
                    i += 16;
                }
                if (i >= size) {
                    break;
                }
                start(bytes[i++]);
            } else {
                const unsigned char byte = bytes[i++];
                if (byte < low_ || byte > high_) {
                    valid_ = false;
                }
                low_ = 0x80;
                high_ = 0xBF;
                --pending_;
            }
        }
    }
    bool valid() const { return valid_ && pending_ == 0; }

private:
    void start(unsigned char lead) {
        if (lead < 0x80) {
            return;
        }
        low_ = 0x80;
        high_ = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            pending_ = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            pending_ = 2;
            low_ = lead == 0xE0 ? 0xA0 : 0x80;
            high_ = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            pending_ = 3;
            low_ = lead == 0xF0 ? 0x90 : 0x80;
            high_ = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            valid_ = false;
        }
    }

    bool valid_ = true;
    int pending_ = 0; // continuation bytes still expected
    unsigned char low_ = 0x80, high_ = 0xBF;
};

// The bytes a UTF-8 character takes, judged by its first byte as decodeUtf8() does.
inline std::size_t utf8Length(unsigned char lead) {
    return lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
}

inline bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// decodeUtf8() for one character of at most `size` bytes (fewer than it needs only when the
// file is not what was compared).
inline char32_t utf8Code(const unsigned char* bytes, std::size_t length) {
    const unsigned char lead = bytes[0];
    if (lead < 0x80) {
        return lead;
    }
    char32_t code = lead & (0x7F >> utf8Length(lead));
    for (std::size_t k = 1; k < length; ++k) {
        code = (code << 6) | (bytes[k] & 0x3F);
    }
    return code;
}

std::uint64_t countUtf8Characters(const unsigned char* bytes, std::size_t size) {
    std::uint64_t continuations = 0;
    for (std::size_t i = 0; i < size; ++i) {
        continuations += isContinuation(bytes[i]) ? 1 : 0;
    }
    return size - continuations;
}

// One line in a file: where it starts, how many bytes it holds (without its line break), and the
// bytes themselves while they are in the reader's buffer.
struct Line {
    bool present = false;
    std::uint64_t start = 0;
    std::uint64_t length = 0;
    const unsigned char* bytes = nullptr; // null for a line longer than the buffer
};

// Reads a file forwards from an offset in pieces of up to `capacity` bytes and cuts it into
// lines. It keeps the position of the next CR and LF it has seen, so that finding line ends stays
// linear whatever the mix of line breaks. A read takes `firstRead` bytes at most after a start
// or a jump, twice as many as the read before while reading on.
class LineReader {
public:
    LineReader(const SourceFile& file, std::uint64_t offset, std::size_t capacity,
               Utf8Validator* validator = nullptr, Pacer* pacer = nullptr,
               std::size_t firstRead = SIZE_MAX)
        : file_(file), capacity_(std::max<std::size_t>(capacity, 2)),
          buffer_(new unsigned char[capacity_]), base_(offset),
          firstRead_(std::clamp<std::size_t>(firstRead, 1, capacity_)), readSize_(firstRead_),
          validator_(validator), pacer_(pacer) {}

    // Makes next() return the line that starts at `offset`, at or after the start of the line
    // next() would return. Bytes already held are used again.
    void seek(std::uint64_t offset) {
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

    Line next() {
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
                const std::size_t breakLength =
                    buffer_[at] == '\r' && at + 1 < end_ && buffer_[at + 1] == '\n' ? 2 : 1;
                pos_ = at + breakLength;
                return finish(start, found, inBuffer);
            }
            if (eof_) {
                pos_ = end_;
                return finish(start, base_ + end_, inBuffer);
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

    // Skips `count` lines; false when the file ended first.
    bool skip(std::uint64_t count) {
        for (std::uint64_t k = 0; k < count; ++k) {
            if (!next().present) {
                return false;
            }
        }
        return true;
    }

private:
    struct Seen {
        std::uint64_t found = kNone; // the next such byte at or after the last search's start
        std::uint64_t clearTo = 0;   // when none was found: none before this offset
    };

    Line finish(std::uint64_t start, std::uint64_t end, bool inBuffer) const {
        Line line{true, start, end - start, nullptr};
        if (inBuffer) {
            line.bytes = buffer_.get() + (start - base_);
        }
        return line;
    }

    std::uint64_t findBreak(std::uint64_t from) {
        return std::min(nextOf('\n', lf_, from), nextOf('\r', cr_, from));
    }

    std::uint64_t nextOf(unsigned char byte, Seen& seen, std::uint64_t from) {
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
        seen.found = base_ + static_cast<std::uint64_t>(static_cast<const unsigned char*>(hit) -
                                                        buffer_.get());
        return seen.found;
    }

    // Keeps the bytes from pos_ on, moved to the front, and reads more after them. False at the
    // end of the file.
    bool fill() {
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
        ssize_t got;
        do {
            got = ::pread(file_.descriptor(), buffer_.get() + end_, want,
                          static_cast<off_t>(base_ + end_));
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            file_.failReading();
        }
        if (got == 0) {
            eof_ = true;
            return false;
        }
        const auto size = static_cast<std::size_t>(got);
        if (validator_ != nullptr) {
            validator_->feed(buffer_.get() + end_, size);
        }
        end_ += size;
        if (pacer_ != nullptr) {
            pacer_->add(size);
        }
        return true;
    }

    const SourceFile& file_;
    std::size_t capacity_;
    std::unique_ptr<unsigned char[]> buffer_;
    std::uint64_t base_;  // file offset of buffer_[0]
    std::size_t pos_ = 0; // where the next line starts
    std::size_t end_ = 0; // bytes held
    bool eof_ = false;
    Seen lf_, cr_;
    std::size_t firstRead_;
    std::size_t readSize_; // bytes the next read asks for at most
    Utf8Validator* validator_;
    Pacer* pacer_;
};

// The bytes of a line, from memory or read again from the file, seen through a window that the
// algorithms below move forwards.
class MemoryBytes {
public:
    MemoryBytes(const unsigned char* bytes, std::uint64_t size) : bytes_(bytes), size_(size) {}
    // At least min(wanted, what is left) bytes; empty at the end.
    std::span<const unsigned char> window(std::size_t /*wanted*/) const {
        return {bytes_ + pos_, static_cast<std::size_t>(size_ - pos_)};
    }
    void consume(std::size_t count) { pos_ += count; }

private:
    const unsigned char* bytes_;
    std::uint64_t size_;
    std::uint64_t pos_ = 0;
};

class FileBytes {
public:
    FileBytes(const SourceFile& file, std::uint64_t offset, std::uint64_t size, Pacer* pacer,
              bool comparing)
        : file_(file), buffer_(new unsigned char[stream_]), offset_(offset), left_(size),
          pacer_(pacer), comparing_(comparing) {}

    std::span<const unsigned char> window(std::size_t wanted) {
        if (end_ - pos_ < wanted && left_ > 0) {
            refill();
        }
        return {buffer_.get() + pos_, end_ - pos_};
    }
    void consume(std::size_t count) { pos_ += count; }

private:
    void refill() {
        std::memmove(buffer_.get(), buffer_.get() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
        while (left_ > 0 && end_ < stream_) {
            const std::size_t want =
                static_cast<std::size_t>(std::min<std::uint64_t>(left_, stream_ - end_));
            const ssize_t got = ::pread(file_.descriptor(), buffer_.get() + end_, want,
                                        static_cast<off_t>(offset_));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                file_.failReading();
            }
            if (got == 0) {
                if (comparing_) {
                    throwChangedDuringPass(file_.path());
                }
                throwChangedSince(file_.path());
            }
            end_ += static_cast<std::size_t>(got);
            offset_ += static_cast<std::uint64_t>(got);
            left_ -= static_cast<std::uint64_t>(got);
        }
        if (pacer_ != nullptr) {
            pacer_->tick();
        }
    }

    const SourceFile& file_;
    std::size_t stream_ = std::max<std::size_t>(LargeComparisonBuffers::current().stream, 4);
    std::unique_ptr<unsigned char[]> buffer_;
    std::uint64_t offset_;
    std::uint64_t left_;
    std::size_t pos_ = 0, end_ = 0;
    Pacer* pacer_;
    bool comparing_;
};

// What one line pair comes to: each line's length in characters, and its differing characters.
struct PairCounts {
    std::uint64_t length1 = 0, length2 = 0;
    std::uint64_t differing1 = 0, differing2 = 0;
};

template <class Bytes> std::uint64_t drainBytes(Bytes& bytes) {
    std::uint64_t count = 0;
    for (auto window = bytes.window(1); !window.empty(); window = bytes.window(1)) {
        count += window.size();
        bytes.consume(window.size());
    }
    return count;
}

template <class Bytes> std::uint64_t drainUtf8(Bytes& bytes) {
    std::uint64_t count = 0;
    for (auto window = bytes.window(1); !window.empty(); window = bytes.window(1)) {
        count += countUtf8Characters(window.data(), window.size());
        bytes.consume(window.size());
    }
    return count;
}

// Windows-1252: a character per byte, and equal characters are equal bytes.
template <class A, class B> PairCounts compareWindows1252(A& a, B& b) {
    std::uint64_t common = 0, mismatches = 0;
    while (true) {
        const auto windowA = a.window(1);
        const auto windowB = b.window(1);
        if (windowA.empty() || windowB.empty()) {
            break;
        }
        const std::size_t n = std::min(windowA.size(), windowB.size());
        for (std::size_t i = 0; i < n; ++i) {
            mismatches += windowA[i] != windowB[i] ? 1 : 0;
        }
        common += n;
        a.consume(n);
        b.consume(n);
    }
    const std::uint64_t rest1 = drainBytes(a);
    const std::uint64_t rest2 = drainBytes(b);
    return {common + rest1, common + rest2, mismatches + rest1, mismatches + rest2};
}

// How many leading bytes two windows share, cut back to the start of a character of both.
inline std::size_t sharedCharacterBytes(std::span<const unsigned char> a,
                                        std::span<const unsigned char> b) {
    constexpr std::size_t kBlock = 32;
    const std::size_t size = std::min(a.size(), b.size());
    std::size_t same = 0;
    while (same + kBlock <= size && std::memcmp(a.data() + same, b.data() + same, kBlock) == 0) {
        same += kBlock;
    }
    while (same < size && a[same] == b[same]) {
        ++same;
    }
    // A character may go on past the window: keep three bytes back in that case.
    std::size_t cut = same < size ? same : (same > 3 ? same - 3 : 0);
    while (cut > 0 && (isContinuation(a[cut]) || isContinuation(b[cut]))) {
        --cut;
    }
    return cut;
}

// UTF-8: characters side by side; two characters are equal when their bytes are. Runs of equal
// bytes are passed over in bulk.
template <class A, class B> PairCounts compareUtf8(A& a, B& b) {
    constexpr std::size_t kBulk = 16;
    std::uint64_t common = 0, mismatches = 0;
    while (true) {
        const auto windowA = a.window(4);
        const auto windowB = b.window(4);
        if (windowA.empty() || windowB.empty()) {
            break;
        }
        const std::size_t shared = sharedCharacterBytes(windowA, windowB);
        if (shared >= kBulk) {
            common += countUtf8Characters(windowA.data(), shared);
            a.consume(shared);
            b.consume(shared);
            continue;
        }
        const std::size_t lengthA = std::min(utf8Length(windowA[0]), windowA.size());
        const std::size_t lengthB = std::min(utf8Length(windowB[0]), windowB.size());
        if (lengthA != lengthB || std::memcmp(windowA.data(), windowB.data(), lengthA) != 0) {
            ++mismatches;
        }
        ++common;
        a.consume(lengthA);
        b.consume(lengthB);
    }
    const std::uint64_t rest1 = drainUtf8(a);
    const std::uint64_t rest2 = drainUtf8(b);
    return {common + rest1, common + rest2, mismatches + rest1, mismatches + rest2};
}

// Up to `maxColumns` characters of a line from column `firstColumn` on, appended to `text`;
// returns the line's length in characters.
template <class Bytes>
std::uint64_t sliceLine(Bytes& bytes, Decoding decoding, std::uint64_t firstColumn,
                        std::uint64_t maxColumns, std::u32string& text) {
    std::uint64_t column = 0;
    const std::uint64_t stop =
        maxColumns > UINT64_MAX - firstColumn ? UINT64_MAX : firstColumn + maxColumns;
    if (decoding == Decoding::Windows1252) {
        std::u32string piece;
        for (auto window = bytes.window(1); !window.empty(); window = bytes.window(1)) {
            const std::uint64_t from = std::clamp(firstColumn, column, column + window.size());
            const std::uint64_t to = std::clamp(stop, column, column + window.size());
            if (from < to) {
                decodeWindows1252(
                    std::string_view(reinterpret_cast<const char*>(window.data()) + (from - column),
                                     static_cast<std::size_t>(to - from)),
                    piece);
                text += piece;
            }
            column += window.size();
            bytes.consume(window.size());
        }
        return column;
    }
    while (true) {
        const auto window = bytes.window(4);
        if (window.empty()) {
            break;
        }
        if (column >= stop) {
            return column + drainUtf8(bytes);
        }
        // Far from the slice: whole characters of the window are counted, not decoded (there
        // are no more of them than bytes).
        if (window.size() > 4 && column + window.size() <= firstColumn) {
            std::size_t cut = window.size() - 3;
            while (cut > 0 && isContinuation(window[cut])) {
                --cut;
            }
            if (cut > 0) {
                column += countUtf8Characters(window.data(), cut);
                bytes.consume(cut);
                continue;
            }
        }
        if (column >= firstColumn && window[0] < 0x80) {
            // A run of ASCII in the slice: a character per byte.
            const std::size_t most =
                static_cast<std::size_t>(std::min<std::uint64_t>(window.size(), stop - column));
            std::size_t run = 1;
            while (run < most && window[run] < 0x80) {
                ++run;
            }
            text.append(window.begin(), window.begin() + static_cast<std::ptrdiff_t>(run));
            column += run;
            bytes.consume(run);
            continue;
        }
        const std::size_t length = std::min(utf8Length(window[0]), window.size());
        if (column >= firstColumn) {
            text.push_back(utf8Code(window.data(), length));
        }
        ++column;
        bytes.consume(length);
    }
    return column;
}

// The differing columns of `text` (columns from `firstColumn` on of a line), against `other`
// (the same columns of the other line, whose whole length is `otherLength`).
std::vector<ColumnRun> differingRuns(const std::u32string& text, const std::u32string& other,
                                     std::uint64_t otherLength, std::uint64_t firstColumn) {
    std::vector<ColumnRun> runs;
    // Columns that both lines have; past them every column differs.
    const std::size_t both = static_cast<std::size_t>(
        std::min<std::uint64_t>(std::min(text.size(), other.size()),
                                otherLength > firstColumn ? otherLength - firstColumn : 0));
    constexpr std::size_t kBlock = 8;
    for (std::size_t j = 0; j < text.size(); ++j) {
        // Equal columns are passed over a block at a time.
        while (j + kBlock <= both &&
               std::memcmp(text.data() + j, other.data() + j, kBlock * sizeof(char32_t)) == 0) {
            j += kBlock;
        }
        if (j >= text.size()) {
            break;
        }
        const std::uint64_t column = firstColumn + j;
        if (j < both && text[j] == other[j]) {
            continue;
        }
        if (!runs.empty() && runs.back().last + 1 == column) {
            runs.back().last = column;
        } else {
            runs.push_back({column, column});
        }
    }
    return runs;
}

struct IndexEntry {
    std::uint64_t line = 0;
    std::uint64_t offset = 0;
};

// A line the pass noted for its length: where it starts, its bytes (without the line break), where
// the next line starts (kNone after the last), its characters under UTF-8 and the byte (from the
// line's start) where each column that is a multiple of checkpointColumns starts under UTF-8.
struct LongLine {
    std::uint64_t line = 0;
    std::uint64_t start = 0;
    std::uint64_t length = 0;
    std::uint64_t next = kNone;
    std::uint64_t characters = 0;
    std::uint64_t columnsApart = 1;
    std::vector<std::uint64_t> checkpoints; // for columns 0, columnsApart, ... below characters
};

// What the pass keeps of one file.
struct FileRecord {
    fs::path path;
    Identity identity;
    std::uint64_t lines = 0;
    std::uint64_t longest = 0;       // in characters
    std::uint64_t longestBytes = 0;  // without the line break
    std::vector<IndexEntry> index;   // the start of line 0, then sparse line starts
    std::vector<LongLine> longLines; // by increasing line

    const LongLine* longLine(std::uint64_t k) const {
        const auto at =
            std::lower_bound(longLines.begin(), longLines.end(), k,
                             [](const LongLine& l, std::uint64_t n) { return l.line < n; });
        return at != longLines.end() && at->line == k ? &*at : nullptr;
    }
};

struct DifferingStart {
    std::size_t index = 0; // in Findings::differing
    std::array<std::uint32_t, 2> start{};
};

// What a comparison keeps once its pass is over.
struct Findings {
    std::array<FileRecord, 2> files;
    Decoding decoding = Decoding::Utf8;
    ComparisonTotals totals;
    // A deque, whose growth never holds two copies of it.
    std::deque<std::uint64_t> differing;
    // Where the first differing line pair of each stretch of consecutive ones (and line pairs 0
    // and 1, when they differ) starts in files 1 and 2: bytes after the offset of the file's last
    // index entry at or before that line (kNoStart for a missing line). The other lines of a
    // stretch start where the line before ends: a pair costs 8 bytes then, not 16.
    std::vector<DifferingStart> differingStarts; // by increasing `index`

    // The recorded start of differing line pair `i` (an index in `differing`), if any.
    const DifferingStart* startOf(std::size_t i) const {
        const auto at = std::lower_bound(
            differingStarts.begin(), differingStarts.end(), i,
            [](const DifferingStart& start, std::size_t index) { return start.index < index; });
        return at != differingStarts.end() && at->index == i ? &*at : nullptr;
    }
    // The recorded start of the stretch of consecutive differing line pairs that holds `i`.
    const DifferingStart& headOf(std::size_t i) const {
        return *std::prev(std::upper_bound(
            differingStarts.begin(), differingStarts.end(), i,
            [](std::size_t index, const DifferingStart& start) { return index < start.index; }));
    }
};

// Everything run() works out, under both decodings until it is known which one applies.
class Pass {
public:
    Pass(const fs::path& path1, const fs::path& path2, const LargeComparison::Progress& progress)
        : source1_(path1), source2_(path2),
          pacer_(progress, totalSize(),
                 "Se ha cancelado la comparación de " + quoted(path1) + " y " + quoted(path2) +
                     ".") {}

    std::unique_ptr<Findings> run() {
        auto state = std::make_unique<Findings>();
        const std::array<const SourceFile*, 2> sources{&source1_, &source2_};
        std::array<std::uint64_t, 2> starts{};
        std::array<Identity, 2> identities;
        for (int f = 0; f < 2; ++f) {
            const std::optional<Identity> identity = Identity::of(sources[f]->descriptor());
            if (!identity) {
                sources[f]->failReading();
            }
            identities[f] = *identity;
            bom_[f] = startsWithBom(*sources[f]);
            starts[f] = bom_[f] ? kUtf8ByteOrderMark.size() : 0;
        }
        pacer_.report();
        const std::size_t capacity = LargeComparisonBuffers::current().pass;
        LineReader reader1(source1_, starts[0], capacity, &validators_[0], &pacer_);
        LineReader reader2(source2_, starts[1], capacity, &validators_[1], &pacer_);

        for (std::uint64_t k = 0;; ++k) {
            const Line line1 = reader1.next();
            const Line line2 = reader2.next();
            if (!line1.present && !line2.present) {
                break;
            }
            record(state->files[0], k, line1, source1_, bom_[0]);
            record(state->files[1], k, line2, source2_, bom_[1]);
            comparePair(k, line1, line2, *state);
        }
        pacer_.report();

        for (int f = 0; f < 2; ++f) {
            const std::optional<Identity> now = Identity::of(sources[f]->descriptor());
            if (!now || !(*now == identities[f])) {
                throwChangedDuringPass(sources[f]->path());
            }
            state->files[f].path = sources[f]->path();
            state->files[f].identity = identities[f];
        }

        const bool utf8 = validators_[0].valid() && validators_[1].valid();
        state->decoding = utf8 ? Decoding::Utf8 : Decoding::Windows1252;
        Totals& totals = totals_[utf8 ? 0 : 1];
        if (!utf8 && (bom_[0] || bom_[1])) {
            readFirstPairAgain(*state);
        }
        for (int f = 0; f < 2; ++f) {
            state->files[f].longest = totals.longest[f];
            // Under Windows-1252 a character is a byte.
            state->files[f].longestBytes = totals_[1].longest[f];
        }
        state->differing = std::move(differing_);
        state->differingStarts = std::move(differingStarts_);
        ComparisonTotals& out = state->totals;
        out.differingCharacters1 = totals.differing[0];
        out.differingCharacters2 = totals.differing[1];
        out.differingLines = state->differing.size();
        const std::uint64_t lines1 = state->files[0].lines;
        const std::uint64_t lines2 = state->files[1].lines;
        out.linesOnlyIn1 = lines1 > lines2 ? lines1 - lines2 : 0;
        out.linesOnlyIn2 = lines2 > lines1 ? lines2 - lines1 : 0;
        return state;
    }

private:
    struct Totals {
        std::array<std::uint64_t, 2> differing{};
        std::array<std::uint64_t, 2> longest{};
    };

    std::uint64_t totalSize() const {
        std::uint64_t total = 0;
        for (const SourceFile* source : {&source1_, &source2_}) {
            if (const auto identity = Identity::of(source->descriptor())) {
                total += static_cast<std::uint64_t>(identity->size);
            }
        }
        return total;
    }

    static bool startsWithBom(const SourceFile& source) {
        std::array<char, 3> head{};
        ssize_t got;
        do {
            got = ::pread(source.descriptor(), head.data(), head.size(), 0);
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            source.failReading();
        }
        return got == 3 && std::string_view(head.data(), 3) == kUtf8ByteOrderMark;
    }

    void record(FileRecord& file, std::uint64_t k, const Line& line, const SourceFile& source,
                bool bom) {
        if (!line.present) {
            return;
        }
        file.lines = k + 1;
        const LargeComparisonBuffers& sizes = LargeComparisonBuffers::current();
        if (!file.longLines.empty() && file.longLines.back().line + 1 == k) {
            file.longLines.back().next = line.start;
        }
        // Line 0 after a byte-order mark starts elsewhere under Windows-1252: it is not noted.
        if (line.length >= std::max<std::uint64_t>(sizes.longLineBytes, 1) && !(k == 0 && bom)) {
            file.longLines.push_back(noteLongLine(k, line, source));
        }
        if (file.index.empty() || k - file.index.back().line >= sizes.indexLines ||
            line.start - file.index.back().offset >= std::min(sizes.indexBytes, kMostIndexBytes)) {
            file.index.push_back({k, line.start});
        }
    }

    template <class F> auto withBytes(const SourceFile& source, const Line& line, F&& use) {
        if (line.bytes != nullptr || !line.present) {
            MemoryBytes bytes(line.bytes, line.length);
            return use(bytes);
        }
        FileBytes bytes(source, line.start, line.length, &pacer_, true);
        return use(bytes);
    }

    // Counts the characters of a long line under UTF-8 (its lead bytes), noting where each
    // checkpoint's column starts.
    LongLine noteLongLine(std::uint64_t k, const Line& line, const SourceFile& source) {
        LongLine noted;
        noted.line = k;
        noted.start = line.start;
        noted.length = line.length;
        noted.columnsApart =
            std::max<std::uint64_t>(LargeComparisonBuffers::current().checkpointColumns, 1);
        withBytes(source, line, [&](auto& bytes) {
            std::uint64_t offset = 0;
            std::uint64_t column = 0; // lead bytes so far
            for (auto window = bytes.window(1); !window.empty(); window = bytes.window(1)) {
                const std::uint64_t leads = countUtf8Characters(window.data(), window.size());
                const std::uint64_t nextCheckpoint = noted.checkpoints.size() * noted.columnsApart;
                if (column + leads > nextCheckpoint) {
                    // One or more checkpoints fall in this window: find them byte by byte.
                    for (std::size_t i = 0; i < window.size(); ++i) {
                        if (isContinuation(window[i])) {
                            continue;
                        }
                        if (column == noted.checkpoints.size() * noted.columnsApart) {
                            noted.checkpoints.push_back(offset + i);
                        }
                        ++column;
                    }
                } else {
                    column += leads;
                }
                offset += window.size();
                bytes.consume(window.size());
            }
            noted.characters = column;
            return 0;
        });
        return noted;
    }

    // Both decodings' counts of a line pair whose bytes differ.
    std::array<PairCounts, 2> countPair(const Line& line1, const Line& line2) {
        std::array<PairCounts, 2> counts;
        for (int d = 0; d < 2; ++d) {
            counts[d] = withBytes(source1_, line1, [&](auto& bytes1) {
                return withBytes(source2_, line2, [&](auto& bytes2) {
                    return d == 0 ? compareUtf8(bytes1, bytes2)
                                  : compareWindows1252(bytes1, bytes2);
                });
            });
        }
        return counts;
    }

    void comparePair(std::uint64_t k, const Line& line1, const Line& line2, const Findings& state) {
        // Lines held in the buffers are compared at once; longer ones are counted right away.
        const bool equal = line1.present && line2.present && line1.length == line2.length &&
                           line1.bytes != nullptr && line2.bytes != nullptr &&
                           std::memcmp(line1.bytes, line2.bytes, line1.length) == 0;
        if (equal) {
            for (int f = 0; f < 2; ++f) {
                totals_[1].longest[f] = std::max(totals_[1].longest[f], line1.length);
            }
            const std::uint64_t shortest = std::min(totals_[0].longest[0], totals_[0].longest[1]);
            if (line1.length > shortest) {
                const std::uint64_t length =
                    withBytes(source1_, line1, [&](auto& bytes) { return drainUtf8(bytes); });
                for (int f = 0; f < 2; ++f) {
                    totals_[0].longest[f] = std::max(totals_[0].longest[f], length);
                }
            }
            if (k == 0) {
                first_ = {line1, line2, {}};
            }
            return;
        }
        const std::array<PairCounts, 2> counts = countPair(line1, line2);
        for (int d = 0; d < 2; ++d) {
            add(totals_[d], counts[d], 1);
        }
        if (counts[1].differing1 + counts[1].differing2 > 0) {
            const bool follows = k > 1 && !differing_.empty() && differing_.back() + 1 == k;
            if (!follows) {
                differingStarts_.push_back(
                    {differing_.size(),
                     {startOf(line1, state.files[0]), startOf(line2, state.files[1])}});
            }
            differing_.push_back(k);
        }
        if (k == 0) {
            first_ = {line1, line2, counts[1]};
        }
    }

    // Where `line`, just recorded in `file`, starts after its index entry.
    static std::uint32_t startOf(const Line& line, const FileRecord& file) {
        return line.present ? static_cast<std::uint32_t>(line.start - file.index.back().offset)
                            : kNoStart;
    }

    static void add(Totals& totals, const PairCounts& counts, int sign) {
        const auto apply = [sign](std::uint64_t& total, std::uint64_t value) {
            total = sign > 0 ? total + value : total - value;
        };
        apply(totals.differing[0], counts.differing1);
        apply(totals.differing[1], counts.differing2);
        totals.longest[0] = std::max(totals.longest[0], counts.length1);
        totals.longest[1] = std::max(totals.longest[1], counts.length2);
    }

    // Under Windows-1252 a byte-order mark is three characters of line 0: the pass read that
    // line without them, so it is compared again from the start of each file.
    void readFirstPairAgain(Findings& state) {
        Totals& totals = totals_[1];
        // Take back what the pass counted for line pair 0 (nothing when it was equal).
        totals.differing[0] -= first_.counts.differing1;
        totals.differing[1] -= first_.counts.differing2;
        if (!differing_.empty() && differing_.front() == 0) {
            // Line pair 0 always has its start recorded, and so has pair 1.
            differing_.erase(differing_.begin());
            differingStarts_.erase(differingStarts_.begin());
            for (DifferingStart& start : differingStarts_) {
                --start.index;
            }
        }
        std::array<Line, 2> lines{first_.line1, first_.line2};
        for (int f = 0; f < 2; ++f) {
            if (!bom_[f]) {
                continue;
            }
            const std::uint64_t rest = lines[f].present ? lines[f].length : 0;
            lines[f] = {true, 0, kUtf8ByteOrderMark.size() + rest, nullptr};
            FileRecord& file = state.files[f];
            file.lines = std::max<std::uint64_t>(file.lines, 1);
            if (file.index.empty()) {
                file.index.push_back({0, 0});
            }
            file.index.front().offset = 0;
            // The other lines before the next index entry now start three bytes further after
            // the first one.
            const std::uint64_t next = file.index.size() > 1 ? file.index[1].line : kNone;
            for (DifferingStart& start : differingStarts_) {
                if (differing_[start.index] < next && start.start[f] != kNoStart) {
                    start.start[f] += kUtf8ByteOrderMark.size();
                }
            }
        }
        // Whole lines from the files, as bytes in memory are gone.
        const auto counts = [&] {
            FileBytes bytes1(source1_, lines[0].start, lines[0].length, &pacer_, true);
            FileBytes bytes2(source2_, lines[1].start, lines[1].length, &pacer_, true);
            if (!lines[0].present) {
                MemoryBytes none(nullptr, 0);
                return compareWindows1252(none, bytes2);
            }
            if (!lines[1].present) {
                MemoryBytes none(nullptr, 0);
                return compareWindows1252(bytes1, none);
            }
            return compareWindows1252(bytes1, bytes2);
        }();
        totals.differing[0] += counts.differing1;
        totals.differing[1] += counts.differing2;
        totals.longest[0] = std::max(totals.longest[0], counts.length1);
        totals.longest[1] = std::max(totals.longest[1], counts.length2);
        if (counts.differing1 + counts.differing2 > 0) {
            differing_.insert(differing_.begin(), 0);
            for (DifferingStart& start : differingStarts_) {
                ++start.index;
            }
            // Line 0 starts where the first index entry says, in both files.
            differingStarts_.insert(
                differingStarts_.begin(),
                {0, {lines[0].present ? 0 : kNoStart, lines[1].present ? 0 : kNoStart}});
        }
    }

    struct FirstPair {
        Line line1, line2;
        PairCounts counts; // under Windows-1252
    };

    SourceFile source1_, source2_;
    Pacer pacer_;
    std::array<Utf8Validator, 2> validators_;
    std::array<bool, 2> bom_{};
    std::array<Totals, 2> totals_; // under UTF-8, under Windows-1252
    std::deque<std::uint64_t> differing_;
    std::vector<DifferingStart> differingStarts_;
    FirstPair first_;
};

// Reads the slice of `line` (just returned by a reader of `source`) into one file's side of
// `slice`.
void readSide(const SourceFile& source, const Line& line, Decoding decoding,
              std::uint64_t firstColumn, std::uint64_t maxColumns, int f, LinePairSlice& slice,
              const LongLine* noted = nullptr) {
    std::u32string& text = f == 0 ? slice.text1 : slice.text2;
    std::uint64_t length;
    if (noted != nullptr) {
        // Only the bytes of the columns asked for, from the checkpoint before them.
        const std::uint64_t stop =
            maxColumns > UINT64_MAX - firstColumn ? UINT64_MAX : firstColumn + maxColumns;
        std::uint64_t begin = std::min(firstColumn, noted->length);
        std::uint64_t end = std::min(stop, noted->length);
        std::uint64_t skip = 0;
        length = noted->length;
        if (decoding == Decoding::Utf8) {
            length = noted->characters;
            const std::uint64_t apart = noted->columnsApart;
            const std::size_t count = noted->checkpoints.size();
            const std::size_t from = count == 0 ? 0
                                                : static_cast<std::size_t>(std::min<std::uint64_t>(
                                                      firstColumn / apart, count - 1));
            begin = count == 0 ? 0 : noted->checkpoints[from];
            skip = firstColumn - std::min(firstColumn, std::uint64_t(from) * apart);
            const std::uint64_t after = stop / apart + 1; // a checkpoint past the last column
            end = after < count ? noted->checkpoints[after] : noted->length;
            end = std::max(end, begin);
        }
        FileBytes bytes(source, line.start + begin, end - begin, nullptr, false);
        sliceLine(bytes, decoding, skip, maxColumns, text);
    } else if (line.bytes != nullptr) {
        // No more characters than bytes, and the line fits a reader's buffer.
        if (firstColumn == 0) {
            text.reserve(static_cast<std::size_t>(std::min(line.length, maxColumns)));
        }
        MemoryBytes bytes(line.bytes, line.length);
        length = sliceLine(bytes, decoding, firstColumn, maxColumns, text);
    } else {
        FileBytes bytes(source, line.start, line.length, nullptr, false);
        length = sliceLine(bytes, decoding, firstColumn, maxColumns, text);
    }
    (f == 0 ? slice.has1 : slice.has2) = true;
    (f == 0 ? slice.length1 : slice.length2) = length;
}

void addRuns(LinePairSlice& slice) {
    slice.runs1 = differingRuns(slice.text1, slice.text2, slice.length2, slice.firstColumn);
    slice.runs2 = differingRuns(slice.text2, slice.text1, slice.length1, slice.firstColumn);
}

// Walks the two lines of a pair side by side from column `firstColumn`, where `a` and `b` stand,
// stretches of equal bytes a block at a time, and calls `visit` with each column where a run of
// differing characters starts, in increasing order, until it returns false. (From a column past
// 0 the walk cannot tell whether its first column starts a run: callers ignore that one.) The
// walk ends once it has passed column `stopColumn`. Once a
// line has ended, the rest of the other is one run. Under UTF-8 (valid, as the pass found)
// characters are equal when their bytes are.
template <class A, class B, class Visit>
void visitRunStarts(A& a, B& b, Decoding decoding, std::uint64_t firstColumn, Visit visit,
                    std::uint64_t stopColumn = UINT64_MAX) {
    const bool utf8 = decoding == Decoding::Utf8;
    std::uint64_t column = firstColumn;
    bool differed = false; // whether the column before differs
    std::u32string one, two;
    while (column < stopColumn) {
        const auto wa = a.window(4);
        const auto wb = b.window(4);
        if (wa.empty() || wb.empty()) {
            if ((!wa.empty() || !wb.empty()) && !differed) {
                visit(column);
            }
            return;
        }
        const std::size_t both = std::min(wa.size(), wb.size());
        // Equal bytes up to a cut that ends a character in both lines, held whole in both windows.
        std::size_t cut = static_cast<std::size_t>(
            std::mismatch(wa.begin(), wa.begin() + static_cast<std::ptrdiff_t>(both), wb.begin())
                .first -
            wa.begin());
        if (utf8) {
            cut = std::min(cut, both > 4 ? both - 4 : 0);
            while (cut > 0 && (isContinuation(wa[cut]) || isContinuation(wb[cut]))) {
                --cut;
            }
        }
        if (cut > 0) {
            column += utf8 ? countUtf8Characters(wa.data(), cut) : cut;
            a.consume(cut);
            b.consume(cut);
            differed = false;
            continue;
        }
        bool differs = false;
        std::size_t lengthA = 1, lengthB = 1;
        if (utf8) {
            lengthA = std::min(utf8Length(wa[0]), wa.size());
            lengthB = std::min(utf8Length(wb[0]), wb.size());
            differs = lengthA != lengthB || std::memcmp(wa.data(), wb.data(), lengthA) != 0;
        } else if (wa[0] != wb[0]) {
            one.clear();
            two.clear();
            decodeWindows1252(std::string_view(reinterpret_cast<const char*>(wa.data()), 1), one);
            decodeWindows1252(std::string_view(reinterpret_cast<const char*>(wb.data()), 1), two);
            differs = one != two;
        }
        if (differs && !differed && !visit(column)) {
            return;
        }
        differed = differs;
        ++column;
        a.consume(lengthA);
        b.consume(lengthB);
    }
}

// Moves `bytes` on by `count` characters, or to its end.
template <class Bytes> void skipCharacters(Bytes& bytes, Decoding decoding, std::uint64_t count) {
    while (true) {
        const auto window = bytes.window(1);
        if (window.empty()) {
            return;
        }
        if (decoding != Decoding::Utf8) {
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(count, window.size()));
            bytes.consume(n);
            count -= n;
            if (count == 0) {
                return;
            }
            continue;
        }
        // Whole characters: a lead byte and the continuation bytes after it, which may be in
        // the next window.
        std::size_t i = 0;
        for (; i < window.size(); ++i) {
            if (!isContinuation(window[i])) {
                if (count == 0) {
                    bytes.consume(i);
                    return;
                }
                --count;
            }
        }
        bytes.consume(i);
    }
}

// Throws FileChangedError unless `source` is still the compared file.
void checkUnchanged(const SourceFile& source, const FileRecord& file) {
    const std::optional<Identity> now = Identity::of(source.descriptor());
    if (!now || !(*now == file.identity)) {
        throwChangedSince(file.path);
    }
}

// Opens a compared file again for reading, or throws FileChangedError if it is not the same.
SourceFile reopen(const FileRecord& file) {
    try {
        SourceFile source(file.path);
        const std::optional<Identity> now = Identity::of(source.descriptor());
        if (!now || !(*now == file.identity)) {
            throwChangedSince(file.path);
        }
        return source;
    } catch (const FileError&) {
        throwChangedSince(file.path);
    }
}

} // namespace

struct LargeComparison::State : Findings {
    IndexEntry nearestStart(int f, std::uint64_t line) const;
    // Calls `visit` with each column of line pair `line` from `fromColumn` on where a run starts
    // (visitRunStarts()), up to about `stopColumn`. A long line is entered at its checkpoint
    // before `fromColumn`.
    void visitRuns(std::uint64_t line, const std::function<bool(std::uint64_t)>& visit,
                   std::uint64_t fromColumn = 0, std::uint64_t stopColumn = UINT64_MAX) const;
    // The columns of the longer line of pair `line` when one of them is long (noted by the
    // pass), else 0.
    std::uint64_t longColumns(std::uint64_t line) const;
};

LargeComparisonBuffers& LargeComparisonBuffers::current() {
    static LargeComparisonBuffers sizes;
    return sizes;
}

LargeComparison LargeComparison::run(const fs::path& file1, const fs::path& file2,
                                     const Progress& progress) {
    Pass pass(file1, file2, progress);
    std::unique_ptr<Findings> findings = pass.run();
    auto state = std::make_unique<State>();
    static_cast<Findings&>(*state) = std::move(*findings);
    return LargeComparison(std::move(state));
}

LargeComparison::LargeComparison(std::unique_ptr<State> state) : state_(std::move(state)) {}
LargeComparison::LargeComparison(LargeComparison&&) noexcept = default;
LargeComparison& LargeComparison::operator=(LargeComparison&&) noexcept = default;
LargeComparison::~LargeComparison() = default;

const fs::path& LargeComparison::path(int file) const {
    return state_->files[file == 2 ? 1 : 0].path;
}

Decoding LargeComparison::decoding() const { return state_->decoding; }

std::uint64_t LargeComparison::lineCount(int file) const {
    return state_->files[file == 2 ? 1 : 0].lines;
}

std::uint64_t LargeComparison::longestLine(int file) const {
    return state_->files[file == 2 ? 1 : 0].longest;
}

const ComparisonTotals& LargeComparison::totals() const { return state_->totals; }

std::optional<std::uint64_t> LargeComparison::nextDifferingLine(std::uint64_t line) const {
    const auto& lines = state_->differing;
    const auto it = std::upper_bound(lines.begin(), lines.end(), line);
    return it == lines.end() ? std::nullopt : std::optional(*it);
}

std::optional<std::uint64_t> LargeComparison::previousDifferingLine(std::uint64_t line) const {
    const auto& lines = state_->differing;
    const auto it = std::lower_bound(lines.begin(), lines.end(), line);
    return it == lines.begin() ? std::nullopt : std::optional(*std::prev(it));
}

std::optional<std::uint64_t> LargeComparison::firstDifferingLine() const {
    const auto& lines = state_->differing;
    return lines.empty() ? std::nullopt : std::optional(lines.front());
}

std::optional<std::uint64_t> LargeComparison::lastDifferingLine() const {
    const auto& lines = state_->differing;
    return lines.empty() ? std::nullopt : std::optional(lines.back());
}

std::uint64_t LargeComparison::differingLinesBefore(std::uint64_t line) const {
    const auto& lines = state_->differing;
    return static_cast<std::uint64_t>(std::lower_bound(lines.begin(), lines.end(), line) -
                                      lines.begin());
}

std::vector<LinePairSlice> LargeComparison::linePairs(std::uint64_t first, std::uint64_t count,
                                                      std::uint64_t firstColumn,
                                                      std::uint64_t maxColumns) const {
    std::vector<LinePairSlice> slices;
    const std::uint64_t pairs = pairCount();
    if (first >= pairs || count == 0) {
        return slices;
    }
    count = std::min(count, pairs - first);
    slices.resize(static_cast<std::size_t>(count));
    for (std::size_t s = 0; s < slices.size(); ++s) {
        slices[s].line = first + s;
        slices[s].firstColumn = firstColumn;
    }

    for (int f = 0; f < 2; ++f) {
        const FileRecord& file = state_->files[f];
        if (first >= file.lines) {
            continue;
        }
        const SourceFile source = reopen(file);
        const IndexEntry from = state_->nearestStart(f, first);
        const std::uint64_t here = std::min(count, file.lines - first);
        // The first read holds the lines up to the last one wanted, if they are no longer than
        // the longest; later reads grow.
        const std::uint64_t lines = first - from.line + here;
        const std::uint64_t perLine = std::min(file.longestBytes, UINT64_MAX / 4) + 2;
        const std::uint64_t slice = LargeComparisonBuffers::current().slice;
        const std::size_t firstRead = static_cast<std::size_t>(
            lines > slice / perLine ? slice : std::max(kMinimumRead, lines * perLine));
        LineReader reader(source, from.offset, slice, nullptr, nullptr, firstRead);
        if (!reader.skip(first - from.line)) {
            throwChangedSince(file.path);
        }
        for (std::size_t s = 0; s < here; ++s) {
            // A long line the pass noted is read in part, and the reader goes on after it.
            const LongLine* noted = file.longLine(first + s);
            Line line;
            if (noted != nullptr) {
                line = {true, noted->start, noted->length, nullptr};
                if (noted->next != kNone) {
                    reader.seek(noted->next);
                }
            } else {
                line = reader.next();
            }
            if (!line.present) {
                throwChangedSince(file.path);
            }
            readSide(source, line, state_->decoding, firstColumn, maxColumns, f, slices[s], noted);
        }
        // Whatever was read must still be the compared file.
        checkUnchanged(source, file);
    }

    for (LinePairSlice& slice : slices) {
        addRuns(slice);
    }
    return slices;
}

// The known line start of file `f` (0 or 1) nearest before line `line`, which that file has:
// its last index entry at or before it, or a differing line between them.
IndexEntry LargeComparison::State::nearestStart(int f, std::uint64_t line) const {
    const std::vector<IndexEntry>& index = files[f].index;
    const IndexEntry entry = *std::prev(
        std::upper_bound(index.begin(), index.end(), line,
                         [](std::uint64_t k, const IndexEntry& e) { return k < e.line; }));
    IndexEntry best = entry;
    // The line after a noted long line starts where that one noted.
    const std::vector<LongLine>& longLines = files[f].longLines;
    const auto longAfter =
        std::lower_bound(longLines.begin(), longLines.end(), line,
                         [](const LongLine& l, std::uint64_t k) { return l.line < k; });
    if (longAfter != longLines.begin()) {
        const LongLine& noted = *std::prev(longAfter);
        if (noted.next != kNone && noted.line + 1 > best.line) {
            best = {noted.line + 1, noted.next};
        }
    }
    const auto after = std::upper_bound(differing.begin(), differing.end(), line);
    if (after == differing.begin() || *std::prev(after) <= best.line) {
        return best;
    }
    const auto i = static_cast<std::size_t>(std::prev(after) - differing.begin());
    const DifferingStart& head = headOf(i);
    if (differing[head.index] <= best.line || head.start[f] == kNoStart) {
        return best;
    }
    return {differing[head.index], entry.offset + head.start[f]};
}

std::vector<LinePairSlice> LargeComparison::differingPairs(std::uint64_t fromLine,
                                                           std::uint64_t maxPairs,
                                                           std::uint64_t maxColumns) const {
    std::vector<LinePairSlice> slices;
    const auto& lines = state_->differing;
    const auto begin = std::lower_bound(lines.begin(), lines.end(), fromLine);
    if (begin == lines.end() || maxPairs == 0) {
        return slices;
    }
    const auto first = static_cast<std::size_t>(begin - lines.begin());
    const std::size_t count =
        static_cast<std::size_t>(std::min<std::uint64_t>(maxPairs, lines.size() - first));
    const LargeComparisonBuffers& sizes = LargeComparisonBuffers::current();

    // A file is opened once the first of its lines is wanted; a reader starts with a read that
    // holds its longest line, so that pairs far apart cost a read each.
    std::array<std::optional<SourceFile>, 2> sources;
    std::array<std::unique_ptr<LineReader>, 2> readers;
    const auto readerOf = [&](int f, std::uint64_t start) -> LineReader& {
        if (!readers[f]) {
            const FileRecord& file = state_->files[f];
            sources[f].emplace(reopen(file));
            const std::size_t firstRead = static_cast<std::size_t>(std::clamp<std::uint64_t>(
                std::min(file.longestBytes, UINT64_MAX - 2) + 2, kMinimumRead, sizes.slice));
            readers[f] = std::make_unique<LineReader>(*sources[f], start, sizes.slice, nullptr,
                                                      nullptr, firstRead);
        }
        return *readers[f];
    };

    std::array<std::uint64_t, 2> lastRead{}; // the line each reader read last
    std::uint64_t characters = 0;
    for (std::size_t i = first;
         i < first + count && (i == first || characters < sizes.batchCharacters); ++i) {
        LinePairSlice& slice = slices.emplace_back();
        slice.line = lines[i];
        const DifferingStart* recorded = state_->startOf(i);
        for (int f = 0; f < 2; ++f) {
            if (lines[i] >= state_->files[f].lines) {
                continue; // the file has no such line
            }
            Line line;
            const LongLine* noted = state_->files[f].longLine(lines[i]);
            if (noted != nullptr) {
                // Read in part from where the pass noted it; the reader goes on after it.
                line = {true, noted->start, noted->length, nullptr};
                LineReader& reader = readerOf(f, noted->next != kNone ? noted->next : noted->start);
                if (noted->next != kNone) {
                    reader.seek(noted->next);
                }
            } else if (recorded != nullptr) {
                const std::vector<IndexEntry>& index = state_->files[f].index;
                const auto entry = std::prev(std::upper_bound(
                    index.begin(), index.end(), lines[i],
                    [](std::uint64_t k, const IndexEntry& e) { return k < e.line; }));
                const std::uint64_t start = entry->offset + recorded->start[f];
                LineReader& reader = readerOf(f, start);
                reader.seek(start);
                line = reader.next();
            } else if (readers[f] && lastRead[f] + 1 == lines[i]) {
                line = readers[f]->next(); // the line after the one just read
            } else {
                // Within a stretch: read on from the nearest start known, with a reader of its own.
                const IndexEntry from = state_->nearestStart(f, lines[i]);
                readers[f].reset();
                LineReader& reader = readerOf(f, from.offset);
                if (!reader.skip(lines[i] - from.line)) {
                    throwChangedSince(state_->files[f].path);
                }
                line = reader.next();
            }
            lastRead[f] = lines[i];
            if (!line.present) {
                throwChangedSince(state_->files[f].path);
            }
            readSide(*sources[f], line, state_->decoding, 0, maxColumns, f, slice, noted);
        }
        addRuns(slice);
        characters += slice.text1.size() + slice.text2.size();
    }
    // Whatever was read must still be the compared files.
    for (int f = 0; f < 2; ++f) {
        if (sources[f]) {
            checkUnchanged(*sources[f], state_->files[f]);
        }
    }
    return slices;
}

// Each file's line is found as linePairs() finds it, then both are read again side by side.
void LargeComparison::State::visitRuns(std::uint64_t line,
                                       const std::function<bool(std::uint64_t)>& visit,
                                       std::uint64_t fromColumn, std::uint64_t stopColumn) const {
    std::array<std::optional<SourceFile>, 2> sources;
    std::array<std::unique_ptr<LineReader>, 2> readers;
    std::array<Line, 2> found{};
    std::array<const LongLine*, 2> noted{};
    const std::size_t slice = LargeComparisonBuffers::current().slice;
    for (int f = 0; f < 2; ++f) {
        const FileRecord& file = files[f];
        if (line >= file.lines) {
            continue;
        }
        sources[f].emplace(reopen(file));
        if ((noted[f] = file.longLine(line)) != nullptr) {
            found[f] = {true, noted[f]->start, noted[f]->length, nullptr};
            continue;
        }
        const IndexEntry from = nearestStart(f, line);
        readers[f] = std::make_unique<LineReader>(*sources[f], from.offset, slice);
        if (!readers[f]->skip(line - from.line)) {
            throwChangedSince(file.path);
        }
        found[f] = readers[f]->next();
        if (!found[f].present) {
            throwChangedSince(file.path);
        }
    }
    // The walk starts a column before `fromColumn`, so that it knows whether that column
    // differs; a long line is entered at the checkpoint before, a short one at its start.
    const std::uint64_t start = fromColumn == 0 ? 0 : fromColumn - 1;
    const auto entry = [&](int f) -> std::pair<std::uint64_t, std::uint64_t> { // byte, column
        const LongLine* long_ = noted[f];
        if (long_ == nullptr) {
            return {0, 0};
        }
        if (decoding != Decoding::Utf8) {
            const std::uint64_t at = std::min(start, long_->length);
            return {at, at};
        }
        const std::size_t count = long_->checkpoints.size();
        if (count == 0) {
            return {0, 0};
        }
        const std::size_t k = static_cast<std::size_t>(
            std::min<std::uint64_t>(start / long_->columnsApart, count - 1));
        return {long_->checkpoints[k], std::uint64_t(k) * long_->columnsApart};
    };
    const auto walk = [&](auto& a, auto& b) {
        skipCharacters(a, decoding, start - entry(0).second);
        skipCharacters(b, decoding, start - entry(1).second);
        visitRunStarts(
            a, b, decoding, start,
            [&](std::uint64_t column) { return column < fromColumn || visit(column); }, stopColumn);
    };
    const auto bytesOf = [&](int f) {
        const std::uint64_t skip = std::min(entry(f).first, found[f].length);
        return found[f].present && found[f].bytes == nullptr
                   ? std::make_unique<FileBytes>(*sources[f], found[f].start + skip,
                                                 found[f].length - skip, nullptr, false)
                   : nullptr;
    };
    const std::unique_ptr<FileBytes> file1 = bytesOf(0);
    const std::unique_ptr<FileBytes> file2 = bytesOf(1);
    MemoryBytes memory1(found[0].bytes, found[0].bytes != nullptr ? found[0].length : 0);
    MemoryBytes memory2(found[1].bytes, found[1].bytes != nullptr ? found[1].length : 0);
    if (file1 && file2) {
        walk(*file1, *file2);
    } else if (file1) {
        walk(*file1, memory2);
    } else if (file2) {
        walk(memory1, *file2);
    } else {
        walk(memory1, memory2);
    }
    for (int f = 0; f < 2; ++f) {
        if (sources[f]) {
            checkUnchanged(*sources[f], files[f]);
        }
    }
}

std::uint64_t LargeComparison::State::longColumns(std::uint64_t line) const {
    std::uint64_t columns = 0;
    for (const FileRecord& file : files) {
        if (const LongLine* noted = file.longLine(line)) {
            columns =
                std::max(columns, decoding == Decoding::Utf8 ? noted->characters : noted->length);
        }
    }
    return columns;
}

std::optional<LineColumn> LargeComparison::runFrom(LineColumn from, bool forward) const {
    // The first run start of `line` after column `after`, or none.
    const auto firstAfter = [this](std::uint64_t line, std::optional<std::uint64_t> after) {
        std::optional<std::uint64_t> found;
        state_->visitRuns(
            line,
            [&](std::uint64_t column) {
                found = column;
                return false;
            },
            after ? *after + 1 : 0);
        return found;
    };
    // The last run start of `line` before column `before`, or before its end when none is given.
    // A long line is walked back in stretches that double, each walked from a checkpoint.
    const auto lastBefore = [this](std::uint64_t line, std::optional<std::uint64_t> before) {
        const std::uint64_t apart =
            std::max<std::uint64_t>(LargeComparisonBuffers::current().checkpointColumns, 1);
        const std::uint64_t longColumns = state_->longColumns(line);
        // Run starts are looked for below `end`.
        std::uint64_t end = before ? *before : longColumns > 0 ? longColumns + 1 : UINT64_MAX;
        std::uint64_t stretch = std::max<std::uint64_t>(apart, 2);
        while (true) {
            // A walk from column `walk` tells the run starts from the column after it (from
            // column 0 at the line's start); `end` falls by at least one each time.
            const std::uint64_t walk =
                end == UINT64_MAX || end <= stretch ? 0 : (end - stretch) / apart * apart;
            std::optional<std::uint64_t> found;
            state_->visitRuns(
                line,
                [&](std::uint64_t column) {
                    if (column >= end) {
                        return false;
                    }
                    found = column;
                    return true;
                },
                walk == 0 ? 0 : walk + 1, end);
            if (found || walk == 0) {
                return found;
            }
            end = walk + 1;
            stretch = std::min(stretch * 2, UINT64_MAX / 4);
        }
    };

    const auto& lines = state_->differing;
    const bool differs = std::binary_search(lines.begin(), lines.end(), from.line);
    if (forward) {
        if (differs) {
            if (const auto column = firstAfter(from.line, from.column)) {
                return LineColumn{from.line, *column};
            }
        }
        for (auto line = nextDifferingLine(from.line); line; line = nextDifferingLine(*line)) {
            if (const auto column = firstAfter(*line, std::nullopt)) {
                return LineColumn{*line, *column};
            }
        }
        return std::nullopt;
    }
    if (differs && from.column > 0) {
        if (const auto column = lastBefore(from.line, from.column)) {
            return LineColumn{from.line, *column};
        }
    }
    for (auto line = previousDifferingLine(from.line); line; line = previousDifferingLine(*line)) {
        if (const auto column = lastBefore(*line, std::nullopt)) {
            return LineColumn{*line, *column};
        }
    }
    return std::nullopt;
}

} // namespace parvane
