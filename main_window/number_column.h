#pragma once

// A fixed column of line numbers, 1 to 50, beside a view. It never changes, never takes the
// focus and never scrolls.

#include <QTextEdit>

class NumberColumn : public QTextEdit {
    Q_OBJECT

public:
    // The column's text: "1\r\n2\r\n" and so on up to "50\r\n".
    static QString numbersText();

    explicit NumberColumn(QWidget* parent = nullptr);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
};
