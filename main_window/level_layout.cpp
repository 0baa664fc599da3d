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
        return rect;
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
