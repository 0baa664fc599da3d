#include "report/report_text_writer.h"

#include "comparison/comparison_notes.h"
#include "comparison/field_tally.h"
#include "comparison/source_file.h"
#include "comparison/text_decoding.h"
#include "report/report_characters.h"
#include "report/report_fields.h"
#include "report/report_pairs.h"

#include <algorithm>
#include <optional>
#include <string>

namespace {

using parvane::ColumnRun;
using parvane::LinePairSlice;

constexpr std::string_view kPrefix1 = "  fichero 1: ";
constexpr std::string_view kPrefix2 = "  fichero 2: ";
constexpr std::size_t kPrefixWidth = kPrefix1.size();
// The blanks in front of a row of marks.
constexpr char kIndent[] = "             ";
static_assert(sizeof(kIndent) - 1 == kPrefixWidth);
constexpr std::size_t kTabStop = 8;

// The union of two increasing lists of runs, increasing.
// Writes "columna 4" or "columnas 3-5, 9" for every differing run of `pair`, both files together.
void writeColumns(ReportOutput& out, const parvane::FileComparison& comparison,
                  const LinePairSlice& pair) {
    const auto put = [&](ColumnRun run) {
        out << run.first + 1;
        if (run.last != run.first) {
            out << "-" << run.last + 1;
        }
    };
    // The word waits for the first two runs, which tell whether there is more than one column.
    std::optional<ColumnRun> first;
    std::uint64_t runs = 0;
    report_pairs::forEachRun(comparison, pair, 0, [&](ColumnRun run) {
        if (++runs == 1) {
            first = run;
            return;
        }
        if (runs == 2) {
            out << "columnas ";
            put(*first);
        }
        out << ", ";
        put(run);
    });
    if (runs == 1) {
        out << (first->first != first->last ? "columnas " : "columna ");
        put(*first);
    }
}

// A run of differing columns and the marker drawn under it: ^ for what counts, ~ for what the
// rules leave out.
struct MarkedRun {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    char mark = '^';
};

// The runs that count and those left out, together in the order of their columns (a column is
// one or the other).
std::vector<MarkedRun> marked(const std::vector<ColumnRun>& runs,
                              const std::vector<ColumnRun>& leftOut) {
    std::vector<MarkedRun> all;
    all.reserve(runs.size() + leftOut.size());
    for (const ColumnRun& run : runs) {
        all.push_back({run.first, run.last, '^'});
    }
    for (const ColumnRun& run : leftOut) {
        all.push_back({run.first, run.last, '~'});
    }
    if (!leftOut.empty()) {
        std::sort(all.begin(), all.end(),
                  [](const MarkedRun& a, const MarkedRun& b) { return a.first < b.first; });
    }
    return all;
}

// The marker of a cluster that holds characters marked `a` and `b`: ^ before ~.
char stronger(char a, char b) { return a == '^' || b == '^' ? '^' : a != 0 ? a : b; }

// Appends to `text` and `markers` the rows that show `line` (which starts at column `start` of
// its file) and its differing `runs`. The markers follow the terminal's grapheme clusters: a
// cluster with a differing character gets its run's marker under its first column and spaces
// under the rest. A differing cluster that takes no column (a mark with nothing to be drawn on)
// has its marker in the column before it, where the terminal draws it; `marksPrefix` is set to
// that marker when that column is the last of the prefix.
void showLine(std::u32string_view line, std::uint64_t start, const std::vector<MarkedRun>& runs,
              std::string& text, std::string& markers, char& marksPrefix) {
    auto run = runs.begin();
    std::size_t column = kPrefixWidth; // on the terminal, where tabs stop every eight columns
    std::size_t tabFrom = 0;           // the column where a tab that ends `markers` starts
    // The cluster being shown: where its columns start in `markers`, how many it takes, whether
    // any of its characters differs, and its last character (0 when nothing can join it).
    std::size_t clusterAt = 0;
    int clusterWidth = 0;
    char clusterMark = 0;
    char32_t previous = 0;
    std::int32_t breakState = 0;
    auto endCluster = [&] {
        if (clusterMark != 0 && clusterWidth == 0) {
            if (markers.empty()) {
                marksPrefix = clusterMark;
            } else if (markers.back() != '\t') {
                markers.back() = clusterMark;
            } else {
                markers.pop_back();
                markers.append(column - 1 - tabFrom, ' ');
                markers += clusterMark;
            }
        }
        clusterWidth = 0;
        clusterMark = 0;
        previous = 0;
    };
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char32_t c = line[i];
        while (run != runs.end() && run->last < start + i) {
            ++run;
        }
        const char mark = run != runs.end() && run->first <= start + i ? run->mark : 0;
        const bool differs = mark != 0;
        if (c >= 0x20 && c < 0x7F && previous < 0x80) {
            // Printable ASCII, most of any text: a cluster and a column each, shown as itself.
            // They are taken together up to the next other character or the next edge of a
            // differing run; the last may begin a cluster that goes on.
            endCluster();
            std::size_t edge = line.size();
            if (run != runs.end()) {
                const std::uint64_t at = differs ? run->last + 1 : run->first;
                edge = static_cast<std::size_t>(std::min<std::uint64_t>(at - start, edge));
            }
            std::size_t k = i + 1;
            while (k < edge && line[k] >= 0x20 && line[k] < 0x7F) {
                ++k;
            }
            const std::size_t at = text.size();
            text.resize(at + (k - i));
            std::transform(line.begin() + static_cast<std::ptrdiff_t>(i),
                           line.begin() + static_cast<std::ptrdiff_t>(k), text.begin() + at,
                           [](char32_t ascii) { return static_cast<char>(ascii); });
            markers.append(k - i, differs ? mark : ' ');
            column += k - i;
            clusterAt = markers.size() - 1;
            clusterWidth = 1;
            clusterMark = mark;
            previous = line[k - 1];
            breakState = 0;
            i = k - 1;
            continue;
        }
        if (c == '\t') {
            endCluster();
            const std::size_t stop = (column / kTabStop + 1) * kTabStop;
            text += '\t';
            // "^" and a tab end at the same stop, unless the tab took a single column.
            const bool caret = differs && stop - column > 1;
            if (differs) {
                markers += mark;
            }
            if (!differs || caret) {
                markers += '\t';
            }
            tabFrom = caret ? column + 1 : column;
            column = stop;
            continue;
        }
        if (report_characters::needsEscape(c)) {
            // An escape is marked whole, and nothing joins it.
            endCluster();
            const std::string escape = report_characters::escape(c);
            text += escape;
            markers.append(escape.size(), differs ? mark : ' ');
            column += escape.size();
            continue;
        }
        parvane::appendUtf8(text, std::u32string_view(&c, 1));
        int width = 0;
        if (report_characters::startsCluster(previous, c, breakState)) {
            endCluster();
            clusterAt = markers.size();
            width = report_characters::terminalWidth(c);
        } else {
            width = report_characters::widenCluster(clusterWidth, previous, c);
        }
        if (width > clusterWidth) {
            markers.append(static_cast<std::size_t>(width - clusterWidth), ' ');
            column += static_cast<std::size_t>(width - clusterWidth);
            clusterWidth = width;
        }
        clusterMark = stronger(clusterMark, mark);
        if (clusterMark != 0 && clusterWidth > 0) {
            markers[clusterAt] = clusterMark;
        }
        previous = c;
    }
    endCluster();
    std::size_t end = markers.size();
    while (end > 0 && (markers[end - 1] == ' ' || markers[end - 1] == '\t')) {
        --end;
    }
    markers.resize(end);
}

// Writes one file's rows for a part of its line: the characters, then the markers if any; what
// is left out is marked only when `leftOut` holds it.
void writeRows(ReportOutput& out, std::string_view prefix, std::u32string_view line,
               std::uint64_t start, const std::vector<ColumnRun>& runs,
               const std::vector<ColumnRun>& leftOut) {
    // Kept from one row to the next, so that their room is made once.
    thread_local std::string text, markers;
    text.clear();
    markers.clear();
    char marksPrefix = 0;
    showLine(line, start, marked(runs, leftOut), text, markers, marksPrefix);
    if (text.empty()) {
        out << prefix.substr(0, prefix.size() - 1) << "\n";
    } else {
        out << prefix << text << "\n";
    }
    const std::string_view indent(kIndent);
    if (marksPrefix != 0) {
        out << indent.substr(1) << std::string_view(&marksPrefix, 1) << markers << "\n";
    } else if (!markers.empty()) {
        out << indent << markers << "\n";
    }
}

// The runs of `runs` within columns [begin, end), cut to fit.
std::vector<ColumnRun> clip(const std::vector<ColumnRun>& runs, std::uint64_t begin,
                            std::uint64_t end) {
    std::vector<ColumnRun> part;
    for (const ColumnRun& run : runs) {
        if (run.last >= begin && run.first < end) {
            part.push_back({std::max(run.first, begin), std::min(run.last, end - 1)});
        }
    }
    return part;
}

void writePieces(ReportOutput& out, const LinePairSlice& pair) {
    const std::uint64_t shown = std::max(pair.text1.size(), pair.text2.size());
    for (std::uint64_t begin = 0; begin < shown; begin += ReportTextWriter::kPieceColumns) {
        const std::uint64_t end = std::min(shown, begin + ReportTextWriter::kPieceColumns);
        const std::vector<ColumnRun> runs1 = clip(pair.runs1, begin, end);
        const std::vector<ColumnRun> runs2 = clip(pair.runs2, begin, end);
        const std::vector<ColumnRun> leftOut1 = clip(pair.leftOut1, begin, end);
        const std::vector<ColumnRun> leftOut2 = clip(pair.leftOut2, begin, end);
        if (runs1.empty() && runs2.empty() && leftOut1.empty() && leftOut2.empty()) {
            continue;
        }
        out << "  columnas " << begin + 1 << "-" << end << ":\n";
        auto part = [&](const std::u32string& text) {
            return std::u32string_view(text).substr(std::min<std::uint64_t>(begin, text.size()),
                                                    end - begin);
        };
        if (pair.has1) {
            writeRows(out, kPrefix1, part(pair.text1), begin, runs1, leftOut1);
        }
        if (pair.has2) {
            writeRows(out, kPrefix2, part(pair.text2), begin, runs2, leftOut2);
        }
    }
}

// "Línea 5, campo IMPORTE (41-52): 000001234,50 → 000001243,50" for every field of `pair` that
// differs, and the columns that differ outside every field.
// They are counted in `tally`, if any.
void writeFields(ReportOutput& out, const parvane::FileComparison& comparison,
                 const parvane::RecordLayout& layout, const LinePairSlice& pair,
                 parvane::FieldTally* tally) {
    const report_fields::LineFields fields = report_fields::of(comparison, layout, pair);
    if (tally) {
        tally->add(fields.type, fields.runs);
    }
    if (!fields.type) {
        out << "Línea " << pair.line + 1 << ", sin campos: no es de ningún registro de "
            << layout.shownName() << "\n";
        return;
    }
    for (const parvane::FieldRun& run : fields.runs) {
        out << "Línea " << pair.line + 1;
        if (!run.field) {
            out << ", " << (run.columns.first == run.columns.last ? "columna " : "columnas ")
                << run.columns.first + 1;
            if (run.columns.last != run.columns.first) {
                out << "-" << run.columns.last + 1;
            }
            out << ", fuera de los campos\n";
            continue;
        }
        const auto shown = [&](int file) {
            const std::optional<std::string> value = report_fields::value(pair, file, *run.field);
            return !value           ? std::string("(no hay línea)")
                   : value->empty() ? std::string("(vacío)")
                                    : *value;
        };
        out << ", campo " << run.field->name << " (" << run.field->columns() << "): " << shown(1)
            << " → " << shown(2) << "\n";
    }
}

// The fields that differ over the whole files, and in how many lines each: as `counted` has them
// when it counted every differing line, else counted now.
void writeFieldTable(ReportOutput& out, const parvane::FileComparison& source,
                     const parvane::RecordLayout& layout,
                     const std::optional<parvane::FieldTally>& counted) {
    const parvane::FieldTally tally =
        counted ? *counted : parvane::FieldTally::count(source, layout);
    out << "\nCampos que difieren, según " << layout.shownName() << ":\n";
    const auto lines = [&](std::uint64_t count) {
        out << count << (count == 1 ? " línea\n" : " líneas\n");
    };
    for (const parvane::FieldCount& count : tally.fields()) {
        out << "  " << report_fields::name(*count.type, *count.field) << " ("
            << count.field->columns() << "): ";
        lines(count.lines);
    }
    if (tally.outsideFields() > 0) {
        out << "  fuera de los campos: ";
        lines(tally.outsideFields());
    }
    if (tally.untyped() > 0) {
        out << "  sin registro: ";
        lines(tally.untyped());
    }
}

// "columnas 3-5, 9" for `runs` (not empty).
void writeRuns(ReportOutput& out, const std::vector<ColumnRun>& runs) {
    out << (runs.size() == 1 && runs[0].first == runs[0].last ? "columna " : "columnas ");
    for (std::size_t i = 0; i < runs.size(); ++i) {
        out << (i == 0 ? "" : ", ") << runs[i].first + 1;
        if (runs[i].last != runs[i].first) {
            out << "-" << runs[i].last + 1;
        }
    }
}

void writeLinePair(ReportOutput& out, const parvane::FileComparison& comparison,
                   const LinePairSlice& pair) {
    out << "Línea " << pair.line + 1 << ", ";
    const bool counts = report_pairs::counts(comparison, pair);
    if (counts) {
        writeColumns(out, comparison, pair);
    }
    // What is left out, when it is shown.
    if (!pair.leftOut1.empty() || !pair.leftOut2.empty()) {
        out << (counts ? "; omitido: " : "solo omitido: ");
        writeRuns(out, parvane::unite(pair.leftOut1, pair.leftOut2));
    }
    if (!pair.has1) {
        out << ", falta en el fichero 1";
    } else if (!pair.has2) {
        out << ", falta en el fichero 2";
    }
    if (report_pairs::isCut(pair)) {
        out << " (solo las primeras " << report_pairs::kMaxReportedColumns << " columnas de "
            << std::max(pair.length1, pair.length2) << ")";
    }
    out << ":\n";
    if (std::max(pair.text1.size(), pair.text2.size()) > ReportTextWriter::kPieceColumns) {
        writePieces(out, pair);
        return;
    }
    if (pair.has1) {
        writeRows(out, kPrefix1, pair.text1, 0, pair.runs1, pair.leftOut1);
    }
    if (pair.has2) {
        writeRows(out, kPrefix2, pair.text2, 0, pair.runs2, pair.leftOut2);
    }
}

void writeLinePair(ReportOutput& out, const parvane::FileComparison& comparison,
                   const LinePairSlice& pair, const parvane::RecordLayout* layout,
                   parvane::FieldTally* tally) {
    writeLinePair(out, comparison, pair);
    if (layout && report_pairs::counts(comparison, pair)) {
        writeFields(out, comparison, *layout, pair, tally);
    }
}

void writeHeader(ReportOutput& out, const parvane::FileComparison& source) {
    out << "Fichero 1: " << parvane::quoted(source.path(1)) << "\n";
    out << "Fichero 2: " << parvane::quoted(source.path(2)) << "\n";
    out << "Codificación: " << parvane::decodingsOf(source) << "\n";
    const std::vector<std::string> rules = source.rules().described();
    for (std::size_t i = 0; i < rules.size(); ++i) {
        out << (i == 0 ? "Se omite: " : "; ") << rules[i];
    }
    out << (rules.empty() ? "\n" : "\n\n");
}

// How many characters differ in what was left out, if any do.
void writeLeftOut(ReportOutput& out, const parvane::FileComparison& source) {
    const parvane::ComparisonTotals& totals = source.totals();
    if (totals.leftOutCharacters1 + totals.leftOutCharacters2 == 0) {
        return;
    }
    out << "Caracteres que difieren en lo omitido: " << totals.leftOutCharacters1
        << " en el fichero 1, " << totals.leftOutCharacters2 << " en el fichero 2\n";
}

// A shifted file and what differs in the files' bytes beyond their characters, a line each.
void writeNotes(ReportOutput& out, const parvane::FileComparison& source) {
    for (const std::string& note : parvane::notesOn(source)) {
        out << note << "\n";
    }
}

void writeTotals(ReportOutput& out, const parvane::FileComparison& source) {
    const parvane::ComparisonTotals& totals = source.totals();
    out << "Líneas que difieren: " << totals.differingLines << " de " << source.pairCount() << "\n";
    out << "Caracteres que difieren: " << totals.differingCharacters1 << " en el fichero 1, "
        << totals.differingCharacters2 << " en el fichero 2\n";
    out << "Líneas que solo tiene el fichero 1: " << totals.linesOnlyIn1 << "\n";
    out << "Líneas que solo tiene el fichero 2: " << totals.linesOnlyIn2 << "\n";
    if (!source.rules().empty()) {
        out << "Líneas que solo difieren en lo omitido: " << totals.leftOutLines << "\n";
        writeLeftOut(out, source);
    }
    writeNotes(out, source);
}

void writeShownPart(ReportOutput& out, std::uint64_t shown, std::uint64_t all) {
    if (shown == 0) {
        out << "… no se muestra ninguna de las " << all << " líneas que difieren.\n\n";
    } else if (shown == 1) {
        out << "… se muestra la primera línea que difiere de " << all << ".\n\n";
    } else {
        out << "… se muestran las primeras " << shown << " líneas que difieren de " << all
            << ".\n\n";
    }
}

} // namespace

void ReportTextWriter::write(ReportOutput& out, const parvane::FileComparison& source,
                             std::optional<std::uint64_t> maxLines,
                             const parvane::RecordLayout* layout, bool showLeftOut) {
    const parvane::ComparisonTotals& totals = source.totals();
    showLeftOut = showLeftOut && totals.leftOutCharacters1 + totals.leftOutCharacters2 > 0;
    if (source.identical() && !showLeftOut) {
        out << kIdentical << "\n";
        writeLeftOut(out, source);
        writeNotes(out, source);
        return;
    }
    writeHeader(out, source);
    const std::uint64_t all = totals.differingLines + (showLeftOut ? totals.leftOutLines : 0);
    const std::uint64_t limit = std::min(all, maxLines.value_or(all));
    // Listing every differing line counts the fields as it goes.
    std::optional<parvane::FieldTally> tally;
    if (layout && limit == all) {
        tally.emplace(*layout);
    }
    const std::uint64_t shown = report_pairs::writePairs(
        out, source, showLeftOut, limit, layout, tally ? &*tally : nullptr,
        [&](ReportOutput& into, LinePairSlice& pair, std::uint64_t, parvane::FieldTally* counted) {
            if (!showLeftOut) {
                pair.leftOut1.clear();
                pair.leftOut2.clear();
            }
            writeLinePair(into, source, pair, layout, counted);
            into << "\n";
        });
    if (shown < all) {
        writeShownPart(out, shown, all);
    }
    writeTotals(out, source);
    if (layout) {
        writeFieldTable(out, source, *layout, tally);
    }
}

void ReportTextWriter::writeSummary(ReportOutput& out, const parvane::FileComparison& source,
                                    const parvane::RecordLayout* layout) {
    if (source.identical()) {
        out << kIdentical << "\n";
        writeLeftOut(out, source);
        writeNotes(out, source);
        return;
    }
    writeHeader(out, source);
    writeTotals(out, source);
    if (layout) {
        writeFieldTable(out, source, *layout, std::nullopt);
    }
}
