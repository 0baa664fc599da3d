#pragma once

// What a comparison leaves out: the rules that make some differing characters not count.
//
//  - column ranges (from 0 here, written from 1 as «1-10,73-80,120-»): those columns of every
//    line are not compared;
//  - case: two letters that fold alike (case_folding.h, one code point against one) are equal;
//  - trailing blanks: the spaces and tabs at the end of a line are not compared;
//  - patterns (RE2, a linear-time matcher): where one matches in either line of a pair, those
//    columns are left out in both lines; no pattern may match an empty text;
//  - a record layout's field flags (record_layout.h): a field marked `ignorar` is not compared,
//    `sin-mayusculas` compares it without case, `sin-blancos-finales` leaves out the blanks at
//    the field's own end. A line pair's record type is chosen as RecordLayout::typeOf() says.
//
// Text is never removed or replaced, so no column moves. The rules only ever leave out: columns
// whose characters are equal stay equal. A differing character that a rule leaves out is
// "left out" (omitido), counted apart from those that count; ruled_pair.h applies the rules to a
// line pair. Without any rule (empty()) a comparison is what it always was.
//
// The parsers throw RulesError with a Spanish message on the fault (the caller names the option
// or the box it came from). Copies share the compiled patterns and the layout; a set of rules is
// safe to read from several threads at once.

#include "comparison/column_run.h"
#include "comparison/record_layout.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace re2 {
class RE2;
}

namespace parvane {

struct RulesError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The rule that left a column out.
struct Omission {
    enum class Rule { Columns, Field, Pattern, TrailingBlanks, Case };
    Rule rule = Rule::Columns;
    std::size_t pattern = 0;            // Pattern: which, in the order given
    const LayoutField* field = nullptr; // the field whose flag did it, if one did
    friend bool operator==(const Omission&, const Omission&) = default;
};

class ComparisonRules {
public:
    // «1-10,73-80,120-»: ranges from 1, both ends included, `N-` to the end of the line and `N`
    // one column; added to those already given.
    void addColumns(std::string_view text);
    void setIgnoreCase(bool ignore) { ignoreCase_ = ignore; }
    void setIgnoreTrailingBlanks(bool ignore) { ignoreTrailingBlanks_ = ignore; }
    // A pattern in RE2's syntax, matched against the decoded text of each line.
    void addPattern(std::string_view pattern);
    // A layout whose field flags apply; it must outlive no copy (it is shared). None: no flags.
    void setLayout(std::shared_ptr<const RecordLayout> layout);

    // Whether no rule is in force.
    bool empty() const;
    // The ranges, from 0, sorted and merged; `last` is UINT64_MAX to the end of the line.
    const std::vector<ColumnRun>& columns() const { return columns_; }
    bool ignoreCase() const { return ignoreCase_; }
    bool ignoreTrailingBlanks() const { return ignoreTrailingBlanks_; }
    const std::vector<std::string>& patterns() const { return patternTexts_; }
    const RecordLayout* layout() const { return layoutFlags_ ? layout_.get() : nullptr; }
    // The layout given, whether or not its fields have flags.
    const std::shared_ptr<const RecordLayout>& givenLayout() const { return layout_; }

    // The rules in force, a line each: «columnas 1-10, 73-80, 120-», «mayúsculas y minúsculas»,
    // «blancos al final de la línea», «patrón «\d{8}»», «campo FECHA del registro D (ignorar)».
    std::vector<std::string> described() const;
    // What left a column out, for a tip or a report: «omitido: columnas 1-10», «omitido: patrón
    // «\d{8}»», «omitido: blancos al final de la línea», «omitido: mayúsculas y minúsculas»,
    // «omitido: campo FECHA (ignorar)».
    std::string describe(const Omission& omission) const;

    // The columns of `utf8` (a line's text as UTF-8, its columns starting at `columnStarts`, the
    // byte where each of its characters starts) that pattern `index` matches, as increasing runs.
    // With no starts given, every character is one byte.
    void matchPattern(std::size_t index, std::string_view utf8,
                      const std::vector<std::size_t>& columnStarts,
                      std::vector<ColumnRun>& runs) const;

private:
    std::vector<ColumnRun> columns_;
    bool ignoreCase_ = false;
    bool ignoreTrailingBlanks_ = false;
    std::vector<std::string> patternTexts_;
    std::vector<std::shared_ptr<const re2::RE2>> patterns_;
    std::shared_ptr<const RecordLayout> layout_;
    bool layoutFlags_ = false; // whether any field of the layout has a flag
};

} // namespace parvane
