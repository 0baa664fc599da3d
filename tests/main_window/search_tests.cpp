// The search (Ctrl+F, F3, Shift+F3) and the move to a line (Ctrl+G): the bar they use, what they
// find and where they go, within the limits and without them, a long search's progress, and the
// search itself held against a plain one over many small files.

#include "comparison/file_comparison.h"
#include "main_window/comparison_views.h"
#include "main_window/find_bar.h"
#include "main_window/text_search.h"
#include "window_test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>

#include <chrono>
#include <thread>
#include <tuple>

Q_DECLARE_METATYPE(parvane::DecodingChoices)

namespace {

// "aguja" is in file 1 on lines 3, 10 and `lines` - 500 (1-based), and nowhere in file 2.
std::pair<QByteArray, QByteArray> needlePair(int lines) {
    QByteArray one, other;
    for (int k = 1; k <= lines; ++k) {
        const QByteArray number = QByteArray::number(k).rightJustified(5, '0');
        one += (k == 3             ? "paja aguja "
                : k == 10          ? "aguja y Aguja "
                : k == lines - 500 ? "x aguja "
                                   : "paja ") +
               number + "\n";
        other += "paja " + number + "\n";
    }
    return {one, other};
}

} // namespace

class SearchTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }

    void findsForwardAndBackwardRoundTheFile_data();
    void findsForwardAndBackwardRoundTheFile();
    void findsTheCharactersTheViewShows_data();
    void findsTheCharactersTheViewShows();
    void theBarHidesAndNothingMoves();
    void goToLineMovesBothViews_data();
    void goToLineMovesBothViews();
    void aLongSearchShowsProgressAndCancels();
    void findsAcrossThePiecesOfALongLine();
    void findsAsAPlainSearchDoes();

private:
    // 1000 lines within the limits; 6000 lines, past them, compared without them.
    void compareNeedles(bool unlimited) {
        const auto [one, other] = needlePair(unlimited ? 6000 : 1000);
        window->openFiles(localPath(write("a.txt", one)), localPath(write("b.txt", other)),
                          unlimited);
        activate();
    }
    FindBar* bar() const { return window->findChild<FindBar*>(); }
    ComparisonViews* shown() const { return window->findChild<ComparisonViews*>(); }
    DiffView* view(int which) const { return control<DiffView>(which == 1 ? "RTB1" : "RTB2"); }
    QWidget* focused() const { return QApplication::focusWidget(); }
    // The window wide enough for the bar to say all it says, and active.
    void activate() {
        window->resize(1200, window->height());
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
    }
    // Ctrl+F in view `which`, `text` put in the bar, and Enter.
    void search(int which, const QString& text, bool matchCase = false) {
        view(which)->setFocus();
        QTest::keyClick(view(which), Qt::Key_F, Qt::ControlModifier);
        auto* edit = qobject_cast<QLineEdit*>(focused());
        QVERIFY(edit);
        bar()->findChild<QCheckBox*>("MatchCase")->setChecked(matchCase);
        edit->insert(text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
};

void SearchTest::findsForwardAndBackwardRoundTheFile_data() {
    QTest::addColumn<bool>("unlimited");
    QTest::addColumn<QString>("far"); // the line of the last match
    QTest::newRow("within the limits") << false << "500";
    QTest::newRow("without them") << true << "5 500";
}

// Each match is selected in the view searched, in view above the bar, and the bar says where.
void SearchTest::findsForwardAndBackwardRoundTheFile() {
    QFETCH(bool, unlimited);
    QFETCH(QString, far);
    compareNeedles(unlimited);
    QVERIFY(!unlimited || shown()->windowLineCount() < 5500);
    const QList<std::tuple<Qt::Key, Qt::KeyboardModifiers, QString>> steps = {
        {Qt::Key_unknown, {}, "Línea 3, columna 6"}, // Ctrl+F
        {Qt::Key_Return, {}, "Línea 10, columna 1"},
        {Qt::Key_Return, {}, "Línea 10, columna 9"},
        {Qt::Key_F3, {}, "Línea " + far + ", columna 3"},
        {Qt::Key_F3, {}, "Línea 3, columna 6, desde el principio"},
        {Qt::Key_F3, Qt::ShiftModifier, "Línea " + far + ", columna 3, desde el final"},
        {Qt::Key_Return, Qt::ShiftModifier, "Línea 10, columna 9"}};
    search(1, "aguja");
    for (const auto& [key, modifiers, status] : steps) {
        if (key != Qt::Key_unknown) {
            QTest::keyClick(focused(), key, modifiers);
        }
        QCOMPARE(bar()->status(), status);
        QCOMPARE(view(1)->textCursor().selectedText().toLower(), QStringLiteral("aguja"));
        const std::uint64_t line = shown()->windowFirstLine() + view(1)->textCursor().blockNumber();
        QCOMPARE(QString::number(line + 1), status.section(u',', 0, 0).mid(6).remove(u' '));
        const QRect caret = view(1)->cursorRect();
        const int barTop = view(1)->viewport()->mapFrom(window, bar()->geometry().topLeft()).y();
        QVERIFY(caret.top() >= 0 && caret.bottom() < barTop);
    }
    search(1, "ningún sitio");
    QCOMPARE(bar()->status(), QStringLiteral("No se encuentra «ningún sitio»"));
    const QString nowhere(100, u'z');
    search(1, nowhere);
    QVERIFY(bar()->status().endsWith(u'…'));
    QCOMPARE(bar()->findChild<QLabel*>("FindStatus")->toolTip(),
             "No se encuentra «" + nowhere + "»");
}

void SearchTest::findsTheCharactersTheViewShows_data() {
    using enum parvane::DecodingChoice;
    const QByteArray utf8 = "uno año Ñandú\ndos ñANDÚ\n";
    QTest::addColumn<QByteArray>("content1");
    QTest::addColumn<QByteArray>("content2");
    QTest::addColumn<parvane::DecodingChoices>("decodings");
    QTest::addColumn<int>("searched");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<QString>("status");
    QTest::newRow("latin-1") << QByteArray("uno a\xf1o \xd1"
                                           "and\xfa\n")
                             << utf8 << parvane::DecodingChoices{Latin1, Utf8} << 1 << "año ñandú"
                             << false << "Línea 1, columna 5";
    QTest::newRow("utf-8 after a byte-order mark, 2nd file")
        << utf8 << "\xEF\xBB\xBF" + utf8 << parvane::DecodingChoices{Auto, Auto} << 2 << "ñandú"
        << false << "Línea 1, columna 9";
    QTest::newRow("windows-1252") << QByteArray("\x80 \x93\xf1o\x94\n") << utf8
                                  << parvane::DecodingChoices{Windows1252, Utf8} << 1 << "“ño”"
                                  << false << "Línea 1, columna 3";
    QTest::newRow("capitals told apart") << utf8 << utf8 << parvane::DecodingChoices{Auto, Auto}
                                         << 1 << "ñANDÚ" << true << "Línea 2, columna 5";
    QTest::newRow("capitals told apart, none")
        << utf8 << utf8 << parvane::DecodingChoices{Auto, Auto} << 1 << "ÑANDÚ" << true
        << "No se encuentra «ÑANDÚ»";
}

// The search looks in the file of the view focused, at its characters as the view shows them,
// and counts columns as the view does.
void SearchTest::findsTheCharactersTheViewShows() {
    QFETCH(QByteArray, content1);
    QFETCH(QByteArray, content2);
    QFETCH(parvane::DecodingChoices, decodings);
    QFETCH(int, searched);
    QFETCH(QString, text);
    QFETCH(bool, matchCase);
    QFETCH(QString, status);
    window->setDecodings(decodings);
    window->openFiles(localPath(write("a.txt", content1)), localPath(write("b.txt", content2)));
    activate();
    search(searched, text, matchCase);
    QCOMPARE(bar()->findChild<QLabel*>("FindLabel")->text(),
             searched == 1 ? QStringLiteral("Buscar en el 1er fichero:")
                           : QStringLiteral("Buscar en el 2º fichero:"));
    QCOMPARE(bar()->status(), status);
    const QString selected = view(searched)->textCursor().selectedText();
    QVERIFY2(selected.compare(status.startsWith(u'L') ? text : QString(), Qt::CaseInsensitive) == 0,
             qPrintable(selected));
    QVERIFY(!view(3 - searched)->textCursor().hasSelection());
}

// The bar lies over the views while in use; the window's controls keep their places, and Escape
// gives the keyboard back to the view. Before a comparison, none of the keys opens anything.
void SearchTest::theBarHidesAndNothingMoves() {
    activate();
    for (const QKeyCombination key : {Qt::CTRL | Qt::Key_F, Qt::CTRL | Qt::Key_G,
                                      QKeyCombination(Qt::Key_F3), Qt::SHIFT | Qt::Key_F3}) {
        QTest::keyClick(window, key.key(), key.keyboardModifiers());
        QVERIFY(!bar() || !bar()->isVisible());
    }
    compareNeedles(false);
    QList<QRect> places;
    for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        places << child->geometry();
    }
    search(1, "aguja");
    QVERIFY(bar()->isVisible());
    const QRect views = view(1)->geometry().united(view(2)->geometry());
    QVERIFY(views.contains(bar()->geometry()));
    QVERIFY(bar()->isAncestorOf(focused()));
    QTest::keyClick(focused(), Qt::Key_Escape);
    QVERIFY(!bar()->isVisible());
    QCOMPARE(focused(), view(1));
    int i = 0;
    for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child != bar()) {
            QCOMPARE(child->geometry(), places[i++]);
        }
    }
    // F3 shows the bar again with the next match, and leaves the keyboard where it is.
    QTest::keyClick(view(1), Qt::Key_F3);
    QVERIFY(bar()->isVisible());
    QCOMPARE(bar()->status(), QStringLiteral("Línea 10, columna 1"));
    QCOMPARE(focused(), view(1));
    QTest::keyClick(view(1), Qt::Key_Escape);
    QVERIFY(!bar()->isVisible());
}

void SearchTest::goToLineMovesBothViews_data() {
    QTest::addColumn<bool>("unlimited");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("line"); // where both carets go, 0-based; -1: refused
    QTest::newRow("within the limits") << false << "700" << 699;
    QTest::newRow("dotted, without the limits") << true << "5.900" << 5899;
    QTest::newRow("spaced, the last") << true << "6 000" << 5999;
    QTest::newRow("past the last") << true << "6001" << -1;
    QTest::newRow("none") << false << "0" << -1;
}

void SearchTest::goToLineMovesBothViews() {
    QFETCH(bool, unlimited);
    QFETCH(QString, typed);
    QFETCH(int, line);
    compareNeedles(unlimited);
    view(2)->setFocus();
    QTest::keyClick(view(2), Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(bar()->findChild<QLabel*>("FindLabel")->text(), QStringLiteral("Ir a la línea:"));
    QTest::keyClicks(focused(), typed);
    QTest::keyClick(focused(), Qt::Key_Return);
    if (line < 0) {
        QVERIFY(bar()->isVisible());
        QCOMPARE(bar()->status(), unlimited ? QStringLiteral("Escriba un número del 1 al 6 000")
                                            : QStringLiteral("Escriba un número del 1 al 1 000"));
        QCOMPARE(shown()->caretLine(), 0u);
        return;
    }
    QVERIFY(!bar()->isVisible());
    QCOMPARE(focused(), view(2));
    for (DiffView* each : {view(1), view(2)}) {
        QCOMPARE(each->textCursor().blockNumber() + shown()->windowFirstLine(),
                 std::uint64_t(line));
        QCOMPARE(each->textCursor().positionInBlock(), 0);
        QVERIFY(each->viewport()->rect().contains(each->cursorRect().center()));
    }
}

void SearchTest::aLongSearchShowsProgressAndCancels() {
    compareNeedles(true);
    bool dialogSeen = false;
    // A piece lasts until the dialog shows, as the pieces of a large file would take their time,
    // and then the user cancels.
    shown()->setCopyPace([&] {
        QElapsedTimer waited;
        waited.start();
        auto* dialog = window->findChild<QProgressDialog*>("SearchProgress");
        for (; !dialogSeen && !dialog->isVisible() && waited.elapsed() < 10000;) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (dialogSeen || !dialog->isVisible()) {
            return;
        }
        dialogSeen = true;
        QCOMPARE(dialog->windowTitle(), TextSearch::kTitle);
        QVERIFY(dialog->findChild<QLabel*>()->text().contains("«ningún sitio» en"));
        auto* cancel = dialog->findChild<QPushButton*>();
        QCOMPARE(cancel->text(), QStringLiteral("Cancelar"));
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    search(1, "ningún sitio");
    QVERIFY(dialogSeen);
    QCOMPARE(bar()->status(), QStringLiteral("Búsqueda cancelada"));
    QVERIFY(!shown()->busy());
    QVERIFY(!view(1)->textCursor().hasSelection());
}

// A line longer than a piece, after a short one, is read a piece of columns at a time: a match
// across two pieces is found, forward and backward.
void SearchTest::findsAcrossThePiecesOfALongLine() {
    QByteArray line(3 << 20, 'x');
    line.replace((1 << 20) - 2, 5, "aguja");
    line.replace(line.size() - 5, 5, "aguja");
    const QString path = write("largo.txt", "corta\n" + line + "\n");
    const parvane::FileComparison comparison =
        parvane::FileComparison::run(localPath(path), localPath(path), {true, {}, {}, {}});
    const auto forward = TextSearch::findQuietly(comparison, 1, {0, 0}, "aguja", true, true);
    QVERIFY(forward);
    QCOMPARE(forward->start, (TextSearch::Place{1, (1 << 20) - 2}));
    const auto backward = TextSearch::findQuietly(comparison, 2, {2, 0}, "AGUJA", false, false);
    QVERIFY(backward);
    QCOMPARE(backward->start, (TextSearch::Place{1, std::uint64_t(line.size() - 5)}));
}

// Small texts of few letters, searched from any place both ways, with and without case, against
// a plain search of the whole text: the first match at or after the place (the last before it,
// backward), or else, going round, the first (last) of all.
void SearchTest::findsAsAPlainSearchDoes() {
    QRandomGenerator random(20240611);
    const auto some = [&](int most, const QString& letters) {
        QString text;
        for (int c = random.bounded(1, most); c > 0; --c) {
            text += letters[random.bounded(letters.size())];
        }
        return text;
    };
    for (int round = 0; round < 300; ++round) {
        const QString text = some(40, QStringLiteral("aAbñÑ\n")) + u'\n';
        const QString needle = some(3, QStringLiteral("aAbñÑ"));
        const bool forward = random.bounded(2) == 1;
        const auto sensitivity = random.bounded(2) == 1 ? Qt::CaseSensitive : Qt::CaseInsensitive;
        const int from = random.bounded(int(text.size()));
        const auto placeOf = [&](int at) {
            const int lineStart = at > 0 ? int(text.lastIndexOf(u'\n', at - 1)) + 1 : 0;
            return TextSearch::Place{std::uint64_t(text.left(at).count(u'\n')),
                                     std::uint64_t(at - lineStart)};
        };
        const QString path = write("azar.txt", text.toUtf8());
        const auto found = TextSearch::findQuietly(
            parvane::FileComparison::run(localPath(path), localPath(path)), 1, placeOf(from),
            needle, forward, sensitivity == Qt::CaseSensitive);

        const int after = text.indexOf(needle, from, sensitivity);
        const int before = from > 0 ? text.lastIndexOf(needle, from - 1, sensitivity) : -1;
        const int first = forward ? after : before;
        const int expected = first >= 0 ? first
                             : forward  ? text.indexOf(needle, 0, sensitivity)
                                        : text.lastIndexOf(needle, -1, sensitivity);
        const QString what = QStringLiteral("«%1» «%2» from %3 %4 %5")
                                 .arg(text, needle)
                                 .arg(from)
                                 .arg(forward ? "forward" : "backward")
                                 .arg(sensitivity);
        QVERIFY2(found.has_value() == (expected >= 0), qPrintable(what));
        QVERIFY2(!found || (found->start == placeOf(expected) && found->wrapped == (first < 0)),
                 qPrintable(what));
    }
}

QTEST_MAIN(SearchTest)
#include "search_tests.moc"
