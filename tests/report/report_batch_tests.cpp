// The report reads differing line pairs a batch at a time, and writes them two chunks at once:
// across batch and chunk edges, with --max-lineas on and around them, and with lines long enough
// to cut a batch or a chunk short, the pass without limits gives the same text and JSON as the
// bounded comparison, or every line in order.

#include "report/report.h"
#include "report_test_support.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;
using Format = ReportRequest::Format;

using Result = ReportRun;

Result run(Format format, bool unlimited, std::optional<std::uint64_t> maxLines,
           const fs::path& layout = {}) {
    ReportRequest request;
    request.layout = layout;
    request.file1 = "uno.txt";
    request.file2 = "dos.txt";
    request.format = format;
    request.unlimited = unlimited;
    request.maxLines = maxLines;
    return runReport(request);
}

} // namespace

class ReportBatchTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void agreesWithBoundedPassAcrossBatches_data();
    void agreesWithBoundedPassAcrossBatches();
    void longLinesCutBatchesShort();
    void listsEveryPairAcrossChunks_data();
    void listsEveryPairAcrossChunks();

private:
    fs::path home_;
    std::unique_ptr<QTemporaryDir> dir_;
};

void ReportBatchTest::init() {
    home_ = fs::current_path();
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    fs::current_path(dir_->path().toStdString());
}

void ReportBatchTest::cleanup() {
    fs::current_path(home_);
    dir_.reset();
}

void ReportBatchTest::agreesWithBoundedPassAcrossBatches_data() {
    QTest::addColumn<int>("maxLines"); // -1: all
    QTest::addColumn<bool>("json");
    for (const bool json : {false, true}) {
        const char* format = json ? "json" : "text";
        for (const int maxLines : {-1, 0, 1, 255, 256, 257, 512, 700}) {
            QTest::addRow("%s, %d lines", format, maxLines) << maxLines << json;
        }
    }
}

// 602 differing line pairs of every kind (some batches of the report hold 256 of them), among
// equal lines, with lines only in file 2 at the end; small enough for the bounded comparison.
void ReportBatchTest::agreesWithBoundedPassAcrossBatches() {
    QFETCH(int, maxLines);
    QFETCH(bool, json);
    std::string file1, file2;
    for (int k = 0; k < 1800; ++k) {
        const std::string line = std::to_string(k % 10);
        file1 += line + (k % 5 == 0 ? "\r\n" : "\n");
        if (k % 3 != 1) {
            file2 += line + "\n";
        } else if (k % 2 == 0) {
            file2 += "é\t" + line + "\n";
        } else {
            file2 += line + "x\r";
        }
    }
    file2 += "solo\n\nen el dos\n";
    writeFile("uno.txt", file1);
    writeFile("dos.txt", file2);
    const std::optional<std::uint64_t> limit =
        maxLines < 0 ? std::nullopt : std::optional<std::uint64_t>(maxLines);
    const Format format = json ? Format::Json : Format::Text;

    const Result bounded = run(format, false, limit);
    const Result unlimited = run(format, true, limit);
    QCOMPARE(bounded.status, 1);
    QCOMPARE(bounded.err, std::string());
    QCOMPARE(unlimited.status, 1);
    QCOMPARE(unlimited.err, std::string());
    QCOMPARE(QString::fromStdString(unlimited.out), QString::fromStdString(bounded.out));
    const std::string marker = json ? "{\"line\": " : "Línea ";
    std::size_t shown = 0;
    for (std::size_t at = bounded.out.find(marker); at != std::string::npos;
         at = bounded.out.find(marker, at + 1)) {
        ++shown;
    }
    QCOMPARE(shown, std::min<std::size_t>(602, limit.value_or(602)));
}

// Pairs of 300000 characters: a batch stops after a few of them, and every pair still comes,
// in order, each cut to the columns a report goes over.
void ReportBatchTest::longLinesCutBatchesShort() {
    std::string file1, file2;
    constexpr int kLines = 9;
    for (int k = 0; k < kLines; ++k) {
        std::string line(300000, static_cast<char>('a' + k));
        file1 += line + "\n";
        line[static_cast<std::size_t>(k) * 1000] = 'Z';
        file2 += line + "\n";
    }
    writeFile("uno.txt", file1);
    writeFile("dos.txt", file2);
    const Result text = run(Format::Text, true, std::nullopt);
    QCOMPARE(text.status, 1);
    QCOMPARE(text.err, std::string());
    std::size_t from = 0;
    for (int k = 0; k < kLines; ++k) {
        const std::string header = "Línea " + std::to_string(k + 1) + ", columna " +
                                   std::to_string(k * 1000 + 1) +
                                   " (solo las primeras 262144 columnas de 300000):\n";
        const std::size_t at = text.out.find(header, from);
        QVERIFY2(at != std::string::npos, header.c_str());
        from = at + header.size();
    }
    QVERIFY(text.out.find("Línea " + std::to_string(kLines + 1)) == std::string::npos);

    const Result json = run(Format::Json, true, std::nullopt);
    QCOMPARE(json.status, 1);
    from = 0;
    for (int k = 0; k < kLines; ++k) {
        const std::string entry = "{\"line\": " + std::to_string(k + 1) +
                                  ", \"file1\": {\"length\": 300000, \"columns\": [[" +
                                  std::to_string(k * 1000 + 1) + ", " +
                                  std::to_string(k * 1000 + 1) + "]]}";
        const std::size_t at = json.out.find(entry, from);
        QVERIFY2(at != std::string::npos, entry.c_str());
        from = at + entry.size();
    }
    QVERIFY(json.out.find("\"shownLines\": 9,") != std::string::npos);
}

void ReportBatchTest::listsEveryPairAcrossChunks_data() {
    QTest::addColumn<int>("maxLines"); // -1: all
    QTest::addColumn<int>("format");   // 0 text, 1 JSON, 2 text with fields
    QTest::addColumn<int>("tail");     // characters after the fields
    for (const int format : {0, 1, 2}) {
        for (const int maxLines : {-1, 4096, 4097, 9000}) {
            QTest::addRow("format %d, %d lines", format, maxLines) << maxLines << format << 0;
        }
    }
    // Chunks that would hold more text than a chunk written into memory may.
    QTest::addRow("long lines") << -1 << 0 << 3000;
}

// 9 333 differing line pairs, more than two chunks of those written at once: every pair comes
// once, in order, whole, and the fields of all of them are counted.
void ReportBatchTest::listsEveryPairAcrossChunks() {
    QFETCH(int, maxLines);
    QFETCH(int, format);
    QFETCH(int, tail);
    std::string file1, file2;
    std::vector<int> differing;
    const std::string rest(std::size_t(tail), 'c');
    for (int k = 0; k < 14000; ++k) {
        const std::string number = std::to_string(10000 + k);
        file1 += "REG" + number + " AAAA BBBB" + rest + "\n";
        file2 += "REG" + number + (k % 2 == 0 ? " AXAA" : " AAAA") +
                 (k % 3 == 0 ? " BBBY" : " BBBB") + rest + "\n";
        if (k % 2 == 0 || k % 3 == 0) {
            differing.push_back(k + 1);
        }
    }
    writeFile("uno.txt", file1);
    writeFile("dos.txt", file2);
    writeFile("registro.campos", "campos 1\nUNO 10 4\nDOS 15 4\n");
    const std::size_t shown =
        maxLines < 0 ? differing.size() : std::min<std::size_t>(differing.size(), maxLines);
    const Result result = run(format == 1 ? Format::Json : Format::Text, true,
                              maxLines < 0 ? std::nullopt : std::optional<std::uint64_t>(maxLines),
                              format == 2 ? fs::path("registro.campos") : fs::path());
    QCOMPARE(result.status, 1);
    QCOMPARE(result.err, std::string());
    const std::string& out = result.out;
    std::size_t at = 0;
    for (std::size_t i = 0; i < shown; ++i) {
        const std::string header = format == 1 ? "{\"line\": " + std::to_string(differing[i]) + ", "
                                               : "\nLínea " + std::to_string(differing[i]) + ", ";
        const std::size_t found = out.find(header, at);
        QVERIFY2(found != std::string::npos, header.c_str());
        const std::string_view between(out.data() + at, found - at);
        if (i > 0 && format != 1) {
            // The rest of its header, two rows of text and two of marks, and a line for each of
            // its fields that differs.
            const int k = differing[i - 1] - 1;
            const int fields = format == 2 ? (k % 2 == 0) + (k % 3 == 0) : 0;
            QCOMPARE(std::count(between.begin(), between.end(), '\n'), 5 + fields);
        }
        // No other pair's header (a field's line names its pair too).
        QVERIFY2(between.find(format == 1 ? "{\"line\"" : ", columna") == std::string_view::npos,
                 header.c_str());
        at = found + header.size();
    }
    QVERIFY(out.find(format == 1 ? "{\"line\"" : ", columna", at) == std::string::npos);
    if (format == 2 && maxLines < 0) {
        QVERIFY(out.find("  UNO (10-13): 7000 líneas\n  DOS (15-18): 4667 líneas\n") !=
                std::string::npos);
    }
    if (format == 1) {
        QVERIFY(out.find("\"shownLines\": " + std::to_string(shown) + ",") != std::string::npos);
    }
}

QTEST_GUILESS_MAIN(ReportBatchTest)
#include "report_batch_tests.moc"
