// Where the differences are, at a glance: the marks on the views' vertical bars, within the
// limits and without them, a click on a mark, and the note that follows every comparison that
// found differences.

#include "main_window/comparison_views.h"
#include "main_window/difference_marks.h"
#include "main_window/reading_aids.h"
#include "window_test_support.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>

#include <cmath>

namespace {

// `lines` lines of "línea N", those of `changed` (0-based) ending otherwise in the second file.
std::pair<QByteArray, QByteArray> pairOf(int lines, const QList<int>& changed) {
    QByteArray one, other;
    for (int k = 0; k < lines; ++k) {
        const QByteArray line = "línea " + QByteArray::number(k);
        one += line + "\n";
        other += line + (changed.contains(k) ? "!\n" : "\n");
    }
    return {one, other};
}

// The middle rows of the runs of rows of `bar` drawn in the marks' colour, in the bar.
QList<int> markRowsOf(QScrollBar* bar) {
    const QImage shown = bar->grab().toImage();
    const qreal scale = shown.devicePixelRatio();
    QList<int> middles;
    int start = -1;
    for (int y = 0; y <= bar->height(); ++y) {
        const bool marked =
            y < bar->height() &&
            shown.pixelColor(QPoint(bar->width() / 2, y) * scale) == DifferenceMarks::colour();
        if (marked && start < 0) {
            start = y;
        } else if (!marked && start >= 0) {
            middles << (start + y - 1) / 2;
            start = -1;
        }
    }
    return middles;
}

} // namespace

class DifferenceMarksTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }

    void marksStandForTheDifferingLines_data();
    void marksStandForTheDifferingLines();
    void aClickOnAMarkGoesThere_data();
    void aClickOnAMarkGoesThere();
    void aClickOffTheMarksPagesAsEver();
    void oneMarkPerPixelRowAtMost();
    void noMarksWithoutDifferences();
    void aNoteTellsTheDifferingLines();
    void notesWriteNumbersAsSpanishDoes_data();
    void notesWriteNumbersAsSpanishDoes();

private:
    ComparisonViews* shown() const { return window->findChild<ComparisonViews*>(); }
    // Compares a pair of `lines` lines differing on `changed`, without limits if `unlimited`.
    void comparePair(int lines, const QList<int>& changed, bool unlimited);
    // The vertical bar that view 1 uses now.
    QScrollBar* bar() const {
        return shown()->unlimited() ? shown()->verticalBar(1)
                                    : control<DiffView>("RTB1")->verticalScrollBar();
    }
};

void DifferenceMarksTest::comparePair(int lines, const QList<int>& changed, bool unlimited) {
    const auto [one, other] = pairOf(lines, changed);
    window->openFiles(localPath(write("a.txt", one)), localPath(write("b.txt", other)), unlimited);
    QCoreApplication::processEvents();
}

void DifferenceMarksTest::marksStandForTheDifferingLines_data() {
    QTest::addColumn<bool>("unlimited");
    QTest::newRow("within the limits") << false;
    QTest::newRow("without them") << true;
}

// Each differing line has a mark where the bar puts that line: its share of the lines the bar
// spans (its range and a page), down the groove.
void DifferenceMarksTest::marksStandForTheDifferingLines() {
    QFETCH(bool, unlimited);
    const QList<int> changed{5, 600, 1199};
    comparePair(1200, changed, unlimited);
    QCOMPARE(shown()->unlimited(), unlimited);
    for (int view : {1, 2}) {
        QScrollBar* shownBar = view == 1   ? bar()
                               : unlimited ? shown()->verticalBar(2)
                                           : control<DiffView>("RTB2")->verticalScrollBar();
        const QRect groove = shown()->differenceMarks(view)->geometry();
        const double spanned = shownBar->maximum() + shownBar->pageStep();
        const QList<int> marks = markRowsOf(shownBar);
        QCOMPARE(marks.size(), changed.size());
        for (int i = 0; i < changed.size(); ++i) {
            const double expected = groove.top() + (changed[i] + 0.5) / spanned * groove.height();
            QVERIFY2(std::abs(marks[i] - expected) <= 1.5,
                     qPrintable(QStringLiteral("%1 / %2").arg(marks[i]).arg(expected)));
        }
    }
}

void DifferenceMarksTest::aClickOnAMarkGoesThere_data() { marksStandForTheDifferingLines_data(); }

void DifferenceMarksTest::aClickOnAMarkGoesThere() {
    QFETCH(bool, unlimited);
    comparePair(1200, {5, 600, 1199}, unlimited);
    const int before = bar()->value();
    const QList<int> marks = markRowsOf(bar());
    QCOMPARE(marks.size(), 3);
    // A little off the mark's middle is still the mark.
    QTest::mouseClick(bar(), Qt::LeftButton, {}, {bar()->width() / 2, marks[1] + 1});
    QCOMPARE(shown()->caretLine(), std::uint64_t(600));
    QVERIFY(bar()->value() != before);
    QTRY_COMPARE(QToolTip::text(), QStringLiteral("Diferencia 2 de 3 · línea 601"));
    QTest::mouseClick(bar(), Qt::LeftButton, {}, {bar()->width() / 2, marks[0]});
    QCOMPARE(shown()->caretLine(), std::uint64_t(5));
}

void DifferenceMarksTest::aClickOffTheMarksPagesAsEver() {
    comparePair(1200, {5}, false);
    const int row = bar()->height() * 3 / 4;
    QTest::mouseClick(bar(), Qt::LeftButton, {}, {bar()->width() / 2, row});
    QCOMPARE(bar()->value(), bar()->pageStep());
    QCOMPARE(shown()->caretLine(), std::uint64_t(0));
}

// With far more differing lines than the groove has rows, the rows are marked, not the lines.
void DifferenceMarksTest::oneMarkPerPixelRowAtMost() {
    QList<int> all;
    for (int k = 0; k < 30000; k += 2) {
        all << k;
    }
    comparePair(30000, all, true);
    DifferenceMarks* marks = shown()->differenceMarks(1);
    const std::vector<int>& rows = marks->markedRows();
    QCOMPARE(int(rows.size()), marks->height());
    QVERIFY(std::adjacent_find(rows.begin(), rows.end(), std::greater_equal<int>()) == rows.end());
    QCOMPARE(markRowsOf(bar()).size(), 1); // one mark from top to bottom
}

void DifferenceMarksTest::noMarksWithoutDifferences() {
    comparePair(1200, {}, false);
    QVERIFY(shown()->differenceMarks(1)->markedRows().empty());
    QVERIFY(markRowsOf(bar()).isEmpty());
    QCOMPARE(messages->shown.size(), 1); // the files are identical, as ever
}

// The note comes by itself and leaves the carets where a comparison has always put them.
void DifferenceMarksTest::aNoteTellsTheDifferingLines() {
    QToolTip::hideText();
    comparePair(100, {20, 30, 99}, false);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), QStringLiteral("3 líneas difieren; la primera, la 21"));
    QCOMPARE(control<DiffView>("RTB1")->textCursor().position(), 1);
    QCOMPARE(control<DiffView>("RTB2")->textCursor().position(), 2);
    QVERIFY(messages->shown.isEmpty());
}

void DifferenceMarksTest::notesWriteNumbersAsSpanishDoes_data() {
    QTest::addColumn<qulonglong>("lines");
    QTest::addColumn<qulonglong>("first");
    QTest::addColumn<int>("shiftedBy"); // 0: no shift
    QTest::addColumn<QString>("note");
    QTest::newRow("one") << 1ull << 6ull << 0 << "1 línea difiere: la 7";
    QTest::newRow("five digits") << 12ull << 20513ull << 0
                                 << "12 líneas difieren; la primera, la 20 514";
    QTest::newRow("four digits") << 1234ull << 1233ull << 0
                                 << "1 234 líneas difieren; la primera, la 1 234";
    QTest::newRow("millions") << 1234567ull << 9999999ull << 0
                              << "1 234 567 líneas difieren; la primera, la 10 000 000";
    QTest::newRow("a record missing")
        << 2500ull << 2500ull << 1
        << "2 500 líneas difieren; la primera, la 2 501\nDesde la línea 2 501, el fichero 2 "
           "parece desplazado una línea: le falta una línea respecto al fichero 1";
}

void DifferenceMarksTest::notesWriteNumbersAsSpanishDoes() {
    QFETCH(qulonglong, lines);
    QFETCH(qulonglong, first);
    QFETCH(int, shiftedBy);
    QFETCH(QString, note);
    std::optional<parvane::ShiftHint> shift;
    if (shiftedBy > 0) {
        shift = parvane::ShiftHint{first, shiftedBy, 2};
    }
    QCOMPARE(ReadingAids::comparisonNote(lines, first, shift), note);
}

QTEST_MAIN(DifferenceMarksTest)
#include "difference_marks_tests.moc"
