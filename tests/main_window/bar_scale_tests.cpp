// The bar values of positions over a whole file, which may be more than a QScrollBar counts.

#include "main_window/bar_scale.h"

#include <QObject>
#include <QTest>

#include <climits>
#include <cstdint>

namespace {

constexpr quint64 kIntMax = INT_MAX;
constexpr quint64 k2To40 = quint64{1} << 40;
constexpr quint64 kMost = UINT64_MAX;

} // namespace

class BarScaleTest : public QObject {
    Q_OBJECT

private slots:
    void positionsToBarValues_data();
    void positionsToBarValues();
    void barValuesToPositions_data();
    void barValuesToPositions();
    void aBarValueComesBackFromItsPosition_data();
    void aBarValueComesBackFromItsPosition();
    void stepsAreScaledAndNeverNothing_data();
    void stepsAreScaledAndNeverNothing();
};

void BarScaleTest::positionsToBarValues_data() {
    QTest::addColumn<quint64>("last");
    QTest::addColumn<quint64>("position");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("scaled");
    QTest::newRow("nothing to scroll") << quint64{0} << quint64{0} << 0 << false;
    QTest::newRow("few positions, past the last") << quint64{100} << quint64{500} << 100 << false;
    QTest::newRow("INT_MAX-1, the last") << kIntMax - 1 << kIntMax - 1 << INT_MAX - 1 << false;
    QTest::newRow("INT_MAX, the last") << kIntMax << kIntMax << INT_MAX << false;
    QTest::newRow("INT_MAX, one before") << kIntMax << kIntMax - 1 << INT_MAX - 1 << false;
    QTest::newRow("INT_MAX+1, the first") << kIntMax + 1 << quint64{0} << 0 << true;
    QTest::newRow("INT_MAX+1, the last") << kIntMax + 1 << kIntMax + 1 << INT_MAX << true;
    QTest::newRow("INT_MAX+1, one before") << kIntMax + 1 << kIntMax << INT_MAX - 1 << true;
    QTest::newRow("2^40, the first") << k2To40 << quint64{0} << 0 << true;
    QTest::newRow("2^40, half way") << k2To40 << k2To40 / 2 << INT_MAX / 2 << true;
    QTest::newRow("2^40, the last") << k2To40 << k2To40 << INT_MAX << true;
    QTest::newRow("2^40, past the last") << k2To40 << 2 * k2To40 << INT_MAX << true;
    QTest::newRow("UINT64 max, half way") << kMost << kMost / 2 << INT_MAX / 2 << true;
    QTest::newRow("UINT64 max, the last") << kMost << kMost << INT_MAX << true;
    QTest::newRow("UINT64 max-1, the last") << kMost - 1 << kMost - 1 << INT_MAX << true;
}

void BarScaleTest::positionsToBarValues() {
    QFETCH(quint64, last);
    QFETCH(quint64, position);
    QFETCH(int, value);
    QFETCH(bool, scaled);
    const BarScale scale(last);
    QCOMPARE(scale.toBar(position), value);
    QCOMPARE(scale.scaled(), scaled);
    QCOMPARE(scale.barMaximum(), scaled ? INT_MAX : int(last));
}

void BarScaleTest::barValuesToPositions_data() {
    QTest::addColumn<quint64>("last");
    QTest::addColumn<int>("value");
    QTest::addColumn<quint64>("position");
    QTest::newRow("few positions") << quint64{1000} << 500 << quint64{500};
    QTest::newRow("few positions, past the last") << quint64{1000} << 2000 << quint64{1000};
    QTest::newRow("few positions, negative") << quint64{1000} << -5 << quint64{0};
    QTest::newRow("INT_MAX, the last") << kIntMax << INT_MAX << kIntMax;
    QTest::newRow("INT_MAX+1, the first") << kIntMax + 1 << 0 << quint64{0};
    QTest::newRow("INT_MAX+1, the second value") << kIntMax + 1 << 1 << quint64{2};
    QTest::newRow("INT_MAX+1, the last") << kIntMax + 1 << INT_MAX << kIntMax + 1;
    QTest::newRow("2^40, the second value") << k2To40 << 1 << quint64{513};
    QTest::newRow("2^40, half way") << k2To40 << INT_MAX / 2 << quint64{549755813632};
    QTest::newRow("2^40, the last") << k2To40 << INT_MAX << k2To40;
    QTest::newRow("UINT64 max, the second value") << kMost << 1 << quint64{8589934597};
    QTest::newRow("UINT64 max, the last") << kMost << INT_MAX << kMost;
    QTest::newRow("UINT64 max, negative") << kMost << -1 << quint64{0};
}

void BarScaleTest::barValuesToPositions() {
    QFETCH(quint64, last);
    QFETCH(int, value);
    QFETCH(quint64, position);
    QCOMPARE(BarScale(last).fromBar(value), position);
}

void BarScaleTest::aBarValueComesBackFromItsPosition_data() {
    QTest::addColumn<quint64>("last");
    QTest::newRow("100") << quint64{100};
    QTest::newRow("INT_MAX-1") << kIntMax - 1;
    QTest::newRow("INT_MAX") << kIntMax;
    QTest::newRow("INT_MAX+1") << kIntMax + 1;
    QTest::newRow("3 * 2^31") << 3 * (kIntMax + 1);
    QTest::newRow("2^40") << k2To40;
    QTest::newRow("UINT64 max-1") << kMost - 1;
    QTest::newRow("UINT64 max") << kMost;
}

// A bar set where the views stand stays there, a drag lands on the proportional position, and
// further along the bar is further along the file.
void BarScaleTest::aBarValueComesBackFromItsPosition() {
    QFETCH(quint64, last);
    const BarScale scale(last);
    const int most = scale.barMaximum();
    for (const int value :
         {0, 1, 2, 99, 100, INT_MAX / 3, INT_MAX / 2, INT_MAX - 2, INT_MAX - 1, INT_MAX}) {
        if (value > most) {
            continue;
        }
        const quint64 position = scale.fromBar(value);
        QCOMPARE(scale.toBar(position), value);
        const long double proportional = static_cast<long double>(value) * last / most;
        QVERIFY2(position >= proportional - 1 && position <= proportional + last / most + 1,
                 qPrintable(QString::number(position)));
        if (value < most) {
            QVERIFY(scale.fromBar(value + 1) > position);
        }
    }
    QCOMPARE(scale.fromBar(0), quint64{0});
    QCOMPARE(scale.fromBar(most), last);
}

void BarScaleTest::stepsAreScaledAndNeverNothing_data() {
    QTest::addColumn<quint64>("last");
    QTest::addColumn<quint64>("positions");
    QTest::addColumn<int>("step");
    QTest::newRow("few positions") << quint64{1000} << quint64{40} << 40;
    QTest::newRow("few positions, none") << quint64{1000} << quint64{0} << 1;
    QTest::newRow("INT_MAX+1, a page") << kIntMax + 1 << quint64{40} << 39;
    QTest::newRow("2^40, a page") << k2To40 << quint64{40} << 1;
    QTest::newRow("2^40, a million") << k2To40 << quint64{1000000} << 1953;
}

void BarScaleTest::stepsAreScaledAndNeverNothing() {
    QFETCH(quint64, last);
    QFETCH(quint64, positions);
    QFETCH(int, step);
    QCOMPARE(BarScale(last).step(positions), step);
}

QTEST_MAIN(BarScaleTest)
#include "bar_scale_tests.moc"
