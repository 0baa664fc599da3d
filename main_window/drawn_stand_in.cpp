#include "main_window/drawn_stand_in.h"

#include "main_window/shown_character.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QRawFont>
#include <QTextDocument>
#include <QTextLayout>
#include <QTransform>

#include <algorithm>

namespace {

constexpr int kCharacter = QTextFormat::UserProperty + 1;
// The size of a name's letters beside the text's.
constexpr qreal kNameScale = 0.8;
// How much a mark may be enlarged: a font draws an accent a few pixels wide.
constexpr qreal kMostMarkScale = 3;

char32_t characterOf(const QTextFormat& format) { return char32_t(format.intProperty(kCharacter)); }

bool isMark(char32_t c) { return shown_character::kindOf(c) == shown_character::Kind::Mark; }

QFont nameFont(const QFont& font) {
    QFont small = font;
    if (font.pointSizeF() > 0) {
        small.setPointSizeF(font.pointSizeF() * kNameScale);
    } else {
        small.setPixelSize(std::max(1, int(font.pixelSize() * kNameScale)));
    }
    return small;
}

// The room left on either side, which keeps a stand-in apart from its neighbours.
qreal gap(const QFontMetricsF& metrics) { return std::max(1.0, metrics.xHeight() / 5); }

// The outline of mark `c` as `font` (or the font that has it) draws it on a no-break space, the
// base that shows a mark alone, with the baseline at 0.
QPainterPath outlineOf(const QFont& font, char32_t c) {
    QTextLayout layout(QChar(0xA0) + QString::fromUcs4(&c, 1), font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QPainterPath outline;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < glyphs.size(); ++i) {
            outline.addPath(run.rawFont().pathForGlyph(glyphs[i]).translated(positions[i]));
        }
    }
    return outline.translated(0, -layout.lineAt(0).ascent());
}

} // namespace

QTextCharFormat DrawnStandIn::format(char32_t c) {
    QTextCharFormat format;
    format.setObjectType(kObjectType);
    format.setProperty(kCharacter, int(c));
    return format;
}

void DrawnStandIn::registerWith(QAbstractTextDocumentLayout* layout) {
    layout->registerHandler(kObjectType, this);
}

// A mark is enlarged into the line's height: in its upper part when it stands over a letter, in
// its lower part when under, in the middle when through or around, and within its own width.
DrawnStandIn::Mark DrawnStandIn::markOf(const QFont& font, char32_t c) {
    if (font != marksFont_) {
        marks_.clear();
        marksFont_ = font;
    }
    const auto known = marks_.constFind(c);
    if (known != marks_.constEnd()) {
        return *known;
    }
    const QFontMetricsF metrics(font);
    const qreal top = -metrics.ascent() + 1, bottom = metrics.descent() - 1;
    const qreal middle = -metrics.xHeight() / 2;
    QPainterPath outline = outlineOf(font, c);
    const QRectF ink = outline.boundingRect();
    Mark mark;
    if (!ink.isEmpty()) {
        qreal room = bottom - top;
        qreal anchor = (top + bottom) / 2; // where the middle of the mark goes
        if (ink.bottom() <= middle) {
            room = middle - top;
            anchor = top + room / 2;
        } else if (ink.top() >= middle) {
            room = bottom - middle;
            anchor = bottom - room / 2;
        }
        const qreal scale = std::min(kMostMarkScale, room / std::max(ink.height(), 1.0));
        QTransform place;
        place.translate(-ink.center().x() * scale, anchor - ink.center().y() * scale);
        place.scale(scale, scale);
        mark.outline = place.map(outline);
    }
    mark.width =
        std::max(metrics.xHeight(), mark.outline.boundingRect().width()) + 2 * gap(metrics);
    marks_.insert(c, mark);
    return mark;
}

qreal DrawnStandIn::width(const QFont& font, char32_t c) {
    if (isMark(c)) {
        return markOf(font, c).width;
    }
    const QFontMetricsF metrics(font);
    const QFontMetricsF name(nameFont(font));
    return name.horizontalAdvance(shown_character::drawnStandIn(c)) + name.xHeight() +
           2 * gap(metrics);
}

QSizeF DrawnStandIn::intrinsicSize(QTextDocument* document, int, const QTextFormat& format) {
    const QFont font = document->defaultFont();
    const qreal own = cellWidth_ > 0 ? cellWidth_ : width(font, characterOf(format));
    return {own, QFontMetricsF(font).ascent()};
}

// `rect` stands on the line's baseline, one ascent of the font high.
void DrawnStandIn::drawObject(QPainter* painter, const QRectF& rect, QTextDocument* document, int,
                              const QTextFormat& format) {
    const char32_t c = characterOf(format);
    const QColor colour = format.foreground().style() != Qt::NoBrush ? format.foreground().color()
                                                                     : painter->pen().color();
    const QFont font = document->defaultFont();
    const QFontMetricsF metrics(font);
    const qreal baseline = rect.bottom();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setBrush(Qt::NoBrush);
    if (isMark(c)) {
        const Mark mark = markOf(font, c);
        const QPointF middle(rect.center().x(), baseline);
        if (mark.outline.isEmpty()) {
            // A mark that no font draws: a dotted circle, where it would stand on one.
            const qreal size = metrics.xHeight();
            painter->setPen(QPen(colour, 1, Qt::DotLine));
            painter->drawEllipse(QRectF(middle.x() - size / 2, baseline - size, size, size));
        } else {
            painter->fillPath(mark.outline.translated(middle), colour);
        }
    } else {
        // A name wider than its cell is squeezed into it.
        const qreal own = width(font, c);
        QRectF box = rect;
        if (own > rect.width()) {
            painter->translate(rect.left(), 0);
            painter->scale(rect.width() / own, 1);
            painter->translate(-rect.left(), 0);
            box.setWidth(own);
        }
        const qreal room = gap(metrics);
        const QRectF frame(box.left() + room, baseline - metrics.capHeight() - room,
                           box.width() - 2 * room, metrics.capHeight() + 2 * room);
        painter->setRenderHint(QPainter::Antialiasing, false); // a sharp frame, not a blurred one
        painter->setPen(QPen(colour, 1));
        painter->drawRoundedRect(frame, room, room);
        painter->setRenderHint(QPainter::Antialiasing);
        const QFont small = nameFont(font);
        const QFontMetricsF name(small);
        painter->setFont(small);
        painter->drawText(
            QPointF(frame.left() + name.xHeight() / 2, frame.center().y() + name.capHeight() / 2),
            shown_character::drawnStandIn(c));
    }
    painter->restore();
}
