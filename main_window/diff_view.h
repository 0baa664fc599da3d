#pragma once

// A read-only view of one compared file (or of a window of it) that can colour single characters.
//
// The view is addressed in offsets of its display text: characters (code points) counted from 0,
// in which every line break "\r\n" counts as two characters. The text is always shown as plain
// text, never interpreted as markup; characters that would not be seen are drawn as visible
// stand-ins one for one (see shown_character.h, drawn_stand_in.h), so offsets and what is seen
// stay in step, and a coloured character that covers no ink gets a box. Offsets past the end are
// clamped. Every line has the height of the view's font, whatever it holds, so line k of two
// views stays level, and reads from left to right, whatever its first letter (a right-to-left
// word keeps its own order within it), so that column 1 is at the left of both views.
//
// With the highlight background on (setHighlightBackground(), off by default), every differing
// character is drawn on a light background as well as in red, so that the differences do not
// rely on colour alone; the red on that background keeps a contrast of at least 4.5:1.
//
// With fixed-width letters on (setFixedPitch(), off by default), the view writes in the system's
// monospace font at its own size, every character in one cell of the same width (fixed_cells.h),
// so that column k of every line stands under column k of every other: a tab is one cell with an
// arrow drawn in it (the text keeps the tab, and so do copies), and a ruler of columns
// (column_ruler.h) stands above the text, in room the view leaves there.
//
// A view can be given more lines and more width than its text needs (empty room after the
// text), so that two views side by side scroll alike (level_layout.h). The room is not text: the
// document holds the display text alone, and copying gives the file's own characters.

#include "main_window/fixed_cells.h"
#include "main_window/shown_text.h"

#include <QPlainTextEdit>

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

class ColumnRuler;
class DrawnStandIn;
class LevelLayout;
class QMouseEvent;
class QThread;

class DiffView : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit DiffView(QWidget* parent = nullptr);

    // The colour of differing characters, and the background behind them when asked for.
    static QColor highlightColour();
    // The colour of differing characters that the comparison's rules leave out: white, neutral
    // and faded beside the text's black and the red, 3.1:1 against the views' blue.
    static QColor leftOutColour();
    static QColor highlightBackgroundColour();

    // Draws the differing characters on the highlight background (`on`) or as the comparison
    // colours them; it stays so for whatever the view shows next.
    void setHighlightBackground(bool on);
    bool highlightBackground() const { return highlightBackground_; }

    // Fixed-width letters and the ruler (`on`), or the view's own font again; it stays so for
    // whatever the view shows next.
    void setFixedPitch(bool on);
    bool fixedPitch() const { return cells_.has_value(); }
    // The width of a column's cell with fixed-width letters; 0 without them.
    qreal cellWidth() const { return cells_ ? cells_->cellWidth() : 0; }
    // Where the lines' first column starts in the viewport, as scrolled sideways.
    qreal textLeft() const;
    ColumnRuler* ruler() const { return ruler_; }
    // The room above the text, which the ruler takes; 0 without it.
    int roomAbove() const { return roomAbove_; }

    // Replaces the whole content with `displayText`, uncoloured.
    void setDisplayText(const QString& displayText);
    QString displayText() const { return text_.displayText(); }
    // Colours the characters of `runs` (increasing) in the highlight colour, and those of
    // `leftOut` in the left-out colour, as formats of the lines' layouts, or, where a format would
    // cut through shaped text, as the view's extra selections, which it draws over the shaped
    // lines (see ShownText::colour()).
    void colour(std::span<const OffsetRun> runs, std::span<const OffsetRun> leftOut = {});

    // A view's whole content made away from any view: what setDisplayText() and then colour()
    // would make, in a document of its own that no view shows yet. It touches no widget, so it
    // may be made on any thread; the document is then handed to `owner`, the thread of the view
    // that will show it.
    struct Content {
        ShownText text;
        std::unique_ptr<QTextDocument> document;
    };
    static Content makeContent(const QString& displayText, std::span<const OffsetRun> runs,
                               std::span<const OffsetRun> leftOut, QThread* owner);
    // Shows `content` in place of what the view shows.
    void showContent(Content content);

    // The least number of lines the view shows, the room after its text included.
    void setLevelLines(int lines);

    // Puts the caret at the start of `line` (0-based), or of the last line for a line past it,
    // and scrolls it into view.
    void moveCaretToLine(int line);

    // The width the view's lines take, and the least width the view scrolls over.
    qreal naturalWidth() const;
    void setLevelWidth(qreal width);

    // Puts the caret at `offset` with nothing selected.
    void setSelectionStart(int offset);

    // The document position at which the character at `offset` is shown.
    int documentPosition(int offset) const;

    // What the view's selection gives the clipboard, the X11 primary selection and a drag, in
    // place of the view's own text: `source` gives the data, or null for the view's own.
    void setSelectionSource(std::function<QMimeData*()> source) {
        selectionSource_ = std::move(source);
    }

    // Leaves room at the view's right and bottom edges, beside the text, for scroll bars that a
    // caller places there; 0 and 0 for none.
    void setRoomForBars(int right, int bottom);
    // The character at each offset, and the offset at which each line starts (see text_grid.h).
    std::u32string_view characters() const { return text_.characters(); }
    std::span<const int> lineStarts() const { return text_.lineStarts(); }

protected:
    QMimeData* createMimeDataFromSelection() const override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

signals:
    // The width the lines take has changed (more of them have been laid out, or new text).
    void naturalWidthChanged();
    // roomAbove() has changed: the lines have moved down or up.
    void roomAboveChanged();

private:
    // Keeps the caret and the selection within the text.
    void keepCaretInText();
    // `event` as if it were over the text: a point in the room after the text is taken as one on
    // the last line.
    QMouseEvent overText(const QMouseEvent* event) const;

    // Gives the view `document`, laid out by a new level layout of the same least width.
    void adoptDocument(QTextDocument* document);
    // Draws the colours of text_ that are not formats over the shaped lines.
    void showOverlays();
    // Gives the differing characters' formats the highlight background, or takes it away.
    void backDifferences();
    // `format`, a differing character's, with the highlight background when it is on.
    QTextCharFormat backed(QTextCharFormat format) const;
    // The document's text options: lines read from the left, and tab stops a cell apart with
    // fixed-width letters.
    void setTextOptions(QTextDocument* document) const;
    // With fixed-width letters, every character of the document takes one cell.
    void fitCells();
    // The room around the text: the ruler's above, the bars' at the right and bottom.
    void placeRoom();
    void drawTabMarks();

    DrawnStandIn* drawnStandIn_;
    LevelLayout* layout_ = nullptr;
    ShownText text_;
    std::function<QMimeData*()> selectionSource_;
    bool highlightBackground_ = false;
    std::optional<FixedCells> cells_;
    QFont ownFont_; // the font to go back to from fixed-width letters
    ColumnRuler* ruler_;
    int roomAbove_ = 0, roomRight_ = 0, roomBottom_ = 0;
};
