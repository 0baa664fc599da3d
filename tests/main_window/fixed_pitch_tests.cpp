// Fixed-width letters and the ruler of columns, checked where the user sees them: the cells the
// columns are drawn in, the numbers beside the lines and the ruler's pixels.

#include "main_window/column_ruler.h"
#include "main_window/comparison_views.h"
#include "main_window/early_comparison.h"
#include "main_window/number_column.h"
#include "main_window/reading_aids.h"
#include "window_test_support.h"

#include <QAction>
#include <QFontInfo>
#include <QImage>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include <memory>
#include <optional>

Q_DECLARE_METATYPE(QList<RulerField>)

class FixedPitchTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void columnsLineUp_data();
    void columnsLineUp();
    void numbersStayBesideTheirLines_data();
    void numbersStayBesideTheirLines();
    void rulerNumbersTheFileColumns_data();
    void rulerNumbersTheFileColumns();
    void fieldsAreLabelledSpans_data();
    void fieldsAreLabelledSpans();
    void menuAndKeyTurnItOnAndOff();

private:
    enum Route { Compare, Early, Unlimited };
    void open(const QByteArray& content1, const QByteArray& content2, Route route = Compare) {
        const auto path1 = localPath(write("1.txt", content1));
        const auto path2 = localPath(write("2.txt", content2));
        std::optional<EarlyComparison> early;
        if (route == Early) {
            early.emplace(path1, path2);
        }
        window->openFiles(path1, path2, route == Unlimited, early ? &*early : nullptr);
    }
    DiffView* rtb(int view) const { return control<DiffView>(view == 1 ? "RTB1" : "RTB2"); }
    ComparisonViews* views() const { return window->findChild<ComparisonViews*>(); }
};

namespace {

// Where column `column` of line `line` of the window that `view` holds starts, in its viewport.
int columnX(const DiffView* view, int line, int column) {
    QTextCursor cursor(view->document());
    cursor.setPosition(view->documentPosition(view->lineStarts()[line] + column));
    return view->cursorRect(cursor).left();
}

bool isInk(const QImage& image, int x, int y, const QColor& paper) {
    return std::abs(image.pixelColor(x, y).lightness() - paper.lightness()) > 40;
}

// The leftmost and rightmost columns of ink within `area` of `image`; none: left > right.
std::pair<int, int> inkAcross(const QImage& image, QRect area, const QColor& paper) {
    int left = area.right() + 1, right = area.left() - 1;
    for (int x = std::max(area.left(), 0); x <= std::min(area.right(), image.width() - 1); ++x) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            if (isInk(image, x, y, paper)) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    return {left, right};
}

} // namespace

void FixedPitchTest::columnsLineUp_data() {
    QTest::addColumn<QByteArray>("one");
    QTest::addColumn<QByteArray>("other");
    QTest::addColumn<int>("route");
    QTest::addColumn<bool>("inked"); // whether the character is seen (a joiner is not)
    QTest::newRow("tab, shown early") << QByteArray("\t") << QByteArray("\t") << int(Early) << true;
    QTest::newRow("letter of a wider font")
        << QByteArray("\xC7\x84") << QByteArray("x") << int(Compare) << true;
    QTest::newRow("CJK, without limits")
        << QByteArray("\xE4\xB8\xAD") << QByteArray("\xE6\x96\x87") << int(Unlimited) << true;
    QTest::newRow("emoji") << QByteArray("\xF0\x9F\x98\x80") << QByteArray("x") << int(Compare)
                           << true;
    QTest::newRow("combining mark")
        << QByteArray("\xCC\x81") << QByteArray("\xCC\x81") << int(Compare) << true;
    QTest::newRow("joiner") << QByteArray("\xE2\x80\x8D") << QByteArray("\xE2\x80\x8D")
                            << int(Compare) << false;
    QTest::newRow("differing variation selectors")
        << QByteArray("\xEF\xB8\x8E") << QByteArray("\xEF\xB8\x8F") << int(Compare) << true;
}

// Column k of a line holding the character stands over column k of a line of digits, in both
// views, k cells from the first; the character's cell shows it (a tab, as an arrow).
void FixedPitchTest::columnsLineUp() {
    QFETCH(QByteArray, one);
    QFETCH(QByteArray, other);
    QFETCH(int, route);
    QFETCH(bool, inked);
    window->setFixedPitch(true);
    open("a" + one + "bcdef\n0123456\n", "a" + other + "bcdef\n0123456\n", Route(route));
    for (int k = 2; k <= 7; ++k) {
        QCOMPARE(columnX(rtb(1), 0, k), columnX(rtb(1), 1, k));
        QCOMPARE(columnX(rtb(2), 0, k), columnX(rtb(1), 1, k));
        const qreal cells = (columnX(rtb(1), 0, k) - columnX(rtb(1), 0, 0)) / rtb(1)->cellWidth();
        QVERIFY(std::abs(cells - k) < 0.2);
    }
    const QRect line = rtb(1)->cursorRect(QTextCursor(rtb(1)->document()));
    const QRect cell(columnX(rtb(1), 0, 1) + 1, line.top(),
                     columnX(rtb(1), 0, 2) - columnX(rtb(1), 0, 1) - 2, line.height());
    const auto [left, right] = inkAcross(rtb(1)->viewport()->grab().toImage(), cell,
                                         rtb(1)->palette().color(QPalette::Base));
    QVERIFY(!inked || left < right);
}

void FixedPitchTest::numbersStayBesideTheirLines_data() {
    QTest::addColumn<int>("lines");
    QTest::addColumn<bool>("unlimited");
    QTest::addColumn<bool>("fields"); // which make the rulers taller
    QTest::newRow("within the limits") << 90 << false << false;
    QTest::newRow("without them") << 90 << true << false;
    QTest::newRow("a few lines, with fields") << 10 << false << true;
}

// Each number stands as far from its line as in the views' own letters, scrolled down too.
void FixedPitchTest::numbersStayBesideTheirLines() {
    QFETCH(int, lines);
    QFETCH(bool, unlimited);
    QFETCH(bool, fields);
    QByteArray content;
    for (int i = 1; i <= lines; ++i) {
        content += "REGISTRO " + QByteArray::number(i) + "\n";
    }
    open(content, content, unlimited ? Unlimited : Compare);
    const auto distance = [this](int view, int number) {
        auto* column = control<NumberColumn>(view == 1 ? "TxtNumeracion1" : "TxtNumeracion2");
        QTextBlock digits = column->document()->begin();
        while (digits.isValid() && digits.text() != QString::number(number)) {
            digits = digits.next();
        }
        const QTextBlock line =
            rtb(view)->document()->findBlockByNumber(number - 1 - int(views()->windowFirstLine()));
        const QRect text = rtb(view)->cursorRect(QTextCursor(line));
        return column->viewport()
                   ->mapTo(window, column->cursorRect(QTextCursor(digits)).topLeft())
                   .y() -
               rtb(view)->viewport()->mapTo(window, text.topLeft()).y();
    };
    for (const int top : {0, lines / 2}) {
        QScrollBar* bar = unlimited ? views()->verticalBar(1) : rtb(1)->verticalScrollBar();
        bar->setValue(top);
        const int own = distance(1, top + 1);
        window->setFixedPitch(true);
        for (const int view : {1, 2}) {
            rtb(view)->ruler()->setFields(fields ? QList<RulerField>{{"Registro", 0, 8}}
                                                 : QList<RulerField>{});
        }
        bar->setValue(top);
        for (const int number : {top + 1, top + 3, top + 5}) {
            QCOMPARE(distance(1, number), own);
            QCOMPARE(distance(2, number), own);
        }
        window->setFixedPitch(false);
    }
}

void FixedPitchTest::rulerNumbersTheFileColumns_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("unlimited");
    QTest::addColumn<int>("column"); // the file's column scrolled to the left edge
    QTest::newRow("from the first column") << 120 << false << 0;
    QTest::newRow("scrolled sideways") << 200 << false << 57;
    QTest::newRow("a window of the file's columns") << 5000 << true << 4323;
}

// Every column has a tick, every 10th its number, which counts in the file: centred on the column
// where the view draws it, as wide as it is written; the caret's column is marked.
void FixedPitchTest::rulerNumbersTheFileColumns() {
    QFETCH(int, length);
    QFETCH(bool, unlimited);
    QFETCH(int, column);
    QByteArray line(length, 'x');
    window->setFixedPitch(true);
    open((line + "\n").repeated(12), (line + "\n").repeated(12), unlimited ? Unlimited : Compare);
    DiffView* view = rtb(1);
    if (unlimited) { // whose bar counts the average width of a letter for a column
        views()->horizontalBar(1)->setValue(column * view->fontMetrics().averageCharWidth());
    } else {
        view->horizontalScrollBar()->setValue(int(column * view->cellWidth()));
    }
    int caret = 0;
    while (columnX(view, 0, caret) < 0) {
        ++caret;
    }
    view->setSelectionStart(view->lineStarts()[0] + caret + 3);
    QTest::qWait(20);
    caret = view->textCursor().positionInBlock();
    const int first = int(views()->windowFirstColumn());
    QVERIFY(!unlimited || first % 10 != 0); // or the window's own columns would pass too

    ColumnRuler* ruler = view->ruler();
    const QImage image = ruler->grab().toImage();
    const QFontMetricsF metrics(ruler->font());
    int numbers = 0;
    for (int c = 0; c < view->document()->firstBlock().length() - 1; ++c) {
        const int middle = int(columnX(view, 0, c) + view->cellWidth() / 2);
        if (middle < 30 || middle > image.width() - 30) {
            continue;
        }
        const bool isCaret = c == caret;
        const QColor paper =
            isCaret ? ColumnRuler::caretColour() : ruler->palette().color(QPalette::Window);
        QCOMPARE(image.pixelColor(middle - 2, ruler->fieldsTop() - 1) == paper, true);
        const QRect tick(middle - 1, ruler->fieldsTop() - 1, 3, 1);
        QVERIFY(inkAcross(image, tick, paper).first <= tick.right());
        if (std::abs(c - caret) <= 8) {
            continue; // under the caret's number
        }
        const int number = first + c + 1;
        const auto [left, right] =
            inkAcross(image, QRect(middle - 28, 0, 57, ruler->ticksTop()), paper);
        if (number % 10 == 0) {
            ++numbers;
            QVERIFY(std::abs(right - left + 1 -
                             metrics.horizontalAdvance(QString::number(number))) <= 3);
            QVERIFY(std::abs((left + right) / 2.0 - middle) <= 2);
        }
    }
    QVERIFY(numbers >= 2);
}

void FixedPitchTest::fieldsAreLabelledSpans_data() {
    QTest::addColumn<QList<RulerField>>("fields");
    QTest::newRow("fields of a record")
        << QList<RulerField>{{"T", 0, 1}, {"Empleado", 1, 9}, {"Nombre", 10, 30}};
    QTest::newRow("a name wider than its span") << QList<RulerField>{{"Departamento", 4, 4}};
    QTest::newRow("to the line's end") << QList<RulerField>{{"Resto", 20, -1}};
}

// Above its name, a span's edges are the only ink across it, on its columns' edges; its name is in
// its middle, within it. The text of both views moves down alike, for the spans' row.
void FixedPitchTest::fieldsAreLabelledSpans() {
    QFETCH(QList<RulerField>, fields);
    window->setFixedPitch(true);
    open(QByteArray(60, 'x') + "\n", QByteArray(60, 'y') + "\n");
    const int textTop = rtb(1)->viewport()->y();
    for (const int view : {1, 2}) {
        rtb(view)->ruler()->setFields(fields);
    }
    QCOMPARE(rtb(2)->viewport()->y(), rtb(1)->viewport()->y());
    QVERIFY(rtb(1)->viewport()->y() > textTop);
    ColumnRuler* ruler = rtb(1)->ruler();
    const QImage image = ruler->grab().toImage();
    const int top = ruler->fieldsTop() + 1;
    for (const RulerField& field : fields) {
        const int left = columnX(rtb(1), 0, int(field.first));
        const int right =
            field.length < 0 ? ruler->width() : columnX(rtb(1), 0, int(field.first + field.length));
        const QColor fill = image.pixelColor((left + right) / 2, top);
        const auto [edgeLeft, edgeRight] =
            inkAcross(image, QRect(left - 1, top, right - left + 3, 1), fill);
        QVERIFY(std::abs(edgeLeft - left) <= 1);
        QVERIFY(field.length < 0 || std::abs(edgeRight - right) <= 1);
        QCOMPARE(inkAcross(image, QRect(left + 2, top, right - left - 3, 1), fill).first,
                 right - 1);
        const auto [nameLeft, nameRight] = inkAcross(
            image, QRect(left + 2, top + 1, right - left - 3, ruler->height() - top - 2), fill);
        QVERIFY(nameLeft < nameRight);
        if (QFontMetrics(ruler->font()).horizontalAdvance(field.name) < right - left - 6) {
            QVERIFY(std::abs((nameLeft + nameRight) / 2.0 - (left + right) / 2.0) <= 2);
        }
    }
    for (const int view : {1, 2}) {
        rtb(view)->ruler()->setFields({});
    }
    QCOMPARE(rtb(1)->viewport()->y(), textTop);
}

// The views' menu and Ctrl+M turn it on and off for both views; off, the views and their numbers
// are as before, and no control of the window has moved meanwhile.
void FixedPitchTest::menuAndKeyTurnItOnAndOff() {
    open("abc\n", "abd\n");
    const QRect places[] = {rtb(1)->geometry(),
                            control<NumberColumn>("TxtNumeracion1")->geometry()};
    const QFont own = rtb(1)->font();
    const QRect text = rtb(1)->viewport()->geometry();
    auto* aids = window->findChild<ReadingAids*>();
    const auto entry = [aids, this](int view, bool trigger = false) {
        std::unique_ptr<QMenu> menu(aids->createContextMenu(rtb(view), {0, 0}));
        QAction* action = menu->findChild<QAction*>("fixedPitch");
        const auto shown = std::pair{action->text(), action->isCheckable() && action->isChecked()};
        if (trigger) {
            action->trigger();
        }
        return shown;
    };
    QCOMPARE(entry(2, true), std::pair(QStringLiteral("Letra de ancho fijo\tCtrl+M"), false));
    for (const int view : {1, 2}) {
        QVERIFY(QFontInfo(rtb(view)->font()).fixedPitch());
        QVERIFY(rtb(view)->ruler()->isVisible());
        QVERIFY(entry(view).second);
    }
    QCOMPARE(rtb(1)->geometry(), places[0]);
    QCOMPARE(control<NumberColumn>("TxtNumeracion1")->geometry(), places[1]);
    QTest::keyClick(window, Qt::Key_M, Qt::ControlModifier);
    for (const int view : {1, 2}) {
        QCOMPARE(rtb(view)->font(), own);
        QVERIFY(!rtb(view)->ruler()->isVisible());
        QVERIFY(!entry(view).second);
    }
    QCOMPARE(rtb(1)->viewport()->geometry(), text);
    QCOMPARE(control<NumberColumn>("TxtNumeracion1")->toPlainText(),
             NumberColumn::numbersText().replace("\r\n", "\n"));
}

QTEST_MAIN(FixedPitchTest)
#include "fixed_pitch_tests.moc"
