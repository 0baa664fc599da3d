// A comparison begun before the window was ready shows exactly what "Comparar" shows: the same
// views, pixels, carets and messages, whatever the files hold or however they fail.

#include "main_window/early_comparison.h"
#include "window_test_support.h"

#include <QImage>
#include <QScrollBar>
#include <QTest>

#include <memory>

namespace {

// Everything of a window that a comparison sets.
struct Outcome {
    ShownViews views;
    QList<QString> messages; // "error:" or "info:" and the text, with both views' texts
    int caret1 = 0, caret2 = 0;
    int lines1 = 0, lines2 = 0;
    QImage pixels1, pixels2;
};

Outcome outcomeOf(MainWindow* window, const RecordingMessages* messages) {
    auto* rtb1 = window->findChild<DiffView*>("RTB1");
    auto* rtb2 = window->findChild<DiffView*>("RTB2");
    Outcome outcome;
    outcome.views = {rtb1->displayText(), rtb2->displayText(), redPositions(rtb1),
                     redPositions(rtb2)};
    for (const RecordingMessages::Shown& shown : messages->shown) {
        outcome.messages.append((shown.isError ? "error:" : "info:") + shown.text + "|" +
                                shown.view1 + "|" + shown.view2);
    }
    outcome.caret1 = rtb1->textCursor().position();
    outcome.caret2 = rtb2->textCursor().position();
    outcome.lines1 = rtb1->verticalScrollBar()->maximum();
    outcome.lines2 = rtb2->verticalScrollBar()->maximum();
    outcome.pixels1 = rtb1->viewport()->grab().toImage();
    outcome.pixels2 = rtb2->viewport()->grab().toImage();
    return outcome;
}

} // namespace

class EarlyComparisonTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void showsWhatCompareShows_data();
    void showsWhatCompareShows();
    void anEarlyComparisonOfOtherFilesIsNotShown();

private:
    // A second window like the fixture's, shown, with its own recording messages.
    std::unique_ptr<MainWindow> otherWindow(RecordingMessages*& recording) {
        auto messages = std::make_unique<RecordingMessages>();
        recording = messages.get();
        auto other = std::make_unique<MainWindow>(std::make_unique<ScriptedFileDialog>(),
                                                  std::move(messages));
        recording->window = other.get();
        other->show();
        return other;
    }
};

void EarlyComparisonTest::showsWhatCompareShows_data() {
    QTest::addColumn<QByteArray>("content1");
    QTest::addColumn<QByteArray>("content2");
    QTest::addColumn<bool>("secondExists");
    QTest::addColumn<int>("messages");

    QTest::newRow("differing lines")
        << QByteArray("abc\nxyz\nsame\n") << QByteArray("abd\nxy\nsame\nmore\n") << true << 0;
    QTest::newRow("stand-ins, joiners and boxes")
        << QByteArray("\ta\x01 b\xE2\x80\x8D\xC2\xA0z\xF0\x9F\x98\x80\n")
        << QByteArray("    a\x02 b\xE2\x80\x8C z\xF0\x9F\x98\x81\n") << true << 0;
    QTest::newRow("CR LF against LF")
        << QByteArray("a\r\nb\r\nc") << QByteArray("a\nB") << true << 0;
    QTest::newRow("empty against text") << QByteArray() << QByteArray("texto\n") << true << 0;
    QTest::newRow("identical") << QByteArray("igual\n") << QByteArray("igual\n") << true << 1;
    QTest::newRow("missing file") << QByteArray("a\n") << QByteArray() << false << 1;
    QTest::newRow("past the limits") << QByteArray(40000, 'x') << QByteArray("x\n") << true << 1;
}

void EarlyComparisonTest::showsWhatCompareShows() {
    QFETCH(QByteArray, content1);
    QFETCH(QByteArray, content2);
    QFETCH(bool, secondExists);
    QFETCH(int, messages);
    const auto path1 = localPath(write("uno.txt", content1));
    const auto path2 = secondExists ? localPath(write("dos.txt", content2))
                                    : localPath(dir.filePath("no_existe.txt"));

    window->openFiles(path1, path2);
    const Outcome compared = outcomeOf(window, this->messages);

    RecordingMessages* recording = nullptr;
    const auto other = otherWindow(recording);
    {
        EarlyComparison early(path1, path2);
        other->openFiles(path1, path2, false, &early);
    }
    QVERIFY(QTest::qWaitForWindowExposed(other.get()));
    const Outcome early = outcomeOf(other.get(), recording);

    QCOMPARE(compared.messages.size(), messages);
    QCOMPARE(early.views, compared.views);
    QCOMPARE(early.messages, compared.messages);
    QCOMPARE(early.caret1, compared.caret1);
    QCOMPARE(early.caret2, compared.caret2);
    QCOMPARE(early.lines1, compared.lines1);
    QCOMPARE(early.lines2, compared.lines2);
    QVERIFY(early.pixels1 == compared.pixels1);
    QVERIFY(early.pixels2 == compared.pixels2);
}

// Paths typed over before the window took the early comparison are compared anew.
void EarlyComparisonTest::anEarlyComparisonOfOtherFilesIsNotShown() {
    const auto path1 = localPath(write("uno.txt", "uno\n"));
    const auto path2 = localPath(write("dos.txt", "dos\n"));
    const auto path3 = localPath(write("tres.txt", "tres\n"));
    EarlyComparison early(path1, path2);
    window->openFiles(path1, path3, false, &early);
    QCOMPARE(control<DiffView>("RTB1")->displayText(), QStringLiteral("uno\r\n"));
    QCOMPARE(control<DiffView>("RTB2")->displayText(), QStringLiteral("tres\r\n"));
}

QTEST_MAIN(EarlyComparisonTest)
#include "early_comparison_tests.moc"
