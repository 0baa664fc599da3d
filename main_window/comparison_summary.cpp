#include "main_window/comparison_summary.h"

#include "comparison/comparison_notes.h"

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
    if (!rules.isEmpty()) {
        parts << QStringLiteral("Caracteres que difieren en lo omitido en este fichero: %1")
                     .arg(leftOutCharacters)
              << QStringLiteral("Líneas que solo difieren en lo omitido: %1").arg(leftOutLines)
              << QStringLiteral("Se omite: %1").arg(rules.join(QStringLiteral("; ")));
    }
    parts << notes;
    return parts.join(u'\n');
}

namespace comparison_summary {

QString lineBreaksOf(const parvane::FileTraits& traits) {
    return QString::fromStdString(parvane::lineBreaksOf(traits));
}

QStringList notesOn(const parvane::FileComparison& comparison) {
    QStringList notes;
    for (const std::string& note : parvane::notesOn(comparison)) {
        notes << QString::fromStdString(note);
    }
    return notes;
}

} // namespace comparison_summary
