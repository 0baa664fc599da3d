#include "main_window/reading_aids.h"

#include "comparison/comparison_error.h"
#include "comparison/comparison_notes.h"
#include "main_window/character_info.h"
#include "main_window/comparison_summary.h"
#include "main_window/comparison_views.h"
#include "main_window/diff_view.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QMenu>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <utility>

namespace {

// What a tooltip adds to its text's width, and a little more.
constexpr int kNotePadding = 16;

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

} // namespace

ReadingAids::ReadingAids(DiffView* first, DiffView* second, ComparisonViews* views, QWidget* window)
    : QObject(window), first_(first), second_(second), viewport1_(first->viewport()),
      viewport2_(second->viewport()), views_(views), lastUsed_(first), window_(window) {
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
    connect(views_, &ComparisonViews::shown, this, &ReadingAids::noteComparisonSoon);
    connect(views_, &ComparisonViews::markFollowed, this, [this] { noteDifference(true); });
    window_->installEventFilter(this);
}

// A window that is activated hides any tooltip: a note shown before the window of a comparison
// made at start-up is activated would be gone at once.
void ReadingAids::noteComparisonSoon() {
    comparisonNoteDue_ = true;
    if (window_->isActiveWindow()) {
        showDueNote();
    } else {
        QTimer::singleShot(kActivationWaitMilliseconds, this, &ReadingAids::showDueNote);
    }
}

void ReadingAids::showDueNote() {
    if (comparisonNoteDue_) {
        comparisonNoteDue_ = false;
        noteComparison();
    }
}

QString ReadingAids::noteComparison() {
    const parvane::FileComparison* comparison = views_->comparison();
    const std::optional<std::uint64_t> first =
        comparison ? comparison->firstDifferingLine() : std::nullopt;
    if (!first) {
        return {};
    }
    const QString text =
        comparisonNote(comparison->differingLineCount(), *first, comparison->shift());
    // At the top of the second view, against its bar with the marks; a tooltip is placed a
    // little below and to the right of the point it is given, and is a little wider than its text.
    QWidget* area = second_->viewport();
    const int width = QFontMetrics(QToolTip::font()).size(0, text).width() + kNotePadding;
    const QPoint corner = area->mapToGlobal(QPoint(std::max(0, area->width() - width), 0));
    QToolTip::showText(corner, text, area, {}, kComparisonNoteMilliseconds);
    return text;
}

QString ReadingAids::comparisonNote(std::uint64_t lines, std::uint64_t first,
                                    const std::optional<parvane::ShiftHint>& shift) {
    const auto grouped = [](std::uint64_t number) {
        return QString::fromStdString(parvane::groupedNumber(number));
    };
    QString text = lines == 1 ? QStringLiteral("1 línea difiere: la %1").arg(grouped(first + 1))
                              : QStringLiteral("%1 líneas difieren; la primera, la %2")
                                    .arg(grouped(lines), grouped(first + 1));
    if (shift) {
        text += u'\n' + QString::fromStdString(parvane::shiftNote(*shift));
    }
    return text;
}

void ReadingAids::setShownPaths(const QString& shownPath1, const QString& shownPath2) {
    shownPath1_ = shownPath1;
    shownPath2_ = shownPath2;
    // A new comparison: its fields are counted anew.
    fields_.setLayout(fields_.layout());
}

void ReadingAids::setLayout(std::optional<parvane::RecordLayout> layout) {
    fields_.setLayout(std::move(layout));
}

const parvane::RecordType* ReadingAids::recordTypeOf(std::uint64_t line) const {
    const parvane::FileComparison* comparison = views_->comparison();
    if (!comparison) {
        return nullptr;
    }
    try {
        return fields_.typeOf(*comparison, line);
    } catch (const parvane::ComparisonError&) {
        return nullptr; // a changed file is told when the views next read it
    }
}

QString ReadingAids::fieldNote(std::uint64_t line, std::uint64_t column) const {
    const parvane::FileComparison* comparison = views_->comparison();
    if (!comparison || !fields_.layout()) {
        return {};
    }
    try {
        return fields_.cellNote(*comparison, line, column);
    } catch (const parvane::ComparisonError&) {
        return {}; // a changed file is told when the views next read it
    }
}

QString ReadingAids::omissionNote(const DiffView* view, std::uint64_t line,
                                  std::uint64_t column) const {
    const parvane::FileComparison* comparison = views_->comparison();
    if (!comparison || comparison->rules().empty()) {
        return {};
    }
    try {
        const std::optional<parvane::Omission> omission =
            comparison->omission(line, view == first_ ? 1 : 2, column);
        return omission ? QString::fromStdString(comparison->rules().describe(*omission))
                        : QString();
    } catch (const parvane::ComparisonError&) {
        return {}; // a changed file is told when the views next read it
    }
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
    const std::uint64_t line = views_->windowFirstLine() + std::uint64_t(cell.line);
    const std::uint64_t column = views_->windowFirstColumn() + std::uint64_t(cell.column);
    QString tip = character_info::positionTip(line + 1, column + 1, gridOf(view).placeAt(cell),
                                              gridOf(other(view)).placeAt(cell));
    if (const QString omitted = omissionNote(view, line, column); !omitted.isEmpty()) {
        tip += u'\n' + omitted;
    }
    if (const QString field = fieldNote(line, column); !field.isEmpty()) {
        tip += u'\n' + field;
    }
    return tip;
}

QString ReadingAids::summaryTip(const DiffView* view) const {
    const parvane::FileComparison* comparison = views_->comparison();
    if (!comparison) {
        return {};
    }
    const int file = view == first_ ? 1 : 2;
    const parvane::ComparisonTotals& totals = comparison->totals();
    ComparisonSummary summary;
    summary.differingCharacters =
        qint64(file == 1 ? totals.differingCharacters1 : totals.differingCharacters2);
    summary.differingLines = qint64(totals.differingLines);
    summary.lines = qint64(comparison->lineCount(file));
    summary.otherLines = qint64(comparison->lineCount(3 - file));
    summary.leftOutCharacters =
        qint64(file == 1 ? totals.leftOutCharacters1 : totals.leftOutCharacters2);
    summary.leftOutLines = qint64(totals.leftOutLines);
    for (const std::string& rule : comparison->rules().described()) {
        summary.rules << QString::fromStdString(rule);
    }
    QStringList notes = comparison_summary::notesOn(*comparison);
    try {
        notes << fields_.totalsNotes(*comparison);
    } catch (const parvane::ComparisonError&) {
        // a changed file is told when the views next read it
    }
    return summary.tip(notes);
}

QString ReadingAids::tipAt(const DiffView* view, QPoint point) const {
    const std::optional<TextCell> cell = cellUnder(view, point);
    return cell ? cellTip(view, *cell) : summaryTip(view);
}

QString ReadingAids::positionText(const DiffView* view, TextCell cell) const {
    const std::uint64_t line = views_->windowFirstLine() + std::uint64_t(cell.line);
    const std::uint64_t column = views_->windowFirstColumn() + std::uint64_t(cell.column);
    QString text = QStringLiteral("%1:%2:%3")
                       .arg(view == first_ ? shownPath1_ : shownPath2_)
                       .arg(line + 1)
                       .arg(column + 1);
    const parvane::FileComparison* comparison = views_->comparison();
    if (comparison && fields_.layout()) {
        try {
            if (const QString field = fields_.fieldName(*comparison, line, column);
                !field.isEmpty()) {
                text += u' ' + field;
            }
        } catch (const parvane::ComparisonError&) {
            // the position alone
        }
    }
    return text;
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

void ReadingAids::goToFirstDifference() {
    views_->goToFirstDifference();
    noteDifference(false);
}

void ReadingAids::goToLastDifference() {
    views_->goToLastDifference();
    noteDifference(true);
}

void ReadingAids::goToNextRun() { noteDifference(true, views_->goToRun(true).column); }

void ReadingAids::goToPreviousRun() { noteDifference(false, views_->goToRun(false).column); }

void ReadingAids::noteDifference(bool forward, std::optional<std::uint64_t> column) {
    const parvane::FileComparison* comparison = views_->comparison();
    if (!comparison) {
        return;
    }
    const std::uint64_t line = views_->caretLine();
    const std::uint64_t before = comparison->differingLinesBefore(line);
    const bool holds = comparison->differingLinesBefore(line + 1) > before;
    const std::uint64_t origin = views_->windowFirstLine();
    const int shown = line >= origin ? int(line - origin) : 0;
    showNote(noteView(shown), note(holds ? std::optional(before) : std::nullopt,
                                   comparison->differingLineCount(), line, column, forward));
}

QString ReadingAids::note(std::optional<std::uint64_t> index, std::uint64_t total,
                          std::uint64_t line, std::optional<std::uint64_t> column, bool forward) {
    if (total == 0) {
        return QStringLiteral("No hay diferencias");
    }
    if (!index) {
        return forward ? QStringLiteral("Ninguna diferencia más abajo")
                       : QStringLiteral("Ninguna diferencia más arriba");
    }
    QString text =
        QStringLiteral("Diferencia %1 de %2 · línea %3").arg(*index + 1).arg(total).arg(line + 1);
    if (column) {
        text += QStringLiteral(", columna %1").arg(*column + 1);
    }
    return text;
}

DiffView* ReadingAids::noteView(int line) const {
    return caretCell(lastUsed_).line == line ? lastUsed_ : other(lastUsed_);
}

void ReadingAids::showNote(DiffView* view, const QString& text) {
    comparisonNoteDue_ = false; // a move's note is newer
    const QRect rect = view->cursorRect();
    QToolTip::showText(view->viewport()->mapToGlobal(rect.topRight()), text, view->viewport(), {},
                       kNoteMilliseconds);
}

QMenu* ReadingAids::createContextMenu(DiffView* view, TextCell cell) {
    lastUsed_ = view;
    QMenu* menu = view->createStandardContextMenu();
    menu->addSeparator();
    const bool compared = views_->comparison() != nullptr;
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
    menu->addSeparator();
    QAction* fields = add("chooseLayout", QStringLiteral("Campos…"));
    fields->setEnabled(true); // before any comparison too: it holds for the next
    connect(fields, &QAction::triggered, this, &ReadingAids::layoutRequested, Qt::QueuedConnection);
    QAction* omit = add("chooseRules", QStringLiteral("Omitir…"));
    omit->setEnabled(true); // before any comparison too: it holds for the next
    connect(omit, &QAction::triggered, this, &ReadingAids::rulesRequested, Qt::QueuedConnection);
    QAction* highlight = add("highlightDifferences", QStringLiteral("Resaltar las diferencias"));
    highlight->setEnabled(true); // before any comparison too: it holds for the next
    highlight->setCheckable(true);
    highlight->setChecked(view->highlightBackground());
    connect(highlight, &QAction::toggled, this, [this](bool on) {
        first_->setHighlightBackground(on);
        second_->setHighlightBackground(on);
    });
    QAction* fixedPitch = add("fixedPitch", QStringLiteral("Letra de ancho fijo\tCtrl+M"));
    fixedPitch->setEnabled(true);
    fixedPitch->setCheckable(true);
    fixedPitch->setChecked(view->fixedPitch());
    connect(fixedPitch, &QAction::toggled, this, &ReadingAids::fixedPitchRequested);
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
    if (watched == window_) {
        if (event->type() == QEvent::WindowActivate && comparisonNoteDue_) {
            QTimer::singleShot(0, this, &ReadingAids::showDueNote);
        }
        return false;
    }
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
