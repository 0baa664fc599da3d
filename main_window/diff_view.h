#pragma once

// A read-only view of one compared file that can colour single characters.
//
// The view is addressed in offsets of its display text: characters (code points) counted from 0,
// in which every line break "\r\n" counts as two characters. The text is always shown as plain
// text, never interpreted as markup; control characters are drawn as visible symbols one for one,
// so offsets and what is seen stay in step. Offsets past the end are clamped.
//
// A view can be given more lines and more width than its text needs (empty room after the text),
// so that two views side by side scroll alike and keep their lines level.

#include <QPlainTextEdit>

#include <cstdint>
#include <span>
#include <vector>

class LevelLayout;

class DiffView : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit DiffView(QWidget* parent = nullptr);

    // Replaces the whole content with `displayText`, shown on at least `minimumLines` lines.
    void setDisplayText(const QString& displayText, int minimumLines = 0);
    QString displayText() const { return displayText_; }

    // How many lines the view shows for `displayText`: one after every line break, and one more.
    static int lineCountOf(const QString& displayText);

    // The lines (0-based) that hold the characters at the given 1-based text positions
    // (increasing), each line once, in increasing order.
    std::vector<int> linesOf(std::span<const std::int16_t> positions) const;

    // Puts the caret at the start of `line` (0-based) and scrolls it into view.
    void moveCaretToLine(int line);

    // The width the view's lines take, and the least width the view scrolls over.
    qreal naturalWidth() const;
    void setMinimumWidth(qreal width);

    // Colours the characters at the given 1-based text positions (increasing) in `colour`, in one
    // edit of the document.
    void highlight(std::span<const std::int16_t> positions, const QColor& colour);

    // Puts the caret at `offset` with nothing selected.
    void setSelectionStart(int offset);

    // The document position at which the character at `offset` is shown.
    int documentPosition(int offset) const;

signals:
    // The width the lines take has changed (more of them have been laid out, or new text).
    void naturalWidthChanged();

private:
    LevelLayout* layout_;
    QString displayText_;
    std::vector<int> documentPositions_; // one per offset, and one for the end
    std::vector<int> lineStarts_;        // the offset at which each line starts
};
