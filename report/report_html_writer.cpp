#include "report/report_html_writer.h"

#include "comparison/comparison_notes.h"
#include "comparison/field_tally.h"
#include "comparison/source_file.h"
#include "comparison/text_decoding.h"
#include "report/report_characters.h"
#include "report/report_fields.h"
#include "report/report_pairs.h"

#include <algorithm>
#include <string>

namespace {

using parvane::ColumnRun;
using parvane::LinePairSlice;

// Line pairs read from the source at a time.
constexpr std::uint64_t kBlockPairs = 256;

// Added to kHead with a record layout.
constexpr std::string_view kFieldStyle = R"(<style>
th.k, td.k { width: 9em; font-family: sans-serif; }
table.campos { width: auto; margin-top: 0.5em; }
</style>
)";

constexpr std::string_view kHead = R"(<!DOCTYPE html>
<html lang="es">
<head>
<meta charset="utf-8">
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; style-src 'unsafe-inline'">
<meta name="viewport" content="width=device-width, initial-scale=1">
<style>
body { font-family: sans-serif; margin: 1em; }
table { border-collapse: collapse; width: 100%; table-layout: fixed; }
th { text-align: left; font-weight: normal; background: #eee; padding: 0.2em 0.4em; }
td { font-family: monospace; white-space: pre-wrap; overflow-wrap: anywhere; tab-size: 8;
     vertical-align: top; padding: 0 0.4em; }
td.n { width: 4em; text-align: right; color: #777; user-select: none; }
tr.x td.n { color: #c00; }
td.f { background: #eee; }
.d { color: #d00; background: #fdd; }
.c { color: #777; font-style: italic; }
tr.g td { text-align: center; color: #777; background: #f6f6f6; font-family: sans-serif; }
p.ok { font-weight: bold; }
</style>
)";

// Appends `text` to `out` with &, <, > and quotes escaped.
void appendEscaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
}

std::string escaped(std::string_view text) {
    std::string out;
    appendEscaped(out, text);
    return out;
}

// One file's cell of a line pair: the line's characters, the differing ones in red; past the
// characters shown of a long line, how many more there are and which of them differ.
void writeCell(ReportOutput& page, const parvane::FileComparison& comparison,
               const LinePairSlice& pair, int file) {
    const bool has = file == 1 ? pair.has1 : pair.has2;
    const std::uint64_t length = file == 1 ? pair.length1 : pair.length2;
    const std::u32string_view text = file == 1 ? pair.text1 : pair.text2;
    const std::vector<ColumnRun>& runs = file == 1 ? pair.runs1 : pair.runs2;
    const std::uint64_t firstColumn = pair.firstColumn;
    if (!has) {
        page << "<td class=\"t f\"></td>";
        return;
    }
    std::string out = "<td class=\"t\">";
    auto run = runs.begin();
    bool inRun = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::uint64_t column = firstColumn + i;
        while (run != runs.end() && run->last < column) {
            ++run;
        }
        const bool differs = run != runs.end() && run->first <= column;
        if (differs != inRun) {
            out += differs ? "<span class=\"d\">" : "</span>";
            inRun = differs;
        }
        const char32_t c = text[i];
        if (report_characters::needsEscape(c)) {
            out += "<span class=\"c\">" + report_characters::escape(c) + "</span>";
        } else if (c == '&' || c == '<' || c == '>' || c == '"' || c == '\'') {
            appendEscaped(out, std::string(1, static_cast<char>(c)));
        } else {
            parvane::appendUtf8(out, std::u32string_view(&c, 1));
        }
    }
    if (inRun) {
        out += "</span>";
    }
    page << out;
    const std::uint64_t shownEnd = firstColumn + text.size();
    if (length > shownEnd) {
        page << "<span class=\"c\"> … " << length - shownEnd << " caracteres más";
        bool first = true;
        report_pairs::forEachRun(comparison, pair, file, [&](ColumnRun run) {
            if (run.last < shownEnd) {
                return;
            }
            page << (first ? "; difieren las columnas " : ", ")
                 << std::max(run.first, shownEnd) + 1;
            if (run.last > std::max(run.first, shownEnd)) {
                page << "-" << run.last + 1;
            }
            first = false;
        });
        page << "</span>";
    }
    page << "</td>";
}

// The cell of the fields that differ in `pair`: "IMPORTE, NOMBRE", "fuera de los campos",
// "sin registro"; empty for a pair that does not differ.
void writeFieldCell(ReportOutput& out, const parvane::FileComparison& comparison,
                    const parvane::RecordLayout& layout, const LinePairSlice& pair) {
    out << "<td class=\"k\">";
    if (comparison.differingLinesBefore(pair.line + 1) >
        comparison.differingLinesBefore(pair.line)) {
        const report_fields::LineFields fields = report_fields::of(comparison, layout, pair);
        std::string names = fields.type ? "" : "sin registro";
        bool outside = false;
        for (const parvane::FieldRun& run :
             fields.type ? fields.runs : std::vector<parvane::FieldRun>{}) {
            if (run.field) {
                names += (names.empty() ? "" : ", ") + escaped(run.field->name);
            } else {
                outside = true;
            }
        }
        if (outside) {
            names += (names.empty() ? "" : ", ") + std::string("fuera de los campos");
        }
        out << names;
    }
    out << "</td>";
}

void writePair(ReportOutput& out, const parvane::FileComparison& comparison,
               const LinePairSlice& pair, const parvane::RecordLayout* layout) {
    const std::string number = std::to_string(pair.line + 1);
    out << (!pair.runs1.empty() || !pair.runs2.empty() || report_pairs::isCut(pair)
                ? "<tr class=\"x\">"
                : "<tr>");
    out << "<td class=\"n\">" << (pair.has1 ? number : std::string()) << "</td>";
    writeCell(out, comparison, pair, 1);
    out << "<td class=\"n\">" << (pair.has2 ? number : std::string()) << "</td>";
    writeCell(out, comparison, pair, 2);
    if (layout) {
        writeFieldCell(out, comparison, *layout, pair);
    }
    out << "</tr>\n";
}

// Writes line pairs [first, end).
void writePairs(ReportOutput& out, const parvane::FileComparison& source, std::uint64_t first,
                std::uint64_t end, std::uint64_t maxColumns, const parvane::RecordLayout* layout) {
    for (std::uint64_t block = first; block < end; block += kBlockPairs) {
        for (const LinePairSlice& pair :
             source.linePairs(block, std::min(kBlockPairs, end - block), 0, maxColumns)) {
            writePair(out, source, pair, layout);
        }
    }
}

void writeGap(ReportOutput& out, std::uint64_t first, std::uint64_t end, bool fields) {
    out << "<tr class=\"g\"><td colspan=\"" << (fields ? "5" : "4") << "\">⋯ ";
    if (end - first == 1) {
        out << "línea " << first + 1;
    } else {
        out << "líneas " << first + 1 << "-" << end;
    }
    out << "</td></tr>\n";
}

void writeSummary(ReportOutput& out, const parvane::FileComparison& source) {
    const std::string name1 = escaped(parvane::quoted(source.path(1)));
    const std::string name2 = escaped(parvane::quoted(source.path(2)));
    out << "<title>Parvane: " << name1 << " y " << name2 << "</title>\n</head>\n<body>\n";
    out << "<h1>Parvane</h1>\n";
    out << "<p>Fichero 1: " << name1 << "<br>Fichero 2: " << name2
        << "<br>Codificación: " << parvane::decodingsOf(source);
    const std::vector<std::string> rules = source.rules().described();
    for (std::size_t i = 0; i < rules.size(); ++i) {
        out << (i == 0 ? "<br>Se omite: " : "; ") << escaped(rules[i]);
    }
    out << "</p>\n";
    const parvane::ComparisonTotals& totals = source.totals();
    // What differs in what was left out, counted apart.
    const auto writeLeftOut = [&] {
        if (totals.leftOutCharacters1 + totals.leftOutCharacters2 > 0) {
            out << "<p>Caracteres que difieren en lo omitido: " << totals.leftOutCharacters1
                << " en el fichero 1, " << totals.leftOutCharacters2 << " en el fichero 2</p>\n";
        }
    };
    const std::vector<std::string> notes = parvane::notesOn(source);
    const auto writeNotes = [&] {
        for (const std::string& note : notes) {
            out << "<p>" << escaped(note) << "</p>\n";
        }
    };
    if (source.identical()) {
        out << "<p class=\"ok\">Estos dos ficheros son idénticos</p>\n";
        writeLeftOut();
        writeNotes();
        return;
    }
    out << "<p>Líneas que difieren: " << totals.differingLines << " de " << source.pairCount()
        << "<br>Caracteres que difieren: " << totals.differingCharacters1 << " en el fichero 1, "
        << totals.differingCharacters2 << " en el fichero 2"
        << "<br>Líneas que solo tiene el fichero 1: " << totals.linesOnlyIn1
        << "<br>Líneas que solo tiene el fichero 2: " << totals.linesOnlyIn2 << "</p>\n";
    writeLeftOut();
    writeNotes();
}

} // namespace

// The fields that differ over the whole files, and in how many lines each.
void writeFieldTable(ReportOutput& out, const parvane::FileComparison& source,
                     const parvane::RecordLayout& layout) {
    const parvane::FieldTally tally = parvane::FieldTally::count(source, layout);
    out << "<h2>Campos que difieren, según " << escaped(layout.shownName()) << "</h2>\n"
        << "<table class=\"campos\">\n<tr><th>Campo</th><th>Columnas</th><th>Líneas</th></tr>\n";
    for (const parvane::FieldCount& count : tally.fields()) {
        out << "<tr><td>" << escaped(report_fields::name(*count.type, *count.field)) << "</td><td>"
            << count.field->columns() << "</td><td>" << count.lines << "</td></tr>\n";
    }
    if (tally.outsideFields() > 0) {
        out << "<tr><td>fuera de los campos</td><td></td><td>" << tally.outsideFields()
            << "</td></tr>\n";
    }
    if (tally.untyped() > 0) {
        out << "<tr><td>sin registro</td><td></td><td>" << tally.untyped() << "</td></tr>\n";
    }
    out << "</table>\n";
}

void ReportHtmlWriter::write(ReportOutput& out, const parvane::FileComparison& source,
                             std::optional<std::uint64_t> maxLines,
                             const parvane::RecordLayout* layout) {
    out << kHead;
    if (layout) {
        out << kFieldStyle;
    }
    writeSummary(out, source);
    const std::uint64_t all = source.totals().differingLines;
    const std::uint64_t limit = std::min(all, maxLines.value_or(all));
    const std::uint64_t pairs = source.pairCount();
    const bool everything = !source.unlimited() && pairs <= kMaxFullPairs && limit == all;
    if (!everything) {
        out << "<p class=\"nota\">Solo se muestran las líneas que difieren";
        if (limit < all) {
            out << " (las primeras " << limit << " de " << all << ")";
        }
        out << ", con " << kContextLines << " líneas de contexto alrededor de cada una.</p>\n";
    }
    out << "<table>\n<tr><th colspan=\"2\">Fichero 1: " << escaped(parvane::quoted(source.path(1)))
        << "</th><th colspan=\"2\">Fichero 2: " << escaped(parvane::quoted(source.path(2)))
        << (layout ? "</th><th class=\"k\">Campos" : "") << "</th></tr>\n";
    if (everything) {
        writePairs(out, source, 0, pairs, UINT64_MAX, layout);
    } else {
        std::uint64_t next = 0; // the first pair not yet written
        std::uint64_t shown = 0;
        for (std::optional<std::uint64_t> line = source.firstDifferingLine(); line && shown < limit;
             line = source.nextDifferingLine(*line), ++shown) {
            const std::uint64_t first = std::max(next, *line - std::min(*line, kContextLines));
            const std::uint64_t end = std::min(pairs, *line + kContextLines + 1);
            if (first > next) {
                writeGap(out, next, first, layout);
            }
            if (end > first) {
                writePairs(out, source, first, end, kMaxColumns, layout);
                next = end;
            }
        }
        if (next < pairs) {
            writeGap(out, next, pairs, layout);
        }
    }
    out << "</table>\n";
    if (layout) {
        writeFieldTable(out, source, *layout);
    }
    out << "</body>\n</html>\n";
}
