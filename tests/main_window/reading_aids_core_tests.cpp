// The widget-free core of the reading aids: lines and columns of a text, the notes of the moves
// between differences, and the names of a file's line breaks.

#include "main_window/comparison_summary.h"
#include "main_window/reading_aids.h"
#include "main_window/text_grid.h"
#include "window_test_support.h"

#include <QObject>
#include <QTest>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

Q_DECLARE_METATYPE(TextCell)
Q_DECLARE_METATYPE(TextPlace)

namespace {

// "ab\r\n" "\r\n" "cde\r\n": three lines, as the engine's display text ends every one.
const std::u32string kText = U"ab\r\n\r\ncde\r\n";
const std::vector<int> kLineStarts = {0, 4, 6, 11};

TextPlace character(char32_t c) { return {TextPlace::Kind::Character, c}; }
TextPlace kind(TextPlace::Kind kind) { return {kind}; }

} // namespace

class ReadingAidsCoreTest : public QObject {
    Q_OBJECT

private slots:
    void placesOfAText_data();
    void placesOfAText();
    void cellsAndOffsets();
    void aTextWithoutAFinalBreak();
    void notesOfMoves_data();
    void notesOfMoves();
    void namesOfLineBreaks_data();
    void namesOfLineBreaks();
};

void ReadingAidsCoreTest::placesOfAText_data() {
    QTest::addColumn<TextCell>("cell");
    QTest::addColumn<TextPlace>("place");
    QTest::newRow("first character") << TextCell{0, 0} << character(U'a');
    QTest::newRow("end of a line") << TextCell{0, 2} << kind(TextPlace::Kind::LineEnd);
    QTest::newRow("past the end of a line") << TextCell{0, 3} << kind(TextPlace::Kind::PastLineEnd);
    QTest::newRow("empty line") << TextCell{1, 0} << kind(TextPlace::Kind::LineEnd);
    QTest::newRow("last character") << TextCell{2, 2} << character(U'e');
    QTest::newRow("after the last line") << TextCell{3, 0} << kind(TextPlace::Kind::NoLine);
    QTest::newRow("far below") << TextCell{40, 1} << kind(TextPlace::Kind::NoLine);
}

void ReadingAidsCoreTest::placesOfAText() {
    QFETCH(TextCell, cell);
    QFETCH(TextPlace, place);
    const TextGrid grid(kText, kLineStarts);
    QCOMPARE(grid.lineCount(), 3);
    QVERIFY(grid.placeAt(cell) == place);
}

void ReadingAidsCoreTest::cellsAndOffsets() {
    const TextGrid grid(kText, kLineStarts);
    const std::vector<std::pair<int, TextCell>> cases = {
        {0, {0, 0}}, {1, {0, 1}}, {2, {0, 2}}, {3, {0, 2}}, // CR and LF end line 1
        {4, {1, 0}}, {6, {2, 0}}, {8, {2, 2}}, {11, {3, 0}}};
    for (const auto& [offset, cell] : cases) {
        QCOMPARE(grid.cellOf(offset), cell);
    }
    QCOMPARE(grid.offsetOf({2, 1}), 7);
    QCOMPARE(grid.offsetOf({0, 9}), 2); // kept within the line
    QCOMPARE(grid.offsetOf({9, 0}), 11);
}

void ReadingAidsCoreTest::aTextWithoutAFinalBreak() {
    const std::u32string text = U"ab\ncd";
    const std::vector<int> starts = {0, 3};
    const TextGrid grid(text, starts);
    QCOMPARE(grid.lineCount(), 2);
    QVERIFY(grid.line(1) == U"cd");
    QCOMPARE(TextGrid(U"", std::vector<int>{0}).lineCount(), 0);
}

void ReadingAidsCoreTest::notesOfMoves_data() {
    QTest::addColumn<std::vector<int>>("lines");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column"); // -1: none
    QTest::addColumn<bool>("forward");
    QTest::addColumn<QString>("note");
    const std::vector<int> lines = {2, 44, 90};
    QTest::newRow("first") << lines << 2 << -1 << true << "Diferencia 1 de 3 · línea 3";
    QTest::newRow("last with a column")
        << lines << 90 << 6 << true << "Diferencia 3 de 3 · línea 91, columna 7";
    QTest::newRow("none further down")
        << lines << 95 << -1 << true << "Ninguna diferencia más abajo";
    QTest::newRow("none further up")
        << lines << 0 << -1 << false << "Ninguna diferencia más arriba";
    QTest::newRow("none at all") << std::vector<int>{} << 0 << -1 << true << "No hay diferencias";
}

void ReadingAidsCoreTest::notesOfMoves() {
    QFETCH(std::vector<int>, lines);
    QFETCH(int, line);
    QFETCH(int, column);
    QFETCH(bool, forward);
    QFETCH(QString, note);
    const auto at = std::find(lines.begin(), lines.end(), line);
    const std::optional<std::uint64_t> index =
        at == lines.end() ? std::nullopt : std::optional(std::uint64_t(at - lines.begin()));
    QCOMPARE(ReadingAids::note(index, lines.size(), std::uint64_t(line),
                               column < 0 ? std::nullopt : std::optional(std::uint64_t(column)),
                               forward),
             note);
}

void ReadingAidsCoreTest::namesOfLineBreaks_data() {
    QTest::addColumn<int>("crLf");
    QTest::addColumn<int>("lf");
    QTest::addColumn<int>("cr");
    QTest::addColumn<QString>("name");
    QTest::newRow("none") << 0 << 0 << 0 << "ninguno";
    QTest::newRow("CR LF") << 3 << 0 << 0 << "CR LF";
    QTest::newRow("LF") << 0 << 2 << 0 << "LF";
    QTest::newRow("CR") << 0 << 0 << 1 << "CR";
    QTest::newRow("two kinds") << 1 << 1 << 0 << "CR LF y LF";
    QTest::newRow("three kinds") << 1 << 1 << 1 << "CR LF, LF y CR";
}

void ReadingAidsCoreTest::namesOfLineBreaks() {
    QFETCH(int, crLf);
    QFETCH(int, lf);
    QFETCH(int, cr);
    QFETCH(QString, name);
    parvane::FileTraits traits;
    traits.crLfBreaks = std::size_t(crLf);
    traits.lfBreaks = std::size_t(lf);
    traits.crBreaks = std::size_t(cr);
    QCOMPARE(comparison_summary::lineBreaksOf(traits), name);
}

QTEST_GUILESS_MAIN(ReadingAidsCoreTest)
#include "reading_aids_core_tests.moc"
