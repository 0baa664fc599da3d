#include "main_window/number_column.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QResizeEvent>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextFrame>
#include <QTextFrameFormat>
#include <QTextLayout>
#include <QWheelEvent>

#include <algorithm>
#include <utility>

namespace {

// The numbers of the design's column.
constexpr int kDesignCount = 50;
// How much smaller each try of a font for wide numbers is.
constexpr double kPointStep = 0.25;

} // namespace

QString NumberColumn::numbersText() {
    QString text;
    for (int n = 1; n <= kDesignCount; ++n) {
        text += QString::number(n) + QStringLiteral("\r\n");
    }
    return text;
}

NumberColumn::NumberColumn(QWidget* parent) : QTextEdit(parent) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setFocusPolicy(Qt::NoFocus);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setFrameShape(QFrame::NoFrame);
    setLineWrapMode(QTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Centred and never wrapped: a shortened number wrapped after its ellipsis would push the
    // numbers below it off their lines.
    QTextOption centred(Qt::AlignHCenter);
    centred.setWrapMode(QTextOption::NoWrap);
    document()->setDefaultTextOption(centred);
    showNumbersFrom(1);
}

void NumberColumn::showNumbersFrom(std::uint64_t first, std::optional<int> top) {
    showNumbers(first, fittingCount(), top);
}

int NumberColumn::fittingCount() const {
    const int spacing = std::max(1, QFontMetrics(font()).lineSpacing());
    return std::max(kDesignCount, (viewport()->height() + spacing - 1) / spacing + 1);
}

void NumberColumn::resizeEvent(QResizeEvent* event) {
    QTextEdit::resizeEvent(event);
    if (first_ != 0) {
        showNumbers(first_, fittingCount(), top_);
    }
}

void NumberColumn::changeEvent(QEvent* event) {
    QTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange && first_ != 0) {
        const std::uint64_t first = std::exchange(first_, 0);
        showNumbers(first, fittingCount(), top_);
    }
}

void NumberColumn::showNumbers(std::uint64_t first, int count, std::optional<int> top) {
    const qreal topMargin = top ? qreal(*top) : document()->documentMargin();
    top_ = top;
    if (first == first_ && count == count_) {
        placeFirstLine(topMargin);
        return;
    }
    first_ = first;
    count_ = count;
    const std::uint64_t last = first + std::uint64_t(count) - 1;
    if (first == 1 && last < 100) {
        QString shown;
        for (int n = 1; n <= count; ++n) {
            shown += QString::number(n) + u'\n';
        }
        setNumbers(shown, {}, {}, topMargin);
        return;
    }
    // Numbers too wide for the part of the column that is seen get a smaller font, and, at its
    // smallest, lose their first digits to an ellipsis: the last digits are those that change.
    const QRect seen = viewport()->visibleRegion().boundingRect();
    const qreal margin = document()->documentMargin();
    const qreal room = seen.isEmpty()
                           ? viewport()->width() - 2 * margin
                           : seen.right() + 1 - margin - std::max<qreal>(seen.left(), margin);
    const QFontMetricsF metrics(font());
    // Digits need not be equally wide: the widest number is looked for.
    const auto widest = [first, last](const QFontMetricsF& shownMetrics) {
        qreal width = 0;
        for (std::uint64_t n = first; n <= last; ++n) {
            width = std::max(width, shownMetrics.horizontalAdvance(QString::number(n)));
        }
        return width;
    };
    const qreal needed = widest(metrics);
    QFont shownFont = font();
    if (needed > room && room > 0) {
        // The size asked for may be drawn a little wider than its share of the font's own.
        qreal points = std::max(kSmallestPoints, font().pointSizeF() * room / needed);
        shownFont.setPointSizeF(points);
        while (points > kSmallestPoints && widest(QFontMetricsF(shownFont)) > room) {
            points = std::max(kSmallestPoints, points - kPointStep);
            shownFont.setPointSizeF(points);
        }
    }
    const QFontMetricsF shownMetrics(shownFont);
    QString shown;
    for (std::uint64_t n = first; n <= last; ++n) {
        shown +=
            shownMetrics.elidedText(QString::number(n), Qt::ElideLeft, std::max<qreal>(room, 1)) +
            u'\n';
    }
    QTextCharFormat smaller;
    QTextBlockFormat level;
    if (shownFont != font()) {
        smaller.setFontPointSize(shownFont.pointSizeF());
        // Each number keeps the height of a line of the column's own font, as the view's lines
        // have it.
        QTextLayout sample(QStringLiteral("0"), font());
        sample.beginLayout();
        QTextLine line = sample.createLine();
        line.setLeadingIncluded(true);
        sample.endLayout();
        level.setLineHeight(line.height(), QTextBlockFormat::FixedHeight);
    }
    setNumbers(shown, smaller, level, topMargin);
}

// One edit of the document, which is laid out once after it.
void NumberColumn::setNumbers(const QString& shown, const QTextCharFormat& characters,
                              const QTextBlockFormat& lines, qreal topMargin) {
    QTextCursor all(document());
    all.beginEditBlock();
    all.select(QTextCursor::Document);
    all.removeSelectedText();
    all.setBlockFormat(lines);
    all.setBlockCharFormat(characters);
    all.insertText(shown, characters);
    placeFirstLine(topMargin);
    all.endEditBlock();
    moveCursor(QTextCursor::Start); // the column's own caret, which the text pushed to the end
}

void NumberColumn::placeFirstLine(qreal topMargin) {
    QTextFrameFormat frame = document()->rootFrame()->frameFormat();
    if (frame.topMargin() != topMargin) {
        frame.setTopMargin(topMargin);
        document()->rootFrame()->setFrameFormat(frame);
    }
}

void NumberColumn::wheelEvent(QWheelEvent* event) { event->ignore(); }

void NumberColumn::scrollContentsBy(int, int) {
    // The numbers stay where they are, whatever asks the column to scroll.
}
