// The report mode for scripts: its text, JSON and HTML output on small files made here, its exit
// statuses for every kind of bad input, a reader that goes away, a full disk, and agreement of
// the differing characters it reports with compareFiles().
//
// Every test works in its own temporary folder, which is the current one, so that file names in
// the output are short and known.

#include "comparison/comparison.h"
#include "comparison/text_decoding.h"
#include "report/report.h"
#include "report_test_support.h"
#include "tests/support/run_as_nobody.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Format = ReportRequest::Format;

using Result = ReportRun;

Result run(const ReportRequest& request) { return runReport(request); }

ReportRequest request(fs::path file1, fs::path file2, Format format = Format::Text,
                      bool unlimited = false) {
    ReportRequest r;
    r.file1 = std::move(file1);
    r.file2 = std::move(file2);
    r.format = format;
    r.unlimited = unlimited;
    return r;
}

// Writes the files most tests compare, uno.txt and dos.txt.
void writeBoth(const std::string& file1, const std::string& file2) {
    writeFile("uno.txt", file1);
    writeFile("dos.txt", file2);
}

// The whole of a file, such as the page the report wrote.
std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// `lines` times `line`.
std::string repeated(const std::string& line, int lines) {
    std::string text;
    for (int k = 0; k < lines; ++k) {
        text += line;
    }
    return text;
}

// What the report says when it may not write its page at `path`.
std::string pageRefusal(const std::string& path, const std::string& reason) {
    return "No se puede escribir «" + path + "»: " + reason +
           ". Elija otra ruta para la página HTML.\n";
}

// `r` in JSON, or with its page written to pagina.html.
ReportRequest inJson(ReportRequest r) {
    r.format = Format::Json;
    return r;
}
ReportRequest withPage(ReportRequest r) {
    r.html = "pagina.html";
    return r;
}

// Every one of `parts` is somewhere in `text`.
void expectParts(const std::string& text, std::initializer_list<const char*> parts) {
    for (const char* part : parts) {
        QVERIFY2(text.find(part) != std::string::npos, (part + ("\nnot in:\n" + text)).c_str());
    }
}

// The names of the entries of `folder`.
std::set<std::string> entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().native());
    }
    return names;
}

QJsonObject parseJson(const std::string& text) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        qWarning("not a JSON object (%s): %s", qPrintable(error.errorString()), text.c_str());
        return {};
    }
    return document.object();
}

// The message compareFiles() throws for these files (what the window shows), or "".
std::string engineMessage(const fs::path& file1, const fs::path& file2) {
    try {
        parvane::compareFiles(file1, file2);
    } catch (const parvane::ComparisonError& error) {
        return error.what();
    }
    return {};
}

// compareFiles()' differing positions, rebuilt from the JSON report's line numbers and runs:
// the position of column c of line k is one more than the characters and line breaks (two
// each) before it.
std::vector<std::int16_t> positionsFromJson(const QJsonObject& report, const std::string& display,
                                            const QString& file) {
    std::vector<std::uint64_t> lineStarts;
    std::uint64_t position = 1;
    for (std::size_t start = 0; start < display.size();) {
        const std::size_t end = display.find("\r\n", start);
        std::u32string line;
        parvane::decodeUtf8(std::string_view(display).substr(start, end - start), line);
        lineStarts.push_back(position);
        position += line.size() + 2;
        start = end + 2;
    }
    std::vector<std::int16_t> positions;
    for (const QJsonValue& entry : report["lines"].toArray()) {
        const QJsonValue side = entry.toObject()[file];
        if (side.isNull()) {
            continue;
        }
        const auto line = static_cast<std::size_t>(entry.toObject()["line"].toInteger() - 1);
        for (const QJsonValue& run : side.toObject()["columns"].toArray()) {
            for (qint64 c = run.toArray()[0].toInteger(); c <= run.toArray()[1].toInteger(); ++c) {
                positions.push_back(static_cast<std::int16_t>(lineStarts.at(line) + c - 1));
            }
        }
    }
    return positions;
}

} // namespace

class ReportTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void textReport_data();
    void textReport();
    void caretsStandUnderClusters_data();
    void caretsStandUnderClusters();
    void longLineIsShownInPieces();
    void jsonReport();
    void jsonParses_data();
    void jsonParses();
    void jsonNamesAreExact();
    void htmlPage();
    void htmlKeepsMarkupAsText();
    void htmlShowsContextOnly_data();
    void htmlShowsContextOnly();
    void htmlLeavesStdoutTheSummary();
    void htmlUnwritable_data();
    void htmlUnwritable();
    void htmlReadOnlyFolder();

    void badInput_data();
    void badInput();
    void unreadableFile();
    void tooLargeNeedsUnlimited();
    void regressionDevNullIsAnEmptyFileAndUtf16IsRefused();
    void veryLongLineIsCutButEveryRunIsNamed();
    void shiftedFileIsNamedInEveryForm();
    void eachFileDecodedAsTold();
    void fieldsAreNamedInEveryForm();
    void malformedLayoutIsTrouble();
    void leftOutIsCountedApart();
    void fileNamesAreBytes();

    void brokenPipeEndsQuietly();
    void readerThatLeavesEarly();
    void fullDeviceIsTrouble();

    void agreesWithCompareFiles_data();
    void agreesWithCompareFiles();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    fs::path home_;
};

void ReportTest::init() {
    home_ = fs::current_path();
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    fs::current_path(dir_->path().toStdString());
}

void ReportTest::cleanup() {
    fs::current_path(home_);
    // Names that are not UTF-8 are beyond QTemporaryDir.
    std::error_code ignored;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir_->path().toStdString())) {
        fs::remove_all(entry.path(), ignored);
    }
    dir_.reset();
}

// Files of one or two lines and what the text report says of them, whole.
void ReportTest::textReport_data() {
    QTest::addColumn<QByteArray>("file1");
    QTest::addColumn<QByteArray>("file2");
    QTest::addColumn<int>("maxLines"); // -1: all
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("expected");

    const QString head = "Fichero 1: «uno.txt»\nFichero 2: «dos.txt»\nCodificación: UTF-8\n\n";
    auto totals = [](int lines, int pairs, int chars1, int chars2, int only1, int only2) {
        return QString("Líneas que difieren: %1 de %2\nCaracteres que difieren: %3 en el fichero "
                       "1, %4 en el fichero 2\nLíneas que solo tiene el fichero 1: %5\nLíneas "
                       "que solo tiene el fichero 2: %6\n")
            .arg(lines)
            .arg(pairs)
            .arg(chars1)
            .arg(chars2)
            .arg(only1)
            .arg(only2);
    };

    QTest::newRow("columns") << QByteArray("abcdefghi\n") << QByteArray("abXYZfghj\n") << -1 << 1
                             << head +
                                    "Línea 1, columnas 3-5, 9:\n"
                                    "  fichero 1: abcdefghi\n"
                                    "               ^^^   ^\n"
                                    "  fichero 2: abXYZfghj\n"
                                    "               ^^^   ^\n\n" +
                                    totals(1, 1, 4, 4, 0, 0);
    QTest::newRow("one column, longer line")
        << QByteArray("hola\n") << QByteArray("hola!\n") << -1 << 1
        << head +
               "Línea 1, columna 5:\n"
               "  fichero 1: hola\n"
               "  fichero 2: hola!\n"
               "                 ^\n\n" +
               totals(1, 1, 0, 1, 0, 0);
    // A tab stays a tab under itself; a differing one gets "^" and a tab, or just "^" where the
    // tab takes one column (here the prefix is 13 columns wide, so column 16 is a stop).
    QTest::newRow("tabs") << QByteArray("\tab\tc\na\tb\nab\tc\n")
                          << QByteArray("\tXb\tc\na b\nab c\n") << -1 << 1
                          << head +
                                 "Línea 1, columna 2:\n"
                                 "  fichero 1: \tab\tc\n"
                                 "             \t^\n"
                                 "  fichero 2: \tXb\tc\n"
                                 "             \t^\n\n"
                                 "Línea 2, columna 2:\n"
                                 "  fichero 1: a\tb\n"
                                 "              ^\n"
                                 "  fichero 2: a b\n"
                                 "              ^\n\n"
                                 "Línea 3, columna 3:\n"
                                 "  fichero 1: ab\tc\n"
                                 "               ^\n"
                                 "  fichero 2: ab c\n"
                                 "               ^\n\n" +
                                 totals(3, 3, 3, 3, 0, 0);
    QTest::newRow("wide characters")
        << QByteArray("a語b日本\n") << QByteArray("a人c日本\n") << -1 << 1
        << head +
               "Línea 1, columnas 2-3:\n"
               "  fichero 1: a語b日本\n"
               "              ^ ^\n"
               "  fichero 2: a人c日本\n"
               "              ^ ^\n\n" +
               totals(1, 1, 2, 2, 0, 0);
    QTest::newRow("combining mark")
        << QByteArray("cafe\xCC\x81!\n") << QByteArray("cafe!!\n") << -1 << 1
        << head +
               "Línea 1, columna 5:\n"
               "  fichero 1: cafe\xCC\x81!\n"
               "                ^\n"
               "  fichero 2: cafe!!\n"
               "                 ^\n\n" +
               totals(1, 1, 1, 1, 0, 0);
    // With nothing before it on the line, a mark is drawn on the prefix's last column.
    QTest::newRow("combining mark at the start of a line")
        << QByteArray("\u0301a\n") << QByteArray("\u0300a\n") << -1 << 1
        << head +
               "Línea 1, columna 1:\n"
               "  fichero 1: \u0301a\n"
               "            ^\n"
               "  fichero 2: \u0300a\n"
               "            ^\n\n" +
               totals(1, 1, 1, 1, 0, 0);
    QTest::newRow("missing in file 2") << QByteArray("uno\ndos\n") << QByteArray("uno\n") << -1 << 1
                                       << head +
                                              "Línea 2, columnas 1-3, falta en el fichero 2:\n"
                                              "  fichero 1: dos\n"
                                              "             ^^^\n\n" +
                                              totals(1, 2, 3, 0, 1, 0);
    QTest::newRow("missing in file 1") << QByteArray("uno") << QByteArray("uno\r\n\r\nx") << -1 << 1
                                       << head +
                                              "Línea 3, columna 1, falta en el fichero 1:\n"
                                              "  fichero 2: x\n"
                                              "             ^\n\n" +
                                              totals(1, 3, 0, 1, 0, 2);
    QTest::newRow("empty against full") << QByteArray("\n") << QByteArray("ab\n") << -1 << 1
                                        << head +
                                               "Línea 1, columnas 1-2:\n"
                                               "  fichero 1:\n"
                                               "  fichero 2: ab\n"
                                               "             ^^\n\n" +
                                               totals(1, 1, 0, 2, 0, 0);
    QTest::newRow("control characters")
        << QByteArray("a\x1B[2Jb\x7F\n") << QByteArray("a\x1B[2Kb\x7F\xE2\x80\xAE\n") << -1 << 1
        << head +
               "Línea 1, columnas 5, 8:\n"
               "  fichero 1: a\\x1B[2Jb\\x7F\n"
               "                    ^\n"
               "  fichero 2: a\\x1B[2Kb\\x7F\\u202E\n"
               "                    ^     ^^^^^^\n\n" +
               totals(1, 1, 1, 2, 0, 0);
    QTest::newRow("Windows-1252")
        << QByteArray("caf\xE9\x81\n") << QByteArray("cafe\n") << -1 << 1
        << QString("Fichero 1: «uno.txt»\nFichero 2: «dos.txt»\nCodificación: Windows-1252\n\n"
                   "Línea 1, columnas 4-5:\n"
                   "  fichero 1: café\\u0081\n"
                   "                ^^^^^^^\n"
                   "  fichero 2: cafe\n"
                   "                ^\n\n") +
               totals(1, 1, 2, 1, 0, 0) +
               "El primer fichero no es UTF-8 válido: ambos se leen como Windows-1252\n";
    // Regression: identical characters said nothing of the bytes, which matter to whoever
    // uploads the file.
    QTest::newRow("identical characters, other line ends")
        << QByteArray("a\tb\nc\n") << QByteArray("a\tb\r\nc") << -1 << 0
        << "Estos dos ficheros son idénticos\nLos saltos de línea difieren: LF / CR LF\n"
           "Solo el primer fichero termina con un salto de línea\n";
    // As in the window, an empty line with no partner has nothing to colour.
    QTest::newRow("identical but an empty last line")
        << QByteArray("a\n\n") << QByteArray("a\n") << -1 << 0
        << "Estos dos ficheros son idénticos\n";
    QTest::newRow("identical empty files")
        << QByteArray() << QByteArray() << 3 << 0 << "Estos dos ficheros son idénticos\n";

    const QByteArray three1 = "a\nb\nc\nd\n";
    const QByteArray three2 = "x\nb\ny\nz\n";
    const QString line1 = "Línea 1, columna 1:\n  fichero 1: a\n             ^\n"
                          "  fichero 2: x\n             ^\n\n";
    const QString line3 = "Línea 3, columna 1:\n  fichero 1: c\n             ^\n"
                          "  fichero 2: y\n             ^\n\n";
    QTest::newRow("max lines 2 of 3")
        << three1 << three2 << 2 << 1
        << head + line1 + line3 + "… se muestran las primeras 2 líneas que difieren de 3.\n\n" +
               totals(3, 4, 3, 3, 0, 0);
    QTest::newRow("max lines 1 of 3")
        << three1 << three2 << 1 << 1
        << head + line1 + "… se muestra la primera línea que difiere de 3.\n\n" +
               totals(3, 4, 3, 3, 0, 0);
    QTest::newRow("max lines 0")
        << three1 << three2 << 0 << 1
        << head + "… no se muestra ninguna de las 3 líneas que difieren.\n\n" +
               totals(3, 4, 3, 3, 0, 0);
    QTest::newRow("max lines above the count") << three1 << three2 << 3 << 1
                                               << head + line1 + line3 +
                                                      "Línea 4, columna 1:\n  fichero 1: d\n  "
                                                      "           ^\n  fichero 2: z\n        "
                                                      "     ^\n\n" +
                                                      totals(3, 4, 3, 3, 0, 0);
}

void ReportTest::textReport() {
    QFETCH(QByteArray, file1);
    QFETCH(QByteArray, file2);
    QFETCH(int, maxLines);
    QFETCH(int, status);
    QFETCH(QString, expected);
    writeBoth(file1.toStdString(), file2.toStdString());

    for (const bool unlimited : {false, true}) {
        ReportRequest r = request("uno.txt", "dos.txt", Format::Text, unlimited);
        if (maxLines >= 0) {
            r.maxLines = static_cast<std::uint64_t>(maxLines);
        }
        const Result result = run(r);
        QCOMPARE(QString::fromStdString(result.out), expected);
        QCOMPARE(result.status, status);
        QCOMPARE(result.err, std::string());
    }
}

// The ^ rows on a terminal: each mark stands under the first column of its grapheme cluster,
// placed by the terminal widths of the clusters before it (a cluster as wide as its widest
// character: marks and joiners take nothing, emoji presentation two). Rows: each file's line and
// its ^ row after the prefix.
void ReportTest::caretsStandUnderClusters_data() {
    QTest::addColumn<QString>("line1");
    QTest::addColumn<QString>("line2");
    QTest::addColumn<QString>("carets1");
    QTest::addColumn<QString>("carets2");

    // A sample followed by a differing letter: the ^ stands as far in as the sample is wide.
    auto sample = [](const char* name, const QString& text, int width) {
        const QString carets = QString(width, ' ') + '^';
        QTest::newRow(name) << text + 'x' << text + 'y' << carets << carets;
    };
    sample("ASCII", "abc", 3);
    sample("precomposed accent", "café", 4);
    sample("combining accent", "cafe\u0301", 4);
    sample("two combining marks", "a\u0323\u0302", 1);
    sample("CJK", "日本語", 6);
    sample("full width", "ＡＢ", 4);
    sample("Hangul syllables", "한국", 4);
    sample("decomposed Hangul", "\u1112\u1161\u11AB", 2);
    sample("Thai vowels and tone marks", "ที่นี่", 2);
    sample("Thai sara am", "น้ำ", 1);
    // No consonant after the virama: from Unicode 15.1 on, a virama joins the consonants on both
    // sides into one cluster, and the sample stays the same whichever utf8proc measures it.
    sample("Devanagari virama", "वाक्", 2);
    sample("Devanagari vowel sign", "का", 1);
    sample("Bengali", "বাংলা", 2);
    sample("Tamil", "தமிழ்", 3);
    sample("Khmer", "ខ្មែរ", 3);
    sample("Tibetan", "བོད་", 3);
    sample("Myanmar", "မြန်မာ", 3);
    sample("Arabic vowel marks", "مَرْحَبًا", 5);
    sample("Arabic number sign", "\u0600\u0661", 1);
    sample("Hebrew points", "שָׁלוֹם", 4);
    sample("Syriac", "ܫܠܡܐ\u0730", 4);
    sample("N'Ko", "ߒߞߏ\u07EB", 3);
    sample("check mark", "✅", 2);
    sample("cross mark", "❌", 2);
    sample("star", "⭐", 2);
    sample("high voltage", "⚡", 2);
    sample("melting face", "🫠", 2);
    sample("heart as text", "❤", 1);
    sample("heart as emoji", "❤\uFE0F", 2);
    sample("keycap", "1\uFE0F\u20E3", 2);
    sample("flag", "🇪🇸", 2);
    sample("skin tone", "👍🏽", 2);
    sample("joined emoji", "👩\u200D💻", 2);
    sample("family", "👨\u200D👩\u200D👧", 2);
    sample("escape", "\x01", 4);

    // A differing character inside a cluster marks the cluster, at the same place in both rows
    // (but where one side shows an emoji and the other text).
    auto differing = [](const char* name, const QString& line1, const QString& line2,
                        const QString& carets) {
        QTest::newRow(name) << line1 << line2 << carets << carets;
    };
    differing("differing accent", "cafe\u0301!", "cafe\u0300!", "   ^");
    differing("differing accent on a wide character", "語\u0301", "語\u0300", "^");
    differing("differing Thai tone mark", "ที่a", "ที้a", "^");
    differing("differing Hangul final", "\u1112\u1161\u11ABa", "\u1112\u1161\u11A8a", "^");
    differing("differing skin tone", "👍🏻a", "👍🏿a", "^");
    differing("differing joined emoji", "👩\u200D💻a", "👩\u200D🔬a", "^");
    differing("differing second flag", "🇪🇸🇫🇷a", "🇪🇸🇫🇮a", "  ^");
    QTest::newRow("emoji presentation on one side") << "❤a"
                                                    << "❤\uFE0Fa"
                                                    << " ^"
                                                    << "^ ^";
    // A mark with nothing to be drawn on: the ^ goes in the column before it.
    differing("mark after a tab", "a\t\u0301", "a\t\u0300", "  ^");
    differing("mark after an escape", "\x01\u0301", "\x01\u0300", "   ^");
}

void ReportTest::caretsStandUnderClusters() {
    QFETCH(QString, line1);
    QFETCH(QString, line2);
    QFETCH(QString, carets1);
    QFETCH(QString, carets2);
    writeBoth((line1 + '\n').toStdString(), (line2 + '\n').toStdString());
    const Result result = run(request("uno.txt", "dos.txt"));
    QCOMPARE(result.status, 1);
    const QStringList rows = QString::fromStdString(result.out).split('\n');
    const QString prefix(13, ' ');
    QCOMPARE(rows[6], prefix + carets1);
    QCOMPARE(rows[8], prefix + carets2);
}

// A line longer than a piece is shown in pieces, only those that hold a difference.
void ReportTest::longLineIsShownInPieces() {
    std::string line1(10000, 'a');
    std::string line2 = line1;
    line2[4999] = 'X';
    line2[9999] = 'Y';
    writeBoth(line1 + "\n", line2 + "\n");
    const Result result = run(request("uno.txt", "dos.txt"));
    QCOMPARE(result.status, 1);
    const QStringList lines = QString::fromStdString(result.out).split('\n');
    QCOMPARE(lines[4], QStringLiteral("Línea 1, columnas 5000, 10000:"));
    QCOMPARE(lines[5], QStringLiteral("  columnas 4097-8192:"));
    QCOMPARE(lines[6], "  fichero 1: " + QString(4096, 'a'));
    QCOMPARE(lines[7], QString(13 + 903, ' ') + '^');
    QCOMPARE(lines[8].size(), 13 + 4096);
    QCOMPARE(lines[10], QStringLiteral("  columnas 8193-10000:"));
    QCOMPARE(lines[12], QString(13 + 1807, ' ') + '^');
    QCOMPARE(lines[14], QString(13 + 1807, ' ') + '^');
    QCOMPARE(lines[15], QString());
}

void ReportTest::jsonReport() {
    writeBoth("abc\nsame\nxy\n", "abd\nsame\n");
    const Result result = run(request("uno.txt", "dos.txt", Format::Json));
    QCOMPARE(result.status, 1);
    QCOMPARE(QString::fromStdString(result.out), QStringLiteral(R"({
  "file1": "uno.txt",
  "file2": "dos.txt",
  "decoding": "UTF-8",
  "identical": false,
  "lines1": 3,
  "lines2": 2,
  "totals": {"differingLines": 2, "differingCharacters1": 3, "differingCharacters2": 1, "linesOnlyIn1": 1, "linesOnlyIn2": 0},
  "notes": [],
  "lines": [
    {"line": 1, "file1": {"length": 3, "columns": [[3, 3]]}, "file2": {"length": 3, "columns": [[3, 3]]}, "cut": false},
    {"line": 3, "file1": {"length": 2, "columns": [[1, 2]]}, "file2": null, "cut": false}
  ],
  "shownLines": 2,
  "truncated": false
}
)"));
    writeFile("dos.txt", "abc\r\nsame\r\nxy");
    const QJsonObject same = parseJson(run(request("uno.txt", "dos.txt", Format::Json)).out);
    QCOMPARE(same["notes"].toArray(),
             (QJsonArray{"Los saltos de línea difieren: LF / CR LF",
                         "Solo el primer fichero termina con un salto de línea"}));
}

// A record missing from line 2 501 on is named once, after the totals, in the text, the JSON
// notes and the page, within the limits and without them.
void ReportTest::shiftedFileIsNamedInEveryForm() {
    std::string records1, records2;
    for (int k = 1; k <= 2600; ++k) {
        const std::string record = "R" + std::to_string(k) + "\n"; // within the display limits
        records1 += record;
        records2 += k == 2501 ? "" : record;
    }
    writeBoth(records1, records2);
    const std::string note = "Desde la línea 2 501, el fichero 2 parece desplazado una línea: le "
                             "falta una línea respecto al fichero 1";
    for (const bool unlimited : {false, true}) {
        ReportRequest text = request("uno.txt", "dos.txt", Format::Text, unlimited);
        text.maxLines = 0;
        text.html = "pagina.html";
        const Result result = run(text);
        QCOMPARE(result.status, 1);
        QVERIFY2(result.out.ends_with("Líneas que solo tiene el fichero 2: 0\n" + note + "\n"),
                 result.out.c_str());
        const std::string html = readText("pagina.html");
        QVERIFY(html.find("<p>" + note + "</p>") != std::string::npos);
        ReportRequest json = request("uno.txt", "dos.txt", Format::Json, unlimited);
        QCOMPARE(parseJson(run(json).out)["notes"].toArray(),
                 QJsonArray{QString::fromStdString(note)});
    }
}

// A Latin-1 file and its UTF-8 copy, each decoded as told: identical, and the report says how
// each was read; a file told to be UTF-8 that is not is refused with status 2.
void ReportTest::eachFileDecodedAsTold() {
    using enum parvane::DecodingChoice;
    writeBoth("N\xD3MINA \xD1"
              "and\xFA\r\n2\n",
              "NÓMINA Ñandú\r\n3\n");
    for (const bool unlimited : {false, true}) {
        ReportRequest text = request("uno.txt", "dos.txt", Format::Text, unlimited);
        text.decodings = parvane::DecodingChoices{Latin1, Utf8};
        const Result result = run(text);
        QCOMPARE(result.status, 1);
        QVERIFY2(result.out.starts_with("Fichero 1: «uno.txt»\nFichero 2: «dos.txt»\n"
                                        "Codificación: Latin-1 / UTF-8\n\nLínea 2, columna 1:\n"),
                 result.out.c_str());
        QVERIFY(result.out.ends_with(
            "\nEl primer fichero se lee como Latin-1 y el segundo como UTF-8\n"));
        ReportRequest json = request("uno.txt", "dos.txt", Format::Json, unlimited);
        json.decodings = parvane::DecodingChoices{Auto, Auto};
        QCOMPARE(parseJson(run(json).out)["decoding"].toString(), "Windows-1252 / UTF-8");
        ReportRequest strict = request("uno.txt", "dos.txt", Format::Text, unlimited);
        strict.decodings = parvane::DecodingChoices{Utf8, Utf8};
        const Result refused = run(strict);
        QCOMPARE(refused.status, 2);
        QVERIFY2(refused.err.find("No se puede leer «uno.txt» como UTF-8: no es UTF-8 válido") !=
                     std::string::npos,
                 refused.err.c_str());
        QCOMPARE(refused.out, std::string());
    }
}

// A layout of two record types: a changed field of each, a change between fields, a line of no
// type, and a line that file 1 lacks, in the text, the JSON and the page, within the limits and
// without them.
void ReportTest::fieldsAreNamedInEveryForm() {
    writeBoth("H2024\nD01ANA 0012,50\nD02EVA 0007,00\nX\n",
              "H2025\nD01ANA 0012,55\nD02EVa#0007,00\nY\nD03LUZ 0001,00\n");
    writeFile("n.campos", "campos 1\nregistro CAB si 1 1 \"H\"\n  ANNO 2 4\n"
                          "registro DET si 1 1 \"D\"\n  ID 2 2\n  NOMBRE 4 3\n  IMPORTE 8 *\n");
    for (const bool unlimited : {false, true}) {
        ReportRequest text = request("uno.txt", "dos.txt", Format::Text, unlimited);
        text.layout = "n.campos";
        const Result result = run(text);
        QCOMPARE(result.status, 1);
        expectParts(result.out,
                    {"Línea 1, campo ANNO (2-5): 2024 → 2025\n",
                     "Línea 2, campo IMPORTE (8-): 0012,50 → 0012,55\n",
                     "Línea 3, campo NOMBRE (4-6): EVA → EVa\nLínea 3, columna 7, fuera de los "
                     "campos\n",
                     "Línea 4, sin campos: no es de ningún registro de «n.campos»\n",
                     "Línea 5, campo ID (2-3): (no hay línea) → 03\n",
                     "\nCampos que difieren, según «n.campos»:\n  CAB ANNO (2-5): 1 línea\n"
                     "  DET ID (2-3): 1 línea\n  DET NOMBRE (4-6): 2 líneas\n"
                     "  DET IMPORTE (8-): 2 líneas\n  fuera de los campos: 2 líneas\n"
                     "  sin registro: 1 línea\n"});
        const QJsonObject document = parseJson(run(inJson(text)).out);
        const QJsonObject third = document["lines"].toArray()[2].toObject()["fields"].toObject();
        QCOMPARE(third["record"].toString(), "DET");
        QCOMPARE(third["runs"].toArray()[0].toObject()["value2"].toString(), "EVa");
        QVERIFY(third["runs"].toArray()[1].toObject()["field"].isNull());
        QCOMPARE(document["lines"].toArray()[3].toObject()["fields"].toObject()["record"],
                 QJsonValue());
        const QJsonObject totals = document["fieldTotals"].toObject();
        QCOMPARE(totals["fields"].toArray().size(), 4);
        QCOMPARE(totals["fields"].toArray()[2].toObject()["lines"].toInt(), 2);
        QCOMPARE(totals["withoutRecord"].toInt(), 1);
        QCOMPARE(run(withPage(text)).status, 1);
        const std::string html = readText("pagina.html");
        expectParts(html, {"<th class=\"k\">Campos</th>",
                           "<td class=\"k\">NOMBRE, fuera de los campos</td>",
                           "<td class=\"k\">sin registro</td>",
                           "<tr><td>DET IMPORTE</td><td>8-</td><td>2</td></tr>"});
    }
}

// What the rules leave out is not listed (unless asked), is counted apart in every form, and files
// that differ only in it are identical; a layout's field flags are rules too.
void ReportTest::leftOutIsCountedApart() {
    writeBoth("2024-01-05 ANA   100\n2024-01-05 EVA   200\nCab \n",
              "2024-02-07 ana   100\n2024-02-07 EVA   201\nCab\n");
    writeFile("solo1.txt", "2024-01-05 ANA   100\nCab \n");
    writeFile("solo2.txt", "2024-02-07 ana   100\nCab\n");
    parvane::ComparisonRules rules;
    rules.addColumns("1-10");
    rules.setIgnoreCase(true);
    rules.setIgnoreTrailingBlanks(true);
    for (const bool unlimited : {false, true}) {
        ReportRequest text = request("uno.txt", "dos.txt", Format::Text, unlimited);
        text.rules = rules;
        Result result = run(text);
        QCOMPARE(result.status, 1);
        expectParts(
            result.out,
            {"Se omite: columnas 1-10; mayúsculas y minúsculas; blancos al final de la línea\n\n"
             "Línea 2, columna 20:\n",
             "Líneas que solo difieren en lo omitido: 2\n"
             "Caracteres que difieren en lo omitido: 8 en el fichero 1, 7 en el fichero 2\n"});
        QVERIFY(result.out.find("Línea 1") == std::string::npos);
        QVERIFY(result.out.find('~') == std::string::npos);

        text.showLeftOut = true;
        result = run(text);
        QCOMPARE(result.status, 1);
        expectParts(result.out, {"Línea 1, solo omitido: columnas 7, 10, 12-14:\n"
                                 "  fichero 1: 2024-01-05 ANA   100\n"
                                 "                   ~  ~ ~~~\n",
                                 "Línea 2, columna 20; omitido: columnas 7, 10:\n",
                                 "Línea 3, solo omitido: columna 4:\n"});

        ReportRequest same = request("solo1.txt", "solo2.txt", Format::Text, unlimited);
        same.rules = rules;
        result = run(same);
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, "Estos dos ficheros son idénticos\nCaracteres que difieren en lo "
                             "omitido: 6 en el fichero 1, 5 en el fichero 2\n");

        text.showLeftOut = false;
        const QJsonObject document = parseJson(run(inJson(text)).out);
        QCOMPARE(document["totals"].toObject()["leftOutCharacters1"].toInt(), 8);
        QCOMPARE(document["totals"].toObject()["leftOutLines"].toInt(), 2);
        QCOMPARE(document["rules"].toArray().size(), 3);
        const QJsonArray runs =
            document["lines"].toArray()[0].toObject()["file1"].toObject()["runs"].toArray();
        QCOMPARE(runs.size(), 3);
        QCOMPARE(runs[0].toObject()["status"].toString(), "leftOut");
        QCOMPARE(runs[2].toObject()["status"].toString(), "counted");
        QCOMPARE(runs[2].toObject()["columns"].toArray()[0].toInt(), 20);

        QCOMPARE(run(withPage(text)).status, 1);
        const std::string html = readText("pagina.html");
        QVERIFY(html.find("Se omite: columnas 1-10;") != std::string::npos);
        QVERIFY(html.find("Caracteres que difieren en lo omitido: 8 en") != std::string::npos);
    }
    writeFile("n.campos", "campos 1\nFECHA 1 10 ignorar\nNOMBRE 12 3 sin-mayusculas\n");
    ReportRequest flags = request("uno.txt", "dos.txt");
    flags.layout = "n.campos";
    const Result result = run(flags);
    QCOMPARE(result.status, 1);
    expectParts(result.out, {"Se omite: campo FECHA (ignorar); campo NOMBRE (sin-mayusculas)\n",
                             "Líneas que difieren: 1 de 3\n"});
}

// A layout that cannot be used stops the report before anything is written, with its message.
void ReportTest::malformedLayoutIsTrouble() {
    writeBoth("a\n", "b\n");
    writeFile("mal.campos", "campos 1\nA 1 2\nB 2 2\n");
    for (const auto& [layout, message] :
         {std::pair{"mal.campos", "El formato de campos «mal.campos», línea 3: los campos A "
                                  "(columnas 1-2) y B (columnas 2-3) se solapan.\n"},
          std::pair{"falta.campos", "No se puede leer «falta.campos»: no existe."}}) {
        ReportRequest r = request("uno.txt", "dos.txt");
        r.layout = layout;
        r.html = "pagina.html";
        const Result result = run(r);
        QCOMPARE(result.status, 2);
        QVERIFY2(result.err.starts_with(message), result.err.c_str());
        QCOMPARE(result.out, std::string());
        QVERIFY(!fs::exists("pagina.html"));
    }
}

// Documents that QJsonDocument reads, with the fields a script looks at.
void ReportTest::jsonParses_data() {
    QTest::addColumn<QByteArray>("name1");
    QTest::addColumn<QByteArray>("file1");
    QTest::addColumn<QByteArray>("file2");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<QString>("decoding");
    QTest::addColumn<int>("shownLines");
    QTest::addColumn<bool>("truncated");

    QTest::newRow("identical") << QByteArray("uno.txt") << QByteArray("a\n") << QByteArray("a\n")
                               << -1 << "UTF-8" << 0 << false;
    QTest::newRow("truncated") << QByteArray("uno.txt") << QByteArray("a\nb\nc\n")
                               << QByteArray("x\ny\nz\n") << 2 << "UTF-8" << 2 << true;
    QTest::newRow("Windows-1252") << QByteArray("uno.txt") << QByteArray("\xE9t\xE9\n")
                                  << QByteArray("ete\n") << -1 << "Windows-1252" << 1 << false;
    QTest::newRow("quotes and backslashes in the name")
        << QByteArray("a \"b\" \\c.txt") << QByteArray("1\n") << QByteArray("2\n") << -1 << "UTF-8"
        << 1 << false;
    QTest::newRow("control character in the name")
        << QByteArray("a\tb\x01.txt") << QByteArray("1\n") << QByteArray("2\n") << -1 << "UTF-8"
        << 1 << false;
}

void ReportTest::jsonParses() {
    QFETCH(QByteArray, name1);
    QFETCH(QByteArray, file1);
    QFETCH(QByteArray, file2);
    QFETCH(int, maxLines);
    QFETCH(QString, decoding);
    QFETCH(int, shownLines);
    QFETCH(bool, truncated);
    const fs::path path1 = name1.toStdString();
    writeFile(path1, file1.toStdString());
    writeFile("dos.txt", file2.toStdString());
    ReportRequest r = request(path1, "dos.txt", Format::Json);
    if (maxLines >= 0) {
        r.maxLines = static_cast<std::uint64_t>(maxLines);
    }
    const Result result = run(r);
    const QJsonObject report = parseJson(result.out);
    QVERIFY(!report.isEmpty());
    QCOMPARE(report["file1"].toString(), QString::fromUtf8(name1));
    QCOMPARE(report["decoding"].toString(), decoding);
    QCOMPARE(report["identical"].toBool(), result.status == 0);
    QCOMPARE(report["lines"].toArray().size(), shownLines);
    QCOMPARE(report["shownLines"].toInt(), shownLines);
    QCOMPARE(report["truncated"].toBool(), truncated);
    QVERIFY(report["totals"].toObject()["differingLines"].toInt() >= shownLines);
}

// File names in JSON are exact, so no two names come out alike (a line break and the four
// characters \x0A once did): a UTF-8 name is a string of its characters, with control characters
// escaped as JSON escapes them; any other name is an array of its bytes. Each must parse back to
// its own bytes.
void ReportTest::jsonNamesAreExact() {
    struct Name {
        std::string bytes;
        std::string json; // as the report writes it
    };
    const std::vector<Name> names = {
        {"a\nb", R"("a\nb")"},
        {"a\\x0Ab", R"("a\\x0Ab")"},
        {"a\"b", R"("a\"b")"},
        {"a\\b", R"("a\\b")"},
        {"a\tb", R"("a\tb")"},
        {"a\x01\x7F\u0085b", R"("a\u0001\u007f\u0085b")"},
        {"\b\f\x1B[2J", R"("\b\f\u001b[2J")"},
        {"caf\u00E9 語", "\"caf\u00E9 語\""},
        {"caf\xE9", "[99, 97, 102, 233]"},
        {"caf\\xE9", R"("caf\\xE9")"},
        {"\xED\xA0\x80", "[237, 160, 128]"}, // a surrogate's code
    };
    writeFile("dos.txt", "2\n");
    for (const Name& name : names) {
        writeFile(name.bytes, "1\n");
        const Result result = run(request(name.bytes, "dos.txt", Format::Json));
        QVERIFY2(result.out.starts_with("{\n  \"file1\": " + name.json + ",\n"),
                 result.out.c_str());
        const QJsonValue file1 = parseJson(result.out)["file1"];
        std::string bytes = file1.toString().toStdString();
        for (const QJsonValue& byte : file1.toArray()) {
            bytes += static_cast<char>(byte.toInt());
        }
        QCOMPARE(bytes, name.bytes);
    }
    // The page's name in the summary is written the same way.
    ReportRequest r = request("dos.txt", "dos.txt", Format::Json);
    r.html = std::string("p\xE9\n.html");
    QVERIFY(run(r).out.ends_with(",\n  \"html\": [112, 233, 10, 46, 104, 116, 109, 108]\n}\n"));
}

void ReportTest::htmlPage() {
    writeBoth("igual\nab\tc\nsolo\n", "igual\naX\tc\n");
    ReportRequest r = request("uno.txt", "dos.txt");
    r.html = "pagina.html";
    const Result result = run(r);
    QCOMPARE(result.status, 1);
    const std::string html = readText("pagina.html");
    QVERIFY(
        html.starts_with("<!DOCTYPE html>\n<html lang=\"es\">\n<head>\n<meta charset=\"utf-8\">"));
    const std::size_t title = html.find("<title>");
    QVERIFY(title != std::string::npos);
    QCOMPARE(QString::fromStdString(html.substr(title)),
             QStringLiteral(
                 "<title>Parvane: «uno.txt» y «dos.txt»</title>\n</head>\n<body>\n"
                 "<h1>Parvane</h1>\n"
                 "<p>Fichero 1: «uno.txt»<br>Fichero 2: «dos.txt»<br>Codificación: UTF-8</p>\n"
                 "<p>Líneas que difieren: 2 de 3<br>Caracteres que difieren: 5 en el fichero 1, "
                 "1 en el fichero 2<br>Líneas que solo tiene el fichero 1: 1<br>Líneas que solo "
                 "tiene el fichero 2: 0</p>\n"
                 "<table>\n"
                 "<tr><th colspan=\"2\">Fichero 1: «uno.txt»</th><th colspan=\"2\">Fichero 2: "
                 "«dos.txt»</th></tr>\n"
                 "<tr><td class=\"n\">1</td><td class=\"t\">igual</td><td class=\"n\">1</td>"
                 "<td class=\"t\">igual</td></tr>\n"
                 "<tr class=\"x\"><td class=\"n\">2</td><td class=\"t\">a<span class=\"d\">b</span>"
                 "\tc</td><td class=\"n\">2</td><td class=\"t\">a<span class=\"d\">X</span>\tc"
                 "</td></tr>\n"
                 "<tr class=\"x\"><td class=\"n\">3</td><td class=\"t\"><span class=\"d\">solo"
                 "</span></td><td class=\"n\"></td><td class=\"t f\"></td></tr>\n"
                 "</table>\n</body>\n</html>\n"));
    // Self-contained: nothing is fetched from anywhere.
    for (const char* outside : {"http:", "https:", "src=", "<link", "@import", "url(", "<script"}) {
        QVERIFY2(html.find(outside) == std::string::npos, outside);
    }
    QVERIFY(html.find("Content-Security-Policy\" content=\"default-src 'none'") !=
            std::string::npos);
    QCOMPARE(entries("."), (std::set<std::string>{"uno.txt", "dos.txt", "pagina.html"}));
}

void ReportTest::htmlKeepsMarkupAsText() {
    const fs::path name = "<b>&amp;\".txt";
    writeFile(name, "</pre><script>alert('x')</script>\n\x1B]0;t\x07\n");
    writeFile("dos.txt", "</pre><script>alert('y')</script>\n");
    ReportRequest r = request(name, "dos.txt");
    r.html = "pagina.html";
    QCOMPARE(run(r).status, 1);
    const std::string html = readText("pagina.html");
    QVERIFY(html.find("<script") == std::string::npos);
    QVERIFY(html.find("</pre>") == std::string::npos);
    QVERIFY(html.find("<b>") == std::string::npos);
    QVERIFY(html.find("&lt;/pre&gt;&lt;script&gt;alert(&#39;<span class=\"d\">x</span>&#39;)"
                      "&lt;/script&gt;") != std::string::npos);
    QVERIFY(html.find("«&lt;b&gt;&amp;amp;&quot;.txt»") != std::string::npos);
    QVERIFY(html.find("<span class=\"c\">\\x1B</span>]0;t<span class=\"c\">\\x07</span>") !=
            std::string::npos);
    QVERIFY(html.find('\x1B') == std::string::npos);
    QVERIFY(html.find('\x07') == std::string::npos);
}

// Many line pairs, the pass without limits, or --max-lineas leaving pairs out: only the differing
// pairs with three pairs of context each, and a note that says so.
void ReportTest::htmlShowsContextOnly_data() {
    QTest::addColumn<int>("lines");
    QTest::addColumn<QList<int>>("differing"); // 0-based
    QTest::addColumn<bool>("unlimited");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<QList<int>>("rows"); // 0-based pairs shown
    QTest::addColumn<QStringList>("gaps");
    QTest::addColumn<QString>("note");

    const QString note = "Solo se muestran las líneas que difieren, con 3 líneas de contexto "
                         "alrededor de cada una.";
    QTest::newRow("many pairs") << 10500 << QList<int>{5000} << false << -1
                                << QList<int>{4997, 4998, 4999, 5000, 5001, 5002, 5003}
                                << QStringList{"líneas 1-4997", "líneas 5005-10500"} << note;
    QTest::newRow("unlimited, windows merge")
        << 20 << QList<int>{0, 5, 6} << true << -1 << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}
        << QStringList{"líneas 11-20"} << note;
    QTest::newRow("unlimited, last line")
        << 10 << QList<int>{9} << true << -1 << QList<int>{6, 7, 8, 9} << QStringList{"líneas 1-6"}
        << note;
    QTest::newRow("unlimited, one line between")
        << 20 << QList<int>{2, 10} << true << -1
        << QList<int>{0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12, 13}
        << QStringList{"línea 7", "líneas 15-20"} << note;
    QTest::newRow("max lines") << 30 << QList<int>{1, 20, 25} << false << 1
                               << QList<int>{0, 1, 2, 3, 4} << QStringList{"líneas 6-30"}
                               << "Solo se muestran las líneas que difieren (las primeras 1 de "
                                  "3), con 3 líneas de contexto alrededor de cada una.";
}

void ReportTest::htmlShowsContextOnly() {
    QFETCH(int, lines);
    QFETCH(QList<int>, differing);
    QFETCH(bool, unlimited);
    QFETCH(int, maxLines);
    QFETCH(QList<int>, rows);
    QFETCH(QStringList, gaps);
    QFETCH(QString, note);
    std::string file1, file2;
    for (int k = 0; k < lines; ++k) {
        // Empty lines keep 10 500 pairs within the window's limit.
        const std::string line = differing.contains(k) || rows.contains(k) ? std::to_string(k) : "";
        file1 += line + "\n";
        file2 += (differing.contains(k) ? line + "!" : line) + "\n";
    }
    writeBoth(file1, file2);
    ReportRequest r = request("uno.txt", "dos.txt");
    r.html = "pagina.html";
    r.unlimited = unlimited;
    if (maxLines >= 0) {
        r.maxLines = static_cast<std::uint64_t>(maxLines);
    }
    QCOMPARE(run(r).status, 1);
    QFile page("pagina.html");
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    QVERIFY2(html.contains("<p class=\"nota\">" + note + "</p>"), qPrintable(html.left(3000)));

    QList<int> shown;
    QStringList shownGaps;
    static const QRegularExpression row("<tr( class=\"x\")?><td class=\"n\">(\\d+)</td>");
    static const QRegularExpression gap("<tr class=\"g\"><td colspan=\"4\">⋯ ([^<]*)</td></tr>");
    for (auto match = row.globalMatch(html); match.hasNext();) {
        shown << match.next().captured(2).toInt() - 1;
    }
    for (auto match = gap.globalMatch(html); match.hasNext();) {
        shownGaps << match.next().captured(1);
    }
    QCOMPARE(shown, rows);
    QCOMPARE(shownGaps, gaps);
}

// With a page, standard output gets the summary only.
void ReportTest::htmlLeavesStdoutTheSummary() {
    writeBoth("a\nb\n", "a\nc\n");
    ReportRequest r = request("uno.txt", "dos.txt");
    r.html = "pagina.html";
    Result result = run(r);
    QCOMPARE(result.status, 1);
    QCOMPARE(result.out, std::string("Fichero 1: «uno.txt»\nFichero 2: «dos.txt»\n"
                                     "Codificación: UTF-8\n\n"
                                     "Líneas que difieren: 1 de 2\n"
                                     "Caracteres que difieren: 1 en el fichero 1, 1 en el "
                                     "fichero 2\n"
                                     "Líneas que solo tiene el fichero 1: 0\n"
                                     "Líneas que solo tiene el fichero 2: 0\n"));

    r.format = Format::Json;
    result = run(r);
    const QJsonObject report = parseJson(result.out);
    QCOMPARE(report["html"].toString(), QStringLiteral("pagina.html"));
    QVERIFY(!report.contains("lines"));
    QCOMPARE(report["totals"].toObject()["differingLines"].toInt(), 1);

    writeFile("dos.txt", "a\nb\n");
    r.format = Format::Text;
    result = run(r);
    QCOMPARE(result.status, 0);
    QCOMPARE(result.out, std::string("Estos dos ficheros son idénticos\n"));
    QFile page("pagina.html");
    QVERIFY(page.open(QIODevice::ReadOnly));
    QVERIFY(page.readAll().contains("<p class=\"ok\">Estos dos ficheros son idénticos</p>"));
}

void ReportTest::htmlUnwritable_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no such folder") << "no/existe.html"
                                    << "su carpeta no existe";
    QTest::newRow("a folder") << "carpeta"
                              << "es una carpeta";
    QTest::newRow("ends in a slash") << "carpeta/"
                                     << "es una carpeta";
    QTest::newRow("under a file") << "uno.txt/p.html"
                                  << "parte de la ruta no es una carpeta";
}

void ReportTest::htmlUnwritable() {
    QFETCH(QString, path);
    QFETCH(QString, reason);
    writeBoth("a\n", "b\n");
    fs::create_directory("carpeta");
    writeFile("carpeta/dentro.txt", "x");
    const std::set<std::string> before = entries(".");
    ReportRequest r = request("uno.txt", "dos.txt");
    r.html = path.toStdString();
    const Result result = run(r);
    QCOMPARE(result.status, 2);
    QCOMPARE(result.err, pageRefusal(path.toStdString(), reason.toStdString()));
    QCOMPARE(result.out, std::string());
    QCOMPARE(entries("."), before);
    QCOMPARE(entries("carpeta"), std::set<std::string>{"dentro.txt"});
}

// The test needs a user whom permissions bind: run as root, it runs again as "nobody".
void ReportTest::htmlReadOnlyFolder() {
    if (::geteuid() == 0) {
        runAsNobody("htmlReadOnlyFolder");
        return;
    }
    writeBoth("a\n", "b\n");
    fs::create_directory("cerrada");
    writeFile("cerrada/pagina.html", "la de antes");
    fs::permissions("cerrada", fs::perms::owner_read | fs::perms::owner_exec);
    if (::access("cerrada", W_OK) == 0) {
        fs::permissions("cerrada", fs::perms::owner_all);
        QSKIP("this user may write in read-only folders");
    }
    ReportRequest r = request("uno.txt", "dos.txt");
    r.html = "cerrada/pagina.html";
    const Result result = run(r);
    fs::permissions("cerrada", fs::perms::owner_all);
    QCOMPARE(result.status, 2);
    QCOMPARE(result.err,
             pageRefusal("cerrada/pagina.html", "sin permiso de escritura en su carpeta"));
    QCOMPARE(entries("cerrada"), std::set<std::string>{"pagina.html"});
    QCOMPARE(readText("cerrada/pagina.html"), std::string("la de antes"));
}

// Inputs that cannot be compared, as either file, by either pass: status 2, nothing on standard
// output, and on standard error the message the window shows.
void ReportTest::badInput_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "no-existe.txt"
                             << "no existe";
    QTest::newRow("folder") << "carpeta"
                            << "es una carpeta";
    QTest::newRow("FIFO") << "tuberia"
                          << "no es un fichero normal";
    QTest::newRow("/dev/zero") << "/dev/zero"
                               << "no es un fichero normal";
    QTest::newRow("dangling link") << "enlace"
                                   << "es un enlace a un fichero que no existe";
}

void ReportTest::badInput() {
    QFETCH(QString, path);
    QFETCH(QString, reason);
    writeFile("bueno.txt", "hola\n");
    fs::create_directory("carpeta");
    QCOMPARE(::mkfifo("tuberia", 0600), 0);
    fs::create_symlink("no-hay-nada", "enlace");
    const fs::path bad = path.toStdString();

    for (const bool unlimited : {false, true}) {
        for (const bool first : {true, false}) {
            ReportRequest r = first ? request(bad, "bueno.txt") : request("bueno.txt", bad);
            r.unlimited = unlimited;
            QElapsedTimer timer;
            timer.start();
            const Result result = run(r);
            QVERIFY(timer.elapsed() < 5000);
            QCOMPARE(result.status, 2);
            QCOMPARE(result.out, std::string());
            const std::string expected = engineMessage(r.file1, r.file2);
            QVERIFY(QString::fromStdString(expected).contains(reason));
            QCOMPARE(result.err, expected + "\n");
        }
    }
}

void ReportTest::unreadableFile() {
    if (::geteuid() == 0) {
        runAsNobody("unreadableFile");
        return;
    }
    writeFile("bueno.txt", "hola\n");
    writeFile("cerrado.txt", "secreto\n");
    fs::permissions("cerrado.txt", fs::perms::none);
    if (::access("cerrado.txt", R_OK) == 0) {
        QSKIP("this user may read files without read permission");
    }
    for (const bool unlimited : {false, true}) {
        ReportRequest r = request("bueno.txt", "cerrado.txt", Format::Json, unlimited);
        const Result result = run(r);
        QCOMPARE(result.status, 2);
        QCOMPARE(result.out, std::string());
        QCOMPARE(result.err, "No se puede leer «cerrado.txt»: sin permiso de lectura. Pida "
                             "permiso de lectura o elija otro fichero.\n");
    }
}

void ReportTest::tooLargeNeedsUnlimited() {
    writeFile("grande.txt", repeated("ab\n", 12000));
    writeFile("bueno.txt", "ab\nXb\n");
    Result result = run(request("bueno.txt", "grande.txt"));
    QCOMPARE(result.status, 2);
    QCOMPARE(result.out, std::string());
    // Regression: the message said only to split the file; it names the report's way past it.
    QCOMPARE(result.err, engineMessage("bueno.txt", "grande.txt") +
                             " O use --sin-limite, que compara ficheros de cualquier tamaño.\n");
    QVERIFY(result.err.starts_with("No se puede comparar «grande.txt»: es demasiado grande."));

    ReportRequest r = request("bueno.txt", "grande.txt", Format::Json, true);
    result = run(r);
    QCOMPARE(result.status, 1);
    const QJsonObject totals = parseJson(result.out)["totals"].toObject();
    QCOMPARE(totals["differingLines"].toInt(), 1 + 11998);
    QCOMPARE(totals["linesOnlyIn2"].toInt(), 11998);
    QCOMPARE(totals["differingCharacters2"].toInt(), 1 + 2 * 11998);
}

// A line longer than what a report goes over is reported up to there, saying so; the totals
// still count all of it.
// git passes /dev/null for the missing side of an added or deleted file; a file in UTF-16 was
// compared byte by byte.
void ReportTest::regressionDevNullIsAnEmptyFileAndUtf16IsRefused() {
    writeFile("uno.txt", "hola\n");
    writeFile("utf16.txt", std::string("\xFF\xFEh\0o\0", 6));
    for (const bool unlimited : {false, true}) {
        ReportRequest added = request("/dev/null", "uno.txt", Format::Json, unlimited);
        Result result = run(added);
        QCOMPARE(result.status, 1);
        QCOMPARE(parseJson(result.out)["totals"].toObject()["linesOnlyIn2"].toInt(), 1);
        ReportRequest utf16 = request("uno.txt", "utf16.txt", Format::Text, unlimited);
        result = run(utf16);
        QCOMPARE(result.status, 2);
        QVERIFY2(result.err.starts_with("No se puede comparar «utf16.txt»: está escrito en UTF-16"),
                 result.err.c_str());
    }
}

void ReportTest::veryLongLineIsCutButEveryRunIsNamed() {
    std::string line1(300000, 'a');
    std::string line2 = line1;
    line2[9] = 'b';
    line2[290000] = 'b';
    writeBoth(line1 + "\n", line2 + "\n");
    ReportRequest r = request("uno.txt", "dos.txt", Format::Json, true);
    Result result = run(r);
    QCOMPARE(result.status, 1);
    const QJsonObject report = parseJson(result.out);
    QCOMPARE(report["totals"].toObject()["differingCharacters1"].toInt(), 2);
    const QJsonObject line = report["lines"].toArray()[0].toObject();
    QCOMPARE(line["cut"].toBool(), true);
    QCOMPARE(line["file1"].toObject()["length"].toInt(), 300000);
    // Regression: the runs past the cut were left out; the cut shortens the text shown only.
    const QJsonArray both{QJsonArray{10, 10}, QJsonArray{290001, 290001}};
    QCOMPARE(line["file1"].toObject()["columns"].toArray(), both);
    QCOMPARE(line["file2"].toObject()["columns"].toArray(), both);

    r.format = Format::Text;
    result = run(r);
    QVERIFY2(result.out.find("Línea 1, columnas 10, 290001 (solo las primeras 262144 columnas de "
                             "300000):\n  columnas 1-4096:\n") != std::string::npos,
             result.out.substr(0, 300).c_str());

    r.html = "pagina.html";
    QCOMPARE(run(r).status, 1);
    const std::string html = readText("pagina.html");
    QVERIFY(html.find("caracteres más; difieren las columnas 290001</span>") != std::string::npos);
}

// File names are bytes: a name that is not UTF-8 opens, and is printed escaped (in JSON, see
// jsonNamesAreExact).
void ReportTest::fileNamesAreBytes() {
    const fs::path name = std::string("caf\xE9.txt");
    writeFile(name, "uno\n");
    writeFile("dos.txt", "uno\ndos\n");
    Result result = run(request(name, "dos.txt"));
    QCOMPARE(result.status, 1);
    QVERIFY(result.out.starts_with("Fichero 1: «caf\\xE9.txt»\n"));
    QVERIFY(parvane::isValidUtf8(result.out));

    result = run(request(std::string("no\xFF\x1B[2J.txt"), "dos.txt"));
    QCOMPARE(result.status, 2);
    QCOMPARE(result.err, "No se puede leer «no\\xFF\\x1B[2J.txt»: no existe. Compruebe la ruta o "
                         "elija otro fichero.\n");
}

// The reader of a pipe went away before anything was written: no signal, no message, and the
// comparison's status.
void ReportTest::brokenPipeEndsQuietly() {
    writeBoth(repeated("ab\n", 2000), repeated("xy\n", 2000));
    writeFile("tres.txt", repeated("ab\n", 2000));
    struct Case {
        const char* other;
        Format format;
        bool unlimited;
        int status;
    };
    for (const Case& c :
         {Case{"dos.txt", Format::Text, false, 1}, Case{"dos.txt", Format::Json, true, 1},
          Case{"tres.txt", Format::Text, false, 0}}) {
        int ends[2];
        QCOMPARE(::pipe(ends), 0);
        ::close(ends[0]);
        std::FILE* out = ::fdopen(ends[1], "w");
        std::FILE* err = std::tmpfile();
        QCOMPARE(Report::write(request("uno.txt", c.other, c.format, c.unlimited), out, err),
                 c.status);
        QCOMPARE(readAll(err), std::string());
        std::fclose(out);
        std::fclose(err);
    }
}

// As `parvane --informe A B | head -1`: the reader takes one line and leaves while the report is
// being written; the process that writes it ends with the comparison's status, saying nothing.
void ReportTest::readerThatLeavesEarly() {
    writeBoth(repeated("ab\n", 3000), repeated("xy\n", 3000));
    const ReportRequest r = request("uno.txt", "dos.txt");
    int toReader[2];
    int errors[2];
    QCOMPARE(::pipe(toReader), 0);
    QCOMPARE(::pipe(errors), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(toReader[0]);
        ::close(errors[0]);
        std::FILE* out = ::fdopen(toReader[1], "w");
        std::FILE* err = ::fdopen(errors[1], "w");
        const int status = Report::write(r, out, err);
        std::fclose(out);
        std::fclose(err);
        ::_exit(status);
    }
    ::close(toReader[1]);
    ::close(errors[1]);
    QVERIFY(child > 0);
    std::FILE* in = ::fdopen(toReader[0], "r");
    char line[256];
    QVERIFY(std::fgets(line, sizeof line, in) != nullptr);
    QCOMPARE(std::string(line), std::string("Fichero 1: «uno.txt»\n"));
    std::fclose(in);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    std::FILE* err = ::fdopen(errors[0], "r");
    const std::string said = readAll(err);
    std::fclose(err);
    QCOMPARE(said, std::string());
    QVERIFY2(WIFEXITED(status), "killed by a signal");
    QCOMPARE(WEXITSTATUS(status), 1);
}

void ReportTest::fullDeviceIsTrouble() {
    writeBoth("a\n", "b\n");
    for (const Format format : {Format::Text, Format::Json}) {
        std::FILE* out = std::fopen("/dev/full", "w");
        QVERIFY(out != nullptr);
        std::FILE* err = std::tmpfile();
        QCOMPARE(Report::write(request("uno.txt", "dos.txt", format), out, err), 2);
        QCOMPARE(readAll(err), std::string("No se puede escribir el informe en la salida "
                                           "estándar: no queda espacio en el dispositivo.\n"));
        std::fclose(out);
        std::fclose(err);
    }
}

// The characters the report calls different are exactly those compareFiles() returns, by both
// passes.
void ReportTest::agreesWithCompareFiles_data() {
    QTest::addColumn<QByteArray>("file1");
    QTest::addColumn<QByteArray>("file2");
    QTest::newRow("same length") << QByteArray("abc\ndef\n") << QByteArray("abd\nxef\n");
    QTest::newRow("longer and shorter") << QByteArray("abcdef\nab\n") << QByteArray("abc\nabcd\n");
    QTest::newRow("more lines in 1") << QByteArray("a\nb\nc\n") << QByteArray("a\n");
    QTest::newRow("more lines in 2") << QByteArray("a") << QByteArray("a\nbb\n\nc");
    QTest::newRow("line ends") << QByteArray("a\r\nb\rc\n") << QByteArray("a\nB\r\nc\r");
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBFhola\n") << QByteArray("hola\nx");
    QTest::newRow("Windows-1252") << QByteArray("\xE9t\xE9\n\x80\n") << QByteArray("ete\n\x80!\n");
    QTest::newRow("multibyte") << QByteArray("ñandú 日本\n") << QByteArray("nandu 日人\n");
    QTest::newRow("empty file 1") << QByteArray() << QByteArray("abc\n\nd\n");
    QTest::newRow("empty lines") << QByteArray("\n\n\n") << QByteArray("\nx\n\n");
    QTest::newRow("tabs and controls") << QByteArray("\t\x01\x7F\n") << QByteArray("\t\x02\x7F\n");
    QTest::newRow("identical") << QByteArray("same\n") << QByteArray("same\n");
}

void ReportTest::agreesWithCompareFiles() {
    QFETCH(QByteArray, file1);
    QFETCH(QByteArray, file2);
    writeBoth(file1.toStdString(), file2.toStdString());
    const parvane::Comparison expected = parvane::compareFiles("uno.txt", "dos.txt");
    for (const bool unlimited : {false, true}) {
        ReportRequest r = request("uno.txt", "dos.txt", Format::Json, unlimited);
        const Result result = run(r);
        const QJsonObject report = parseJson(result.out);
        QCOMPARE(positionsFromJson(report, expected.displayText1, "file1"), expected.differences1);
        QCOMPARE(positionsFromJson(report, expected.displayText2, "file2"), expected.differences2);
        const QJsonObject totals = report["totals"].toObject();
        QCOMPARE(totals["differingCharacters1"].toInteger(), qint64(expected.differences1.size()));
        QCOMPARE(totals["differingCharacters2"].toInteger(), qint64(expected.differences2.size()));
        const bool identical = expected.differences1.empty() && expected.differences2.empty();
        QCOMPARE(result.status, identical ? 0 : 1);
    }
}

QTEST_GUILESS_MAIN(ReportTest)
#include "report_tests.moc"
