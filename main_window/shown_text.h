#pragma once

// What a view shows for a display text (see diff_view.h): the text of its document, with every
// character that would not be seen replaced by its stand-in, and the maps between the display
// text's offsets and the document's positions. Made from the display text alone, it touches no
// widget and no font, so it may be made on any thread; colour() then edits a document that holds
// text(), on the thread that owns that document.

#include <QList>
#include <QString>
#include <QTextLayout>

#include <map>
#include <span>
#include <string>
#include <vector>

class QColor;
class QTextDocument;

// Characters of a display text, from offset `first` to offset `last`, both included.
struct OffsetRun {
    int first = 0, last = 0;
};

class ShownText {
public:
    ShownText() : documentPositions_{0} {}
    explicit ShownText(const QString& displayText);

    const QString& displayText() const { return displayText_; }
    // The document's text.
    const QString& text() const { return text_; }
    // Frees text() once a document holds it.
    void releaseText() { text_ = QString(); }

    // Colours the characters of `runs` (increasing) of `document`, which holds text(), in
    // `colour`: a differing character that covers no ink gets a box, a joiner its stand-in, and a
    // mark, selector or tag character its drawn stand-in (drawn_stand_in.h), which originalAt()
    // then gives back. The colours are the formats of the lines' layouts (QTextLayout::formats()),
    // not the document's character formats, which stay plain but for the drawn stand-ins'; but the
    // text on either side of a format's edge is shaped apart, so a colour whose edge would cut
    // through shaped text (two joined Arabic letters, a letter and its accent) is left to
    // overlays() instead, up to a few dozen on a line.
    void colour(QTextDocument* document, std::span<const OffsetRun> runs, const QColor& colour);
    // The colours to draw over the lines as they are shaped, as a selection is drawn: document
    // positions, lengths and formats, in increasing order.
    const QList<QTextLayout::FormatRange>& overlays() const { return overlays_; }

    // The document position at which the character at `offset` is shown (offsets are clamped).
    int documentPosition(int offset) const;
    // What the stand-in at document position `at` stands for; empty where there is none.
    QString originalAt(int at) const;
    const std::u32string& characters() const { return characters_; }
    const std::vector<int>& lineStarts() const { return lineStarts_; }

private:
    void showDifferingStandIns(QTextDocument* document, std::span<const OffsetRun> runs);
    void moveAfter(const std::vector<int>& shrunk);

    QString displayText_;
    QString text_;
    std::vector<int> documentPositions_; // one per offset, and one for the end
    std::vector<int> lineStarts_;        // the offset at which each line starts
    std::u32string characters_;          // the character at each offset
    std::map<int, QString> originals_;   // what the stand-in at a document position stands for
    QList<QTextLayout::FormatRange> overlays_;
};
