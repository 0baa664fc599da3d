#include "main_window/omit_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdint>

namespace {

// «1-10,73-80,120-» as the columns box writes `ranges` (from 0, the last to the line's end when
// it ends at UINT64_MAX).
QString columnsText(const std::vector<parvane::ColumnRun>& ranges) {
    QStringList parts;
    for (const parvane::ColumnRun& range : ranges) {
        if (range.last == UINT64_MAX) {
            parts << QStringLiteral("%1-").arg(range.first + 1);
        } else if (range.last == range.first) {
            parts << QString::number(range.first + 1);
        } else {
            parts << QStringLiteral("%1-%2").arg(range.first + 1).arg(range.last + 1);
        }
    }
    return parts.join(u',');
}

} // namespace

OmitDialog::OmitDialog(const parvane::ComparisonRules& rules, QWidget* parent)
    : QDialog(parent), opened_(rules), columns_(new QLineEdit(this)),
      ignoreCase_(new QCheckBox(QStringLiteral("Mayúsculas y minúsculas"), this)),
      trailingBlanks_(new QCheckBox(QStringLiteral("Blancos al final de la línea"), this)),
      patterns_(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("omitDialog"));
    setWindowTitle(QStringLiteral("Omitir"));

    columns_->setObjectName(QStringLiteral("omitColumns"));
    columns_->setPlaceholderText(QStringLiteral("1-10,73-80,120-"));
    columns_->setText(columnsText(rules.columns()));
    ignoreCase_->setObjectName(QStringLiteral("omitCase"));
    ignoreCase_->setChecked(rules.ignoreCase());
    trailingBlanks_->setObjectName(QStringLiteral("omitTrailingBlanks"));
    trailingBlanks_->setChecked(rules.ignoreTrailingBlanks());
    patterns_->setObjectName(QStringLiteral("omitPatterns"));
    patterns_->setTabChangesFocus(true);
    patterns_->setLineWrapMode(QPlainTextEdit::NoWrap);
    patterns_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    patterns_->setPlaceholderText(QStringLiteral("\\d{2}:\\d{2}:\\d{2}"));
    QStringList patterns;
    for (const std::string& pattern : rules.patterns()) {
        patterns << QString::fromStdString(pattern);
    }
    patterns_->setPlainText(patterns.join(u'\n'));
    patterns_->setFixedHeight(patterns_->fontMetrics().lineSpacing() * 4 +
                              2 * patterns_->frameWidth() + 8);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Columnas:"), columns_);
    form->addRow(QString(), ignoreCase_);
    form->addRow(QString(), trailingBlanks_);
    form->addRow(QStringLiteral("&Patrones (uno por línea):"), patterns_);
    auto* note =
        new QLabel(QStringLiteral("Lo que difiere solo en lo omitido se muestra en blanco y "
                                  "no cuenta como diferencia."),
                   this);
    note->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Aceptar"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(buttons);
}

parvane::ComparisonRules OmitDialog::rules() const {
    parvane::ComparisonRules rules;
    rules.setLayout(opened_.givenLayout());
    const QString columns = columns_->text().trimmed();
    if (!columns.isEmpty()) {
        try {
            rules.addColumns(columns.toStdString());
        } catch (const parvane::RulesError& error) {
            throw parvane::RulesError("Columnas: " + std::string(error.what()));
        }
    }
    rules.setIgnoreCase(ignoreCase_->isChecked());
    rules.setIgnoreTrailingBlanks(trailingBlanks_->isChecked());
    const QStringList lines = patterns_->toPlainText().split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].isEmpty()) {
            continue;
        }
        try {
            rules.addPattern(lines[i].toStdString());
        } catch (const parvane::RulesError& error) {
            throw parvane::RulesError(
                QStringLiteral("Patrones, línea %1: ").arg(i + 1).toStdString() + error.what());
        }
    }
    return rules;
}
