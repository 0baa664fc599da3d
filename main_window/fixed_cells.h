#pragma once

// The cells of a view whose letters are of fixed width: every character of its lines takes one
// cell, as wide as a digit of the monospace font, so that column k of every line stands under
// column k of every other. The font's own letters take a cell already. The others are fitted to
// one by formats of their lines' layouts: a wider letter from a fallback font (CJK, an emoji) is
// squeezed into it, a narrower one is followed by the room left, and a character that takes no
// room (a combining mark, a joiner, a variation selector) gets a cell of its own. A tab is the
// document's business (a tab stop every cell), and a drawn stand-in its handler's
// (drawn_stand_in.h). fit() replaces the formats it gave before, and unfit() takes them away,
// leaving every other format of a line (the colours of the differences) as it was.

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QTextCharFormat>

#include <optional>

class QTextDocument;

class FixedCells {
public:
    // `font`: the monospace font that the document is shown in.
    explicit FixedCells(const QFont& font);

    const QFont& font() const { return font_; }
    qreal cellWidth() const { return cell_; }

    // Gives every line of `document` the formats that make each of its characters one cell.
    void fit(QTextDocument* document);
    static void unfit(QTextDocument* document);

private:
    // The format that makes `c` one cell; none when it is one already.
    std::optional<QTextCharFormat> fitting(char32_t c);

    QFont font_;
    QFontMetricsF metrics_;
    qreal cell_;
    QHash<char32_t, std::optional<QTextCharFormat>> fittings_;
};
