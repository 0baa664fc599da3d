#pragma once

// The layout of a view's document that can claim more width than its own lines need, so that
// two views side by side scroll over the same width and their columns stay level.

#include <QPlainTextDocumentLayout>

class LevelLayout : public QPlainTextDocumentLayout {
    Q_OBJECT

public:
    using QPlainTextDocumentLayout::QPlainTextDocumentLayout;

    QSizeF documentSize() const override;

    // The width the lines themselves take, as far as they have been laid out.
    qreal naturalWidth() const { return QPlainTextDocumentLayout::documentSize().width(); }

    // The least width the layout claims; 0 for none.
    void setMinimumWidth(qreal width);

private:
    qreal minimumWidth_ = 0;
};
