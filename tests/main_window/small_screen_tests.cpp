// The window on a screen too small for the design's size: a 1366 x 768 screen (the offscreen
// platform's, set by small_screen.json) at the scale factor that CMake gives each run in
// QT_SCALE_FACTOR.

#include "main_window/main_window.h"

#include <QPushButton>
#include <QScreen>
#include <QTest>

class SmallScreenTest : public QObject {
    Q_OBJECT

private slots:
    void regressionTheWindowOpensWithinASmallScreen();
};

// Regression: at a scale factor of 1.5 the window opened 1037 x 942 on a 1366 x 768 screen, the
// buttons below its lower edge. It opens as large as the screen's free area lets it, its width
// kept where it fits, and the buttons are laid out inside it.
void SmallScreenTest::regressionTheWindowOpensWithinASmallScreen() {
    const QSize design(10365 / 15, 9420 / 15);
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect available = window.screen()->availableGeometry();
    QVERIFY2(available.height() <
                 window.frameGeometry().height() - window.height() + design.height(),
             "the screen is large enough for the design");
    const QRect outer = window.frameGeometry();
    QVERIFY(available.contains(outer));
    QCOMPARE(outer.height(), available.height());
    if (outer.width() < available.width()) {
        QCOMPARE(window.width(), design.width());
    } else {
        QCOMPARE(outer.width(), available.width());
    }
    for (const char* name : {"Command2", "CmdEjecutar", "Command1"}) {
        const QRect button = window.findChild<QPushButton*>(name)->geometry();
        QVERIFY2(window.rect().contains(button), name);
        QCOMPARE(button.top(), qRound((outer.height() * 15 - 1700) / 15.0));
    }
}

QTEST_MAIN(SmallScreenTest)
#include "small_screen_tests.moc"
