// What the window's comparisons leave out: the left-out characters' colour (in the views' formats
// and in their pixels), the tips, the message of files identical but for what is left out, the
// views' «Omitir…» dialog and a layout's field flags, within the limits and without them.

#include "comparison/comparison_rules.h"
#include "main_window/diff_view.h"
#include "main_window/omit_dialog.h"
#include "main_window/reading_aids.h"
#include "window_test_support.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <set>

Q_DECLARE_METATYPE(std::set<int>)

namespace {

struct RulesGiven {
    QString columns;
    bool ignoreCase = false;
    bool blanks = false;
    QString pattern;
};

parvane::ComparisonRules rulesOf(const RulesGiven& given) {
    parvane::ComparisonRules rules;
    if (!given.columns.isEmpty()) {
        rules.addColumns(given.columns.toStdString());
    }
    rules.setIgnoreCase(given.ignoreCase);
    rules.setIgnoreTrailingBlanks(given.blanks);
    if (!given.pattern.isEmpty()) {
        rules.addPattern(given.pattern.toStdString());
    }
    return rules;
}

int distance(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
           std::abs(a.blue() - b.blue());
}

} // namespace

Q_DECLARE_METATYPE(RulesGiven)

class OmitTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }

    void leftOutIsWhiteAndWhatCountsRed_data();
    void leftOutIsWhiteAndWhatCountsRed();
    void whiteAndRedPixels();
    void tipsSayOmittedAndByWhichRule();
    void identicalButForWhatIsLeftOut();
    void dialogComparesAgainAndRefusesBadRules();
    void layoutFlagsLeaveOut();

private:
    void compare(const QByteArray& one, const QByteArray& two, bool unlimited = false) {
        const QString path1 = write("1.txt", one);
        const QString path2 = write("2.txt", two);
        window->openFiles(path1.toStdString(), path2.toStdString(), unlimited);
    }
    DiffView* view(int which) const { return control<DiffView>(which == 1 ? "RTB1" : "RTB2"); }
    ReadingAids* aids() const { return window->findChild<ReadingAids*>("readingAids"); }
    std::set<int> leftOut(int which) const {
        return colouredPositions(view(which), DiffView::leftOutColour());
    }
    // Opens the views' «Omitir…»; `fill` answers each dialog shown, in turn, until it returns
    // false (then the dialog is cancelled).
    void omitFromTheMenu(const std::function<bool(OmitDialog*, int)>& fill);
};

void OmitTest::leftOutIsWhiteAndWhatCountsRed_data() {
    QTest::addColumn<RulesGiven>("rules");
    QTest::addColumn<QByteArray>("one");
    QTest::addColumn<QByteArray>("two");
    QTest::addColumn<std::set<int>>("red");      // in both views
    QTest::addColumn<std::set<int>>("leftOut1"); // in view 1
    QTest::addColumn<std::set<int>>("leftOut2");
    QTest::newRow("columns") << RulesGiven{"1-4"} << QByteArray("2024 Ana 10\n")
                             << QByteArray("2025 Ana 12\n") << std::set<int>{10} << std::set<int>{3}
                             << std::set<int>{3};
    QTest::newRow("case") << RulesGiven{{}, true} << QByteArray("Ana x\n") << QByteArray("ANA y\n")
                          << std::set<int>{4} << std::set<int>{1, 2} << std::set<int>{1, 2};
    QTest::newRow("trailing blanks")
        << RulesGiven{{}, false, true} << QByteArray("abc  \nx\n") << QByteArray("abc\nx\n")
        << std::set<int>{} << std::set<int>{3, 4} << std::set<int>{};
    QTest::newRow("pattern") << RulesGiven{{}, false, false, QStringLiteral("\\d\\d:\\d\\d")}
                             << QByteArray("at 10:15 ok\n") << QByteArray("at 11:16 no\n")
                             << std::set<int>{9, 10} << std::set<int>{4, 7} << std::set<int>{4, 7};
}

void OmitTest::leftOutIsWhiteAndWhatCountsRed() {
    QFETCH(RulesGiven, rules);
    QFETCH(QByteArray, one);
    QFETCH(QByteArray, two);
    QFETCH(std::set<int>, red);
    QFETCH(std::set<int>, leftOut1);
    QFETCH(std::set<int>, leftOut2);
    window->setRules(rulesOf(rules));
    for (const bool unlimited : {false, true}) {
        compare(one, two, unlimited);
        QCOMPARE(redPositions(view(1)), red);
        QCOMPARE(redPositions(view(2)), red);
        QCOMPARE(leftOut(1), leftOut1);
        QCOMPARE(leftOut(2), leftOut2);
    }
}

// The pixel of a character farthest from the view's background is drawn in its colour: white for
// a letter left out, red for one that counts.
void OmitTest::whiteAndRedPixels() {
    window->setRules(rulesOf({"1-4"}));
    compare("WXYZ MMMM\n", "wxyz NNNN\n");
    const QImage shown = view(1)->viewport()->grab().toImage();
    const auto darkest = [&](int position) {
        QTextCursor start(view(1)->document());
        start.setPosition(position);
        QTextCursor end = start;
        end.setPosition(position + 1);
        const QRect rect = view(1)->cursorRect(start).united(view(1)->cursorRect(end));
        const qreal scale = shown.devicePixelRatio();
        const QColor paper = shown.pixelColor(rect.topLeft() * scale);
        QColor found = paper;
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            for (int x = rect.left(); x < rect.right(); ++x) {
                const QColor pixel = shown.pixelColor(QPoint(x, y) * scale);
                if (distance(pixel, paper) > distance(found, paper)) {
                    found = pixel;
                }
            }
        }
        return found;
    };
    const auto near = [](const QColor& a, const QColor& b) { return distance(a, b) < 60; };
    for (const int position : {0, 1, 2, 3}) {
        const QColor pixel = darkest(position);
        QVERIFY2(near(pixel, DiffView::leftOutColour()), qPrintable(pixel.name()));
    }
    for (const int position : {5, 6, 7, 8}) {
        const QColor pixel = darkest(position);
        QVERIFY2(near(pixel, DiffView::highlightColour()), qPrintable(pixel.name()));
    }
}

void OmitTest::tipsSayOmittedAndByWhichRule() {
    window->setRules(rulesOf({"1-4", true}));
    for (const bool unlimited : {false, true}) {
        compare("2024 Ana 10\n", "2025 ANA 12\n", unlimited);
        QVERIFY(aids()->cellTip(view(1), {0, 3}).endsWith(u"\nomitido: columnas 1-4"));
        QVERIFY(aids()->cellTip(view(2), {0, 6}).endsWith(u"\nomitido: mayúsculas y minúsculas"));
        QVERIFY(aids()->cellTip(view(1), {0, 10}).endsWith(u"«2» U+0032"));
        QCOMPARE(aids()->summaryTip(view(1)),
                 QStringLiteral("Caracteres distintos en este fichero: 1\n"
                                "Líneas con diferencias: 1\n"
                                "Líneas que el otro fichero no tiene: 0\n"
                                "Caracteres que difieren en lo omitido en este fichero: 3\n"
                                "Líneas que solo difieren en lo omitido: 0\n"
                                "Se omite: columnas 1-4; mayúsculas y minúsculas"));
    }
}

void OmitTest::identicalButForWhatIsLeftOut() {
    window->setRules(rulesOf({{}, false, true}));
    for (const bool unlimited : {false, true}) {
        messages->shown.clear();
        compare("abc \nx\n", "abc\t\t\nx\n", unlimited);
        QCOMPARE(messages->shown.size(), 1);
        QCOMPARE(messages->shown[0].text,
                 MainWindow::kIdenticalMessage +
                     QStringLiteral("\nCaracteres que difieren en lo omitido: 1 en el fichero 1, "
                                    "2 en el fichero 2"));
    }
}

void OmitTest::omitFromTheMenu(const std::function<bool(OmitDialog*, int)>& fill) {
    int shown = 0;
    QTimer watch;
    watch.setInterval(5);
    connect(&watch, &QTimer::timeout, this, [&] {
        auto* dialog = qobject_cast<OmitDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) {
            return;
        }
        if (fill(dialog, shown++)) {
            dialog->accept();
        } else {
            dialog->reject();
        }
    });
    watch.start();
    QMenu* menu = aids()->createContextMenu(view(1), {0, 0});
    menu->findChild<QAction*>("chooseRules")->trigger();
    delete menu;
    QTRY_VERIFY(shown > 0 && !QApplication::activeModalWidget());
}

// OK compares again with the rules in the boxes; a malformed rule is told, leaves the views as
// they were, and the dialog comes back as the user left it.
void OmitTest::dialogComparesAgainAndRefusesBadRules() {
    for (const bool unlimited : {false, true}) {
        window->setRules({});
        compare("2024 Ana 10\n", "2025 ANA 12\n", unlimited);
        const ShownViews before = views();
        messages->shown.clear();
        const QStringList bad = {QStringLiteral("0-3"), QStringLiteral("(")};
        omitFromTheMenu([&](OmitDialog* dialog, int shown) {
            auto* columns = dialog->findChild<QLineEdit*>("omitColumns");
            auto* patterns = dialog->findChild<QPlainTextEdit*>("omitPatterns");
            if (shown == 1) {
                [&] { QCOMPARE(columns->text(), bad[0]); }();
                columns->setText(QStringLiteral("1-4"));
                patterns->setPlainText(QStringLiteral("\n") + bad[1]);
            } else if (shown == 2) {
                patterns->clear();
                dialog->findChild<QCheckBox*>("omitCase")->setChecked(true);
            } else {
                columns->setText(bad[0]);
            }
            return shown < 3;
        });
        QCOMPARE(messages->shown.size(), 2);
        QCOMPARE(messages->shown[0].text,
                 QStringLiteral("Columnas: el tramo «0-3» no vale: las columnas empiezan en 1"));
        QVERIFY2(messages->shown[1].text.startsWith(u"Patrones, línea 2: "),
                 qPrintable(messages->shown[1].text));
        for (const auto& message : messages->shown) {
            QCOMPARE(message.view1, before.text1);
            QCOMPARE(message.view2, before.text2);
        }
        QCOMPARE(redPositions(view(1)), (std::set<int>{10}));
        QCOMPARE(leftOut(1), (std::set<int>{3, 6, 7}));
        // Opened again, the dialog shows the rules in force; cancelled, it changes nothing.
        omitFromTheMenu([](OmitDialog* dialog, int) {
            [&] {
                QCOMPARE(dialog->findChild<QLineEdit*>("omitColumns")->text(), u"1-4");
                QVERIFY(dialog->findChild<QCheckBox*>("omitCase")->isChecked());
                QVERIFY(!dialog->findChild<QCheckBox*>("omitTrailingBlanks")->isChecked());
            }();
            return false;
        });
        QCOMPARE(leftOut(1), (std::set<int>{3, 6, 7}));
    }
}

// A layout's flags leave out what they say, in the comparison shown and in the next.
void OmitTest::layoutFlagsLeaveOut() {
    const QString layout = write("n.campos", "campos 1\nFECHA 1 4 ignorar\nRESTO 6 *\n");
    compare("2024 Ana 10\n", "2025 Ana 12\n");
    QCOMPARE(redPositions(view(1)), (std::set<int>{3, 10}));
    QVERIFY(window->setLayoutFile(layout.toStdString()));
    QCOMPARE(redPositions(view(1)), (std::set<int>{10}));
    QCOMPARE(leftOut(1), (std::set<int>{3}));
    QVERIFY(aids()->cellTip(view(1), {0, 3}).contains(u"\nomitido: campo FECHA (ignorar)"));
}

QTEST_MAIN(OmitTest)
#include "omit_tests.moc"
