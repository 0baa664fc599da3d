#include "comparison/comparison_pass.h"

#include "comparison/comparison_limits.h"
#include "comparison/line_bytes.h"
#include "comparison/line_pair_walk.h"
#include "comparison/ruled_pair.h"
#include "comparison/shift_watch.h"
#include "comparison/utf8_validator.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <exception>
#include <optional>
#include <string_view>
#include <thread>

namespace parvane {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A line start is indexed at least this often in bytes, so that the start of any line fits 32
// bits after its index entry.
constexpr std::uint64_t kMostIndexBytes = UINT32_MAX - 4;
constexpr auto kProgressInterval = std::chrono::milliseconds(25);
// Line pairs compared between two looks at the clock for the progress callback.
constexpr std::uint64_t kPairsBetweenProgress = 256;

constexpr int kUtf8 = 0;
constexpr int kWindows1252 = 1;
constexpr Decoding kDecodings[] = {Decoding::Utf8, Decoding::Windows1252};

// Calls the progress callback every kProgressInterval of work at most, and stops the pass when
// it says so.
class Pacer {
public:
    Pacer(const ComparisonOptions::Progress& progress, std::uint64_t total, std::string cancelled)
        : progress_(progress), total_(total), cancelled_(std::move(cancelled)),
          last_(Clock::now()) {}

    void reach(std::uint64_t done) {
        done_ = done;
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
    const ComparisonOptions::Progress& progress_;
    std::uint64_t total_;
    std::uint64_t done_ = 0;
    std::string cancelled_;
    Clock::time_point last_;
};

// What the pass counts under one decoding.
struct Tally {
    std::array<std::uint64_t, 2> differing{};
    std::array<std::uint64_t, 2> longest{};
    std::array<std::uint64_t, 2> leftOut{};
    std::uint64_t leftOutLines = 0;
    std::optional<ComparisonLimits> limits;

    void add(const std::array<Line, 2>& lines, const PairCounts& counts) {
        differing[0] += counts.differing1;
        differing[1] += counts.differing2;
        if (counts.leftOut1 + counts.leftOut2 > 0) {
            leftOut[0] += counts.leftOut1;
            leftOut[1] += counts.leftOut2;
            leftOutLines += counts.differing1 + counts.differing2 == 0 ? 1 : 0;
        }
        longest[0] = std::max(longest[0], counts.length1);
        longest[1] = std::max(longest[1], counts.length2);
        if (limits) {
            limits->add(lines[0].present, counts.length1, lines[1].present, counts.length2);
        }
    }
    // What a later half counted (compared without limits).
    void add(const Tally& later) {
        for (int f = 0; f < 2; ++f) {
            differing[f] += later.differing[f];
            longest[f] = std::max(longest[f], later.longest[f]);
            leftOut[f] += later.leftOut[f];
        }
        leftOutLines += later.leftOutLines;
    }
};

// What the parts of a pass share: the files, what was asked, and what is known of both before
// their lines are read.
struct Shared {
    Shared(const fs::path& path1, const fs::path& path2, const ComparisonOptions& options)
        : sources{SourceFile(path1), SourceFile(path2)}, options(options),
          pacer(options.progress, sizeOf(0) + sizeOf(1),
                "Se ha cancelado la comparación de " + quoted(path1) + " y " + quoted(path2) +
                    ".") {}

    std::uint64_t sizeOf(int f) const {
        return std::uint64_t(std::max<off_t>(sources[f].identity().size, 0));
    }

    std::array<SourceFile, 2> sources;
    const ComparisonOptions& options;
    Pacer pacer;                                      // on the thread that runs the pass only
    std::array<std::atomic<std::uint64_t>, 2> read{}; // bytes read so far, by all parts
    std::array<bool, 2> byteOrderMark{};
    // The decodings the files were told to have, if any, and whether they differ: then equal
    // bytes are not always equal characters, and every line pair is compared character by
    // character (but for lines of equal ASCII bytes), all counted in a part's first tally.
    std::optional<Decodings> told;
    bool unlike = false;
    std::atomic<bool> stop{false}; // a later half is no longer wanted
};

// Thrown in a later half that is no longer wanted.
struct Stopped {};

using Readers = std::array<std::unique_ptr<LineReader>, 2>;

// The line pairs of both files from a pair of line starts on: the first part of a pass starts at
// line pair 0 and writes what it finds into the comparison's state; a later half starts where
// file 1's second half starts, numbers its pairs from kLaterBase, and is joined to the first
// part when that one reaches its start in step in both files.
class Part {
public:
    static constexpr std::uint64_t kLaterBase = std::uint64_t{1} << 62;

    // The first part reports progress; a later half stops when told to.
    Part(Shared& shared, FileComparison::State& state, bool first);

    // A reader of file `f` from `offset` on that tells this part what it reads; started again
    // before bytes this part has seen, it passes over them. With `mayReadAhead`, one that has more
    // than a few pieces to read reads ahead on a thread of its own.
    std::unique_ptr<LineReader> reader(int f, std::uint64_t offset, bool mayReadAhead);
    enum class Stop { End, Until, OutOfStep };
    // Compares line pairs from pair k on until both files end, file 1's reader reaches byte
    // `until` (a line start), or, with `inStep`, a line pair ends at different offsets in the
    // two files; k is then the next pair.
    Stop compareLines(Readers& readers, std::uint64_t& k, std::uint64_t until = UINT64_MAX,
                      bool inStep = false);
    // Takes what `later`, which started at byte `at` of both files as line pair `first`, found.
    void join(Part& later, std::uint64_t first, std::uint64_t at);
    void finish(FileComparison::State& state);

private:
    void pace();
    void tick();
    void observe(int f, const unsigned char* bytes, std::size_t size);
    void record(int f, std::uint64_t k, const Line& line);
    void noteStart(int f, std::uint64_t k, std::uint64_t start);
    // The rare paths stay out of the loop over the lines, which then keeps a small frame.
    [[gnu::noinline]] LongLine noteLongLine(int f, std::uint64_t k, const Line& line);
    [[gnu::noinline]] PairCounts countDiffering(const std::array<Line, 2>& lines,
                                                Decoding decoding);
    [[gnu::noinline]] PairCounts countRuled(const std::array<Line, 2>& lines, Decodings decodings);
    LineBytes bytesOf(int f, const Line& line);
    void addEqualLines(const Line& line);
    std::uint64_t takeEqualStretch(LineReader& reader1, LineReader& reader2, std::uint64_t k,
                                   std::uint64_t until);
    std::optional<PairCounts> countUnder(int d, const std::array<Line, 2>& lines, bool same);
    void comparePair(std::uint64_t k, const std::array<Line, 2>& raw);
    void compareUnlike(std::uint64_t k, const std::array<Line, 2>& raw);
    void noteDiffering(std::uint64_t k, const std::array<Line, 2>& raw);
    ShiftWatch::Key shiftKey(int f, const Line& line);
    std::uint32_t startOf(int f, const Line& line) const;

    // The differing pairs of a later half whose shift keys the first part looks at when joining
    // it: past them, what the first part saw no longer changes what a ShiftWatch finds.
    static constexpr std::size_t kKeysForJoining = 16;

    Shared& shared_;
    FileComparison::State& state_;
    Pacer* pacer_; // null in a later half
    std::array<Utf8Validator, 2> validators_;
    // What the reading threads tell the comparing one: whether UTF-8 is still possible, the
    // bytes seen, and those to pass over when a reader starts again before them.
    std::array<std::atomic<bool>, 2> utf8Possible_{true, true};
    std::array<std::uint64_t, 2> observed_{}, unseen_{};
    // After joining a later half: whether its bytes are well-formed UTF-8.
    std::optional<std::array<bool, 2>> laterValid_;
    std::array<Line, 2> first_; // line 0 of each file
    // What record() looks for, in each file: the next line to index (by its number or its
    // start), the line after the last long one, the line breaks of each kind and the last one.
    std::array<std::uint64_t, 2> nextIndexLine_{}, nextIndexOffset_{};
    std::array<std::uint64_t, 2> afterLong_{UINT64_MAX, UINT64_MAX};
    std::uint64_t longLineBytes_;
    std::array<std::array<std::uint64_t, 4>, 2> breaks_{};
    std::array<LineBreak, 2> lastEnding_{LineBreak::None, LineBreak::None};
    std::array<Tally, 2> tallies_; // under UTF-8, under Windows-1252
    // Whether line pair 0 differs under each decoding, when a byte-order mark makes them differ.
    std::optional<std::array<bool, 2>> firstDiffers_;
    ShiftWatch shift_;
    std::optional<ShiftHint> laterShift_; // found by a later half joined
    std::vector<std::pair<std::uint64_t, std::array<ShiftWatch::Key, 2>>> firstKeys_;
    std::string shiftLine_; // a line read for shift_ that is not at hand
    std::u32string shiftText_;
    // With rules: what they make of a pair whose bytes differ, its lines decoded whole, and the
    // pairs that differ under UTF-8 only, or under Windows-1252 only (the differing pairs noted
    // are those of the bytes, which the rules may judge otherwise under UTF-8).
    std::optional<RuledPair> ruled_;
    std::array<std::u32string, 2> ruledText_;
    std::vector<std::uint64_t> utf8Only_, bytesOnly_;
};

// The pass: what is known of both files before their lines are read, then their line pairs, in
// two halves on two threads when the files are large, and what the pairs came to.
class Pass {
public:
    Pass(const fs::path& path1, const fs::path& path2, const ComparisonOptions& options)
        : shared_(path1, path2, options) {}

    std::unique_ptr<FileComparison::State> run();

private:
    void prepare(FileComparison::State& state);
    Decoding resolve(int f, DecodingChoice choice);
    bool startsWithByteOrderMark(int f) const;
    std::optional<std::uint64_t> halfway() const;
    void compareInHalves(Part& first, std::uint64_t at);

    Shared shared_;
    std::unique_ptr<FileComparison::State> state_ = std::make_unique<FileComparison::State>();
};

std::unique_ptr<FileComparison::State> Pass::run() {
    FileComparison::State& state = *state_;
    prepare(state);
    Part first(shared_, state, true);
    if (const std::optional<std::uint64_t> at = halfway()) {
        compareInHalves(first, *at);
    } else {
        // Large files are read ahead, each on a thread of its own, while the lines already read
        // are compared.
        Readers readers{first.reader(0, 0, true), first.reader(1, 0, true)};
        std::uint64_t k = 0;
        first.compareLines(readers, k);
    }
    shared_.pacer.reach(shared_.read[0] + shared_.read[1]);
    shared_.pacer.report();
    for (int f = 0; f < 2; ++f) {
        if (!(shared_.sources[f].identity() == state.files[f].identity)) {
            throwChangedDuringPass(shared_.sources[f].path());
        }
    }
    first.finish(state);
    return std::move(state_);
}

// What is known before the lines are read: the files' identities, whether they can be compared
// within the limits asked for, their byte-order marks and the decodings they were told to have.
void Pass::prepare(FileComparison::State& state) {
    const ComparisonOptions& options = shared_.options;
    state.unlimited = options.unlimited;
    state.sizes = options.sizes;
    state.kept = KeptPairs(options.sizes.keptBytes);
    state.rules = options.rules;
    for (int f = 0; f < 2; ++f) {
        SourceFile& source = shared_.sources[f];
        state.files[f].path = source.path();
        state.files[f].identity = source.identity();
        // A file too large for the display limits is refused unread.
        if (!options.unlimited && shared_.sizeOf(f) > ComparisonLimits::kMaxFileBytes) {
            throw OverflowError(ComparisonLimits::tooLarge(source.path()));
        }
    }
    // Files within the display limits are small: they are read once, whole, and held.
    for (int f = 0; f < 2 && !options.unlimited; ++f) {
        SourceFile& source = shared_.sources[f];
        if (!source.holdWhole(ComparisonLimits::kMaxFileBytes)) {
            throw OverflowError(ComparisonLimits::tooLarge(source.path()));
        }
        state.files[f].held = source.held();
        state.files[f].identity = source.identity();
    }
    for (int f = 0; f < 2; ++f) {
        shared_.byteOrderMark[f] = startsWithByteOrderMark(f);
    }
    shared_.pacer.report();
    if (options.decodings) {
        shared_.told =
            Decodings{resolve(0, (*options.decodings)[0]), resolve(1, (*options.decodings)[1])};
        shared_.unlike = (*shared_.told)[0] != (*shared_.told)[1];
    }
}

// Where file 1's second half starts, at the start of a line, when both files are large enough
// to be compared in halves and file 2 is long enough to be in step there.
std::optional<std::uint64_t> Pass::halfway() const {
    const std::uint64_t from = std::max<std::uint64_t>(shared_.options.sizes.halvesFrom, 1);
    if (!shared_.options.unlimited || shared_.sizeOf(0) < from || shared_.sizeOf(1) < from) {
        return std::nullopt;
    }
    // The first line that starts in the second half, if it starts soon after the middle.
    constexpr std::size_t kLook = std::size_t{64} << 10;
    std::vector<unsigned char> bytes(kLook);
    const std::uint64_t middle = shared_.sizeOf(0) / 2;
    const std::size_t got = shared_.sources[0].readAt(middle, bytes.data(), bytes.size());
    const auto lf = std::find(bytes.begin(), bytes.begin() + std::ptrdiff_t(got), '\n');
    const std::uint64_t at = middle + std::uint64_t(lf - bytes.begin()) + 1;
    if (lf == bytes.begin() + std::ptrdiff_t(got) || at >= shared_.sizeOf(0) ||
        at > shared_.sizeOf(1)) {
        return std::nullopt;
    }
    return at;
}

// Compares the second halves of both files, from byte `at` of each, on a thread of its own while
// `first` compares the first halves. When `first` reaches byte `at` in file 1 and file 2 at once,
// the lines before are in step and the halves are joined; once a line pair of the first half
// ends at different offsets in the two files, `first` goes on alone.
void Pass::compareInHalves(Part& first, std::uint64_t at) {
    FileComparison::State laterState;
    Part later(shared_, laterState, false);
    std::exception_ptr laterError;
    std::thread thread([&] {
        try {
            Readers readers{later.reader(0, at, false), later.reader(1, at, false)};
            std::uint64_t k = Part::kLaterBase;
            later.compareLines(readers, k);
        } catch (const Stopped&) {
        } catch (...) {
            laterError = std::current_exception();
        }
    });
    struct Join {
        Shared& shared;
        std::thread& thread;
        void operator()(bool wanted) {
            shared.stop = !wanted;
            thread.join();
        }
        ~Join() {
            if (thread.joinable()) {
                (*this)(false);
            }
        }
    } join{shared_, thread};

    Readers readers{first.reader(0, 0, false), first.reader(1, 0, false)};
    std::uint64_t k = 0;
    const Part::Stop stop = first.compareLines(readers, k, at, true);
    if (stop == Part::Stop::Until && readers[1]->position() == at) {
        join(true);
        if (laterError) {
            std::rethrow_exception(laterError);
        }
        first.join(later, k, at);
        return;
    }
    join(false);
    if (stop == Part::Stop::End) {
        return; // both files ended before: they changed during the pass
    }
    // Not in step: the first part goes on alone, reading ahead.
    for (int f = 0; f < 2; ++f) {
        readers[f] = first.reader(f, readers[f]->position(), true);
    }
    first.compareLines(readers, k);
}

Part::Part(Shared& shared, FileComparison::State& state, bool first)
    : shared_(shared), state_(state), pacer_(first ? &shared.pacer : nullptr),
      longLineBytes_(std::max<std::uint64_t>(shared.options.sizes.longLineBytes, 1)) {
    if (!first) {
        state_.kept = KeptPairs(shared.options.sizes.keptBytes);
    }
    if (!shared.options.rules.empty()) {
        ruled_.emplace(shared.options.rules);
    }
    if (!shared.options.unlimited) {
        for (Tally& tally : tallies_) {
            tally.limits.emplace(state.files[0].path, state.files[1].path);
        }
    }
}

std::unique_ptr<LineReader> Part::reader(int f, std::uint64_t offset, bool mayReadAhead) {
    // A reader that starts again before the bytes seen passes over them.
    unseen_[f] = observed_[f] > offset ? observed_[f] - offset : 0;
    observed_[f] = std::max(observed_[f], offset);
    LineReader::ReadObserver observer = [this, f](const unsigned char* bytes, std::size_t size) {
        observe(f, bytes, size);
    };
    const SourceFile& source = shared_.sources[f];
    const std::size_t capacity = shared_.options.sizes.pass;
    const std::uint64_t size = shared_.sizeOf(f);
    const bool ahead = mayReadAhead && size > offset && size - offset > 4 * std::uint64_t{capacity};
    // One that does not read ahead starts with small reads, which grow: halves that are soon
    // found not in step have read little.
    constexpr std::size_t kFirstRead = std::size_t{64} << 10;
    return ahead ? LineReader::readAhead(source, capacity, std::move(observer), offset)
                 : std::make_unique<LineReader>(source, offset, capacity, kFirstRead,
                                                std::move(observer));
}

Part::Stop Part::compareLines(Readers& readers, std::uint64_t& k, std::uint64_t until,
                              bool inStep) {
    for (;; ++k) {
        // Lines of the same bytes in both files, the most common by far, are taken a stretch at a
        // time; line pair 0, whose byte-order marks may differ, never is.
        if (k > 0 && !shared_.unlike) {
            k += takeEqualStretch(*readers[0], *readers[1], k, until);
        }
        if (readers[0]->position() >= until) {
            return Stop::Until;
        }
        bool same = false;
        std::array<Line, 2> lines{readers[0]->next(), Line{}};
        lines[1] = readers[1]->nextLike(lines[0], same);
        if (!lines[0].present && !lines[1].present) {
            return Stop::End;
        }
        if (k % kPairsBetweenProgress == 0) {
            pace();
        }
        record(0, k, lines[0]);
        record(1, k, lines[1]);
        if (shared_.unlike) {
            compareUnlike(k, lines);
        } else if (same && k > 0) {
            addEqualLines(lines[0]);
        } else {
            comparePair(k, lines);
        }
        // Lines of the same bytes keep the files in step; others may not.
        if (inStep && !same && readers[0]->position() != readers[1]->position()) {
            ++k;
            return Stop::OutOfStep;
        }
    }
}

void Part::pace() {
    if (pacer_ != nullptr) {
        pacer_->reach(shared_.read[0] + shared_.read[1]);
    } else if (shared_.stop.load(std::memory_order_relaxed)) {
        throw Stopped{};
    }
}

void Part::tick() {
    if (pacer_ != nullptr) {
        pacer_->tick();
    } else if (shared_.stop.load(std::memory_order_relaxed)) {
        throw Stopped{};
    }
}

void Part::join(Part& later, std::uint64_t first, std::uint64_t at) {
    const std::uint64_t shift = first - kLaterBase;
    FileComparison::State& theirs = later.state_;
    for (int f = 0; f < 2; ++f) {
        FileRecord& file = state_.files[f];
        const FileRecord& next = theirs.files[f];
        if (next.lines > 0) {
            if (afterLong_[f] == first) {
                file.longLines.back().next = at;
            }
            file.lines = next.lines + shift;
            lastEnding_[f] = later.lastEnding_[f];
        }
        file.longestBytes = std::max(file.longestBytes, next.longestBytes);
        for (const IndexEntry& entry : next.index) {
            file.index.push_back({entry.line + shift, entry.offset});
        }
        for (const LongLine& line : next.longLines) {
            file.longLines.push_back(line);
            file.longLines.back().line += shift;
        }
        for (std::size_t kind = 0; kind < breaks_[f].size(); ++kind) {
            breaks_[f][kind] += later.breaks_[f][kind];
        }
    }
    laterValid_ = {later.validators_[0].valid(), later.validators_[1].valid()};
    for (std::size_t d = 0; d < tallies_.size(); ++d) {
        tallies_[d].add(later.tallies_[d]);
    }
    // The later half's first stretch of differing pairs may go on one of the first part's.
    auto starts = theirs.differingStarts.begin();
    if (first > 1 && !state_.differing.empty() && state_.differing.back() + 1 == first &&
        starts != theirs.differingStarts.end() && starts->line == kLaterBase) {
        ++starts;
    }
    for (; starts != theirs.differingStarts.end(); ++starts) {
        state_.differingStarts.push_back({starts->line + shift, starts->start});
    }
    for (const std::uint64_t k : theirs.differing) {
        state_.differing.push_back(k + shift);
    }
    state_.kept.keepAll(theirs.kept, shift);
    for (const auto& [k, keys] : later.firstKeys_) {
        shift_.differingPair(k + shift, keys);
    }
    if (!shift_.done() && later.shift_.hint()) {
        laterShift_ = later.shift_.hint();
        laterShift_->line += shift;
    }
    for (const std::uint64_t k : later.utf8Only_) {
        utf8Only_.push_back(k + shift);
    }
    for (const std::uint64_t k : later.bytesOnly_) {
        bytesOnly_.push_back(k + shift);
    }
}

// Whether file `f` starts with the UTF-8 byte-order mark; a file whose mark announces an encoding
// the comparison does not read is refused.
bool Pass::startsWithByteOrderMark(int f) const {
    std::array<char, 4> bytes{};
    const std::size_t got =
        shared_.sources[f].readAt(0, reinterpret_cast<unsigned char*>(bytes.data()), bytes.size());
    const std::string_view head(bytes.data(), got);
    if (const std::optional<std::string_view> encoding = unreadEncoding(head)) {
        const std::string name(*encoding);
        throw FileError("No se puede comparar " + quoted(shared_.sources[f].path()) +
                        ": está escrito en " + name +
                        " (empieza con la marca de orden de bytes de " + name +
                        "). Parvane compara textos en UTF-8 o en Windows-1252: conviértalo antes, "
                        "por ejemplo con «iconv -f " +
                        name + " -t UTF-8».");
    }
    return head.starts_with(kUtf8ByteOrderMark);
}

// The decoding of file `f` as the user chose it: for Auto, UTF-8 when the whole file is
// well-formed UTF-8 (read once more, up to its first fault), else Windows-1252.
Decoding Pass::resolve(int f, DecodingChoice choice) {
    switch (choice) {
    case DecodingChoice::Utf8: return Decoding::Utf8;
    case DecodingChoice::Windows1252: return Decoding::Windows1252;
    case DecodingChoice::Latin1: return Decoding::Latin1;
    case DecodingChoice::Auto: break;
    }
    Utf8Validator validator;
    if (const auto& held = shared_.sources[f].held()) {
        validator.feed(*held);
        return validator.valid() ? Decoding::Utf8 : Decoding::Windows1252;
    }
    std::vector<unsigned char> piece(shared_.options.sizes.pass);
    std::uint64_t offset = 0;
    while (validator.possible()) {
        const std::size_t got = shared_.sources[f].readAt(offset, piece.data(), piece.size());
        if (got == 0) {
            break;
        }
        validator.feed(piece.data(), got);
        offset += got;
        shared_.pacer.tick();
    }
    return validator.valid() ? Decoding::Utf8 : Decoding::Windows1252;
}

// On the thread that read the bytes.
void Part::observe(int f, const unsigned char* bytes, std::size_t size) {
    const std::size_t seen = std::size_t(std::min<std::uint64_t>(unseen_[f], size));
    unseen_[f] -= seen;
    validators_[f].feed(bytes + seen, size - seen);
    utf8Possible_[f] = validators_[f].possible();
    observed_[f] += size - seen;
    shared_.read[f] += size - seen;
}

void Part::record(int f, std::uint64_t k, const Line& line) {
    if (!line.present) {
        return;
    }
    FileRecord& file = state_.files[f];
    file.lines = k + 1;
    file.longestBytes = std::max(file.longestBytes, line.length);
    ++breaks_[f][std::size_t(line.ending)];
    lastEnding_[f] = line.ending;
    if (k == 0) {
        first_[f] = line;
    }
    noteStart(f, k, line.start);
    // Line 0 after a byte-order mark starts elsewhere under each decoding: it is not noted.
    if (line.length >= longLineBytes_ && !(k == 0 && shared_.byteOrderMark[f])) {
        file.longLines.push_back(noteLongLine(f, k, line));
        afterLong_[f] = k + 1;
    }
}

// Where line k of file `f` starts, for its index entry if it is due and for the long line
// before it, if any.
void Part::noteStart(int f, std::uint64_t k, std::uint64_t start) {
    FileRecord& file = state_.files[f];
    if (afterLong_[f] == k) {
        file.longLines.back().next = start;
    }
    if (k >= nextIndexLine_[f] || start >= nextIndexOffset_[f]) {
        file.index.push_back({k, start});
        nextIndexLine_[f] = k + shared_.options.sizes.indexLines;
        nextIndexOffset_[f] = start + std::min(shared_.options.sizes.indexBytes, kMostIndexBytes);
    }
}

LineBytes Part::bytesOf(int f, const Line& line) {
    if (line.bytes != nullptr || !line.present) {
        return {line.bytes, line.length};
    }
    return {shared_.sources[f],           line.start, line.length,
            shared_.options.sizes.stream, true,       [this] { tick(); }};
}

// Counts the characters of a long line under UTF-8 (its lead bytes), noting where each
// checkpoint's column starts.
LongLine Part::noteLongLine(int f, std::uint64_t k, const Line& line) {
    LongLine noted;
    noted.line = k;
    noted.start = line.start;
    noted.length = line.length;
    noted.columnsApart = std::max<std::uint64_t>(shared_.options.sizes.checkpointColumns, 1);
    LineBytes bytes = bytesOf(f, line);
    std::uint64_t offset = 0;
    std::uint64_t column = 0; // lead bytes so far
    for (auto window = bytes.window(1); !window.empty(); window = bytes.window(1)) {
        const std::uint64_t leads = countUtf8Characters(window.data(), window.size());
        const std::uint64_t nextCheckpoint = noted.checkpoints.size() * noted.columnsApart;
        if (column + leads > nextCheckpoint) {
            // One or more checkpoints fall in this window: find them byte by byte.
            for (std::size_t i = 0; i < window.size(); ++i) {
                if ((window[i] & 0xC0) == 0x80) {
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
    return noted;
}

// The lines that hold the same bytes in both files from line pair k on, as far as both readers
// hold them and file 1's reaches byte `until`: each found once, in file 1, and what record() and
// addEqualLines() note of each pair noted for the stretch at once. Returns how many pairs it took.
std::uint64_t Part::takeEqualStretch(LineReader& reader1, LineReader& reader2, std::uint64_t k,
                                     std::uint64_t until) {
    const std::size_t size = std::size_t(std::min<std::uint64_t>(
        std::min(reader1.heldSize(), reader2.heldSize()), until - reader1.position()));
    // Too little held to be worth a look: one pair at a time.
    constexpr std::size_t kLeastStretch = 256;
    if (size < kLeastStretch) {
        return 0;
    }
    const std::array<std::uint64_t, 2> shift{0, reader2.position() - reader1.position()};
    std::array<std::uint64_t, 4> breaks{};
    LineBreak last = LineBreak::None;
    std::uint64_t longest = 0;
    std::uint64_t next = k; // the next line pair
    Tally& characters = tallies_[kUtf8];
    const bool utf8 = utf8Possible_[0] && utf8Possible_[1];
    // Most lines need nothing noted but their break and length: those that may need more are
    // found by three bounds, set again after each of them. A line is looked at more closely
    // from line `dueLine` on, from byte `dueStart` of file 1 on, or from `rareLength` bytes on.
    std::uint64_t dueLine = 0, dueStart = 0, rareLength = 0;
    const auto setBounds = [&](std::uint64_t from) {
        dueLine = std::min(nextIndexLine_[0], nextIndexLine_[1]);
        dueStart = UINT64_MAX;
        for (int f = 0; f < 2; ++f) {
            if (afterLong_[f] >= from) {
                dueLine = std::min(dueLine, afterLong_[f]);
            }
            const auto bound = std::int64_t(nextIndexOffset_[f]) - std::int64_t(shift[f]);
            dueStart = std::min(dueStart, std::uint64_t(std::max<std::int64_t>(bound, 0)));
        }
        const std::uint64_t counted =
            !utf8               ? UINT64_MAX
            : characters.limits ? 0
                                : std::min(characters.longest[0], characters.longest[1]) + 1;
        rareLength = tallies_[kWindows1252].limits ? 0 : std::min(longLineBytes_, counted);
    };
    setBounds(k);
    const std::size_t bytes = reader1.takeLines(
        size, reader2.held(),
        [&](const unsigned char* line, std::uint64_t start, std::uint64_t length,
            LineBreak ending) {
            if (length >= rareLength || next >= dueLine || start >= dueStart) [[unlikely]] {
                if (length >= longLineBytes_) {
                    return false; // noted the usual way
                }
                for (int f = 0; f < 2; ++f) {
                    noteStart(f, next, start + shift[f]);
                }
                // A line that may be the longest in characters, or any under the display limits.
                if (utf8 && (characters.limits ||
                             length > std::min(characters.longest[0], characters.longest[1]))) {
                    const std::uint64_t count = countUtf8Characters(line, length);
                    characters.add({Line{true}, Line{true}}, {count, count, 0, 0});
                }
                if (tallies_[kWindows1252].limits) {
                    tallies_[kWindows1252].limits->add(true, length, true, length);
                }
                setBounds(next + 1);
            }
            ++breaks[std::size_t(ending)];
            last = ending;
            longest = std::max(longest, length);
            if (++next % kPairsBetweenProgress == 0) {
                pace();
            }
            return true;
        });
    reader2.pass(bytes);
    if (next > k) {
        for (int f = 0; f < 2; ++f) {
            FileRecord& file = state_.files[f];
            file.lines = next;
            file.longestBytes = std::max(file.longestBytes, longest);
            for (std::size_t kind = 0; kind < breaks.size(); ++kind) {
                breaks_[f][kind] += breaks[kind];
            }
            lastEnding_[f] = last;
        }
        Tally& tally = tallies_[kWindows1252];
        tally.longest[0] = std::max(tally.longest[0], longest);
        tally.longest[1] = std::max(tally.longest[1], longest);
    }
    return next - k;
}

bool isAscii(const unsigned char* bytes, std::size_t size) {
    return Utf8Validator::asciiPrefix(bytes, size) == size;
}

// Whether each line is missing, or in the buffers and all ASCII: then its bytes are the same
// characters under either decoding.
bool asciiInBuffers(const std::array<Line, 2>& lines) {
    return std::all_of(lines.begin(), lines.end(), [](const Line& line) {
        return !line.present || (line.bytes != nullptr && isAscii(line.bytes, line.length));
    });
}

// Whether both lines are in the buffers and hold the same bytes: then they are the same
// characters under either decoding.
bool sameBytes(const std::array<Line, 2>& lines) {
    return lines[0].present && lines[1].present && lines[0].length == lines[1].length &&
           lines[0].bytes != nullptr && lines[1].bytes != nullptr &&
           std::memcmp(lines[0].bytes, lines[1].bytes, lines[0].length) == 0;
}

// Two lines of the same bytes, the most common pair by far: their lengths matter only where they
// may be the longest, or to the display limits.
void Part::addEqualLines(const Line& line) {
    Tally& bytes = tallies_[kWindows1252];
    bytes.longest[0] = std::max(bytes.longest[0], line.length);
    bytes.longest[1] = std::max(bytes.longest[1], line.length);
    if (bytes.limits) {
        bytes.limits->add(true, line.length, true, line.length);
    }
    Tally& characters = tallies_[kUtf8];
    if (!(utf8Possible_[0] && utf8Possible_[1]) ||
        (!characters.limits &&
         line.length <= std::min(characters.longest[0], characters.longest[1]))) {
        return;
    }
    const std::uint64_t length = countUtf8Characters(line.bytes, line.length);
    characters.add({line, line}, {length, length, 0, 0});
}

// Under decoding `d`: nothing when UTF-8 is no longer possible, else the pair's counts.
std::optional<PairCounts> Part::countUnder(int d, const std::array<Line, 2>& lines, bool same) {
    if (d == kUtf8 && !(utf8Possible_[0] && utf8Possible_[1])) {
        return std::nullopt;
    }
    const Decoding decoding = kDecodings[d];
    if (same) {
        // The lengths matter only where they may be the longest, or to the display limits.
        std::uint64_t length = lines[0].length;
        const Tally& tally = tallies_[d];
        if (decoding == Decoding::Utf8 &&
            (tally.limits || length > std::min(tally.longest[0], tally.longest[1]))) {
            length = countUtf8Characters(lines[0].bytes, lines[0].length);
        }
        return PairCounts{length, length, 0, 0};
    }
    return countDiffering(lines, decoding);
}

PairCounts Part::countDiffering(const std::array<Line, 2>& lines, Decoding decoding) {
    LineBytes bytes1 = bytesOf(0, lines[0]);
    LineBytes bytes2 = bytesOf(1, lines[1]);
    const PairCounts counts = countPair(bytes1, bytes2, {decoding, decoding});
    if (ruled_ && counts.differing1 + counts.differing2 > 0) {
        return countRuled(lines, {decoding, decoding});
    }
    return counts;
}

// A pair that differs, under the rules: both lines decoded whole.
PairCounts Part::countRuled(const std::array<Line, 2>& lines, Decodings decodings) {
    for (int f = 0; f < 2; ++f) {
        ruledText_[f].clear();
        LineBytes bytes = bytesOf(f, lines[f]);
        sliceLine(bytes, decodings[f], 0, UINT64_MAX, ruledText_[f]);
    }
    ruled_->apply(ruledText_[0], ruledText_[1], lines[0].present, lines[1].present);
    return {ruledText_[0].size(),         ruledText_[1].size(),
            ruled_->countedCharacters(0), ruled_->countedCharacters(1),
            ruled_->leftOutCharacters(0), ruled_->leftOutCharacters(1)};
}

void Part::comparePair(std::uint64_t k, const std::array<Line, 2>& raw) {
    const bool marked = k == 0 && (shared_.byteOrderMark[0] || shared_.byteOrderMark[1]);
    if (!marked && sameBytes(raw)) {
        addEqualLines(raw[0]);
        return;
    }
    // Under UTF-8 a byte-order mark is not text: line 0 then starts after it, and a file that is
    // only the mark has no line at all.
    std::array<Line, 2> utf8Lines = raw;
    if (marked) {
        for (int f = 0; f < 2; ++f) {
            if (shared_.byteOrderMark[f]) {
                const bool onlyMark =
                    raw[f].length == kUtf8ByteOrderMark.size() && raw[f].ending == LineBreak::None;
                utf8Lines[f] = onlyMark ? Line{} : raw[f].withoutPrefix(kUtf8ByteOrderMark.size());
            }
        }
    }
    if (!marked && asciiInBuffers(raw)) {
        // The same characters under either decoding: counted once for both.
        const PairCounts counts = countDiffering(raw, Decoding::Utf8);
        for (const int d : {kUtf8, kWindows1252}) {
            if (d == kWindows1252 || (utf8Possible_[0] && utf8Possible_[1])) {
                tallies_[d].add(raw, counts);
            }
        }
        if (counts.differing1 + counts.differing2 > 0) {
            noteDiffering(k, raw);
        }
        return;
    }
    std::array<bool, 2> differs{};
    bool utf8Counted = false;
    for (const int d : {kUtf8, kWindows1252}) {
        const std::array<Line, 2>& lines = d == kUtf8 ? utf8Lines : raw;
        if (!lines[0].present && !lines[1].present) {
            continue; // only byte-order marks: no line pair under UTF-8
        }
        if (const auto counts = countUnder(d, lines, marked && sameBytes(lines))) {
            tallies_[d].add(lines, *counts);
            differs[d] = counts->differing1 + counts->differing2 > 0;
            utf8Counted = utf8Counted || d == kUtf8;
        }
    }
    if (marked) {
        // Line 0 joins the differing lines once the decoding is known.
        firstDiffers_ = differs;
        return;
    }
    if (ruled_ && utf8Counted && differs[kUtf8] != differs[kWindows1252]) {
        (differs[kUtf8] ? utf8Only_ : bytesOnly_).push_back(k);
    }
    // The bytes decide, whatever the decoding: equal characters are equal bytes under both.
    if (!differs[kWindows1252]) {
        return;
    }
    noteDiffering(k, raw);
}

// Two files decoded unlike: every pair is walked character by character, but for lines of the
// same ASCII bytes. The decodings are known, so line 0 is no different.
void Part::compareUnlike(std::uint64_t k, const std::array<Line, 2>& raw) {
    std::array<Line, 2> lines = raw;
    for (int f = 0; f < 2 && k == 0; ++f) {
        if (shared_.byteOrderMark[f] && (*shared_.told)[f] == Decoding::Utf8) {
            const bool onlyMark =
                raw[f].length == kUtf8ByteOrderMark.size() && raw[f].ending == LineBreak::None;
            lines[f] = onlyMark ? Line{} : raw[f].withoutPrefix(kUtf8ByteOrderMark.size());
        }
    }
    if (!lines[0].present && !lines[1].present) {
        return;
    }
    PairCounts counts;
    if (sameBytes(lines) && isAscii(lines[0].bytes, lines[0].length)) {
        counts = {lines[0].length, lines[0].length, 0, 0};
    } else {
        LineBytes bytes1 = bytesOf(0, lines[0]);
        LineBytes bytes2 = bytesOf(1, lines[1]);
        counts = countPair(bytes1, bytes2, *shared_.told);
        if (ruled_ && counts.differing1 + counts.differing2 > 0) {
            counts = countRuled(lines, *shared_.told);
        }
    }
    tallies_[0].add(lines, counts);
    if (counts.differing1 + counts.differing2 > 0) {
        noteDiffering(k, raw);
    }
}

// Line pair k, which differs.
void Part::noteDiffering(std::uint64_t k, const std::array<Line, 2>& raw) {
    std::deque<std::uint64_t>& differing = state_.differing;
    const bool follows = k > 1 && !differing.empty() && differing.back() + 1 == k;
    if (!follows && k > 0) {
        state_.differingStarts.push_back({k, {startOf(0, raw[0]), startOf(1, raw[1])}});
    }
    differing.push_back(k);
    // Their bytes, to be read back without reading; line pair 0 is read as its decoding says.
    if (k > 0 && std::all_of(raw.begin(), raw.end(), [](const Line& line) {
            return !line.present || line.bytes != nullptr;
        })) {
        state_.kept.keep(k, {raw[0].bytes, raw[1].bytes},
                         {raw[0].present ? raw[0].length : 0, raw[1].present ? raw[1].length : 0});
    }
    // Line pair 0 differs in a byte-order mark, perhaps: it tells nothing of a shift.
    if (k == 0 && (shared_.byteOrderMark[0] || shared_.byteOrderMark[1])) {
        return;
    }
    const bool joining = pacer_ == nullptr && firstKeys_.size() < kKeysForJoining;
    if (!shift_.done() || joining) {
        const std::array<ShiftWatch::Key, 2> keys{shiftKey(0, raw[0]), shiftKey(1, raw[1])};
        shift_.differingPair(k, keys);
        if (joining) {
            firstKeys_.push_back({k, keys});
        }
    }
}

// What ShiftWatch compares line `line` of file `f` by; a short line that is not at hand is read.
ShiftWatch::Key Part::shiftKey(int f, const Line& line) {
    if (!line.present || line.length > ShiftWatch::kLongestLine) {
        return {};
    }
    std::string_view bytes;
    if (line.bytes != nullptr) {
        bytes = {reinterpret_cast<const char*>(line.bytes), line.length};
    } else {
        shiftLine_.resize(line.length);
        const std::size_t got = shared_.sources[f].readAt(
            line.start, reinterpret_cast<unsigned char*>(shiftLine_.data()), shiftLine_.size());
        if (got != line.length) {
            return {};
        }
        bytes = shiftLine_;
    }
    if (!shared_.unlike) {
        return ShiftWatch::keyOf(bytes);
    }
    // Decoded unlike, lines are alike in their characters.
    LineBytes walk(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    shiftText_.clear();
    sliceLine(walk, (*shared_.told)[f], 0, UINT64_MAX, shiftText_);
    if (shiftText_.find_first_not_of(U" \t") == std::u32string::npos) {
        return {}; // blank
    }
    return {std::hash<std::u32string_view>{}(shiftText_), shiftText_.size(), true};
}

// Where `line`, just recorded in file `f`, starts after its index entry.
std::uint32_t Part::startOf(int f, const Line& line) const {
    return line.present
               ? static_cast<std::uint32_t>(line.start - state_.files[f].index.back().offset)
               : DifferingStart::kNoStart;
}

void Part::finish(FileComparison::State& state) {
    for (int f = 0; f < 2; ++f) {
        FileTraits& traits = state.files[f].traits;
        traits.lfBreaks = breaks_[f][std::size_t(LineBreak::Lf)];
        traits.crBreaks = breaks_[f][std::size_t(LineBreak::Cr)];
        traits.crLfBreaks = breaks_[f][std::size_t(LineBreak::CrLf)];
        traits.endsWithLineBreak = lastEnding_[f] != LineBreak::None;
        // Joined to a later half, this part saw its first half whole, and perhaps more.
        traits.validUtf8 =
            laterValid_ ? validators_[f].possible() && (*laterValid_)[f] : validators_[f].valid();
        traits.byteOrderMark = shared_.byteOrderMark[f];
    }
    const Decoding alike =
        decodingFor(state.files[0].traits.validUtf8, state.files[1].traits.validUtf8);
    state.decodings = shared_.told.value_or(Decodings{alike, alike});
    for (int f = 0; f < 2; ++f) {
        if (state.decodings[f] == Decoding::Utf8 && !state.files[f].traits.validUtf8) {
            throw FileError("No se puede leer " + quoted(state.files[f].path) +
                            " como UTF-8: no es UTF-8 válido. Léalo como windows-1252, latin-1 "
                            "o auto.");
        }
    }
    // Files decoded alike are counted in the tally of their decoding's kind.
    const int d = shared_.unlike || state.decodings[0] == Decoding::Utf8 ? kUtf8 : kWindows1252;
    const Tally& tally = tallies_[d];
    if (tally.limits && tally.limits->refusal()) {
        throw OverflowError(*tally.limits->refusal());
    }
    if (d == kUtf8 && (!utf8Only_.empty() || !bytesOnly_.empty())) {
        // Under UTF-8 the rules judged some pairs unlike their bytes.
        std::deque<std::uint64_t> differing;
        auto add = utf8Only_.begin();
        auto drop = bytesOnly_.begin();
        for (const std::uint64_t k : state.differing) {
            for (; add != utf8Only_.end() && *add < k; ++add) {
                differing.push_back(*add);
            }
            if (drop != bytesOnly_.end() && *drop == k) {
                ++drop;
                continue;
            }
            differing.push_back(k);
        }
        differing.insert(differing.end(), add, utf8Only_.end());
        state.differing = std::move(differing);
    }
    if (firstDiffers_ && (*firstDiffers_)[d]) {
        state.differing.push_front(0);
    }
    for (int f = 0; f < 2; ++f) {
        FileRecord& file = state.files[f];
        file.longest = tally.longest[f];
        // Under UTF-8 a file that is only a byte-order mark has no line.
        if (state.decodings[f] == Decoding::Utf8 && shared_.byteOrderMark[f] && file.lines == 1 &&
            first_[f].length == kUtf8ByteOrderMark.size() && first_[f].ending == LineBreak::None) {
            file.lines = 0;
        }
    }
    state.shift = shift_.done() ? shift_.hint() : laterShift_;
    ComparisonTotals& totals = state.totals;
    totals.differingCharacters1 = tally.differing[0];
    totals.differingCharacters2 = tally.differing[1];
    totals.differingLines = state.differing.size();
    totals.leftOutCharacters1 = tally.leftOut[0];
    totals.leftOutCharacters2 = tally.leftOut[1];
    totals.leftOutLines = tally.leftOutLines;
    const std::uint64_t lines1 = state.files[0].lines;
    const std::uint64_t lines2 = state.files[1].lines;
    totals.linesOnlyIn1 = lines1 > lines2 ? lines1 - lines2 : 0;
    totals.linesOnlyIn2 = lines2 > lines1 ? lines2 - lines1 : 0;
}

} // namespace

std::unique_ptr<FileComparison::State> comparisonPass(const fs::path& file1, const fs::path& file2,
                                                      const ComparisonOptions& options) {
    return Pass(file1, file2, options).run();
}

} // namespace parvane
