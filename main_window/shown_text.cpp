#include "main_window/shown_text.h"

#include "main_window/drawn_stand_in.h"
#include "main_window/shown_character.h"

#include <QColor>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <optional>

namespace {

char32_t codePointAt(const QString& text, qsizetype i) {
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        return QChar::surrogateToUcs4(text[i], text[i + 1]);
    }
    return text[i].unicode();
}

// The box drawn behind a coloured character that covers no ink: the colour, lightened; for a
// neutral colour, which has no hue to lighten, a veil of white over the view's own background.
QColor boxColour(const QColor& colour) {
    return colour.hue() < 0 ? QColor(255, 255, 255, 110) : QColor::fromHsv(colour.hue(), 80, 255);
}

// The most colours drawn over the shaped text of a whole text and of one line: each is drawn
// apart, over the whole line, and costs the view some work when shown, so a long line takes
// fewer. Past them (a long line of alternate differing Arabic letters, say) the rest are
// formats, which draw in one go.
constexpr int kMostOverlays = 2048;
constexpr int kMostOverlaysPerLine = 64;
constexpr int kOverlaidCharacters = 1 << 16; // overlays of a line times its length, at most
// How far back and ahead of a boundary the marks that letters join across are skipped.
constexpr int kMostSkippedMarks = 32;

bool joinsNext(char32_t c) {
    const QChar::JoiningType type = QChar::joiningType(c);
    return type == QChar::Joining_Dual || type == QChar::Joining_Left ||
           type == QChar::Joining_Causing;
}

bool joinsPrevious(char32_t c) {
    const QChar::JoiningType type = QChar::joiningType(c);
    return type == QChar::Joining_Dual || type == QChar::Joining_Right ||
           type == QChar::Joining_Causing;
}

// The code point that ends just before `at`, stepping back over a surrogate pair.
qsizetype previousStart(const QString& text, qsizetype at) {
    return at >= 2 && text[at - 1].isLowSurrogate() && text[at - 2].isHighSurrogate() ? at - 2
                                                                                      : at - 1;
}

// Whether the text shaped on either side of position `at` of `text` would be drawn otherwise than
// the text shaped whole: a character and a mark on it, the halves of a flag or of a joined emoji
// (all within one grapheme), two letters that join (Arabic, Syriac, N'Ko, Mongolian...), and a
// virama and the consonant it binds. `graphemes` is made from `text` when first needed.
bool cutsShaping(const QString& text, qsizetype at, std::optional<QTextBoundaryFinder>& graphemes) {
    if (at <= 0 || at >= text.size()) {
        return false;
    }
    if (!graphemes) {
        graphemes.emplace(QTextBoundaryFinder::Grapheme, text);
    }
    graphemes->setPosition(at);
    if (!graphemes->isAtBoundary()) {
        return true;
    }
    qsizetype before = previousStart(text, at);
    if (QChar::combiningClass(codePointAt(text, before)) == 9) {
        return true; // a virama
    }
    for (int skipped = 0;
         before > 0 && skipped < kMostSkippedMarks &&
         QChar::joiningType(codePointAt(text, before)) == QChar::Joining_Transparent;
         ++skipped) {
        before = previousStart(text, before);
    }
    qsizetype after = at;
    for (int skipped = 0;
         after + 1 < text.size() && skipped < kMostSkippedMarks &&
         QChar::joiningType(codePointAt(text, after)) == QChar::Joining_Transparent;
         ++skipped) {
        after += codePointAt(text, after) > 0xFFFF ? 2 : 1;
    }
    return joinsNext(codePointAt(text, before)) && joinsPrevious(codePointAt(text, after));
}

} // namespace

ShownText::ShownText(const QString& displayText) : displayText_(displayText), lineStarts_{0} {
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
            text_.append(displayText.constData() + i, units);
        } else {
            originals_.emplace(position, displayText.mid(i, units));
            text_ += standIn;
        }
        i += units - 1;
    }
    documentPositions_.push_back(int(text_.size()));
}

void ShownText::colour(QTextDocument* document, std::span<const OffsetRun> runs,
                       const QColor& colour) {
    if (runs.empty()) {
        return;
    }
    showDifferingStandIns(document, runs);
    // The colours are formats of the lines' layouts, drawn over the document's own: a line takes
    // them in one change, whatever the number of runs on it. A format's edges part the text that
    // is shaped, so a colour that would cut through shaped text is left to overlays() instead.
    QTextCharFormat format;
    format.setForeground(colour);
    QTextCharFormat boxed = format;
    boxed.setBackground(boxColour(colour));
    QTextBlock block;
    int blockStart = 0, textLength = 0; // of `block`, whose text ends before its line break
    QList<QTextLayout::FormatRange> ranges;
    qsizetype kept = 0; // of `ranges`, those that `block` had before
    int first = -1, last = -1;
    bool lastBoxed = false; // whether the last range of `ranges` is boxed
    const auto finishBlock = [&] {
        if (ranges.size() == kept) {
            return;
        }
        const QString text = block.text();
        std::optional<QTextBoundaryFinder> graphemes;
        QList<QTextLayout::FormatRange> formats = ranges.first(kept);
        const int most =
            std::min<int>(kMostOverlaysPerLine, kOverlaidCharacters / (textLength + 1));
        int overlaid = 0;
        for (qsizetype i = kept; i < ranges.size(); ++i) {
            const QTextLayout::FormatRange& range = ranges[i];
            if (overlaid < most && overlays_.size() < kMostOverlays &&
                (cutsShaping(text, range.start, graphemes) ||
                 cutsShaping(text, range.start + range.length, graphemes))) {
                overlays_.append({blockStart + range.start, range.length, range.format});
                ++overlaid;
            } else {
                formats.append(range);
            }
        }
        block.layout()->setFormats(formats);
        ranges.clear();
        first = first < 0 ? blockStart : first;
        last = blockStart + textLength + 1;
    };
    const int size = int(characters_.size());
    for (const OffsetRun& run : runs) {
        const int end = std::min(run.last, size - 1);
        int offset = std::max(run.first, 0);
        for (int at = documentPosition(offset), next = 0; offset <= end; ++offset, at = next) {
            next = documentPositions_[std::size_t(offset) + 1];
            if (!block.isValid() || at < blockStart || at > blockStart + textLength) {
                finishBlock();
                block = document->findBlock(at);
                blockStart = block.position();
                textLength = block.length() - 1;
                ranges = block.layout()->formats();
                kept = ranges.size();
                lastBoxed = !ranges.isEmpty() &&
                            ranges.back().format.hasProperty(QTextFormat::BackgroundBrush);
            }
            const int column = at - blockStart;
            const int units = next - at; // two for a surrogate pair
            if (column >= textLength || units <= 0) {
                continue; // a line break: nothing is drawn for it
            }
            // A differing character that shows no ink gets a box.
            const bool box = shown_character::drawsBlank(characters_[std::size_t(offset)]);
            if (ranges.size() > kept && ranges.back().start + ranges.back().length == column &&
                box == lastBoxed) {
                ranges.back().length += units;
            } else {
                ranges.append({column, units, box ? boxed : format});
                lastBoxed = box;
            }
        }
    }
    finishBlock();
    if (first >= 0) {
        document->markContentsDirty(first, last - first); // the view draws the lines again
    }
}

// A differing joiner is shown by its stand-in, and a differing mark, selector or tag character by
// its drawn stand-in, which originalAt() then gives back. A drawn stand-in takes one position of
// the document, where a character outside the basic plane took two: the positions after it move.
void ShownText::showDifferingStandIns(QTextDocument* document, std::span<const OffsetRun> runs) {
    QTextCursor cursor(document);
    bool editing = false;
    std::vector<int> shrunk; // where a character was shown in two positions and is now in one
    const int size = int(characters_.size());
    for (const OffsetRun& run : runs) {
        for (int offset = std::max(run.first, 0); offset <= std::min(run.last, size - 1);
             ++offset) {
            const char32_t c = characters_[std::size_t(offset)];
            const shown_character::Kind kind = shown_character::kindOf(c);
            if (kind == shown_character::Kind::Plain || kind == shown_character::Kind::Blank ||
                kind == shown_character::Kind::Tab || c == U'\r' || c == U'\n') {
                continue; // shown as it is, differing or not
            }
            const int was = documentPosition(offset);
            QString standIn;
            QTextCharFormat format;
            if (!shown_character::drawnStandIn(c).isEmpty()) {
                standIn = QChar(QChar::ObjectReplacementCharacter);
                format = DrawnStandIn::format(c);
            } else {
                standIn = shown_character::standIn(c, true);
                if (standIn.isEmpty() || originals_.contains(was)) {
                    continue;
                }
            }
            if (!editing) {
                cursor.beginEditBlock();
                editing = true;
            }
            const int at = was - int(shrunk.size());
            const int units = documentPosition(offset + 1) - was;
            cursor.setPosition(at);
            cursor.setPosition(at + units, QTextCursor::KeepAnchor);
            cursor.insertText(standIn, format);
            originals_.insert_or_assign(was, QString::fromUcs4(&c, 1));
            if (units > 1) {
                shrunk.push_back(was);
            }
        }
    }
    if (editing) {
        cursor.endEditBlock();
    }
    if (!shrunk.empty()) {
        moveAfter(shrunk);
    }
}

// Each position after one of `shrunk` (increasing) moves back by one.
void ShownText::moveAfter(const std::vector<int>& shrunk) {
    const auto moved = [&shrunk](int position) {
        return position -
               int(std::lower_bound(shrunk.begin(), shrunk.end(), position) - shrunk.begin());
    };
    for (int& position : documentPositions_) {
        position = moved(position);
    }
    std::map<int, QString> originals;
    for (auto& [position, original] : originals_) {
        originals.emplace_hint(originals.end(), moved(position), std::move(original));
    }
    originals_ = std::move(originals);
}

int ShownText::documentPosition(int offset) const {
    const int last = int(documentPositions_.size()) - 1;
    return documentPositions_[std::clamp(offset, 0, last)];
}

QString ShownText::originalAt(int at) const {
    const auto original = originals_.find(at);
    return original == originals_.end() ? QString() : original->second;
}
