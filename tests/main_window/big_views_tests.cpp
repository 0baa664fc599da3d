// Files past the size limits, compared without them ("Comparar sin límite" or --sin-limite): what
// the views show of them, how they move over the whole files, the progress of the pass and a file
// that changes while it is shown. The files are made here, just past the limits.

#include "main_window/comparison_progress.h"
#include "main_window/comparison_views.h"
#include "main_window/diff_view.h"
#include "main_window/main_window.h"
#include "main_window/number_column.h"
#include "main_window/reading_aids.h"
#include "main_window/selection_copy.h"
#include "window_test_support.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCursor>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QToolTip>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <tuple>

namespace {

constexpr int kLines = 2000; // of 20 characters: 44000 display characters, past 32766

// Line k of the first file: "línea" and its number, to 20 characters.
QByteArray lineOf(int k) {
    return QStringLiteral("línea %1").arg(k, 14, 10, QLatin1Char('.')).toUtf8();
}

QByteArray fileOf(int lines, const QList<int>& changed = {}) {
    QByteArray content;
    for (int k = 0; k < lines; ++k) {
        QByteArray line = lineOf(k);
        if (changed.contains(k)) {
            line[3] = 'X'; // "líXea": one character differs, column 2 (í takes two bytes)
        }
        content += line + '\n';
    }
    return content;
}

// Line k of the first file, as the views show it.
QString lineText(int k) { return QString::fromUtf8(lineOf(k)); }

// Line k of fileOf() with line k changed.
QString changedLineText(int k) { return QString::fromUtf8(fileOf(k + 1, {k}).split('\n').at(k)); }

// The second file of the moves by run: runs at column 2 of lines 3 and 1999, and at columns 2 and
// 15 to 16 of line 1000 (each line takes 22 bytes).
QByteArray runsFile() {
    QByteArray content = fileOf(kLines, {3, 1000, 1999});
    content[1000 * 22 + 16] = '#';
    content[1000 * 22 + 17] = '#';
    return content;
}

// A file past the limits with every kind of line break, characters shown by stand-ins, and a last
// line without a break.
QByteArray mixedFile() {
    QByteArray content;
    for (int k = 0; k < kLines; ++k) {
        content += lineOf(k);
        content += k % 3 == 0 ? "\r\n" : k % 3 == 1 ? "\r" : "\n";
        if (k == 1000) {
            content += "a\tb\x01"
                       "c \xc2\xa0\xe2\x80\x8b"
                       "z\n";
        }
    }
    return content + "sin salto al final";
}

// A line of `length` letters, each a hundred times over: longer than a window's columns.
QByteArray letters(int length) {
    QByteArray line;
    for (int c = 0; c < length; ++c) {
        line += char('a' + (c / 100) % 26);
    }
    return line;
}

// Ten lines of letters(5000), with "#" at column 4321 of the given lines.
QByteArray longLines(const QList<int>& changed = {}) {
    QByteArray content;
    for (int k = 0; k < 10; ++k) {
        QByteArray line = letters(5000);
        if (changed.contains(k)) {
            line[4321] = '#';
        }
        content += line + '\n';
    }
    return content;
}

// Waits up to 10 s for `done`, as a step of a task over large files would take its time; with
// `events`, handling the window's events meanwhile (for a step in the window's thread).
void holdUntil(const std::function<bool()>& done, bool events) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < 10000) {
        if (events) {
            QCoreApplication::processEvents();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// What a view gives the X11 primary selection (a middle click's paste), as Qt asks for it.
std::unique_ptr<QMimeData> primarySelectionOf(DiffView* view) {
    struct Access : DiffView {
        using DiffView::createMimeDataFromSelection;
    };
    return std::unique_ptr<QMimeData>((view->*&Access::createMimeDataFromSelection)());
}

// A move by Alt and an arrow, and the line and column of the whole files where both carets stand
// after it.
struct Move {
    Qt::Key key;
    int line, column;
};

// The text of the line at the top of `view`, as it shows it.
QString topText(const DiffView* view) {
    return view->cursorForPosition(QPoint(2, 2)).block().text();
}

QString caretText(const DiffView* view) { return view->textCursor().block().text(); }

// The lines of `content` as the engine reads them: CR LF, CR and LF each end a line.
QStringList linesOf(const QByteArray& content) {
    QString text = QString::fromUtf8(content);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    QStringList lines = text.split(u'\n');
    if (text.endsWith(u'\n') || text.isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

// What a view copies of `lines` from line and column `from` to `to`: each line break as "\n".
QString textBetween(const QStringList& lines, QPoint from, QPoint to) {
    QString text;
    for (int k = from.y(); k <= to.y() && k < lines.size(); ++k) {
        const int begin = k == from.y() ? from.x() : 0;
        const int end = k == to.y() ? std::min(to.x(), int(lines[k].size())) : int(lines[k].size());
        text += lines[k].mid(begin, std::max(0, end - begin));
        if (k < to.y()) {
            text += u'\n';
        }
    }
    return text;
}

// The file's own characters, each line break as "\n": what selecting all of it copies.
QString wholeText(const QByteArray& content) {
    return QString::fromUtf8(content)
        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(u'\r', u'\n');
}

// A progress dialog of the work on a.txt: its title, its label naming the file as plain text,
// and its "Cancelar" button, which is then clicked.
void cancelThrough(const QProgressDialog* dialog, const QString& title) {
    QCOMPARE(dialog->windowTitle(), title);
    auto* label = dialog->findChild<QLabel*>();
    QVERIFY(label);
    QCOMPARE(label->textFormat(), Qt::PlainText);
    QVERIFY2(label->text().contains("a.txt"), qPrintable(label->text()));
    auto* button = dialog->findChild<QPushButton*>();
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("Cancelar"));
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace

Q_DECLARE_METATYPE(QList<Move>)

class BigViewsTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }

    void unlimitedIsOfferedOnlyPastTheLimits_data();
    void unlimitedIsOfferedOnlyPastTheLimits();
    void decliningTheOfferKeepsTheViews();
    void takingTheOfferShowsBothFilesFromTheTop();
    void identicalBigFilesAreReportedAfterTheViewsAreFilled();
    void commandLineComparesWithoutTheOffer();
    void viewsAreThoseOfAComparisonWithinTheLimits_data();
    void viewsAreThoseOfAComparisonWithinTheLimits();
    void differencesAreRedAsWithinTheLimits();
    void barsSpanTheWholeFiles();
    void altKeysGoOverTheWholeFiles_data();
    void altKeysGoOverTheWholeFiles();
    void ctrlEndAndCtrlHomeGoToTheFilesEnds();
    void caretsLeftBehindKeepTheirPlace();
    void scrollingWithTheKeysCrossesWindows();
    void wheelScrollsBothViewsOverTheWholeFiles();
    void aLargerWindowHoldsMoreLines();
    void copyingGivesTheFilesOwnCharacters();
    void aSelectionOutlivesAWindowThatHoldsIt();
    void longLinesAreShownInAWindowOfColumns();
    void boundedComparisonAfterABigOneIsAsBefore();
    void readingAidsCountInTheWholeFiles();
    void notesOfMovesCountInTheWholeFiles();
    void aShorterFileEndsAsWithinTheLimits();
    void bothWholeFileBarsShowWhenOneFileIsShort_data();
    void bothWholeFileBarsShowWhenOneFileIsShort();
    void emptyFilesAreIdentical();
    void numberColumnsKeepTheLastDigitsOfLongNumbers();
    void cancellingThePassKeepsTheViews();
    void regressionClosingTheWindowCancelsALongTask_data();
    void regressionClosingTheWindowCancelsALongTask();
    void changedFileIsReportedOnceAndTheWindowLives_data();
    void changedFileIsReportedOnceAndTheWindowLives();
    void selectingAllCopiesTheWholeFile_data();
    void selectingAllCopiesTheWholeFile();
    void copyIsOfferedForASelectionTheWindowHasLeft();
    void aSelectionStretchesPastTheWindow_data();
    void aSelectionStretchesPastTheWindow();
    void aMouseDragStretchesASelectionPastTheWindow();
    void aSelectionIsDrawnWhereverTheWindowGoes();
    void aPlainClickEndsAWholeFileSelection();
    void endAndHomeGoToTheEndsOfAWholeLongLine();
    void aCopyTooLargeIsRefusedWithAMessage();
    void aLongCopyShowsItsProgressAndCanBeCancelled();
    void copyingFromAChangedFileSaysSo();
    void aVeryLongLineIsCopiedInPieces();
    void thePrimarySelectionHoldsTheWholeSelection();
    void regressionSelectingAllGivesTheFilesOwnCharacters_data();
    void regressionSelectingAllGivesTheFilesOwnCharacters();
    void movesByRunNoteTheDifferenceAndColumn();
    void aRunFarAlongALongLineMovesTheWindowAcross();
    void aMoveByRunAfterAFileChangedSaysSo();

private:
    void compare(const QString& path1, const QString& path2);
    // Compares the two files, taking the offer to compare without limits.
    void compareUnlimited(const QByteArray& first, const QByteArray& second);
    // Compares kLines lines of fileOf() with the same lines, the given ones changed, without
    // limits.
    void compareBig(const QList<int>& changed) {
        compareUnlimited(fileOf(kLines), fileOf(kLines, changed));
    }
    ComparisonViews* big() const { return window->findChild<ComparisonViews*>(); }
    // Compares two files of one line within the limits.
    void compareSmall() { compare(write("c.txt", "abc\n"), write("d.txt", "abd\n")); }
    void activate() {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
    }
    // Presses `key` `times` times in `widget`, letting the window follow each time.
    static void press(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers, int times);
    // Presses Alt and `key` in view 1 and returns the note that the move shows.
    QString noteAfter(Qt::Key key);
    // The last message says that `file` changed after the comparison.
    void expectChangedMessage(const char* file) const;
    // Opens the context menu of `view` from the keyboard, and its entry `name`.
    QAction* menuEntry(DiffView* view, const char* name);
    // Where in the whole file 1 the caret of view 1 stands, when the window holds it (x column).
    QPoint caretPlace() const;
    // The point of view 1 at column `column` of line `line` of the file, which the window holds.
    QPoint pointAt(int line, int column) const;
    // The place in a view's text of column `column` of line `line` of fileOf(), which the window
    // holds.
    int windowPlace(int line, int column) const {
        return int(line - big()->windowFirstLine()) * 22 + column;
    }
    // Runs `task`, polling every 10 ms (and calling `eachPoll`) for the progress dialog `name`;
    // the first time it shows, `act` is called with it. Returns whether it showed.
    bool whileTaskRuns(const QString& name, const std::function<void()>& task,
                       const std::function<void(QProgressDialog*)>& act,
                       const std::function<void()>& eachPoll = {});
};

void BigViewsTest::compare(const QString& path1, const QString& path2) {
    control<QLineEdit>("TxtFichero1")->setText(path1);
    control<QLineEdit>("TxtFichero2")->setText(path2);
    QTest::mouseClick(control<QPushButton>("CmdEjecutar"), Qt::LeftButton);
}

void BigViewsTest::compareUnlimited(const QByteArray& first, const QByteArray& second) {
    messages->takeUnlimited = true;
    compare(write("a.txt", first), write("b.txt", second));
    QVERIFY(big()->unlimited());
}

void BigViewsTest::press(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers, int times) {
    for (int i = 0; i < times; ++i) {
        QTest::keyClick(widget, key, modifiers);
        QCoreApplication::processEvents();
    }
}

QString BigViewsTest::noteAfter(Qt::Key key) {
    QTest::keyClick(rtb1(), key, Qt::AltModifier);
    QCoreApplication::processEvents();
    return QToolTip::text();
}

void BigViewsTest::expectChangedMessage(const char* file) const {
    const RecordingMessages::Shown& shown = messages->shown.last();
    QVERIFY(shown.isError);
    QVERIFY2(shown.text.contains("ha cambiado"), qPrintable(shown.text));
    QVERIFY(shown.text.contains(dir.filePath(file)));
}

QAction* BigViewsTest::menuEntry(DiffView* view, const char* name) {
    const QPoint anywhere(2, 2);
    QContextMenuEvent request(QContextMenuEvent::Keyboard, anywhere, view->mapToGlobal(anywhere));
    QApplication::sendEvent(view, &request);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    return menu ? menu->findChild<QAction*>(name) : nullptr;
}

QPoint BigViewsTest::caretPlace() const {
    const QTextCursor cursor = rtb1()->textCursor();
    return {int(big()->windowFirstColumn()) + cursor.positionInBlock(),
            int(big()->windowFirstLine()) + cursor.blockNumber()};
}

QPoint BigViewsTest::pointAt(int line, int column) const {
    QTextCursor cursor(rtb1()->document()->findBlockByNumber(line - int(big()->windowFirstLine())));
    cursor.setPosition(cursor.position() + column);
    return rtb1()->cursorRect(cursor).center();
}

bool BigViewsTest::whileTaskRuns(const QString& name, const std::function<void()>& task,
                                 const std::function<void(QProgressDialog*)>& act,
                                 const std::function<void()>& eachPoll) {
    bool shown = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (eachPoll) {
            eachPoll();
        }
        auto* dialog = window->findChild<QProgressDialog*>(name);
        if (dialog && dialog->isVisible() && !shown) {
            shown = true;
            act(dialog);
        }
    });
    poll.start(10);
    task();
    poll.stop();
    return shown;
}

void BigViewsTest::unlimitedIsOfferedOnlyPastTheLimits_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("missing");
    QTest::addColumn<bool>("offered");
    QTest::newRow("too many characters") << fileOf(kLines) << false << true;
    QTest::newRow("line of 40000 characters") << QByteArray(40000, 'x') << false << true;
    QTest::newRow("missing file") << QByteArray() << true << false;
    QTest::newRow("within the limits") << fileOf(10, {3}) << false << false;
}

void BigViewsTest::unlimitedIsOfferedOnlyPastTheLimits() {
    QFETCH(QByteArray, content);
    QFETCH(bool, missing);
    QFETCH(bool, offered);
    const QString a = missing ? dir.filePath("falta.txt") : write("a.txt", content);
    compare(a, write("b.txt", fileOf(10)));
    const bool anyOffer = std::any_of(messages->shown.begin(), messages->shown.end(),
                                      [](const auto& shown) { return shown.offeredUnlimited; });
    QCOMPARE(anyOffer, offered);
    if (offered || missing) {
        QCOMPARE(messages->shown.size(), 1);
        QVERIFY(messages->shown[0].isError);
        QVERIFY(messages->shown[0].text.contains(a));
    }
    QVERIFY(!big()->unlimited());
}

void BigViewsTest::decliningTheOfferKeepsTheViews() {
    compareSmall();
    const QString before = rtb1()->displayText();
    compare(write("a.txt", fileOf(kLines)), write("b.txt", fileOf(kLines, {5})));
    QCOMPARE(messages->shown.size(), 1);
    QVERIFY(messages->shown[0].offeredUnlimited);
    QCOMPARE(rtb1()->displayText(), before);
    QVERIFY(!big()->unlimited());
    QVERIFY(!big()->verticalBar(1)->isVisible());
}

void BigViewsTest::takingTheOfferShowsBothFilesFromTheTop() {
    compareBig({5});
    QCOMPARE(messages->shown.size(), 1); // the offer, and no identical message
    QCOMPARE(big()->topLine(), 0u);
    QCOMPARE(big()->windowFirstLine(), 0u);
    QVERIFY(big()->windowLineCount() < std::uint64_t(kLines));
    QVERIFY(rtb1()->displayText().size() <= ComparisonViews::kWindowCharacters);
    QVERIFY(rtb1()->displayText().startsWith(QString::fromUtf8(lineOf(0) + "\r\n" + lineOf(1))));
    QCOMPARE(topText(rtb1()), lineText(0));
    QCOMPARE(topText(rtb2()), lineText(0));
    // The carets stand where a comparison within the limits leaves them.
    QCOMPARE(rtb1()->textCursor().position(), 1);
    QCOMPARE(rtb2()->textCursor().position(), 2);
    QCOMPARE(control<NumberColumn>("TxtNumeracion1")->document()->firstBlock().text(),
             QStringLiteral("1"));
}

void BigViewsTest::identicalBigFilesAreReportedAfterTheViewsAreFilled() {
    compareBig({});
    QCOMPARE(messages->shown.size(), 2);
    QCOMPARE(messages->shown[1].isError, false);
    QCOMPARE(messages->shown[1].text, MainWindow::kIdenticalMessage);
    QVERIFY(messages->shown[1].view1.startsWith(lineText(0)));
    QVERIFY(messages->shown[1].view2.startsWith(lineText(0)));
    QVERIFY(redPositions(rtb1()).empty());
}

void BigViewsTest::commandLineComparesWithoutTheOffer() {
    const QString a = write("a.txt", "uno\ndos\n");
    const QString b = write("b.txt", "uno\ndós\n");
    window->openFiles(localPath(a), localPath(b), true);
    QVERIFY(messages->shown.isEmpty());
    QVERIFY(big()->unlimited());
    QCOMPARE(rtb1()->displayText(), QStringLiteral("uno\r\ndos\r\n"));
    QCOMPARE(rtb2()->displayText(), QStringLiteral("uno\r\ndós\r\n"));
    QCOMPARE(redPositions(rtb1()), documentPositions(rtb1(), {7}));
    QCOMPARE(rtb1()->textCursor().position(), 1);
    QCOMPARE(rtb2()->textCursor().position(), 2);
    window->openFiles(localPath(a), localPath(a), true);
    QCOMPARE(messages->shown.size(), 1);
    QCOMPARE(messages->shown[0].text, MainWindow::kIdenticalMessage);
}

// Files within the limits, compared with and without them: the views show the same text with the
// same red characters, and the carets stand in the same places.
void BigViewsTest::viewsAreThoseOfAComparisonWithinTheLimits_data() {
    QTest::addColumn<QByteArray>("file1");
    QTest::addColumn<QByteArray>("file2");
    QTest::newRow("one character") << QByteArray("abc") << QByteArray("abd");
    QTest::newRow("line ends of every kind")
        << QByteArray("a\r\nb\rc\nd") << QByteArray("a\nb\nc\r\ne");
    QTest::newRow("longer second file") << QByteArray("x\nab") << QByteArray("x\nabcd\nmás\n");
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBFhola") << QByteArray("hola");
    QTest::newRow("Windows-1252") << QByteArray("caf\xe9 \x80") << QByteArray("caf\xe8 \x80");
    QTest::newRow("controls and blanks")
        << QByteArray("a\tb\x01 \xc2\xa0z") << QByteArray("a b\x02\t\xc2\xa0y");
    QTest::newRow("joiners and emoji")
        << QByteArray("\xf0\x9f\x91\xa8\xe2\x80\x8d\xf0\x9f\x91\xa9 e\xcc\x81")
        << QByteArray("\xf0\x9f\x91\xa8\xe2\x80\x8c\xf0\x9f\x91\xa9 e\xcc\x80");
    QTest::newRow("markup") << QByteArray("<b>negrita</b>") << QByteArray("<i>negrita</i>");
    QTest::newRow("identical") << QByteArray("igual\n") << QByteArray("igual\r\n");
}

void BigViewsTest::viewsAreThoseOfAComparisonWithinTheLimits() {
    QFETCH(QByteArray, file1);
    QFETCH(QByteArray, file2);
    const QString a = write("a.txt", file1);
    const QString b = write("b.txt", file2);
    compare(a, b);
    QVERIFY(!big()->unlimited());
    const ShownViews within = views();
    const int caret1 = rtb1()->textCursor().position();
    const int caret2 = rtb2()->textCursor().position();
    const qsizetype messagesWithin = messages->shown.size();
    window->openFiles(localPath(a), localPath(b), true);
    QVERIFY(big()->unlimited());
    QCOMPARE(views(), within);
    QCOMPARE(rtb1()->textCursor().position(), caret1);
    QCOMPARE(rtb2()->textCursor().position(), caret2);
    QCOMPARE(messages->shown.size(), 2 * messagesWithin); // the identical message, or none
}

void BigViewsTest::differencesAreRedAsWithinTheLimits() {
    compareBig({0, 7});
    // Column 2 of lines 0 and 7, each line 20 characters and a line break.
    QCOMPARE(redPositions(rtb1()), documentPositions(rtb1(), {3, 7 * 22 + 3}));
    QCOMPARE(redPositions(rtb2()), documentPositions(rtb2(), {3, 7 * 22 + 3}));
}

void BigViewsTest::barsSpanTheWholeFiles() {
    compareBig({1500});
    QScrollBar* bar = big()->verticalBar(1);
    QVERIFY(bar->isVisible());
    QVERIFY(!rtb1()->verticalScrollBar()->isVisible());
    QCOMPARE(bar->maximum(), kLines + 1 - bar->pageStep());
    bar->setValue(1500);
    QCOMPARE(big()->topLine(), 1500u);
    QCOMPARE(big()->verticalBar(2)->value(), 1500);
    QCOMPARE(topText(rtb1()), lineText(1500));
    QCOMPARE(topText(rtb2()), changedLineText(1500));
    QCOMPARE(control<NumberColumn>("TxtNumeracion1")->document()->firstBlock().text(),
             QStringLiteral("1501"));
    QCOMPARE(control<NumberColumn>("TxtNumeracion2")->document()->firstBlock().text(),
             QStringLiteral("1501"));
    QVERIFY(!redPositions(rtb2()).empty());
    QVERIFY2(bar->toolTip().contains("1501"), qPrintable(bar->toolTip()));
    bar->setValue(bar->maximum());
    QCOMPARE(big()->topLine(), std::uint64_t(bar->maximum()));
    QCOMPARE(topText(rtb1()), lineText(bar->maximum()));
}

void BigViewsTest::altKeysGoOverTheWholeFiles_data() {
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<QList<Move>>("moves");
    const QList<Move> byLine = {{Qt::Key_Down, 3, 0},    {Qt::Key_Down, 1000, 0},
                                {Qt::Key_Down, 1999, 0}, {Qt::Key_Down, 1999, 0},
                                {Qt::Key_Up, 1000, 0},   {Qt::Key_Up, 3, 0},
                                {Qt::Key_Up, 3, 0}};
    const QList<Move> byRun = {
        {Qt::Key_Right, 3, 2},    {Qt::Key_Right, 1000, 2}, {Qt::Key_Right, 1000, 15},
        {Qt::Key_Right, 1999, 2}, {Qt::Key_Right, 1999, 2}, {Qt::Key_Left, 1000, 15},
        {Qt::Key_Left, 1000, 2},  {Qt::Key_Left, 3, 2},     {Qt::Key_Left, 3, 2}};
    QTest::newRow("Alt+Down and Alt+Up") << fileOf(kLines, {3, 1000, 1999}) << byLine;
    QTest::newRow("Alt+Right and Alt+Left") << runsFile() << byRun;
}

// Alt+Down and Alt+Up go from line to line with differences, Alt+Right and Alt+Left from run to
// run, over the whole files, the window following; they stay at the last or first.
void BigViewsTest::altKeysGoOverTheWholeFiles() {
    QFETCH(QByteArray, second);
    QFETCH(QList<Move>, moves);
    compareUnlimited(fileOf(kLines), second);
    activate();
    for (const Move& move : moves) {
        QTest::keyClick(window, move.key, Qt::AltModifier);
        QCOMPARE(big()->caretLine(), std::uint64_t(move.line));
        for (DiffView* view : {rtb1(), rtb2()}) {
            QCOMPARE(view->textCursor().positionInBlock(), move.column);
            QCOMPARE(std::uint64_t(view->textCursor().blockNumber()) + big()->windowFirstLine(),
                     std::uint64_t(move.line));
            QVERIFY(view->viewport()->rect().contains(view->cursorRect().center()));
        }
        QCOMPARE(caretText(rtb1()), lineText(move.line));
        QCOMPARE(rtb1()->verticalScrollBar()->value(), rtb2()->verticalScrollBar()->value());
    }
}

void BigViewsTest::ctrlEndAndCtrlHomeGoToTheFilesEnds() {
    compareBig({5});
    QTest::keyClick(rtb1(), Qt::Key_End, Qt::ControlModifier);
    QCoreApplication::processEvents();
    QCOMPARE(big()->caretLine(), std::uint64_t(kLines)); // the empty line after the last
    QCOMPARE(big()->verticalBar(1)->value(), big()->verticalBar(1)->maximum());
    QCOMPARE(rtb1()->textCursor().block().previous().text(), lineText(kLines - 1));
    QTest::keyClick(rtb1(), Qt::Key_Home, Qt::ControlModifier);
    QCoreApplication::processEvents();
    QCOMPARE(big()->windowFirstLine(), 0u);
    QCOMPARE(rtb1()->textCursor().position(), 0);
    QCOMPARE(big()->topLine(), 0u);
    QCOMPARE(topText(rtb1()), lineText(0));
}

// As within the limits, a caret stays where it was when the views scroll away from it: Alt+Down
// goes on from there, and a key moves it from there.
void BigViewsTest::caretsLeftBehindKeepTheirPlace() {
    compareBig({3, 50, 1600});
    activate();
    rtb2()->setSelectionStart(windowPlace(10, 4));
    big()->verticalBar(1)->setValue(1500);
    QCOMPARE(big()->topLine(), 1500u);
    QCOMPARE(big()->caretLine(), 10u);
    QTest::keyClick(window, Qt::Key_Down, Qt::AltModifier);
    QCOMPARE(big()->caretLine(), 50u);
    QCOMPARE(caretText(rtb2()), changedLineText(50));

    rtb2()->setSelectionStart(windowPlace(60, 4));
    big()->verticalBar(1)->setValue(1700);
    QTest::keyClick(rtb2(), Qt::Key_Right);
    QCoreApplication::processEvents();
    QVERIFY(big()->topLine() < 100);
    QCOMPARE(caretText(rtb2()), lineText(60));
    QCOMPARE(rtb2()->textCursor().positionInBlock(), 5);
}

void BigViewsTest::scrollingWithTheKeysCrossesWindows() {
    compareBig({});
    const std::uint64_t windowLines = big()->windowLineCount();
    press(rtb1(), Qt::Key_PageDown, {}, 40);
    const std::uint64_t line = big()->caretLine();
    QVERIFY2(line > windowLines, qPrintable(QString::number(line)));
    QVERIFY(big()->windowFirstLine() > 0);
    QCOMPARE(caretText(rtb1()), lineText(int(line)));
    QCOMPARE(big()->verticalBar(1)->value(), int(big()->topLine()));
    QCOMPARE(control<NumberColumn>("TxtNumeracion1")->document()->firstBlock().text(),
             QString::number(big()->topLine() + 1));
}

void BigViewsTest::wheelScrollsBothViewsOverTheWholeFiles() {
    compareBig({});
    for (int i = 0; i < 100; ++i) {
        QWheelEvent wheel(QPointF(5, 5), rtb1()->viewport()->mapToGlobal(QPointF(5, 5)), {},
                          {0, -120}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(rtb1()->viewport(), &wheel);
        QCoreApplication::processEvents();
    }
    QVERIFY2(big()->topLine() > big()->windowLineCount(),
             qPrintable(QString::number(big()->topLine())));
    QCOMPARE(topText(rtb1()), lineText(int(big()->topLine())));
    QCOMPARE(topText(rtb2()), lineText(int(big()->topLine())));
    QCOMPARE(big()->verticalBar(2)->value(), int(big()->topLine()));
}

void BigViewsTest::aLargerWindowHoldsMoreLines() {
    compareBig({1200});
    const std::uint64_t before = big()->windowLineCount();
    window->resize(1400, 1150);
    QTRY_VERIFY(rtb1()->viewport()->height() > 700);
    big()->verticalBar(1)->setValue(1190);
    const int shownLines = rtb1()->viewport()->height() / rtb1()->fontMetrics().lineSpacing();
    QVERIFY(big()->windowLineCount() > before);
    QVERIFY(big()->windowLineCount() >= std::uint64_t(4 * shownLines));
    QCOMPARE(topText(rtb1()), lineText(1190));
    QCOMPARE(big()->verticalBar(1)->maximum(), kLines + 1 - big()->verticalBar(1)->pageStep());
    QVERIFY(!redPositions(rtb2()).empty());
}

// Within a window, a selection copies the files' own characters, as within the limits.
void BigViewsTest::copyingGivesTheFilesOwnCharacters() {
    QByteArray first = fileOf(kLines);
    first.insert(first.indexOf('\n', 999 * 22) + 1, "a\tb\x01c\n");
    compareUnlimited(first, fileOf(kLines));
    QTest::keyClick(window, Qt::Key_Down, Qt::AltModifier);
    QCOMPARE(big()->caretLine(), 1000u);
    QTextCursor cursor = rtb1()->textCursor();
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    rtb1()->setTextCursor(cursor);
    rtb1()->copy();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("a\tb\x01c"));
}

// Selecting with Shift+Down past a window's edge keeps the selection from where it started.
void BigViewsTest::aSelectionOutlivesAWindowThatHoldsIt() {
    compareBig({});
    big()->verticalBar(1)->setValue(100);
    const std::uint64_t first = big()->windowFirstLine();
    rtb1()->setSelectionStart(windowPlace(110, 0));
    press(rtb1(), Qt::Key_Down, Qt::ShiftModifier, 60);
    QVERIFY(big()->windowFirstLine() != first);
    rtb1()->copy();
    QString expected;
    for (int k = 110; k < 170; ++k) {
        expected += lineText(k) + '\n';
    }
    QCOMPARE(QApplication::clipboard()->text(), expected);
}

void BigViewsTest::longLinesAreShownInAWindowOfColumns() {
    compareUnlimited(longLines(), longLines(range(0, 9)));
    QVERIFY(rtb1()->displayText().size() <= ComparisonViews::kWindowCharacters);
    QVERIFY(rtb1()->displayText().size() < 10 * 5000);
    QScrollBar* bar = big()->horizontalBar(1);
    QVERIFY(bar->isVisible());
    const int width = rtb1()->fontMetrics().averageCharWidth();
    QVERIFY(bar->maximum() >= 4000 * width);
    bar->setValue(4300 * width);
    QVERIFY(big()->windowFirstColumn() > 0);
    QVERIFY(big()->windowFirstColumn() <= 4300);
    QCOMPARE(big()->horizontalBar(2)->value(), 4300 * width);
    // The differing column is in the window, and red in both views.
    const int column = 4321 - int(big()->windowFirstColumn());
    const int lineLength = rtb1()->document()->firstBlock().length() + 1; // and "\r\n"
    QList<int> red;
    for (int k = 0; k < 10; ++k) {
        red << k * lineLength + column + 1;
    }
    QCOMPARE(redPositions(rtb2()), documentPositions(rtb2(), red));
    QCOMPARE(redPositions(rtb1()), documentPositions(rtb1(), red));
}

void BigViewsTest::boundedComparisonAfterABigOneIsAsBefore() {
    compareBig({5});
    compareSmall();
    QVERIFY(!big()->unlimited());
    QCOMPARE(rtb1()->displayText(), QStringLiteral("abc\r\n"));
    QVERIFY(!big()->verticalBar(1)->isVisible());
    QCOMPARE(rtb1()->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    QCOMPARE(control<NumberColumn>("TxtNumeracion1")->toPlainText(),
             NumberColumn::numbersText().replace("\r\n", "\n"));
    QCOMPARE(redPositions(rtb1()), documentPositions(rtb1(), {3}));
}

// The reading aids count lines in the views' text, which is only a window: their tips and Ctrl+I
// are off while the views show one, and back after a comparison within the limits.
// The tips, positions and totals count in the whole files, not in the window the views hold.
void BigViewsTest::readingAidsCountInTheWholeFiles() {
    compareBig({1500});
    auto* aids = window->findChild<ReadingAids*>();
    QVERIFY(aids);
    big()->verticalBar(1)->setValue(1500);
    const std::uint64_t first = big()->windowFirstLine();
    QVERIFY(first > 0);
    const int line = int(1500 - first); // line 1501 in the window
    const QString tip = aids->cellTip(rtb2(), {line, 2});
    QVERIFY2(tip.startsWith(QStringLiteral("Línea 1501, columna 3\n«X» U+0058")), qPrintable(tip));
    QVERIFY2(tip.endsWith(QStringLiteral("En el otro fichero: «n» U+006E")), qPrintable(tip));
    QCOMPARE(aids->positionText(rtb1(), {line, 2}),
             control<QLineEdit>("TxtFichero1")->text() + QStringLiteral(":1501:3"));
    const QString summary = aids->summaryTip(rtb1());
    QVERIFY2(summary.contains(QStringLiteral("Caracteres distintos en este fichero: 1")),
             qPrintable(summary));
    QVERIFY2(summary.contains(QStringLiteral("Líneas con diferencias: 1")), qPrintable(summary));
    // Within the limits again, the aids count in the views' text.
    compareSmall();
    QVERIFY(aids->cellTip(rtb1(), {0, 2}).startsWith(QStringLiteral("Línea 1, columna 3")));
}

// Alt+End, Alt+Home, Alt+Down and Alt+Up go over the whole files and say which difference of them
// the carets reached.
void BigViewsTest::notesOfMovesCountInTheWholeFiles() {
    compareBig({5, 900, 1700});
    rtb1()->setFocus();
    QCOMPARE(noteAfter(Qt::Key_End), QStringLiteral("Diferencia 3 de 3 · línea 1701"));
    QCOMPARE(big()->caretLine(), 1700u);
    QCOMPARE(noteAfter(Qt::Key_Up), QStringLiteral("Diferencia 2 de 3 · línea 901"));
    QCOMPARE(big()->caretLine(), 900u);
    QCOMPARE(noteAfter(Qt::Key_Home), QStringLiteral("Diferencia 1 de 3 · línea 6"));
    QCOMPARE(big()->caretLine(), 5u);
    // Nothing above: the carets stay, and the note says where.
    QCOMPARE(noteAfter(Qt::Key_Up), QStringLiteral("Diferencia 1 de 3 · línea 6"));
    QCOMPARE(noteAfter(Qt::Key_Down), QStringLiteral("Diferencia 2 de 3 · línea 901"));
}

void BigViewsTest::bothWholeFileBarsShowWhenOneFileIsShort_data() {
    QTest::addColumn<bool>("shortFirst");
    QTest::newRow("short file first") << true;
    QTest::newRow("short file second") << false;
}

// Both views scroll over the longer file, as within the limits, from the first paint on.
void BigViewsTest::bothWholeFileBarsShowWhenOneFileIsShort() {
    QFETCH(bool, shortFirst);
    messages->takeUnlimited = true;
    const QString shortFile = write("corto.txt", "hola\n");
    const QString empties = write("vacías.txt", QByteArray(40000, '\n'));
    compare(shortFirst ? shortFile : empties, shortFirst ? empties : shortFile);
    QVERIFY(big()->unlimited());
    QCoreApplication::processEvents();
    QVERIFY(big()->verticalBar(1)->isVisible());
    QVERIFY(big()->verticalBar(2)->isVisible());
    QCOMPARE(big()->verticalBar(1)->maximum(), big()->verticalBar(2)->maximum());
}

// Past the end of the shorter file, its view holds nothing and every character of the other is
// red; its caret stops at its end.
void BigViewsTest::aShorterFileEndsAsWithinTheLimits() {
    compareUnlimited(fileOf(10), fileOf(kLines));
    QCOMPARE(rtb1()->displayText(), QString::fromUtf8(fileOf(10)).replace("\n", "\r\n"));
    big()->verticalBar(1)->setValue(1500);
    QCOMPARE(rtb1()->displayText(), QString());
    QList<int> red;
    const QString text2 = rtb2()->displayText();
    for (int i = 0; i < text2.size(); ++i) {
        if (text2[i] != u'\r' && text2[i] != u'\n') {
            red << i + 1;
        }
    }
    QVERIFY(!red.isEmpty());
    QCOMPARE(redPositions(rtb2()), documentPositions(rtb2(), red));
    QVERIFY(redPositions(rtb1()).empty());
    // Ctrl+End goes to the end of the view's own file, as within the limits.
    QTest::keyClick(rtb1(), Qt::Key_End, Qt::ControlModifier);
    QCoreApplication::processEvents();
    QCOMPARE(big()->windowFirstLine(), 0u);
    QCOMPARE(rtb1()->textCursor().position(), rtb1()->documentPosition(10 * 22));
    QCOMPARE(rtb1()->textCursor().blockNumber(), 10);
    QTest::keyClick(rtb2(), Qt::Key_End, Qt::ControlModifier);
    QCoreApplication::processEvents();
    QCOMPARE(rtb2()->textCursor().blockNumber() + big()->windowFirstLine(), std::uint64_t(kLines));
}

void BigViewsTest::emptyFilesAreIdentical() {
    const QString empty = write("vacío.txt", {});
    window->openFiles(localPath(empty), localPath(empty), true);
    QCOMPARE(messages->shown.size(), 1);
    QCOMPARE(messages->shown[0].text, MainWindow::kIdenticalMessage);
    QCOMPARE(rtb1()->displayText(), QString());
    QVERIFY(!big()->verticalBar(1)->isVisible());
}

void BigViewsTest::numberColumnsKeepTheLastDigitsOfLongNumbers() {
    auto* column = control<NumberColumn>("TxtNumeracion1");
    column->showNumbersFrom(1234567);
    const QString first = column->document()->firstBlock().text();
    QVERIFY2(first.endsWith("567"), qPrintable(first));
    QVERIFY(QString("1234567").endsWith(first.mid(1)) || first == "1234567");
    QCOMPARE(column->document()->blockCount(), 51);
    // Regression: a shortened number was wrapped after its ellipsis, and every number below it
    // stood a line lower than the line it numbers.
    for (const std::uint64_t from : {std::uint64_t(1234567), std::uint64_t(2000000)}) {
        column->showNumbersFrom(from);
        const QAbstractTextDocumentLayout* layout = column->document()->documentLayout();
        const QTextBlock firstBlock = column->document()->firstBlock();
        for (QTextBlock block = firstBlock; block.isValid(); block = block.next()) {
            QCOMPARE(layout->blockBoundingRect(block).height(),
                     layout->blockBoundingRect(firstBlock).height());
        }
    }
    column->showNumbersFrom(1);
    QCOMPARE(column->toPlainText(), NumberColumn::numbersText().replace("\r\n", "\n"));
}

void BigViewsTest::cancellingThePassKeepsTheViews() {
    compareSmall();
    const QString before1 = rtb1()->displayText();
    const QString before2 = rtb2()->displayText();
    std::atomic<bool> held{false};
    big()->setPassPrelude([&held](const std::function<bool()>& cancelled) {
        held = true;
        holdUntil(cancelled, false);
    });
    qint64 cancelledAfterMs = -1;
    QElapsedTimer sinceCancel;
    // The window keeps painting while the pass reads.
    PaintCounter paints;
    rtb1()->viewport()->installEventFilter(&paints);
    QElapsedTimer pass;
    pass.start();
    messages->takeUnlimited = true;
    const bool dialogSeen = whileTaskRuns(
        "ComparisonProgress",
        [&] {
            compare(write("a.txt", fileOf(kLines)), write("b.txt", fileOf(kLines, {5})));
            cancelledAfterMs = sinceCancel.isValid() ? sinceCancel.elapsed() : -1;
        },
        [&](QProgressDialog* dialog) {
            QVERIFY(paints.count > 0);
            QVERIFY(held);
            sinceCancel.start();
            cancelThrough(dialog, ComparisonProgress::kTitle);
        },
        [this] { rtb1()->viewport()->update(); });
    QVERIFY(dialogSeen);
    // A coarse timer may fire up to 5 % early.
    QVERIFY(pass.elapsed() >= ComparisonProgress::kShowAfterMs * 95 / 100);
    QVERIFY2(cancelledAfterMs >= 0 && cancelledAfterMs < 100,
             qPrintable(QString::number(cancelledAfterMs)));
    QCOMPARE(messages->shown.size(), 1); // the offer only
    QVERIFY(!big()->unlimited());
    QCOMPARE(rtb1()->displayText(), before1);
    QCOMPARE(rtb2()->displayText(), before2);
}

void BigViewsTest::regressionClosingTheWindowCancelsALongTask_data() {
    QTest::addColumn<QString>("task");
    QTest::addColumn<QString>("dialogName");
    QTest::newRow("the pass") << "pass"
                              << "ComparisonProgress";
    QTest::newRow("a copy") << "copy"
                            << "CopyProgress";
}

// Regression: while the window-modal progress dialog showed, the window system's request to close
// the window was dropped until the task ended. Nothing blocks it now, the window's own input is
// still kept away, and closing the window cancels the task at once.
void BigViewsTest::regressionClosingTheWindowCancelsALongTask() {
    QFETCH(QString, task);
    QFETCH(QString, dialogName);
    // The task lasts until it is cancelled.
    if (task == "pass") {
        compareSmall();
        big()->setPassPrelude(
            [](const std::function<bool()>& cancelled) { holdUntil(cancelled, false); });
    } else {
        compareBig({});
        big()->setCopyPace([this, dialogName] {
            holdUntil(
                [&] {
                    auto* dialog = window->findChild<QProgressDialog*>(dialogName);
                    return dialog && dialog->wasCanceled();
                },
                true);
        });
        QTest::keyClick(rtb1(), Qt::Key_A, Qt::ControlModifier);
    }
    const ShownViews before = views();
    auto* box = control<QLineEdit>("TxtFichero1");
    QElapsedTimer sinceClose;
    const bool dialogSeen = whileTaskRuns(
        dialogName,
        [&] {
            if (task == "pass") {
                window->openFiles(localPath(write("a.txt", fileOf(kLines))),
                                  localPath(write("b.txt", fileOf(kLines, {5}))), true);
            } else {
                QTest::keyClick(rtb1(), Qt::Key_C, Qt::ControlModifier);
            }
        },
        [&](QProgressDialog*) {
            QCOMPARE(QGuiApplication::modalWindow(), nullptr);
            const QString path = box->text();
            QTest::keyClick(box, Qt::Key_X);
            QTest::mouseClick(control<QPushButton>("CmdEjecutar"), Qt::LeftButton);
            QCOMPARE(box->text(), path);
            sinceClose.start();
            QVERIFY(window->close());
        });
    QVERIFY(dialogSeen && sinceClose.isValid());
    QVERIFY2(sinceClose.elapsed() < 100, qPrintable(QString::number(sinceClose.elapsed())));
    QVERIFY(!window->isVisible());
    QVERIFY(!big()->busy());
    QCOMPARE(views(), before);
}

void BigViewsTest::changedFileIsReportedOnceAndTheWindowLives_data() {
    QTest::addColumn<int>("linesAfter");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("grown") << kLines + 10 << false;
    QTest::newRow("truncated") << kLines - 10 << false;
    QTest::newRow("replaced by the same text") << kLines << true;
}

void BigViewsTest::changedFileIsReportedOnceAndTheWindowLives() {
    QFETCH(int, linesAfter);
    QFETCH(bool, replaced);
    compareBig({5});
    const QString shown = rtb1()->displayText();
    if (replaced) {
        const QString other = write("otro.txt", fileOf(linesAfter));
        QVERIFY(std::rename(QFile::encodeName(other).constData(),
                            QFile::encodeName(dir.filePath("a.txt")).constData()) == 0);
    } else {
        write("a.txt", fileOf(linesAfter));
    }
    big()->verticalBar(1)->setValue(1500);
    QTRY_COMPARE(messages->shown.size(), 2);
    expectChangedMessage("a.txt");
    QCOMPARE(rtb1()->displayText(), shown);
    big()->verticalBar(1)->setValue(1800);
    QTest::keyClick(rtb1(), Qt::Key_End, Qt::ControlModifier);
    QTest::qWait(50);
    QCOMPARE(messages->shown.size(), 2); // once
    // Comparing again shows the new content.
    QTest::mouseClick(control<QPushButton>("CmdEjecutar"), Qt::LeftButton);
    QVERIFY(big()->unlimited());
    QCOMPARE(big()->comparison()->lineCount(1), std::uint64_t(linesAfter));
    big()->verticalBar(1)->setValue(big()->verticalBar(1)->maximum());
    QTest::qWait(50);
    QCOMPARE(messages->shown.size(), 3); // the offer again, nothing else
    QCOMPARE(topText(rtb1()), lineText(big()->verticalBar(1)->maximum()));
}

void BigViewsTest::selectingAllCopiesTheWholeFile_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Ctrl+A, Ctrl+C") << "keys";
    QTest::newRow("Ctrl+A, Ctrl+Insert") << "insert";
    QTest::newRow("the context menu") << "menu";
}

// Ctrl+A selects the whole file, not the window, and copying gives the file's own characters, as
// selecting all of it within the limits does; the views stay where they were.
void BigViewsTest::selectingAllCopiesTheWholeFile() {
    QFETCH(QString, how);
    const QByteArray content = mixedFile();
    compareUnlimited(content, fileOf(kLines));
    big()->verticalBar(1)->setValue(1000);
    const std::uint64_t top = big()->topLine();
    QApplication::clipboard()->setText(QStringLiteral("antes"));
    if (how == "menu") {
        QAction* selectAll = menuEntry(rtb1(), "select-all");
        QVERIFY(selectAll && selectAll->isEnabled());
        selectAll->trigger();
        QTRY_VERIFY(big()->hasSelection(1));
        QApplication::activePopupWidget()->close();
        QAction* copy = menuEntry(rtb1(), "edit-copy");
        QVERIFY(copy && copy->isEnabled());
        copy->trigger();
        QApplication::activePopupWidget()->close();
    } else {
        QTest::keyClick(rtb1(), Qt::Key_A, Qt::ControlModifier);
        QVERIFY(big()->hasSelection(1));
        QTest::keyClick(rtb1(), how == "keys" ? Qt::Key_C : Qt::Key_Insert, Qt::ControlModifier);
    }
    QTRY_COMPARE(QApplication::clipboard()->text(), wholeText(content));
    QCOMPARE(big()->topLine(), top);
    const QTextCursor cursor = rtb1()->textCursor();
    QCOMPARE(cursor.selectionStart(), 0);
    QCOMPARE(cursor.selectionEnd(), rtb1()->documentPosition(int(rtb1()->characters().size())));
    QVERIFY(!big()->hasSelection(2));
}

// "Copiar" is on while there is a selection, also one that the window has left behind.
void BigViewsTest::copyIsOfferedForASelectionTheWindowHasLeft() {
    compareBig({});
    big()->verticalBar(1)->setValue(5);
    rtb1()->setSelectionStart(windowPlace(10, 3));
    press(rtb1(), Qt::Key_Down, Qt::ShiftModifier, 10);
    big()->verticalBar(1)->setValue(1500);
    QVERIFY(big()->windowFirstLine() > 20);
    QVERIFY(!rtb1()->textCursor().hasSelection());
    QAction* copy = menuEntry(rtb1(), "edit-copy");
    QVERIFY(copy);
    QVERIFY(copy->isEnabled());
    copy->trigger();
    QTRY_COMPARE(QApplication::clipboard()->text(),
                 textBetween(linesOf(fileOf(kLines)), {3, 10}, {3, 20}));
    QApplication::activePopupWidget()->close();
    // Without a selection it is off, as within the limits.
    QTest::mouseClick(rtb1()->viewport(), Qt::LeftButton, {}, pointAt(1510, 4));
    QVERIFY(!big()->hasSelection(1));
    copy = menuEntry(rtb1(), "edit-copy");
    QVERIFY(copy);
    QVERIFY(!copy->isEnabled());
    QApplication::activePopupWidget()->close();
}

void BigViewsTest::aSelectionStretchesPastTheWindow_data() {
    QTest::addColumn<QString>("gesture");
    QTest::newRow("Shift+Down") << "Shift+Down";
    QTest::newRow("Shift+Up") << "Shift+Up";
    QTest::newRow("Shift+PageDown") << "Shift+PageDown";
    QTest::newRow("Shift+Ctrl+End") << "Shift+Ctrl+End";
    QTest::newRow("Shift+click after the bar moved") << "Shift+click";
}

// However a selection is stretched past the window, the window follows its caret and its anchor
// stays where it was in the file.
void BigViewsTest::aSelectionStretchesPastTheWindow() {
    QFETCH(QString, gesture);
    compareBig({});
    const QStringList lines = linesOf(fileOf(kLines));
    big()->verticalBar(1)->setValue(900);
    const QPoint anchor(3, 910);
    rtb1()->setSelectionStart(windowPlace(910, 3));
    QPoint caret;
    if (gesture == "Shift+Down" || gesture == "Shift+Up") {
        const bool down = gesture == "Shift+Down";
        press(rtb1(), down ? Qt::Key_Down : Qt::Key_Up, Qt::ShiftModifier, 300);
        caret = caretPlace();
        QCOMPARE(caret, QPoint(3, down ? 1210 : 610));
    } else if (gesture == "Shift+PageDown") {
        press(rtb1(), Qt::Key_PageDown, Qt::ShiftModifier, 20);
        caret = caretPlace();
        QVERIFY2(caret.y() > 1100, qPrintable(QString::number(caret.y())));
    } else if (gesture == "Shift+Ctrl+End") {
        QTest::keyClick(rtb1(), Qt::Key_End, Qt::ShiftModifier | Qt::ControlModifier);
        QCoreApplication::processEvents();
        caret = QPoint(0, kLines);
        QCOMPARE(big()->caretLine(), std::uint64_t(kLines));
    } else {
        big()->verticalBar(1)->setValue(1700);
        caret = QPoint(5, 1702);
        QTest::mouseClick(rtb1()->viewport(), Qt::LeftButton, Qt::ShiftModifier, pointAt(1702, 5));
        QCOMPARE(caretPlace(), caret);
    }
    const std::uint64_t first = big()->windowFirstLine();
    QVERIFY(first > 910 || first + big()->windowLineCount() <= 910);
    QVERIFY(rtb1()->textCursor().hasSelection());
    QApplication::clipboard()->setText(QStringLiteral("antes"));
    QTest::keyClick(rtb1(), Qt::Key_C, Qt::ControlModifier);
    const bool forward = caret.y() > anchor.y();
    QCOMPARE(QApplication::clipboard()->text(),
             textBetween(lines, forward ? anchor : caret, forward ? caret : anchor));
}

void BigViewsTest::aMouseDragStretchesASelectionPastTheWindow() {
    compareBig({});
    const QStringList lines = linesOf(fileOf(kLines));
    QWidget* viewport = rtb1()->viewport();
    const QPoint start = pointAt(5, 3);
    QTest::mousePress(viewport, Qt::LeftButton, {}, start);
    // Held below the view, the pointer scrolls it, and the window follows. The view's scrolling
    // asks where the pointer is.
    const QPoint below(start.x(), viewport->height() + 100);
    QCursor::setPos(viewport->mapToGlobal(below));
    QTest::mouseMove(viewport, below);
    QTRY_VERIFY_WITH_TIMEOUT(big()->windowFirstLine() > 100, 10000);
    const QPoint end(start.x(), viewport->height() - 5);
    QCursor::setPos(viewport->mapToGlobal(end));
    QTest::mouseMove(viewport, end);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, end);
    QCoreApplication::processEvents();
    const QPoint caret = caretPlace();
    QVERIFY(caret.y() > 100);
    QCOMPARE(rtb1()->textCursor().selectionStart(), 0);
    QTest::keyClick(rtb1(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), textBetween(lines, {3, 5}, caret));
}

// Wherever the window goes, it shows the part of the selection it holds.
void BigViewsTest::aSelectionIsDrawnWhereverTheWindowGoes() {
    compareBig({});
    big()->verticalBar(1)->setValue(95);
    rtb1()->setSelectionStart(windowPlace(100, 3));
    big()->verticalBar(1)->setValue(1595);
    QTest::mouseClick(rtb1()->viewport(), Qt::LeftButton, Qt::ShiftModifier, pointAt(1600, 2));
    const auto windowEnd = [this] {
        return rtb1()->documentPosition(int(rtb1()->characters().size()));
    };
    const auto at = [this](int line, int column) {
        return rtb1()->documentPosition(windowPlace(line, column));
    };
    big()->verticalBar(1)->setValue(1000);
    QCOMPARE(rtb1()->textCursor().selectionStart(), 0);
    QCOMPARE(rtb1()->textCursor().selectionEnd(), windowEnd());
    big()->verticalBar(1)->setValue(90);
    QCOMPARE(rtb1()->textCursor().selectionStart(), at(100, 3));
    QCOMPARE(rtb1()->textCursor().selectionEnd(), windowEnd());
    big()->verticalBar(1)->setValue(1590);
    QCOMPARE(rtb1()->textCursor().selectionStart(), 0);
    QCOMPARE(rtb1()->textCursor().position(), at(1600, 2));
    big()->verticalBar(1)->setValue(1900);
    QVERIFY(!rtb1()->textCursor().hasSelection());
    QVERIFY(big()->hasSelection(1));
    QVERIFY(!big()->hasSelection(2));
}

// A click or a key without Shift ends a selection of the whole file.
void BigViewsTest::aPlainClickEndsAWholeFileSelection() {
    compareBig({5});
    big()->verticalBar(1)->setValue(1000);
    QTest::keyClick(rtb1(), Qt::Key_A, Qt::ControlModifier);
    QTest::mouseClick(rtb1()->viewport(), Qt::LeftButton, {}, pointAt(1005, 4));
    QVERIFY(!big()->hasSelection(1));
    QCOMPARE(caretPlace(), QPoint(4, 1005));
    QTest::keyClick(rtb1(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(rtb1(), Qt::Key_Right);
    QCoreApplication::processEvents();
    QVERIFY(!big()->hasSelection(1));
    QVERIFY(!rtb1()->textCursor().hasSelection());
}

// In a window of columns, End and Home go to the ends of the whole line, the window following;
// with Shift they select to there.
void BigViewsTest::endAndHomeGoToTheEndsOfAWholeLongLine() {
    QByteArray content;
    QStringList lines;
    for (int k = 0; k < 10; ++k) {
        content += letters(5000 - 300 * k) + '\n';
        lines << QString::fromLatin1(letters(5000 - 300 * k));
    }
    compareUnlimited(content, content + "más\n");
    rtb1()->moveCaretToLine(3);
    press(rtb1(), Qt::Key_Right, {}, 10);
    QCOMPARE(caretPlace(), QPoint(10, 3));
    QTest::keyClick(rtb1(), Qt::Key_End);
    QCOMPARE(caretPlace(), QPoint(5000 - 900, 3));
    QVERIFY(big()->windowFirstColumn() > 0);
    QVERIFY(rtb1()->viewport()->rect().contains(rtb1()->cursorRect().center()));
    const int width = rtb1()->fontMetrics().averageCharWidth();
    QVERIFY(big()->horizontalBar(1)->value() > 3500 * width);
    QTest::keyClick(rtb1(), Qt::Key_Home);
    QCOMPARE(caretPlace(), QPoint(0, 3));
    QCOMPARE(big()->windowFirstColumn(), 0u);
    QCOMPARE(rtb1()->horizontalScrollBar()->value(), 0);
    QCOMPARE(big()->horizontalBar(1)->value(), 0);

    press(rtb1(), Qt::Key_Right, {}, 10);
    QTest::keyClick(rtb1(), Qt::Key_End, Qt::ShiftModifier);
    QTest::keyClick(rtb1(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), lines[3].mid(10));
    QTest::keyClick(rtb1(), Qt::Key_Home, Qt::ShiftModifier);
    QCOMPARE(caretPlace(), QPoint(0, 3));
    QTest::keyClick(rtb1(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), lines[3].left(10));
}

// A selection whose text passes what is copied at once is not copied, and the message says why.
void BigViewsTest::aCopyTooLargeIsRefusedWithAMessage() {
    compareBig({5});
    big()->setMostCopiedBytes(10000);
    QApplication::clipboard()->setText(QStringLiteral("antes"));
    QTest::keyClick(rtb1(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(rtb1(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(messages->shown.size(), 2);
    QVERIFY(messages->shown[1].isError);
    const QString text = messages->shown[1].text;
    QVERIFY2(text.contains(dir.filePath("a.txt")) && text.contains("bytes"), qPrintable(text));
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("antes"));
    // A smaller selection is copied.
    rtb1()->setSelectionStart(0);
    press(rtb1(), Qt::Key_Down, Qt::ShiftModifier, 200);
    QTest::keyClick(rtb1(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(),
             textBetween(linesOf(fileOf(kLines)), {0, 0}, {0, 200}));
    QCOMPARE(messages->shown.size(), 2);
}

void BigViewsTest::aLongCopyShowsItsProgressAndCanBeCancelled() {
    compareBig({5});
    QApplication::clipboard()->setText(QStringLiteral("antes"));
    bool cancelled = false;
    big()->setCopyPace([&cancelled] { holdUntil([&cancelled] { return cancelled; }, true); });
    const bool dialogSeen = whileTaskRuns(
        "CopyProgress",
        [this] {
            QTest::keyClick(rtb1(), Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(rtb1(), Qt::Key_C, Qt::ControlModifier);
        },
        [&](QProgressDialog* dialog) {
            QVERIFY(big()->busy());
            cancelThrough(dialog, SelectionCopy::kTitle);
            cancelled = true;
        });
    QVERIFY(dialogSeen);
    QVERIFY(!big()->busy());
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("antes"));
    QCOMPARE(messages->shown.size(), 1); // the offer only
}

void BigViewsTest::copyingFromAChangedFileSaysSo() {
    compareBig({5});
    QTest::keyClick(rtb1(), Qt::Key_A, Qt::ControlModifier);
    write("a.txt", fileOf(kLines + 10));
    QApplication::clipboard()->setText(QStringLiteral("antes"));
    QTest::keyClick(rtb1(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(messages->shown.size(), 2);
    expectChangedMessage("a.txt");
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("antes"));
}

// A line longer than a piece of a copy is read a piece at a time, with its characters whole; the
// window of columns, which holds both ends of the selection but not the lines between, is not
// what is copied.
void BigViewsTest::aVeryLongLineIsCopiedInPieces() {
    QByteArray line;
    for (int c = 0; c < 4'500'000; ++c) {
        line += c % 1000 == 999 ? QByteArray("\xc3\xb1") : QByteArray(1, char('a' + c % 26));
    }
    const QByteArray content = "corta\n" + line + "\nfin\n";
    compareUnlimited(content, content + "más\n");
    const QStringList lines = linesOf(content);
    QTest::keyClick(rtb1(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(rtb1(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), wholeText(content));
    // From inside the line to its end.
    rtb1()->moveCaretToLine(1);
    press(rtb1(), Qt::Key_Right, {}, 5);
    QTest::keyClick(rtb1(), Qt::Key_End, Qt::ShiftModifier);
    QTest::keyClick(rtb1(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), lines[1].mid(5));
}

// Each move by run says which difference and column of the whole files the carets reached; with
// no run further, where they stay, as within the limits.
void BigViewsTest::movesByRunNoteTheDifferenceAndColumn() {
    compareUnlimited(fileOf(kLines), runsFile());
    rtb1()->setFocus();
    QCOMPARE(noteAfter(Qt::Key_Left), QStringLiteral("Ninguna diferencia más arriba"));
    QCOMPARE(big()->caretLine(), 0u);
    QCOMPARE(noteAfter(Qt::Key_Right), QStringLiteral("Diferencia 1 de 3 · línea 4, columna 3"));
    QCOMPARE(noteAfter(Qt::Key_Right), QStringLiteral("Diferencia 2 de 3 · línea 1001, columna 3"));
    QCOMPARE(noteAfter(Qt::Key_Right),
             QStringLiteral("Diferencia 2 de 3 · línea 1001, columna 16"));
    QCOMPARE(noteAfter(Qt::Key_Right), QStringLiteral("Diferencia 3 de 3 · línea 2000, columna 3"));
    QCOMPARE(noteAfter(Qt::Key_Right), QStringLiteral("Diferencia 3 de 3 · línea 2000, columna 3"));
    // From a line without a difference, past the last run.
    QTest::keyClick(rtb1(), Qt::Key_End, Qt::ControlModifier);
    QTRY_VERIFY(big()->caretLine() >= 1999u);
    QCOMPARE(noteAfter(Qt::Key_Right), QStringLiteral("Ninguna diferencia más abajo"));
    QCOMPARE(noteAfter(Qt::Key_Left), QStringLiteral("Diferencia 3 de 3 · línea 2000, columna 3"));
}

// A run far along lines longer than a window's columns: the window moves across to hold it.
void BigViewsTest::aRunFarAlongALongLineMovesTheWindowAcross() {
    compareUnlimited(longLines(), longLines({6}));
    QCOMPARE(big()->windowFirstColumn(), 0u);
    activate();
    QTest::keyClick(window, Qt::Key_Right, Qt::AltModifier);
    QCOMPARE(big()->caretLine(), 6u);
    QVERIFY(big()->windowFirstColumn() > 0);
    for (DiffView* view : {rtb1(), rtb2()}) {
        QCOMPARE(std::uint64_t(view->textCursor().positionInBlock()) + big()->windowFirstColumn(),
                 4321u);
        QVERIFY(view->viewport()->rect().contains(view->cursorRect().center()));
    }
    // No run before it: the carets stay.
    QTest::keyClick(window, Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(std::uint64_t(rtb2()->textCursor().positionInBlock()) + big()->windowFirstColumn(),
             4321u);
}

// A file changed after the comparison: a move by run says so, once, and the carets stay.
void BigViewsTest::aMoveByRunAfterAFileChangedSaysSo() {
    compareBig({1500});
    write("b.txt", fileOf(10));
    activate();
    QTest::keyClick(window, Qt::Key_Right, Qt::AltModifier);
    QTRY_COMPARE(messages->shown.size(), 2);
    expectChangedMessage("b.txt");
    QCOMPARE(big()->caretLine(), 0u);
    QTest::keyClick(window, Qt::Key_Right, Qt::AltModifier);
    big()->verticalBar(1)->setValue(1800);
    QTest::qWait(50);
    QCOMPARE(messages->shown.size(), 2); // once
}

// The primary selection of a selection past the window is the whole selection, read from the
// file only when it is pasted; one that the window holds is the view's own; and one taken before
// the views compare again holds nothing.
void BigViewsTest::thePrimarySelectionHoldsTheWholeSelection() {
    const QByteArray content = mixedFile();
    compareUnlimited(content, fileOf(kLines));
    big()->verticalBar(1)->setValue(1000);
    QTest::keyClick(rtb1(), Qt::Key_A, Qt::ControlModifier);
    const std::unique_ptr<QMimeData> whole = primarySelectionOf(rtb1());
    QVERIFY(whole && whole->hasText());
    QCOMPARE(whole->text(), wholeText(content));

    QTest::mouseClick(rtb1()->viewport(), Qt::LeftButton, {}, pointAt(1005, 0));
    QTest::keyClick(rtb1(), Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(rtb1(), Qt::Key_Right, Qt::ShiftModifier);
    QVERIFY(!big()->selectionData(1));
    const std::unique_ptr<QMimeData> own = primarySelectionOf(rtb1());
    QCOMPARE(own->text(), rtb1()->textCursor().selectedText());
    QCOMPARE(own->text().size(), 2);

    QTest::keyClick(rtb1(), Qt::Key_A, Qt::ControlModifier);
    const std::unique_ptr<QMimeData> old = primarySelectionOf(rtb1());
    compareUnlimited(content, fileOf(kLines));
    QCOMPARE(old->text(), QString());
}

void BigViewsTest::regressionSelectingAllGivesTheFilesOwnCharacters_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("unlimited");
    QTest::newRow("past the window, no last break") << mixedFile() << true;
    QTest::newRow("past the window, last break") << mixedFile() + "\n" << true;
    QTest::newRow("in the window, no last break") << QByteArray("uno\r\ndos") << true;
    QTest::newRow("within the limits, no last break") << QByteArray("uno\r\ndos") << false;
}

// Regression: Ctrl+A and then Ctrl+C (or the primary selection) gave a line break after a last
// line that has none, and Ctrl+A left the primary selection as it was. Selecting to the empty line
// after the last one with Shift+Ctrl+End copies as much.
void BigViewsTest::regressionSelectingAllGivesTheFilesOwnCharacters() {
    QFETCH(QByteArray, content);
    QFETCH(bool, unlimited);
    window->openFiles(localPath(write("a.txt", content)),
                      localPath(write("b.txt", fileOf(unlimited ? kLines : 1))), unlimited);
    QCOMPARE(big()->unlimited(), unlimited);
    std::unique_ptr<QMimeData> primary;
    big()->setPrimarySelection([&primary](QMimeData* data) { primary.reset(data); });
    rtb1()->setFocus();
    QTest::keyClick(rtb1(), Qt::Key_A, Qt::ControlModifier);
    QVERIFY(primary);
    QCOMPARE(primary->text(), wholeText(content));
    QTest::keyClick(rtb1(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), wholeText(content));
    QApplication::clipboard()->clear();
    QTest::keyClick(rtb1(), Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(rtb1(), Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(rtb1(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), wholeText(content));
}

QTEST_MAIN(BigViewsTest)
#include "big_views_tests.moc"
