#include "main_window/reading_aids.h"

#include "main_window/character_info.h"
#include "main_window/comparison_summary.h"
#include "main_window/diff_view.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>
#include <QToolTip>

#include <algorithm>
#include <utility>

namespace {

using Direction = DifferenceNavigator::Direction;

TextGrid gridOf(const DiffView* view) { return TextGrid(view->characters(), view->lineStarts()); }

// The first offset shown at or after document position `position`.
int offsetAt(const DiffView* view, int position) {
    int low = 0;
    int high = int(view->characters().size());
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (view->documentPosition(middle) < position) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

QTextCursor cursorAt(const DiffView* view, int position) {
    QTextCursor cursor(view->document());
    cursor.setPosition(std::clamp(position, 0, view->document()->characterCount() - 1));
    return cursor;
}

// The cells of a view's differences, from their 1-based text positions.
void addCells(const DiffView* view, const std::vector<std::int16_t>& positions,
              std::vector<TextCell>& cells) {
    const TextGrid grid = gridOf(view);
    for (const std::int16_t position : positions) {
        cells.push_back(grid.cellOf(position - 1));
    }
}

} // namespace

ReadingAids::ReadingAids(DiffView* first, DiffView* second, QWidget* window)
    : QObject(window), first_(first), second_(second), viewport1_(first->viewport()),
      viewport2_(second->viewport()), lastUsed_(first), window_(window) {
    setObjectName(QStringLiteral("readingAids"));
    for (DiffView* view : {first_, second_}) {
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
        // Ctrl+I belongs to the view that has the focus.
        auto* describe = new QAction(view);
        describe->setObjectName(QStringLiteral("describeCharacter"));
        describe->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
        describe->setShortcutContext(Qt::WidgetShortcut);
        connect(describe, &QAction::triggered, this, [this, view] { describeCaret(view); });
        view->addAction(describe);
    }
    const std::pair<QKeyCombination, void (ReadingAids::*)()> keys[] = {
        {Qt::ALT | Qt::Key_Home, &ReadingAids::goToFirstDifference},
        {Qt::ALT | Qt::Key_End, &ReadingAids::goToLastDifference},
        {Qt::ALT | Qt::Key_Right, &ReadingAids::goToNextRun},
        {Qt::ALT | Qt::Key_Left, &ReadingAids::goToPreviousRun},
    };
    for (const auto& [key, move] : keys) {
        auto* shortcut = new QShortcut(QKeySequence(key), window);
        connect(shortcut, &QShortcut::activated, this, move);
    }
}

void ReadingAids::setComparison(const parvane::Comparison& result, std::vector<int> differenceLines,
                                const QString& shownPath1, const QString& shownPath2) {
    windowed_.reset();
    originLine_ = 0;
    originColumn_ = 0;
    differences1_ = result.differences1;
    differences2_ = result.differences2;
    traits1_ = result.traits1;
    traits2_ = result.traits2;
    shownPath1_ = shownPath1;
    shownPath2_ = shownPath2;
    // The runs are found when first asked for: a comparison costs nothing more until then.
    navigator_.setDifferences(std::move(differenceLines), {});
    runsFound_ = false;
}

void ReadingAids::findRuns() {
    if (runsFound_ || !navigator_.compared()) {
        return;
    }
    std::vector<TextCell> cells;
    cells.reserve(differences1_.size() + differences2_.size());
    addCells(first_, differences1_, cells);
    addCells(second_, differences2_, cells);
    navigator_.setDifferences(navigator_.lines(), std::move(cells));
    runsFound_ = true;
}

void ReadingAids::setWindowedComparison(const ComparisonSummary& first,
                                        const ComparisonSummary& second, const QString& shownPath1,
                                        const QString& shownPath2) {
    setComparison({}, {}, shownPath1, shownPath2);
    windowed_.emplace(first, second);
}

void ReadingAids::setWindowOrigin(std::uint64_t firstLine, std::uint64_t firstColumn) {
    originLine_ = firstLine;
    originColumn_ = firstColumn;
}

DiffView* ReadingAids::other(const DiffView* view) const {
    return view == first_ ? second_ : first_;
}

// Only compares pointers: a view may be on its way out when one of its events comes.
DiffView* ReadingAids::viewOf(const QObject* object) const {
    if (object == first_ || object == viewport1_) {
        return first_;
    }
    if (object == second_ || object == viewport2_) {
        return second_;
    }
    return nullptr;
}

QString ReadingAids::cellTip(const DiffView* view, TextCell cell) const {
    return character_info::positionTip(
        originLine_ + std::uint64_t(cell.line) + 1, originColumn_ + std::uint64_t(cell.column) + 1,
        gridOf(view).placeAt(cell), gridOf(other(view)).placeAt(cell));
}

QString ReadingAids::summaryTip(const DiffView* view) const {
    if (windowed_) {
        return (view == first_ ? windowed_->first : windowed_->second).tip({});
    }
    if (!navigator_.compared()) {
        return {};
    }
    const bool first = view == first_;
    ComparisonSummary summary;
    summary.differingCharacters = int(first ? differences1_.size() : differences2_.size());
    summary.differingLines = int(navigator_.lines().size());
    summary.lines = gridOf(view).lineCount();
    summary.otherLines = gridOf(other(view)).lineCount();
    return summary.tip(comparison_summary::byteNotes(traits1_, traits2_));
}

QString ReadingAids::tipAt(const DiffView* view, QPoint point) const {
    const std::optional<TextCell> cell = cellUnder(view, point);
    return cell ? cellTip(view, *cell) : summaryTip(view);
}

QString ReadingAids::positionText(const DiffView* view, TextCell cell) const {
    return QStringLiteral("%1:%2:%3")
        .arg(view == first_ ? shownPath1_ : shownPath2_)
        .arg(originLine_ + std::uint64_t(cell.line) + 1)
        .arg(originColumn_ + std::uint64_t(cell.column) + 1);
}

// cursorForPosition() gives the caret position nearest to the point, which lies on either side
// of the character under it: the character is the one whose drawn box holds the point.
std::optional<TextCell> ReadingAids::cellUnder(const DiffView* view, QPoint point) const {
    const std::u32string_view characters = view->characters();
    const int nearest = offsetAt(view, view->cursorForPosition(point).position());
    for (const int offset : {nearest, nearest - 1}) {
        if (offset < 0 || std::size_t(offset) >= characters.size() ||
            characters[std::size_t(offset)] == U'\r' || characters[std::size_t(offset)] == U'\n') {
            continue;
        }
        const QRect start = view->cursorRect(cursorAt(view, view->documentPosition(offset)));
        const QRect end = view->cursorRect(cursorAt(view, view->documentPosition(offset + 1)));
        const int left = std::min(start.left(), end.left());
        const int right = std::max(start.left(), end.left());
        if (point.y() >= start.top() && point.y() <= start.bottom() && point.x() >= left &&
            point.x() < right) {
            return gridOf(view).cellOf(offset);
        }
    }
    return std::nullopt;
}

TextCell ReadingAids::caretCell(const DiffView* view) const {
    const int position = view->textCursor().position();
    return gridOf(view).cellOf(offsetAt(view, position));
}

TextCell ReadingAids::carets() const { return std::max(caretCell(first_), caretCell(second_)); }

QRect ReadingAids::cellRect(const DiffView* view, TextCell cell) const {
    const int offset = gridOf(view).offsetOf(cell);
    const QRect start = view->cursorRect(cursorAt(view, view->documentPosition(offset)));
    const QRect end = view->cursorRect(cursorAt(view, view->documentPosition(offset + 1)));
    if (end.top() != start.top() || end.left() <= start.left()) {
        return start;
    }
    return start.united(end);
}

void ReadingAids::describeCaret(DiffView* view) {
    const TextCell cell = caretCell(view);
    const QRect rect = view->cursorRect();
    // No area: the pointer may be anywhere, and moving it must not hide the tip at once.
    QToolTip::showText(view->viewport()->mapToGlobal(rect.topRight()), cellTip(view, cell),
                       view->viewport());
}

void ReadingAids::moveCarets(TextCell cell) {
    for (DiffView* view : {second_, first_}) {
        view->setSelectionStart(gridOf(view).offsetOf(cell));
        view->ensureCursorVisible();
    }
}

void ReadingAids::goToFirstDifference() { goToEndDifference(Direction::Backward); }

void ReadingAids::goToLastDifference() { goToEndDifference(Direction::Forward); }

// The last difference going forward, the first going backward.
void ReadingAids::goToEndDifference(Direction direction) {
    const bool forward = direction == Direction::Forward;
    if (windowed_) {
        emit forward ? lastDifferenceRequested() : firstDifferenceRequested();
        return;
    }
    if (const std::optional<int> line = forward ? navigator_.lastLine() : navigator_.firstLine()) {
        first_->moveCaretToLine(*line);
        second_->moveCaretToLine(*line);
    }
    noteDifference(direction);
}

void ReadingAids::goToNextRun() { goToRun(Direction::Forward); }

void ReadingAids::goToPreviousRun() { goToRun(Direction::Backward); }

void ReadingAids::goToRun(Direction direction) {
    if (windowed_) {
        emit runRequested(direction); // the runs of a window are not those of the whole files
        return;
    }
    findRuns();
    const TextCell from = carets();
    const std::optional<TextCell> run = navigator_.runFrom(from, direction);
    if (run) {
        moveCarets(*run);
    }
    if (navigator_.compared()) {
        const TextCell at = run.value_or(from);
        showNote(noteView(at.line), navigator_.noteAt(at.line, at.column, direction));
    }
}

void ReadingAids::noteDifference(Direction direction) {
    if (!navigator_.compared()) {
        return;
    }
    const int line = carets().line;
    showNote(noteView(line), navigator_.noteAt(line, std::nullopt, direction));
}

void ReadingAids::noteWindowedDifference(std::uint64_t line, std::optional<std::uint64_t> index,
                                         std::uint64_t total, Direction direction,
                                         std::optional<std::uint64_t> column) {
    const int shown = line >= originLine_ ? int(line - originLine_) : 0;
    showNote(noteView(shown), DifferenceNavigator::note(index, total, line, column, direction));
}

DiffView* ReadingAids::noteView(int line) const {
    return caretCell(lastUsed_).line == line ? lastUsed_ : other(lastUsed_);
}

void ReadingAids::showNote(DiffView* view, const QString& text) {
    const QRect rect = view->cursorRect();
    QToolTip::showText(view->viewport()->mapToGlobal(rect.topRight()), text, view->viewport(), {},
                       kNoteMilliseconds);
}

QMenu* ReadingAids::createContextMenu(DiffView* view, TextCell cell) {
    lastUsed_ = view;
    QMenu* menu = view->createStandardContextMenu();
    menu->addSeparator();
    const bool compared = navigator_.compared();
    auto add = [menu, compared](const char* name, const QString& text) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setEnabled(compared);
        return action;
    };
    // The keys are named after a tab, where a menu shows an entry's shortcut. The entries that
    // show a tip do their work once the menu has closed: the focus coming back to the view would
    // hide a tip shown before.
    QAction* describe = add("describeCharacter", QStringLiteral("Describir el carácter\tCtrl+I"));
    connect(
        describe, &QAction::triggered, this,
        [this, view, cell] {
            const QRect rect = cellRect(view, cell);
            QToolTip::showText(view->viewport()->mapToGlobal(rect.topRight()), cellTip(view, cell),
                               view->viewport());
        },
        Qt::QueuedConnection);
    QAction* copy = add("copyPosition", QStringLiteral("Copiar posición"));
    connect(copy, &QAction::triggered, this,
            [this, view, cell] { QApplication::clipboard()->setText(positionText(view, cell)); });
    QAction* next = add("nextDifference", QStringLiteral("Siguiente diferencia\tAlt+↓"));
    connect(next, &QAction::triggered, this, &ReadingAids::nextDifferenceRequested,
            Qt::QueuedConnection);
    QAction* previous = add("previousDifference", QStringLiteral("Diferencia anterior\tAlt+↑"));
    connect(previous, &QAction::triggered, this, &ReadingAids::previousDifferenceRequested,
            Qt::QueuedConnection);
    return menu;
}

// A menu asked for with the mouse is about the character under it, if any; from the keyboard,
// about the caret.
bool ReadingAids::showContextMenu(DiffView* view, QEvent* event) {
    auto* request = static_cast<QContextMenuEvent*>(event);
    std::optional<TextCell> cell;
    QPoint at = request->globalPos();
    if (request->reason() == QContextMenuEvent::Mouse) {
        const QPoint point = view->viewport()->mapFromGlobal(request->globalPos());
        cell = cellUnder(view, point);
    } else {
        at = view->viewport()->mapToGlobal(view->cursorRect().bottomRight());
    }
    QMenu* menu = createContextMenu(view, cell.value_or(caretCell(view)));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(at);
    event->accept();
    return true;
}

bool ReadingAids::eventFilter(QObject* watched, QEvent* event) {
    DiffView* view = viewOf(watched);
    if (!view) {
        return false;
    }
    if (event->type() == QEvent::FocusIn && watched == view) {
        lastUsed_ = view;
        return false;
    }
    if (event->type() == QEvent::ContextMenu) {
        return showContextMenu(view, event);
    }
    if (event->type() == QEvent::ToolTip && watched != view) {
        auto* help = static_cast<QHelpEvent*>(event);
        const std::optional<TextCell> cell = cellUnder(view, help->pos());
        const QString tip = cell ? cellTip(view, *cell) : summaryTip(view);
        if (tip.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            // A character's tip stays while the pointer is over that character.
            const QRect rect = cell ? cellRect(view, *cell) : view->viewport()->rect();
            QToolTip::showText(help->globalPos(), tip, view->viewport(), rect);
        }
        return true;
    }
    return false;
}
