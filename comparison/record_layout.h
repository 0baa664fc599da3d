#pragma once

// A record layout: the named fields of the records of a fixed-width file, read from a layout
// file, so that a difference can be told by the field it falls in.
//
// A layout file is UTF-8 text, a statement a line, its words parted by spaces or tabs, '#'
// starting a comment (outside quotes):
//
//   campos 1                                     the format's version, before anything else
//   registro NOMBRE si COLUMNA LONGITUD "TEXTO"  a record type, for a line holding TEXTO there
//   NOMBRE COLUMNA LONGITUD [MARCA]...           a field of the last record type; LONGITUD may be
//                                                '*', to the end of the line
//
// A field's flags tell the comparison what to leave out of it (comparison_rules.h): `ignorar`
// (it is not compared), `sin-mayusculas` (letters that differ only in case are equal) and
// `sin-blancos-finales` (the spaces and tabs at the field's own end are not compared).
//
// Fields written before any `registro` make the only record type of a file with one kind of
// line. Names are letters, digits, '_' and '-', a record's fields have names of their own and do
// not overlap; gaps between them are allowed. Columns count from 1 in the file, in characters,
// as the comparison counts them; here they count from 0.
//
// read() and parse() refuse anything else with LayoutError, whose Spanish message names the
// layout file, the line and the fault.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace parvane {

struct LayoutError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct LayoutField {
    std::string name;
    std::uint64_t first = 0;             // the first column, from 0
    std::optional<std::uint64_t> length; // none: to the end of the line
    bool ignored = false;                // `ignorar`
    bool noCase = false;                 // `sin-mayusculas`
    bool noTrailingBlanks = false;       // `sin-blancos-finales`
    bool flagged() const { return ignored || noCase || noTrailingBlanks; }
    // "ignorar", "sin-mayusculas sin-blancos-finales": the flags as written; empty without any.
    std::string flags() const;
    // One past the field's last column; UINT64_MAX for a field to the end of the line.
    std::uint64_t end() const { return length ? first + *length : UINT64_MAX; }
    bool holds(std::uint64_t column) const { return column >= first && column < end(); }
    // "IMPORTE (columnas 41-52)", "RELLENO (columnas 53-…)", "TIPO (columna 1)".
    std::string described() const;
    // "41-52", "53-", "1".
    std::string columns() const;
};

struct RecordType {
    std::string name;                // empty for the only type of a layout without `registro`
    std::uint64_t keyColumn = 0;     // where the key text stands, from 0
    std::u32string key;              // empty: every line is of this type
    std::vector<LayoutField> fields; // in the order of their columns
    // Whether `line` (its characters from column 0) is of this type.
    bool matches(std::u32string_view line) const;
    // The field that holds `column`, if any.
    const LayoutField* fieldAt(std::uint64_t column) const;
};

class RecordLayout {
public:
    // The most bytes a layout file may have.
    static constexpr std::uintmax_t kMostBytes = 1 << 20;

    static RecordLayout read(const std::filesystem::path& path);
    // `shownName` names the layout in messages, as quoted() gives it.
    static RecordLayout parse(std::string_view text, const std::string& shownName);

    const std::vector<RecordType>& types() const { return types_; }
    // The type of a line pair, chosen by the line of file 1, or of file 2 when file 1 has no such
    // line: the first that matches; none when no type does. `line` holds its characters from
    // column 0, at least keyEnd() of them when the line has them.
    const RecordType* typeOf(std::u32string_view line) const;
    // How many columns from the start of a line typeOf() needs.
    std::uint64_t keyEnd() const { return keyEnd_; }
    // "«nomina.campos»", as messages name the layout.
    const std::string& shownName() const { return shownName_; }

private:
    std::vector<RecordType> types_;
    std::uint64_t keyEnd_ = 0;
    std::string shownName_;
};

} // namespace parvane
