#pragma once

// The layout of a view's document that keeps two views side by side level. It can claim more
// width than its own lines need, so that both views scroll over the same width, and more lines
// than the document holds, so that both scroll over the same lines: the last line of a shorter
// document is followed by empty room (drawn lines that are no text: the document's text stays the
// file's own, and no caret or selection reaches the room). It gives every line the height of the
// document's font, so that a line holding a taller character (a stand-in or an emoji from a
// fallback font) does not push the lines after it down.

#include <QFont>
#include <QPlainTextDocumentLayout>

#include <optional>

class LevelLayout : public QPlainTextDocumentLayout {
    Q_OBJECT

public:
    using QPlainTextDocumentLayout::QPlainTextDocumentLayout;

    QSizeF documentSize() const override;
    QRectF blockBoundingRect(const QTextBlock& block) const override;
    int hitTest(const QPointF& point, Qt::HitTestAccuracy accuracy) const override;

    // The width the lines themselves take, as far as they have been laid out.
    qreal naturalWidth() const { return QPlainTextDocumentLayout::documentSize().width(); }

    // The least width the layout claims; 0 for none.
    void setLevelWidth(qreal width);
    qreal levelWidth() const { return levelWidth_; }

    // The least number of lines the layout shows, the document's own included; call again once
    // the document's text has been replaced.
    void setLevelLines(int lines);

private:
    struct LineMetrics {
        qreal height = 0, ascent = 0;
    };
    // The height and ascent of a line of the document's font.
    LineMetrics lineMetrics() const;

    qreal levelWidth_ = 0;
    mutable std::optional<QFont> metricsFont_;
    mutable LineMetrics metrics_;
};
