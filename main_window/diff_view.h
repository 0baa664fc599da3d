#pragma once

// A read-only view of one compared file that can colour single characters.
//
// The view is addressed in offsets of its display text: characters (code points) counted from 0,
// in which every line break "\r\n" counts as two characters. The text is always shown as plain
// text, never interpreted as markup; control characters are drawn as visible symbols one for one,
// so offsets and what is seen stay in step. Offsets past the end are clamped.

#include <QPlainTextEdit>

#include <cstdint>
#include <span>
#include <vector>

class DiffView : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit DiffView(QWidget* parent = nullptr);

    // Replaces the whole content with `displayText`.
    void setDisplayText(const QString& displayText);
    QString displayText() const { return displayText_; }

    // Colours the characters at the given 1-based text positions (increasing) in `colour`, in one
    // edit of the document.
    void highlight(std::span<const std::int16_t> positions, const QColor& colour);

    // Puts the caret at `offset` with nothing selected.
    void setSelectionStart(int offset);

    // The document position at which the character at `offset` is shown.
    int documentPosition(int offset) const;

private:
    QString displayText_;
    std::vector<int> documentPositions_; // one per offset, and one for the end
};
