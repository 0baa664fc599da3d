#include "report/report_json_writer.h"

#include "comparison/comparison_notes.h"
#include "comparison/field_tally.h"
#include "comparison/text_decoding.h"
#include "report/report_fields.h"
#include "report/report_pairs.h"

namespace {

using parvane::ColumnRun;

// Writes one file's side of a line pair: {"length": N, "columns": [[a, b], ...]} or null.
void writeSide(ReportOutput& out, const parvane::FileComparison& comparison,
               const parvane::LinePairSlice& pair, int file) {
    if (!(file == 1 ? pair.has1 : pair.has2)) {
        out << "null";
        return;
    }
    out << "{\"length\": " << (file == 1 ? pair.length1 : pair.length2) << ", \"columns\": [";
    bool first = true;
    std::vector<ColumnRun> counted;
    const bool ruled = !comparison.rules().empty();
    report_pairs::forEachRun(comparison, pair, file, [&](ColumnRun run) {
        out << (first ? "[" : ", [") << run.first + 1 << ", " << run.last + 1 << "]";
        first = false;
        if (ruled) {
            counted.push_back(run);
        }
    });
    out << "]";
    if (ruled) {
        // Every run with its status, in the order of the columns.
        const std::vector<ColumnRun>& leftOut = file == 1 ? pair.leftOut1 : pair.leftOut2;
        out << ", \"runs\": [";
        auto c = counted.begin();
        auto l = leftOut.begin();
        bool firstRun = true;
        while (c != counted.end() || l != leftOut.end()) {
            const bool takeCounted =
                l == leftOut.end() || (c != counted.end() && c->first < l->first);
            const ColumnRun run = takeCounted ? *c++ : *l++;
            out << (firstRun ? "" : ", ") << "{\"columns\": [" << run.first + 1 << ", "
                << run.last + 1 << "], \"status\": \"" << (takeCounted ? "counted" : "leftOut")
                << "\"}";
            firstRun = false;
        }
        out << "]";
    }
    out << "}";
}

// [41, 52], or [53, null] for a field to the end of the line.
std::string columnsOf(const parvane::LayoutField& field) {
    return "[" + std::to_string(field.first + 1) + ", " +
           (field.length ? std::to_string(field.first + *field.length) : "null") + "]";
}

std::string text(const std::string& name) { return ReportJsonWriter::quote(name); }

// A record type's name, or null for the only type of a layout without `registro`.
std::string record(const parvane::RecordType* type) {
    return type && !type->name.empty() ? text(type->name) : "null";
}

// "fields": {"record": "DETALLE", "runs": [{"field": "IMPORTE", "columns": [41, 52], "value1":
// "…", "value2": "…"}, {"field": null, "columns": [81, 90]}]}, or "record": null and no runs.
void writeFields(ReportOutput& out, const parvane::FileComparison& comparison,
                 const parvane::RecordLayout& layout, const parvane::LinePairSlice& pair) {
    const report_fields::LineFields fields = report_fields::of(comparison, layout, pair);
    out << ", \"fields\": {\"record\": " << record(fields.type) << ", \"runs\": [";
    bool first = true;
    for (const parvane::FieldRun& run : fields.type ? fields.runs : decltype(fields.runs){}) {
        out << (first ? "" : ", ");
        first = false;
        if (!run.field) {
            out << "{\"field\": null, \"columns\": [" << run.columns.first + 1 << ", "
                << run.columns.last + 1 << "]}";
            continue;
        }
        const auto value = [&](int file) {
            const std::optional<std::string> shown = report_fields::value(pair, file, *run.field);
            return shown ? text(*shown) : std::string("null");
        };
        out << "{\"field\": " << text(run.field->name) << ", \"columns\": " << columnsOf(*run.field)
            << ", \"value1\": " << value(1) << ", \"value2\": " << value(2) << "}";
    }
    out << "]}";
}

// "fieldTotals": {"fields": [{"record": …, "field": …, "columns": […], "lines": N}, …],
// "outsideFields": N, "withoutRecord": N}
void writeFieldTotals(ReportOutput& out, const parvane::FileComparison& source,
                      const parvane::RecordLayout& layout) {
    const parvane::FieldTally tally = parvane::FieldTally::count(source, layout);
    out << ",\n  \"fieldTotals\": {\"fields\": [";
    bool first = true;
    for (const parvane::FieldCount& count : tally.fields()) {
        out << (first ? "" : ", ") << "{\"record\": " << record(count.type)
            << ", \"field\": " << text(count.field->name)
            << ", \"columns\": " << columnsOf(*count.field) << ", \"lines\": " << count.lines
            << "}";
        first = false;
    }
    out << "], \"outsideFields\": " << tally.outsideFields()
        << ", \"withoutRecord\": " << tally.untyped() << "}";
}

void writeHead(ReportOutput& out, const parvane::FileComparison& source) {
    const parvane::ComparisonTotals& totals = source.totals();
    out << "{\n";
    out << "  \"file1\": " << ReportJsonWriter::name(source.path(1).native()) << ",\n";
    out << "  \"file2\": " << ReportJsonWriter::name(source.path(2).native()) << ",\n";
    out << "  \"decoding\": \"" << parvane::decodingsOf(source) << "\",\n";
    out << "  \"identical\": " << (source.identical() ? "true" : "false") << ",\n";
    out << "  \"lines1\": " << source.lineCount(1) << ",\n";
    out << "  \"lines2\": " << source.lineCount(2) << ",\n";
    out << "  \"totals\": {\"differingLines\": " << totals.differingLines
        << ", \"differingCharacters1\": " << totals.differingCharacters1
        << ", \"differingCharacters2\": " << totals.differingCharacters2
        << ", \"linesOnlyIn1\": " << totals.linesOnlyIn1
        << ", \"linesOnlyIn2\": " << totals.linesOnlyIn2;
    const std::vector<std::string> rules = source.rules().described();
    if (!rules.empty()) {
        out << ", \"leftOutCharacters1\": " << totals.leftOutCharacters1
            << ", \"leftOutCharacters2\": " << totals.leftOutCharacters2
            << ", \"leftOutLines\": " << totals.leftOutLines;
    }
    out << "}";
    if (!rules.empty()) {
        out << ",\n  \"rules\": [";
        for (std::size_t k = 0; k < rules.size(); ++k) {
            out << (k == 0 ? "" : ", ") << ReportJsonWriter::quote(rules[k]);
        }
        out << "]";
    }
    out << ",\n  \"notes\": [";
    const std::vector<std::string> notes = parvane::notesOn(source);
    for (std::size_t k = 0; k < notes.size(); ++k) {
        out << (k == 0 ? "" : ", ") << ReportJsonWriter::name(notes[k]);
    }
    out << "]";
}

} // namespace

void ReportJsonWriter::write(ReportOutput& out, const parvane::FileComparison& source,
                             std::optional<std::uint64_t> maxLines,
                             const parvane::RecordLayout* layout, bool showLeftOut) {
    writeHead(out, source);
    out << ",\n  \"lines\": [";
    const parvane::ComparisonTotals& totals = source.totals();
    showLeftOut = showLeftOut && totals.leftOutLines > 0;
    const std::uint64_t all = totals.differingLines + (showLeftOut ? totals.leftOutLines : 0);
    const std::uint64_t limit = std::min(all, maxLines.value_or(all));
    const std::uint64_t shown =
        report_pairs::writePairs(out, source, showLeftOut, limit, layout, nullptr,
                                 [&](ReportOutput& into, parvane::LinePairSlice& pair,
                                     std::uint64_t index, parvane::FieldTally*) {
                                     into << (index == 0 ? "\n" : ",\n")
                                          << "    {\"line\": " << pair.line + 1 << ", \"file1\": ";
                                     writeSide(into, source, pair, 1);
                                     into << ", \"file2\": ";
                                     writeSide(into, source, pair, 2);
                                     into << ", \"cut\": "
                                          << (report_pairs::isCut(pair) ? "true" : "false");
                                     if (layout) {
                                         writeFields(into, source, *layout, pair);
                                     }
                                     into << "}";
                                 });
    out << (shown == 0 ? "],\n" : "\n  ],\n");
    out << "  \"shownLines\": " << shown << ",\n";
    out << "  \"truncated\": " << (shown < all ? "true" : "false");
    if (layout) {
        writeFieldTotals(out, source, *layout);
    }
    out << "\n}\n";
}

void ReportJsonWriter::writeSummary(ReportOutput& out, const parvane::FileComparison& source,
                                    const std::filesystem::path& html,
                                    const parvane::RecordLayout* layout) {
    writeHead(out, source);
    out << ",\n  \"html\": " << name(html.native());
    if (layout) {
        writeFieldTotals(out, source, *layout);
    }
    out << "\n}\n";
}

std::string ReportJsonWriter::quote(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string quoted = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        // U+0080..U+009F, the C1 controls, are C2 80..C2 9F in UTF-8.
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        const bool c1 = byte == 0xC2 && next >= 0x80 && next < 0xA0;
        switch (text[i]) {
        case '"': quoted += "\\\""; break;
        case '\\': quoted += "\\\\"; break;
        case '\b': quoted += "\\b"; break;
        case '\f': quoted += "\\f"; break;
        case '\n': quoted += "\\n"; break;
        case '\r': quoted += "\\r"; break;
        case '\t': quoted += "\\t"; break;
        default:
            if (byte < 0x20 || byte == 0x7F || c1) {
                const unsigned char code = c1 ? next : byte;
                i += c1 ? 1 : 0;
                quoted += "\\u00";
                quoted += kHex[code >> 4];
                quoted += kHex[code & 0xF];
            } else {
                quoted += text[i];
            }
        }
    }
    return quoted + "\"";
}

std::string ReportJsonWriter::name(std::string_view bytes) {
    if (parvane::isValidUtf8(bytes)) {
        return quote(bytes);
    }
    std::string array = "[";
    for (const char c : bytes) {
        array += (array.size() == 1 ? "" : ", ") + std::to_string(static_cast<unsigned char>(c));
    }
    return array + "]";
}
