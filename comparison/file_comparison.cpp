#include "comparison/file_comparison.h"

#include "comparison/comparison_pass.h"
#include "comparison/comparison_state.h"
#include "comparison/line_bytes.h"
#include "comparison/line_pair_walk.h"

#include <array>

namespace parvane {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kNone = UINT64_MAX;
// The least a read of differingPairs() asks for, however short the lines.
constexpr std::uint64_t kMinimumRead = 64;

// Throws FileChangedError unless `source` is still the compared file.
void checkUnchanged(const SourceFile& source, const FileRecord& file) {
    if (!(source.identity() == file.identity)) {
        throwChangedSince(file.path);
    }
}

// Opens a compared file again for reading, or throws FileChangedError if it is not the same.
SourceFile reopen(const FileRecord& file) {
    if (file.held) {
        return {file.path, file.held, file.identity};
    }
    try {
        SourceFile source(file.path);
        checkUnchanged(source, file);
        return source;
    } catch (const FileError&) {
        throwChangedSince(file.path);
    }
}

// The last element of `sorted` (by `key`) at or before `value`, or none.
template <class Range, class Key>
auto lastAtOrBefore(const Range& sorted, std::uint64_t value, Key key)
    -> decltype(&*sorted.begin()) {
    const auto after = std::upper_bound(sorted.begin(), sorted.end(), value,
                                        [&](std::uint64_t v, const auto& e) { return v < key(e); });
    return after == sorted.begin() ? nullptr : &*std::prev(after);
}

// Reads the slice of `line` (line k of file `f`, cut to its text) into that file's side of
// `slice`; a long line the pass noted is read from the checkpoint before the columns asked for.
void readSide(const SourceFile& source, const Line& line, const FileComparison::State& state,
              std::uint64_t firstColumn, std::uint64_t maxColumns, int f, LinePairSlice& slice,
              const LongLine* noted = nullptr) {
    std::u32string& text = f == 0 ? slice.text1 : slice.text2;
    const Decoding decoding = state.decodings[f];
    const std::size_t stream = state.sizes.stream;
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
            // A checkpoint past the last column, if any.
            const std::uint64_t after = stop / apart < count ? stop / apart + 1 : count;
            end = after < count ? noted->checkpoints[after] : noted->length;
            end = std::max(end, begin);
        }
        LineBytes bytes(source, line.start + begin, end - begin, stream, false);
        sliceLine(bytes, decoding, skip, maxColumns, text);
    } else if (line.bytes != nullptr) {
        // No more characters than bytes, and the line fits a reader's buffer.
        if (firstColumn == 0) {
            text.reserve(static_cast<std::size_t>(std::min(line.length, maxColumns)));
        }
        LineBytes bytes(line.bytes, line.length);
        length = sliceLine(bytes, decoding, firstColumn, maxColumns, text);
    } else {
        LineBytes bytes(source, line.start, line.length, stream, false);
        length = sliceLine(bytes, decoding, firstColumn, maxColumns, text);
    }
    (f == 0 ? slice.has1 : slice.has2) = true;
    (f == 0 ? slice.length1 : slice.length2) = length;
}

void addRuns(LinePairSlice& slice) {
    slice.runs1 = differingRuns(slice.text1, slice.text2, slice.length2, slice.firstColumn);
    slice.runs2 = differingRuns(slice.text2, slice.text1, slice.length1, slice.firstColumn);
}

} // namespace

const LongLine* FileRecord::longLine(std::uint64_t k) const {
    const LongLine* found = lastAtOrBefore(longLines, k, [](const LongLine& l) { return l.line; });
    return found != nullptr && found->line == k ? found : nullptr;
}

Line FileComparison::State::textOf(int f, std::uint64_t k, const Line& line) const {
    const std::size_t start = textStart(decodings[f], files[f].traits.byteOrderMark);
    return k == 0 && start > 0 && line.present ? line.withoutPrefix(start) : line;
}

const DifferingStart* FileComparison::State::recordedStart(std::uint64_t line) const {
    const DifferingStart* found =
        lastAtOrBefore(differingStarts, line, [](const DifferingStart& s) { return s.line; });
    return found != nullptr && found->line == line ? found : nullptr;
}

IndexEntry FileComparison::State::nearestStart(int f, std::uint64_t line) const {
    const IndexEntry entry =
        *lastAtOrBefore(files[f].index, line, [](const IndexEntry& e) { return e.line; });
    IndexEntry best = entry;
    // The line after a noted long line starts where that one noted.
    const LongLine* noted = lastAtOrBefore(files[f].longLines, line == 0 ? 0 : line - 1,
                                           [](const LongLine& l) { return l.line; });
    if (line > 0 && noted != nullptr && noted->next != kNone && noted->line + 1 > best.line) {
        best = {noted->line + 1, noted->next};
    }
    // A differing line's recorded start, which is after the same index entry.
    const DifferingStart* recorded =
        lastAtOrBefore(differingStarts, line, [](const DifferingStart& s) { return s.line; });
    if (recorded == nullptr || recorded->line <= best.line ||
        recorded->start[f] == DifferingStart::kNoStart) {
        return best;
    }
    return {recorded->line, entry.offset + recorded->start[f]};
}

FileComparison FileComparison::run(const fs::path& file1, const fs::path& file2,
                                   const ComparisonOptions& options) {
    return FileComparison(comparisonPass(file1, file2, options));
}

FileComparison::FileComparison(std::unique_ptr<State> state) : state_(std::move(state)) {}
FileComparison::FileComparison(FileComparison&&) noexcept = default;
FileComparison& FileComparison::operator=(FileComparison&&) noexcept = default;
FileComparison::~FileComparison() = default;

const fs::path& FileComparison::path(int file) const {
    return state_->files[file == 2 ? 1 : 0].path;
}
bool FileComparison::unlimited() const { return state_->unlimited; }
Decoding FileComparison::decoding(int file) const { return state_->decodings[file == 2 ? 1 : 0]; }
const std::optional<ShiftHint>& FileComparison::shift() const { return state_->shift; }
const FileTraits& FileComparison::traits(int file) const {
    return state_->files[file == 2 ? 1 : 0].traits;
}
std::uint64_t FileComparison::lineCount(int file) const {
    return state_->files[file == 2 ? 1 : 0].lines;
}
std::uint64_t FileComparison::longestLine(int file) const {
    return state_->files[file == 2 ? 1 : 0].longest;
}
const ComparisonTotals& FileComparison::totals() const { return state_->totals; }

std::optional<std::uint64_t> FileComparison::nextDifferingLine(std::uint64_t line) const {
    const auto& lines = state_->differing;
    const auto it = std::upper_bound(lines.begin(), lines.end(), line);
    return it == lines.end() ? std::nullopt : std::optional(*it);
}

std::optional<std::uint64_t> FileComparison::previousDifferingLine(std::uint64_t line) const {
    const auto& lines = state_->differing;
    const auto it = std::lower_bound(lines.begin(), lines.end(), line);
    return it == lines.begin() ? std::nullopt : std::optional(*std::prev(it));
}

std::optional<std::uint64_t> FileComparison::firstDifferingLine() const {
    const auto& lines = state_->differing;
    return lines.empty() ? std::nullopt : std::optional(lines.front());
}

std::optional<std::uint64_t> FileComparison::lastDifferingLine() const {
    const auto& lines = state_->differing;
    return lines.empty() ? std::nullopt : std::optional(lines.back());
}

std::uint64_t FileComparison::differingLinesBefore(std::uint64_t line) const {
    const auto& lines = state_->differing;
    return static_cast<std::uint64_t>(std::lower_bound(lines.begin(), lines.end(), line) -
                                      lines.begin());
}

std::optional<std::uint64_t> FileComparison::differingLine(std::uint64_t index) const {
    if (index >= state_->differing.size()) {
        return std::nullopt;
    }
    return state_->differing[static_cast<std::size_t>(index)];
}

std::vector<LinePairSlice> FileComparison::linePairs(std::uint64_t first, std::uint64_t count,
                                                     std::uint64_t firstColumn,
                                                     std::uint64_t maxColumns) const {
    std::vector<LinePairSlice> slices = state_->readPairs(first, count, firstColumn, maxColumns);
    if (!state_->rules.empty()) {
        RuledPair ruled(state_->rules);
        for (LinePairSlice& slice : slices) {
            state_->applyRules(slice, ruled);
        }
    }
    return slices;
}

std::vector<LinePairSlice> FileComparison::State::readPairs(std::uint64_t first,
                                                            std::uint64_t count,
                                                            std::uint64_t firstColumn,
                                                            std::uint64_t maxColumns) const {
    std::vector<LinePairSlice> slices;
    const std::uint64_t pairs = std::max(files[0].lines, files[1].lines);
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
        const FileRecord& file = files[f];
        if (first >= file.lines) {
            continue;
        }
        const SourceFile source = reopen(file);
        const IndexEntry from = nearestStart(f, first);
        const std::uint64_t here = std::min(count, file.lines - first);
        // The first read holds the lines up to the last one wanted, if they are no longer than
        // the longest; later reads grow.
        const std::uint64_t lines = first - from.line + here;
        const std::uint64_t perLine = std::min(file.longestBytes, UINT64_MAX / 4) + 2;
        const std::uint64_t slice = sizes.slice;
        const std::size_t firstRead = static_cast<std::size_t>(
            lines > slice / perLine ? slice : std::max(kMinimumRead, lines * perLine));
        LineReader reader(source, from.offset, slice, firstRead);
        if (!reader.skip(first - from.line)) {
            throwChangedSince(file.path);
        }
        for (std::size_t s = 0; s < here; ++s) {
            // A long line the pass noted is read in part, and the reader goes on after it.
            const LongLine* noted = file.longLine(first + s);
            Line line;
            if (noted != nullptr) {
                line = {true, noted->start, noted->length, LineBreak::None, nullptr};
                if (noted->next != kNone) {
                    reader.seek(noted->next);
                }
            } else {
                line = textOf(f, first + s, reader.next());
            }
            if (!line.present) {
                throwChangedSince(file.path);
            }
            readSide(source, line, *this, firstColumn, maxColumns, f, slices[s], noted);
        }
        // Whatever was read must still be the compared file.
        checkUnchanged(source, file);
    }

    for (LinePairSlice& slice : slices) {
        addRuns(slice);
    }
    return slices;
}

std::vector<LinePairSlice> FileComparison::differingPairs(std::uint64_t fromLine,
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
    slices.reserve(count);
    const ReadSizes& sizes = state_->sizes;

    // A file is opened once the first of its lines is wanted; a reader starts with a read that
    // holds its longest line, so that pairs far apart cost a read each.
    std::array<std::optional<SourceFile>, 2> sources;
    std::array<std::unique_ptr<LineReader>, 2> readers;
    const auto readerOf = [&](int f, std::uint64_t start) -> LineReader& {
        if (!readers[f]) {
            const FileRecord& file = state_->files[f];
            if (!sources[f]) {
                sources[f].emplace(reopen(file));
            }
            const std::size_t firstRead = static_cast<std::size_t>(std::clamp<std::uint64_t>(
                std::min(file.longestBytes, UINT64_MAX - 2) + 2, kMinimumRead, sizes.slice));
            readers[f] = std::make_unique<LineReader>(*sources[f], start, sizes.slice, firstRead);
        }
        return *readers[f];
    };

    std::array<std::uint64_t, 2> lastRead{}; // the line each reader read last
    std::uint64_t characters = 0;
    std::optional<RuledPair> ruled;
    if (!state_->rules.empty()) {
        ruled.emplace(state_->rules);
    }
    for (std::size_t i = first;
         i < first + count && (i == first || characters < sizes.batchCharacters); ++i) {
        const std::uint64_t k = lines[i];
        LinePairSlice& slice = slices.emplace_back();
        slice.line = k;
        const DifferingStart* recorded = state_->recordedStart(k);
        for (int f = 0; f < 2; ++f) {
            const FileRecord& file = state_->files[f];
            if (k >= file.lines) {
                continue; // the file has no such line
            }
            Line line;
            const LongLine* noted = file.longLine(k);
            const KeptPair* kept = noted == nullptr ? state_->kept.find(k) : nullptr;
            if (kept != nullptr) {
                // As the pass had it; the file is still opened, to tell if it has changed.
                if (!sources[f]) {
                    sources[f].emplace(reopen(file));
                }
                line = {true, 0, kept->length[f], LineBreak::None, kept->bytes[f]};
            } else if (noted != nullptr) {
                // Read in part from where the pass noted it; the reader goes on after it.
                line = {true, noted->start, noted->length, LineBreak::None, nullptr};
                LineReader& reader = readerOf(f, noted->next != kNone ? noted->next : noted->start);
                if (noted->next != kNone) {
                    reader.seek(noted->next);
                }
            } else if (recorded != nullptr) {
                const IndexEntry* entry =
                    lastAtOrBefore(file.index, k, [](const IndexEntry& e) { return e.line; });
                const std::uint64_t start = entry->offset + recorded->start[f];
                LineReader& reader = readerOf(f, start);
                reader.seek(start);
                line = reader.next();
            } else if (readers[f] && lastRead[f] + 1 == k) {
                line = readers[f]->next(); // the line after the one just read
            } else {
                // Within a stretch: read on from the nearest start known, with a reader of its own.
                const IndexEntry from = state_->nearestStart(f, k);
                readers[f].reset();
                LineReader& reader = readerOf(f, from.offset);
                if (!reader.skip(k - from.line)) {
                    throwChangedSince(file.path);
                }
                line = reader.next();
            }
            if (kept == nullptr) {
                lastRead[f] = k;
            }
            if (!line.present) {
                throwChangedSince(file.path);
            }
            if (noted == nullptr) {
                line = state_->textOf(f, k, line);
            }
            readSide(*sources[f], line, *state_, 0, maxColumns, f, slice, noted);
        }
        addRuns(slice);
        if (ruled) {
            state_->applyRules(slice, *ruled);
        }
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
void FileComparison::State::visitRuns(std::uint64_t line, const RunEdgeVisit& visit,
                                      std::uint64_t fromColumn, std::uint64_t stopColumn,
                                      bool ends) const {
    if (!rules.empty()) {
        // The runs that count, as the walk would give their edges.
        RuledPair ruled(rules);
        rulePair(line, ruled);
        for (const ColumnRun& run : ruled.countedTogether()) {
            if (run.first >= stopColumn) {
                return;
            }
            if (run.first >= fromColumn && !visit(run.first, true)) {
                return;
            }
            if (ends && run.last + 1 >= fromColumn && !visit(run.last, false)) {
                return;
            }
        }
        return;
    }
    std::array<std::optional<SourceFile>, 2> sources;
    std::array<std::unique_ptr<LineReader>, 2> readers;
    std::array<Line, 2> found{};
    std::array<const LongLine*, 2> noted{};
    for (int f = 0; f < 2; ++f) {
        const FileRecord& file = files[f];
        if (line >= file.lines) {
            continue;
        }
        sources[f].emplace(reopen(file));
        if ((noted[f] = file.longLine(line)) != nullptr) {
            found[f] = {true, noted[f]->start, noted[f]->length, LineBreak::None, nullptr};
            continue;
        }
        const IndexEntry from = nearestStart(f, line);
        readers[f] = std::make_unique<LineReader>(*sources[f], from.offset, sizes.slice);
        if (!readers[f]->skip(line - from.line)) {
            throwChangedSince(file.path);
        }
        found[f] = textOf(f, line, readers[f]->next());
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
        if (decodings[f] != Decoding::Utf8) {
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
    const auto bytesOf = [&](int f) {
        if (!found[f].present || found[f].bytes != nullptr) {
            return LineBytes(found[f].bytes, found[f].length);
        }
        const std::uint64_t skip = std::min(entry(f).first, found[f].length);
        return LineBytes(*sources[f], found[f].start + skip, found[f].length - skip, sizes.stream,
                         false);
    };
    LineBytes a = bytesOf(0);
    LineBytes b = bytesOf(1);
    skipCharacters(a, decodings[0], start - entry(0).second);
    skipCharacters(b, decodings[1], start - entry(1).second);
    visitRunEdges(
        a, b, decodings, start,
        [&](std::uint64_t column, bool starts) {
            return (starts && column < fromColumn) || visit(column, starts);
        },
        stopColumn, ends);
    for (int f = 0; f < 2; ++f) {
        if (sources[f]) {
            checkUnchanged(*sources[f], files[f]);
        }
    }
}

void FileComparison::State::rulePair(std::uint64_t line, RuledPair& ruled) const {
    const std::vector<LinePairSlice> whole = readPairs(line, 1, 0, UINT64_MAX);
    if (whole.empty()) {
        ruled.apply({}, {}, false, false);
        return;
    }
    ruled.apply(whole[0].text1, whole[0].text2, whole[0].has1, whole[0].has2);
}

void FileComparison::State::applyRules(LinePairSlice& slice, RuledPair& ruled) const {
    if (slice.runs1.empty() && slice.runs2.empty()) {
        return; // the rules never make equal columns differ
    }
    const bool whole = slice.firstColumn == 0 && slice.text1.size() == slice.length1 &&
                       slice.text2.size() == slice.length2;
    if (whole) {
        ruled.apply(slice.text1, slice.text2, slice.has1, slice.has2);
    } else {
        rulePair(slice.line, ruled);
    }
    // Each file's runs within the columns of its part.
    const auto clip = [&](const std::vector<ColumnRun>& runs, std::uint64_t shown) {
        std::vector<ColumnRun> part;
        const std::uint64_t end = slice.firstColumn + shown;
        for (const ColumnRun& run : runs) {
            if (run.last >= slice.firstColumn && run.first < end) {
                part.push_back(
                    {std::max(run.first, slice.firstColumn), std::min(run.last, end - 1)});
            }
        }
        return part;
    };
    slice.runs1 = clip(ruled.counted(0), slice.text1.size());
    slice.runs2 = clip(ruled.counted(1), slice.text2.size());
    slice.leftOut1 = clip(ruled.leftOut(0), slice.text1.size());
    slice.leftOut2 = clip(ruled.leftOut(1), slice.text2.size());
}

const ComparisonRules& FileComparison::rules() const { return state_->rules; }

std::optional<Omission> FileComparison::omission(std::uint64_t line, int file,
                                                 std::uint64_t column) const {
    if (state_->rules.empty() || line >= pairCount()) {
        return std::nullopt;
    }
    RuledPair ruled(state_->rules);
    state_->rulePair(line, ruled);
    return ruled.omission(file == 2 ? 1 : 0, column);
}

std::uint64_t FileComparison::State::longColumns(std::uint64_t line) const {
    std::uint64_t columns = 0;
    for (int f = 0; f < 2; ++f) {
        if (const LongLine* noted = files[f].longLine(line)) {
            columns = std::max(columns,
                               decodings[f] == Decoding::Utf8 ? noted->characters : noted->length);
        }
    }
    return columns;
}

void FileComparison::visitDifferingRuns(std::uint64_t line,
                                        const std::function<void(ColumnRun)>& visit) const {
    const auto& lines = state_->differing;
    if (!std::binary_search(lines.begin(), lines.end(), line)) {
        return;
    }
    std::uint64_t first = 0;
    state_->visitRuns(
        line,
        [&](std::uint64_t column, bool starts) {
            if (starts) {
                first = column;
            } else {
                visit({first, column});
            }
            return true;
        },
        0, UINT64_MAX, true);
}

std::optional<LineColumn> FileComparison::runFrom(LineColumn from, bool forward) const {
    // The first run start of `line` after column `after`, or none.
    const auto firstAfter = [this](std::uint64_t line, std::optional<std::uint64_t> after) {
        std::optional<std::uint64_t> found;
        state_->visitRuns(
            line,
            [&](std::uint64_t column, bool) {
                found = column;
                return false;
            },
            after ? *after + 1 : 0);
        return found;
    };
    // The last run start of `line` before column `before`, or before its end when none is given.
    // A long line is walked back in stretches that double, each walked from a checkpoint; with
    // rules the pair is read whole whatever the column, so it is walked once, from its start.
    const auto lastBefore = [this](std::uint64_t line, std::optional<std::uint64_t> before) {
        const bool ruled = !state_->rules.empty();
        const std::uint64_t apart = std::max<std::uint64_t>(state_->sizes.checkpointColumns, 1);
        const std::uint64_t longColumns = ruled ? 0 : state_->longColumns(line);
        // Run starts are looked for below `end`.
        std::uint64_t end = before ? *before : longColumns > 0 ? longColumns + 1 : UINT64_MAX;
        std::uint64_t stretch = ruled ? UINT64_MAX / 4 : std::max<std::uint64_t>(apart, 2);
        while (true) {
            // A walk from column `walk` tells the run starts from the column after it (from
            // column 0 at the line's start); `end` falls by at least one each time.
            const std::uint64_t walk =
                end == UINT64_MAX || end <= stretch ? 0 : (end - stretch) / apart * apart;
            std::optional<std::uint64_t> found;
            state_->visitRuns(
                line,
                [&](std::uint64_t column, bool) {
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
