#include "main_window/fixed_cells.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {

// Marks the formats that fit a character to its cell.
constexpr int kFitted = QTextFormat::UserProperty + 3;
// Widths closer than this are the same: a layout counts in 64ths of a pixel.
constexpr qreal kSameWidth = 1.0 / 128;

using Ranges = QList<QTextLayout::FormatRange>;

bool isFitting(const QTextLayout::FormatRange& range) { return range.format.hasProperty(kFitted); }

// Gives `block` the fitting formats `fittings` in place of those it had, keeping the others; a
// block whose fittings stay as they were is not laid out again.
void refit(const QTextBlock& block, const Ranges& fittings) {
    QTextLayout* layout = block.layout();
    Ranges formats = layout->formats();
    Ranges previous;
    std::copy_if(formats.cbegin(), formats.cend(), std::back_inserter(previous), isFitting);
    if (previous == fittings) {
        return;
    }
    formats.removeIf(isFitting);
    formats.append(fittings);
    layout->setFormats(formats);
}

} // namespace

FixedCells::FixedCells(const QFont& font)
    : font_(font), metrics_(font), cell_(metrics_.horizontalAdvance(QLatin1Char('0'))) {}

// Each character that needs it gets a range of its own: a letter spacing counts once for a
// cluster, and two marks in one range would make one cluster.
void FixedCells::fit(QTextDocument* document) {
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        Ranges fittings;
        for (qsizetype i = 0; i < text.size();) {
            char32_t c = text[i].unicode();
            qsizetype units = 1;
            if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                c = QChar::surrogateToUcs4(text[i], text[i + 1]);
                units = 2;
            }
            const bool ownCell =
                (c >= U' ' && c < 0x7F) || c == U'\t' || c == QChar::ObjectReplacementCharacter;
            if (!ownCell) {
                if (const std::optional<QTextCharFormat> format = fitting(c)) {
                    fittings.append({int(i), int(units), *format});
                }
            }
            i += units;
        }
        refit(block, fittings);
    }
}

void FixedCells::unfit(QTextDocument* document) {
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        refit(block, {});
    }
}

// A wider letter is drawn narrower (its font's stretch), to the nearest whole percentage below
// the cell's width; a letter spacing makes up what is left, or the whole cell for a character
// that takes no room.
std::optional<QTextCharFormat> FixedCells::fitting(char32_t c) {
    const auto known = fittings_.constFind(c);
    if (known != fittings_.constEnd()) {
        return *known;
    }
    const QString text = QString::fromUcs4(&c, 1);
    qreal width = metrics_.horizontalAdvance(text);
    std::optional<QTextCharFormat> format;
    if (std::abs(width - cell_) >= kSameWidth) {
        format.emplace();
        format->setProperty(kFitted, true);
        if (width > cell_) {
            const int stretch = std::max(1, int(std::floor(100 * cell_ / width)));
            QFont squeezed = font_;
            squeezed.setStretch(stretch);
            format->setFontStretch(stretch);
            width = QFontMetricsF(squeezed).horizontalAdvance(text);
        }
        format->setFontLetterSpacingType(QFont::AbsoluteSpacing);
        format->setFontLetterSpacing(cell_ - width);
    }
    fittings_.insert(c, format);
    return format;
}
