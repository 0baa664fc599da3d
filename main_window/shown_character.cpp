#include "main_window/shown_character.h"

#include <QChar>

namespace shown_character {

Kind kindOf(char32_t c) {
    if (c > U' ' && c < 0x7F) {
        return Kind::Plain; // printable ASCII, most of any file
    }
    if (c == U'\t') {
        return Kind::Tab;
    }
    if (c < 0x20 || c == 0x7F) {
        return Kind::Control;
    }
    if (c >= 0x80 && c <= 0x9F) {
        return Kind::C1Control;
    }
    switch (c) {
    case 0x00AD: return Kind::SoftHyphen;
    case 0x200B: return Kind::ZeroWidthSpace;
    case 0x200C: return Kind::NonJoiner;
    case 0x200D: return Kind::Joiner;
    case 0x2028:
    case 0x2029: return Kind::LineSeparator;
    case 0x061C:
    case 0x200E:
    case 0x200F: return Kind::Bidi;
    case 0xFEFF: return Kind::WordJoiner;
    case 0xFFFC:
        return Kind::NonCharacter; // the document's own object marker
    // Hangul fillers and the blank braille pattern are letters and symbols drawn as nothing.
    case 0x115F:
    case 0x1160:
    case 0x3164:
    case 0xFFA0:
    case 0x2800: return Kind::Blank;
    default: break;
    }
    if ((c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069)) {
        return Kind::Bidi;
    }
    if (c >= 0x2060 && c <= 0x2064) {
        return Kind::WordJoiner;
    }
    if ((c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE0100 && c <= 0xE01EF) ||
        (c >= 0x180B && c <= 0x180D) || c == 0x180F) {
        return Kind::VariationSelector;
    }
    if (c >= 0xE0000 && c <= 0xE007F) {
        return Kind::Tag;
    }
    if ((c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE) {
        return Kind::NonCharacter;
    }
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_Enclosing: return Kind::Mark;
    case QChar::Separator_Space: return Kind::Blank;
    case QChar::Other_Format: return Kind::OtherFormat;
    case QChar::Other_Control: return Kind::Control;
    default: return Kind::Plain;
    }
}

QString standIn(char32_t c, bool differs) {
    switch (kindOf(c)) {
    case Kind::Plain:
    case Kind::Tab:
    case Kind::Blank:
    case Kind::Mark: return {};
    case Kind::Control:
        // The Control Pictures block: ␀ ␁ ... ␟, and ␡ for DEL.
        return QString(QChar(char16_t(c == 0x7F ? 0x2421 : 0x2400 + c)));
    case Kind::C1Control: return QStringLiteral("\u2426");                       // ␦
    case Kind::LineSeparator: return QStringLiteral("\u2424");                   // ␤
    case Kind::SoftHyphen: return QStringLiteral("\u00AC");                      // ¬
    case Kind::ZeroWidthSpace: return QStringLiteral("\u2038");                  // ‸
    case Kind::Bidi: return QStringLiteral("\u21C4");                            // ⇄
    case Kind::WordJoiner: return QStringLiteral("\u2040");                      // ⁀
    case Kind::NonJoiner: return differs ? QStringLiteral("\u00A6") : QString(); // ¦
    case Kind::Joiner: return differs ? QStringLiteral("\u203F") : QString();    // ‿
    case Kind::VariationSelector:
        // Outside the basic plane a selector is never kept: it would be drawn as nothing.
        return c > 0xFFFF ? QStringLiteral("\u25C7") : QString(); // ◇
    case Kind::Tag: return QStringLiteral("\u2020");              // †
    case Kind::OtherFormat: return QStringLiteral("\u00A4");      // ¤
    case Kind::NonCharacter: return QString(QChar(QChar::ReplacementCharacter));
    }
    return {};
}

QString drawnStandIn(char32_t c) {
    switch (kindOf(c)) {
    case Kind::Mark: return QStringLiteral("\u25CC") + QString::fromUcs4(&c, 1); // ◌
    case Kind::VariationSelector:
        if (c >= 0x180B && c <= 0x180F) {
            return QStringLiteral("FVS%1").arg(c == 0x180F ? 4 : c - 0x180B + 1);
        }
        return QStringLiteral("VS%1").arg(c <= 0xFE0F ? c - 0xFE00 + 1 : c - 0xE0100 + 17);
    case Kind::Tag:
        if (c == 0xE0020) {
            return QStringLiteral("\u2423"); // ␣
        }
        if (c > 0xE0020 && c < 0xE007F) {
            return QString(QChar(char16_t(c - 0xE0000)));
        }
        return QString::number(uint(c), 16).toUpper();
    default: return {};
    }
}

bool drawsBlank(char32_t c) {
    const Kind kind = kindOf(c);
    return kind == Kind::Blank || kind == Kind::Tab || kind == Kind::Mark;
}

} // namespace shown_character
