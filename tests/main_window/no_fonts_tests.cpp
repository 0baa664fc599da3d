// The window on a system without fonts (fontconfig is given no_fonts.conf, which names none).

#include "window_test_support.h"

#include <QTest>

class NoFontsTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void regressionAMissingFontIsToldAtStartUp();
};

// Regression: with no font installed every word was a row of boxes and nothing said why. A
// message says so once the window shows, naming the package that gives the design's font.
void NoFontsTest::regressionAMissingFontIsToldAtStartUp() {
    QTRY_COMPARE(messages->shown.size(), 1);
    QVERIFY(messages->shown[0].isError);
    QCOMPARE(messages->shown[0].text, MainWindow::missingFontMessage());
    QVERIFY(messages->shown[0].text.startsWith("No se ha encontrado ningún tipo de letra"));
    QVERIFY(messages->shown[0].text.contains("fonts-comic-neue"));
}

QTEST_MAIN(NoFontsTest)
#include "no_fonts_tests.moc"
