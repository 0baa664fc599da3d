#include "main_window/character_info.h"

#include "main_window/shown_character.h"

#include <QChar>

namespace character_info {
namespace {

using shown_character::Kind;

// Names of single characters; the kinds below name the rest.
QString nameOfCharacter(char32_t c) {
    switch (c) {
    case U' ': return QStringLiteral("espacio");
    case U'\t': return QStringLiteral("tabulador");
    case 0x00A0: return QStringLiteral("espacio de no separación");
    case 0x202F: return QStringLiteral("espacio estrecho de no separación");
    case 0x2007: return QStringLiteral("espacio de cifra");
    case 0x2009: return QStringLiteral("espacio fino");
    case 0x200A: return QStringLiteral("espacio ultrafino");
    case 0x3000: return QStringLiteral("espacio ideográfico");
    case 0x00AD: return QStringLiteral("guion blando");
    case 0x200B: return QStringLiteral("espacio de anchura cero");
    case 0x200C: return QStringLiteral("no unión de anchura cero");
    case 0x200D: return QStringLiteral("unión de anchura cero");
    case 0x2060: return QStringLiteral("unión de palabras");
    case 0xFEFF: return QStringLiteral("marca de orden de bytes");
    case 0x2028: return QStringLiteral("separador de línea");
    case 0x2029: return QStringLiteral("separador de párrafo");
    case 0x200E: return QStringLiteral("marca de izquierda a derecha");
    case 0x200F: return QStringLiteral("marca de derecha a izquierda");
    case 0x061C: return QStringLiteral("marca de letra árabe");
    case 0x7F: return QStringLiteral("carácter de control (suprimir)");
    case 0xFFFC: return QStringLiteral("carácter de objeto");
    case 0xFFFD: return QStringLiteral("carácter de sustitución");
    default: return {};
    }
}

} // namespace

QString nameOf(char32_t c) {
    const QString name = nameOfCharacter(c);
    if (!name.isEmpty()) {
        return name;
    }
    switch (shown_character::kindOf(c)) {
    case Kind::Plain: return {};
    case Kind::Tab: return QStringLiteral("tabulador");
    case Kind::Blank:
        return QChar::category(c) == QChar::Separator_Space ? QStringLiteral("espacio")
                                                            : QStringLiteral("carácter en blanco");
    case Kind::Control:
    case Kind::C1Control: return QStringLiteral("carácter de control");
    case Kind::LineSeparator: return QStringLiteral("separador de línea");
    case Kind::SoftHyphen: return QStringLiteral("guion blando");
    case Kind::ZeroWidthSpace: return QStringLiteral("espacio de anchura cero");
    case Kind::Bidi: return QStringLiteral("control de dirección del texto");
    case Kind::WordJoiner: return QStringLiteral("carácter invisible de anchura cero");
    case Kind::NonJoiner: return QStringLiteral("no unión de anchura cero");
    case Kind::Joiner: return QStringLiteral("unión de anchura cero");
    case Kind::VariationSelector: return QStringLiteral("selector de variante");
    case Kind::Tag: return QStringLiteral("etiqueta");
    case Kind::OtherFormat: return QStringLiteral("carácter de formato");
    case Kind::NonCharacter: return QStringLiteral("no carácter");
    case Kind::Mark: return {};
    }
    return {};
}

QString codePoint(char32_t c) {
    return QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
}

QString describe(char32_t c) {
    QString text;
    if (shown_character::kindOf(c) != Kind::Tab) {
        // What the view shows: the stand-in of an invisible character, as a difference shows it.
        QString standIn = shown_character::drawnStandIn(c);
        if (standIn.isEmpty()) {
            standIn = shown_character::standIn(c, true);
        }
        text = QStringLiteral("«%1» ").arg(standIn.isEmpty() ? QString::fromUcs4(&c, 1) : standIn);
    }
    text += codePoint(c);
    const QString name = nameOf(c);
    if (!name.isEmpty()) {
        text += u' ' + name;
    }
    return text;
}

QString positionTip(TextCell cell, TextPlace mine, TextPlace other) {
    return positionTip(std::uint64_t(cell.line) + 1, std::uint64_t(cell.column) + 1, mine, other);
}

QString positionTip(std::uint64_t line, std::uint64_t column, TextPlace mine, TextPlace other) {
    QString tip = QStringLiteral("Línea %1, columna %2").arg(line).arg(column);
    switch (mine.kind) {
    case TextPlace::Kind::Character: tip += u'\n' + describe(mine.character); break;
    case TextPlace::Kind::LineEnd:
    case TextPlace::Kind::PastLineEnd: tip += QStringLiteral("\nFin de la línea"); break;
    case TextPlace::Kind::NoLine: tip += QStringLiteral("\nFin del fichero"); break;
    }
    switch (other.kind) {
    case TextPlace::Kind::Character:
        tip += QStringLiteral("\nEn el otro fichero: ") + describe(other.character);
        break;
    case TextPlace::Kind::LineEnd:
        tip += mine.kind == TextPlace::Kind::Character
                   ? QStringLiteral("\nLa línea del otro fichero es más corta")
                   : QStringLiteral("\nEn el otro fichero: fin de la línea");
        break;
    case TextPlace::Kind::PastLineEnd:
        tip += QStringLiteral("\nLa línea del otro fichero es más corta");
        break;
    case TextPlace::Kind::NoLine:
        tip += mine.kind == TextPlace::Kind::NoLine
                   ? QStringLiteral("\nEl otro fichero también termina aquí")
                   : QStringLiteral("\nEl otro fichero no tiene esta línea");
        break;
    }
    return tip;
}

} // namespace character_info
