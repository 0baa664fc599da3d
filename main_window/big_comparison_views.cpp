#include "main_window/big_comparison_views.h"

#include "main_window/diff_view.h"
#include "main_window/main_window.h"
#include "main_window/message_boxes.h"
#include "main_window/number_column.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QTextBlock>
#include <QTimer>

#include <algorithm>
#include <climits>

namespace {

// A window of short lines holds this many when they are more than four screens; more would only
// make each fill slower.
constexpr std::uint64_t kMostWindowLines = 120;
// A window holds at least this many lines, and four screens of them.
constexpr std::uint64_t kFewestWindowLines = 60;
constexpr int kScreensPerWindow = 4;

// A view's display text for the window, and the 1-based positions of its red characters.
struct WindowText {
    QString text;
    std::vector<std::int16_t> red;
    std::vector<int> lineStarts; // the offset of each line, then the end of the text
};

// The slices' lines of one file, each followed by "\r\n", as compareFiles() makes its display
// text; a line the file does not have (past its end) is not in it.
WindowText windowText(const std::vector<parvane::LinePairSlice>& slices, int file) {
    WindowText window;
    int offset = 0;
    for (const parvane::LinePairSlice& slice : slices) {
        if (!(file == 1 ? slice.has1 : slice.has2)) {
            continue;
        }
        const std::u32string& characters = file == 1 ? slice.text1 : slice.text2;
        window.lineStarts.push_back(offset);
        window.text += QString::fromUcs4(characters.data(), qsizetype(characters.size()));
        window.text += QStringLiteral("\r\n");
        for (const parvane::ColumnRun& run : file == 1 ? slice.runs1 : slice.runs2) {
            for (std::uint64_t column = run.first; column <= run.last; ++column) {
                window.red.push_back(std::int16_t(offset + int(column - slice.firstColumn) + 1));
            }
        }
        offset += int(characters.size()) + 2;
    }
    window.lineStarts.push_back(offset);
    return window;
}

bool isModifierKey(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
           key == Qt::Key_Meta || key == Qt::Key_AltGr;
}

int toBar(std::uint64_t value) { return int(std::min<std::uint64_t>(value, INT_MAX)); }

} // namespace

BigComparisonViews::BigComparisonViews(DiffView* view1, DiffView* view2, NumberColumn* numbers1,
                                       NumberColumn* numbers2, MessageBoxes* messages,
                                       QWidget* window)
    : QObject(window), views_{view1, view2}, numbers_{numbers1, numbers2}, messages_(messages),
      window_(window), refill_(new QTimer(this)) {
    setObjectName(QStringLiteral("BigComparisonViews"));
    refill_->setSingleShot(true);
    refill_->setInterval(0);
    connect(refill_, &QTimer::timeout, this, &BigComparisonViews::refillIfNeeded);
    for (int v = 0; v < 2; ++v) {
        DiffView* view = views_[v];
        vBars_[v] = new QScrollBar(Qt::Vertical, view);
        hBars_[v] = new QScrollBar(Qt::Horizontal, view);
        vBars_[v]->setObjectName(QStringLiteral("WholeFileVerticalBar"));
        hBars_[v]->setObjectName(QStringLiteral("WholeFileHorizontalBar"));
        vBars_[v]->hide();
        hBars_[v]->hide();
        connect(vBars_[v], &QScrollBar::valueChanged, this, &BigComparisonViews::verticalBarMoved);
        connect(hBars_[v], &QScrollBar::valueChanged, this,
                &BigComparisonViews::horizontalBarMoved);
        connect(view, &QPlainTextEdit::cursorPositionChanged, this, [this, v] {
            if (!filling_) {
                parked_[v].reset();
            }
        });
        for (QScrollBar* own : {view->verticalScrollBar(), view->horizontalScrollBar()}) {
            connect(own, &QScrollBar::valueChanged, this, &BigComparisonViews::followViews);
            connect(own, &QScrollBar::rangeChanged, this, &BigComparisonViews::followViews);
        }
        view->installEventFilter(this);
    }
}

BigComparisonViews::~BigComparisonViews() = default;

const parvane::LargeComparison* BigComparisonViews::comparison() const {
    return comparison_ ? &*comparison_ : nullptr;
}

QScrollBar* BigComparisonViews::verticalBar(int view) const { return vBars_.at(view - 1); }

QScrollBar* BigComparisonViews::horizontalBar(int view) const { return hBars_.at(view - 1); }

bool BigComparisonViews::compare(const std::filesystem::path& file1,
                                 const std::filesystem::path& file2) {
    if (busy_) {
        return false;
    }
    busy_ = true;
    std::optional<parvane::LargeComparison> result;
    QString error;
    try {
        result = ComparisonProgress::run(window_, file1, file2, prelude_);
    } catch (const parvane::ComparisonError& failure) {
        error = QString::fromUtf8(failure.what());
    } catch (const std::exception& failure) {
        error = tr("No se han podido comparar los ficheros: %1")
                    .arg(QString::fromLocal8Bit(failure.what()));
    }
    busy_ = false;
    if (!error.isEmpty()) {
        messages_->warn(window_, error);
        return false;
    }
    if (!result) {
        return false; // cancelled
    }
    show(std::move(*result));
    if (comparison_->identical()) {
        messages_->inform(window_, MainWindow::kIdenticalMessage);
    }
    return true;
}

void BigComparisonViews::show(parvane::LargeComparison comparison) {
    refill_->stop();
    comparison_.emplace(std::move(comparison));
    longest_ = std::max(comparison_->longestLine(1), comparison_->longestLine(2));
    stale_ = false;
    first_ = count_ = firstColumn_ = 0;
    for (DiffView* view : views_) {
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    placeBars();
    lineStarts_ = {};
    parked_ = {};
    for (DiffView* view : views_) {
        view->setSelectionStart(0);
    }
    fill(0, 0);
    updateBars();
    emit shownWithoutLimits();
}

void BigComparisonViews::stop() {
    if (!comparison_) {
        return;
    }
    refill_->stop();
    comparison_.reset();
    first_ = count_ = firstColumn_ = 0;
    lineStarts_ = {};
    parked_ = {};
    stale_ = false;
    for (int v = 0; v < 2; ++v) {
        vBars_[v]->hide();
        hBars_[v]->hide();
        views_[v]->setRoomForBars(0, 0);
        views_[v]->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        views_[v]->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        numbers_[v]->showNumbersFrom(1);
    }
}

int BigComparisonViews::visibleLines() const {
    const int spacing = std::max(1, views_[0]->fontMetrics().lineSpacing());
    return std::max(1, views_[0]->viewport()->height() / spacing + 1);
}

int BigComparisonViews::characterWidth() const {
    return std::max(1, views_[0]->fontMetrics().averageCharWidth());
}

int BigComparisonViews::visibleColumns() const {
    return std::max(1, views_[0]->viewport()->width() / characterWidth() + 1);
}

// Whole lines when four screens of them fit the budget; otherwise four screens of lines, each cut
// to the columns the budget leaves.
void BigComparisonViews::chooseWindowShape() {
    const std::uint64_t fewest = std::max<std::uint64_t>(
        kFewestWindowLines, std::uint64_t(kScreensPerWindow) * std::uint64_t(visibleLines()));
    const std::uint64_t budget = kWindowCharacters;
    if ((longest_ + 2) * fewest <= budget) {
        columnWindow_ = false;
        lines_ = std::max(fewest, std::min(kMostWindowLines, budget / (longest_ + 2)));
        columns_ = UINT64_MAX;
    } else {
        columnWindow_ = true;
        lines_ = fewest;
        columns_ = std::max<std::uint64_t>(budget / fewest, 3) - 2;
    }
}

bool BigComparisonViews::covers(std::uint64_t top, std::uint64_t left) const {
    if (!comparison_) {
        return true;
    }
    const std::uint64_t screen = std::uint64_t(visibleLines());
    const std::uint64_t pairs = comparison_->pairCount();
    const bool above = first_ == 0 || top >= first_ + screen;
    const bool below = first_ + count_ >= pairs || top + 2 * screen <= first_ + count_;
    if (!above || !below) {
        return false;
    }
    if (!columnWindow_) {
        return true;
    }
    const std::uint64_t across = std::uint64_t(visibleColumns());
    return (firstColumn_ == 0 || left >= firstColumn_ + across) &&
           (firstColumn_ + columns_ >= longest_ || left + 2 * across <= firstColumn_ + columns_);
}

bool BigComparisonViews::fill(std::uint64_t top, std::uint64_t left) {
    if (!comparison_ || stale_) {
        return false;
    }
    chooseWindowShape();
    const std::uint64_t pairs = comparison_->pairCount();
    const std::uint64_t screen = std::uint64_t(visibleLines());
    const std::uint64_t before = lines_ > screen ? (lines_ - screen) / 2 : 0;
    std::uint64_t first = top > before ? top - before : 0;
    first = pairs > lines_ ? std::min(first, pairs - lines_) : 0;
    const std::uint64_t count = std::min(lines_, pairs - first);
    std::uint64_t firstColumn = 0;
    if (columnWindow_) {
        const std::uint64_t across = std::uint64_t(visibleColumns());
        const std::uint64_t leftOf = columns_ > across ? (columns_ - across) / 2 : 0;
        firstColumn = left > leftOf ? left - leftOf : 0;
        firstColumn = std::min(firstColumn, longest_ > columns_ ? longest_ - columns_ : 0);
    }

    std::vector<parvane::LinePairSlice> slices;
    try {
        slices = comparison_->linePairs(first, count, firstColumn, columns_);
    } catch (const parvane::ComparisonError& error) {
        // Shown once: the views keep what they show until the files are compared again. The
        // message waits for the event that got here (a drag of a bar, say) to end.
        stale_ = true;
        refill_->stop();
        QTimer::singleShot(0, this, [this, text = QString::fromUtf8(error.what())] {
            messages_->warn(window_, text);
        });
        return false;
    }

    const Caret carets[] = {caretOf(0), caretOf(1)};
    const std::optional<Caret> anchors[] = {anchorOf(0), anchorOf(1)};
    const int ownLeft = views_[0]->horizontalScrollBar()->value();
    filling_ = true;
    first_ = first;
    count_ = count;
    firstColumn_ = firstColumn;
    for (int v = 0; v < 2; ++v) {
        WindowText window = windowText(slices, v + 1);
        views_[v]->setDisplayText(window.text, int(count) + 1);
        views_[v]->highlight(window.red, MainWindow::highlightColour());
        lineStarts_[v] = std::move(window.lineStarts);
        putCaret(v, carets[v], anchors[v]);
    }
    const int ownTop = toBar(top > first_ ? top - first_ : 0);
    const int ownX = columnWindow_
                         ? int(std::min<std::uint64_t>(left - std::min(left, firstColumn_),
                                                       INT_MAX / characterWidth())) *
                               characterWidth()
                         : ownLeft;
    emit windowFilled(first_, firstColumn_);
    for (DiffView* view : views_) {
        view->verticalScrollBar()->setValue(ownTop);
        view->horizontalScrollBar()->setValue(ownX);
    }
    filling_ = false;
    updateBars();
    return true;
}

BigComparisonViews::Caret BigComparisonViews::caretOf(int view) const {
    if (parked_[view]) {
        return *parked_[view];
    }
    const QTextCursor cursor = views_[view]->textCursor();
    const QString before = cursor.block().text().left(cursor.positionInBlock());
    return {first_ + std::uint64_t(cursor.blockNumber()),
            firstColumn_ + std::uint64_t(before.toUcs4().size())};
}

// The other end of the selection of `view`, when it has one.
std::optional<BigComparisonViews::Caret> BigComparisonViews::anchorOf(int view) const {
    const QTextCursor cursor = views_[view]->textCursor();
    if (parked_[view] || !cursor.hasSelection()) {
        return std::nullopt;
    }
    const QTextBlock block = views_[view]->document()->findBlock(cursor.anchor());
    const QString before = block.text().left(cursor.anchor() - block.position());
    return Caret{first_ + std::uint64_t(block.blockNumber()),
                 firstColumn_ + std::uint64_t(before.toUcs4().size())};
}

// The window's display offset of `place` in `view` (its column cut to its line), or as near it
// as the window goes; `held` tells whether the window holds that line.
int BigComparisonViews::offsetOf(int view, Caret place, bool& held) const {
    const std::vector<int>& starts = lineStarts_[view];
    const std::uint64_t line = place.line - std::min(place.line, first_);
    const std::size_t lines = starts.size() - 1;
    // The empty line after a file's last one is a place too, when the window holds that end.
    const bool endHeld = first_ + lines >= comparison_->lineCount(view + 1);
    held = place.line >= first_ && (line < lines || (line == lines && endHeld));
    if (line >= lines) {
        return starts.back();
    }
    const std::uint64_t column = place.column - std::min(place.column, firstColumn_);
    const int length = starts[line + 1] - 2 - starts[line];
    return starts[line] + int(std::min<std::uint64_t>(column, std::uint64_t(length)));
}

// The caret at `caret`, or, when the window does not hold its place, as near it as the window
// goes and parked there: it comes back when a window holds its place again. The selection from
// `anchor` is kept when the window holds both ends.
void BigComparisonViews::putCaret(int view, Caret caret, std::optional<Caret> anchor) {
    if (lineStarts_[view].empty()) {
        return;
    }
    bool held = false;
    const int offset = offsetOf(view, caret, held);
    if (held) {
        parked_[view].reset();
    } else {
        parked_[view] = caret;
    }
    bool anchorHeld = false;
    const int from = anchor ? offsetOf(view, *anchor, anchorHeld) : offset;
    if (!held || !anchorHeld) {
        views_[view]->setSelectionStart(offset);
        return;
    }
    DiffView* shown = views_[view];
    QTextCursor selection(shown->document());
    selection.setPosition(shown->documentPosition(from));
    selection.setPosition(shown->documentPosition(offset), QTextCursor::KeepAnchor);
    shown->setTextCursor(selection);
}

std::uint64_t BigComparisonViews::topLine() const {
    return first_ + std::uint64_t(std::max(0, views_[0]->verticalScrollBar()->value()));
}

std::uint64_t BigComparisonViews::caretLine() const {
    return std::max(caretOf(0).line, caretOf(1).line);
}

std::uint64_t BigComparisonViews::leftColumn() const {
    if (!columnWindow_) {
        return 0;
    }
    return firstColumn_ +
           std::uint64_t(views_[0]->horizontalScrollBar()->value() / characterWidth());
}

void BigComparisonViews::goToNextDifference() {
    if (!comparison_) {
        return;
    }
    if (const auto next = comparison_->nextDifferingLine(caretLine())) {
        goToLine(*next);
    }
}

void BigComparisonViews::goToPreviousDifference() {
    if (!comparison_) {
        return;
    }
    if (const auto previous = comparison_->previousDifferingLine(caretLine())) {
        goToLine(*previous);
    }
}

void BigComparisonViews::goToFirstDifference() {
    if (const auto first = comparison_ ? comparison_->firstDifferingLine() : std::nullopt) {
        goToLine(*first);
    }
}

void BigComparisonViews::goToLastDifference() {
    if (const auto last = comparison_ ? comparison_->lastDifferingLine() : std::nullopt) {
        goToLine(*last);
    }
}

// From the further caret; the window moves to hold the run, and across to show its column.
parvane::LineColumn BigComparisonViews::goToRun(bool forward) {
    if (!comparison_) {
        return {};
    }
    const Caret one = caretOf(0);
    const Caret two = caretOf(1);
    const parvane::LineColumn from = std::max(parvane::LineColumn{one.line, one.column},
                                              parvane::LineColumn{two.line, two.column});
    if (stale_) {
        return from;
    }
    std::optional<parvane::LineColumn> run;
    try {
        run = comparison_->runFrom(from, forward);
    } catch (const parvane::ComparisonError& error) {
        stale_ = true;
        refill_->stop();
        QTimer::singleShot(0, this, [this, text = QString::fromUtf8(error.what())] {
            messages_->warn(window_, text);
        });
        return from;
    }
    if (!run) {
        return from;
    }
    const std::uint64_t screen = std::uint64_t(views_[0]->verticalScrollBar()->pageStep());
    std::uint64_t top = topLine();
    if (run->line < top) {
        top = run->line;
    } else if (run->line >= top + screen) {
        top = run->line + 1 - screen;
    }
    std::uint64_t left = leftColumn();
    const std::uint64_t across = std::uint64_t(visibleColumns());
    if (columnWindow_ && (run->column < left || run->column >= left + across)) {
        left = run->column > across / 2 ? run->column - across / 2 : 0;
    }
    const bool holds =
        run->line >= first_ && run->line < first_ + count_ &&
        (!columnWindow_ || (run->column >= firstColumn_ && run->column < firstColumn_ + columns_));
    if (!holds || !covers(top, left)) {
        if (!fill(top, left)) {
            return from;
        }
    }
    for (int v = 0; v < 2; ++v) {
        putCaret(v, {run->line, run->column});
        views_[v]->ensureCursorVisible();
    }
    return *run;
}

// Both carets to the start of `line`, which comes into view the least way, as a view's own
// moveCaretToLine() does.
void BigComparisonViews::goToLine(std::uint64_t line) {
    const std::uint64_t screen = std::uint64_t(views_[0]->verticalScrollBar()->pageStep());
    std::uint64_t top = topLine();
    if (line < top) {
        top = line;
    } else if (line >= top + screen) {
        top = line + 1 - screen;
    }
    if (firstColumn_ != 0 || !covers(top, 0) || line < first_ || line >= first_ + count_) {
        if (!fill(top, 0)) {
            return;
        }
    }
    for (DiffView* view : views_) {
        view->moveCaretToLine(int(line - first_));
    }
}

// Before Ctrl+Home or Ctrl+End moves the caret of `view` within the window, the window moves to
// that end of the view's file (the empty line after its last line), where the caret stops.
void BigComparisonViews::goToEdge(int view, bool end) {
    const std::uint64_t target = end ? comparison_->lineCount(view + 1) : 0;
    const bool there =
        firstColumn_ == 0 && first_ <= target && target <= first_ + count_ && (end || first_ == 0);
    if (!there) {
        fill(target, 0);
    }
}

// Only the few events handled here are looked at, and the object only by its address: a view
// may be on its way out when one of its events comes.
bool BigComparisonViews::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (!comparison_ || (type != QEvent::Resize && type != QEvent::KeyPress)) {
        return false;
    }
    const int view = watched == views_[0] ? 0 : watched == views_[1] ? 1 : -1;
    if (view < 0) {
        return false;
    }
    if (type == QEvent::Resize) {
        placeBars();
        refill_->start();
    } else if (type == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers().testFlag(Qt::ControlModifier) &&
            (key->key() == Qt::Key_Home || key->key() == Qt::Key_End)) {
            goToEdge(view, key->key() == Qt::Key_End);
        } else if (parked_[view] && !isModifierKey(key->key())) {
            // The key moves the caret from where it stands, which comes back into view first.
            const Caret caret = *parked_[view];
            const std::uint64_t half = std::uint64_t(visibleLines()) / 2;
            fill(caret.line - std::min(caret.line, half), caret.column);
        }
    }
    return false;
}

void BigComparisonViews::followViews() {
    if (!comparison_ || filling_) {
        return;
    }
    updateBars();
    if (!stale_ && !covers(topLine(), leftColumn())) {
        refill_->start();
    }
}

void BigComparisonViews::refillIfNeeded() {
    if (comparison_ && !stale_ && !covers(topLine(), leftColumn())) {
        fill(topLine(), leftColumn());
    }
}

void BigComparisonViews::verticalBarMoved(int value) {
    if (!comparison_) {
        return;
    }
    const std::uint64_t top = std::uint64_t(std::max(0, value));
    for (QScrollBar* bar : vBars_) {
        const QSignalBlocker blocker(bar);
        bar->setValue(value);
    }
    if (stale_ || covers(top, leftColumn())) {
        const int own = int(std::min<std::uint64_t>(top - std::min(top, first_), INT_MAX));
        for (DiffView* view : views_) {
            view->verticalScrollBar()->setValue(own);
        }
    } else {
        fill(top, leftColumn());
    }
}

void BigComparisonViews::horizontalBarMoved(int value) {
    if (!comparison_) {
        return;
    }
    for (QScrollBar* bar : hBars_) {
        const QSignalBlocker blocker(bar);
        bar->setValue(value);
    }
    const int width = characterWidth();
    const std::uint64_t left = std::uint64_t(std::max(0, value) / width);
    if (columnWindow_ && !stale_ && !covers(topLine(), left)) {
        fill(topLine(), left);
    }
    const std::int64_t own = columnWindow_
                                 ? std::int64_t(value) - std::int64_t(firstColumn_) * width
                                 : std::int64_t(value);
    for (DiffView* view : views_) {
        view->horizontalScrollBar()->setValue(int(std::max<std::int64_t>(0, own)));
    }
}

// This class's bars take the whole files' ranges and where the views stand in them; the number
// columns follow the top line.
void BigComparisonViews::updateBars() {
    if (!comparison_) {
        return;
    }
    const std::uint64_t pairs = comparison_->pairCount();
    const int width = characterWidth();
    bool placesChanged = false;
    // The whole files scroll as far past the window's end as the views scroll past their own; both
    // views alike, as one of them may not have laid out its window yet.
    const std::uint64_t beyond = std::uint64_t(std::max(
        {0, views_[0]->verticalScrollBar()->maximum(), views_[1]->verticalScrollBar()->maximum()}));
    for (int v = 0; v < 2; ++v) {
        const QScrollBar* ownV = views_[v]->verticalScrollBar();
        const QScrollBar* ownH = views_[v]->horizontalScrollBar();
        const std::uint64_t vMaximum =
            pairs + beyond > count_ ? pairs + beyond - count_ : std::uint64_t{0};
        std::uint64_t hMaximum = std::uint64_t(std::max(0, ownH->maximum()));
        std::uint64_t hValue = std::uint64_t(std::max(0, ownH->value()));
        if (columnWindow_) {
            const std::uint64_t whole = longest_ * std::uint64_t(width) + std::uint64_t(width);
            const std::uint64_t shown = std::uint64_t(views_[v]->viewport()->width());
            hMaximum = std::max(hMaximum, whole > shown ? whole - shown : 0);
            hValue += firstColumn_ * std::uint64_t(width);
        }
        {
            const QSignalBlocker blocker(vBars_[v]);
            vBars_[v]->setRange(0, toBar(vMaximum));
            vBars_[v]->setPageStep(std::max(1, ownV->pageStep()));
            vBars_[v]->setSingleStep(1);
            vBars_[v]->setValue(toBar(topLine()));
        }
        {
            const QSignalBlocker blocker(hBars_[v]);
            hBars_[v]->setRange(0, toBar(hMaximum));
            hBars_[v]->setPageStep(std::max(1, ownH->pageStep()));
            hBars_[v]->setSingleStep(std::max(1, ownH->singleStep()));
            hBars_[v]->setValue(toBar(hValue));
        }
        const bool showV = vMaximum > 0;
        const bool showH = hMaximum > 0;
        placesChanged = placesChanged || vBars_[v]->isVisibleTo(views_[v]) != showV ||
                        hBars_[v]->isVisibleTo(views_[v]) != showH;
        vBars_[v]->setVisible(showV);
        hBars_[v]->setVisible(showH);
        numbers_[v]->showNumbersFrom(topLine() + 1);
        // The number columns may only have room for the last digits; the bar says them all.
        vBars_[v]->setToolTip(
            tr("Línea %1 de %2")
                .arg(QLocale(QLocale::Spanish, QLocale::Spain).toString(qulonglong(topLine() + 1)),
                     QLocale(QLocale::Spanish, QLocale::Spain).toString(qulonglong(pairs))));
    }
    if (placesChanged) {
        placeBars();
    }
}

// The bars go where the views' own would be, and the views leave room for them.
void BigComparisonViews::placeBars() {
    for (int v = 0; v < 2; ++v) {
        DiffView* view = views_[v];
        const int extent = view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
        const int right = vBars_[v]->isVisibleTo(view) ? extent : 0;
        const int bottom = hBars_[v]->isVisibleTo(view) ? extent : 0;
        view->setRoomForBars(right, bottom);
        const QRect area = view->contentsRect();
        vBars_[v]->setGeometry(area.right() - right + 1, area.top(), right, area.height() - bottom);
        hBars_[v]->setGeometry(area.left(), area.bottom() - bottom + 1, area.width() - right,
                               bottom);
    }
}
