#pragma once

// Reading aids for the two compared views, which change nothing until the user asks:
//  - hovering a character shows its line, column, code point and name, and what stands at the
//    same line and column of the other file; elsewhere in a view, the comparison's totals and what
//    differs in the files' bytes (comparison_summary.h). Ctrl+I tells the same of the character
//    at the caret;
//  - Alt+Home and Alt+End go to the first and last line with a difference, Alt+Right and
//    Alt+Left to the next and previous run of differing characters; each move (Alt+Down and
//    Alt+Up too, through noteDifference()) shows for a moment which difference it reached;
//  - the views' context menu adds "Copiar posición" and the moves between differences.
// For a comparison without limits, whose views hold windows of the files, the tips and positions
// count from the window's origin and the summary gives the whole comparison's totals; the moves to
// the first or last difference and by run are asked of the window's owner, which carries them out
// over the whole files (moving the window) and notes them with noteWindowedDifference().
// Notes and tips are tooltips: nothing modal, nothing that stays. The aids are children of the
// window and refer to its two views, which must live as long as they do.

#include "comparison/comparison.h"
#include "main_window/comparison_summary.h"
#include "main_window/difference_navigator.h"
#include "main_window/text_grid.h"

#include <QObject>
#include <QPoint>
#include <QString>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

class DiffView;
class QMenu;
class QWidget;

class ReadingAids : public QObject {
    Q_OBJECT

public:
    // How long a note of a move stays.
    static constexpr int kNoteMilliseconds = 3000;

    ReadingAids(DiffView* first, DiffView* second, QWidget* window);

    // Takes in a comparison that the views show: its differences, the lines holding one
    // (0-based, increasing) and each file's path as the path boxes showed it.
    void setComparison(const parvane::Comparison& result, std::vector<int> differenceLines,
                       const QString& shownPath1, const QString& shownPath2);

    // Takes in a comparison without limits, whose views show windows of the files: the totals for
    // the summary and the lines of each file (see the header comment for the moves).
    void setWindowedComparison(const ComparisonSummary& first, const ComparisonSummary& second,
                               const QString& shownPath1, const QString& shownPath2);
    // Where the views' windows start in the whole files (0-based line pair and column), which
    // the tips and positions add to what they count in the views.
    void setWindowOrigin(std::uint64_t firstLine, std::uint64_t firstColumn);

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
    // Shows which difference the carets stand on after a move by line in `direction`.
    void noteDifference(DifferenceNavigator::Direction direction);
    // The same in a comparison without limits: the carets stand on `line` of the whole files,
    // which is difference `index` (0-based, none when the line holds none) of `total`; after a
    // move by run, the note names the carets' `column` too.
    void noteWindowedDifference(std::uint64_t line, std::optional<std::uint64_t> index,
                                std::uint64_t total, DifferenceNavigator::Direction direction,
                                std::optional<std::uint64_t> column = std::nullopt);

signals:
    void nextDifferenceRequested();
    void previousDifferenceRequested();
    // Alt+Home and Alt+End while the views hold windows, for the window's owner to carry out.
    void firstDifferenceRequested();
    void lastDifferenceRequested();
    // Alt+Right and Alt+Left while the views hold windows, for the window's owner to carry out
    // over the whole files.
    void runRequested(DifferenceNavigator::Direction direction);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DiffView* other(const DiffView* view) const;
    DiffView* viewOf(const QObject* object) const;
    // Where both carets stand: the further of the two, as a caret stops at its file's end.
    TextCell carets() const;
    void moveCarets(TextCell cell);
    void goToEndDifference(DifferenceNavigator::Direction direction);
    void goToRun(DifferenceNavigator::Direction direction);
    // Gives the navigator the runs of differing characters, once a comparison.
    void findRuns();
    // The view that shows a note: the one last used, unless its caret could not reach `line`.
    DiffView* noteView(int line) const;
    void showNote(DiffView* view, const QString& text);
    QRect cellRect(const DiffView* view, TextCell cell) const;
    bool showContextMenu(DiffView* view, QEvent* event);

    DiffView* first_;
    DiffView* second_;
    QWidget* viewport1_; // the views' viewports, told apart without asking the views
    QWidget* viewport2_;
    DiffView* lastUsed_; // the view last focused or last asked for its menu
    QWidget* window_;
    DifferenceNavigator navigator_;
    QString shownPath1_, shownPath2_;
    std::vector<std::int16_t> differences1_, differences2_;
    parvane::FileTraits traits1_, traits2_;
    std::optional<std::pair<ComparisonSummary, ComparisonSummary>> windowed_; // their totals
    std::uint64_t originLine_ = 0, originColumn_ = 0;
    bool runsFound_ = false;
};
