#include "report/report_bounded_source.h"

#include "comparison/source_file.h"
#include "comparison/text_decoding.h"

#include <algorithm>
#include <string_view>

namespace fs = std::filesystem;

namespace {

// What compareFiles() reads at most of a file (four bytes for each of its 32766 characters).
constexpr std::size_t kMaxFileBytes = 4 * std::size_t{32766};

// The bytes of a file that compareFiles() has just read in full.
std::string readAgain(const fs::path& path) {
    parvane::SourceFile file(path);
    std::optional<std::string> bytes = file.readAtMost(kMaxFileBytes);
    if (!bytes) {
        throw parvane::FileError("No se puede leer " + parvane::quoted(path) +
                                 ": ha cambiado mientras se comparaba. Vuelva a intentarlo.");
    }
    return std::move(*bytes);
}

// The runs [first, last] of `columns`, which are increasing.
void addColumn(std::vector<parvane::ColumnRun>& runs, std::uint64_t column) {
    if (!runs.empty() && runs.back().last + 1 == column) {
        runs.back().last = column;
    } else {
        runs.push_back({column, column});
    }
}

// The runs of `runs` that fall in columns [begin, end), cut to fit.
std::vector<parvane::ColumnRun> clip(const std::vector<parvane::ColumnRun>& runs,
                                     std::uint64_t begin, std::uint64_t end) {
    std::vector<parvane::ColumnRun> part;
    for (const parvane::ColumnRun& run : runs) {
        if (run.last >= begin && run.first < end) {
            part.push_back({std::max(run.first, begin), std::min(run.last, end - 1)});
        }
    }
    return part;
}

} // namespace

std::unique_ptr<BoundedReportSource> BoundedReportSource::open(const fs::path& file1,
                                                               const fs::path& file2) {
    const parvane::Comparison comparison = parvane::compareFiles(file1, file2);
    std::unique_ptr<BoundedReportSource> source(new BoundedReportSource);
    // compareFiles() does not say which decoding it chose; its rule is simple to repeat.
    const bool utf8 =
        parvane::isValidUtf8(readAgain(file1)) && parvane::isValidUtf8(readAgain(file2));
    source->decoding_ = utf8 ? parvane::Decoding::Utf8 : parvane::Decoding::Windows1252;
    source->sides_[0].path = file1;
    source->sides_[1].path = file2;
    fill(source->sides_[0], comparison.displayText1, comparison.differences1);
    fill(source->sides_[1], comparison.displayText2, comparison.differences2);

    parvane::ComparisonTotals& totals = source->totals_;
    totals.differingCharacters1 = comparison.differences1.size();
    totals.differingCharacters2 = comparison.differences2.size();
    const std::uint64_t lines1 = source->lineCount(1);
    const std::uint64_t lines2 = source->lineCount(2);
    totals.linesOnlyIn1 = lines1 > lines2 ? lines1 - lines2 : 0;
    totals.linesOnlyIn2 = lines2 > lines1 ? lines2 - lines1 : 0;
    for (std::uint64_t k = 0; k < source->pairCount(); ++k) {
        const bool differs1 = k < lines1 && !source->sides_[0].runs[k].empty();
        const bool differs2 = k < lines2 && !source->sides_[1].runs[k].empty();
        if (differs1 || differs2) {
            source->differingLines_.push_back(k);
        }
    }
    totals.differingLines = source->differingLines_.size();
    return source;
}

void BoundedReportSource::fill(Side& side, const std::string& displayText,
                               const std::vector<std::int16_t>& differences) {
    const std::string_view text = displayText;
    auto difference = differences.begin();
    std::uint64_t position = 1; // of the line's first character, as compareFiles() counts
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find("\r\n", start), text.size());
        std::u32string line;
        parvane::decodeUtf8(text.substr(start, end - start), line);
        std::vector<parvane::ColumnRun> runs;
        while (difference != differences.end() &&
               static_cast<std::uint64_t>(*difference) < position + line.size()) {
            addColumn(runs, static_cast<std::uint64_t>(*difference) - position);
            ++difference;
        }
        position += line.size() + 2;
        side.lines.push_back(std::move(line));
        side.runs.push_back(std::move(runs));
        start = end + 2;
    }
}

const fs::path& BoundedReportSource::path(int file) const { return sides_[file - 1].path; }

std::uint64_t BoundedReportSource::lineCount(int file) const {
    return sides_[file - 1].lines.size();
}

std::optional<std::uint64_t> BoundedReportSource::firstDifferingLine() const {
    if (differingLines_.empty()) {
        return std::nullopt;
    }
    return differingLines_.front();
}

std::optional<std::uint64_t> BoundedReportSource::nextDifferingLine(std::uint64_t line) const {
    const auto next = std::upper_bound(differingLines_.begin(), differingLines_.end(), line);
    if (next == differingLines_.end()) {
        return std::nullopt;
    }
    return *next;
}

std::vector<parvane::LinePairSlice> BoundedReportSource::linePairs(std::uint64_t first,
                                                                   std::uint64_t count,
                                                                   std::uint64_t firstColumn,
                                                                   std::uint64_t maxColumns) const {
    std::vector<parvane::LinePairSlice> slices;
    const std::uint64_t end = first + std::min(count, pairCount() - std::min(first, pairCount()));
    for (std::uint64_t k = first; k < end; ++k) {
        parvane::LinePairSlice slice;
        slice.line = k;
        slice.firstColumn = firstColumn;
        for (int file = 0; file < 2; ++file) {
            const Side& side = sides_[file];
            if (k >= side.lines.size()) {
                continue;
            }
            const std::u32string& line = side.lines[k];
            const std::uint64_t begin = std::min<std::uint64_t>(firstColumn, line.size());
            const std::uint64_t width = std::min<std::uint64_t>(maxColumns, line.size() - begin);
            (file == 0 ? slice.has1 : slice.has2) = true;
            (file == 0 ? slice.length1 : slice.length2) = line.size();
            (file == 0 ? slice.text1 : slice.text2) = line.substr(begin, width);
            (file == 0 ? slice.runs1 : slice.runs2) = clip(side.runs[k], begin, begin + width);
        }
        slices.push_back(std::move(slice));
    }
    return slices;
}

std::vector<parvane::LinePairSlice>
BoundedReportSource::differingPairs(std::uint64_t fromLine, std::uint64_t maxPairs,
                                    std::uint64_t maxColumns) const {
    // The files hold 32767 characters at most, so a batch of them stays small.
    std::vector<parvane::LinePairSlice> slices;
    for (auto line = std::lower_bound(differingLines_.begin(), differingLines_.end(), fromLine);
         line != differingLines_.end() && slices.size() < maxPairs; ++line) {
        std::vector<parvane::LinePairSlice> one = linePairs(*line, 1, 0, maxColumns);
        slices.push_back(std::move(one.front()));
    }
    return slices;
}
