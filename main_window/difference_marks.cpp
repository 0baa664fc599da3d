#include "main_window/difference_marks.h"

#include "main_window/diff_view.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>
#include <cmath>

namespace {

// A mark's height in pixels, and the share of the bar's width it takes, in its middle: the
// slider's edges show beside marks drawn over it.
constexpr int kThickness = 2;
constexpr int kWidthShare = 3;

QStyleOptionSlider optionOf(const QScrollBar* bar) {
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.subControls = QStyle::SC_All;
    option.orientation = bar->orientation();
    if (bar->orientation() == Qt::Horizontal) {
        option.state |= QStyle::State_Horizontal;
    }
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.upsideDown = bar->invertedAppearance();
    return option;
}

} // namespace

QColor DifferenceMarks::colour() { return DiffView::highlightColour(); }

DifferenceMarks::DifferenceMarks(QScrollBar* bar) : QWidget(bar), bar_(bar) {
    setObjectName(QStringLiteral("DifferenceMarks"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(groove());
    bar->installEventFilter(this);
}

void DifferenceMarks::setSource(NextDifference next, SpannedLines spanned) {
    next_ = std::move(next);
    spanned_ = std::move(spanned);
    rowsHeight_ = -1;
    update();
}

QRect DifferenceMarks::groove() const {
    const QStyleOptionSlider option = optionOf(bar_);
    return bar_->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarGroove,
                                         bar_);
}

QRect DifferenceMarks::slider() const {
    const QStyleOptionSlider option = optionOf(bar_);
    return bar_->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider,
                                         bar_);
}

// A line falls on the row that its middle falls on.
int DifferenceMarks::rowOf(std::uint64_t line, std::uint64_t lines, int rows) {
    const long double row = (static_cast<long double>(line) + 0.5L) * rows / lines;
    return int(std::clamp<long double>(std::floor(row), 0, rows - 1));
}

std::uint64_t DifferenceMarks::firstLineOf(int row, std::uint64_t lines, int rows) {
    const long double guess = std::ceil(static_cast<long double>(row) * lines / rows - 0.5L);
    std::uint64_t line = std::uint64_t(std::clamp<long double>(guess, 0, lines));
    // The guess may be one off where the arithmetic rounds.
    while (line > 0 && rowOf(line - 1, lines, rows) >= row) {
        --line;
    }
    while (line < lines && rowOf(line, lines, rows) < row) {
        ++line;
    }
    return line;
}

// From the first differing line on, each row that one falls on is marked, and the search goes
// on from the first line of the next row: one look for each marked row, and one more.
const std::vector<int>& DifferenceMarks::markedRows() {
    const int rows = height();
    const std::uint64_t lines = spanned_ ? spanned_() : 0;
    if (rows == rowsHeight_ && lines == rowsLines_) {
        return rows_;
    }
    rows_.clear();
    rowsHeight_ = rows;
    rowsLines_ = lines;
    if (!next_ || lines == 0 || rows <= 0) {
        return rows_;
    }
    std::uint64_t from = 0;
    while (from < lines) {
        const std::optional<std::uint64_t> line = next_(from);
        if (!line || *line >= lines) {
            break;
        }
        const int row = rowOf(*line, lines, rows);
        rows_.push_back(row);
        if (row + 1 >= rows) {
            break;
        }
        from = std::max(*line + 1, firstLineOf(row + 1, lines, rows));
    }
    return rows_;
}

std::optional<std::uint64_t> DifferenceMarks::lineAtRow(int row) const {
    const std::uint64_t lines = spanned_ ? spanned_() : 0;
    const int rows = height();
    if (!next_ || lines == 0 || row < 0 || row >= rows) {
        return std::nullopt;
    }
    const std::optional<std::uint64_t> line = next_(firstLineOf(row, lines, rows));
    if (!line || *line >= lines || rowOf(*line, lines, rows) != row) {
        return std::nullopt;
    }
    return line;
}

void DifferenceMarks::paintEvent(QPaintEvent*) {
    const std::vector<int>& rows = markedRows();
    if (rows.empty()) {
        return;
    }
    QPainter painter(this);
    const int width = std::max(2, this->width() / kWidthShare);
    const int left = (this->width() - width) / 2;
    const int last = height() - kThickness;
    // Rows next to each other make one mark.
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t end = i + 1;
        while (end < rows.size() && rows[end] <= rows[end - 1] + 1) {
            ++end;
        }
        const int top = std::clamp(rows[i], 0, std::max(0, last));
        const int bottom = std::clamp(rows[end - 1], top, std::max(top, last));
        painter.fillRect(QRect(left, top, width, bottom - top + kThickness), colour());
        i = end;
    }
}

std::optional<std::uint64_t> DifferenceMarks::markUnder(QPoint barPoint) {
    if (slider().contains(barPoint) ||
        !rect().translated(pos()).adjusted(0, -kReach, 0, kReach).contains(barPoint)) {
        return std::nullopt;
    }
    const int row = barPoint.y() - y();
    const std::vector<int>& rows = markedRows();
    // The nearest mark within reach.
    auto nearest = std::lower_bound(rows.begin(), rows.end(), row - kReach);
    std::optional<int> best;
    for (; nearest != rows.end() && *nearest <= row + kReach; ++nearest) {
        if (!best || std::abs(*nearest - row) < std::abs(*best - row)) {
            best = *nearest;
        }
    }
    return best ? lineAtRow(*best) : std::nullopt;
}

bool DifferenceMarks::eventFilter(QObject* watched, QEvent* event) {
    if (watched != bar_) {
        return false;
    }
    switch (event->type()) {
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::StyleChange: setGeometry(groove()); return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() != Qt::LeftButton) {
            return false;
        }
        if (const std::optional<std::uint64_t> line = markUnder(press->position().toPoint())) {
            pressed_ = true;
            emit lineChosen(*line);
            return true;
        }
        return false;
    }
    case QEvent::MouseButtonRelease:
        if (pressed_) {
            pressed_ = false;
            return true;
        }
        return false;
    default: return false;
    }
}
