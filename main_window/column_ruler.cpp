#include "main_window/column_ruler.h"

#include "main_window/diff_view.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace {

// The numbers' letters beside the text's, and their smallest size.
constexpr qreal kNumbersScale = 0.8;
constexpr qreal kSmallestPoints = 6;
// The ticks of a column, of every 5th and of every 10th, and the row that holds them.
constexpr int kShortTick = 2;
constexpr int kMiddleTick = 4;
constexpr int kLongTick = 6;
constexpr int kTicksHeight = kLongTick + 1;
// Room around a span's name, around the number in the caret's box, and between two numbers.
constexpr int kNamePadding = 2;
constexpr qreal kBoxPadding = 2;
constexpr qreal kNumberGap = 6;
// The columns between two numbers: 10 when the numbers fit, more when they are too wide.
constexpr std::array<qint64, 10> kNumberSteps = {10,  20,   50,    100,    200,
                                                 500, 1000, 10000, 100000, 1000000};

// The relative luminance of `colour`, as contrast ratios count it.
qreal luminance(const QColor& colour) {
    const auto linear = [](int channel) {
        const qreal value = channel / 255.0;
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.red()) + 0.7152 * linear(colour.green()) +
           0.0722 * linear(colour.blue());
}

// The ink of the numbers and ticks: the light grey of the number columns beside the views on a
// background it contrasts with better than a dark grey does (a luminance below 0.233), the dark
// grey on others.
QColor inkOn(const QColor& background) {
    return luminance(background) < 0.233 ? QColor(224, 224, 224) : QColor(64, 64, 64);
}

// The ruler writes in the view's letters, smaller.
QFont numbersFont(QFont font) {
    if (font.pointSizeF() > 0) {
        font.setPointSizeF(std::max(kSmallestPoints, font.pointSizeF() * kNumbersScale));
    }
    return font;
}

} // namespace

ColumnRuler::ColumnRuler(DiffView* view) : QWidget(view), view_(view) {
    setObjectName(QStringLiteral("columnRuler"));
    hide();
    setFont(numbersFont(view->font()));
    view->installEventFilter(this);
    view->viewport()->installEventFilter(this);
    connect(view->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { update(); });
    connect(view, &QPlainTextEdit::cursorPositionChanged, this, [this] { update(); });
}

QColor ColumnRuler::caretColour() { return QColor(255, 255, 255); }

void ColumnRuler::setFirstColumn(qint64 column) {
    if (column != first_) {
        first_ = column;
        update();
    }
}

void ColumnRuler::setFields(QList<RulerField> fields) {
    const bool grows = fields.isEmpty() != fields_.isEmpty();
    fields_ = std::move(fields);
    update();
    if (grows) {
        emit heightChanged();
    }
}

int ColumnRuler::ticksTop() const {
    const QFontMetricsF metrics(font());
    return 1 + int(std::ceil(metrics.ascent() + metrics.descent()));
}

int ColumnRuler::fieldsTop() const { return ticksTop() + kTicksHeight; }

int ColumnRuler::neededHeight() const {
    const QFontMetricsF metrics(font());
    const int fieldsHeight = int(std::ceil(metrics.ascent() + metrics.descent())) + 2;
    return fieldsTop() + (fields_.isEmpty() ? 0 : fieldsHeight) + 1;
}

// The ruler keeps to the room above the view's text, as wide as the text's area.
bool ColumnRuler::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::FontChange) {
        setFont(numbersFont(view_->font()));
    } else if (event->type() == QEvent::Resize || event->type() == QEvent::Move) {
        const QWidget* area = view_->viewport();
        if (watched == area) {
            setGeometry(area->x(), area->y() - view_->roomAbove(), area->width(),
                        view_->roomAbove());
        }
    }
    return false;
}

qint64 ColumnRuler::caretColumn() const {
    const QTextCursor cursor = view_->textCursor();
    const QString before = cursor.block().text().left(cursor.positionInBlock());
    const qint64 lowSurrogates =
        std::count_if(before.cbegin(), before.cend(), [](QChar c) { return c.isLowSurrogate(); });
    return first_ + before.size() - lowSurrogates;
}

qreal ColumnRuler::columnLeft(qint64 column) const {
    return view_->textLeft() + qreal(column - first_) * view_->cellWidth();
}

// Ticks and numbers stand at the middle of their columns; a number's column has the longest tick.
// The caret's column is a light cell among the ticks, under a light box with its number, drawn
// over the numbers it may hide.
void ColumnRuler::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor background = palette().color(QPalette::Window);
    const QColor ink = inkOn(background);
    painter.fillRect(rect(), background);
    const qreal cell = view_->cellWidth();
    if (cell <= 0) {
        return;
    }
    // The file's columns in sight.
    const qint64 from = first_ + std::max<qint64>(0, qint64(std::floor(-view_->textLeft() / cell)));
    const qint64 to = first_ + qint64(std::ceil((width() - view_->textLeft()) / cell));
    const QFontMetricsF metrics(font());
    const qreal widest = metrics.horizontalAdvance(QString::number(to + 1)) + kNumberGap;
    const qint64 step = *std::find_if(kNumberSteps.begin(), kNumberSteps.end() - 1,
                                      [&](qint64 steps) { return qreal(steps) * cell >= widest; });
    const auto middleOf = [&](qint64 column) {
        return std::floor(columnLeft(column) + cell / 2) + 0.5;
    };
    const auto drawNumber = [&](qint64 column) {
        const QString text = QString::number(column + 1);
        painter.drawText(
            QPointF(middleOf(column) - metrics.horizontalAdvance(text) / 2, 1 + metrics.ascent()),
            text);
    };

    const qint64 caret = caretColumn();
    const int ticksBottom = fieldsTop() - 1;
    painter.fillRect(QRectF(columnLeft(caret), ticksTop(), cell, kTicksHeight), caretColour());
    for (qint64 column = from; column <= to; ++column) {
        const qint64 number = column + 1;
        const qreal middle = middleOf(column);
        const int tick = number % 10 == 0 ? kLongTick : number % 5 == 0 ? kMiddleTick : kShortTick;
        painter.setPen(column == caret ? background : ink);
        painter.drawLine(QLineF(middle, ticksBottom + 1 - tick, middle, ticksBottom + 1));
        if (number % step == 0) {
            drawNumber(column);
        }
    }
    const qreal caretWidth =
        metrics.horizontalAdvance(QString::number(caret + 1)) + 2 * kBoxPadding;
    painter.fillRect(QRectF(middleOf(caret) - caretWidth / 2, 0, caretWidth, ticksTop()),
                     caretColour());
    painter.setPen(background);
    drawNumber(caret);
    drawFields(painter, ink);
}

// A span is framed at its edges (a span to the line's end has no right edge), alternate spans
// lighter, its name in the middle of the part in sight and cut at its edges.
void ColumnRuler::drawFields(QPainter& painter, const QColor& ink) {
    const QRectF row(0, fieldsTop(), width(), height() - fieldsTop());
    for (qsizetype i = 0; i < fields_.size(); ++i) {
        const RulerField& field = fields_[i];
        if (field.first < 0 || field.length == 0 || field.length < -1) {
            continue;
        }
        const qreal left = columnLeft(field.first);
        const qreal right =
            field.length < 0 ? width() + 1.0 : columnLeft(field.first + field.length);
        const QRectF span = QRectF(QPointF(left, row.top()), QPointF(right, row.bottom()));
        const QRectF shown = span.intersected(row);
        if (shown.isEmpty()) {
            continue;
        }
        const QColor back = palette().color(QPalette::Window);
        painter.fillRect(shown, i % 2 == 0 ? back.darker(115) : back.lighter(115));
        // Each edge on the pixel nearest the columns' edge, within the span.
        painter.setPen(ink);
        painter.drawLine(
            QLineF(std::round(left) + 0.5, row.top(), std::round(left) + 0.5, row.bottom()));
        if (field.length > 0) {
            painter.drawLine(
                QLineF(std::round(right) - 0.5, row.top(), std::round(right) - 0.5, row.bottom()));
        }
        painter.save();
        const QRectF room = shown.adjusted(kNamePadding, 0, -kNamePadding, 0);
        painter.setClipRect(room);
        painter.drawText(room, Qt::AlignCenter, field.name);
        painter.restore();
    }
}
