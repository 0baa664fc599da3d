#pragma once

// Shows a comparison (parvane::FileComparison) in the main window's two views.
//
// Each view holds a window of its file: for a comparison within the display limits, the whole
// file; without limits, some lines around those in view (and, when lines are long, some columns
// around those in view), never more than kWindowCharacters of display text, so that the views'
// own rules (DiffView) decide how every character is shown and which are red. Within the limits
// the views scroll with their own bars; without them the views' own bars are hidden and scroll
// within the window, and bars of this class, placed where theirs were, span the whole files.
// Either way the number columns number the lines in view, in the whole files, and the vertical
// bars in use carry marks for the differing lines of the whole files (difference_marks.h): a
// click on one moves both views to its line, as Alt+Down does.
// Scrolling near a window's edge fills a new window around what is in view, keeping the carets
// on their lines and columns.
//
// A selection lives in the whole file: its ends are kept as lines and columns of the file, and
// each window shows the part of it that it holds. Selecting with the keys or the mouse past a
// window's edge moves the window and keeps the selection's anchor where it was; Ctrl+A (and the
// context menu's entry) selects the whole file, the X11 primary selection with it, and Ctrl+C,
// Ctrl+Insert or the menu's "Copiar" copy the selection's text from the file (see selection_copy.h
// for a large one), never a line break that the file does not have. In a window of
// columns, End and Home go to the ends of the whole line. The moves between differences and by
// run, the move to a line and the search (text_search.h) go over the whole files.
//
// Errors are shown with the window's MessageBoxes: a file that cannot be compared without limits,
// a file that changed after the comparison (once; the views then keep what they show until the
// next comparison), and a shortage of memory for the pass, a copy or a paste of what the views
// gave the clipboard (memory_shortage.h). The views, number columns and messages must outlive this
// object.

#include "comparison/file_comparison.h"
#include "main_window/bar_scale.h"
#include "main_window/comparison_progress.h"
#include "main_window/diff_view.h"
#include "main_window/window_text.h"

#include <QObject>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

class DiffView;
class DifferenceMarks;
class MessageBoxes;
class NumberColumn;
class QMenu;
class QKeyEvent;
class QMouseEvent;
class QMimeData;
class QScrollBar;
class QThread;
class QTimer;
class QWidget;

class ComparisonViews : public QObject {
    Q_OBJECT

public:
    // The most display text a view of a comparison without limits holds at a time.
    static constexpr int kWindowCharacters = 32000;

    // What both views show of the whole files of a comparison within the limits, made
    // beforehand on any thread by prepare() (see early_comparison.h).
    struct Prepared {
        WindowText window;
        DiffView::Content content;
    };
    using Contents = std::array<Prepared, 2>;
    static Contents prepare(const parvane::FileComparison& comparison, QThread* owner);

    ComparisonViews(DiffView* view1, DiffView* view2, NumberColumn* numbers1,
                    NumberColumn* numbers2, MessageBoxes* messages, QWidget* window);
    ~ComparisonViews() override;

    // Compares the two files without limits (with a progress dialog, see comparison_progress.h)
    // and shows them from their first line. False, with the views as they were, when cancelled
    // or refused (with the error shown), or while busy.
    bool compareUnlimited(const std::filesystem::path& file1, const std::filesystem::path& file2);
    // Shows a finished comparison from its first line; `early`, for a comparison within the
    // limits, is the views' content made beforehand.
    void show(parvane::FileComparison comparison, std::optional<Contents> early = std::nullopt);

    // Whether the views show a comparison without limits, in windows.
    bool unlimited() const { return comparison_ && comparison_->unlimited(); }
    // While a comparison's pass or a copy of a selection reads the files.
    bool busy() const { return busy_; }
    const parvane::FileComparison* comparison() const;

    // Alt+Down, Alt+Up: both carets to the start of the next or previous differing line.
    void goToNextDifference();
    void goToPreviousDifference();
    // Alt+Home, Alt+End: both carets to the start of the first or last differing line.
    void goToFirstDifference();
    void goToLastDifference();
    // Both carets to the start of line pair `line` (0-based) of the whole files, which comes into
    // view the least way (Ctrl+G).
    void goToLine(std::uint64_t line);

    // Ctrl+F, F3, Shift+F3: selects the next match of `text` after the selection (or the caret)
    // of view 1 or 2 in its whole file, or the previous one before it, going round the file's
    // end (text_search.h, with a progress dialog for a long search), and brings it into view
    // clear of the last `clearLines` lines of the views. Nothing while busy or before a
    // comparison; a file found changed since the comparison is told, as a copy tells it, and
    // once it is, every search gives Changed until the files are compared again.
    struct Found {
        enum class Outcome { Found, NotFound, Cancelled, Changed, Failed };
        Outcome outcome = Outcome::Failed;
        std::uint64_t line = 0, column = 0; // where the match starts, 0-based
        bool wrapped = false;               // past the file's end (or start)
    };
    Found find(int view, const QString& text, bool forward, bool matchCase, int clearLines = 0);

    // Alt+Right, Alt+Left: both carets to the start of the next or previous run of differing
    // characters of the whole files, if any (see FileComparison::runFrom()); gives where the
    // carets stand then (line pair and column, 0-based).
    parvane::LineColumn goToRun(bool forward);

    // The line pair at the top of the views and the one the carets stand on (the further one,
    // as a caret stops at the end of its file), counted from 0 in the whole files.
    std::uint64_t topLine() const;
    std::uint64_t caretLine() const;
    // The window the views hold: its first line pair and column, and how many lines.
    std::uint64_t windowFirstLine() const { return first_; }
    std::uint64_t windowFirstColumn() const { return firstColumn_; }
    std::uint64_t windowLineCount() const { return count_; }
    // The bars over the whole files of view 1 or 2.
    QScrollBar* verticalBar(int view) const;
    QScrollBar* horizontalBar(int view) const;
    // The marks of the differences on the vertical bar of view 1 or 2 in use: the view's own
    // within the limits, this class's without them.
    DifferenceMarks* differenceMarks(int view) const;

    // The views' font or the room above their text has changed: the number columns number the
    // lines where they are now, and a window that no longer covers what is in view is filled anew.
    void restyled();

    void setPassPrelude(ComparisonProgress::Prelude prelude) { prelude_ = std::move(prelude); }

    // How every comparison from now on decodes each file; none: both alike, as always.
    void setDecodings(std::optional<parvane::DecodingChoices> decodings) { decodings_ = decodings; }
    const std::optional<parvane::DecodingChoices>& decodings() const { return decodings_; }
    // What every comparison from now on leaves out (comparison_rules.h).
    void setRules(parvane::ComparisonRules rules) { rules_ = std::move(rules); }
    const parvane::ComparisonRules& rules() const { return rules_; }

    // The selection of view 1 or 2 in its whole file, and Ctrl+A and Ctrl+C on it. A copy that the
    // view's own text gives is the view's; any other is read from the file (selection_copy.h), and
    // a file changed since the comparison is reported instead, each time.
    bool hasSelection(int view) const;
    void selectWholeFile(int view);
    void copySelection(int view);
    // What the selection of view 1 or 2 gives the X11 primary selection (and a drag) when the
    // view's own text does not give it (it reaches past the window, or it ends on the empty line
    // after a last line without a line break): its text, read from the file only when pasted, at
    // most kMostPastedBytes (past that, or once the views compare again, empty text). Null when
    // the view gives it itself. The caller owns the data.
    static constexpr std::uint64_t kMostPastedBytes = std::uint64_t{8} << 20;
    QMimeData* selectionData(int view);
    // Tests take what Ctrl+A gives the primary selection (the receiver owns it), which the
    // offscreen platform has not.
    void setPrimarySelection(std::function<void(QMimeData*)> take) {
        primarySelection_ = std::move(take);
    }
    // Tests make copies smaller than SelectionCopy::kMostBytes refused, or copies, pastes of the
    // primary selection and searches slower (`eachPiece` runs after every piece read).
    void setMostCopiedBytes(std::uint64_t most) { mostCopied_ = most; }
    void setCopyPace(std::function<void()> eachPiece) { copyPace_ = std::move(eachPiece); }

signals:
    // The views have started to show a comparison.
    void shown();
    // The views hold a new window, from line pair `firstLine` and column `firstColumn` (0-based).
    void windowFilled(std::uint64_t firstLine, std::uint64_t firstColumn);
    // A click on a mark of a bar has moved both views to its line.
    void markFollowed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Caret {
        std::uint64_t line = 0, column = 0;
        friend auto operator<=>(const Caret&, const Caret&) = default;
    };
    // Where the text cursor's anchor was put in a view's window, and the place of the file it
    // stands for: the selection's anchor, or the caret when nothing is selected.
    struct Reflection {
        int position = -1;
        Caret place;
    };

    // Fills both views with the window around `top` (and `left`, a column), or with `early`;
    // false, with the error shown once, when a file has changed.
    bool fill(std::uint64_t top, std::uint64_t left, std::optional<Contents> early = std::nullopt);
    void chooseWindowShape();
    bool covers(std::uint64_t top, std::uint64_t left) const;
    int visibleLines() const;
    int visibleColumns() const;
    int characterWidth() const;

    Caret caretOf(int view) const;
    Caret placeAt(int view, int position) const;
    bool holds(int view, Caret place) const;
    int offsetOf(int view, Caret place) const;
    void putCaret(int view, Caret caret, std::optional<Caret> anchor = std::nullopt);
    void takeCursor(int view);
    void bringBackCaret(int view);
    void goToLineEdge(int view, bool end, bool select);
    void takeOverMenu(int view, QMenu* menu);
    bool viewHoldsSelection(int view) const;
    // What tells of a shortage of memory met while the clipboard is read: `text`, shown once the
    // task that read it is over.
    std::function<void()> shortageTeller(const QString& text);
    // The text of file `view` (1 or 2) from `from` to `to`, read when first asked for.
    QMimeData* fileText(int view, Caret from, Caret to);
    bool handleKey(int view, const QKeyEvent* key);
    void handleMousePress(int view, const QMouseEvent* press);
    void warnChanged(const QString& text);
    std::uint64_t leftColumn() const;
    void goToEdge(int view, bool end);
    // The caret of `view` at `caret`, selecting from `anchor`, brought into view clear of the
    // last `clearLines` lines.
    void showSelection(int view, Caret caret, Caret anchor, int clearLines);
    void followMark(std::uint64_t line);
    // The marks of the bars in use show the comparison's differing lines.
    void markDifferences();

    // A view's own bar has moved: follow it, and fill a new window if it nears an edge.
    void followViews();
    void refillIfNeeded();
    // One of this class's bars has moved.
    void verticalBarMoved(int value);
    void horizontalBarMoved(int value);
    void updateBars();
    // The number column of `view` numbers the lines in view, the window starting at line `first`;
    // any room above the view's text moves the numbers down with the lines.
    void numberLinesInView(int view, std::uint64_t first);
    void placeBars();
    // The views' own bars, within the limits, or this class's.
    void useOwnBars(bool own);

    std::array<DiffView*, 2> views_;
    std::array<QWidget*, 2> viewports_;
    std::array<NumberColumn*, 2> numbers_;
    std::array<QScrollBar*, 2> vBars_;
    std::array<QScrollBar*, 2> hBars_;
    std::array<DifferenceMarks*, 2> ownMarks_;   // on the views' own bars
    std::array<DifferenceMarks*, 2> wholeMarks_; // on this class's
    MessageBoxes* messages_;
    QWidget* window_;
    QTimer* refill_;
    ComparisonProgress::Prelude prelude_;
    std::optional<parvane::DecodingChoices> decodings_;
    parvane::ComparisonRules rules_;

    std::optional<parvane::FileComparison> comparison_;
    std::uint64_t longest_ = 0; // the longest line of either file, in characters
    bool columnWindow_ = false; // whether a window holds only some columns of long lines
    std::uint64_t lines_ = 0;   // lines a window holds at most
    std::uint64_t columns_ = 0; // columns a window holds at most
    std::uint64_t first_ = 0;   // the window's first line pair
    std::uint64_t count_ = 0;   // line pairs in the window
    std::uint64_t firstColumn_ = 0;
    std::array<std::vector<int>, 2> lineStarts_;            // display offsets of the window's lines
    std::array<std::vector<std::uint64_t>, 2> lineLengths_; // of the window's whole lines
    // Where a caret stands that the window has left behind, until it is moved.
    std::array<std::optional<Caret>, 2> parked_;
    // The other end of each view's selection, when something is selected.
    std::array<std::optional<Caret>, 2> anchors_;
    std::array<Reflection, 2> reflected_;
    bool extending_ = false; // the key or mouse button held stretches a selection
    bool placing_ = false;   // the text cursor is being put where the selection says
    BarScale vScale_, hScale_;
    std::uint64_t mostCopied_;
    std::function<void()> copyPace_;
    std::function<void(QMimeData*)> primarySelection_;
    bool filling_ = false;
    bool stale_ = false; // a file changed: the views keep what they show
    bool busy_ = false;
    std::uint64_t shown_ = 0; // comparisons shown so far
};
