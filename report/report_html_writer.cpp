#include "report/report_html_writer.h"

#include "comparison/source_file.h"
#include "comparison/text_decoding.h"
#include "report/report_characters.h"

#include <algorithm>
#include <string>

namespace {

using parvane::ColumnRun;
using parvane::LinePairSlice;

// Line pairs read from the source at a time.
constexpr std::uint64_t kBlockPairs = 256;

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

// One file's cell of a line pair: the line's characters, the differing ones in red.
void appendCell(std::string& out, bool has, std::uint64_t length, std::u32string_view text,
                const std::vector<ColumnRun>& runs, std::uint64_t firstColumn) {
    if (!has) {
        out += "<td class=\"t f\"></td>";
        return;
    }
    out += "<td class=\"t\">";
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
    const std::uint64_t shownEnd = firstColumn + text.size();
    if (length > shownEnd) {
        out +=
            "<span class=\"c\"> … " + std::to_string(length - shownEnd) + " caracteres más</span>";
    }
    out += "</td>";
}

void writePair(ReportOutput& out, const LinePairSlice& pair) {
    std::string row = !pair.runs1.empty() || !pair.runs2.empty() ? "<tr class=\"x\">" : "<tr>";
    const std::string number = std::to_string(pair.line + 1);
    row += "<td class=\"n\">" + (pair.has1 ? number : std::string()) + "</td>";
    appendCell(row, pair.has1, pair.length1, pair.text1, pair.runs1, pair.firstColumn);
    row += "<td class=\"n\">" + (pair.has2 ? number : std::string()) + "</td>";
    appendCell(row, pair.has2, pair.length2, pair.text2, pair.runs2, pair.firstColumn);
    row += "</tr>\n";
    out << row;
}

// Writes line pairs [first, end).
void writePairs(ReportOutput& out, const parvane::FileComparison& source, std::uint64_t first,
                std::uint64_t end, std::uint64_t maxColumns) {
    for (std::uint64_t block = first; block < end; block += kBlockPairs) {
        for (const LinePairSlice& pair :
             source.linePairs(block, std::min(kBlockPairs, end - block), 0, maxColumns)) {
            writePair(out, pair);
        }
    }
}

void writeGap(ReportOutput& out, std::uint64_t first, std::uint64_t end) {
    out << "<tr class=\"g\"><td colspan=\"4\">⋯ ";
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
    out << "<p>Fichero 1: " << name1 << "<br>Fichero 2: " << name2 << "<br>Codificación: "
        << (source.decoding() == parvane::Decoding::Utf8 ? "UTF-8" : "Windows-1252") << "</p>\n";
    if (source.identical()) {
        out << "<p class=\"ok\">Estos dos ficheros son idénticos</p>\n";
        return;
    }
    const parvane::ComparisonTotals& totals = source.totals();
    out << "<p>Líneas que difieren: " << totals.differingLines << " de " << source.pairCount()
        << "<br>Caracteres que difieren: " << totals.differingCharacters1 << " en el fichero 1, "
        << totals.differingCharacters2 << " en el fichero 2"
        << "<br>Líneas que solo tiene el fichero 1: " << totals.linesOnlyIn1
        << "<br>Líneas que solo tiene el fichero 2: " << totals.linesOnlyIn2 << "</p>\n";
}

} // namespace

void ReportHtmlWriter::write(ReportOutput& out, const parvane::FileComparison& source,
                             std::optional<std::uint64_t> maxLines) {
    out << kHead;
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
        << "</th></tr>\n";
    if (everything) {
        writePairs(out, source, 0, pairs, UINT64_MAX);
    } else {
        std::uint64_t next = 0; // the first pair not yet written
        std::uint64_t shown = 0;
        for (std::optional<std::uint64_t> line = source.firstDifferingLine(); line && shown < limit;
             line = source.nextDifferingLine(*line), ++shown) {
            const std::uint64_t first = std::max(next, *line - std::min(*line, kContextLines));
            const std::uint64_t end = std::min(pairs, *line + kContextLines + 1);
            if (first > next) {
                writeGap(out, next, first);
            }
            if (end > first) {
                writePairs(out, source, first, end, kMaxColumns);
                next = end;
            }
        }
        if (next < pairs) {
            writeGap(out, next, pairs);
        }
    }
    out << "</table>\n</body>\n</html>\n";
}
