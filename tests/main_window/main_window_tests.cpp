#include "about_window/about_window.h"
#include "main_window/diff_view.h"
#include "main_window/main_window.h"
#include "main_window/number_column.h"
#include "window_test_support.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include <cstdlib>
#include <optional>
#include <set>

namespace {

QColor bgr(quint32 value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

} // namespace

class MainWindowTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }

    void controlsFollowTheDesign_data();
    void controlsFollowTheDesign();
    void windowFollowsTheDesign();
    void tabOrderAndFocus();
    void numberColumnsHoldFixedNumbers();
    void regressionNumberColumnsStopAtTheViewsLowerEdge_data();
    void regressionNumberColumnsStopAtTheViewsLowerEdge();
    void regressionNumbersAfterScrollingToLine63InATallWindow();

    void identicalFilesAreReportedAfterBothViewsAreFilled();
    void exactlyTheDifferingCharactersAreRed_data();
    void exactlyTheDifferingCharactersAreRed();
    void colourOfOneComparisonDoesNotSpreadToTheNext();
    void sameFileTwiceIsIdentical();
    void markupIsShownLiterally();
    void controlAndWideCharactersKeepOffsetsInStep();
    void missingFileShowsErrorAndKeepsViews();
    void emptyPathBoxOnlyPlacesTheCarets();
    void cancellingTheDialogKeepsThePath();
    void dialogOpensInTheFolderOfTheLastChoice();
    void manyDifferencesAreShownWithoutError();
    void aboutWindowOpensAndMainWindowKeepsWorking();
    void salirClosesEverything();

private:
    void compare(const QString& path1, const QString& path2);
};

void MainWindowTest::compare(const QString& path1, const QString& path2) {
    control<QLineEdit>("TxtFichero1")->setText(path1);
    control<QLineEdit>("TxtFichero2")->setText(path2);
    QTest::mouseClick(control<QPushButton>("CmdEjecutar"), Qt::LeftButton);
}

void MainWindowTest::controlsFollowTheDesign_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<double>("points");
    QTest::addColumn<QColor>("colour"); // face or background
    QTest::addColumn<QString>("kept");  // what resizing never changes: x, y, width, height
    const QColor face = bgr(0x00D95764);
    const QColor box = bgr(0x00E08F71);
    auto row = [](const char* name, const char* cls, const QString& text, QRect r, double pt,
                  QColor c, const char* kept) {
        QTest::newRow(name) << name << cls << text << r << pt << c << QString(kept);
    };
    row("CmdEjecutar", "QPushButton", "Comparar", {2100, 8220, 6255, 1095}, 27.75, face, "xh");
    row("TxtFichero1", "PathBox", "", {240, 480, 4875, 285}, 8.25, box, "yh");
    row("TxtFichero2", "PathBox", "", {5340, 480, 4875, 285}, 8.25, box, "yh");
    row("CmdExaminar1", "QPushButton", "Examinar 1er fichero", {240, 60, 4875, 435}, 12, face,
        "yh");
    row("CmdExaminar2", "QPushButton", "Examinar 2º fichero", {5340, 60, 4875, 435}, 12, face,
        "yh");
    row("RTB1", "DiffView", "", {240, 840, 4875, 7275}, 9, box, "xy");
    row("RTB2", "DiffView", "", {5340, 840, 4875, 7275}, 9, box, "y");
    row("Command1", "QPushButton", "Salir", {8460, 8220, 1755, 1095}, 26.25, face, "wh");
    row("TxtNumeracion2", "NumberColumn", "", {5040, 900, 375, 7275}, 9, face, "yw");
    row("TxtNumeracion1", "NumberColumn", "", {-60, 900, 375, 7275}, 9, face, "xyw");
    row("Command2", "QPushButton", "Acerca de...", {240, 8220, 1755, 1095}, 15.75, face, "xwh");
}

void MainWindowTest::controlsFollowTheDesign() {
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, text);
    QFETCH(QRect, twips);
    QFETCH(double, points);
    QFETCH(QColor, colour);
    QFETCH(QString, kept);

    QWidget* widget = window->findChild<QWidget*>(name);
    QVERIFY(widget);
    QCOMPARE(widget->metaObject()->className(), className);
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        QCOMPARE(button->text(), text);
        QCOMPARE(button->palette().color(QPalette::Button), colour);
    } else {
        QCOMPARE(widget->palette().color(QPalette::Base), colour);
    }
    if (auto* box = qobject_cast<QLineEdit*>(widget)) {
        QCOMPARE(box->text(), text);
        QVERIFY(!box->isReadOnly());
    }
    // The resize layout moves the rest; these values it never touches.
    const QRect design(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
    const QRect actual = widget->geometry();
    if (kept.contains('x')) {
        QCOMPARE(actual.x(), design.x());
    }
    if (kept.contains('y')) {
        QCOMPARE(actual.y(), design.y());
    }
    if (kept.contains('w')) {
        QCOMPARE(actual.width(), design.width());
    }
    if (kept.contains('h')) {
        QCOMPARE(actual.height(), design.height());
    }
    QCOMPARE(widget->font().family(), QStringLiteral("Comic Sans MS"));
    QCOMPARE(widget->font().pointSizeF(), points);
    QCOMPARE(widget->font().weight(), QFont::Normal);
    QVERIFY(!widget->font().bold() && !widget->font().italic() && !widget->font().underline() &&
            !widget->font().strikeOut());
}

void MainWindowTest::windowFollowsTheDesign() {
    QCOMPARE(window->objectName(), QStringLiteral("Form1"));
    QCOMPARE(window->windowTitle(), QStringLiteral("Parvane"));
    QCOMPARE(window->palette().color(QPalette::Window), bgr(0x00D95764));
    QCOMPARE(window->size(), QSize(10365 / 15, 9420 / 15));
    QVERIFY(!window->windowIcon().isNull());
    QCOMPARE(window->windowIcon().availableSizes(), QList<QSize>{QSize(48, 48)});
    const QImage icon = window->windowIcon().pixmap(QSize(48, 48)).toImage();
    std::set<QRgb> colours;
    for (int y = 0; y < icon.height(); ++y) {
        for (int x = 0; x < icon.width(); ++x) {
            colours.insert(icon.pixel(x, y));
        }
    }
    QVERIFY(colours.size() > 1 && colours.size() <= 16);
    // The same pixels as the packaged icon (the images' colour spaces may differ).
    const QImage packaged = QImage(QStringLiteral(PARVANE_PACKAGED_ICON))
                                .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage shown = icon.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(packaged.size(), shown.size());
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            QCOMPARE(shown.pixel(x, y), packaged.pixel(x, y));
        }
    }
    QVERIFY(window->findChild<FileDialog*>("CD1"));
}

void MainWindowTest::tabOrderAndFocus() {
    QCOMPARE(window->focusWidget(), control<QWidget>("CmdEjecutar"));
    const QStringList expected = {"CmdEjecutar",  "TxtFichero1",  "TxtFichero2",
                                  "CmdExaminar1", "CmdExaminar2", "RTB1",
                                  "RTB2",         "Command1",     "Command2"};
    QStringList order;
    QWidget* w = control<QWidget>("CmdEjecutar");
    do {
        if (w->focusPolicy() & Qt::TabFocus) {
            order << w->objectName();
        }
        w = w->nextInFocusChain();
    } while (w != control<QWidget>("CmdEjecutar"));
    order.removeAll(QString()); // the views' viewports
    QCOMPARE(order, expected);
    for (const char* name : {"TxtNumeracion1", "TxtNumeracion2"}) {
        QCOMPARE(control<QWidget>(name)->focusPolicy(), Qt::NoFocus);
    }
}

void MainWindowTest::numberColumnsHoldFixedNumbers() {
    QString expected;
    for (int n = 1; n <= 50; ++n) {
        expected += QString::number(n) + "\r\n";
    }
    QCOMPARE(NumberColumn::numbersText(), expected);
    QCOMPARE(expected.size(), 191);
    for (const char* name : {"TxtNumeracion1", "TxtNumeracion2"}) {
        auto* column = control<NumberColumn>(name);
        QCOMPARE(column->palette().color(QPalette::Text), bgr(0x00E0E0E0));
        QTextDocument* doc = column->document();
        for (int n = 1; n <= 50; ++n) {
            QCOMPARE(doc->findBlockByNumber(n - 1).text(), QString::number(n));
        }
        QTest::mouseClick(column->viewport(), Qt::LeftButton);
        QWheelEvent wheel(QPointF(5, 5), column->mapToGlobal(QPointF(5, 5)), {}, {0, -600},
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(column->viewport(), &wheel);
        QCOMPARE(column->verticalScrollBar()->value(), 0);
        QVERIFY(column->isReadOnly());
    }
}

void MainWindowTest::regressionNumberColumnsStopAtTheViewsLowerEdge_data() {
    QTest::addColumn<QSize>("size");
    QTest::newRow("design") << QSize(691, 628);
    QTest::newRow("taller") << QSize(691, 828);
    QTest::newRow("wider and shorter") << QSize(891, 500);
}

// Regression: each number column, placed a little lower than its view and as tall, showed its
// numbers below the view's lower edge. There the window shows its own colour only.
void MainWindowTest::regressionNumberColumnsStopAtTheViewsLowerEdge() {
    QFETCH(QSize, size);
    window->resize(size);
    QTRY_COMPARE(window->size(), size);
    const QImage shown = window->grab().toImage();
    const qreal scale = shown.devicePixelRatio();
    for (const auto& [columnName, viewName] :
         {std::pair{"TxtNumeracion1", "RTB1"}, std::pair{"TxtNumeracion2", "RTB2"}}) {
        const QRect column = control<QWidget>(columnName)->geometry() & window->rect();
        const int viewBottom = control<QWidget>(viewName)->geometry().bottom();
        QVERIFY(column.bottom() > viewBottom);
        for (int y = viewBottom + 1; y <= column.bottom(); ++y) {
            for (int x = column.left(); x <= column.right(); ++x) {
                QCOMPARE(shown.pixelColor(QPoint(x, y) * scale), bgr(0x00D95764));
            }
        }
    }
}

// Regression: within the limits the number columns read 1 to 50 whatever the views showed, so
// that after scrolling a number stood beside another line, and in a window taller than 50 lines
// the lines past 50 had none. Each line in view must have its own number beside it.
void MainWindowTest::regressionNumbersAfterScrollingToLine63InATallWindow() {
    window->resize(window->width(), 1000);
    QTRY_COMPARE(window->height(), 1000);
    QByteArray one, other;
    for (int n = 1; n <= 300; ++n) {
        one += "registro " + QByteArray::number(n) + "\n";
        other += n == 70 ? "registro distinto\n" : "registro " + QByteArray::number(n) + "\n";
    }
    compare(write("a.txt", one), write("b.txt", other));
    // Where a line of a view or of a column ends, in the window (a smaller font for long numbers
    // stands on the line's foot).
    const auto footOf = [this](const QAbstractScrollArea* area, const QRect& line) {
        return area->viewport()->mapTo(window, line.bottomLeft()).y();
    };
    for (const auto& [viewName, columnName] :
         {std::pair{"RTB1", "TxtNumeracion1"}, std::pair{"RTB2", "TxtNumeracion2"}}) {
        auto* view = control<DiffView>(viewName);
        auto* column = control<NumberColumn>(columnName);
        view->verticalScrollBar()->setValue(62);
        QCOMPARE(view->verticalScrollBar()->value(), 62);
        std::optional<int> offset; // the design's: a column sits a little lower than its view
        int lines = 0;
        for (QTextBlock line = view->document()->findBlockByNumber(62);
             line.isValid() &&
             view->cursorRect(QTextCursor(line)).center().y() < view->viewport()->height();
             line = line.next(), ++lines) {
            const QTextBlock number = column->document()->findBlockByNumber(lines);
            QCOMPARE(number.text(), QString::number(line.blockNumber() + 1));
            const int apart = footOf(column, column->cursorRect(QTextCursor(number))) -
                              footOf(view, view->cursorRect(QTextCursor(line)));
            QCOMPARE(apart, offset.value_or(apart));
            offset = apart;
        }
        QVERIFY2(lines > 50, qPrintable(QString::number(lines)));
        QVERIFY2(std::abs(*offset) < view->fontMetrics().height() / 3,
                 qPrintable(QString::number(*offset)));
    }
    // Back at the top, the design's numbers.
    control<DiffView>("RTB1")->verticalScrollBar()->setValue(0);
    QVERIFY(control<NumberColumn>("TxtNumeracion2")->toPlainText().startsWith("1\n2\n3\n"));
}

void MainWindowTest::identicalFilesAreReportedAfterBothViewsAreFilled() {
    const QString a = write("a.txt", "uno\ndos\n");
    const QString b = write("b.txt", "uno\r\ndos");
    compare(a, b);
    QCOMPARE(messages->shown.size(), 1);
    QCOMPARE(messages->shown[0].isError, false);
    QCOMPARE(messages->shown[0].text, QStringLiteral("Estos dos ficheros son idénticos"));
    QCOMPARE(messages->shown[0].view1, QStringLiteral("uno\r\ndos\r\n"));
    QCOMPARE(messages->shown[0].view2, QStringLiteral("uno\r\ndos\r\n"));
    QVERIFY(redPositions(control<DiffView>("RTB1")).empty());
    QVERIFY(redPositions(control<DiffView>("RTB2")).empty());
}

void MainWindowTest::exactlyTheDifferingCharactersAreRed_data() {
    QTest::addColumn<QByteArray>("file1");
    QTest::addColumn<QByteArray>("file2");
    QTest::addColumn<QList<int>>("red1");
    QTest::addColumn<QList<int>>("red2");
    QTest::addColumn<QList<int>>("expectedDocument1"); // document positions, where easy to state
    QTest::newRow("third character") << QByteArray("abc") << QByteArray("abd") << QList<int>{3}
                                     << QList<int>{3} << QList<int>{2};
    QTest::newRow("longer second line") << QByteArray("x\nab") << QByteArray("x\nabcd")
                                        << QList<int>{} << QList<int>{6, 7} << QList<int>{};
    QTest::newRow("runs and gaps")
        << QByteArray("aXXbYc\nq") << QByteArray("a12b3c\n") << QList<int>{2, 3, 5, 9}
        << QList<int>{2, 3, 5} << QList<int>{1, 2, 4, 7};
    QTest::newRow("case") << QByteArray("Hola\nmundo") << QByteArray("hola\nMundo")
                          << QList<int>{1, 7} << QList<int>{1, 7} << QList<int>{0, 5};
}

void MainWindowTest::exactlyTheDifferingCharactersAreRed() {
    QFETCH(QByteArray, file1);
    QFETCH(QByteArray, file2);
    QFETCH(QList<int>, red1);
    QFETCH(QList<int>, red2);
    QFETCH(QList<int>, expectedDocument1);
    compare(write("1.txt", file1), write("2.txt", file2));
    auto* rtb1 = control<DiffView>("RTB1");
    auto* rtb2 = control<DiffView>("RTB2");
    QCOMPARE(redPositions(rtb1), documentPositions(rtb1, red1));
    QCOMPARE(redPositions(rtb2), documentPositions(rtb2, red2));
    QCOMPARE(redPositions(rtb1), std::set<int>(expectedDocument1.begin(), expectedDocument1.end()));
    QVERIFY(messages->shown.isEmpty());
    // The carets end where the command leaves them: offset 1 in the first view, 2 in the second.
    QCOMPARE(rtb1->textCursor().position(), rtb1->documentPosition(1));
    QCOMPARE(rtb2->textCursor().position(), rtb2->documentPosition(2));
    QVERIFY(!rtb1->textCursor().hasSelection());
}

void MainWindowTest::colourOfOneComparisonDoesNotSpreadToTheNext() {
    // The carets end next to red characters, and the user may select some more.
    compare(write("a.txt", "xyz\nabc\n"), write("b.txt", "XYZ\nABC\n"));
    auto* rtb1 = control<DiffView>("RTB1");
    QTextCursor backwards(rtb1->document());
    backwards.setPosition(5);
    backwards.setPosition(4, QTextCursor::KeepAnchor);
    rtb1->setTextCursor(backwards);
    const QString same = write("same.txt", "xyz\nabc\n");
    compare(same, same);
    QCOMPARE(messages->shown.size(), 1);
    QVERIFY(redPositions(rtb1).empty());
    QVERIFY(redPositions(control<DiffView>("RTB2")).empty());
}

void MainWindowTest::sameFileTwiceIsIdentical() {
    const QString a = write("same.txt", "¿Qué tal?\nBien.\n");
    dialog->answers = {a, a};
    QTest::mouseClick(control<QPushButton>("CmdExaminar1"), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>("CmdExaminar2"), Qt::LeftButton);
    QCOMPARE(control<QLineEdit>("TxtFichero1")->text(), a);
    QCOMPARE(control<QLineEdit>("TxtFichero2")->text(), a);
    QTest::mouseClick(control<QPushButton>("CmdEjecutar"), Qt::LeftButton);
    QCOMPARE(messages->shown.size(), 1);
    QCOMPARE(messages->shown[0].text, MainWindow::kIdenticalMessage);
    QCOMPARE(control<DiffView>("RTB1")->toPlainText(), QStringLiteral("¿Qué tal?\nBien.\n"));
}

void MainWindowTest::markupIsShownLiterally() {
    const QByteArray rtf = "{\\rtf1\\ansi {\\b negrita}}\n<b>html</b> &amp;\n";
    compare(write("m1.rtf", rtf), write("m2.rtf", rtf));
    QCOMPARE(control<DiffView>("RTB1")->toPlainText(), QString::fromUtf8(rtf));
    QCOMPARE(control<DiffView>("RTB2")->displayText(),
             QStringLiteral("{\\rtf1\\ansi {\\b negrita}}\r\n<b>html</b> &amp;\r\n"));
}

void MainWindowTest::controlAndWideCharactersKeepOffsetsInStep() {
    // A NUL, a paragraph separator and a character outside the 16-bit range, then a difference.
    compare(write("w1.txt", QByteArray("a\0b\xE2\x80\xA9\xF0\x9F\x98\x80X", 11)),
            write("w2.txt", QByteArray("a\0b\xE2\x80\xA9\xF0\x9F\x98\x80Y", 11)));
    auto* rtb1 = control<DiffView>("RTB1");
    QCOMPARE(rtb1->document()->blockCount(), 2); // one line and the empty one after it
    const QString shown = rtb1->document()->firstBlock().text();
    QCOMPARE(shown.size(), 7); // five characters, one of them two UTF-16 units
    QCOMPARE(shown[1], QChar(0x2400));
    QCOMPARE(rtb1->documentPosition(5), 6);
    QCOMPARE(redPositions(rtb1), std::set<int>{6});

    // Characters drawn as nothing get a visible stand-in of their own kind, so a difference there
    // shows: a soft hyphen, a right-to-left override, a zero-width space; a joiner stays as it is
    // unless it differs.
    compare(write("f1.txt", "a\xC2\xAD"
                            "b\xE2\x80\xAE"
                            "c\xE2\x80\x8B"
                            "d\xE2\x80\x8C"
                            "e"),
            write("f2.txt", "a\xC2\xAD"
                            "b\xE2\x80\xAE"
                            "c\xE2\x80\x8B"
                            "d\xE2\x80\x8D"
                            "e"));
    const QString formats = rtb1->document()->firstBlock().text();
    QCOMPARE(formats, QStringLiteral("a\u00AC"
                                     "b\u21C4"
                                     "c\u2038"
                                     "d\u00A6"
                                     "e"));
    QCOMPARE(redPositions(rtb1), std::set<int>{7});
}

void MainWindowTest::missingFileShowsErrorAndKeepsViews() {
    const QString a = write("a.txt", "abc\n");
    const QString b = write("b.txt", "abd\n");
    compare(a, b);
    const QString before1 = control<DiffView>("RTB1")->displayText();
    const std::set<int> red1 = redPositions(control<DiffView>("RTB1"));
    const QString missing = dir.filePath("no está.txt");
    compare(a, missing);
    QCOMPARE(messages->shown.size(), 1);
    QVERIFY(messages->shown[0].isError);
    QVERIFY2(messages->shown[0].text.contains(missing), qPrintable(messages->shown[0].text));
    QVERIFY(messages->shown[0].text.contains("no existe"));
    QCOMPARE(control<DiffView>("RTB1")->displayText(), before1);
    QCOMPARE(redPositions(control<DiffView>("RTB1")), red1);
    compare(b, b); // the next comparison of good files works
    QCOMPARE(messages->shown.size(), 2);
    QCOMPARE(messages->shown[1].text, MainWindow::kIdenticalMessage);
}

void MainWindowTest::emptyPathBoxOnlyPlacesTheCarets() {
    const QString a = write("a.txt", "abc\ndef\n");
    compare(a, write("b.txt", "xbc\n"));
    auto* rtb2 = control<DiffView>("RTB2");
    rtb2->setSelectionStart(7);
    const QString before = rtb2->displayText();
    compare(a, QString());
    QVERIFY(messages->shown.isEmpty());
    QCOMPARE(rtb2->displayText(), before);
    QCOMPARE(control<DiffView>("RTB1")->textCursor().position(), 1);
    QCOMPARE(rtb2->textCursor().position(), 2);
}

void MainWindowTest::cancellingTheDialogKeepsThePath() {
    const QString a = write("a.txt", "a");
    const QString b = write("b.txt", "b");
    dialog->answers = {a, b, QString()};
    QTest::mouseClick(control<QPushButton>("CmdExaminar1"), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>("CmdExaminar2"), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>("CmdExaminar1"), Qt::LeftButton); // cancelled
    QCOMPARE(control<QLineEdit>("TxtFichero1")->text(), a);
    QCOMPARE(control<QLineEdit>("TxtFichero2")->text(), b);
}

void MainWindowTest::dialogOpensInTheFolderOfTheLastChoice() {
    QVERIFY(QDir(dir.path()).mkpath("sub"));
    const QString inSub = write("sub/c.txt", "c");
    dialog->answers = {inSub, QString(), QString()};
    QTest::mouseClick(control<QPushButton>("CmdExaminar2"), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>("CmdExaminar1"), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>("CmdExaminar2"), Qt::LeftButton);
    QCOMPARE(dialog->foldersShown,
             QStringList({QString(), dir.filePath("sub"), dir.filePath("sub")}));
    QCOMPARE(control<QLineEdit>("TxtFichero1")->text(), QString());
    QCOMPARE(control<QLineEdit>("TxtFichero2")->text(), inSub);
}

void MainWindowTest::manyDifferencesAreShownWithoutError() {
    // 32764 differences in each file: more than the two counters could add up to.
    compare(write("a.txt", QByteArray(32764, 'a')), write("b.txt", QByteArray(32764, 'b')));
    QVERIFY(messages->shown.isEmpty());
    for (const char* name : {"RTB1", "RTB2"}) {
        auto* view = control<DiffView>(name);
        QCOMPARE(view->displayText().size(), 32766);
        QCOMPARE(redPositions(view).size(), std::size_t(32764));
    }
}

void MainWindowTest::aboutWindowOpensAndMainWindowKeepsWorking() {
    QTest::mouseClick(control<QPushButton>("Command2"), Qt::LeftButton);
    auto* about = window->findChild<AboutWindow*>("Form3");
    QVERIFY(about);
    QVERIFY(about->isVisible());
    QTest::mouseClick(control<QPushButton>("Command2"), Qt::LeftButton);
    QCOMPARE(window->findChildren<AboutWindow*>().size(), 1);
    const QString a = write("a.txt", "igual\n");
    compare(a, a);
    QCOMPARE(messages->shown.size(), 1);
}

void MainWindowTest::salirClosesEverything() {
    QTest::mouseClick(control<QPushButton>("Command2"), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    QVERIFY(!window->isVisible());
    const auto abouts = window->findChildren<AboutWindow*>();
    for (AboutWindow* about : abouts) {
        QVERIFY(!about->isVisible());
    }
}

QTEST_MAIN(MainWindowTest)
#include "main_window_tests.moc"
