#include "main_window/level_layout.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

QSizeF LevelLayout::documentSize() const {
    QSizeF size = QPlainTextDocumentLayout::documentSize();
    size.setWidth(std::max(size.width(), levelWidth_));
    return size;
}

QRectF LevelLayout::blockBoundingRect(const QTextBlock& block) const {
    QRectF rect = QPlainTextDocumentLayout::blockBoundingRect(block); // lays the block out
    QTextLayout* layout = block.layout();
    if (rect.isNull() || !layout || layout->lineCount() != 1) {
        return rect; // the last block with the room after the text, which has lines of its own
    }
    // The line keeps the font's baseline: a taller character reaches above and below its line
    // rather than making the line taller.
    const LineMetrics metrics = lineMetrics();
    QTextLine line = layout->lineAt(0);
    line.setPosition(QPointF(line.position().x(), metrics.ascent - line.ascent()));
    const qreal margin = block.next().isValid() ? 0 : document()->documentMargin();
    rect.setHeight(metrics.height + margin);
    return rect;
}

// A point in the room after the text is at the text's end.
int LevelLayout::hitTest(const QPointF& point, Qt::HitTestAccuracy accuracy) const {
    const int position = QPlainTextDocumentLayout::hitTest(point, accuracy);
    return std::min(position, document()->characterCount() - 1);
}

// The room is the last block's pre-edit text, which a layout draws but the document does not hold:
// empty lines, one line separator each.
void LevelLayout::setLevelLines(int lines) {
    const QTextBlock last = document()->lastBlock();
    const int room = std::max(0, lines - document()->blockCount());
    QTextLayout* layout = last.layout();
    if (layout->preeditAreaText().size() == room) {
        return;
    }
    layout->setPreeditArea(0, QString(room, QChar::LineSeparator));
    // Laid out at once, so that the views' bars take the new lines in now.
    layout->clearLayout();
    blockBoundingRect(last);
    requestUpdate();
}

LevelLayout::LineMetrics LevelLayout::lineMetrics() const {
    const QFont font = document()->defaultFont();
    if (metricsFont_ && *metricsFont_ == font) {
        return metrics_;
    }
    QTextLayout sample(QStringLiteral("x"), font);
    sample.beginLayout();
    QTextLine line = sample.createLine();
    line.setLeadingIncluded(true);
    sample.endLayout();
    metricsFont_ = font;
    metrics_ = {line.height(), line.ascent()};
    return metrics_;
}

void LevelLayout::setLevelWidth(qreal width) {
    if (width == levelWidth_) {
        return;
    }
    levelWidth_ = width;
    emit documentSizeChanged(documentSize());
}
