#include "main_window/selection_copy.h"

#include "comparison/text_decoding.h"
#include "main_window/comparison_progress.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLocale>
#include <QProgressDialog>

#include <algorithm>

namespace {

// The characters a piece holds at most, of each file (linePairs() reads both), and its lines.
constexpr std::uint64_t kPieceCharacters = std::uint64_t{1} << 22;
constexpr std::uint64_t kPieceLines = std::uint64_t{1} << 14;
constexpr int kSteps = 1000;

std::uint64_t utf8Bytes(char32_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }

// Appends the characters [from, to) to `text` and counts their bytes as UTF-8 into `bytes`.
void append(QString& text, std::uint64_t& bytes, const char32_t* from, const char32_t* to) {
    const qsizetype at = text.size();
    text.resize(at + 2 * qsizetype(to - from)); // a surrogate pair at most for each
    char16_t* out = reinterpret_cast<char16_t*>(text.data()) + at;
    for (const char32_t* c = from; c != to; ++c) {
        bytes += utf8Bytes(*c);
        if (*c < 0x10000) {
            *out++ = char16_t(*c);
        } else {
            *out++ = QChar::highSurrogate(*c);
            *out++ = QChar::lowSurrogate(*c);
        }
    }
    text.truncate(qsizetype(out - reinterpret_cast<char16_t*>(text.data())));
}

QString refusalFor(const std::filesystem::path& file, std::uint64_t most) {
    const QString name = QString::fromStdString(parvane::printable(file.native()));
    const QLocale spanish(QLocale::Spanish, QLocale::Spain);
    const bool megabytes = most % (std::uint64_t{1} << 20) == 0;
    const QString size = megabytes
                             ? QStringLiteral("%1 MB").arg(qulonglong(most >> 20))
                             : QStringLiteral("%1 bytes").arg(spanish.toString(qulonglong(most)));
    return QStringLiteral("No se puede copiar la selección de «%1»: tiene más de %2 de texto, más "
                          "de lo que se copia de una vez. Seleccione menos texto.")
        .arg(name, size);
}

} // namespace

SelectionCopy::Result SelectionCopy::read(QWidget* parent,
                                          const parvane::FileComparison& comparison, int file,
                                          Place from, Place to, std::uint64_t most,
                                          const std::function<void()>& eachPiece) {
    QProgressDialog dialog(parent);
    ComparisonProgress::setUpDialog(
        dialog, QStringLiteral("CopyProgress"), kTitle,
        QStringLiteral("Copiando la selección de %1…")
            .arg(QString::fromStdString(parvane::printable(comparison.path(file).native()))),
        kSteps);
    return gather(comparison, file, from, to, most,
                  ComparisonProgress::pieceStep(dialog, kSteps, eachPiece));
}

std::optional<QString> SelectionCopy::readQuietly(const parvane::FileComparison& comparison,
                                                  int file, Place from, Place to,
                                                  std::uint64_t most,
                                                  const std::function<void()>& eachPiece) {
    return gather(comparison, file, from, to, most,
                  [&eachPiece](double) {
                      if (eachPiece) {
                          eachPiece();
                      }
                      return true;
                  })
        .text;
}

SelectionCopy::Result SelectionCopy::gather(const parvane::FileComparison& comparison, int file,
                                            Place from, Place to, std::uint64_t most,
                                            const std::function<bool(double)>& afterPiece) {
    Result result;
    // Every line break is a byte of the text.
    if (to.line - from.line > most) {
        result.refusal = refusalFor(comparison.path(file), most);
        return result;
    }
    const std::uint64_t lines = comparison.lineCount(file);
    // The line break after the last line, which a view shows, is copied only when the file has it.
    const std::uint64_t lastBreak = comparison.traits(file).endsWithLineBreak
                                        ? lines
                                        : lines - std::min<std::uint64_t>(lines, 1);
    const std::uint64_t longest = std::max(comparison.longestLine(1), comparison.longestLine(2));
    // Short lines are read many at a time; a long one, a piece of columns at a time.
    const bool wholeLines = longest <= kPieceCharacters;
    const std::uint64_t perPiece =
        std::clamp<std::uint64_t>(kPieceCharacters / (longest + 2), 1, kPieceLines);

    QString text;
    std::uint64_t bytes = 0;
    std::uint64_t line = from.line;
    std::uint64_t column = from.column; // where the next piece of a long line starts
    while (line < lines && (line < to.line || (line == to.line && column < to.column))) {
        const std::uint64_t count =
            wholeLines ? std::min({to.line - line + 1, lines - line, perPiece}) : 1;
        const std::uint64_t firstColumn = wholeLines ? 0 : column;
        const std::vector<parvane::LinePairSlice> slices = comparison.linePairs(
            line, count, firstColumn, wholeLines ? UINT64_MAX : kPieceCharacters);
        if (slices.empty()) {
            break;
        }
        for (const parvane::LinePairSlice& slice : slices) {
            const std::u32string& characters = file == 1 ? slice.text1 : slice.text2;
            const std::uint64_t length = file == 1 ? slice.length1 : slice.length2;
            // The columns wanted of this line, and those the slice holds.
            const std::uint64_t begin = slice.line == from.line ? from.column : 0;
            const std::uint64_t end = slice.line == to.line ? std::min(to.column, length) : length;
            const std::uint64_t held = slice.firstColumn + characters.size();
            const std::uint64_t low = std::max(begin, slice.firstColumn);
            const std::uint64_t high = std::min(end, held);
            if (low < high) {
                const char32_t* start = characters.data() + (low - slice.firstColumn);
                append(text, bytes, start, start + (high - low));
                if (bytes > most) {
                    break;
                }
            }
            if (held < end) {
                column = held; // more of this line in the next piece
                break;
            }
            if (slice.line < to.line && slice.line < lastBreak) {
                text += u'\n';
                ++bytes;
            }
            line = slice.line + 1;
            column = 0;
        }
        if (bytes > most) {
            result.refusal = refusalFor(comparison.path(file), most);
            return result;
        }
        const double done = to.line > from.line
                                ? double(line - from.line) / double(to.line - from.line + 1)
                                : double(column - std::min(column, from.column)) /
                                      double(std::max<std::uint64_t>(1, to.column - from.column));
        if (!afterPiece(done)) {
            return result;
        }
    }
    result.text = std::move(text);
    return result;
}
