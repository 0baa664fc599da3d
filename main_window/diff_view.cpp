#include "main_window/diff_view.h"

#include "common/units.h"
#include "main_window/column_ruler.h"
#include "main_window/drawn_stand_in.h"
#include "main_window/level_layout.h"

#include <QFontDatabase>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextOption>
#include <QThread>

#include <algorithm>
#include <utility>

DiffView::DiffView(QWidget* parent)
    : QPlainTextEdit(parent), drawnStandIn_(new DrawnStandIn(this)), ruler_(new ColumnRuler(this)) {
    adoptDocument(new QTextDocument(this));
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &DiffView::keepCaretInText);
    connect(this, &QPlainTextEdit::selectionChanged, this, &DiffView::keepCaretInText);
    connect(ruler_, &ColumnRuler::heightChanged, this, &DiffView::placeRoom);
}

namespace {

// Where a differing character's format keeps the background it had before the highlight
// background took its place (none, or the box of a character that shows no ink).
constexpr int kOwnBackground = QTextFormat::UserProperty + 1;

} // namespace

// The design's highlight colour, 192 in its 0x00BBGGRR form: red 192, green 0, blue 0.
QColor DiffView::highlightColour() { return units::colour(192); }

QColor DiffView::leftOutColour() { return Qt::white; }

// A light yellow, as of a highlighter: 5.7:1 against the red, where the views' blue gives 2.1:1.
QColor DiffView::highlightBackgroundColour() { return QColor(255, 242, 179); }

void DiffView::setHighlightBackground(bool on) {
    if (on == highlightBackground_) {
        return;
    }
    highlightBackground_ = on;
    backDifferences();
    showOverlays();
}

QTextCharFormat DiffView::backed(QTextCharFormat format) const {
    if (format.foreground().color() != highlightColour()) {
        return format;
    }
    if (highlightBackground_ && !format.hasProperty(kOwnBackground)) {
        format.setProperty(kOwnBackground, format.background());
        format.setBackground(highlightBackgroundColour());
    } else if (!highlightBackground_ && format.hasProperty(kOwnBackground)) {
        const QBrush own = format.brushProperty(kOwnBackground);
        if (own.style() == Qt::NoBrush) {
            format.clearBackground();
        } else {
            format.setBackground(own);
        }
        format.clearProperty(kOwnBackground);
    }
    return format;
}

// Only the lines that hold a coloured character change.
void DiffView::backDifferences() {
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        QList<QTextLayout::FormatRange> formats = block.layout()->formats();
        bool changed = false;
        for (QTextLayout::FormatRange& range : formats) {
            QTextCharFormat format = backed(range.format);
            if (format != range.format) {
                range.format = format;
                changed = true;
            }
        }
        if (changed) {
            block.layout()->setFormats(formats);
        }
    }
}

void DiffView::setDisplayText(const QString& displayText) {
    setExtraSelections({});
    text_ = ShownText(displayText);
    // New text takes the character format at the caret: start from a plain one.
    QTextCursor start(document());
    start.setCharFormat(QTextCharFormat());
    setTextCursor(start);
    setPlainText(text_.text());
    text_.releaseText();
    fitCells();
}

void DiffView::colour(std::span<const OffsetRun> runs, std::span<const OffsetRun> leftOut) {
    text_.colour(document(), runs, highlightColour());
    text_.colour(document(), leftOut, leftOutColour());
    if (highlightBackground_) {
        backDifferences();
    }
    showOverlays();
    fitCells(); // a differing character may have been given a stand-in
}

void DiffView::showOverlays() {
    QList<QTextEdit::ExtraSelection> selections;
    selections.reserve(text_.overlays().size());
    // A cursor placed outside an edit block lays its line out at once, to know where it is for
    // moves up and down: these cursors are never moved, and a long line is laid out once.
    QTextCursor batch(document());
    batch.beginEditBlock();
    for (const QTextLayout::FormatRange& overlay : text_.overlays()) {
        QTextCursor cursor(document());
        cursor.setPosition(overlay.start);
        cursor.setPosition(overlay.start + overlay.length, QTextCursor::KeepAnchor);
        selections.append({cursor, backed(overlay.format)});
    }
    batch.endEditBlock();
    setExtraSelections(selections);
}

DiffView::Content DiffView::makeContent(const QString& displayText, std::span<const OffsetRun> runs,
                                        std::span<const OffsetRun> leftOut, QThread* owner) {
    Content content{ShownText(displayText), std::make_unique<QTextDocument>()};
    content.document->setUndoRedoEnabled(false);
    content.document->setPlainText(content.text.text());
    content.text.releaseText();
    content.text.colour(content.document.get(), runs, highlightColour());
    content.text.colour(content.document.get(), leftOut, leftOutColour());
    content.document->moveToThread(owner);
    return content;
}

void DiffView::showContent(Content content) {
    text_ = std::move(content.text);
    adoptDocument(content.document.release());
    if (highlightBackground_) {
        backDifferences();
    }
    showOverlays();
    fitCells();
}

void DiffView::setLevelLines(int lines) { layout_->setLevelLines(lines); }

void DiffView::adoptDocument(QTextDocument* document) {
    QTextDocument* previous = layout_ ? this->document() : nullptr;
    setExtraSelections({}); // their cursors are in the previous document
    document->setParent(this);
    document->setDefaultFont(font());
    setTextOptions(document);
    auto* layout = new LevelLayout(document);
    if (layout_) {
        layout->setLevelWidth(layout_->levelWidth());
    }
    drawnStandIn_->registerWith(layout);
    document->setDocumentLayout(layout);
    layout_ = layout;
    setDocument(document);
    connect(layout_, &QAbstractTextDocumentLayout::documentSizeChanged, this,
            &DiffView::naturalWidthChanged);
    delete previous;
}

// Every line reads from the left, whatever its first letter: column 1 is at the left edge of both
// views, and a right-to-left word keeps its own order within the line.
void DiffView::setTextOptions(QTextDocument* document) const {
    QTextOption option = document->defaultTextOption();
    option.setTextDirection(Qt::LeftToRight);
    option.setTabStopDistance(cells_ ? cells_->cellWidth() : QTextOption().tabStopDistance());
    document->setDefaultTextOption(option);
}

// The stand-ins take their cells before the new font lays the lines out again.
void DiffView::setFixedPitch(bool on) {
    if (on == fixedPitch()) {
        return;
    }
    if (on) {
        ownFont_ = font();
        QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        if (ownFont_.pointSizeF() > 0) {
            fixed.setPointSizeF(ownFont_.pointSizeF());
        } else {
            fixed.setPixelSize(ownFont_.pixelSize());
        }
        cells_.emplace(fixed);
        drawnStandIn_->setCellWidth(cells_->cellWidth());
        setFont(fixed);
    } else {
        cells_.reset();
        drawnStandIn_->setCellWidth(0);
        FixedCells::unfit(document());
        setFont(ownFont_);
    }
    setTextOptions(document());
    fitCells();
    placeRoom();
    viewport()->update();
}

void DiffView::fitCells() {
    if (cells_) {
        cells_->fit(document());
    }
}

qreal DiffView::textLeft() const { return contentOffset().x() + document()->documentMargin(); }

void DiffView::setRoomForBars(int right, int bottom) {
    roomRight_ = right;
    roomBottom_ = bottom;
    placeRoom();
}

void DiffView::placeRoom() {
    const int above = std::exchange(roomAbove_, cells_ ? ruler_->neededHeight() : 0);
    setViewportMargins(0, roomAbove_, roomRight_, roomBottom_);
    ruler_->setVisible(cells_.has_value());
    if (roomAbove_ != above) {
        emit roomAboveChanged();
    }
}

void DiffView::paintEvent(QPaintEvent* event) {
    QPlainTextEdit::paintEvent(event);
    if (cells_) {
        drawTabMarks();
    }
}

// An arrow in the middle of each tab's cell, faint, or in the colour of a differing tab.
void DiffView::drawTabMarks() {
    QPainter painter(viewport());
    painter.setFont(font());
    const QString arrow = QStringLiteral("\u2192"); // →
    const qreal inset = (cells_->cellWidth() - QFontMetricsF(font()).horizontalAdvance(arrow)) / 2;
    QColor faint = palette().color(QPalette::Text);
    faint.setAlphaF(0.45f);
    const QPointF offset = contentOffset();
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const QRectF area = blockBoundingGeometry(block).translated(offset);
        if (area.top() > viewport()->height()) {
            break;
        }
        const QString text = block.text();
        const QTextLayout* layout = block.layout();
        if (!text.contains(u'\t') || layout->lineCount() == 0) {
            continue;
        }
        const QTextLine line = layout->lineAt(0);
        const QList<QTextLayout::FormatRange> formats = layout->formats();
        for (qsizetype at = text.indexOf(u'\t'); at >= 0; at = text.indexOf(u'\t', at + 1)) {
            QColor pen = faint;
            for (const QTextLayout::FormatRange& range : formats) {
                const QColor colour = range.format.foreground().color();
                if (range.start <= at && at < range.start + range.length &&
                    (colour == highlightColour() || colour == leftOutColour())) {
                    pen = colour;
                }
            }
            painter.setPen(pen);
            painter.drawText(QPointF(area.left() + line.cursorToX(int(at)) + inset,
                                     area.top() + line.y() + line.ascent()),
                             arrow);
        }
    }
}

// A key that moves down from the last line would take the caret into the room after the text.
void DiffView::keepCaretInText() {
    const QTextCursor cursor = textCursor();
    const int end = document()->characterCount() - 1;
    if (cursor.position() <= end && cursor.anchor() <= end) {
        return;
    }
    QTextCursor kept(document());
    kept.setPosition(std::min(cursor.anchor(), end));
    kept.setPosition(std::min(cursor.position(), end), QTextCursor::KeepAnchor);
    setTextCursor(kept);
}

QMouseEvent DiffView::overText(const QMouseEvent* event) const {
    const QTextBlock last = document()->lastBlock();
    const QRectF block = blockBoundingGeometry(last).translated(contentOffset());
    const QTextLayout* layout = last.layout();
    const qreal lineBottom =
        block.top() + (layout->lineCount() > 0 ? layout->lineAt(0).height() : block.height());
    QPointF at = event->position();
    if (at.y() >= lineBottom) {
        at.setY(lineBottom - 1);
    }
    return QMouseEvent(event->type(), at, event->scenePosition(), event->globalPosition(),
                       event->button(), event->buttons(), event->modifiers(),
                       event->pointingDevice());
}

void DiffView::mousePressEvent(QMouseEvent* event) {
    QMouseEvent over = overText(event);
    QPlainTextEdit::mousePressEvent(&over);
    event->setAccepted(over.isAccepted());
}

void DiffView::mouseMoveEvent(QMouseEvent* event) {
    QMouseEvent over = overText(event);
    QPlainTextEdit::mouseMoveEvent(&over);
    event->setAccepted(over.isAccepted());
}

void DiffView::mouseReleaseEvent(QMouseEvent* event) {
    QMouseEvent over = overText(event);
    QPlainTextEdit::mouseReleaseEvent(&over);
    event->setAccepted(over.isAccepted());
}

void DiffView::mouseDoubleClickEvent(QMouseEvent* event) {
    QMouseEvent over = overText(event);
    QPlainTextEdit::mouseDoubleClickEvent(&over);
    event->setAccepted(over.isAccepted());
}

// The file's own characters, not their stand-ins; a line break is copied as one.
QMimeData* DiffView::createMimeDataFromSelection() const {
    if (selectionSource_) {
        if (QMimeData* data = selectionSource_()) {
            return data;
        }
    }
    const QTextCursor cursor = textCursor();
    QString text;
    for (int at = cursor.selectionStart(); at < cursor.selectionEnd(); ++at) {
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

void DiffView::moveCaretToLine(int line) {
    const int last = document()->blockCount() - 1;
    setTextCursor(QTextCursor(document()->findBlockByNumber(std::clamp(line, 0, last))));
}

qreal DiffView::naturalWidth() const { return layout_->naturalWidth(); }

void DiffView::setLevelWidth(qreal width) { layout_->setLevelWidth(width); }
