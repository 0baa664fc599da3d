#pragma once

// Reading aids for the two compared views, which change nothing until the user asks:
//  - hovering a character shows its line, column, code point and name, and what stands at the
//    same line and column of the other file; elsewhere in a view, the comparison's totals and what
//    differs in the files' bytes (comparison_summary.h). Ctrl+I tells the same of the character
//    at the caret;
//  - Alt+Home and Alt+End go to the first and last line with a difference, Alt+Right and
//    Alt+Left to the next and previous run of differing characters; each move (Alt+Down and
//    Alt+Up too, through noteDifference()) shows for a moment which difference it reached;
//  - the views' context menu adds "Copiar posición", the moves between differences,
//    "Resaltar las diferencias", which turns the highlight background of both views on and off,
//    "Campos…", which asks the window for a record layout, and "Letra de ancho fijo", which
//    asks the window to turn fixed-width letters on or off;
//  - with a record layout (setLayout()), the tips name the field of a character with its value
//    in both files, "Copiar posición" adds the field's name, and the totals list the fields
//    that differ (layout_fields.h);
//  - after every comparison that found differences, a note by the views says how many lines
//    differ and which is the first, for a few seconds, leaving the carets where they are; a click
//    on a mark of a bar (difference_marks.h) gets the note of a move.
// The views hold windows of the files (comparison_views.h): tips and positions count from the
// window's origin, and the moves go over the whole files. Notes and tips are tooltips: nothing
// modal, nothing that stays. The aids are children of the window and refer to its two views and
// to what shows the comparison in them, which must live as long as they do.

#include "comparison/record_layout.h"
#include "comparison/shift_hint.h"
#include "main_window/layout_fields.h"
#include "main_window/text_grid.h"

#include <QObject>
#include <QPoint>
#include <QString>

#include <cstdint>
#include <optional>

class ComparisonViews;
class DiffView;
class QMenu;
class QWidget;

class ReadingAids : public QObject {
    Q_OBJECT

public:
    // How long a note of a move stays, and the note of a comparison.
    static constexpr int kNoteMilliseconds = 3000;
    static constexpr int kComparisonNoteMilliseconds = 5000;
    // How long the note of a comparison waits for the window to be activated, which would hide
    // it at once if it came after.
    static constexpr int kActivationWaitMilliseconds = 1000;

    ReadingAids(DiffView* first, DiffView* second, ComparisonViews* views, QWidget* window);

    // A comparison is shown: each file's path as the path boxes showed it.
    void setShownPaths(const QString& shownPath1, const QString& shownPath2);
    // The record layout whose fields the tips name; none: no fields.
    void setLayout(std::optional<parvane::RecordLayout> layout);
    bool hasLayout() const { return fields_.layout().has_value(); }
    // The record type of line pair `line` of the whole files; none without a layout, for a line
    // of no type, or when the file cannot be read now.
    const parvane::RecordType* recordTypeOf(std::uint64_t line) const;

    // The tooltip for `point` of `view`'s viewport: the character there, or the summary.
    QString tipAt(const DiffView* view, QPoint point) const;
    // The tip for `cell` of `view`: its character against the same cell of the other file.
    QString cellTip(const DiffView* view, TextCell cell) const;
    // The comparison's totals and notes for `view`; empty before a comparison.
    QString summaryTip(const DiffView* view) const;
    // "fichero:línea:columna" for `cell` of `view`, lines and columns from 1.
    QString positionText(const DiffView* view, TextCell cell) const;

    // The cell of the character drawn under `point` of `view`'s viewport, if any.
    std::optional<TextCell> cellUnder(const DiffView* view, QPoint point) const;
    TextCell caretCell(const DiffView* view) const;

    // Shows the tip of the character at the caret of `view` beside it.
    void describeCaret(DiffView* view);
    // The view's standard context menu with the aids' entries for `cell`; the caller owns it.
    QMenu* createContextMenu(DiffView* view, TextCell cell);

    void goToFirstDifference();
    void goToLastDifference();
    void goToNextRun();
    void goToPreviousRun();
    // Shows which difference the carets stand on after a move by line, forward or backward;
    // after a move by run, the note names the carets' `column` too.
    void noteDifference(bool forward, std::optional<std::uint64_t> column = std::nullopt);

    // "Diferencia 3 de 17 · línea 45" for difference `index` (0-based) of `total` on `line`, with
    // ", columna 7" when a column is given; with no index (the line holds none) what is left in
    // that direction: "Ninguna diferencia más abajo", or "No hay diferencias" at all.
    static QString note(std::optional<std::uint64_t> index, std::uint64_t total, std::uint64_t line,
                        std::optional<std::uint64_t> column, bool forward);
    // "12 líneas difieren; la primera, la 20 514" for `lines` differing lines, the first of them
    // `first` (0-based); "1 línea difiere: la 7" for one; then, on a line of its own, the hint of
    // a shifted file if there is one.
    static QString comparisonNote(std::uint64_t lines, std::uint64_t first,
                                  const std::optional<parvane::ShiftHint>& shift = std::nullopt);
    // Shows the note of the comparison shown, if it found differences; empty otherwise.
    QString noteComparison();

signals:
    // The context menu's moves, for the window to carry out as Alt+Down and Alt+Up.
    void nextDifferenceRequested();
    void previousDifferenceRequested();
    // The menu's "Campos…", for the window to ask for a layout file.
    void layoutRequested();
    // The menu's "Omitir…", for the window to ask what its comparisons leave out.
    void rulesRequested();
    // The menu's "Letra de ancho fijo", checked (`on`) or not, for the window to carry out as
    // Ctrl+M.
    void fixedPitchRequested(bool on);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DiffView* other(const DiffView* view) const;
    // The field note of line `line`, column `column` of the whole files; empty without a layout
    // or when the file cannot be read now.
    QString fieldNote(std::uint64_t line, std::uint64_t column) const;
    // «omitido: …» and the rule, when the character of `view` at line `line`, column `column` of
    // the whole files differs only in what the rules leave out; else empty.
    QString omissionNote(const DiffView* view, std::uint64_t line, std::uint64_t column) const;
    DiffView* viewOf(const QObject* object) const;
    // The view that shows a note: the one last used, unless its caret could not reach `line` of
    // its window.
    DiffView* noteView(int line) const;
    void showNote(DiffView* view, const QString& text);
    QRect cellRect(const DiffView* view, TextCell cell) const;
    bool showContextMenu(DiffView* view, QEvent* event);
    // Shows the note of the comparison once the window is active, or after a while.
    void noteComparisonSoon();
    void showDueNote();

    DiffView* first_;
    DiffView* second_;
    QWidget* viewport1_; // the views' viewports, told apart without asking the views
    QWidget* viewport2_;
    ComparisonViews* views_;
    DiffView* lastUsed_; // the view last focused or last asked for its menu
    QWidget* window_;
    QString shownPath1_, shownPath2_;
    bool comparisonNoteDue_ = false;
    LayoutFields fields_;
};
