#include "comparison/comparison_rules.h"

#include <re2/re2.h>

#include <algorithm>
#include <charconv>

namespace parvane {
namespace {

// The most a column may be: far past any line a comparison may hold.
constexpr std::uint64_t kMostColumn = std::uint64_t{1} << 40;

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A column as written, from 1; refuses anything else, naming the range it is in.
std::uint64_t columnOf(std::string_view number, std::string_view range) {
    std::uint64_t value = 0;
    const auto [stop, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (number.empty() || error != std::errc() || stop != number.data() + number.size()) {
        throw RulesError("el tramo «" + std::string(range) + "» no vale: «" + std::string(number) +
                         "» no es un número de columna");
    }
    if (value == 0) {
        throw RulesError("el tramo «" + std::string(range) +
                         "» no vale: las columnas empiezan en 1");
    }
    if (value > kMostColumn) {
        throw RulesError("el tramo «" + std::string(range) + "» no vale: «" + std::string(number) +
                         "» es demasiado grande");
    }
    return value - 1;
}

// What RE2 says of a pattern it cannot compile, in Spanish.
std::string reasonOf(const re2::RE2& pattern) {
    switch (pattern.error_code()) {
    case re2::RE2::ErrorBadEscape: return "una secuencia de escape que no vale";
    case re2::RE2::ErrorBadCharClass: return "una clase de caracteres que no vale";
    case re2::RE2::ErrorBadCharRange: return "un intervalo de caracteres que no vale";
    case re2::RE2::ErrorMissingBracket: return "falta el «]» que cierra";
    case re2::RE2::ErrorMissingParen: return "falta el «)» que cierra";
    case re2::RE2::ErrorUnexpectedParen: return "sobra un «)»";
    case re2::RE2::ErrorTrailingBackslash: return "termina con una «\\» suelta";
    case re2::RE2::ErrorRepeatArgument: return "una repetición sin nada que repetir";
    case re2::RE2::ErrorRepeatSize: return "una repetición de tamaño que no vale";
    case re2::RE2::ErrorRepeatOp: return "un operador de repetición que no vale";
    case re2::RE2::ErrorBadPerlOp: return "un operador que no se conoce";
    case re2::RE2::ErrorBadUTF8: return "no es UTF-8 válido";
    case re2::RE2::ErrorBadNamedCapture: return "un grupo con nombre que no vale";
    case re2::RE2::ErrorPatternTooLarge: return "es demasiado grande";
    default: return "no se entiende";
    }
}

// Whether `pattern` matches an empty text somewhere in a few texts that stand for the places a
// line may offer: its ends, within and between words, digits, blanks and signs.
bool matchesEmpty(const re2::RE2& pattern) {
    static constexpr std::string_view kProbes[] = {"", "a", "a a", "0", "_", "A0,\t.", "ñ é"};
    for (const std::string_view probe : kProbes) {
        for (std::size_t at = 0; at <= probe.size(); ++at) {
            re2::StringPiece found;
            if (pattern.Match(probe, at, probe.size(), re2::RE2::ANCHOR_START, &found, 1) &&
                found.empty()) {
                return true;
            }
        }
    }
    return false;
}

std::string rangeText(const ColumnRun& run) {
    if (run.last == UINT64_MAX) {
        return std::to_string(run.first + 1) + "-";
    }
    if (run.first == run.last) {
        return std::to_string(run.first + 1);
    }
    return std::to_string(run.first + 1) + "-" + std::to_string(run.last + 1);
}

std::string fieldName(const RecordLayout& layout, const LayoutField& field) {
    for (const RecordType& type : layout.types()) {
        for (const LayoutField& other : type.fields) {
            if (&other == &field) {
                return type.name.empty() ? field.name : field.name + " del registro " + type.name;
            }
        }
    }
    return field.name;
}

} // namespace

void ComparisonRules::addColumns(std::string_view text) {
    if (trimmed(text).empty()) {
        throw RulesError("la lista de columnas está vacía: se escribe como «1-10,73-80,120-»");
    }
    std::vector<ColumnRun> ranges = columns_;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string_view range = trimmed(text.substr(start, comma - start));
        if (range.empty()) {
            throw RulesError("falta un tramo de columnas antes o después de una coma en «" +
                             std::string(text) + "»");
        }
        const std::size_t dash = range.find('-');
        ColumnRun run;
        if (dash == std::string_view::npos) {
            run.first = run.last = columnOf(range, range);
        } else {
            run.first = columnOf(trimmed(range.substr(0, dash)), range);
            const std::string_view end = trimmed(range.substr(dash + 1));
            run.last = end.empty() ? UINT64_MAX : columnOf(end, range);
            if (run.last < run.first) {
                throw RulesError("el tramo «" + std::string(range) +
                                 "» no vale: termina antes de empezar");
            }
        }
        ranges.push_back(run);
        start = comma + 1;
    }
    std::sort(ranges.begin(), ranges.end(),
              [](const ColumnRun& a, const ColumnRun& b) { return a.first < b.first; });
    columns_.clear();
    for (const ColumnRun& run : ranges) {
        if (!columns_.empty() &&
            (columns_.back().last == UINT64_MAX || run.first <= columns_.back().last + 1)) {
            columns_.back().last = std::max(columns_.back().last, run.last);
        } else {
            columns_.push_back(run);
        }
    }
}

void ComparisonRules::addPattern(std::string_view text) {
    if (text.empty()) {
        throw RulesError("la expresión está vacía, y encajaría con cualquier texto vacío");
    }
    re2::RE2::Options options;
    options.set_log_errors(false);
    auto pattern =
        std::make_shared<const re2::RE2>(re2::StringPiece(text.data(), text.size()), options);
    const std::string shown = "la expresión «" + std::string(text) + "» ";
    if (!pattern->ok()) {
        throw RulesError(shown + "no se puede usar: " + reasonOf(*pattern) + ", en «" +
                         pattern->error_arg() + "»");
    }
    if (matchesEmpty(*pattern)) {
        throw RulesError(shown + "no se puede usar: puede encajar con un texto vacío, y así no "
                                 "deja fuera nada; pida al menos un carácter (por ejemplo «+» en "
                                 "vez de «*»)");
    }
    patternTexts_.emplace_back(text);
    patterns_.push_back(std::move(pattern));
}

void ComparisonRules::setLayout(std::shared_ptr<const RecordLayout> layout) {
    layout_ = std::move(layout);
    layoutFlags_ = false;
    for (const RecordType& type : layout_ ? layout_->types() : std::vector<RecordType>{}) {
        for (const LayoutField& field : type.fields) {
            layoutFlags_ = layoutFlags_ || field.flagged();
        }
    }
}

bool ComparisonRules::empty() const {
    return columns_.empty() && !ignoreCase_ && !ignoreTrailingBlanks_ && patterns_.empty() &&
           !layoutFlags_;
}

std::vector<std::string> ComparisonRules::described() const {
    std::vector<std::string> lines;
    if (!columns_.empty()) {
        std::string text = columns_.size() == 1 && columns_[0].first == columns_[0].last
                               ? "columna "
                               : "columnas ";
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            text += (i == 0 ? "" : ", ") + rangeText(columns_[i]);
        }
        lines.push_back(text);
    }
    if (ignoreCase_) {
        lines.emplace_back("mayúsculas y minúsculas");
    }
    if (ignoreTrailingBlanks_) {
        lines.emplace_back("blancos al final de la línea");
    }
    for (const std::string& pattern : patternTexts_) {
        lines.push_back("patrón «" + pattern + "»");
    }
    if (const RecordLayout* fields = layout()) {
        for (const RecordType& type : fields->types()) {
            for (const LayoutField& field : type.fields) {
                if (field.flagged()) {
                    lines.push_back("campo " + fieldName(*fields, field) + " (" + field.flags() +
                                    ")");
                }
            }
        }
    }
    return lines;
}

std::string ComparisonRules::describe(const Omission& omission) const {
    std::string text = "omitido: ";
    if (omission.field != nullptr) {
        const std::string flag = omission.rule == Omission::Rule::Case ? "sin-mayusculas"
                                 : omission.rule == Omission::Rule::TrailingBlanks
                                     ? "sin-blancos-finales"
                                     : "ignorar";
        return text + "campo " + omission.field->name + " (" + flag + ")";
    }
    switch (omission.rule) {
    case Omission::Rule::Columns: {
        std::string ranges;
        for (const ColumnRun& run : columns_) {
            ranges += (ranges.empty() ? "" : ", ") + rangeText(run);
        }
        const bool one = columns_.size() == 1 && columns_[0].first == columns_[0].last;
        return text + (one ? "columna " : "columnas ") + ranges;
    }
    case Omission::Rule::Pattern:
        return text + "patrón «" +
               (omission.pattern < patternTexts_.size() ? patternTexts_[omission.pattern] : "") +
               "»";
    case Omission::Rule::TrailingBlanks: return text + "blancos al final de la línea";
    case Omission::Rule::Case: return text + "mayúsculas y minúsculas";
    case Omission::Rule::Field: break;
    }
    return text + "campo";
}

void ComparisonRules::matchPattern(std::size_t index, std::string_view utf8,
                                   const std::vector<std::size_t>& columnStarts,
                                   std::vector<ColumnRun>& runs) const {
    const re2::RE2& pattern = *patterns_[index];
    const auto columnAt = [&](std::size_t byte) -> std::uint64_t {
        if (columnStarts.empty()) {
            return byte;
        }
        return static_cast<std::uint64_t>(
            std::upper_bound(columnStarts.begin(), columnStarts.end(), byte) -
            columnStarts.begin() - 1);
    };
    std::size_t at = 0;
    re2::StringPiece found;
    while (at < utf8.size() &&
           pattern.Match(utf8, at, utf8.size(), re2::RE2::UNANCHORED, &found, 1)) {
        const auto begin = static_cast<std::size_t>(found.data() - utf8.data());
        const std::size_t end = begin + found.size();
        if (found.empty()) {
            // Refused patterns aside, an empty match leaves nothing out: look on after it.
            at = begin + 1;
            continue;
        }
        const ColumnRun run{columnAt(begin), columnAt(end - 1)};
        if (!runs.empty() && run.first <= runs.back().last + 1) {
            runs.back().last = std::max(runs.back().last, run.last);
        } else {
            runs.push_back(run);
        }
        at = end;
    }
}

} // namespace parvane
