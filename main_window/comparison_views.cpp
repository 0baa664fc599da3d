#include "main_window/comparison_views.h"

#include "main_window/deferred_text.h"
#include "main_window/diff_view.h"
#include "main_window/difference_marks.h"
#include "main_window/memory_shortage.h"
#include "main_window/message_boxes.h"
#include "main_window/number_column.h"
#include "main_window/selection_copy.h"
#include "main_window/text_search.h"

#include <QAction>
#include <QApplication>
#include <QChildEvent>
#include <QClipboard>
#include <QEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QTextBlock>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <new>

namespace {

// A window of short lines holds this many when they are more than four screens; more would only
// make each fill slower.
constexpr std::uint64_t kMostWindowLines = 120;
// A window holds at least this many lines, and four screens of them.
constexpr std::uint64_t kFewestWindowLines = 60;
constexpr int kScreensPerWindow = 4;

bool isModifierKey(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
           key == Qt::Key_Meta || key == Qt::Key_AltGr;
}

int toBar(std::uint64_t value) { return int(std::min<std::uint64_t>(value, INT_MAX)); }

} // namespace

ComparisonViews::ComparisonViews(DiffView* view1, DiffView* view2, NumberColumn* numbers1,
                                 NumberColumn* numbers2, MessageBoxes* messages, QWidget* window)
    : QObject(window), views_{view1, view2},
      viewports_{view1->viewport(), view2->viewport()}, numbers_{numbers1, numbers2},
      messages_(messages), window_(window), refill_(new QTimer(this)),
      mostCopied_(SelectionCopy::kMostBytes) {
    setObjectName(QStringLiteral("ComparisonViews"));
    refill_->setSingleShot(true);
    refill_->setInterval(0);
    connect(refill_, &QTimer::timeout, this, &ComparisonViews::refillIfNeeded);
    for (int v = 0; v < 2; ++v) {
        DiffView* view = views_[v];
        vBars_[v] = new QScrollBar(Qt::Vertical, view);
        hBars_[v] = new QScrollBar(Qt::Horizontal, view);
        vBars_[v]->setObjectName(QStringLiteral("WholeFileVerticalBar"));
        hBars_[v]->setObjectName(QStringLiteral("WholeFileHorizontalBar"));
        vBars_[v]->hide();
        hBars_[v]->hide();
        connect(vBars_[v], &QScrollBar::valueChanged, this, &ComparisonViews::verticalBarMoved);
        ownMarks_[v] = new DifferenceMarks(view->verticalScrollBar());
        wholeMarks_[v] = new DifferenceMarks(vBars_[v]);
        for (DifferenceMarks* marks : {ownMarks_[v], wholeMarks_[v]}) {
            connect(marks, &DifferenceMarks::lineChosen, this, &ComparisonViews::followMark);
        }
        connect(hBars_[v], &QScrollBar::valueChanged, this, &ComparisonViews::horizontalBarMoved);
        connect(view, &QPlainTextEdit::cursorPositionChanged, this, [this, v] { takeCursor(v); });
        connect(view, &QPlainTextEdit::selectionChanged, this, [this, v] { takeCursor(v); });
        for (QScrollBar* own : {view->verticalScrollBar(), view->horizontalScrollBar()}) {
            connect(own, &QScrollBar::valueChanged, this, &ComparisonViews::followViews);
            connect(own, &QScrollBar::rangeChanged, this, &ComparisonViews::followViews);
        }
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
        view->setSelectionSource([this, v] { return selectionData(v + 1); });
    }
}

ComparisonViews::~ComparisonViews() = default;

const parvane::FileComparison* ComparisonViews::comparison() const {
    return comparison_ ? &*comparison_ : nullptr;
}

QScrollBar* ComparisonViews::verticalBar(int view) const { return vBars_.at(view - 1); }

QScrollBar* ComparisonViews::horizontalBar(int view) const { return hBars_.at(view - 1); }

DifferenceMarks* ComparisonViews::differenceMarks(int view) const {
    return unlimited() ? wholeMarks_.at(view - 1) : ownMarks_.at(view - 1);
}

ComparisonViews::Contents ComparisonViews::prepare(const parvane::FileComparison& comparison,
                                                   QThread* owner) {
    const std::vector<parvane::LinePairSlice> slices =
        comparison.linePairs(0, comparison.pairCount());
    Contents contents;
    for (int v = 0; v < 2; ++v) {
        WindowText window = WindowText::of(slices, v + 1);
        DiffView::Content content =
            DiffView::makeContent(window.text, window.red, window.leftOut, owner);
        contents[v] = {std::move(window), std::move(content)};
    }
    return contents;
}

bool ComparisonViews::compareUnlimited(const std::filesystem::path& file1,
                                       const std::filesystem::path& file2) {
    if (busy_) {
        return false;
    }
    busy_ = true;
    std::optional<parvane::FileComparison> result;
    QString error;
    try {
        result = ComparisonProgress::run(window_, file1, file2, prelude_, decodings_, rules_);
    } catch (const parvane::ComparisonError& failure) {
        error = QString::fromUtf8(failure.what());
    } catch (const std::bad_alloc&) {
        error = memory_shortage::message(
            tr("comparar %1 con %2")
                .arg(memory_shortage::quoted(file1), memory_shortage::quoted(file2)),
            tr("Cierre otros programas o compare ficheros menores."));
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
    return true;
}

void ComparisonViews::show(parvane::FileComparison comparison, std::optional<Contents> early) {
    refill_->stop();
    ++shown_;
    comparison_.emplace(std::move(comparison));
    longest_ = std::max(comparison_->longestLine(1), comparison_->longestLine(2));
    stale_ = false;
    first_ = count_ = firstColumn_ = 0;
    lineStarts_ = {};
    lineLengths_ = {};
    parked_ = {};
    anchors_ = {};
    reflected_ = {};
    useOwnBars(!unlimited());
    for (DiffView* view : views_) {
        view->setSelectionStart(0);
    }
    fill(0, 0, std::move(early));
    updateBars();
    markDifferences();
    emit shown();
}

void ComparisonViews::useOwnBars(bool own) {
    const Qt::ScrollBarPolicy policy = own ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
    for (int v = 0; v < 2; ++v) {
        views_[v]->setVerticalScrollBarPolicy(policy);
        views_[v]->setHorizontalScrollBarPolicy(policy);
        if (own) {
            vBars_[v]->hide();
            hBars_[v]->hide();
            const int room = views_[v]->roomAbove();
            numbers_[v]->showNumbersFrom(
                1, room == 0 ? std::nullopt
                             : std::optional(int(views_[v]->document()->documentMargin()) + room));
        }
    }
    placeBars();
}

int ComparisonViews::visibleLines() const {
    const int spacing = std::max(1, views_[0]->fontMetrics().lineSpacing());
    return std::max(1, views_[0]->viewport()->height() / spacing + 1);
}

int ComparisonViews::characterWidth() const {
    return std::max(1, views_[0]->fontMetrics().averageCharWidth());
}

int ComparisonViews::visibleColumns() const {
    return std::max(1, views_[0]->viewport()->width() / characterWidth() + 1);
}

// Within the limits, the whole files. Without them, whole lines when four screens of them fit
// the budget; otherwise four screens of lines, each cut to the columns the budget leaves.
void ComparisonViews::chooseWindowShape() {
    if (!unlimited()) {
        columnWindow_ = false;
        lines_ = std::max<std::uint64_t>(comparison_->pairCount(), 1);
        columns_ = UINT64_MAX;
        return;
    }
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

bool ComparisonViews::covers(std::uint64_t top, std::uint64_t left) const {
    if (!unlimited()) {
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

bool ComparisonViews::fill(std::uint64_t top, std::uint64_t left, std::optional<Contents> early) {
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
        if (!early) {
            slices = comparison_->linePairs(first, count, firstColumn, columns_);
        }
    } catch (const parvane::ComparisonError& error) {
        // Shown once: the views keep what they show until the files are compared again.
        stale_ = true;
        refill_->stop();
        warnChanged(QString::fromUtf8(error.what()));
        return false;
    }

    const Caret carets[] = {caretOf(0), caretOf(1)};
    const std::optional<Caret> anchors[] = {anchors_[0], anchors_[1]};
    const int ownLeft = views_[0]->horizontalScrollBar()->value();
    filling_ = true;
    first_ = first;
    count_ = count;
    firstColumn_ = firstColumn;
    for (int v = 0; v < 2; ++v) {
        WindowText window;
        if (early) {
            window = std::move((*early)[v].window);
            views_[v]->showContent(std::move((*early)[v].content));
        } else {
            window = WindowText::of(slices, v + 1);
            views_[v]->setDisplayText(window.text);
            views_[v]->colour(window.red, window.leftOut);
        }
        // Both views scroll over the window's lines, and the empty line after the last.
        views_[v]->setLevelLines(int(count) + 1);
        lineStarts_[v] = std::move(window.lineStarts);
        lineLengths_[v] = std::move(window.lineLengths);
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

ComparisonViews::Caret ComparisonViews::caretOf(int view) const {
    if (parked_[view]) {
        return *parked_[view];
    }
    return placeAt(view, views_[view]->textCursor().position());
}

// The place in the file of document position `position` of the window of `view`. A column is cut
// to its whole line's length; the end of the text is the start of the line after the window's,
// or the empty line after the file's last one.
ComparisonViews::Caret ComparisonViews::placeAt(int view, int position) const {
    const QTextBlock block = views_[view]->document()->findBlock(position);
    const std::vector<std::uint64_t>& lengths = lineLengths_[view];
    const std::size_t row = std::size_t(std::max(0, block.blockNumber()));
    if (row >= lengths.size()) {
        const std::uint64_t lines = comparison_ ? comparison_->lineCount(view + 1) : 0;
        return {std::min<std::uint64_t>(first_ + lengths.size(), lines), 0};
    }
    const QString before = block.text().left(position - block.position());
    return {first_ + row,
            std::min(firstColumn_ + std::uint64_t(before.toUcs4().size()), lengths[row])};
}

// Whether the window of `view` holds `place`: its line, and its column in the window's part of
// that line.
bool ComparisonViews::holds(int view, Caret place) const {
    const std::vector<std::uint64_t>& lengths = lineLengths_[view];
    if (!comparison_ || lineStarts_[view].empty() || place.line < first_) {
        return false;
    }
    const std::uint64_t row = place.line - first_;
    if (row < lengths.size()) {
        const std::vector<int>& starts = lineStarts_[view];
        const std::uint64_t part = std::uint64_t(starts[row + 1] - 2 - starts[row]);
        return place.column >= firstColumn_ && place.column - firstColumn_ <= part &&
               place.column <= lengths[row];
    }
    // The empty line after the file's last one is a place too, when the window holds that end.
    return row == lengths.size() && place.line == comparison_->lineCount(view + 1) &&
           place.column == 0;
}

// The window's display offset nearest `place` in `view`: the window's start or end for a line
// before or after it, the start or end of the window's part of a line for a column before or
// after that part.
int ComparisonViews::offsetOf(int view, Caret place) const {
    const std::vector<int>& starts = lineStarts_[view];
    if (place.line < first_) {
        return 0;
    }
    const std::uint64_t row = place.line - first_;
    if (row + 1 >= starts.size()) {
        return starts.back();
    }
    const int part = starts[row + 1] - 2 - starts[row];
    const std::uint64_t column = place.column - std::min(place.column, firstColumn_);
    return starts[row] + int(std::min<std::uint64_t>(column, std::uint64_t(part)));
}

// The caret at `caret` and the selection from `anchor`, as far as the window holds them. A caret
// the window does not hold is parked as near its place as the window goes, and comes back when a
// window holds its place again; the part of the selection that the window holds is shown.
void ComparisonViews::putCaret(int view, Caret caret, std::optional<Caret> anchor) {
    if (lineStarts_[view].empty()) {
        return;
    }
    if (holds(view, caret)) {
        parked_[view].reset();
    } else {
        parked_[view] = caret;
    }
    anchors_[view] = anchor && *anchor != caret ? anchor : std::nullopt;
    DiffView* shown = views_[view];
    const int to = shown->documentPosition(offsetOf(view, caret));
    const int from = anchors_[view] ? shown->documentPosition(offsetOf(view, *anchors_[view])) : to;
    QTextCursor selection(shown->document());
    selection.setPosition(from);
    selection.setPosition(to, QTextCursor::KeepAnchor);
    {
        const QScopedValueRollback<bool> placing(placing_, true);
        shown->setTextCursor(selection);
    }
    reflected_[view] = {from, anchors_[view].value_or(caret)};
}

// The text cursor of `view` has moved (a key, the mouse): the caret and the selection follow it.
// The selection's anchor stays where it was in the file while the cursor's anchor stays where it
// was put, so that a selection stretched past a window keeps the end that the window left behind.
void ComparisonViews::takeCursor(int view) {
    if (!comparison_ || filling_ || placing_ || lineStarts_[view].empty()) {
        return;
    }
    const QTextCursor cursor = views_[view]->textCursor();
    const Caret caret = placeAt(view, cursor.position());
    std::optional<Caret> anchor;
    if (cursor.anchor() == reflected_[view].position && (cursor.hasSelection() || extending_)) {
        anchor = reflected_[view].place;
    } else if (cursor.hasSelection()) {
        anchor = placeAt(view, cursor.anchor());
    }
    parked_[view].reset();
    anchors_[view] = anchor && *anchor != caret ? anchor : std::nullopt;
    reflected_[view] = {cursor.anchor(), anchors_[view].value_or(caret)};
}

// A key moves a parked caret from where it stands, which comes back into view first.
void ComparisonViews::bringBackCaret(int view) {
    const Caret caret = *parked_[view];
    const std::uint64_t half = std::uint64_t(visibleLines()) / 2;
    fill(caret.line - std::min(caret.line, half), caret.column);
}

bool ComparisonViews::hasSelection(int view) const {
    return comparison_ && anchors_.at(view - 1).has_value();
}

// The whole file selected, its caret at the file's end; the views stay where they are. The X11
// primary selection takes the whole file, as a selection made with the keys gives it.
void ComparisonViews::selectWholeFile(int view) {
    const int v = view - 1;
    if (!comparison_ || lineStarts_.at(v).empty()) {
        return;
    }
    const int top = views_[v]->verticalScrollBar()->value();
    const int left = views_[v]->horizontalScrollBar()->value();
    const Caret end{comparison_->lineCount(view), 0};
    putCaret(v, end, Caret{0, 0});
    views_[v]->verticalScrollBar()->setValue(top);
    views_[v]->horizontalScrollBar()->setValue(left);
    if (anchors_[v]) {
        QMimeData* data = fileText(view, {0, 0}, end);
        if (primarySelection_) {
            primarySelection_(data);
        } else if (QClipboard* clipboard = QApplication::clipboard();
                   clipboard->supportsSelection()) {
            clipboard->setMimeData(data, QClipboard::Selection);
        } else {
            delete data;
        }
    }
}

// Whether the view's own text gives the selection of `view`: the window holds it whole (a window
// of columns holds the ends of a selection over several lines but only part of the lines between),
// and it stops short of a line break that the view shows and the file does not have.
bool ComparisonViews::viewHoldsSelection(int view) const {
    const Caret caret = caretOf(view);
    const Caret anchor = *anchors_[view];
    const std::uint64_t lines = comparison_->lineCount(view + 1);
    const bool pastText = !comparison_->traits(view + 1).endsWithLineBreak && lines > 0 &&
                          std::max(anchor, caret).line >= lines;
    return !parked_[view] && holds(view, anchor) && (!columnWindow_ || anchor.line == caret.line) &&
           !pastText;
}

// A selection that the view's text gives is copied by the view; any other is read from the file.
// A copy that memory runs out for leaves the clipboard as it was.
void ComparisonViews::copySelection(int view) {
    const int v = view - 1;
    if (!comparison_ || busy_ || !anchors_.at(v)) {
        return;
    }
    const QString shortage = memory_shortage::message(
        tr("copiar la selección de %1").arg(memory_shortage::quoted(comparison_->path(view))),
        tr("Seleccione menos texto o cierre otros programas."));
    if (viewHoldsSelection(v)) {
        try {
            views_[v]->copy();
        } catch (const std::bad_alloc&) {
            messages_->warn(window_, shortage);
        }
        return;
    }
    const Caret caret = caretOf(v);
    const Caret anchor = *anchors_[v];
    const Caret from = std::min(anchor, caret);
    const Caret to = std::max(anchor, caret);
    SelectionCopy::Result result;
    // Busy: nothing compares again while the copy reads from this comparison.
    busy_ = true;
    try {
        result = SelectionCopy::read(window_, *comparison_, view, {from.line, from.column},
                                     {to.line, to.column}, mostCopied_, copyPace_);
    } catch (const parvane::ComparisonError& error) {
        busy_ = false;
        stale_ = true;
        refill_->stop();
        messages_->warn(window_, QString::fromUtf8(error.what()));
        return;
    } catch (const std::bad_alloc&) {
        busy_ = false;
        messages_->warn(window_, shortage);
        return;
    }
    busy_ = false;
    if (result.text) {
        // The bytes that another program reads are made when it reads them, where a shortage is
        // told rather than ending the program.
        QApplication::clipboard()->setMimeData(new DeferredText(
            [text = std::move(*result.text)] { return std::optional<QString>(text); },
            shortageTeller(memory_shortage::message(
                tr("pegar el texto copiado de %1")
                    .arg(memory_shortage::quoted(comparison_->path(view)))))));
    } else if (!result.refusal.isEmpty()) {
        messages_->warn(window_, result.refusal);
    }
}

std::function<void()> ComparisonViews::shortageTeller(const QString& text) {
    return [views = QPointer<ComparisonViews>(this), text] {
        if (views) {
            QTimer::singleShot(0, views,
                               [views, text] { views->messages_->warn(views->window_, text); });
        }
    };
}

QMimeData* ComparisonViews::selectionData(int view) {
    const int v = view - 1;
    if (!comparison_ || !anchors_.at(v) || viewHoldsSelection(v)) {
        return nullptr;
    }
    const Caret caret = caretOf(v);
    const Caret anchor = *anchors_[v];
    return fileText(view, std::min(anchor, caret), std::max(anchor, caret));
}

QMimeData* ComparisonViews::fileText(int view, Caret from, Caret to) {
    return new DeferredText(
        [views = QPointer<ComparisonViews>(this), shown = shown_, view, from,
         to]() -> std::optional<QString> {
            if (!views || views->shown_ != shown || views->busy_ || !views->comparison_) {
                return std::nullopt;
            }
            try {
                return SelectionCopy::readQuietly(*views->comparison_, view,
                                                  {from.line, from.column}, {to.line, to.column},
                                                  kMostPastedBytes, views->copyPace_);
            } catch (const parvane::ComparisonError&) {
                return std::nullopt; // the file changed: the window says so when it next reads it
            }
        },
        shortageTeller(memory_shortage::message(
            tr("pegar la selección de %1").arg(memory_shortage::quoted(comparison_->path(view))),
            tr("Seleccione menos texto o cierre otros programas."))));
}

// End and Home in a window of columns: the caret goes to the end or the start of its whole line,
// and the window follows it; with Shift the selection stretches to there.
void ComparisonViews::goToLineEdge(int view, bool end, bool select) {
    if (parked_[view]) {
        bringBackCaret(view);
    }
    if (lineStarts_[view].empty()) {
        return;
    }
    const Caret from = caretOf(view);
    const std::vector<std::uint64_t>& lengths = lineLengths_[view];
    const std::uint64_t row = from.line - std::min(from.line, first_);
    const std::uint64_t length = from.line >= first_ && row < lengths.size() ? lengths[row] : 0;
    const Caret to{from.line, end ? length : 0};
    const std::optional<Caret> anchor =
        select ? std::optional<Caret>(anchors_[view].value_or(from)) : std::nullopt;
    // The view moves across as little as shows the caret.
    const std::uint64_t across = std::uint64_t(visibleColumns());
    std::uint64_t left = leftColumn();
    if (to.column < left) {
        left = to.column;
    } else if (to.column + 2 > left + across) {
        left = to.column + 2 - across;
    }
    if (holds(view, to) && covers(topLine(), left)) {
        putCaret(view, to, anchor);
        return;
    }
    parked_[view] = to;
    anchors_[view] = anchor;
    if (fill(topLine(), left)) {
        views_[view]->ensureCursorVisible();
    }
}

std::uint64_t ComparisonViews::topLine() const {
    return first_ + std::uint64_t(std::max(0, views_[0]->verticalScrollBar()->value()));
}

std::uint64_t ComparisonViews::caretLine() const {
    return std::max(caretOf(0).line, caretOf(1).line);
}

std::uint64_t ComparisonViews::leftColumn() const {
    if (!columnWindow_) {
        return 0;
    }
    return firstColumn_ +
           std::uint64_t(views_[0]->horizontalScrollBar()->value() / characterWidth());
}

void ComparisonViews::goToNextDifference() {
    if (!comparison_) {
        return;
    }
    if (const auto next = comparison_->nextDifferingLine(caretLine())) {
        goToLine(*next);
    }
}

void ComparisonViews::goToPreviousDifference() {
    if (!comparison_) {
        return;
    }
    if (const auto previous = comparison_->previousDifferingLine(caretLine())) {
        goToLine(*previous);
    }
}

void ComparisonViews::goToFirstDifference() {
    if (const auto first = comparison_ ? comparison_->firstDifferingLine() : std::nullopt) {
        goToLine(*first);
    }
}

void ComparisonViews::goToLastDifference() {
    if (const auto last = comparison_ ? comparison_->lastDifferingLine() : std::nullopt) {
        goToLine(*last);
    }
}

// From the further caret; the window moves to hold the run, and across to show its column.
parvane::LineColumn ComparisonViews::goToRun(bool forward) {
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

// Each bar spans its range and a page of lines: within the limits a view's own bar counts lines,
// this class's count them on its scale.
void ComparisonViews::markDifferences() {
    const DifferenceMarks::NextDifference next =
        [this](std::uint64_t line) -> std::optional<std::uint64_t> {
        if (!comparison_) {
            return std::nullopt;
        }
        return line == 0 ? comparison_->firstDifferingLine()
                         : comparison_->nextDifferingLine(line - 1);
    };
    for (int v = 0; v < 2; ++v) {
        const QScrollBar* own = views_[v]->verticalScrollBar();
        if (unlimited()) {
            ownMarks_[v]->setSource({}, {});
            wholeMarks_[v]->setSource(next, [this, own] {
                return vScale_.last() + std::uint64_t(std::max(0, own->pageStep()));
            });
        } else {
            wholeMarks_[v]->setSource({}, {});
            ownMarks_[v]->setSource(next, [own] {
                return std::uint64_t(std::max(0, own->maximum())) +
                       std::uint64_t(std::max(0, own->pageStep()));
            });
        }
    }
}

void ComparisonViews::followMark(std::uint64_t line) {
    if (!comparison_) {
        return;
    }
    goToLine(line);
    emit markFollowed();
}

// Both carets to the start of `line`, which comes into view the least way, as a view's own
// moveCaretToLine() does.
void ComparisonViews::goToLine(std::uint64_t line) {
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

ComparisonViews::Found ComparisonViews::find(int view, const QString& text, bool forward,
                                             bool matchCase, int clearLines) {
    const int v = view - 1;
    if (!comparison_ || busy_ || text.isEmpty() || lineStarts_.at(v).empty()) {
        return {};
    }
    if (stale_) {
        return {Found::Outcome::Changed};
    }
    const Caret caret = caretOf(v);
    const Caret anchor = anchors_[v].value_or(caret);
    const Caret from = forward ? std::max(caret, anchor) : std::min(caret, anchor);
    TextSearch::Result result;
    // Busy: nothing compares again while the search reads from this comparison.
    busy_ = true;
    try {
        result = TextSearch::find(window_, *comparison_, view, {from.line, from.column}, text,
                                  forward, matchCase, copyPace_);
    } catch (const parvane::ComparisonError& error) {
        busy_ = false;
        stale_ = true;
        refill_->stop();
        messages_->warn(window_, QString::fromUtf8(error.what()));
        return {Found::Outcome::Changed};
    } catch (const std::bad_alloc&) {
        busy_ = false;
        messages_->warn(
            window_, memory_shortage::message(
                         tr("buscar en %1").arg(memory_shortage::quoted(comparison_->path(view))),
                         tr("Cierre otros programas.")));
        return {};
    }
    busy_ = false;
    if (result.cancelled) {
        return {Found::Outcome::Cancelled};
    }
    if (!result.match) {
        return {Found::Outcome::NotFound};
    }
    const TextSearch::Match& match = *result.match;
    showSelection(v, {match.start.line, match.start.column + match.length},
                  {match.start.line, match.start.column}, clearLines);
    return {Found::Outcome::Found, match.start.line, match.start.column, match.wrapped};
}

// As a move by run, the window moves to hold the selection, and across to show its start.
void ComparisonViews::showSelection(int view, Caret caret, Caret anchor, int clearLines) {
    const std::uint64_t page =
        std::uint64_t(std::max(1, views_[0]->verticalScrollBar()->pageStep()));
    const std::uint64_t screen = std::max<std::uint64_t>(
        1, page - std::min<std::uint64_t>(page - 1, std::uint64_t(std::max(0, clearLines))));
    std::uint64_t top = topLine();
    if (caret.line < top) {
        top = caret.line;
    } else if (caret.line >= top + screen) {
        top = caret.line + 1 - screen;
    }
    std::uint64_t left = leftColumn();
    const std::uint64_t across = std::uint64_t(visibleColumns());
    if (columnWindow_ && (anchor.column < left || caret.column >= left + across)) {
        left = anchor.column > across / 2 ? anchor.column - across / 2 : 0;
    }
    if (!holds(view, caret) || !holds(view, anchor) || !covers(top, left)) {
        if (!fill(top, left)) {
            return;
        }
    }
    putCaret(view, caret, anchor);
    views_[view]->verticalScrollBar()->setValue(
        int(std::min<std::uint64_t>(top - std::min(top, first_), INT_MAX)));
    views_[view]->ensureCursorVisible();
}

// Before Ctrl+Home or Ctrl+End moves the caret of `view` within the window, the window moves to
// that end of the view's file (the empty line after its last line), where the caret stops.
void ComparisonViews::goToEdge(int view, bool end) {
    const std::uint64_t target = end ? comparison_->lineCount(view + 1) : 0;
    const bool there =
        firstColumn_ == 0 && first_ <= target && target <= first_ + count_ && (end || first_ == 0);
    if (!there) {
        fill(target, 0);
    }
}

// Only the few events handled here are looked at, and the object only by its address: a view
// may be on its way out when one of its events comes.
bool ComparisonViews::eventFilter(QObject* watched, QEvent* event) {
    if (!comparison_) {
        return false;
    }
    const int view = watched == views_[0] || watched == viewports_[0]   ? 0
                     : watched == views_[1] || watched == viewports_[1] ? 1
                                                                        : -1;
    if (view < 0) {
        return false;
    }
    const bool onViewport = watched == viewports_[view];
    switch (event->type()) {
    case QEvent::Resize:
        if (!onViewport) {
            placeBars();
            refill_->start();
        }
        return false;
    case QEvent::KeyPress: return !onViewport && handleKey(view, static_cast<QKeyEvent*>(event));
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (onViewport) {
            handleMousePress(view, static_cast<QMouseEvent*>(event));
        }
        return false;
    case QEvent::MouseMove:
        if (onViewport && static_cast<QMouseEvent*>(event)->buttons().testFlag(Qt::LeftButton)) {
            extending_ = true; // a drag stretches the selection from where it started
        }
        return false;
    case QEvent::KeyRelease:
    case QEvent::MouseButtonRelease: extending_ = false; return false;
    case QEvent::ChildPolished:
        if (auto* menu = qobject_cast<QMenu*>(static_cast<QChildEvent*>(event)->child());
            menu && !onViewport) {
            takeOverMenu(view, menu);
        }
        return false;
    default: return false;
    }
}

// Ctrl+A, Ctrl+C, and End and Home in a window of columns, are done here; Ctrl+Home and Ctrl+End
// first move the window to that end, and any other key first brings a parked caret back.
bool ComparisonViews::handleKey(int view, const QKeyEvent* key) {
    extending_ = key->modifiers().testFlag(Qt::ShiftModifier);
    if (key->matches(QKeySequence::SelectAll)) {
        selectWholeFile(view + 1);
        return true;
    }
    if (key->matches(QKeySequence::Copy)) {
        copySelection(view + 1);
        return true;
    }
    const bool selectEnd = key->matches(QKeySequence::SelectEndOfLine);
    const bool selectStart = key->matches(QKeySequence::SelectStartOfLine);
    const bool end = selectEnd || key->matches(QKeySequence::MoveToEndOfLine);
    const bool start = selectStart || key->matches(QKeySequence::MoveToStartOfLine);
    if (columnWindow_ && (end || start)) {
        goToLineEdge(view, end, selectEnd || selectStart);
        return true;
    }
    if (key->modifiers().testFlag(Qt::ControlModifier) &&
        (key->key() == Qt::Key_Home || key->key() == Qt::Key_End)) {
        goToEdge(view, key->key() == Qt::Key_End);
    } else if (parked_[view] && !isModifierKey(key->key())) {
        bringBackCaret(view);
    }
    return false;
}

// A press without Shift starts a new selection where it puts the caret; it leaves a selection of
// the window alone when it falls in it, as that selection may yet be dragged away.
void ComparisonViews::handleMousePress(int view, const QMouseEvent* press) {
    if (press->button() != Qt::LeftButton) {
        return;
    }
    extending_ = press->modifiers().testFlag(Qt::ShiftModifier);
    if (extending_) {
        return;
    }
    reflected_[view].position = -1;
    if (!views_[view]->textCursor().hasSelection()) {
        parked_[view].reset();
        anchors_[view].reset();
    }
}

// The views' standard context menu: its "Copiar" and "Seleccionar todo" act on the whole file.
void ComparisonViews::takeOverMenu(int view, QMenu* menu) {
    for (QAction* action : menu->actions()) {
        const QString name = action->objectName();
        const bool copy = name == QLatin1String("edit-copy");
        if (!copy && name != QLatin1String("select-all")) {
            continue;
        }
        disconnect(action, &QAction::triggered, nullptr, nullptr);
        action->setEnabled(copy ? anchors_[view].has_value()
                                : comparison_->lineCount(view + 1) > 0);
        connect(
            action, &QAction::triggered, this,
            [this, view, copy] {
                if (copy) {
                    copySelection(view + 1);
                } else {
                    selectWholeFile(view + 1);
                }
            },
            Qt::QueuedConnection);
    }
}

// The message waits for the event that got here (a drag of a bar, say) to end.
void ComparisonViews::warnChanged(const QString& text) {
    QTimer::singleShot(0, this, [this, text] { messages_->warn(window_, text); });
}

void ComparisonViews::followViews() {
    if (!comparison_ || filling_) {
        return;
    }
    if (!unlimited()) {
        for (int v = 0; v < 2; ++v) {
            numberLinesInView(v, 0);
        }
        return;
    }
    updateBars();
    if (!stale_ && !covers(topLine(), leftColumn())) {
        refill_->start();
    }
}

void ComparisonViews::refillIfNeeded() {
    if (comparison_ && !stale_ && !covers(topLine(), leftColumn())) {
        fill(topLine(), leftColumn());
    }
}

void ComparisonViews::verticalBarMoved(int value) {
    if (!unlimited()) {
        return;
    }
    const std::uint64_t top = vScale_.fromBar(value);
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

void ComparisonViews::horizontalBarMoved(int value) {
    if (!unlimited()) {
        return;
    }
    for (QScrollBar* bar : hBars_) {
        const QSignalBlocker blocker(bar);
        bar->setValue(value);
    }
    const std::uint64_t width = std::uint64_t(characterWidth());
    const std::uint64_t pixels = hScale_.fromBar(value);
    const std::uint64_t left = pixels / width;
    if (columnWindow_ && !stale_ && !covers(topLine(), left)) {
        fill(topLine(), left);
    }
    const std::uint64_t before = columnWindow_ ? firstColumn_ * width : 0;
    const int own = int(std::min<std::uint64_t>(pixels - std::min(pixels, before), INT_MAX));
    for (DiffView* view : views_) {
        view->horizontalScrollBar()->setValue(own);
    }
}

// This class's bars take the whole files' ranges and where the views stand in them, scaled when
// they pass what a bar counts (bar_scale.h); the number columns follow the top line.
void ComparisonViews::updateBars() {
    if (!unlimited()) {
        return;
    }
    const std::uint64_t pairs = comparison_->pairCount();
    const std::uint64_t width = std::uint64_t(characterWidth());
    bool placesChanged = false;
    // The whole files scroll as far past the window's end as the views scroll past their own; both
    // views alike, as one of them may not have laid out its window yet.
    const std::uint64_t beyond = std::uint64_t(std::max(
        {0, views_[0]->verticalScrollBar()->maximum(), views_[1]->verticalScrollBar()->maximum()}));
    const std::uint64_t vMaximum =
        pairs + beyond > count_ ? pairs + beyond - count_ : std::uint64_t{0};
    vScale_ = BarScale(vMaximum);
    std::array<std::uint64_t, 2> hMaximum{};
    std::array<std::uint64_t, 2> hValue{};
    for (int v = 0; v < 2; ++v) {
        const QScrollBar* ownH = views_[v]->horizontalScrollBar();
        hMaximum[v] = std::uint64_t(std::max(0, ownH->maximum()));
        hValue[v] = std::uint64_t(std::max(0, ownH->value()));
        if (columnWindow_) {
            const std::uint64_t columns = std::min(longest_ + 1, UINT64_MAX / width);
            const std::uint64_t whole = columns * width;
            const std::uint64_t shown = std::uint64_t(views_[v]->viewport()->width());
            hMaximum[v] = std::max(hMaximum[v], whole > shown ? whole - shown : 0);
            hValue[v] += firstColumn_ * width;
        }
    }
    hScale_ = BarScale(std::max(hMaximum[0], hMaximum[1]));
    for (int v = 0; v < 2; ++v) {
        const QScrollBar* ownV = views_[v]->verticalScrollBar();
        const QScrollBar* ownH = views_[v]->horizontalScrollBar();
        {
            const QSignalBlocker blocker(vBars_[v]);
            vBars_[v]->setRange(0, vScale_.barMaximum());
            vBars_[v]->setPageStep(vScale_.step(std::uint64_t(std::max(1, ownV->pageStep()))));
            vBars_[v]->setSingleStep(1);
            vBars_[v]->setValue(vScale_.toBar(topLine()));
        }
        {
            const QSignalBlocker blocker(hBars_[v]);
            hBars_[v]->setRange(0, hScale_.toBar(hMaximum[v]));
            hBars_[v]->setPageStep(hScale_.step(std::uint64_t(std::max(1, ownH->pageStep()))));
            hBars_[v]->setSingleStep(hScale_.step(std::uint64_t(std::max(1, ownH->singleStep()))));
            hBars_[v]->setValue(hScale_.toBar(hValue[v]));
        }
        const bool showV = vMaximum > 0;
        const bool showH = hMaximum[v] > 0;
        placesChanged = placesChanged || vBars_[v]->isVisibleTo(views_[v]) != showV ||
                        hBars_[v]->isVisibleTo(views_[v]) != showH;
        vBars_[v]->setVisible(showV);
        hBars_[v]->setVisible(showH);
        numberLinesInView(v, first_);
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

// A view scrolls by whole lines: its bar's value is its top line in the window that starts at
// line `first`, which starts at the view's top edge, or below the document's margin at the
// window's start.
void ComparisonViews::numberLinesInView(int view, std::uint64_t first) {
    const int top = std::max(0, views_[view]->verticalScrollBar()->value());
    const int margin = top == 0 ? int(views_[view]->document()->documentMargin()) : 0;
    numbers_[view]->showNumbersFrom(first + std::uint64_t(top) + 1,
                                    margin + views_[view]->roomAbove());
}

void ComparisonViews::restyled() {
    for (int v = 0; v < 2; ++v) {
        numberLinesInView(v, unlimited() ? first_ : 0);
    }
    if (comparison_ && !stale_) {
        updateBars();
        refill_->start();
    }
}

// The bars go where the views' own would be, and the views leave room for them.
void ComparisonViews::placeBars() {
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
