#include "main_window/shown_text.h"

#include "main_window/shown_character.h"

#include <QColor>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {

char32_t codePointAt(const QString& text, qsizetype i) {
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        return QChar::surrogateToUcs4(text[i], text[i + 1]);
    }
    return text[i].unicode();
}

// The box drawn behind a coloured character that covers no ink: the colour, lightened.
QColor boxColour(const QColor& colour) { return QColor::fromHsv(colour.hue(), 80, 255); }

} // namespace

ShownText::ShownText(const QString& displayText, int minimumLines)
    : displayText_(displayText), lineStarts_{0} {
    const qsizetype size = displayText.size();
    documentPositions_.reserve(size + 1);
    characters_.reserve(size);
    text_.reserve(size);
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = displayText[i];
        const int position = int(text_.size());
        if (c == u'\r' || c == u'\n') {
            documentPositions_.push_back(position);
            characters_ += c.unicode();
            if (c == u'\r' && i + 1 < size && displayText[i + 1] == u'\n') {
                documentPositions_.push_back(position); // both halves of CR LF end the line
                characters_ += U'\n';
                ++i;
            }
            text_ += u'\n';
            lineStarts_.push_back(int(documentPositions_.size()));
            continue;
        }
        const char32_t code = codePointAt(displayText, i);
        const qsizetype units = code > 0xFFFF ? 2 : 1;
        documentPositions_.push_back(position);
        characters_ += code;
        const QString standIn = shown_character::standIn(code, false);
        if (standIn.isEmpty()) {
            text_ += displayText.mid(i, units);
        } else {
            originals_.emplace(position, displayText.mid(i, units));
            text_ += standIn;
        }
        i += units - 1;
    }
    documentPositions_.push_back(int(text_.size()));
    textEnd_ = int(text_.size());
    for (int lines = int(lineStarts_.size()); lines < minimumLines; ++lines) {
        text_ += u'\n'; // room below the text, outside its offsets
    }
}

void ShownText::colour(QTextDocument* document, std::span<const std::int16_t> positions,
                       const QColor& colour) {
    if (positions.empty()) {
        return;
    }
    QTextCharFormat format;
    format.setForeground(colour);
    QTextCharFormat boxed = format;
    boxed.setBackground(boxColour(colour));
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    // Consecutive positions form one run, coloured by one change of format.
    std::size_t first = 0;
    while (first < positions.size()) {
        std::size_t last = first;
        while (last + 1 < positions.size() && positions[last + 1] == positions[last] + 1) {
            ++last;
        }
        cursor.setPosition(documentPosition(positions[first] - 1));
        cursor.setPosition(documentPosition(positions[last]), QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(format);
        first = last + 1;
    }
    // A differing character that shows no ink gets a box; a joiner or selector, a stand-in.
    for (const std::int16_t position : positions) {
        const int offset = position - 1;
        if (offset < 0 || std::size_t(offset) >= characters_.size()) {
            continue;
        }
        const char32_t c = characters_[std::size_t(offset)];
        const int at = documentPosition(offset);
        const QString standIn = shown_character::standIn(c, true);
        if (!standIn.isEmpty() && !originals_.contains(at)) {
            cursor.setPosition(at);
            cursor.setPosition(at + 1, QTextCursor::KeepAnchor);
            cursor.insertText(standIn, format);
            originals_.emplace(at, QString::fromUcs4(&c, 1));
        } else if (shown_character::drawsBlank(c)) {
            cursor.setPosition(at);
            cursor.setPosition(at + 1, QTextCursor::KeepAnchor);
            cursor.mergeCharFormat(boxed);
        }
    }
    cursor.endEditBlock();
}

int ShownText::documentPosition(int offset) const {
    const int last = int(documentPositions_.size()) - 1;
    return documentPositions_[std::clamp(offset, 0, last)];
}

QString ShownText::originalAt(int at) const {
    const auto original = originals_.find(at);
    return original == originals_.end() ? QString() : original->second;
}
