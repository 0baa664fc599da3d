#include "tests/comparison/comparison_model.h"

#include "comparison/case_folding.h"
#include "comparison/source_file.h"

#include <algorithm>
#include <random>
#include <tuple>

namespace parvane::test {
namespace {

// Strict UTF-8: every code point read with its continuation bytes, then refused unless it was
// written in its shortest form, is no surrogate and is at most U+10FFFF.
std::optional<std::u32string> fromUtf8(const std::string& bytes) {
    std::u32string text;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned lead = static_cast<unsigned char>(bytes[i]);
        int more;
        char32_t code;
        if (lead <= 0x7F) {
            more = 0;
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            more = 1;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            more = 2;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            more = 3;
            code = lead & 0x07;
        } else {
            return std::nullopt;
        }
        for (int k = 1; k <= more; ++k) {
            if (i + k >= bytes.size()) {
                return std::nullopt;
            }
            const unsigned next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            code = code * 64 + (next & 0x3F);
        }
        const int shortest = code < 0x80 ? 0 : code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
        if (shortest != more || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
            return std::nullopt;
        }
        text += code;
        i += static_cast<std::size_t>(more) + 1;
    }
    return text;
}

// Windows-1252: the bytes 0x80..0x9F as this table says, every other byte as the code point of
// its value.
std::u32string fromWindows1252(const std::string& bytes) {
    static const std::u32string high = U"€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008DŽ\u008F"
                                       U"\u0090‘’“”•–—˜™š›œ\u009DžŸ";
    std::u32string text;
    for (const char c : bytes) {
        const unsigned byte = static_cast<unsigned char>(c);
        text += (byte >= 0x80 && byte < 0xA0) ? high[byte - 0x80] : char32_t(byte);
    }
    return text;
}

void addUtf8(std::string& out, std::u32string_view text) {
    for (const char32_t code : text) {
        if (code < 0x80) {
            out += static_cast<char>(code);
            continue;
        }
        // Continuation bytes from the last one backwards, until the rest fits in the lead byte,
        // which holds 5 bits after one continuation byte, 4 after two and 3 after three.
        char tail[4];
        int count = 0;
        char32_t rest = code;
        unsigned room = 0x3F;
        unsigned mark = 0x80;
        while (rest > room) {
            tail[count++] = static_cast<char>(0x80 + (rest & 0x3F));
            rest >>= 6;
            room >>= 1;
            mark = (mark >> 1) | 0x80;
        }
        out += static_cast<char>(mark | rest);
        while (count > 0) {
            out += tail[--count];
        }
    }
}

// Lines: every CR LF and every lone CR becomes LF, then the text is cut at each LF; a last line
// without a break is still a line.
std::vector<std::u32string> linesOf(std::u32string text) {
    std::u32string joined;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') {
            continue; // the LF that follows ends the line
        }
        joined += text[i] == U'\r' ? U'\n' : text[i];
    }
    std::vector<std::u32string> lines;
    std::size_t start = 0;
    while (start < joined.size()) {
        const std::size_t end = std::min(joined.find(U'\n', start), joined.size());
        lines.push_back(joined.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

FileTraits traitsOf(const std::string& bytes) {
    FileTraits traits;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes.compare(i, 2, "\r\n") == 0) {
            ++traits.crLfBreaks;
            ++i;
        } else if (bytes[i] == '\r') {
            ++traits.crBreaks;
        } else if (bytes[i] == '\n') {
            ++traits.lfBreaks;
        }
    }
    traits.byteOrderMark = bytes.starts_with("\xEF\xBB\xBF");
    traits.endsWithLineBreak = bytes.ends_with('\n') || bytes.ends_with('\r');
    traits.validUtf8 = fromUtf8(bytes).has_value();
    return traits;
}

// A display text holds at most 32766 characters and a line at most 32764, every line counting
// two more for the line break after it; the lines of the other file add two each.
std::vector<RefusalOf> refusalsOf(const std::array<ModelFile, 2>& files, std::size_t pairs) {
    constexpr std::size_t kLongestText = 32766;
    constexpr std::size_t kLongestLine = 32764;
    std::vector<RefusalOf> result;
    for (int f = 0; f < 2; ++f) {
        std::size_t characters = 0;
        for (const std::u32string& line : files[f].lines) {
            characters += line.size();
            if (line.size() > kLongestLine) {
                result.push_back({Refusal::LineTooLong, f});
            }
        }
        if (characters + 2 * files[f].lines.size() > kLongestText) {
            result.push_back({Refusal::TextTooLarge, f});
        } else if (characters + 2 * pairs > kLongestText) {
            result.push_back({Refusal::TooLargeWith, f});
        }
    }
    return result;
}

std::string place(std::optional<LineColumn> at) {
    return at ? std::to_string(at->line) + ":" + std::to_string(at->column) : "ninguno";
}

std::string runsText(const std::vector<ColumnRun>& runs) {
    std::string text;
    for (const ColumnRun& run : runs) {
        text += "[" + std::to_string(run.first) + "," + std::to_string(run.last) + "]";
    }
    return text;
}

// The first place where, within consecutive differing line pairs, the line of one file equals
// the line of the other 1 to 3 pairs before it for three pairs in a row; nearer distances and
// file 2 lacking lines first. Pair 0 counts only without a byte-order mark, and lines that are
// blank or longer than 4096 bytes prove nothing.
std::optional<ShiftHint> shiftOf(const Model& m) {
    const auto usable = [&](int f, std::uint64_t k) {
        const std::vector<std::u32string>& lines = m.files[f].lines;
        if (k >= lines.size() || lines[k].find_first_not_of(U" \t") == std::u32string::npos) {
            return false;
        }
        std::string bytes;
        addUtf8(bytes, lines[k]);
        return (m.decodings[f] == Decoding::Utf8 ? bytes.size() : lines[k].size()) <= 4096;
    };
    const bool marked = m.files[0].traits.byteOrderMark || m.files[1].traits.byteOrderMark;
    std::vector<bool> differs(m.pairCount());
    for (const std::uint64_t k : m.differingLines) {
        differs[k] = k > 0 || !marked;
    }
    const auto evidence = [&](std::uint64_t k, int d, int lacking) {
        const int f = lacking - 1;
        for (std::uint64_t j = k - d; j <= k; ++j) {
            if (!differs[j]) {
                return false;
            }
        }
        return usable(f, k - d) && usable(1 - f, k) &&
               m.files[f].lines[k - d] == m.files[1 - f].lines[k];
    };
    for (std::uint64_t k = 0; k < m.pairCount(); ++k) {
        for (int d = 1; d <= 3; ++d) {
            for (const int lacking : {2, 1}) {
                if (k >= std::uint64_t(d) + 2 && evidence(k - 2, d, lacking) &&
                    evidence(k - 1, d, lacking) && evidence(k, d, lacking)) {
                    return ShiftHint{k - 2 - d, d, lacking};
                }
            }
        }
    }
    return std::nullopt;
}

// Whether column `c` of `line` is a blank of the line's end or, with `field` marked
// `sin-blancos-finales`, of the field's own end.
bool trailingBlank(const std::u32string& line, std::size_t c, bool lineRule,
                   const LayoutField* field) {
    const auto blankFrom = [&](std::size_t begin, std::size_t end) {
        end = std::min(end, line.size());
        while (end > begin && (line[end - 1] == U' ' || line[end - 1] == U'\t')) {
            --end;
        }
        return end;
    };
    if (lineRule && c >= blankFrom(0, line.size())) {
        return true;
    }
    if (field == nullptr || !field->noTrailingBlanks) {
        return false;
    }
    const std::size_t end =
        static_cast<std::size_t>(std::min<std::uint64_t>(field->end(), line.size()));
    return c >= blankFrom(static_cast<std::size_t>(field->first), end);
}

// The columns of `line` where pattern `p` matches, one flag a column.
std::vector<bool> patternColumns(const ComparisonRules& rules, std::size_t p,
                                 const std::u32string& line) {
    std::string bytes;
    std::vector<std::size_t> starts;
    for (const char32_t c : line) {
        starts.push_back(bytes.size());
        addUtf8(bytes, std::u32string(1, c));
    }
    std::vector<ColumnRun> runs;
    rules.matchPattern(p, bytes, starts, runs);
    std::vector<bool> flags(line.size());
    for (const ColumnRun& run : runs) {
        for (std::uint64_t c = run.first; c <= run.last; ++c) {
            flags[c] = true;
        }
    }
    return flags;
}

// Whether the differing character at column `c` of line `f` of a pair counts under `rules`.
bool counts(const ComparisonRules& rules, const std::array<std::u32string, 2>& line, int f,
            std::size_t c, const RecordType* type,
            const std::array<std::vector<std::vector<bool>>, 2>& matched) {
    for (const ColumnRun& range : rules.columns()) {
        if (c >= range.first && c <= range.last) {
            return false;
        }
    }
    const LayoutField* field = type != nullptr ? type->fieldAt(c) : nullptr;
    if (field != nullptr && field->ignored) {
        return false;
    }
    for (int g = 0; g < 2; ++g) {
        for (const std::vector<bool>& flags : matched[g]) {
            if (c < flags.size() && flags[c]) {
                return false;
            }
        }
    }
    const bool lineRule = rules.ignoreTrailingBlanks();
    if (trailingBlank(line[f], c, lineRule, field)) {
        return false;
    }
    const int o = 1 - f;
    if (c >= line[o].size() || trailingBlank(line[o], c, lineRule, field)) {
        return true;
    }
    const bool caseRule = rules.ignoreCase() || (field != nullptr && field->noCase);
    return !(caseRule && foldCase(line[f][c]) == foldCase(line[o][c]));
}

} // namespace

Model model(const std::string& bytes1, const std::string& bytes2,
            std::optional<std::array<DecodingChoice, 2>> choices, const ComparisonRules& rules) {
    Model m;
    const std::array<const std::string*, 2> bytes{&bytes1, &bytes2};
    std::array<std::u32string, 2> text;
    const std::optional<std::u32string> utf8[2] = {fromUtf8(bytes1), fromUtf8(bytes2)};
    const Decoding alike = utf8[0] && utf8[1] ? Decoding::Utf8 : Decoding::Windows1252;
    for (int f = 0; f < 2; ++f) {
        const DecodingChoice choice = choices ? (*choices)[f] : DecodingChoice::Auto;
        m.decodings[f] = !choices                                ? alike
                         : choice == DecodingChoice::Utf8        ? Decoding::Utf8
                         : choice == DecodingChoice::Windows1252 ? Decoding::Windows1252
                         : choice == DecodingChoice::Latin1      ? Decoding::Latin1
                         : utf8[f]                               ? Decoding::Utf8
                                                                 : Decoding::Windows1252;
    }
    for (int f = 1; f >= 0; --f) {
        if (m.decodings[f] == Decoding::Utf8 && !utf8[f]) {
            m.notUtf8File = f;
        }
    }
    for (int f = 1; f >= 0; --f) {
        for (const char* mark : {"\xFF\xFE", "\xFE\xFF", "\0\0\xFE\xFF"}) {
            if (bytes[f]->starts_with(std::string_view(mark, mark[0] == 0 ? 4 : 2))) {
                m.unreadFile = f;
            }
        }
    }
    for (int f = 0; f < 2; ++f) {
        ModelFile& file = m.files[f];
        file.traits = traitsOf(*bytes[f]);
        if (m.decodings[f] == Decoding::Utf8) {
            text[f] = utf8[f].value_or(U"");
            if (text[f].starts_with(U'\uFEFF')) {
                text[f].erase(0, 1);
            }
        } else if (m.decodings[f] == Decoding::Windows1252) {
            text[f] = fromWindows1252(*bytes[f]);
        } else {
            for (const char c : *bytes[f]) {
                text[f] += char32_t(static_cast<unsigned char>(c));
            }
        }
        file.lines = linesOf(text[f]);
        for (const std::u32string& line : file.lines) {
            file.longest = std::max<std::uint64_t>(file.longest, line.size());
        }
    }
    const std::size_t pairs = std::max(m.files[0].lines.size(), m.files[1].lines.size());
    m.refusals = refusalsOf(m.files, pairs);
    std::array<int, 2> lineStart{1, 1};
    for (std::size_t k = 0; k < pairs; ++k) {
        std::array<std::u32string, 2> line;
        for (int f = 0; f < 2; ++f) {
            if (k < m.files[f].lines.size()) {
                line[f] = m.files[f].lines[k];
                addUtf8(m.files[f].display, line[f]);
                m.files[f].display += "\r\n";
            }
        }
        auto& runs = m.runs.emplace_back();
        auto& leftOut = m.leftOut.emplace_back();
        const RecordLayout* layout = rules.layout();
        const bool has1 = k < m.files[0].lines.size();
        const RecordType* type =
            layout != nullptr ? layout->typeOf(has1 ? line[0] : line[1]) : nullptr;
        std::array<std::vector<std::vector<bool>>, 2> matched;
        for (int f = 0; f < 2; ++f) {
            for (std::size_t p = 0; p < rules.patterns().size(); ++p) {
                matched[f].push_back(patternColumns(rules, p, line[f]));
            }
        }
        const auto add = [](std::vector<ColumnRun>& to, std::uint64_t col) {
            if (!to.empty() && to.back().last + 1 == col) {
                to.back().last = col;
            } else {
                to.push_back({col, col});
            }
        };
        bool before = false;
        const std::size_t columns = std::max(line[0].size(), line[1].size());
        for (std::size_t col = 0; col < columns; ++col) {
            const bool differs =
                col >= line[0].size() || col >= line[1].size() || line[0][col] != line[1][col];
            bool anyCounts = false;
            for (int f = 0; f < 2; ++f) {
                if (!differs || col >= line[f].size()) {
                    continue;
                }
                m.files[f].differences.push_back(lineStart[f] + int(col));
                if (counts(rules, line, f, col, type, matched)) {
                    add(runs[f], col);
                    anyCounts = true;
                    ++(f == 0 ? m.totals.differingCharacters1 : m.totals.differingCharacters2);
                } else {
                    add(leftOut[f], col);
                    ++(f == 0 ? m.totals.leftOutCharacters1 : m.totals.leftOutCharacters2);
                }
            }
            if (anyCounts && !before) {
                m.runStarts.push_back({k, col});
            }
            before = anyCounts;
        }
        if (runs[0].empty() && runs[1].empty() && (!leftOut[0].empty() || !leftOut[1].empty())) {
            ++m.totals.leftOutLines;
        }
        if (!runs[0].empty() || !runs[1].empty()) {
            m.differingLines.push_back(k);
        }
        for (int f = 0; f < 2; ++f) {
            lineStart[f] += int(line[f].size()) + 2;
        }
    }
    m.totals.differingLines = m.differingLines.size();
    m.totals.linesOnlyIn1 = pairs - m.files[1].lines.size();
    m.totals.linesOnlyIn2 = pairs - m.files[0].lines.size();
    m.shift = shiftOf(m);
    return m;
}

std::optional<RefusalOf> refusalIn(const std::string& message, const std::filesystem::path& file1,
                                   const std::filesystem::path& file2) {
    const std::array<std::string, 2> quotes = {quoted(file1), quoted(file2)};
    for (int f = 0; f < 2; ++f) {
        const std::string named = "No se puede comparar " + quotes[f];
        if (!message.starts_with(named)) {
            continue;
        }
        const std::string rest = message.substr(named.size());
        const std::string& other = quotes[1 - f];
        if (rest.starts_with(": es demasiado grande.") && rest.find("32766") != std::string::npos) {
            return RefusalOf{Refusal::TextTooLarge, f};
        }
        if (rest.starts_with(": tiene una línea de más de 32764 caracteres")) {
            return RefusalOf{Refusal::LineTooLong, f};
        }
        if (rest.starts_with(" con " + other + ": " + other + " tiene más líneas") &&
            rest.find(quotes[f] + " pasa de 32766 caracteres") != std::string::npos) {
            return RefusalOf{Refusal::TooLargeWith, f};
        }
    }
    return std::nullopt;
}

std::optional<std::string> disagreement(const FileComparison& comparison, const Model& expected,
                                        const Thoroughness& thoroughness) {
    if (comparison.decoding(1) != expected.decodings[0] ||
        comparison.decoding(2) != expected.decodings[1]) {
        return std::string("la decodificación");
    }
    for (int f = 0; f < 2; ++f) {
        const ModelFile& file = expected.files[f];
        const std::string which = " del fichero " + std::to_string(f + 1);
        if (!(comparison.traits(f + 1) == file.traits)) {
            return std::string("los rasgos" + which);
        }
        if (comparison.lineCount(f + 1) != file.lines.size()) {
            return std::string("las líneas" + which);
        }
        if (comparison.longestLine(f + 1) != file.longest) {
            return std::string("la línea más larga" + which);
        }
    }
    const ComparisonTotals& totals = comparison.totals();
    const ComparisonTotals& want = expected.totals;
    if (totals.differingCharacters1 != want.differingCharacters1 ||
        totals.differingCharacters2 != want.differingCharacters2 ||
        totals.differingLines != want.differingLines || totals.linesOnlyIn1 != want.linesOnlyIn1 ||
        totals.linesOnlyIn2 != want.linesOnlyIn2 ||
        totals.leftOutCharacters1 != want.leftOutCharacters1 ||
        totals.leftOutCharacters2 != want.leftOutCharacters2 ||
        totals.leftOutLines != want.leftOutLines ||
        comparison.identical() != expected.differingLines.empty()) {
        return std::string("los totales");
    }
    if (comparison.shift() != expected.shift) {
        return std::string("el aviso de desplazamiento");
    }

    // Every line pair, in one sweep.
    const std::uint64_t pairs = expected.pairCount();
    const std::vector<LinePairSlice> all = comparison.linePairs(0, pairs + 3);
    if (all.size() != pairs || comparison.pairCount() != pairs) {
        return std::string("el número de pares de líneas");
    }
    for (std::uint64_t k = 0; k < pairs; ++k) {
        const LinePairSlice& slice = all[k];
        const auto side = [&](int f) {
            return f == 0 ? std::tie(slice.has1, slice.length1, slice.text1, slice.runs1,
                                     slice.leftOut1)
                          : std::tie(slice.has2, slice.length2, slice.text2, slice.runs2,
                                     slice.leftOut2);
        };
        for (int f = 0; f < 2; ++f) {
            const auto [has, length, text, runs, leftOut] = side(f);
            const std::vector<std::u32string>& lines = expected.files[f].lines;
            const std::u32string line = k < lines.size() ? lines[k] : U"";
            if (slice.line != k || has != (k < lines.size()) || length != line.size() ||
                text != line) {
                return std::string("el texto del par " + std::to_string(k) + " en el fichero " +
                                   std::to_string(f + 1));
            }
            if (runs != expected.runs[k][f]) {
                return std::string("los tramos del par " + std::to_string(k) + " en el fichero " +
                                   std::to_string(f + 1) + ": " + runsText(runs) + " en vez de " +
                                   runsText(expected.runs[k][f]));
            }
            if (leftOut != expected.leftOut[k][f]) {
                return std::string("lo omitido del par " + std::to_string(k) + " en el fichero " +
                                   std::to_string(f + 1) + ": " + runsText(leftOut) +
                                   " en vez de " + runsText(expected.leftOut[k][f]));
            }
        }
    }

    // From every line, reading starts at the nearest line start known before it.
    if (thoroughness.everyPlace) {
        for (std::uint64_t first = 0; first < pairs; ++first) {
            const std::vector<LinePairSlice> one = comparison.linePairs(first, 1);
            if (one.size() != 1 || one[0].text1 != all[first].text1 ||
                one[0].text2 != all[first].text2 || one[0].runs1 != all[first].runs1 ||
                one[0].runs2 != all[first].runs2) {
                return std::string("el par " + std::to_string(first) + " leído solo");
            }
        }
    }

    // A few windows of columns, from anywhere.
    if (thoroughness.windowSeed != 0 && pairs > 0) {
        std::mt19937 random(static_cast<std::mt19937::result_type>(thoroughness.windowSeed));
        for (int round = 0; round < 4; ++round) {
            const std::uint64_t first = random() % pairs;
            const std::uint64_t count = 1 + random() % 4;
            const std::uint64_t firstColumn = random() % 6;
            const std::uint64_t maxColumns = random() % 5;
            const auto window = comparison.linePairs(first, count, firstColumn, maxColumns);
            if (window.size() != std::min(count, pairs - first)) {
                return std::string("el número de pares de una ventana");
            }
            for (std::size_t s = 0; s < window.size(); ++s) {
                const LinePairSlice& whole = all[first + s];
                const LinePairSlice& part = window[s];
                const auto cut = [&](const std::u32string& text) {
                    return firstColumn >= text.size() ? std::u32string()
                                                      : text.substr(firstColumn, maxColumns);
                };
                const auto clip = [&](const std::vector<ColumnRun>& runs) {
                    std::vector<ColumnRun> kept;
                    for (const ColumnRun& run : runs) {
                        const std::uint64_t from = std::max(run.first, firstColumn);
                        const std::uint64_t to = std::min(run.last, firstColumn + maxColumns - 1);
                        if (maxColumns > 0 && from <= to) {
                            kept.push_back({from, to});
                        }
                    }
                    return kept;
                };
                if (part.firstColumn != firstColumn || part.length1 != whole.length1 ||
                    part.length2 != whole.length2 || part.text1 != cut(whole.text1) ||
                    part.text2 != cut(whole.text2) || part.runs1 != clip(whole.runs1) ||
                    part.runs2 != clip(whole.runs2) || part.leftOut1 != clip(whole.leftOut1) ||
                    part.leftOut2 != clip(whole.leftOut2)) {
                    return std::string("una ventana de columnas del par " +
                                       std::to_string(first + s));
                }
            }
        }
    }

    // The differing pairs, a batch at a time, are those of the sweep.
    std::vector<std::uint64_t> batched;
    for (std::uint64_t from = 0;;) {
        const std::vector<LinePairSlice> got = comparison.differingPairs(from, thoroughness.batch);
        if (got.empty()) {
            break;
        }
        if (got.size() > thoroughness.batch) {
            return std::string("un lote con más pares de los pedidos");
        }
        for (const LinePairSlice& slice : got) {
            const LinePairSlice& swept = all[slice.line];
            if (slice.text1 != swept.text1 || slice.text2 != swept.text2 ||
                slice.runs1 != swept.runs1 || slice.runs2 != swept.runs2 ||
                slice.leftOut1 != swept.leftOut1 || slice.leftOut2 != swept.leftOut2 ||
                slice.has1 != swept.has1 || slice.has2 != swept.has2) {
                return std::string("el par " + std::to_string(slice.line) + " leído en lotes");
            }
            batched.push_back(slice.line);
        }
        from = got.back().line + 1;
    }
    if (batched != expected.differingLines) {
        return std::string("los pares que difieren, leídos en lotes");
    }

    // Moves between differing lines, from every line.
    const std::vector<std::uint64_t>& differing = expected.differingLines;
    if (comparison.firstDifferingLine() !=
            (differing.empty() ? std::nullopt : std::optional(differing.front())) ||
        comparison.lastDifferingLine() !=
            (differing.empty() ? std::nullopt : std::optional(differing.back()))) {
        return std::string("la primera o la última línea que difiere");
    }
    for (std::uint64_t line = 0; line <= pairs; ++line) {
        const auto after = std::upper_bound(differing.begin(), differing.end(), line);
        const auto notBefore = std::lower_bound(differing.begin(), differing.end(), line);
        const auto next = after == differing.end() ? std::nullopt : std::optional(*after);
        const auto previous =
            notBefore == differing.begin() ? std::nullopt : std::optional(*std::prev(notBefore));
        if (comparison.nextDifferingLine(line) != next ||
            comparison.previousDifferingLine(line) != previous ||
            comparison.differingLinesBefore(line) != std::uint64_t(notBefore - differing.begin())) {
            return std::string("la navegación por líneas desde la línea " + std::to_string(line));
        }
    }

    // The runs of both files together, over the whole pairs that differ.
    for (std::size_t i = 0; i < differing.size(); ++i) {
        if (!thoroughness.everyPlace && i >= 10 && i + 10 < differing.size()) {
            continue;
        }
        const std::uint64_t k = differing[i];
        std::vector<ColumnRun> united;
        for (const ColumnRun& run : expected.runs[k][0]) {
            united.push_back(run);
        }
        for (const ColumnRun& run : expected.runs[k][1]) {
            united.push_back(run);
        }
        std::sort(united.begin(), united.end(),
                  [](const ColumnRun& a, const ColumnRun& b) { return a.first < b.first; });
        std::vector<ColumnRun> merged;
        for (const ColumnRun& run : united) {
            if (!merged.empty() && run.first <= merged.back().last + 1) {
                merged.back().last = std::max(merged.back().last, run.last);
            } else {
                merged.push_back(run);
            }
        }
        std::vector<ColumnRun> visited;
        comparison.visitDifferingRuns(k, [&](ColumnRun run) { visited.push_back(run); });
        if (visited != merged) {
            return std::string("los tramos de ambos ficheros del par " + std::to_string(k) + ": " +
                               runsText(visited) + " en vez de " + runsText(merged));
        }
    }

    // Moves by run, from every place or from around each run start.
    const std::vector<LineColumn>& starts = expected.runStarts;
    std::vector<LineColumn> places;
    const std::uint64_t longest = std::max(expected.files[0].longest, expected.files[1].longest);
    if (thoroughness.everyPlace) {
        for (std::uint64_t line = 0; line <= pairs; ++line) {
            for (std::uint64_t column = 0; column <= longest + 1; ++column) {
                places.push_back({line, column});
            }
        }
    } else {
        // Around the first and last run starts: on a long line every move walks the line.
        places.push_back({0, 0});
        places.push_back({pairs, 0});
        for (std::size_t i = 0; i < starts.size(); ++i) {
            if (i >= 10 && i + 10 < starts.size()) {
                continue;
            }
            const LineColumn& start = starts[i];
            places.push_back(start);
            places.push_back({start.line, start.column + 1});
            if (start.column > 0) {
                places.push_back({start.line, start.column - 1});
            }
        }
    }
    for (const LineColumn& from : places) {
        const auto after = std::upper_bound(starts.begin(), starts.end(), from);
        const auto notBefore = std::lower_bound(starts.begin(), starts.end(), from);
        const std::string next =
            place(after == starts.end() ? std::nullopt : std::optional(*after));
        const std::string previous = place(
            notBefore == starts.begin() ? std::nullopt : std::optional(*std::prev(notBefore)));
        const std::string forward = place(comparison.runFrom(from, true));
        const std::string backward = place(comparison.runFrom(from, false));
        if (forward != next || backward != previous) {
            return std::string("el tramo siguiente o anterior desde " + place(from) + ": " +
                               forward + " / " + backward + " en vez de " + next + " / " +
                               previous);
        }
    }
    return std::nullopt;
}

std::optional<std::string> disagreement(const Comparison& comparison, const Model& expected) {
    const std::array<const std::string*, 2> texts{&comparison.displayText1,
                                                  &comparison.displayText2};
    const std::array<const std::vector<std::int16_t>*, 2> lists{&comparison.differences1,
                                                                &comparison.differences2};
    const std::array<const FileTraits*, 2> traits{&comparison.traits1, &comparison.traits2};
    for (int f = 0; f < 2; ++f) {
        const ModelFile& file = expected.files[f];
        const std::string which = " del fichero " + std::to_string(f + 1);
        if (*texts[f] != file.display) {
            return "el texto mostrado" + which;
        }
        if (!std::equal(lists[f]->begin(), lists[f]->end(), file.differences.begin(),
                        file.differences.end(),
                        [](std::int16_t e, int m) { return int{e} == m; })) {
            return "las posiciones que difieren" + which;
        }
        if (!(*traits[f] == file.traits)) {
            return "los rasgos" + which;
        }
    }
    return std::nullopt;
}

} // namespace parvane::test
