#pragma once

// What a comparison came to for one view, as the view's tooltip says it when no character is
// pointed at: the totals (characters that differ in this file, lines with a difference, lines
// the other file lacks; then, with rules, the characters that differ in what they leave out and
// the rules in force), a file that seems shifted against the other, and what differs in the
// two files' bytes although the characters may be the same (line breaks, a byte-order mark, a
// final line break, the decoding, trailing empty lines). Plain text; nothing here fails.

#include "comparison/file_comparison.h"
#include "comparison/file_traits.h"

#include <QString>
#include <QStringList>

struct ComparisonSummary {
    qint64 differingCharacters = 0; // in this view's file
    qint64 differingLines = 0;      // holding a difference in either file
    qint64 lines = 0, otherLines = 0;
    qint64 leftOutCharacters = 0; // in this view's file
    qint64 leftOutLines = 0;      // that differ only in what is left out
    QStringList rules;            // the rules in force, as the comparison describes them

    // The tip: the totals when any character differs, then the notes; empty when there is
    // nothing to say.
    QString tip(const QStringList& notes) const;
};

namespace comparison_summary {

// Every note on `comparison`: a file that seems shifted against the other, then what differs in
// the files' bytes beyond the characters compared ("Los saltos de línea difieren: CR LF / LF"...).
QStringList notesOn(const parvane::FileComparison& comparison);

// "CR LF", "LF", "CR", "CR LF y LF"...; "ninguno" when the file has no line break.
QString lineBreaksOf(const parvane::FileTraits& traits);

} // namespace comparison_summary
