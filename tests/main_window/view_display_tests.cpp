// What the views show, checked where the user sees it: in the rendered pixels and in what the
// caret and the clipboard reach.

#include "main_window/reading_aids.h"
#include "main_window/shown_character.h"
#include "window_test_support.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include <cmath>
#include <memory>
#include <set>
#include <utility>

class ViewDisplayTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void regressionTabsAreShownAsTabs();
    void regressionLinesStayLevelWhateverTheyHold();
    void regressionRedDifferenceIsAlwaysVisible_data();
    void regressionRedDifferenceIsAlwaysVisible();
    void regressionEachInvisibleKindHasItsOwnStandIn();
    void regressionDifferingMarkHasAColumnOfItsOwn_data();
    void regressionDifferingMarkHasAColumnOfItsOwn();
    void regressionDifferingSelectorsAndTagsAreToldApart_data();
    void regressionDifferingSelectorsAndTagsAreToldApart();
    void regressionEverySelectorAndTagHasItsOwnStandIn();
    void regressionCaretAndCopyStayWithinTheFile();
    void regressionEveryLineReadsFromTheLeft();
    void regressionRedLetterIsShapedAsUncoloured_data();
    void regressionRedLetterIsShapedAsUncoloured();
    void colouringAViewAlreadyDrawnRedrawsIt();
    void highlightBackgroundKeepsTheRedReadable();
    void highlightBackgroundIsBehindEveryDifference_data();
    void highlightBackgroundIsBehindEveryDifference();

private:
    void compareBytes(const QByteArray& content1, const QByteArray& content2) {
        window->openFiles(localPath(write("1.txt", content1)), localPath(write("2.txt", content2)));
    }
};

// Pixels clearly red: the colour of a difference, or the box behind a blank one, against the
// views' blue and the black of the text.
int reddishPixels(DiffView* view) {
    view->verticalScrollBar()->setValue(0);
    const QImage image = view->viewport()->grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += c.red() > c.blue() + 60 && c.red() > c.green() + 60;
        }
    }
    return count;
}

void ViewDisplayTest::regressionTabsAreShownAsTabs() {
    compareBytes("a\tb\n", "a\tc\n");
    QCOMPARE(control<DiffView>("RTB1")->document()->firstBlock().text(), QStringLiteral("a\tb"));
}

// A tab-indented file against a space-indented one with stand-ins and an emoji, drawn from
// fallback fonts taller than the view's own: line k of both views stays level down the file.
void ViewDisplayTest::regressionLinesStayLevelWhateverTheyHold() {
    QByteArray tabs, spaces;
    for (int i = 0; i < 40; ++i) {
        tabs += "\tlínea \x01\xE2\x80\x8B\xF0\x9F\x98\x80 " + QByteArray::number(i) + "\n";
        spaces += "        línea " + QByteArray::number(i) + "\n";
    }
    compareBytes(tabs, spaces);
    auto* rtb1 = control<DiffView>("RTB1");
    auto* rtb2 = control<DiffView>("RTB2");
    for (const int line : {1, 10, 32, 39}) {
        const QTextCursor at1(rtb1->document()->findBlockByNumber(line));
        const QTextCursor at2(rtb2->document()->findBlockByNumber(line));
        QCOMPARE(rtb1->cursorRect(at1).top(), rtb2->cursorRect(at2).top());
    }
}

void ViewDisplayTest::regressionRedDifferenceIsAlwaysVisible_data() {
    QTest::addColumn<QByteArray>("one");
    QTest::addColumn<QByteArray>("other");
    QTest::newRow("tag characters")
        << QByteArray("\xF3\xA0\x81\x81") << QByteArray("\xF3\xA0\x81\x82");
    QTest::newRow("musical formatting")
        << QByteArray("\xF0\x9D\x85\xB3") << QByteArray("\xF0\x9D\x85\xB4");
    QTest::newRow("trailing space") << QByteArray(" ") << QByteArray();
    QTest::newRow("no-break space against space") << QByteArray("\xC2\xA0") << QByteArray(" ");
    QTest::newRow("ideographic against em space")
        << QByteArray("\xE3\x80\x80") << QByteArray("\xE2\x80\x83");
    QTest::newRow("Hangul filler against blank braille")
        << QByteArray("\xE3\x85\xA4") << QByteArray("\xE2\xA0\x80");
    QTest::newRow("joiner against non-joiner")
        << QByteArray("\xE2\x80\x8D") << QByteArray("\xE2\x80\x8C");
    QTest::newRow("variation selectors")
        << QByteArray("\xE2\x98\xBA\xEF\xB8\x8E") << QByteArray("\xE2\x98\xBA\xEF\xB8\x8F");
    QTest::newRow("tab against space") << QByteArray("\t") << QByteArray(" ");
}

void ViewDisplayTest::regressionRedDifferenceIsAlwaysVisible() {
    QFETCH(QByteArray, one);
    QFETCH(QByteArray, other);
    auto* rtb1 = control<DiffView>("RTB1");
    auto* rtb2 = control<DiffView>("RTB2");
    compareBytes("ab\n", "ab\n");
    QCOMPARE(reddishPixels(rtb1), 0); // nothing differs, nothing is red
    compareBytes("a" + one + "\n", "a" + other + "\n");
    QVERIFY(!redPositions(rtb1).empty() || !redPositions(rtb2).empty());
    if (!one.isEmpty()) {
        QVERIFY2(reddishPixels(rtb1) > 4, "the difference cannot be seen in the first view");
    }
    if (!other.isEmpty()) {
        QVERIFY2(reddishPixels(rtb2) > 4, "the difference cannot be seen in the second view");
    }
}

// What a view shows for a differing `c`: its drawn stand-in, or its stand-in.
QString shownWhenDiffering(char32_t c) {
    const QString drawn = shown_character::drawnStandIn(c);
    return drawn.isEmpty() ? shown_character::standIn(c, true) : drawn;
}

void ViewDisplayTest::regressionEachInvisibleKindHasItsOwnStandIn() {
    // One character of each kind that would otherwise be drawn as nothing or as a control.
    const char32_t samples[] = {0x01,   0x85,   0x2028, 0x00AD,  0x200B,  0x202E, 0x2060,
                                0x200C, 0x200D, 0xFE0F, 0xE0041, 0x1D173, 0x0301};
    std::set<QString> seen;
    for (const char32_t c : samples) {
        const QString standIn = shownWhenDiffering(c);
        QVERIFY2(!standIn.isEmpty(), qPrintable(QString::number(c, 16)));
        QVERIFY2(standIn != QString(QChar(QChar::ReplacementCharacter)),
                 qPrintable(QString::number(c, 16)));
        if (c != 0x01) { // the control pictures differ from one control to the next
            QVERIFY2(seen.insert(standIn).second, qPrintable(QString::number(c, 16)));
        }
    }
    // Joiners, selectors and marks shape what is around them: they stay unless they differ.
    for (const char32_t c : {0x200D, 0xFE0F, 0x0301}) {
        QVERIFY(shown_character::standIn(c, false).isEmpty());
    }
}

// The left edge of the cell of the character at `offset` of `view`.
int cellLeft(const DiffView* view, int offset) {
    QTextCursor cursor(view->document());
    cursor.setPosition(view->documentPosition(offset));
    return view->cursorRect(cursor).left();
}

void ViewDisplayTest::regressionDifferingMarkHasAColumnOfItsOwn_data() {
    QTest::addColumn<QString>("one");
    QTest::addColumn<QString>("other");
    QTest::newRow("acute against grave")
        << QStringLiteral("cafe\u0301s") << QStringLiteral("cafe\u0300s");
    QTest::newRow("ten thousand marks against others")
        << u'a' + QString(10000, QChar(0x0301)) << u'a' + QString(10000, QChar(0x0308));
    QTest::newRow("ten thousand marks against none")
        << u'a' + QString(10000, QChar(0x0301)) + u'b' << QStringLiteral("a");
    QTest::newRow("marks outside the basic plane") // musical tremolos
        << QStringLiteral("a\U0001D167b\U0001D167c") << QStringLiteral("a\U0001D168b\U0001D168c");
}

// A differing combining mark is drawn in a column of its own, clearly red, where the character
// after it follows; a copy still gives the file's own characters.
void ViewDisplayTest::regressionDifferingMarkHasAColumnOfItsOwn() {
    QFETCH(QString, one);
    QFETCH(QString, other);
    compareBytes(one.toUtf8() + "\n", other.toUtf8() + "\n");
    for (const auto& [name, line] : {std::pair{"RTB1", one}, std::pair{"RTB2", other}}) {
        auto* view = control<DiffView>(name);
        const int length = int(line.toUcs4().size());
        if (length == 1) {
            continue; // the shorter line, all alike
        }
        QVERIFY2(reddishPixels(view) > 30, name);
        QList<std::pair<int, int>> neighbours = {{length - 1, length}};
        for (int k = 1; k <= std::min(length, 40); ++k) {
            neighbours.append({k - 1, k});
        }
        for (const auto& [left, right] : neighbours) {
            QVERIFY2(cellLeft(view, left) < cellLeft(view, right),
                     qPrintable(QStringLiteral("%1: %2").arg(name).arg(right)));
        }
        view->setFocus();
        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), line + u'\n');
    }
}

void ViewDisplayTest::regressionDifferingSelectorsAndTagsAreToldApart_data() {
    QTest::addColumn<QString>("one");
    QTest::addColumn<QString>("other");
    QTest::addColumn<int>("offset"); // of the differing character
    QTest::newRow("VS15 against VS16")
        << QStringLiteral("\u263A\uFE0E") << QStringLiteral("\u263A\uFE0F") << 1;
    QTest::newRow("VS17 against VS18")
        << QStringLiteral("\u845B\U000E0100") << QStringLiteral("\u845B\U000E0101") << 1;
    QTest::newRow("tag A against tag B")
        << QStringLiteral("\U000E0041") << QStringLiteral("\U000E0042") << 0;
}

// Two different selectors, or tag characters, each drawn red, do not look alike.
void ViewDisplayTest::regressionDifferingSelectorsAndTagsAreToldApart() {
    QFETCH(QString, one);
    QFETCH(QString, other);
    QFETCH(int, offset);
    compareBytes(one.toUtf8() + "\n", other.toUtf8() + "\n");
    QList<QImage> cells;
    for (const char* name : {"RTB1", "RTB2"}) {
        auto* view = control<DiffView>(name);
        QVERIFY2(reddishPixels(view) > 4, name);
        const int left = cellLeft(view, offset);
        const int right = cellLeft(view, offset + 1);
        QVERIFY(right > left);
        QTextCursor start(view->document());
        const QRect line = view->cursorRect(start);
        cells << view->viewport()
                     ->grab(QRect(left, line.top(), right - left, line.height()))
                     .toImage();
    }
    QVERIFY(cells[0] != cells[1]);
}

// Every variation selector and every tag character has a stand-in of its own.
void ViewDisplayTest::regressionEverySelectorAndTagHasItsOwnStandIn() {
    const std::pair<char32_t, char32_t> blocks[] = {{0x180B, 0x180D},
                                                    {0x180F, 0x180F},
                                                    {0xFE00, 0xFE0F},
                                                    {0xE0100, 0xE01EF},
                                                    {0xE0000, 0xE007F}};
    std::set<QString> seen;
    for (const auto& [first, last] : blocks) {
        for (char32_t c = first; c <= last; ++c) {
            const QString shown = shownWhenDiffering(c);
            QVERIFY2(!shown.isEmpty() && seen.insert(shown).second,
                     qPrintable(QString::number(c, 16)));
        }
    }
}

// The shorter file's view gives room below its text so that both scroll alike; the caret,
// a selection and a copy stay within the file's own text, and a copy gives its characters.
void ViewDisplayTest::regressionCaretAndCopyStayWithinTheFile() {
    compareBytes("uno\ndos\x01\xC2\xAD\n", "1\n2\n3\n4\n5\n6\n7\n8\n");
    auto* rtb1 = control<DiffView>("RTB1");
    rtb1->setFocus();
    QTest::keyClick(rtb1, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(rtb1->textCursor().blockNumber(), 2); // the empty line after the last line break
    QTest::keyClick(rtb1, Qt::Key_Down);
    QCOMPARE(rtb1->textCursor().blockNumber(), 2);
    QTest::keyClick(rtb1, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(rtb1, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("uno\ndos\u0001\u00AD\n"));
}

// A line that starts with a right-to-left word reads from the left like the rest: the word comes
// first, at the left, in its own order, and the columns after it follow it to the right.
void ViewDisplayTest::regressionEveryLineReadsFromTheLeft() {
    compareBytes("\xD9\x83\xD8\xAA\xD8\xA7\xD8\xA8 abc\n", "xxxx abc\n"); // «كتاب abc»
    auto* view = control<DiffView>("RTB1");
    const auto x = [view](int offset) {
        QTextCursor cursor(view->document());
        cursor.setPosition(view->documentPosition(offset));
        return view->cursorRect(cursor).left();
    };
    for (const int letter : {1, 2, 3}) {
        QVERIFY2(x(letter) < x(5), qPrintable(QString::number(letter)));
    }
    QVERIFY(x(5) < x(6) && x(6) < x(7));
    QVERIFY(x(1) > x(2) && x(2) > x(3)); // the word keeps its own order
}

// The ink of line `line` of `view`, whatever its colour: the pixels far from the views' blue.
QImage inkOfLine(DiffView* view, int line) {
    const QImage image = view->viewport()->grab().toImage();
    const QColor base = view->palette().color(QPalette::Base);
    const QRect rect = view->cursorRect(QTextCursor(view->document()->findBlockByNumber(line)));
    QImage ink(image.width(), rect.height(), QImage::Format_Mono);
    for (int y = 0; y < ink.height(); ++y) {
        for (int x = 0; x < ink.width(); ++x) {
            const QColor c = image.pixelColor(x, rect.top() + y);
            const int distance = std::abs(c.red() - base.red()) +
                                 std::abs(c.green() - base.green()) +
                                 std::abs(c.blue() - base.blue());
            ink.setPixel(x, y, distance > 100 ? 1 : 0);
        }
    }
    return ink;
}

void ViewDisplayTest::regressionRedLetterIsShapedAsUncoloured_data() {
    QTest::addColumn<QByteArray>("word");
    QTest::addColumn<QByteArray>("other");
    QTest::addColumn<int>("red");                       // the offset of the one differing character
    QTest::newRow("Arabic letter joined on both sides") // «كتاب» against «كثاب»
        << QByteArray("\xD9\x83\xD8\xAA\xD8\xA7\xD8\xA8")
        << QByteArray("\xD9\x83\xD8\xAB\xD8\xA7\xD8\xA8") << 1;
    QTest::newRow("Arabic letter joined on one side") // «مرحبا» against «مرجبا»
        << QByteArray("\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7")
        << QByteArray("\xD9\x85\xD8\xB1\xD8\xAC\xD8\xA8\xD8\xA7") << 2;
    QTest::newRow("letter under an equal accent")
        << QByteArray("xe\xCC\x81y") << QByteArray("xa\xCC\x81y") << 1;
}

// A differing letter of a word that is shaped whole (joined Arabic letters, a letter and its
// accent) is red, and its line is drawn as the same word uncoloured on the next line is.
void ViewDisplayTest::regressionRedLetterIsShapedAsUncoloured() {
    QFETCH(QByteArray, word);
    QFETCH(QByteArray, other);
    QFETCH(int, red);
    compareBytes(word + "\n" + word + "\n", other + "\n" + word + "\n");
    auto* view = control<DiffView>("RTB1");
    QCOMPARE(redPositions(view), documentPositions(view, {red + 1}));
    QVERIFY(reddishPixels(view) > 4);
    const QImage coloured = inkOfLine(view, 0);
    const QImage uncoloured = inkOfLine(view, 1);
    int ink = 0, differing = 0;
    for (int y = 0; y < coloured.height(); ++y) {
        for (int x = 0; x < coloured.width(); ++x) {
            ink += uncoloured.pixelIndex(x, y);
            differing += coloured.pixelIndex(x, y) != uncoloured.pixelIndex(x, y);
        }
    }
    QVERIFY(ink > 20);
    QVERIFY2(differing * 20 < ink, qPrintable(QStringLiteral("%1 of %2").arg(differing).arg(ink)));
}

// The colours are formats of the lines' layouts, which the view is told of: colouring lines that
// were already laid out and drawn paints them again, red.
void ViewDisplayTest::colouringAViewAlreadyDrawnRedrawsIt() {
    auto* view = control<DiffView>("RTB1");
    view->setDisplayText(QStringLiteral("abcdef\nghijkl\n"));
    QCOMPARE(reddishPixels(view), 0);
    QCoreApplication::processEvents();
    PaintCounter count;
    view->viewport()->installEventFilter(&count);
    const OffsetRun runs[] = {{1, 2}, {9, 9}};
    view->colour(runs);
    QTRY_VERIFY_WITH_TIMEOUT(count.count > 0, 1000);
    QCOMPARE(redPositions(view), (std::set<int>{1, 2, 9}));
    QVERIFY(reddishPixels(view) > 4);
}

// WCAG's relative luminance of `colour`, and the contrast between two colours.
double luminance(const QColor& colour) {
    const auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.red()) + 0.7152 * linear(colour.green()) +
           0.0722 * linear(colour.blue());
}

double contrast(const QColor& one, const QColor& other) {
    const double a = luminance(one);
    const double b = luminance(other);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

void ViewDisplayTest::highlightBackgroundKeepsTheRedReadable() {
    const QColor red = DiffView::highlightColour();
    QVERIFY(contrast(red, DiffView::highlightBackgroundColour()) >= 4.5);
    // What it mends: the red on the views' own blue.
    const QColor blue = control<DiffView>("RTB1")->palette().color(QPalette::Base);
    QVERIFY(contrast(red, blue) < 3);
}

void ViewDisplayTest::highlightBackgroundIsBehindEveryDifference_data() {
    QTest::addColumn<bool>("unlimited");
    QTest::addColumn<bool>("askedBefore"); // as --resaltar does, or from the menu afterwards
    QTest::newRow("within the limits, from the menu") << false << false;
    QTest::newRow("without them, asked before") << true << true;
    QTest::newRow("without them, from the menu") << true << false;
}

// The differing letter and the differing space (which shows no ink and has a box) of both views
// get the light background and keep their red; equal characters get none, and turning it off
// gives back what was shown.
void ViewDisplayTest::highlightBackgroundIsBehindEveryDifference() {
    QFETCH(bool, unlimited);
    QFETCH(bool, askedBefore);
    window->setHighlightBackground(askedBefore);
    window->openFiles(localPath(write("1.txt", "abc d f\n")),
                      localPath(write("2.txt", "abX dYf\n")), unlimited);
    auto* aids = window->findChild<ReadingAids*>();
    const auto views = {control<DiffView>("RTB1"), control<DiffView>("RTB2")};
    const auto toggle = [aids](DiffView* view, bool checked) {
        std::unique_ptr<QMenu> menu(aids->createContextMenu(view, {0, 0}));
        QAction* entry = menu->findChild<QAction*>("highlightDifferences");
        QVERIFY(entry && entry->isCheckable() && entry->isEnabled());
        QCOMPARE(entry->text(), QStringLiteral("Resaltar las diferencias"));
        QCOMPARE(entry->isChecked(), !checked);
        entry->trigger();
    };
    // Pixels of the light background in the cell of column `column` of line 1.
    const auto backed = [](DiffView* view, int column) {
        QTextCursor start(view->document()), end(view->document());
        start.setPosition(view->documentPosition(column));
        end.setPosition(view->documentPosition(column + 1));
        // Within the cell, clear of its neighbours' edges.
        const QRect cell =
            QRect(view->cursorRect(start).topLeft(), view->cursorRect(end).bottomLeft())
                .adjusted(1, 0, -2, 0);
        const QImage image = view->viewport()->grab(cell).toImage();
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                count += image.pixelColor(x, y) == DiffView::highlightBackgroundColour();
            }
        }
        return count;
    };
    std::vector<QImage> plain;
    if (!askedBefore) {
        for (DiffView* view : views) {
            QCOMPARE(backed(view, 2) + backed(view, 5), 0);
            plain.push_back(view->viewport()->grab().toImage());
        }
        toggle(control<DiffView>("RTB2"), true);
    }
    for (DiffView* view : views) {
        QVERIFY(view->highlightBackground());
        QCOMPARE(redPositions(view), documentPositions(view, {3, 6}));
        QVERIFY(backed(view, 2) > 10 && backed(view, 5) > 10);
        QCOMPARE(backed(view, 0) + backed(view, 3), 0);
    }
    if (!askedBefore) {
        toggle(control<DiffView>("RTB1"), false);
        int v = 0;
        for (DiffView* view : views) {
            QCOMPARE(view->viewport()->grab().toImage(), plain[std::size_t(v++)]);
        }
    }
}

QTEST_MAIN(ViewDisplayTest)
#include "view_display_tests.moc"
