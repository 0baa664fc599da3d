#pragma once

// A fixed column of line numbers, 1 to 50, beside a view. It never takes the focus and never
// scrolls. Beside a view of a comparison without limits, which shows a window of a file, it
// shows the numbers of the lines in view instead (showNumbersFrom()), in a smaller font when they
// are too wide for the column (each line keeping its height), and, when even that is too wide,
// as their last digits after an ellipsis.

#include <QTextEdit>

#include <cstdint>

class NumberColumn : public QTextEdit {
    Q_OBJECT

public:
    // The column's text: "1\r\n2\r\n" and so on up to "50\r\n".
    static QString numbersText();

    explicit NumberColumn(QWidget* parent = nullptr);

    // Shows 50 numbers from `first` on; showNumbersFrom(1) gives back the fixed column.
    static constexpr double kSmallestPoints = 5;
    void showNumbersFrom(std::uint64_t first);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    std::uint64_t first_ = 0;
};
