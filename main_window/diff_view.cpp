#include "main_window/diff_view.h"

#include "main_window/level_layout.h"
#include "main_window/shown_character.h"

#include <QMimeData>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {

char32_t codePointAt(const QString& text, qsizetype i) {
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        return QChar::surrogateToUcs4(text[i], text[i + 1]);
    }
    return text[i].unicode();
}

// The box drawn behind a coloured character that covers no ink: the colour, lightened.
QColor boxColour(const QColor& colour) { return QColor::fromHsv(colour.hue(), 80, 255); }

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
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &DiffView::keepCaretInText);
    connect(this, &QPlainTextEdit::selectionChanged, this, &DiffView::keepCaretInText);
}

void DiffView::setDisplayText(const QString& displayText, int minimumLines) {
    displayText_ = displayText;
    documentPositions_.clear();
    documentPositions_.reserve(displayText.size() + 1);
    lineStarts_.assign(1, 0);
    characters_.clear();
    characters_.reserve(displayText.size());
    originals_.clear();

    QString shown;
    shown.reserve(displayText.size());
    const qsizetype size = displayText.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = displayText[i];
        const int position = int(shown.size());
        if (c == u'\r' || c == u'\n') {
            documentPositions_.push_back(position);
            characters_ += c.unicode();
            if (c == u'\r' && i + 1 < size && displayText[i + 1] == u'\n') {
                documentPositions_.push_back(position); // both halves of CR LF end the line
                characters_ += U'\n';
                ++i;
            }
            shown += u'\n';
            lineStarts_.push_back(int(documentPositions_.size()));
            continue;
        }
        const char32_t code = codePointAt(displayText, i);
        const qsizetype units = code > 0xFFFF ? 2 : 1;
        documentPositions_.push_back(position);
        characters_ += code;
        const QString standIn = shown_character::standIn(code, false);
        if (standIn.isEmpty()) {
            shown += displayText.mid(i, units);
        } else {
            originals_.emplace(position, displayText.mid(i, units));
            shown += standIn;
        }
        i += units - 1;
    }
    documentPositions_.push_back(int(shown.size()));
    textEnd_ = int(shown.size());
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
    QTextCharFormat boxed = format;
    boxed.setBackground(boxColour(colour));
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
    // A differing character that shows no ink gets a box; a joiner or selector, a stand-in.
    for (const std::int16_t position : positions) {
        const int offset = position - 1;
        if (offset < 0 || std::size_t(offset) >= characters_.size()) {
            continue;
        }
        const char32_t c = characters_[std::size_t(offset)];
        const int at = documentPosition(offset);
        const QString standIn = shown_character::standIn(c, true);
        if (!standIn.isEmpty() && !originals_.contains(at)) {
            cursor.setPosition(at);
            cursor.setPosition(at + 1, QTextCursor::KeepAnchor);
            cursor.insertText(standIn, format);
            originals_.emplace(at, QString::fromUcs4(&c, 1));
        } else if (shown_character::drawsBlank(c)) {
            cursor.setPosition(at);
            cursor.setPosition(at + 1, QTextCursor::KeepAnchor);
            cursor.mergeCharFormat(boxed);
        }
    }
    cursor.endEditBlock();
}

void DiffView::keepCaretInText() {
    const QTextCursor cursor = textCursor();
    if (cursor.position() <= textEnd_ && cursor.anchor() <= textEnd_) {
        return;
    }
    QTextCursor kept(document());
    kept.setPosition(std::min(cursor.anchor(), textEnd_));
    kept.setPosition(std::min(cursor.position(), textEnd_), QTextCursor::KeepAnchor);
    setTextCursor(kept);
}

// The file's own characters, not their stand-ins; a line break is copied as one.
QMimeData* DiffView::createMimeDataFromSelection() const {
    const QTextCursor cursor = textCursor();
    const int from = std::min(cursor.selectionStart(), textEnd_);
    const int to = std::min(cursor.selectionEnd(), textEnd_);
    QString text;
    for (int at = from; at < to; ++at) {
        const auto original = originals_.find(at);
        if (original != originals_.end()) {
            text += original->second;
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

void DiffView::setLevelWidth(qreal width) { layout_->setLevelWidth(width); }
