#include "main_window/diff_view.h"

#include "main_window/level_layout.h"

#include <QMimeData>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>

#include <algorithm>

DiffView::DiffView(QWidget* parent) : QPlainTextEdit(parent) {
    adoptDocument(new QTextDocument(this));
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &DiffView::keepCaretInText);
    connect(this, &QPlainTextEdit::selectionChanged, this, &DiffView::keepCaretInText);
}

void DiffView::setDisplayText(const QString& displayText, int minimumLines) {
    text_ = ShownText(displayText, minimumLines);
    // New text takes the character format at the caret: start from a plain one.
    QTextCursor start(document());
    start.setCharFormat(QTextCharFormat());
    setTextCursor(start);
    setPlainText(text_.text());
    text_.releaseText();
}

void DiffView::highlight(std::span<const std::int16_t> positions, const QColor& colour) {
    text_.colour(document(), positions, colour);
}

DiffView::Content DiffView::makeContent(const QString& displayText, int minimumLines,
                                        std::span<const std::int16_t> positions,
                                        const QColor& colour, QThread* owner) {
    Content content{ShownText(displayText, minimumLines), std::make_unique<QTextDocument>()};
    content.document->setUndoRedoEnabled(false);
    content.document->setPlainText(content.text.text());
    content.text.releaseText();
    content.text.colour(content.document.get(), positions, colour);
    content.document->moveToThread(owner);
    return content;
}

void DiffView::showContent(Content content) {
    text_ = std::move(content.text);
    adoptDocument(content.document.release());
}

void DiffView::adoptDocument(QTextDocument* document) {
    QTextDocument* previous = layout_ ? this->document() : nullptr;
    document->setParent(this);
    document->setDefaultFont(font());
    auto* layout = new LevelLayout(document);
    if (layout_) {
        layout->setLevelWidth(layout_->levelWidth());
    }
    document->setDocumentLayout(layout);
    layout_ = layout;
    setDocument(document);
    connect(layout_, &QAbstractTextDocumentLayout::documentSizeChanged, this,
            &DiffView::naturalWidthChanged);
    delete previous;
}

void DiffView::keepCaretInText() {
    const QTextCursor cursor = textCursor();
    const int end = text_.textEnd();
    if (cursor.position() <= end && cursor.anchor() <= end) {
        return;
    }
    QTextCursor kept(document());
    kept.setPosition(std::min(cursor.anchor(), end));
    kept.setPosition(std::min(cursor.position(), end), QTextCursor::KeepAnchor);
    setTextCursor(kept);
}

// The file's own characters, not their stand-ins; a line break is copied as one.
QMimeData* DiffView::createMimeDataFromSelection() const {
    if (selectionSource_) {
        if (QMimeData* data = selectionSource_()) {
            return data;
        }
    }
    const QTextCursor cursor = textCursor();
    const int from = std::min(cursor.selectionStart(), text_.textEnd());
    const int to = std::min(cursor.selectionEnd(), text_.textEnd());
    QString text;
    for (int at = from; at < to; ++at) {
        const QString original = text_.originalAt(at);
        if (!original.isEmpty()) {
            text += original;
            continue;
        }
        const QChar c = document()->characterAt(at);
        text += c == QChar::ParagraphSeparator ? QChar(u'\n') : c;
    }
    auto* data = new QMimeData;
    data->setText(text);
    return data;
}

void DiffView::setSelectionStart(int offset) {
    QTextCursor cursor(document());
    cursor.setPosition(documentPosition(offset));
    setTextCursor(cursor);
}

int DiffView::documentPosition(int offset) const { return text_.documentPosition(offset); }

int DiffView::lineCountOf(const QString& displayText) {
    int lines = 1;
    const qsizetype size = displayText.size();
    for (qsizetype i = 0; i < size; ++i) {
        // CR LF, CR and LF each end a line, as in setDisplayText().
        const bool crBeforeLf =
            displayText[i] == u'\r' && i + 1 < size && displayText[i + 1] == u'\n';
        if ((displayText[i] == u'\r' || displayText[i] == u'\n') && !crBeforeLf) {
            ++lines;
        }
    }
    return lines;
}

std::vector<int> DiffView::linesOf(std::span<const std::int16_t> positions) const {
    const std::vector<int>& lineStarts = text_.lineStarts();
    std::vector<int> lines;
    std::size_t line = 0;
    for (const std::int16_t position : positions) {
        const int offset = position - 1;
        while (line + 1 < lineStarts.size() && lineStarts[line + 1] <= offset) {
            ++line;
        }
        if (lines.empty() || lines.back() != int(line)) {
            lines.push_back(int(line));
        }
    }
    return lines;
}

void DiffView::moveCaretToLine(int line) {
    const QTextBlock block = document()->findBlockByNumber(line);
    if (block.isValid()) {
        setTextCursor(QTextCursor(block));
    }
}

qreal DiffView::naturalWidth() const { return layout_->naturalWidth(); }

void DiffView::setLevelWidth(qreal width) { layout_->setLevelWidth(width); }
