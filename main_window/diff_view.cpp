#include "main_window/diff_view.h"

#include "main_window/level_layout.h"

#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {

// What the document shows for a character of a line: the character itself, or a visible
// stand-in for one that the text widget would treat as a control or a break, or would draw as
// nothing at all (a difference there could not be seen). The joiners stay: words in several
// scripts need them to be drawn right.
QChar shownCharacter(QChar c) {
    const char16_t code = c.unicode();
    if (code < 0x20 && code != u'\t') {
        return QChar(char16_t(0x2400 + code)); // the Control Pictures block
    }
    switch (code) {
    case 0x7F: return QChar(char16_t(0x2421));
    case 0x2028:
    case 0x2029: return QChar(char16_t(0x2424));
    case 0x200C: // zero-width non-joiner and joiner
    case 0x200D: return c;
    case 0xFDD0: // the document's own frame markers
    case 0xFDD1:
    case 0xFFFC: return QChar(QChar::ReplacementCharacter);
    default: break;
    }
    const QChar::Category category = c.category();
    if (category == QChar::Other_Control || category == QChar::Other_Format) {
        return QChar(QChar::ReplacementCharacter);
    }
    return c;
}

} // namespace

DiffView::DiffView(QWidget* parent) : QPlainTextEdit(parent) {
    auto* document = new QTextDocument(this);
    layout_ = new LevelLayout(document);
    document->setDocumentLayout(layout_);
    setDocument(document);
    connect(layout_, &QAbstractTextDocumentLayout::documentSizeChanged, this,
            &DiffView::naturalWidthChanged);
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    documentPositions_.push_back(0);
}

void DiffView::setDisplayText(const QString& displayText, int minimumLines) {
    displayText_ = displayText;
    documentPositions_.clear();
    documentPositions_.reserve(displayText.size() + 1);
    lineStarts_.assign(1, 0);

    QString shown;
    shown.reserve(displayText.size());
    const qsizetype size = displayText.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = displayText[i];
        const int position = int(shown.size());
        if (c == u'\r' || c == u'\n') {
            documentPositions_.push_back(position);
            if (c == u'\r' && i + 1 < size && displayText[i + 1] == u'\n') {
                documentPositions_.push_back(position); // both halves of CR LF end the line
                ++i;
            }
            shown += u'\n';
            lineStarts_.push_back(int(documentPositions_.size()));
        } else if (c.isHighSurrogate() && i + 1 < size && displayText[i + 1].isLowSurrogate()) {
            documentPositions_.push_back(position);
            shown += c;
            shown += displayText[++i];
        } else {
            documentPositions_.push_back(position);
            shown += shownCharacter(c);
        }
    }
    documentPositions_.push_back(int(shown.size()));
    for (int lines = int(lineStarts_.size()); lines < minimumLines; ++lines) {
        shown += u'\n'; // room below the text, outside its offsets
    }
    // New text takes the format at the caret: start from a plain caret so that no colour of the
    // previous comparison spreads over the next one.
    QTextCursor start(document());
    start.setCharFormat(QTextCharFormat());
    setTextCursor(start);
    setPlainText(shown);
}

void DiffView::highlight(std::span<const std::int16_t> positions, const QColor& colour) {
    if (positions.empty()) {
        return;
    }
    QTextCharFormat format;
    format.setForeground(colour);
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    // Consecutive positions form one run, coloured by one change of format.
    std::size_t first = 0;
    while (first < positions.size()) {
        std::size_t last = first;
        while (last + 1 < positions.size() && positions[last + 1] == positions[last] + 1) {
            ++last;
        }
        cursor.setPosition(documentPosition(positions[first] - 1));
        cursor.setPosition(documentPosition(positions[last]), QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(format);
        first = last + 1;
    }
    cursor.endEditBlock();
}

void DiffView::setSelectionStart(int offset) {
    QTextCursor cursor(document());
    cursor.setPosition(documentPosition(offset));
    setTextCursor(cursor);
}

int DiffView::documentPosition(int offset) const {
    const int last = int(documentPositions_.size()) - 1;
    return documentPositions_[std::clamp(offset, 0, last)];
}

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
    std::vector<int> lines;
    std::size_t line = 0;
    for (const std::int16_t position : positions) {
        const int offset = position - 1;
        while (line + 1 < lineStarts_.size() && lineStarts_[line + 1] <= offset) {
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

void DiffView::setMinimumWidth(qreal width) { layout_->setMinimumWidth(width); }
