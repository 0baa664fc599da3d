#pragma once

// What the views' tips say of the fields of a record layout (record_layout.h), when one is given:
// the field of a line and column with its value in both files, the field's name for a copied
// position, and the fields that differ over the whole files with their lines. Lines and columns
// count from 0. Reads from the comparison throw what its reads throw (FileChangedError).

#include "comparison/field_tally.h"
#include "comparison/file_comparison.h"
#include "comparison/record_layout.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

class LayoutFields {
public:
    // The tips count the fields of the whole files only up to so many differing lines.
    static constexpr std::uint64_t kMostCountedLines = 200000;

    void setLayout(std::optional<parvane::RecordLayout> layout);
    const std::optional<parvane::RecordLayout>& layout() const { return layout_; }

    // "Campo IMPORTE (columnas 41-52): «000001234,50» / «000001243,50»", "Fuera de los campos",
    // or "Sin campos: la línea no es de ningún registro de «nomina.campos»"; empty without a
    // layout.
    QString cellNote(const parvane::FileComparison& comparison, std::uint64_t line,
                     std::uint64_t column) const;
    // The name of the field at `line`, `column`; empty when there is none.
    QString fieldName(const parvane::FileComparison& comparison, std::uint64_t line,
                      std::uint64_t column) const;
    // The record type of line pair `line`, if any.
    const parvane::RecordType* typeOf(const parvane::FileComparison& comparison,
                                      std::uint64_t line) const;
    // "Campos que difieren: IMPORTE (41-52) en 8 líneas, …" for the totals tip; empty without a
    // layout. Counted once per comparison.
    QStringList totalsNotes(const parvane::FileComparison& comparison) const;

private:
    std::optional<parvane::RecordLayout> layout_;
    mutable const parvane::FileComparison* counted_ = nullptr;
    mutable QStringList counts_;
};
