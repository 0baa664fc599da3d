#include "main_window/text_search.h"

#include "comparison/text_decoding.h"
#include "main_window/comparison_progress.h"

#include <QChar>
#include <QCoreApplication>
#include <QEventLoop>
#include <QProgressDialog>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

// The characters a piece holds at most, of each file (linePairs() reads both), and its lines.
constexpr std::uint64_t kPieceCharacters = std::uint64_t{1} << 20;
constexpr std::uint64_t kPieceLines = std::uint64_t{1} << 14;
constexpr int kSteps = 1000;

using Place = TextSearch::Place;

// The text looked for, and where it starts in the lines it is given.
class Finder {
public:
    Finder(const QString& text, bool matchCase)
        : matchCase_(matchCase), needle_(folded(text.toStdU32String())),
          searcher_(needle_.begin(), needle_.end()) {}

    std::uint64_t length() const { return needle_.size(); }

    // The first or last column at which a match starts within [low, high), in `text`, which
    // holds a line's columns from `firstColumn` on; a match must end within `text`.
    std::optional<std::uint64_t> first(const std::u32string& text, std::uint64_t firstColumn,
                                       std::uint64_t low, std::uint64_t high) {
        return find(text, firstColumn, low, high, false);
    }
    std::optional<std::uint64_t> last(const std::u32string& text, std::uint64_t firstColumn,
                                      std::uint64_t low, std::uint64_t high) {
        return find(text, firstColumn, low, high, true);
    }

private:
    std::u32string folded(std::u32string text) const {
        if (!matchCase_) {
            for (char32_t& c : text) {
                c = QChar::toCaseFolded(c);
            }
        }
        return text;
    }

    std::optional<std::uint64_t> find(const std::u32string& text, std::uint64_t firstColumn,
                                      std::uint64_t low, std::uint64_t high, bool last) {
        const std::uint64_t size = text.size();
        const std::uint64_t n = needle_.size();
        const std::uint64_t begin = std::max(low, firstColumn) - firstColumn;
        if (high <= firstColumn || begin >= size || n > size - begin) {
            return std::nullopt;
        }
        // Matches start before `high`: the text after the last such start and the needle is not
        // looked at.
        const std::uint64_t startsBefore = high - firstColumn;
        const std::uint64_t end =
            startsBefore >= size ? size : std::min(size, startsBefore - 1 + n);
        const std::u32string* haystack = &text;
        if (!matchCase_) {
            buffer_.assign(text, begin, end - begin);
            for (char32_t& c : buffer_) {
                c = QChar::toCaseFolded(c);
            }
            haystack = &buffer_;
        }
        const std::uint64_t offset = matchCase_ ? begin : 0;
        const std::uint64_t stop = matchCase_ ? end : end - begin;
        std::optional<std::uint64_t> found;
        for (std::uint64_t at = offset; at + n <= stop;) {
            const auto start = haystack->begin() + std::ptrdiff_t(at);
            const auto match = searcher_(start, haystack->begin() + std::ptrdiff_t(stop)).first;
            if (match == haystack->begin() + std::ptrdiff_t(stop)) {
                break;
            }
            found = firstColumn + begin + std::uint64_t(match - haystack->begin()) - offset;
            if (!last) {
                break;
            }
            at = std::uint64_t(match - haystack->begin()) + 1;
        }
        return found;
    }

    bool matchCase_;
    std::u32string needle_;
    std::boyer_moore_horspool_searcher<std::u32string::const_iterator> searcher_;
    std::u32string buffer_;
};

// Goes through the lines of one file in pieces, counting the lines looked at for the progress.
// A piece holds as many lines as twice the longest of the last piece fit in kPieceCharacters, so
// that a read spans about as much of the file as lies between two line starts the comparison
// knows, whatever the lengths of the lines; a line longer than the piece allows is read again on
// its own, a piece of columns at a time.
class Scan {
public:
    Scan(const parvane::FileComparison& comparison, int file, Finder& finder,
         const std::function<bool(double)>& afterPiece)
        : comparison_(comparison), file_(file), finder_(finder), afterPiece_(afterPiece),
          lines_(comparison.lineCount(file)) {
        fit(comparison.longestLine(file));
    }

    bool cancelled() const { return cancelled_; }

    // The first match that starts from `low` on and before `high`.
    std::optional<Place> forward(Place low, Place high) {
        for (std::uint64_t line = low.line; line < lines_ && before(line, high);) {
            const std::vector<parvane::LinePairSlice> slices =
                read(line, std::min(perPiece_, lines_ - line));
            for (const parvane::LinePairSlice& slice : slices) {
                if (!before(slice.line, high)) {
                    return std::nullopt;
                }
                std::optional<Place> found;
                if (!search(slice, lowOf(slice.line, low), highOf(slice.line, high), false,
                            found) ||
                    found) {
                    return found;
                }
            }
            if (slices.empty() || !step(slices)) {
                return std::nullopt;
            }
            line += slices.size();
        }
        return std::nullopt;
    }

    // The last match that starts from `low` on and before `high`.
    std::optional<Place> backward(Place low, Place high) {
        if (high.line >= lines_) {
            high = {lines_, 0};
        }
        if (high.line == 0 && high.column == 0) {
            return std::nullopt;
        }
        for (std::uint64_t line = high.column == 0 ? high.line - 1 : high.line; line >= low.line;) {
            const std::uint64_t first =
                std::max(low.line, line + 1 - std::min(line + 1, perPiece_));
            const std::vector<parvane::LinePairSlice> slices = read(first, line - first + 1);
            for (auto slice = slices.rbegin(); slice != slices.rend(); ++slice) {
                std::optional<Place> found;
                if (!search(*slice, lowOf(slice->line, low), highOf(slice->line, high), true,
                            found) ||
                    found) {
                    return found;
                }
            }
            if (slices.empty() || !step(slices) || first == 0) {
                return std::nullopt;
            }
            line = first - 1;
        }
        return std::nullopt;
    }

private:
    static bool before(std::uint64_t line, Place high) {
        return line < high.line || (line == high.line && high.column > 0);
    }
    static std::uint64_t lowOf(std::uint64_t line, Place low) {
        return line == low.line ? low.column : 0;
    }
    static std::uint64_t highOf(std::uint64_t line, Place high) {
        return line == high.line ? high.column : UINT64_MAX;
    }
    const std::u32string& textOf(const parvane::LinePairSlice& slice) const {
        return file_ == 1 ? slice.text1 : slice.text2;
    }
    std::uint64_t lengthOf(const parvane::LinePairSlice& slice) const {
        return file_ == 1 ? slice.length1 : slice.length2;
    }

    // The lines of the next piece fit lines of `longest` characters.
    void fit(std::uint64_t longest) {
        perPiece_ = std::clamp<std::uint64_t>(
            kPieceCharacters / (2 * std::min(longest, kPieceCharacters) + 2), 1, kPieceLines);
    }

    // `count` lines from `first` on, each cut to the columns a piece gives a line.
    std::vector<parvane::LinePairSlice> read(std::uint64_t first, std::uint64_t count) const {
        return comparison_.linePairs(first, count, 0, kPieceCharacters / perPiece_);
    }

    // The first match in [low, high) of the slice's line or, when `last`, the last, into `found`;
    // false when the search is to stop.
    bool search(const parvane::LinePairSlice& slice, std::uint64_t low, std::uint64_t high,
                bool last, std::optional<Place>& found) {
        if (textOf(slice).size() < lengthOf(slice)) {
            return longLine(slice.line, low, high, last, found);
        }
        const std::optional<std::uint64_t> column =
            last ? finder_.last(textOf(slice), 0, low, high)
                 : finder_.first(textOf(slice), 0, low, high);
        if (column) {
            found = Place{slice.line, *column};
        }
        return true;
    }

    // The lines of `slices` looked at; false when the search is to stop.
    bool step(const std::vector<parvane::LinePairSlice>& slices) {
        std::uint64_t longest = 0;
        for (const parvane::LinePairSlice& slice : slices) {
            longest = std::max(longest, lengthOf(slice));
        }
        fit(longest);
        done_ += slices.size();
        return goOn();
    }

    bool goOn() {
        if (!afterPiece_(double(done_) / double(std::max<std::uint64_t>(lines_, 1)))) {
            cancelled_ = true;
        }
        return !cancelled_;
    }

    // A line too long for the piece it came in, a piece of columns at a time, each piece reaching
    // far enough past its end for a match that starts in it; `found` gets its first match in
    // [low, high) or, when `last`, its last. False when the search is to stop.
    bool longLine(std::uint64_t line, std::uint64_t low, std::uint64_t high, bool last,
                  std::optional<Place>& found) {
        const std::uint64_t reach = kPieceCharacters + finder_.length() - 1;
        for (std::uint64_t column = low; column < high;) {
            const std::vector<parvane::LinePairSlice> slices =
                comparison_.linePairs(line, 1, column, reach);
            if (slices.empty()) {
                break;
            }
            const parvane::LinePairSlice& slice = slices.front();
            const std::uint64_t pieceHigh = std::min(high, column + kPieceCharacters);
            const std::optional<std::uint64_t> match =
                last ? finder_.last(textOf(slice), column, column, pieceHigh)
                     : finder_.first(textOf(slice), column, column, pieceHigh);
            if (match) {
                found = Place{line, *match};
                if (!last) {
                    break;
                }
            }
            column += kPieceCharacters;
            if (column >= lengthOf(slice) || !goOn()) {
                break;
            }
        }
        return !cancelled_;
    }

    const parvane::FileComparison& comparison_;
    int file_;
    Finder& finder_;
    const std::function<bool(double)>& afterPiece_;
    std::uint64_t lines_;
    std::uint64_t perPiece_ = 1;
    std::uint64_t done_ = 0;
    bool cancelled_ = false;
};

} // namespace

TextSearch::Result TextSearch::find(QWidget* parent, const parvane::FileComparison& comparison,
                                    int file, Place from, const QString& text, bool forward,
                                    bool matchCase, const std::function<void()>& eachPiece) {
    QProgressDialog dialog(parent);
    ComparisonProgress::setUpDialog(
        dialog, QStringLiteral("SearchProgress"), kTitle,
        QStringLiteral("Buscando «%1» en %2…")
            .arg(text, QString::fromStdString(parvane::printable(comparison.path(file).native()))),
        kSteps);
    return search(comparison, file, from, text, forward, matchCase,
                  ComparisonProgress::pieceStep(dialog, kSteps, eachPiece));
}

std::optional<TextSearch::Match> TextSearch::findQuietly(const parvane::FileComparison& comparison,
                                                         int file, Place from, const QString& text,
                                                         bool forward, bool matchCase) {
    return search(comparison, file, from, text, forward, matchCase, [](double) { return true; })
        .match;
}

TextSearch::Result TextSearch::search(const parvane::FileComparison& comparison, int file,
                                      Place from, const QString& text, bool forward, bool matchCase,
                                      const std::function<bool(double)>& afterPiece) {
    Result result;
    Finder finder(text, matchCase);
    if (finder.length() == 0) {
        return result;
    }
    Scan scan(comparison, file, finder, afterPiece);
    const Place start{0, 0};
    const Place end{comparison.lineCount(file), 0};
    std::optional<Place> found = forward ? scan.forward(from, end) : scan.backward(start, from);
    bool wrapped = false;
    if (!found && !scan.cancelled()) {
        found = forward ? scan.forward(start, from) : scan.backward(from, end);
        wrapped = true;
    }
    if (scan.cancelled()) {
        result.cancelled = true;
    } else if (found) {
        result.match = Match{*found, finder.length(), wrapped};
    }
    return result;
}
