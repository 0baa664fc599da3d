#pragma once

// A column of line numbers beside a view, which numbers the lines beside it: showNumbersFrom()
// gives the number of the view's top line and where that line starts, and the column shows it and
// the numbers after it, as many as the column's height holds and 50 at least (1 to 50 at the
// design's size, before any comparison too). It never takes the focus and never scrolls: typing,
// the wheel or a drag on it change nothing. Numbers too wide for the column are shown in a smaller
// font (each line keeping its height), and, when even that is too wide, as their last digits after
// an ellipsis. A new font for the column (as the views' lines take a new height) shows the same
// numbers again in it.

#include <QTextEdit>

#include <cstdint>
#include <optional>

class NumberColumn : public QTextEdit {
    Q_OBJECT

public:
    // The design's text of the column: "1\r\n2\r\n" and so on up to "50\r\n".
    static QString numbersText();

    explicit NumberColumn(QWidget* parent = nullptr);

    static constexpr double kSmallestPoints = 5;
    // Numbers the lines from `first` on, the first number's line starting `top` pixels below the
    // column's top edge, as the view's top line starts below its viewport's (by default where the
    // design has it); showNumbersFrom(1) gives back the design's column.
    void showNumbersFrom(std::uint64_t first, std::optional<int> top = std::nullopt);
    // How many numbers the column shows.
    int numberCount() const { return count_; }

protected:
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The numbers that the column's height holds, 50 at least.
    int fittingCount() const;
    void showNumbers(std::uint64_t first, int count, std::optional<int> top);
    void setNumbers(const QString& shown, const QTextCharFormat& characters,
                    const QTextBlockFormat& lines, qreal topMargin);
    void placeFirstLine(qreal topMargin);

    std::uint64_t first_ = 0;
    int count_ = 0;
    std::optional<int> top_;
};
