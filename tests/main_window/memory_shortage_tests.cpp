// Memory that runs out in the window's tasks: each says so in Spanish, naming what could not be
// done and the file, keeps what the window showed, and the window goes on. The shortages are made
// where the tasks let tests in: the pass's prelude, the pace of a copy, and a clipboard whose text
// cannot be had.

#include "main_window/comparison_views.h"
#include "main_window/path_box.h"
#include "window_test_support.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTest>

#include <memory>
#include <new>

namespace {

// Clipboard data whose text runs out of memory while `hungry`.
class HungryText : public QMimeData {
public:
    bool hungry = true;
    QStringList formats() const override { return {QStringLiteral("text/plain")}; }
    bool hasFormat(const QString& type) const override { return type == "text/plain"; }

protected:
    QVariant retrieveData(const QString&, QMetaType) const override {
        if (hungry) {
            throw std::bad_alloc();
        }
        return QStringLiteral("/tmp/pegado.txt");
    }
};

[[noreturn]] void runOut() { throw std::bad_alloc(); }

} // namespace

class MemoryShortageTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void regressionAShortageIsToldAndTheWindowGoesOn_data();
    void regressionAShortageIsToldAndTheWindowGoesOn();

private:
    ComparisonViews* big() const { return window->findChild<ComparisonViews*>(); }
};

void MemoryShortageTest::regressionAShortageIsToldAndTheWindowGoesOn_data() {
    QTest::addColumn<QString>("task");
    QTest::addColumn<QString>("told"); // %1 and %2: the two files
    const QString select = QStringLiteral(" Seleccione menos texto o cierre otros programas.");
    QTest::newRow("the pass") << "pass"
                              << "comparar «%1» con «%2». Cierre otros programas o compare "
                                 "ficheros menores.";
    QTest::newRow("a copy") << "copy"
                            << "copiar la selección de «%1»." + select;
    QTest::newRow("a paste of the primary selection") << "primary"
                                                      << "pegar la selección de «%1»." + select;
    QTest::newRow("Ctrl+V in a path box")
        << "Ctrl+V"
        << "pegar el texto del portapapeles en la casilla del primer fichero.";
    QTest::newRow("Shift+Insert in a path box")
        << "Shift+Insert"
        << "pegar el texto del portapapeles en la casilla del segundo fichero.";
    QTest::newRow("a path box's context menu")
        << "menu"
        << "pegar el texto del portapapeles en la casilla del primer fichero.";
    QTest::newRow("a path box's Pegar")
        << "Pegar"
        << "pegar el texto del portapapeles en la casilla del primer fichero.";
}

void MemoryShortageTest::regressionAShortageIsToldAndTheWindowGoesOn() {
    QFETCH(QString, task);
    QFETCH(QString, told);
    // A comparison without limits of a last line without a line break, which a copy reads.
    const QString a = write("a.txt", "uno\ndos");
    const QString b = write("b.txt", "uno\ndoX");
    window->openFiles(localPath(a), localPath(b), true);
    const ShownViews before = views();
    QVERIFY(!before.text1.isEmpty());
    QApplication::clipboard()->setText(QStringLiteral("antes"));
    auto* box1 = control<PathBox>("TxtFichero1");
    auto* box2 = control<PathBox>("TxtFichero2");
    std::unique_ptr<QMimeData> primary;
    big()->setPrimarySelection([&primary](QMimeData* data) { primary.reset(data); });

    if (task == "pass") {
        big()->setPassPrelude([](const auto&) { runOut(); });
        window->openFiles(localPath(a), localPath(b), true);
    } else if (task == "copy" || task == "primary") {
        big()->setCopyPace(runOut);
        control<DiffView>("RTB1")->setFocus();
        QTest::keyClick(control<DiffView>("RTB1"), Qt::Key_A, Qt::ControlModifier);
        if (task == "copy") {
            QTest::keyClick(control<DiffView>("RTB1"), Qt::Key_C, Qt::ControlModifier);
        } else {
            QVERIFY(primary);
            QCOMPARE(primary->text(), QString());
        }
    } else {
        auto* clipboard = new HungryText;
        clipboard->hungry = task != "Pegar"; // the menu offers "Pegar" for a clipboard it can read
        QApplication::clipboard()->setMimeData(clipboard);
        if (task == "Ctrl+V") {
            QTest::keyClick(box1, Qt::Key_V, Qt::ControlModifier);
        } else if (task == "Shift+Insert") {
            QTest::keyClick(box2, Qt::Key_Insert, Qt::ShiftModifier);
        } else {
            QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(2, 2),
                                      box1->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(box1, &request);
            if (task == "Pegar") {
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                QVERIFY(menu);
                QAction* paste = nullptr;
                for (QAction* action : menu->actions()) {
                    paste = action->text().startsWith(QLineEdit::tr("&Paste")) ? action : paste;
                }
                QVERIFY(paste && paste->isEnabled());
                clipboard->hungry = true;
                paste->trigger();
                menu->close();
            }
        }
    }
    QTRY_COMPARE(messages->shown.size(), 1);
    QVERIFY(messages->shown[0].isError);
    QCOMPARE(messages->shown[0].text,
             QStringLiteral("No hay memoria suficiente para ") + told.arg(a, b));
    QCOMPARE(views(), before);
    QCOMPARE(box1->text(), a);
    QCOMPARE(box2->text(), b);
    if (task == "copy") {
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("antes"));
    }
    // The window goes on: the next comparison is shown.
    big()->setPassPrelude({});
    big()->setCopyPace({});
    window->openFiles(localPath(write("c.txt", "tres\n")), localPath(b));
    QCOMPARE(control<DiffView>("RTB1")->displayText(), QStringLiteral("tres\r\n"));
    QCOMPARE(messages->shown.size(), 1);
}

QTEST_MAIN(MemoryShortageTest)
#include "memory_shortage_tests.moc"
