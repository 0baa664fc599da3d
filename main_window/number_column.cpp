#include "main_window/number_column.h"

#include <QWheelEvent>

QString NumberColumn::numbersText() {
    QString text;
    for (int n = 1; n <= 50; ++n) {
        text += QString::number(n) + QStringLiteral("\r\n");
    }
    return text;
}

NumberColumn::NumberColumn(QWidget* parent) : QTextEdit(parent) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setFocusPolicy(Qt::NoFocus);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setFrameShape(QFrame::NoFrame);
    setLineWrapMode(QTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    document()->setDefaultTextOption(QTextOption(Qt::AlignHCenter));
    showNumbersFrom(1);
}

void NumberColumn::showNumbersFrom(std::uint64_t first) {
    if (first == first_) {
        return;
    }
    first_ = first;
    QString shown;
    if (first == 1) {
        shown = numbersText();
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    } else {
        for (std::uint64_t n = first; n < first + 50; ++n) {
            shown += QString::number(n) + u'\n';
        }
    }
    setPlainText(shown);
}

void NumberColumn::wheelEvent(QWheelEvent* event) { event->ignore(); }

void NumberColumn::scrollContentsBy(int, int) {
    // The numbers stay where they are, whatever asks the column to scroll.
}
