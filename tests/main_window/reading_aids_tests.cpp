// The reading aids of the two views: the tooltips of characters and of the comparison, Ctrl+I,
// the notes of the moves between differences, and the views' context menu.

#include "main_window/character_info.h"
#include "main_window/column_ruler.h"
#include "main_window/diff_view.h"
#include "main_window/reading_aids.h"
#include "main_window/text_grid.h"
#include "window_test_support.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QToolTip>

#include <memory>

Q_DECLARE_METATYPE(TextCell)

namespace {

const QString kFirst = QStringLiteral("Diferencia 1 de 3 · línea 2");
const QString kSecond = QStringLiteral("Diferencia 2 de 3 · línea 5");
const QString kThird = QStringLiteral("Diferencia 3 de 3 · línea 9");

} // namespace

class ReadingAidsTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }

    void cellTipsTellBothFiles_data();
    void cellTipsTellBothFiles();
    void namesOfInvisibleCharacters_data();
    void namesOfInvisibleCharacters();
    void hoveringACharacterShowsItsTip_data();
    void hoveringACharacterShowsItsTip();
    void hoveringWhereNoCharacterIsShowsTheTotals();
    void ctrlIDescribesTheCharacterAtTheCaret();
    void differenceNotesCountTheLines_data();
    void differenceNotesCountTheLines();
    void altArrowsSidewaysMoveBetweenRuns();
    void aRunFarRightIsScrolledIntoView();
    void contextMenuCopiesThePositionAndMoves();
    void contextMenuOpensOnTheView();
    void contextMenuFromTheKeyboardIsAboutTheCaret();
    void totalsOfEachFile();
    void notesOnWhatOnlyTheBytesShow_data();
    void notesOnWhatOnlyTheBytesShow();
    void regressionByteNotesWithoutLimits();
    void nothingIsShownBeforeAComparison();
    void eachFileDecodedAsTold();
    void fieldsOfALayoutInTheTips();

private:
    void compareBytes(const QByteArray& content1, const QByteArray& content2) {
        path1 = write("1.txt", content1);
        path2 = write("2.txt", content2);
        control<QLineEdit>("TxtFichero1")->setText(path1);
        control<QLineEdit>("TxtFichero2")->setText(path2);
        control<QPushButton>("CmdEjecutar")->click();
    }
    ReadingAids* aids() const { return window->findChild<ReadingAids*>("readingAids"); }
    DiffView* view(int which) const { return control<DiffView>(which == 1 ? "RTB1" : "RTB2"); }
    // The middle of the character at `cell` of `view`, in its viewport.
    QPoint middleOf(const DiffView* view, TextCell cell) const;
    void activate() {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
    }
    // Three lines with differences (2, 5 and 9) in ten.
    void compareThreeDifferences();

    QString path1, path2;
};

QPoint ReadingAidsTest::middleOf(const DiffView* view, TextCell cell) const {
    const int offset = TextGrid(view->characters(), view->lineStarts()).offsetOf(cell);
    QTextCursor start(view->document());
    start.setPosition(view->documentPosition(offset));
    QTextCursor end(view->document());
    end.setPosition(view->documentPosition(offset + 1));
    const QRect a = view->cursorRect(start);
    const QRect b = view->cursorRect(end);
    return QPoint((a.left() + b.left()) / 2, a.center().y());
}

void ReadingAidsTest::compareThreeDifferences() {
    QByteArray first, second;
    for (int i = 0; i < 10; ++i) {
        first += "igual\n";
        second += (i == 1 || i == 4 || i == 8 ? "igual, no\n" : "igual\n");
    }
    compareBytes(first, second);
}

void ReadingAidsTest::cellTipsTellBothFiles_data() {
    QTest::addColumn<QByteArray>("one");
    QTest::addColumn<QByteArray>("other");
    QTest::addColumn<int>("which");
    QTest::addColumn<TextCell>("cell");
    QTest::addColumn<QString>("tip");
    QTest::newRow("differing letter")
        << QByteArray("uno\nabc\n") << QByteArray("uno\nabd\n") << 1 << TextCell{1, 2}
        << "Línea 2, columna 3\n«c» U+0063\nEn el otro fichero: «d» U+0064";
    QTest::newRow("past the end of the shorter line")
        << QByteArray("abcdef\n") << QByteArray("ab\n") << 1 << TextCell{0, 4}
        << "Línea 1, columna 5\n«e» U+0065\nLa línea del otro fichero es más corta";
    QTest::newRow("just at the end of the shorter line")
        << QByteArray("abc\n") << QByteArray("ab\n") << 1 << TextCell{0, 2}
        << "Línea 1, columna 3\n«c» U+0063\nLa línea del otro fichero es más corta";
    QTest::newRow("missing partner line")
        << QByteArray("a\nb\nc\n") << QByteArray("a\n") << 1 << TextCell{2, 0}
        << "Línea 3, columna 1\n«c» U+0063\nEl otro fichero no tiene esta línea";
    QTest::newRow("tab against space")
        << QByteArray("x\ty\n") << QByteArray("x y\n") << 1 << TextCell{0, 1}
        << "Línea 1, columna 2\nU+0009 tabulador\nEn el otro fichero: « » U+0020 espacio";
    QTest::newRow("no-break space")
        << QByteArray("a\xC2\xA0"
                      "b\n")
        << QByteArray("a b\n") << 1 << TextCell{0, 1}
        << "Línea 1, columna 2\n«\u00A0» U+00A0 espacio de no separación\n"
           "En el otro fichero: « » U+0020 espacio";
    // An emoji takes two UTF-16 units and one column: the letter after it is in column 3.
    QTest::newRow("emoji")
        << QByteArray("a\xF0\x9F\x98\x80"
                      "b\n")
        << QByteArray("axb\n") << 1 << TextCell{0, 1}
        << "Línea 1, columna 2\n«\U0001F600» U+1F600\nEn el otro fichero: «x» U+0078";
    QTest::newRow("after an emoji")
        << QByteArray("a\xF0\x9F\x98\x80"
                      "b\n")
        << QByteArray("axc\n") << 1 << TextCell{0, 2}
        << "Línea 1, columna 3\n«b» U+0062\nEn el otro fichero: «c» U+0063";
    QTest::newRow("soft hyphen in the second file")
        << QByteArray("ab\n") << QByteArray("a\xC2\xAD\n") << 2 << TextCell{0, 1}
        << "Línea 1, columna 2\n«¬» U+00AD guion blando\nEn el otro fichero: «b» U+0062";
    QTest::newRow("control character")
        << QByteArray("a\x01\n") << QByteArray("a\n") << 1 << TextCell{0, 1}
        << "Línea 1, columna 2\n«\u2401» U+0001 carácter de control\n"
           "La línea del otro fichero es más corta";
    QTest::newRow("end of a line")
        << QByteArray("ab\n") << QByteArray("abc\n") << 1 << TextCell{0, 2}
        << "Línea 1, columna 3\nFin de la línea\nEn el otro fichero: «c» U+0063";
    QTest::newRow("end of both lines")
        << QByteArray("ab\n") << QByteArray("ax\n") << 1 << TextCell{0, 2}
        << "Línea 1, columna 3\nFin de la línea\nEn el otro fichero: fin de la línea";
    QTest::newRow("markup stays plain")
        << QByteArray("<b>\n") << QByteArray("<i>\n") << 1 << TextCell{0, 0}
        << "Línea 1, columna 1\n«<» U+003C\nEn el otro fichero: «<» U+003C";
}

void ReadingAidsTest::cellTipsTellBothFiles() {
    QFETCH(QByteArray, one);
    QFETCH(QByteArray, other);
    QFETCH(int, which);
    QFETCH(TextCell, cell);
    QFETCH(QString, tip);
    compareBytes(one, other);
    QCOMPARE(aids()->cellTip(view(which), cell), tip);
    QVERIFY(!Qt::mightBeRichText(tip));
}

void ReadingAidsTest::namesOfInvisibleCharacters_data() {
    QTest::addColumn<uint>("character");
    QTest::addColumn<QString>("name");
    QTest::newRow("space") << 0x20u << "espacio";
    QTest::newRow("tab") << 0x09u << "tabulador";
    QTest::newRow("no-break space") << 0xA0u << "espacio de no separación";
    QTest::newRow("soft hyphen") << 0xADu << "guion blando";
    QTest::newRow("zero-width space") << 0x200Bu << "espacio de anchura cero";
    QTest::newRow("zero-width joiner") << 0x200Du << "unión de anchura cero";
    QTest::newRow("byte-order mark") << 0xFEFFu << "marca de orden de bytes";
    QTest::newRow("C0 control") << 0x1Bu << "carácter de control";
    QTest::newRow("C1 control") << 0x85u << "carácter de control";
    QTest::newRow("em space") << 0x2003u << "espacio";
    QTest::newRow("variation selector") << 0xFE0Fu << "selector de variante";
    QTest::newRow("letter") << uint('a') << "";
}

void ReadingAidsTest::namesOfInvisibleCharacters() {
    QFETCH(uint, character);
    QFETCH(QString, name);
    QCOMPARE(character_info::nameOf(char32_t(character)), name);
}

void ReadingAidsTest::hoveringACharacterShowsItsTip_data() {
    QTest::addColumn<int>("which");
    QTest::addColumn<TextCell>("cell");
    QTest::addColumn<QString>("tip");
    // "uno" / "a😀\tb" / "xyz" against "uno" / "axc".
    QTest::newRow("letter") << 2 << TextCell{1, 2}
                            << "Línea 2, columna 3\n«c» U+0063\nEn el otro fichero: U+0009 "
                               "tabulador";
    QTest::newRow("emoji") << 1 << TextCell{1, 1}
                           << "Línea 2, columna 2\n«\U0001F600» U+1F600\nEn el otro fichero: «x» "
                              "U+0078";
    QTest::newRow("tab after an emoji")
        << 1 << TextCell{1, 2}
        << "Línea 2, columna 3\nU+0009 tabulador\nEn el otro fichero: «c» U+0063";
    QTest::newRow("past the end of the shorter line")
        << 1 << TextCell{1, 3}
        << "Línea 2, columna 4\n«b» U+0062\nLa línea del otro fichero es más corta";
    QTest::newRow("missing partner line")
        << 1 << TextCell{2, 1}
        << "Línea 3, columna 2\n«y» U+0079\nEl otro fichero no tiene esta línea";
}

// Through the viewport's own tooltip event, as a pointer resting on the character sends it.
void ReadingAidsTest::hoveringACharacterShowsItsTip() {
    QFETCH(int, which);
    QFETCH(TextCell, cell);
    QFETCH(QString, tip);
    compareBytes("uno\na\xF0\x9F\x98\x80\tb\nxyz\n", "uno\naxc\n");
    auto* shown = view(which);
    const QPoint at = middleOf(shown, cell);
    QCOMPARE(aids()->cellUnder(shown, at), std::optional(cell));
    QHelpEvent hover(QEvent::ToolTip, at, shown->viewport()->mapToGlobal(at));
    QApplication::sendEvent(shown->viewport(), &hover);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), tip);
    QCOMPARE(aids()->tipAt(shown, at), tip);
}

void ReadingAidsTest::hoveringWhereNoCharacterIsShowsTheTotals() {
    compareBytes("uno\nabc\n", "uno\nabd\n");
    auto* rtb1 = view(1);
    // Far to the right of the short first line.
    const QPoint at(rtb1->viewport()->width() - 5, middleOf(rtb1, {0, 0}).y());
    QCOMPARE(aids()->cellUnder(rtb1, at), std::nullopt);
    QHelpEvent hover(QEvent::ToolTip, at, rtb1->viewport()->mapToGlobal(at));
    QApplication::sendEvent(rtb1->viewport(), &hover);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), aids()->summaryTip(rtb1));
    QVERIFY(QToolTip::text().startsWith(QStringLiteral("Caracteres distintos en este fichero: 1")));
}

void ReadingAidsTest::ctrlIDescribesTheCharacterAtTheCaret() {
    compareBytes("uno\nab\xC2\xA0\n", "uno\nab\n");
    activate();
    auto* rtb1 = view(1);
    rtb1->setFocus();
    rtb1->setSelectionStart(7); // "uno\r\n" then "ab": the no-break space
    QTest::keyClick(rtb1, Qt::Key_I, Qt::ControlModifier);
    QTRY_VERIFY(QToolTip::isVisible());
    const QString expected = QStringLiteral("Línea 2, columna 3\n«\u00A0» U+00A0 espacio de no "
                                            "separación\nLa línea del otro fichero es más corta");
    QCOMPARE(QToolTip::text(), expected);
    QCOMPARE(aids()->caretCell(rtb1), (TextCell{1, 2}));
}

void ReadingAidsTest::differenceNotesCountTheLines_data() {
    QTest::addColumn<QList<Qt::Key>>("keys");
    QTest::addColumn<QStringList>("notes");
    QTest::addColumn<QList<int>>("lines");
    QTest::newRow("down to the end and past it")
        << QList<Qt::Key>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down}
        << QStringList{kFirst, kSecond, kThird, kThird} << QList<int>{1, 4, 8, 8};
    QTest::newRow("up from the last one, past the first")
        << QList<Qt::Key>{Qt::Key_End, Qt::Key_Up, Qt::Key_Up, Qt::Key_Up}
        << QStringList{kThird, kSecond, kFirst, kFirst} << QList<int>{8, 4, 1, 1};
    QTest::newRow("last and first")
        << QList<Qt::Key>{Qt::Key_End, Qt::Key_Home, Qt::Key_Home, Qt::Key_End}
        << QStringList{kThird, kFirst, kFirst, kThird} << QList<int>{8, 1, 1, 8};
}

void ReadingAidsTest::differenceNotesCountTheLines() {
    QFETCH(QList<Qt::Key>, keys);
    QFETCH(QStringList, notes);
    QFETCH(QList<int>, lines);
    compareThreeDifferences();
    activate();
    for (int i = 0; i < keys.size(); ++i) {
        QTest::keyClick(window, keys[i], Qt::AltModifier);
        QCOMPARE(view(2)->textCursor().blockNumber(), lines[i]);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), notes[i]);
    }
}

void ReadingAidsTest::altArrowsSidewaysMoveBetweenRuns() {
    // Runs: line 1 columns 2-3 and 6, line 2 column 1 (only in the second file, whose line is
    // longer) and line 4 column 1.
    compareBytes("abcdefg\nx\nsame\nq\n", "abXYefZ\nxy\nsame\nr\n");
    activate();
    view(1)->setSelectionStart(0);
    view(2)->setSelectionStart(0);
    const QList<std::pair<Qt::Key, TextCell>> steps = {
        {Qt::Key_Right, {0, 2}}, {Qt::Key_Right, {0, 6}}, {Qt::Key_Right, {1, 1}},
        {Qt::Key_Right, {3, 0}}, {Qt::Key_Right, {3, 0}}, {Qt::Key_Left, {1, 1}},
        {Qt::Key_Left, {0, 6}},  {Qt::Key_Left, {0, 2}},  {Qt::Key_Left, {0, 2}}};
    for (const auto& [key, cell] : steps) {
        QTest::keyClick(window, key, Qt::AltModifier);
        QCOMPARE(aids()->caretCell(view(2)), cell);
        // The first file's line 2 holds one character: its caret stops at the line's end.
        const TextCell first = {cell.line, cell.line == 1 ? std::min(cell.column, 1) : cell.column};
        QCOMPARE(aids()->caretCell(view(1)), first);
    }
    QTest::keyClick(window, Qt::Key_Left, Qt::AltModifier);
    QTRY_VERIFY(QToolTip::isVisible());
    // Before the first run there is none: the note tells where the carets stay.
    QCOMPARE(QToolTip::text(), QStringLiteral("Diferencia 1 de 3 · línea 1, columna 3"));
    QTest::keyClick(window, Qt::Key_Right, Qt::AltModifier);
    QTRY_COMPARE(QToolTip::text(), QStringLiteral("Diferencia 1 de 3 · línea 1, columna 7"));
}

void ReadingAidsTest::aRunFarRightIsScrolledIntoView() {
    const QByteArray line(600, 'x');
    compareBytes(line + "\n", line.left(590) + "y" + line.mid(591) + "\n");
    activate();
    QTest::keyClick(window, Qt::Key_Right, Qt::AltModifier);
    for (DiffView* each : {view(1), view(2)}) {
        QCOMPARE(aids()->caretCell(each), (TextCell{0, 590}));
        QVERIFY(each->horizontalScrollBar()->value() > 0);
        QVERIFY(each->viewport()->rect().contains(each->cursorRect().center()));
    }
}

void ReadingAidsTest::contextMenuCopiesThePositionAndMoves() {
    compareThreeDifferences();
    auto* rtb2 = view(2);
    std::unique_ptr<QMenu> menu(aids()->createContextMenu(rtb2, {4, 6}));
    auto action = [&menu](const char* name) { return menu->findChild<QAction*>(name); };
    for (const char* name :
         {"describeCharacter", "copyPosition", "nextDifference", "previousDifference"}) {
        QVERIFY2(action(name) && action(name)->isEnabled(), name);
    }
    QCOMPARE(action("copyPosition")->text(), QStringLiteral("Copiar posición"));
    QVERIFY(action("nextDifference")->text().startsWith(QStringLiteral("Siguiente diferencia")));
    QVERIFY(action("previousDifference")->text().startsWith(QStringLiteral("Diferencia anterior")));
    // The standard entries stay.
    QVERIFY(!menu->actions().isEmpty() && menu->actions().size() > 5);

    action("copyPosition")->trigger();
    QCOMPARE(QApplication::clipboard()->text(), path2 + QStringLiteral(":5:7"));
    // The moves are made once the menu has closed.
    action("nextDifference")->trigger();
    QTRY_COMPARE(rtb2->textCursor().blockNumber(), 1);
    action("nextDifference")->trigger();
    QTRY_COMPARE(rtb2->textCursor().blockNumber(), 4);
    QTRY_COMPARE(QToolTip::text(), kSecond);
    action("previousDifference")->trigger();
    QTRY_COMPARE(rtb2->textCursor().blockNumber(), 1);
    action("describeCharacter")->trigger();
    QTRY_COMPARE(QToolTip::text(), aids()->cellTip(rtb2, {4, 6}));
    QVERIFY(QToolTip::isVisible());
}

void ReadingAidsTest::contextMenuOpensOnTheView() {
    compareBytes("uno\nabc\n", "uno\nabd\n");
    auto* rtb1 = view(1);
    const QPoint at = middleOf(rtb1, {1, 1});
    QContextMenuEvent request(QContextMenuEvent::Mouse, at, rtb1->viewport()->mapToGlobal(at));
    QApplication::sendEvent(rtb1->viewport(), &request);
    QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    auto* copy = menu->findChild<QAction*>("copyPosition");
    QVERIFY(copy);
    copy->trigger(); // the character under the pointer, not the caret
    QCOMPARE(QApplication::clipboard()->text(), path1 + QStringLiteral(":2:2"));
    menu->close();
}

void ReadingAidsTest::contextMenuFromTheKeyboardIsAboutTheCaret() {
    compareBytes("uno\nabc\n", "uno\nabd\n");
    auto* rtb2 = view(2);
    rtb2->setSelectionStart(7); // line 2, column 3
    const QPoint anywhere(2, 2);
    QContextMenuEvent request(QContextMenuEvent::Keyboard, anywhere, rtb2->mapToGlobal(anywhere));
    QApplication::sendEvent(rtb2, &request);
    QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    menu->findChild<QAction*>("copyPosition")->trigger();
    QCOMPARE(QApplication::clipboard()->text(), path2 + QStringLiteral(":2:3"));
    menu->close();
}

void ReadingAidsTest::totalsOfEachFile() {
    compareBytes("abc\nsame\nxy\n", "abd\nsame\nxyz\nmore\nlines\n");
    QCOMPARE(aids()->summaryTip(view(1)), QStringLiteral("Caracteres distintos en este fichero: 1\n"
                                                         "Líneas con diferencias: 4\n"
                                                         "Líneas que el otro fichero no tiene: 0"));
    QCOMPARE(aids()->summaryTip(view(2)),
             QStringLiteral("Caracteres distintos en este fichero: 11\n"
                            "Líneas con diferencias: 4\n"
                            "Líneas que el otro fichero no tiene: 2"));
}

void ReadingAidsTest::notesOnWhatOnlyTheBytesShow_data() {
    QTest::addColumn<QByteArray>("one");
    QTest::addColumn<QByteArray>("other");
    QTest::addColumn<bool>("identical");
    QTest::addColumn<QString>("tip");
    QTest::newRow("line ends only") << QByteArray("uno\r\ndos\r\n") << QByteArray("uno\ndos\n")
                                    << true << "Los saltos de línea difieren: CR LF / LF";
    QTest::newRow("byte-order mark")
        << QByteArray("\xEF\xBB\xBFuno\n") << QByteArray("uno\n") << true
        << "Solo el primer fichero empieza con una marca de orden de bytes";
    QTest::newRow("final line break") << QByteArray("uno\ndos") << QByteArray("uno\ndos\n") << true
                                      << "Solo el segundo fichero termina con un salto de línea";
    QTest::newRow("line ends and final break")
        << QByteArray("uno\ndos\n") << QByteArray("uno\r\ndos") << true
        << "Los saltos de línea difieren: LF / CR LF\n"
           "Solo el primer fichero termina con un salto de línea";
    QTest::newRow("mixed line ends")
        << QByteArray("uno\r\ndos\ntres\n") << QByteArray("uno\ndos\ntres\n") << true
        << "Los saltos de línea difieren: CR LF y LF / LF";
    QTest::newRow("an empty line more")
        << QByteArray("uno\n") << QByteArray("uno\n\n") << true
        << "Los caracteres son los mismos, pero las líneas no: este fichero tiene 1 y el otro 2 "
           "(las que sobran están vacías)";
    QTest::newRow("decoding")
        << QByteArray("caf\xE9\n") << QByteArray("caf\xC3\xA9\n") << false
        << "Caracteres distintos en este fichero: 1\nLíneas con diferencias: 1\n"
           "Líneas que el otro fichero no tiene: 0\n"
           "El primer fichero no es UTF-8 válido: ambos se leen como Windows-1252";
    QTest::newRow("a record missing")
        << QByteArray("r1\nr2\nr3\nr4\nr5\n") << QByteArray("r1\nr3\nr4\nr5\n") << false
        << "Caracteres distintos en este fichero: 5\nLíneas con diferencias: 4\n"
           "Líneas que el otro fichero no tiene: 1\n"
           "Desde la línea 2, el fichero 2 parece desplazado una línea: le falta una línea "
           "respecto al fichero 1";
    QTest::newRow("nothing differs") << QByteArray("uno\n") << QByteArray("uno\n") << true << "";
}

void ReadingAidsTest::notesOnWhatOnlyTheBytesShow() {
    QFETCH(QByteArray, one);
    QFETCH(QByteArray, other);
    QFETCH(bool, identical);
    QFETCH(QString, tip);
    compareBytes(one, other);
    // The message is the same as ever; the tip says what the bytes hold.
    QCOMPARE(messages->shown.size(), identical ? 1 : 0);
    if (identical) {
        QCOMPARE(messages->shown[0].text, MainWindow::kIdenticalMessage);
    }
    QCOMPARE(aids()->summaryTip(view(1)), tip);
}

// Compared without limits, a CR LF file and its LF copy were told identical with no word of
// their line ends.
void ReadingAidsTest::regressionByteNotesWithoutLimits() {
    path1 = write("1.txt", "uno\r\ndos\r\n");
    path2 = write("2.txt", "uno\ndos\n");
    window->openFiles(path1.toStdString(), path2.toStdString(), true);
    QCOMPARE(messages->shown.size(), 1);
    QCOMPARE(messages->shown[0].text, MainWindow::kIdenticalMessage);
    QCOMPARE(aids()->summaryTip(view(1)),
             QStringLiteral("Los saltos de línea difieren: CR LF / LF"));
}

// Told how to decode each file, the window finds a Latin-1 file and its UTF-8 copy identical,
// within the limits and without them, shows the Latin-1 letters as they are and says how each
// file was read.
void ReadingAidsTest::eachFileDecodedAsTold() {
    window->setDecodings(
        parvane::DecodingChoices{parvane::DecodingChoice::Latin1, parvane::DecodingChoice::Utf8});
    for (const bool unlimited : {false, true}) {
        messages->shown.clear();
        path1 = write("1.txt", "N\xD3MINA \xD1"
                               "and\xFA\r\n");
        path2 = write("2.txt", "NÓMINA Ñandú\r\n");
        window->openFiles(path1.toStdString(), path2.toStdString(), unlimited);
        QCOMPARE(messages->shown.size(), 1);
        QCOMPARE(messages->shown[0].text, MainWindow::kIdenticalMessage);
        QVERIFY(view(1)->toPlainText().startsWith(QStringLiteral("NÓMINA Ñandú")));
        QVERIFY(view(2)->toPlainText().startsWith(QStringLiteral("NÓMINA Ñandú")));
        QCOMPARE(aids()->summaryTip(view(1)),
                 QStringLiteral("El primer fichero se lee como Latin-1 y el segundo como UTF-8"));
    }
}

// A layout given from the views' menu names the field of a character (with both values), of a
// copied position, and the fields that differ in the totals, within the limits and without them;
// a malformed one is told and changes nothing.
void ReadingAidsTest::fieldsOfALayoutInTheTips() {
    const QString layout = write("n.campos", "campos 1\nregistro D si 1 1 \"D\"\n"
                                             "ID 2 2\nIMPORTE 5 7\nRESTO 13 *\n");
    const QString bad = write("mal.campos", "campos 1\nA 1 0\n");
    dialog->answers = {bad, layout};
    for (const bool unlimited : {false, true}) {
        path1 = write("1.txt", "D01 0012,50 x\nX\n");
        path2 = write("2.txt", "D01 0012,55 x\nY\n");
        window->openFiles(path1.toStdString(), path2.toStdString(), unlimited);
        if (!unlimited) {
            QCOMPARE(aids()->cellTip(view(1), {0, 10}).count(u'\n'), 2); // no field yet
            for (int asked = 0; asked < 2; ++asked) {
                messages->shown.clear();
                QMenu* menu = aids()->createContextMenu(view(1), {0, 0});
                menu->findChild<QAction*>("chooseLayout")->trigger();
                QCoreApplication::processEvents();
                delete menu;
                QCOMPARE(messages->shown.size(), asked == 0 ? 1 : 0);
            }
            QCOMPARE(messages->shown.size(), 0);
        }
        const QString tip = aids()->cellTip(view(1), {0, 10});
        QVERIFY2(
            tip.endsWith(QStringLiteral("\nCampo IMPORTE (columnas 5-11): «0012,50» / «0012,55»")),
            qPrintable(tip));
        QVERIFY(aids()->cellTip(view(2), {0, 3}).endsWith(u"\nFuera de los campos"));
        const QString untyped = aids()->cellTip(view(1), {1, 0});
        QVERIFY(untyped.contains(u"\nSin campos: la línea no es de ningún registro de «/"));
        QVERIFY(untyped.endsWith(u"/n.campos»"));
        QVERIFY(aids()->positionText(view(2), {0, 10}).endsWith(u":1:11 IMPORTE"));
        // The layout turned fixed-width letters on; both rulers name the caret's record.
        const auto rulerNames = [this](int which) {
            QStringList names;
            for (const RulerField& field : view(which)->ruler()->fields()) {
                names << field.name;
            }
            return names.join(u' ');
        };
        QVERIFY(view(1)->fixedPitch());
        for (const auto& [line, names] : {std::pair{1, "sin registro"}, {0, "ID IMPORTE RESTO"}}) {
            QTextCursor caret(view(2)->document()->findBlockByNumber(line));
            view(2)->setTextCursor(caret);
            QCOMPARE(rulerNames(1), QString::fromUtf8(names));
            QCOMPARE(rulerNames(2), QString::fromUtf8(names));
        }
        QVERIFY2(aids()->summaryTip(view(1)).contains(
                     u"Campos que difieren: D IMPORTE (5-11) en 1 línea, sin registro en 1 línea"),
                 qPrintable(aids()->summaryTip(view(1))));
    }
}

void ReadingAidsTest::nothingIsShownBeforeAComparison() {
    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());
    auto* rtb1 = view(1);
    const QPoint at(10, 10);
    QCOMPARE(aids()->tipAt(rtb1, at), QString());
    QHelpEvent hover(QEvent::ToolTip, at, rtb1->viewport()->mapToGlobal(at));
    QApplication::sendEvent(rtb1->viewport(), &hover);
    QVERIFY(!QToolTip::isVisible());
    activate();
    QTest::keyClick(window, Qt::Key_Down, Qt::AltModifier);
    QTest::keyClick(window, Qt::Key_Right, Qt::AltModifier);
    QVERIFY(!QToolTip::isVisible());
}

QTEST_MAIN(ReadingAidsTest)
#include "reading_aids_tests.moc"
