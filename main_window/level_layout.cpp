#include "main_window/level_layout.h"

#include <algorithm>

QSizeF LevelLayout::documentSize() const {
    QSizeF size = QPlainTextDocumentLayout::documentSize();
    size.setWidth(std::max(size.width(), minimumWidth_));
    return size;
}

void LevelLayout::setMinimumWidth(qreal width) {
    if (width == minimumWidth_) {
        return;
    }
    minimumWidth_ = width;
    emit documentSizeChanged(documentSize());
}
