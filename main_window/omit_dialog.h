#pragma once

// The «Omitir…» dialog: what the window's comparisons leave out (comparison_rules.h), in four
// boxes — column ranges («1-10,73-80,120-»), case, trailing blanks, and patterns, one a line.
// It opens with the rules in force; rules() reads the boxes back, and throws RulesError with a
// Spanish message naming the box and its fault when one is malformed. A layout's field flags are
// not the dialog's: they come with the layout and are kept as they were.

#include "comparison/comparison_rules.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

class OmitDialog : public QDialog {
    Q_OBJECT

public:
    explicit OmitDialog(const parvane::ComparisonRules& rules, QWidget* parent = nullptr);

    // The rules the boxes give, with the layout of those the dialog was opened with.
    parvane::ComparisonRules rules() const;

private:
    parvane::ComparisonRules opened_;
    QLineEdit* columns_;
    QCheckBox* ignoreCase_;
    QCheckBox* trailingBlanks_;
    QPlainTextEdit* patterns_;
};
