#pragma once

// Draws the stand-ins of a view's document that no one character can give: a differing combining
// mark alone, enlarged to fill its line's upper part when it stands over a letter, its lower part
// when under (a dotted circle if no font draws it), and a differing variation selector or tag
// character as its name in a frame (see shown_character::drawnStandIn()). Each is one object
// replacement character of the document, whose character format (format()) names the character
// it stands for, so that it takes one column as the character does. A layout draws them once this
// handler is registered with it; the handler must outlive the layout or be destroyed first (the
// layout then forgets it). It sizes a stand-in to the document's font, a line's height at most,
// and draws it in the colour of the text around it: red where it differs, the selection's colour
// where it is selected. Given a cell's width (setCellWidth()), every stand-in takes that width,
// squeezed into it when it is wider.

#include <QFont>
#include <QHash>
#include <QObject>
#include <QPainterPath>
#include <QTextCharFormat>
#include <QTextObjectInterface>

class QAbstractTextDocumentLayout;

class DrawnStandIn : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    static constexpr int kObjectType = QTextFormat::UserObject + 1;

    using QObject::QObject;

    // The format of the object replacement character that stands for `c`.
    static QTextCharFormat format(char32_t c);

    void registerWith(QAbstractTextDocumentLayout* layout);
    // The width every stand-in takes; 0, the default, for each its own. Lines laid out after the
    // change take it.
    void setCellWidth(qreal width) { cellWidth_ = width; }

    QSizeF intrinsicSize(QTextDocument* document, int position, const QTextFormat& format) override;
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* document, int position,
                    const QTextFormat& format) override;

private:
    // A mark as drawn: its outline, about the middle of its stand-in on the baseline, and the
    // stand-in's width.
    struct Mark {
        QPainterPath outline;
        qreal width = 0;
    };
    // Mark `c` in `font`; marks are kept for the last font asked for.
    Mark markOf(const QFont& font, char32_t c);
    // The width of the stand-in of `c` in `font`.
    qreal width(const QFont& font, char32_t c);

    qreal cellWidth_ = 0;
    QFont marksFont_;
    QHash<char32_t, Mark> marks_;
};
