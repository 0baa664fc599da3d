#include "main_window/comparison_summary.h"

#include <algorithm>

QString ComparisonSummary::tip(const QStringList& notes) const {
    QStringList parts;
    if (differingCharacters > 0 || differingLines > 0) {
        parts << QStringLiteral("Caracteres distintos en este fichero: %1").arg(differingCharacters)
              << QStringLiteral("Líneas con diferencias: %1").arg(differingLines)
              << QStringLiteral("Líneas que el otro fichero no tiene: %1")
                     .arg(std::max(lines - otherLines, qint64{0}));
    } else if (lines != otherLines) {
        // Lines that are empty in one file and missing in the other hold no differing character.
        parts << QStringLiteral("Los caracteres son los mismos, pero las líneas no: este fichero "
                                "tiene %1 y el otro %2 (las que sobran están vacías)")
                     .arg(lines)
                     .arg(otherLines);
    }
    parts << notes;
    return parts.join(u'\n');
}

namespace comparison_summary {
namespace {

// "el primer fichero" / "el segundo fichero", with a capital when it starts a sentence.
QString fileName(bool first, bool capital) {
    const QString name =
        first ? QStringLiteral("el primer fichero") : QStringLiteral("el segundo fichero");
    return capital ? name.at(0).toUpper() + name.mid(1) : name;
}

} // namespace

QString lineBreaksOf(const parvane::FileTraits& traits) {
    QStringList kinds;
    if (traits.crLfBreaks > 0) {
        kinds << QStringLiteral("CR LF");
    }
    if (traits.lfBreaks > 0) {
        kinds << QStringLiteral("LF");
    }
    if (traits.crBreaks > 0) {
        kinds << QStringLiteral("CR");
    }
    if (kinds.isEmpty()) {
        return QStringLiteral("ninguno");
    }
    const QString last = kinds.takeLast();
    return kinds.isEmpty() ? last : kinds.join(QStringLiteral(", ")) + QStringLiteral(" y ") + last;
}

QStringList byteNotes(const parvane::FileTraits& first, const parvane::FileTraits& second) {
    QStringList notes;
    const bool breaks1 = first.crLfBreaks + first.lfBreaks + first.crBreaks > 0;
    const bool breaks2 = second.crLfBreaks + second.lfBreaks + second.crBreaks > 0;
    const QString kinds1 = lineBreaksOf(first);
    const QString kinds2 = lineBreaksOf(second);
    if (breaks1 && breaks2 && kinds1 != kinds2) {
        notes << QStringLiteral("Los saltos de línea difieren: %1 / %2").arg(kinds1, kinds2);
    }
    if (first.byteOrderMark != second.byteOrderMark) {
        notes << QStringLiteral("Solo %1 empieza con una marca de orden de bytes")
                     .arg(fileName(first.byteOrderMark, false));
    }
    if (first.endsWithLineBreak != second.endsWithLineBreak) {
        notes << QStringLiteral("Solo %1 termina con un salto de línea")
                     .arg(fileName(first.endsWithLineBreak, false));
    }
    if (first.validUtf8 != second.validUtf8) {
        notes << QStringLiteral("%1 no es UTF-8 válido: ambos se leen como Windows-1252")
                     .arg(fileName(!first.validUtf8, true));
    }
    return notes;
}

} // namespace comparison_summary
