#include "main_window/number_column.h"

#include <QFontMetricsF>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QWheelEvent>

#include <algorithm>

QString NumberColumn::numbersText() {
    QString text;
    for (int n = 1; n <= 50; ++n) {
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
    document()->setDefaultTextOption(QTextOption(Qt::AlignHCenter));
    showNumbersFrom(1);
}

void NumberColumn::showNumbersFrom(std::uint64_t first) {
    if (first == first_) {
        return;
    }
    first_ = first;
    if (first == 1) {
        QString shown = numbersText();
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        setPlainText(shown);
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
    const qreal needed = metrics.horizontalAdvance(QString::number(first + 49));
    QFont shownFont = font();
    if (needed > room && room > 0) {
        shownFont.setPointSizeF(std::max(kSmallestPoints, font().pointSizeF() * room / needed));
    }
    const QFontMetricsF shownMetrics(shownFont);
    QString shown;
    for (std::uint64_t n = first; n < first + 50; ++n) {
        shown +=
            shownMetrics.elidedText(QString::number(n), Qt::ElideLeft, std::max<qreal>(room, 1)) +
            u'\n';
    }
    setPlainText(shown);
    if (shownFont != font()) {
        QTextCursor all(document());
        all.select(QTextCursor::Document);
        QTextCharFormat smaller;
        smaller.setFontPointSize(shownFont.pointSizeF());
        all.mergeCharFormat(smaller);
        QTextBlockFormat level; // each number keeps the height of its line
        level.setLineHeight(metrics.lineSpacing(), QTextBlockFormat::FixedHeight);
        all.mergeBlockFormat(level);
    }
}

void NumberColumn::wheelEvent(QWheelEvent* event) { event->ignore(); }

void NumberColumn::scrollContentsBy(int, int) {
    // The numbers stay where they are, whatever asks the column to scroll.
}
