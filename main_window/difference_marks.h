#pragma once

// Marks on a vertical scroll bar for the lines that hold a difference, so that where the
// differences are shows at a glance. The bar stands for a number of lines from the top of its
// groove to the bottom (its range and a page of them, which `spanned` gives when asked), each
// pixel row of the groove for the lines that fall on it, and a row gets a mark when one of them
// differs. The marks are worked out from the differing lines the comparison already knows
// (`next` gives the first at or after a line), one look at most for each pixel row whatever the
// number of lines, and kept until the groove's height, the lines spanned or the source change.
//
// A click on a mark, off the bar's slider, asks for the mark's first line (lineChosen()) and is
// not the bar's; any other click is the bar's, as ever. The marks are a child of the bar, drawn
// over it and transparent to the pointer, and go with it; nothing here fails.

#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QScrollBar;

class DifferenceMarks : public QWidget {
    Q_OBJECT

public:
    using NextDifference = std::function<std::optional<std::uint64_t>(std::uint64_t line)>;
    using SpannedLines = std::function<std::uint64_t()>;

    // How far from a mark, in pixels, a click still takes it.
    static constexpr int kReach = 2;

    // The marks' colour: the differences' red, which reads on the bar's greys.
    static QColor colour();

    explicit DifferenceMarks(QScrollBar* bar);

    // Marks the differing lines that `next` finds over the lines that `spanned` says the bar
    // stands for; no source (empty functions), no marks.
    void setSource(NextDifference next, SpannedLines spanned);

    // The rows of the groove that hold a mark, from the groove's top, increasing.
    const std::vector<int>& markedRows();
    // The first differing line that falls on `row` of the groove, if any.
    std::optional<std::uint64_t> lineAtRow(int row) const;

signals:
    void lineChosen(std::uint64_t line);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QRect groove() const;
    QRect slider() const;
    // The row of the groove's `rows` that `line` falls on, of the `lines` spanned, and the first
    // line that falls on `row` or below it.
    static int rowOf(std::uint64_t line, std::uint64_t lines, int rows);
    static std::uint64_t firstLineOf(int row, std::uint64_t lines, int rows);
    // A press on the groove near a mark, off the slider: the mark's first line.
    std::optional<std::uint64_t> markUnder(QPoint barPoint);

    QScrollBar* bar_;
    NextDifference next_;
    SpannedLines spanned_;
    // What the marked rows were worked out for.
    std::vector<int> rows_;
    std::uint64_t rowsLines_ = 0;
    int rowsHeight_ = -1;
    bool pressed_ = false; // a press on a mark was taken: its release is taken too
};
