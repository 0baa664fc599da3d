#include "main_window/layout_fields.h"

#include "comparison/line_pair_slice.h"

#include <algorithm>

namespace {

constexpr std::uint64_t kMostValueCharacters = 200;

QString fromUtf32(const std::u32string& text) {
    return QString::fromUcs4(text.data(), qsizetype(text.size()));
}

QString lines(std::uint64_t count) {
    return count == 1 ? QStringLiteral("1 línea") : QStringLiteral("%1 líneas").arg(count);
}

} // namespace

void LayoutFields::setLayout(std::optional<parvane::RecordLayout> layout) {
    layout_ = std::move(layout);
    counted_ = nullptr;
    counts_.clear();
}

const parvane::RecordType* LayoutFields::typeOf(const parvane::FileComparison& comparison,
                                                std::uint64_t line) const {
    if (!layout_ || line >= comparison.pairCount()) {
        return nullptr;
    }
    const std::vector<parvane::LinePairSlice> pair =
        comparison.linePairs(line, 1, 0, layout_->keyEnd());
    return pair.empty() ? nullptr : parvane::FieldTally::typeOf(*layout_, pair.front());
}

QString LayoutFields::fieldName(const parvane::FileComparison& comparison, std::uint64_t line,
                                std::uint64_t column) const {
    const parvane::RecordType* type = typeOf(comparison, line);
    const parvane::LayoutField* field = type ? type->fieldAt(column) : nullptr;
    return field ? QString::fromStdString(field->name) : QString();
}

QString LayoutFields::cellNote(const parvane::FileComparison& comparison, std::uint64_t line,
                               std::uint64_t column) const {
    if (!layout_ || line >= comparison.pairCount()) {
        return {};
    }
    const parvane::RecordType* type = typeOf(comparison, line);
    if (!type) {
        return QStringLiteral("Sin campos: la línea no es de ningún registro de %1")
            .arg(QString::fromStdString(layout_->shownName()));
    }
    const parvane::LayoutField* field = type->fieldAt(column);
    if (!field) {
        return QStringLiteral("Fuera de los campos");
    }
    const std::uint64_t length = std::min(field->end() - field->first, kMostValueCharacters);
    const parvane::LinePairSlice pair = comparison.linePairs(line, 1, field->first, length).front();
    const auto value = [&](bool has, const std::u32string& text, std::uint64_t lineLength) {
        if (!has) {
            return QStringLiteral("(no hay línea)");
        }
        const bool cut = std::min(field->end(), lineLength) > field->first + text.size();
        return QStringLiteral("«%1%2»").arg(fromUtf32(text), cut ? QStringLiteral("…") : QString());
    };
    return QStringLiteral("Campo %1: %2 / %3")
        .arg(QString::fromStdString(field->described()), value(pair.has1, pair.text1, pair.length1),
             value(pair.has2, pair.text2, pair.length2));
}

QStringList LayoutFields::totalsNotes(const parvane::FileComparison& comparison) const {
    if (!layout_ || comparison.identical()) {
        return {};
    }
    if (counted_ == &comparison) {
        return counts_;
    }
    QStringList notes;
    if (comparison.differingLineCount() > kMostCountedLines) {
        notes << QStringLiteral("Campos: demasiadas líneas difieren para contarlas aquí; "
                                "«parvane --informe --campos» las cuenta");
    } else {
        const parvane::FieldTally tally = parvane::FieldTally::count(comparison, *layout_);
        QStringList fields;
        for (const parvane::FieldCount& count : tally.fields()) {
            const QString type = QString::fromStdString(count.type->name);
            fields << QStringLiteral("%1%2 (%3) en %4")
                          .arg(type.isEmpty() ? QString() : type + u' ',
                               QString::fromStdString(count.field->name),
                               QString::fromStdString(count.field->columns()), lines(count.lines));
        }
        if (tally.outsideFields() > 0) {
            fields << QStringLiteral("fuera de los campos en %1").arg(lines(tally.outsideFields()));
        }
        if (tally.untyped() > 0) {
            fields << QStringLiteral("sin registro en %1").arg(lines(tally.untyped()));
        }
        notes << QStringLiteral("Campos que difieren: ") + fields.join(QStringLiteral(", "));
    }
    counted_ = &comparison;
    counts_ = notes;
    return notes;
}
