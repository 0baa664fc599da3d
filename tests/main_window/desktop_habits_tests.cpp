#include "main_window/diff_view.h"
#include "main_window/file_dialog.h"
#include "main_window/main_window.h"
#include "window_test_support.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QUrl>

#include <filesystem>
#include <fstream>

namespace {

// The line shown at the top of a view.
int topLine(const DiffView* view) { return view->cursorForPosition(QPoint(2, 2)).blockNumber(); }

} // namespace

// Drag and drop, views that scroll together, and moving between differences from the keyboard.
class DesktopHabitsTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }

    void oneDroppedFileFillsItsSide_data();
    void oneDroppedFileFillsItsSide();
    void twoDroppedFilesAreCompared();
    void dropsThatAreNotLocalFilesAreRefused_data();
    void dropsThatAreNotLocalFilesAreRefused();
    void regressionADropNamingNoFileIsRefused_data();
    void regressionADropNamingNoFileIsRefused();
    void regressionADropIsNeverTakenAsAMove_data();
    void regressionADropIsNeverTakenAsAMove();
    void regressionNamesThatAreNotUtf8CanBeOpened();
    void enterInAPathBoxCompares();
    void viewsScrollTogether();
    void altArrowsMoveBetweenDifferences();

private:
    // Sends a drag over `target` offering `actions` and, when it is accepted, the drop; returns
    // whether it was, and the action the window took.
    bool drop(QWidget* target, const QList<QUrl>& urls, Qt::DropActions actions = Qt::CopyAction,
              Qt::DropAction* taken = nullptr);
    bool drop(QWidget* target, const QByteArray& uriList, Qt::DropActions actions,
              Qt::DropAction* taken);
};

bool DesktopHabitsTest::drop(QWidget* target, const QList<QUrl>& urls, Qt::DropActions actions,
                             Qt::DropAction* taken) {
    QByteArray list;
    for (const QUrl& url : urls) {
        list += url.toEncoded() + "\r\n";
    }
    return drop(target, list, actions, taken);
}

bool DesktopHabitsTest::drop(QWidget* target, const QByteArray& uriList, Qt::DropActions actions,
                             Qt::DropAction* taken) {
    QMimeData data;
    data.setData(QStringLiteral("text/uri-list"), uriList);
    const QPoint at = target->mapTo(window, target->rect().center());
    QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent dropped(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &dropped);
    if (taken) {
        *taken = dropped.dropAction();
    }
    return dropped.isAccepted();
}

void DesktopHabitsTest::regressionADropIsNeverTakenAsAMove_data() {
    QTest::addColumn<Qt::DropActions>("offered");
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<Qt::DropAction>("taken");
    QTest::newRow("copy, move and link offered")
        << Qt::DropActions(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction) << QString() << true
        << Qt::CopyAction;
    QTest::newRow("move and link offered")
        << Qt::DropActions(Qt::MoveAction | Qt::LinkAction) << QString() << true << Qt::LinkAction;
    QTest::newRow("only move offered")
        << Qt::DropActions(Qt::MoveAction) << QString() << false << Qt::IgnoreAction;
    QTest::newRow("localhost") << Qt::DropActions(Qt::CopyAction) << QStringLiteral("localhost")
                               << true << Qt::CopyAction;
    QTest::newRow("regression: another host's file is not taken as local")
        << Qt::DropActions(Qt::CopyAction) << QStringLiteral("otherhost") << false
        << Qt::IgnoreAction;
}

void DesktopHabitsTest::regressionADropIsNeverTakenAsAMove() {
    QFETCH(Qt::DropActions, offered);
    QFETCH(QString, host);
    QFETCH(bool, accepted);
    QFETCH(Qt::DropAction, taken);
    QUrl url = QUrl::fromLocalFile(write("uno.txt", "uno\n"));
    url.setHost(host);
    Qt::DropAction action = Qt::IgnoreAction;
    QCOMPARE(drop(control<QWidget>("RTB1"), {url}, offered, &action), accepted);
    if (accepted) {
        QCOMPARE(action, taken);
    } else {
        QCOMPARE(control<QLineEdit>("TxtFichero1")->text(), QString());
    }
}

// Regression: a Latin-1 name (bytes that are not UTF-8) could not be opened from a drop or the
// dialog; it is kept as bytes, shown escaped in the path box, and compared.
void DesktopHabitsTest::regressionNamesThatAreNotUtf8CanBeOpened() {
    const QByteArray folder = QFile::encodeName(dir.path());
    const std::filesystem::path latin1(folder.toStdString() + "/caf\xe9.txt");
    { std::ofstream(latin1) << "caf\n"; }
    const QString b = write("b.txt", "cae\n");
    QVERIFY(drop(control<QWidget>("RTB1"), "file://" + folder + "/caf%E9.txt\r\n", Qt::CopyAction,
                 nullptr));
    auto* box1 = control<QLineEdit>("TxtFichero1");
    QCOMPARE(box1->text(), QFile::decodeName(folder) + QStringLiteral("/caf\\xE9.txt"));
    control<QLineEdit>("TxtFichero2")->setText(b);
    control<QPushButton>("CmdEjecutar")->click();
    QVERIFY2(messages->shown.isEmpty(), qPrintable(messages->shown.value(0).text));
    QCOMPARE(control<DiffView>("RTB1")->displayText(), QStringLiteral("caf\r\n"));

    // The dialog spells the name with a replacement character; the file is still found.
    const QString spelled = QFile::decodeName(QByteArray::fromStdString(latin1.native()));
    QVERIFY(spelled.contains(QChar::ReplacementCharacter));
    QCOMPARE(FileDialog::realName(spelled), latin1);
    std::filesystem::remove(latin1); // QTemporaryDir cannot name it
}

void DesktopHabitsTest::oneDroppedFileFillsItsSide_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("filledBox"); // empty: the drop is refused
    QTest::newRow("first path box") << "TxtFichero1"
                                    << "TxtFichero1";
    QTest::newRow("first view") << "RTB1"
                                << "TxtFichero1";
    QTest::newRow("second path box") << "TxtFichero2"
                                     << "TxtFichero2";
    QTest::newRow("second view") << "RTB2"
                                 << "TxtFichero2";
    QTest::newRow("Comparar") << "CmdEjecutar"
                              << "";
    QTest::newRow("a browse button") << "CmdExaminar1"
                                     << "";
}

void DesktopHabitsTest::oneDroppedFileFillsItsSide() {
    QFETCH(QString, target);
    QFETCH(QString, filledBox);
    const QString file = write("uno.txt", "uno\n");
    const bool accepted = drop(window->findChild<QWidget*>(target), {QUrl::fromLocalFile(file)});
    QCOMPARE(accepted, !filledBox.isEmpty());
    for (const char* box : {"TxtFichero1", "TxtFichero2"}) {
        QCOMPARE(control<QLineEdit>(box)->text(), filledBox == box ? file : QString());
    }
    QVERIFY(messages->shown.isEmpty());
}

void DesktopHabitsTest::twoDroppedFilesAreCompared() {
    const QString a = write("a.txt", "abc\n");
    const QString b = write("b.txt", "abd\n");
    QVERIFY(drop(control<QWidget>("Command2"), {QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)}));
    QCOMPARE(control<QLineEdit>("TxtFichero1")->text(), a);
    QCOMPARE(control<QLineEdit>("TxtFichero2")->text(), b);
    QCOMPARE(control<DiffView>("RTB2")->displayText(), QStringLiteral("abd\r\n"));
}

void DesktopHabitsTest::dropsThatAreNotLocalFilesAreRefused_data() {
    QTest::addColumn<QList<QUrl>>("urls");
    const QString a = write("a.txt", "a");
    QTest::newRow("web address") << QList<QUrl>{QUrl("https://parvane.example.org/a.txt")};
    QTest::newRow("a folder") << QList<QUrl>{QUrl::fromLocalFile(dir.path())};
    QTest::newRow("three files") << QList<QUrl>(3, QUrl::fromLocalFile(a));
    QTest::newRow("one local, one remote")
        << QList<QUrl>{QUrl::fromLocalFile(a), QUrl("sftp://parvane.example.org/b.txt")};
    QTest::newRow("nothing") << QList<QUrl>{};
}

void DesktopHabitsTest::regressionADropNamingNoFileIsRefused_data() {
    QTest::addColumn<QByteArray>("uriList");
    const QByteArray folder = QFile::encodeName(dir.path());
    write("uno.txt", "uno\n");
    QTest::newRow("a NUL byte in the name") << "file://" + folder + "/uno.txt%00.png\r\n";
    QTest::newRow("the second of two names")
        << "file://" + folder + "/uno.txt\r\nfile://" + folder + "/uno.txt%00\r\n";
    QTest::newRow("no path") << QByteArray("file://\r\n");
    QTest::newRow("no path, two files") << "file://" + folder + "/uno.txt\r\nfile://\r\n";
}

// Regression: a drop of "uno.txt%00.png" showed "uno.txt\x00.png" in the path box and compared
// uno.txt; a drop of "file://" emptied the box. Both are refused, and the boxes keep their paths.
void DesktopHabitsTest::regressionADropNamingNoFileIsRefused() {
    QFETCH(QByteArray, uriList);
    auto* box1 = control<QLineEdit>("TxtFichero1");
    box1->setText(QStringLiteral("antes.txt"));
    QVERIFY(!drop(control<QWidget>("RTB1"), uriList, Qt::CopyAction, nullptr));
    QCOMPARE(box1->text(), QStringLiteral("antes.txt"));
    QCOMPARE(control<QLineEdit>("TxtFichero2")->text(), QString());
    QVERIFY(control<DiffView>("RTB1")->displayText().isEmpty());
    QVERIFY(messages->shown.isEmpty());
}

void DesktopHabitsTest::dropsThatAreNotLocalFilesAreRefused() {
    QFETCH(QList<QUrl>, urls);
    QVERIFY(!drop(control<QWidget>("RTB1"), urls));
    QCOMPARE(control<QLineEdit>("TxtFichero1")->text(), QString());
    QCOMPARE(control<QLineEdit>("TxtFichero2")->text(), QString());
}

void DesktopHabitsTest::enterInAPathBoxCompares() {
    auto* box2 = control<QLineEdit>("TxtFichero2");
    control<QLineEdit>("TxtFichero1")->setText(write("a.txt", "abc\n"));
    box2->setFocus();
    QTest::keyClicks(box2, write("b.txt", "abd\n"));
    QTest::keyClick(box2, Qt::Key_Return);
    QCOMPARE(control<DiffView>("RTB2")->displayText(), QStringLiteral("abd\r\n"));
}

void DesktopHabitsTest::viewsScrollTogether() {
    // The first file has 300 short lines, the second 120 lines of which one is very long.
    QByteArray first, second;
    for (int i = 0; i < 300; ++i) {
        first += "línea " + QByteArray::number(i) + "\n";
    }
    for (int i = 0; i < 120; ++i) {
        second += (i == 7 ? QByteArray(400, 'x') : "línea " + QByteArray::number(i)) + "\n";
    }
    window->openFiles(localPath(write("largo.txt", first)), localPath(write("corto.txt", second)));
    auto* rtb1 = control<DiffView>("RTB1");
    auto* rtb2 = control<DiffView>("RTB2");
    QCOMPARE(rtb1->verticalScrollBar()->maximum(), rtb2->verticalScrollBar()->maximum());

    for (int line : {80, 250, rtb1->verticalScrollBar()->maximum(), 3}) {
        rtb1->verticalScrollBar()->setValue(line); // past the end of the shorter file too
        QCOMPARE(rtb2->verticalScrollBar()->value(), line);
        // Past its last line the shorter view shows the room after its text.
        if (line < rtb2->document()->blockCount()) {
            QCOMPARE(topLine(rtb2), topLine(rtb1));
        } else {
            QVERIFY(rtb2->cursorRect(QTextCursor(rtb2->document()->lastBlock())).bottom() < 0);
        }
    }
    // Keys in the second view scroll the first one as well.
    rtb2->setFocus();
    QTest::keyClick(rtb2, Qt::Key_PageDown);
    QTest::keyClick(rtb2, Qt::Key_PageDown);
    QVERIFY(rtb2->verticalScrollBar()->value() > 3);
    QCOMPARE(rtb1->verticalScrollBar()->value(), rtb2->verticalScrollBar()->value());

    // Sideways: the first view reaches as far right as the second one's long line.
    rtb2->verticalScrollBar()->setValue(0);
    QTRY_COMPARE(rtb1->horizontalScrollBar()->maximum(), rtb2->horizontalScrollBar()->maximum());
    rtb2->horizontalScrollBar()->setValue(rtb2->horizontalScrollBar()->maximum());
    QVERIFY(rtb1->horizontalScrollBar()->value() > 0);
    QCOMPARE(rtb1->horizontalScrollBar()->value(), rtb2->horizontalScrollBar()->value());
}

void DesktopHabitsTest::altArrowsMoveBetweenDifferences() {
    // Differences on lines 3 and 40 in the first file and on line 120, past the end of the first
    // file, in the second.
    QByteArray first, second;
    for (int i = 0; i < 100; ++i) {
        first += (i == 3 || i == 40 ? "distinta" : "igual") + QByteArray("\n");
        second += "igual\n";
    }
    for (int i = 100; i <= 120; ++i) {
        second += i == 120 ? "sobra\n" : "\n";
    }
    window->openFiles(localPath(write("a.txt", first)), localPath(write("b.txt", second)));
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    auto* rtb1 = control<DiffView>("RTB1");
    auto* rtb2 = control<DiffView>("RTB2");
    auto press = [this](Qt::Key key) { QTest::keyClick(window, key, Qt::AltModifier); };
    auto line = [](DiffView* view) { return view->textCursor().blockNumber(); };

    const QList<std::pair<Qt::Key, int>> steps = {
        {Qt::Key_Down, 3}, {Qt::Key_Down, 40}, {Qt::Key_Down, 120}, {Qt::Key_Down, 120},
        {Qt::Key_Up, 40},  {Qt::Key_Up, 3},    {Qt::Key_Up, 3}};
    for (const auto& [key, expected] : steps) {
        press(key);
        QCOMPARE(line(rtb1), std::min(expected, 100)); // the caret stays within the first file

        QCOMPARE(line(rtb2), expected);
        const QRect caret = rtb2->cursorRect();
        QVERIFY(rtb2->viewport()->rect().contains(caret.center()));
        QCOMPARE(topLine(rtb1), topLine(rtb2));
    }
}

QTEST_MAIN(DesktopHabitsTest)
#include "desktop_habits_tests.moc"
