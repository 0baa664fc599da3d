// Bad inputs where a user meets them: typed into the path boxes, or chosen with the file dialog,
// and compared with "Comparar" in the real main window.
//
// A refused input comes back at once with one error message that quotes the offending path, says
// why and says what the user can do; both views keep what they showed, no file stays open, and
// the next comparison of two good files works. Inputs that only look odd (names with spaces,
// accents, quotes or a leading dash, links, binary bytes, a byte-order mark, texts right at the
// 16-bit limits) are compared and coloured like any other.
//
// Every command runs under a watchdog that stops the whole program when it does not return, so
// that an input which blocks fails the suite with its name instead of stalling it.

#include "about_window/about_window.h"
#include "main_window/diff_view.h"
#include "main_window/main_window.h"
#include "tests/support/run_as_nobody.h"
#include "tests/support/watchdog.h"
#include "window_test_support.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A refused input must come back within this time; one still running after kHangLimit is taken to
// hang, and the program stops.
constexpr qint64 kAtOnceMs = 3000;
constexpr std::chrono::seconds kHangLimit{30};

const QString kMissingAdvice = QStringLiteral("Compruebe la ruta o elija otro fichero.");
const QString kChooseTextAdvice = QStringLiteral("Elija un fichero de texto.");
const QString kNotRegular = QStringLiteral("no es un fichero normal");
const QString kTooLarge = QStringLiteral("es demasiado grande");
const QString kSplitFileAdvice = QStringLiteral("Divida el fichero en partes más pequeñas.");

QString currentTestName() {
    QString name = QString::fromLatin1(QTest::currentTestFunction());
    if (const char* tag = QTest::currentDataTag()) {
        name += QStringLiteral("(%1)").arg(QString::fromUtf8(tag));
    }
    return name;
}

// Document positions of every character of the view's first line.
std::set<int> firstLinePositions(const DiffView* view) {
    const QTextBlock first = view->document()->firstBlock();
    std::set<int> positions;
    for (int p = first.position(); p < first.position() + first.length() - 1; ++p) {
        positions.insert(p);
    }
    return positions;
}

long countOpenFileDescriptors() {
    return static_cast<long>(
        std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator{}));
}

fs::path toPath(const QString& path) { return fs::path(QFile::encodeName(path).toStdString()); }

// Restores the working folder when it goes out of scope.
class WorkingFolder {
public:
    explicit WorkingFolder(const QString& folder) : previous_(QDir::currentPath()) {
        QDir::setCurrent(folder);
    }
    ~WorkingFolder() { QDir::setCurrent(previous_); }

private:
    QString previous_;
};

// An input that "Comparar" refuses, with what its message must say.
struct Refused {
    const char* name;
    QString path;
    QString reason;
    QString advice;
};

} // namespace

class BadInputTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void refusedInputs_data();
    void refusedInputs();
    void sixteenBitLimits_data();
    void sixteenBitLimits();
    void mostDifferencesOneFileCanHold();
    void fileChangedAfterChoosing_data();
    void fileChangedAfterChoosing();
    void fileSwappedWithAFifoWhileComparing();
    void fileWithoutReadPermission();
    void regressionDevNullIsAnEmptyFile();
    void unusualPathsWork_data();
    void unusualPathsWork();
    void symbolicLinksAreFollowed();
    void binaryFileIsShownWithVisibleSymbols();
    void byteOrderMarkIsNotPartOfTheText();
    void invalidUtf8InOneFileDecodesBothAsWindows1252();
    void manyQuickClicksKeepTheResultRight();
    void comparingWhileTheAboutWindowIsOpen();
    void noFileDescriptorIsLeftOpen();

private:
    qint64 clickCompare();
    qint64 compare(const QString& path1, const QString& path2);
    void expectRefused(qint64 ms, qsizetype messagesBefore, const QString& path,
                       const QString& reason, const QString& advice, const ShownViews& before);
    // `path` is refused as file 1 beside `other2` and as file 2 beside `other1`, as
    // expectRefused() says.
    void expectRefusedEitherWay(const QString& path, const QString& other1, const QString& other2,
                                const QString& reason, const QString& advice,
                                const ShownViews& before);
    void expectGoodComparisonWorks();
    // Both views show these texts, with the characters at these 1-based text positions red.
    void expectViews(const QString& text1, const QList<int>& red1, const QString& text2,
                     const QList<int>& red2) const {
        QCOMPARE(views(), (ShownViews{text1, text2, documentPositions(rtb1(), red1),
                                      documentPositions(rtb2(), red2)}));
    }

    QList<Refused> refused;
    int socketDescriptor = -1;
};

void BadInputTest::initTestCase() {
    QApplication::setStyle(QStringLiteral("Fusion"));
    QVERIFY(dir.isValid());
    const QDir folder(dir.path());

    QVERIFY(folder.mkdir(QStringLiteral("carpeta")));
    const QString fifo = folder.filePath(QStringLiteral("tubería"));
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    const QString dangling = folder.filePath(QStringLiteral("enlace roto"));
    QVERIFY(QFile::link(folder.filePath(QStringLiteral("nadie.txt")), dangling));
    const QString longLine = write(QStringLiteral("línea de 40000.txt"), QByteArray(40000, 'x'));
    const QString huge = folder.filePath(QStringLiteral("un giga.bin"));
    write(QStringLiteral("un giga.bin"), {});
    fs::resize_file(toPath(huge), std::uintmax_t{1} << 30); // sparse: takes no room on disk

    const QString utf16 = write(QStringLiteral("utf16.txt"), QByteArray("\xFF\xFEh\0o\0", 6));
    refused = {
        {"missing file", folder.filePath(QStringLiteral("falta.txt")), QStringLiteral("no existe"),
         kMissingAdvice},
        {"missing file with quotes, accents and a leading dash",
         folder.filePath(QStringLiteral("-\"ñandú\" 'año' «x».txt")), QStringLiteral("no existe"),
         kMissingAdvice},
        {"missing folder on the way", folder.filePath(QStringLiteral("no hay/x.txt")),
         QStringLiteral("no existe"), kMissingAdvice},
        {"folder", folder.filePath(QStringLiteral("carpeta")), QStringLiteral("es una carpeta"),
         kChooseTextAdvice},
        {"FIFO", fifo, kNotRegular, kChooseTextAdvice},
        {"/dev/zero", QStringLiteral("/dev/zero"), kNotRegular, kChooseTextAdvice},
        {"/dev/urandom", QStringLiteral("/dev/urandom"), kNotRegular, kChooseTextAdvice},
        {"dangling symbolic link", dangling,
         QStringLiteral("es un enlace a un fichero que no existe"),
         QStringLiteral("Compruebe el enlace o elija otro fichero.")},
        {"line of 40000 characters", longLine,
         QStringLiteral("tiene una línea de más de 32764 caracteres"),
         QStringLiteral("Divida esa línea en líneas más cortas.")},
        {"sparse file of 1 GB", huge, kTooLarge, kSplitFileAdvice},
        {"regression: a file in UTF-16 is refused, not compared byte by byte", utf16,
         QStringLiteral("está escrito en UTF-16"),
         QStringLiteral("por ejemplo con «iconv -f UTF-16 -t UTF-8».")},
    };

    // A listening Unix socket bound to a path in the folder.
    const QByteArray socketPath = QFile::encodeName(folder.filePath(QStringLiteral("enchufe")));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    QVERIFY(std::size_t(socketPath.size()) < sizeof address.sun_path);
    std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
    socketDescriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    QVERIFY(socketDescriptor >= 0);
    QVERIFY(::bind(socketDescriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
            0);
    QVERIFY(::listen(socketDescriptor, 1) == 0);
    refused.append({"Unix socket", QFile::decodeName(socketPath), kNotRegular, kChooseTextAdvice});
}

void BadInputTest::cleanupTestCase() {
    if (socketDescriptor >= 0) {
        ::close(socketDescriptor);
    }
}

// Clicks "Comparar" and returns how long the command took, in milliseconds.
qint64 BadInputTest::clickCompare() {
    const Watchdog watchdog(
        QStringLiteral("\"Comparar\" in %1").arg(currentTestName()).toStdString(), kHangLimit);
    QElapsedTimer timer;
    timer.start();
    QTest::mouseClick(control<QPushButton>("CmdEjecutar"), Qt::LeftButton);
    return timer.elapsed();
}

qint64 BadInputTest::compare(const QString& path1, const QString& path2) {
    control<QLineEdit>("TxtFichero1")->setText(path1);
    control<QLineEdit>("TxtFichero2")->setText(path2);
    return clickCompare();
}

// The last command was refused because of `path`: at once, with one error message that quotes
// the path, gives `reason` and ends with `advice`, and with both views as they were.
void BadInputTest::expectRefused(qint64 ms, qsizetype messagesBefore, const QString& path,
                                 const QString& reason, const QString& advice,
                                 const ShownViews& before) {
    QVERIFY2(ms < kAtOnceMs, qPrintable(QStringLiteral("took %1 ms").arg(ms)));
    QCOMPARE(messages->shown.size(), messagesBefore + 1);
    const RecordingMessages::Shown& shown = messages->shown.last();
    QVERIFY(shown.isError);
    const QString& text = shown.text;
    QVERIFY2(text.contains(u'«' + path + u'»'), qPrintable(text));
    QVERIFY2(text.contains(reason), qPrintable(text));
    QVERIFY2(text.endsWith(advice), qPrintable(text));
    QVERIFY2(text.indexOf(reason) < text.lastIndexOf(advice), qPrintable(text));
    QCOMPARE(shown.view1, before.text1);
    QCOMPARE(shown.view2, before.text2);
    QCOMPARE(views(), before);
}

void BadInputTest::expectRefusedEitherWay(const QString& path, const QString& other1,
                                          const QString& other2, const QString& reason,
                                          const QString& advice, const ShownViews& before) {
    for (const bool asFirst : {true, false}) {
        const qsizetype count = messages->shown.size();
        const qint64 ms = asFirst ? compare(path, other2) : compare(other1, path);
        expectRefused(ms, count, path, reason, advice, before);
        if (QTest::currentTestFailed()) {
            qWarning("... with %s %s", qPrintable(path), asFirst ? "as file 1" : "as file 2");
            return;
        }
    }
}

// git passes /dev/null for the missing side of an added or deleted file.
void BadInputTest::regressionDevNullIsAnEmptyFile() {
    const QString text = write(QStringLiteral("añadido.txt"), "nuevo\n");
    compare(QStringLiteral("/dev/null"), text);
    QVERIFY(messages->shown.isEmpty());
    expectViews("", {}, "nuevo\r\n", range(1, 5));
}

// Two good files compare as usual after whatever came before.
void BadInputTest::expectGoodComparisonWorks() {
    const QString good = write(QStringLiteral("después.txt"), "todo bien\n");
    const qsizetype before = messages->shown.size();
    compare(good, good);
    QCOMPARE(messages->shown.size(), before + 1);
    QVERIFY(!messages->shown.last().isError);
    QCOMPARE(messages->shown.last().text, QStringLiteral("Estos dos ficheros son idénticos"));
    expectViews("todo bien\r\n", {}, "todo bien\r\n", {});
}

void BadInputTest::refusedInputs_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("advice");
    for (const Refused& r : refused) {
        QTest::newRow(r.name) << r.path << r.reason << r.advice;
    }
}

void BadInputTest::refusedInputs() {
    QFETCH(QString, path);
    QFETCH(QString, reason);
    QFETCH(QString, advice);
    const QString good1 = write(QStringLiteral("bueno 1.txt"), "hola\nmundo\n");
    const QString good2 = write(QStringLiteral("bueno 2.txt"), "hola\nmando\n");
    compare(good1, good2);
    QVERIFY(messages->shown.isEmpty());
    const ShownViews before = views();
    QCOMPARE(before.red1.size(), std::size_t(1));

    expectRefusedEitherWay(path, good1, good2, reason, advice, before);
    if (!QTest::currentTestFailed()) {
        expectGoodComparisonWorks();
    }
}

void BadInputTest::sixteenBitLimits_data() {
    QTest::addColumn<QByteArray>("big");   // the file at or past a limit
    QTest::addColumn<QByteArray>("small"); // the other file
    QTest::addColumn<bool>("fits");
    QTest::addColumn<QList<int>>("redBig"); // text positions red in the big file's view
    QTest::addColumn<QString>("reason");    // for a pair that does not fit
    QTest::addColumn<bool>("bothNamed");    // whether that message names both files
    const QString lineTooLong = QStringLiteral("tiene una línea de más de 32764 caracteres");
    const QString moreLines = QStringLiteral("tiene más líneas");
    // One line of n characters ends at position 1 + n + 2, which may not pass 32767.
    QTest::newRow("line of 32764 characters against an empty file")
        << QByteArray(32764, 'a') << QByteArray() << true << range(1, 32764) << QString() << false;
    QTest::newRow("line of 32765 characters against an empty file")
        << QByteArray(32765, 'a') << QByteArray() << false << QList<int>{} << lineTooLong << false;
    // k empty lines end at position 1 + 2k in both files; no character differs.
    QTest::newRow("16383 empty lines against an empty file")
        << QByteArray("\n").repeated(16383) << QByteArray() << true << QList<int>{} << QString()
        << false;
    QTest::newRow("16384 empty lines against an empty file")
        << QByteArray("\n").repeated(16384) << QByteArray() << false << QList<int>{} << kTooLarge
        << false;
    // The other file's position grows with every line pair too, so one character is too many:
    // each file fits alone, and the message names both and says why.
    QTest::newRow("regression: 16383 empty lines against one character names both")
        << QByteArray("\n").repeated(16383) << QByteArray("a") << false << QList<int>{} << moreLines
        << true;
}

void BadInputTest::sixteenBitLimits() {
    QFETCH(QByteArray, big);
    QFETCH(QByteArray, small);
    QFETCH(bool, fits);
    QFETCH(QList<int>, redBig);
    QFETCH(QString, reason);
    QFETCH(bool, bothNamed);
    const QString bigPath = write(QStringLiteral("grande.txt"), big);
    const QString smallPath = write(QStringLiteral("pequeño.txt"), small);
    QString expectedBig = QString::fromLatin1(big).replace(u'\n', QStringLiteral("\r\n"));
    if (!big.isEmpty() && !big.endsWith('\n')) {
        expectedBig += QStringLiteral("\r\n"); // every line is shown with its break
    }

    for (const bool bigFirst : {true, false}) {
        const QString where =
            bigFirst ? QStringLiteral("big file first") : QStringLiteral("big file second");
        // Something to keep: a comparison of two good files.
        compare(write(QStringLiteral("antes 1.txt"), "abc\n"),
                write(QStringLiteral("antes 2.txt"), "abd\n"));
        const ShownViews before = views();
        const qsizetype count = messages->shown.size();
        const qint64 ms = bigFirst ? compare(bigPath, smallPath) : compare(smallPath, bigPath);
        auto* bigView = control<DiffView>(bigFirst ? "RTB1" : "RTB2");
        auto* smallView = control<DiffView>(bigFirst ? "RTB2" : "RTB1");
        if (fits) {
            const bool identical = redBig.isEmpty();
            QCOMPARE(messages->shown.size(), count + (identical ? 1 : 0));
            if (identical) {
                QCOMPARE(messages->shown.last().text, MainWindow::kIdenticalMessage);
            }
            QCOMPARE(bigView->displayText(), expectedBig);
            QCOMPARE(smallView->displayText(), QString());
            QCOMPARE(redPositions(bigView), documentPositions(bigView, redBig));
            QVERIFY(redPositions(smallView).empty());
        } else {
            QVERIFY2(ms < kAtOnceMs, qPrintable(QStringLiteral("took %1 ms").arg(ms)));
            QCOMPARE(messages->shown.size(), count + 1);
            const RecordingMessages::Shown& shown = messages->shown.last();
            QVERIFY(shown.isError);
            QVERIFY2(shown.text.contains(reason), qPrintable(shown.text));
            QVERIFY2(shown.text.contains(QStringLiteral("Divida")), qPrintable(shown.text));
            QCOMPARE(views(), before);
            QVERIFY2(shown.text.contains(u'«' + bigPath + u'»') &&
                         shown.text.contains(u'«' + smallPath + u'»') == bothNamed,
                     qPrintable(shown.text));
        }
        if (QTest::currentTestFailed()) {
            qWarning("... with the %s", qPrintable(where));
            return;
        }
    }
    expectGoodComparisonWorks();
}

void BadInputTest::mostDifferencesOneFileCanHold() {
    // One line of 32764 characters, every one different from the other file's, one, two and four
    // bytes long by turns; a four-byte character takes two places in the view's document.
    const char* const pieces1[] = {"a", "\xC3\xA9", "\xF0\x9F\x98\x80"}; // a é 😀
    const char* const pieces2[] = {"b", "\xC3\xA8", "\xF0\x9F\x98\x81"}; // b è 😁
    QByteArray line1, line2;
    for (int i = 0; i < 32764; ++i) {
        line1 += pieces1[i % 3];
        line2 += pieces2[i % 3];
    }
    compare(write(QStringLiteral("uno.txt"), line1), write(QStringLiteral("dos.txt"), line2));
    QVERIFY(messages->shown.isEmpty());
    QCOMPARE(rtb1()->displayText(), QString::fromUtf8(line1) + "\r\n");
    QCOMPARE(rtb2()->displayText(), QString::fromUtf8(line2) + "\r\n");
    for (const char* name : {"RTB1", "RTB2"}) {
        auto* view = control<DiffView>(name);
        const std::set<int> all = firstLinePositions(view);
        QCOMPARE(all.size(), std::size_t(32764 + 32764 / 3)); // one more place per emoji
        QCOMPARE(redPositions(view), all);
    }
}

void BadInputTest::fileChangedAfterChoosing_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("advice");
    QTest::newRow("deleted") << "delete"
                             << "no existe" << kMissingAdvice;
    QTest::newRow("replaced by a folder") << "folder"
                                          << "es una carpeta" << kChooseTextAdvice;
    QTest::newRow("replaced by a FIFO") << "fifo" << kNotRegular << kChooseTextAdvice;
}

void BadInputTest::fileChangedAfterChoosing() {
    QFETCH(QString, change);
    QFETCH(QString, reason);
    QFETCH(QString, advice);
    for (const bool first : {true, false}) {
        const QString where =
            first ? QStringLiteral("file 1 changed") : QStringLiteral("file 2 changed");
        const QString path1 = write(QStringLiteral("elegido 1.txt"), "uno\n");
        const QString path2 = write(QStringLiteral("elegido 2.txt"), "uni\n");
        dialog->answers = {path1, path2};
        QTest::mouseClick(control<QPushButton>("CmdExaminar1"), Qt::LeftButton);
        QTest::mouseClick(control<QPushButton>("CmdExaminar2"), Qt::LeftButton);
        QCOMPARE(control<QLineEdit>("TxtFichero1")->text(), path1);
        QCOMPARE(control<QLineEdit>("TxtFichero2")->text(), path2);
        clickCompare();
        QVERIFY(messages->shown.isEmpty());
        const ShownViews before = views();
        QCOMPARE(before.red2, documentPositions(rtb2(), {3}));

        const QString changed = first ? path1 : path2;
        QVERIFY(QFile::remove(changed));
        if (change == QLatin1String("folder")) {
            QVERIFY(QDir().mkdir(changed));
        } else if (change == QLatin1String("fifo")) {
            QVERIFY(::mkfifo(QFile::encodeName(changed).constData(), 0600) == 0);
        }
        const qint64 ms = clickCompare();
        expectRefused(ms, 0, changed, reason, advice, before);
        if (QTest::currentTestFailed()) {
            qWarning("... with the %s", qPrintable(where));
            return;
        }
        // Put back as a file, the same path works again.
        if (change == QLatin1String("folder")) {
            QVERIFY(QDir().rmdir(changed));
        } else if (change == QLatin1String("fifo")) {
            QVERIFY(QFile::remove(changed));
        }
        write(QFileInfo(changed).fileName(), first ? "uno\n" : "uni\n");
        clickCompare();
        QCOMPARE(messages->shown.size(), 1);
        QCOMPARE(views(), before);
        messages->shown.clear();
    }
    expectGoodComparisonWorks();
}

// A path that keeps changing between a file and a FIFO while "Comparar" is clicked over and over:
// the FIFO may appear after the path was looked at and before it is opened, and opening it must
// not wait for a writer that never comes.
void BadInputTest::fileSwappedWithAFifoWhileComparing() {
    const QString good = write(QStringLiteral("fijo.txt"), "x\n");
    const QString path = QDir(dir.path()).filePath(QStringLiteral("cambiante"));
    const QByteArray name = QFile::encodeName(path);
    std::atomic<bool> stop{false};
    std::thread swapper([&stop, &name] {
        while (!stop) {
            ::unlink(name.constData());
            const int file =
                ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (file >= 0) {
                [[maybe_unused]] const ssize_t written = ::write(file, "x\n", 2);
                ::close(file);
            }
            ::unlink(name.constData());
            ::mkfifo(name.constData(), 0600);
        }
    });
    control<QLineEdit>("TxtFichero1")->setText(path);
    control<QLineEdit>("TxtFichero2")->setText(good);
    auto* button = control<QPushButton>("CmdEjecutar");
    int clicks = 0;
    {
        const Watchdog watchdog("\"Comparar\" on a path that turns into a FIFO", kHangLimit);
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 1500) {
            QTest::mouseClick(button, Qt::LeftButton);
            ++clicks;
        }
    }
    stop = true;
    swapper.join();
    // A click that catches the file before its content is written compares an empty file, which
    // differs from the other without any message.
    QVERIFY(messages->shown.size() <= clicks);
    int refusals = 0;
    for (const RecordingMessages::Shown& shown : std::as_const(messages->shown)) {
        if (!shown.isError) {
            QCOMPARE(shown.text, MainWindow::kIdenticalMessage);
            continue;
        }
        ++refusals;
        QVERIFY2(shown.text.contains(u'«' + path + u'»'), qPrintable(shown.text));
        QVERIFY2(shown.text.endsWith(kMissingAdvice) || shown.text.endsWith(kChooseTextAdvice),
                 qPrintable(shown.text));
    }
    QVERIFY(refusals > 0);
    expectGoodComparisonWorks();
}

// The test needs a user whom the permissions bind. Run as root (as in CI), it runs itself again
// in a child process as the user "nobody"; when that is impossible it is skipped, saying why.
void BadInputTest::fileWithoutReadPermission() {
    if (::geteuid() == 0) {
        runAsNobody("fileWithoutReadPermission", kHangLimit);
        return;
    }
    const QString locked = write(QStringLiteral("sin permiso.txt"), "secreto\n");
    QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));
    QDir(dir.path()).mkdir(QStringLiteral("cerrada"));
    const QString shut = write(QStringLiteral("cerrada/dentro.txt"), "secreto\n");
    const QString shutFolder = QDir(dir.path()).filePath(QStringLiteral("cerrada"));
    QVERIFY(QFile::setPermissions(shutFolder, {}));
    const QByteArray lockedName = QFile::encodeName(locked);
    if (::access(lockedName.constData(), R_OK) == 0) {
        QFile::setPermissions(shutFolder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
        QSKIP("this user may read files without read permission (a capability such as "
              "CAP_DAC_OVERRIDE), so such a file cannot be tried");
    }

    const QString good = write(QStringLiteral("bueno.txt"), "hola\n");
    compare(good, write(QStringLiteral("otro.txt"), "holo\n"));
    const ShownViews before = views();
    struct Case {
        QString path, reason, advice;
    };
    const Case cases[] = {
        {locked, QStringLiteral("sin permiso de lectura"),
         QStringLiteral("Pida permiso de lectura o elija otro fichero.")},
        {shut, QStringLiteral("no se puede acceder a él"),
         QStringLiteral("Compruebe los permisos de sus carpetas.")},
    };
    for (const Case& c : cases) {
        expectRefusedEitherWay(c.path, good, good, c.reason, c.advice, before);
    }
    QFile::setPermissions(shutFolder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (!QTest::currentTestFailed()) {
        expectGoodComparisonWorks();
    }
}

void BadInputTest::unusualPathsWork_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("relative"); // typed relative to the working folder
    QTest::newRow("spaces") << "con  dos espacios y uno al final .txt" << false;
    QTest::newRow("leading space") << " espacio al principio.txt" << false;
    QTest::newRow("accents") << "acentos áéíóú ÁÉÍÓÚ ñÑ üÜ ç.txt" << false;
    QTest::newRow("quotes") << "comillas \"dobles\", 'simples', «latinas» y `graves`.txt" << false;
    QTest::newRow("leading dash") << "-guion-al-principio.txt" << false;
    QTest::newRow("leading dash, relative") << "-n" << true;
    QTest::newRow("two leading dashes, relative") << "--help" << true;
    QTest::newRow("shell characters") << "$HOME; ls & echo * | cat > x (1) \\ ?.txt" << false;
    QTest::newRow("everything, relative") << "-\"ñandú\" con 'espacios' y más.txt" << true;
}

void BadInputTest::unusualPathsWork() {
    QFETCH(QString, name);
    QFETCH(bool, relative);
    const QString full = write(name, "año\nigual\n");
    const QString reference = write(QStringLiteral("referencia.txt"), "ano\nigual\n");
    const WorkingFolder workingFolder(dir.path());
    const QString typed = relative ? name : full;
    QVERIFY(QFileInfo::exists(typed));

    compare(typed, reference);
    QVERIFY2(messages->shown.isEmpty(), qPrintable(messages->shown.value(0).text));
    QCOMPARE(views(), (ShownViews{"año\r\nigual\r\n", "ano\r\nigual\r\n", {1}, {1}}));

    compare(reference, typed);
    QVERIFY(messages->shown.isEmpty());
    QCOMPARE(views(), (ShownViews{"ano\r\nigual\r\n", "año\r\nigual\r\n", {1}, {1}}));

    compare(typed, typed);
    QCOMPARE(messages->shown.size(), 1);
    QCOMPARE(messages->shown[0].text, MainWindow::kIdenticalMessage);

    // Once gone, the message quotes the name just as it was typed.
    QVERIFY(QFile::remove(full));
    const ShownViews before = views();
    const qint64 ms = compare(reference, typed);
    expectRefused(ms, 1, typed, QStringLiteral("no existe"), kMissingAdvice, before);
}

void BadInputTest::symbolicLinksAreFollowed() {
    const QString target = write(QStringLiteral("destino.txt"), "hola\n");
    const QString other = write(QStringLiteral("otro.txt"), "hola\nmundo\n");
    const QDir folder(dir.path());
    const QString link = folder.filePath(QStringLiteral("enlace"));
    const QString chain = folder.filePath(QStringLiteral("enlace a enlace"));
    QVERIFY(QFile::link(target, link));
    QVERIFY(QFile::link(QStringLiteral("enlace"), chain)); // relative, through the first link
    for (const QString& path : {link, chain}) {
        messages->shown.clear();
        compare(path, other);
        QVERIFY2(messages->shown.isEmpty(), qPrintable(messages->shown.value(0).text));
        expectViews("hola\r\n", {}, "hola\r\nmundo\r\n", range(7, 11));
        compare(path, target);
        QCOMPARE(messages->shown.size(), 1);
        QCOMPARE(messages->shown[0].text, MainWindow::kIdenticalMessage);
    }
}

void BadInputTest::binaryFileIsShownWithVisibleSymbols() {
    // Every byte value, NUL and 0xFF among them, then a line of NULs and 0xFFs. Not UTF-8, so both
    // files are read as Windows-1252.
    QByteArray binary;
    for (int b = 0; b < 256; ++b) {
        binary += char(b);
    }
    binary += "\n";
    binary += QByteArray("\0\0\xFF\xFF\0", 5);
    QByteArray changed = binary;
    changed[binary.size() - 2] = 'x'; // the second 0xFF of the last line
    const QString path1 = write(QStringLiteral("binario.bin"), binary);
    const QString path2 = write(QStringLiteral("binario cambiado.bin"), changed);

    compare(path1, path2);
    QVERIFY2(messages->shown.isEmpty(), qPrintable(messages->shown.value(0).text));
    // Bytes 10 and 13 end lines: 0..9, 11..12, 14..255, then the last line.
    const int lastLineStart = 1 + (10 + 2) + (2 + 2) + (242 + 2);
    QCOMPARE(redPositions(rtb1()), documentPositions(rtb1(), {lastLineStart + 3}));
    QCOMPARE(redPositions(rtb2()), documentPositions(rtb2(), {lastLineStart + 3}));
    QVERIFY(rtb1()->displayText().endsWith(QStringLiteral("\r\n") + QChar(0) + QChar(0) +
                                           QChar(0xFF) + QChar(0xFF) + QChar(0) + "\r\n"));

    // What the view shows: none of the control characters that the text widget would act on or
    // hide (C0 but the tab, and DEL); a visible symbol for each.
    QTextDocument* document = rtb1()->document();
    QCOMPARE(document->blockCount(), 5); // four lines and the empty one after them
    QString shown;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        shown += block.text();
    }
    for (const QChar c : shown) {
        QVERIFY2(
            c == u'\t' || (c.unicode() >= 0x20 && c.unicode() != 0x7F),
            qPrintable(
                QStringLiteral("U+%1 is drawn as itself").arg(c.unicode(), 4, 16, QChar(u'0'))));
    }
    QCOMPARE(document->lastBlock().previous().text(),
             QString() + QChar(0x2400) + QChar(0x2400) + QChar(0xFF) + QChar(0xFF) + QChar(0x2400));
    QVERIFY(shown.contains(QChar(0x241B))); // ESC as ␛

    compare(path1, path1);
    QCOMPARE(messages->shown.size(), 1);
    QCOMPARE(messages->shown[0].text, MainWindow::kIdenticalMessage);
    QVERIFY(redPositions(rtb1()).empty());
}

void BadInputTest::byteOrderMarkIsNotPartOfTheText() {
    const QByteArray bom = "\xEF\xBB\xBF";
    const QByteArray text = "canción\npingüino\n";
    const QString plain = write(QStringLiteral("sin marca.txt"), text);
    const QString marked = write(QStringLiteral("con marca.txt"), bom + text);
    const QString onlyMark = write(QStringLiteral("solo marca.txt"), bom);
    const QString empty = write(QStringLiteral("vacío.txt"), {});
    const QString expected = QStringLiteral("canción\r\npingüino\r\n");
    struct Case {
        QString path1, path2, shown1, shown2;
    };
    const Case cases[] = {
        {marked, plain, expected, expected},
        {plain, marked, expected, expected},
        {marked, marked, expected, expected},
        {onlyMark, empty, QString(), QString()},
    };
    for (const Case& c : cases) {
        messages->shown.clear();
        compare(c.path1, c.path2);
        QCOMPARE(messages->shown.size(), 1);
        QCOMPARE(messages->shown[0].text, MainWindow::kIdenticalMessage);
        QCOMPARE(rtb1()->displayText(), c.shown1);
        QCOMPARE(rtb2()->displayText(), c.shown2);
    }
}

void BadInputTest::invalidUtf8InOneFileDecodesBothAsWindows1252() {
    // "canción" in UTF-8 beside the same word in Windows-1252, whose lone 0xF3 is not UTF-8: both
    // are then read as Windows-1252, and the UTF-8 "ó" becomes two characters, "Ã³".
    compare(write(QStringLiteral("utf8.txt"), "canción\n"),
            write(QStringLiteral("ventanas.txt"), "canci\xF3n\n"));
    QVERIFY(messages->shown.isEmpty());
    expectViews("canciÃ³n\r\n", {6, 7, 8}, "canción\r\n", {6, 7});
}

void BadInputTest::manyQuickClicksKeepTheResultRight() {
    const QString path1 = write(QStringLiteral("rápido 1.txt"), "abc\ndef\n");
    const QString path2 = write(QStringLiteral("rápido 2.txt"), "abd\ndxf\n");
    control<QLineEdit>("TxtFichero1")->setText(path1);
    control<QLineEdit>("TxtFichero2")->setText(path2);
    auto* button = control<QPushButton>("CmdEjecutar");
    const auto expectResult = [&] {
        QVERIFY(messages->shown.isEmpty());
        expectViews("abc\r\ndef\r\n", {3, 7}, "abd\r\ndxf\r\n", {3, 7});
    };

    // 50 clicks one right after the other.
    for (int i = 0; i < 50; ++i) {
        clickCompare();
    }
    expectResult();
    if (QTest::currentTestFailed()) {
        return;
    }

    // 50 clicks queued before the window handles the first of them.
    const QPointF centre = QRectF(button->rect()).center();
    for (int i = 0; i < 50; ++i) {
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QCoreApplication::postEvent(
                button,
                new QMouseEvent(type, centre, button->mapToGlobal(centre), Qt::LeftButton,
                                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                Qt::NoModifier));
        }
    }
    int clicks = 0;
    const auto counter = connect(button, &QPushButton::clicked, this, [&clicks] { ++clicks; });
    {
        const Watchdog watchdog("50 queued clicks", kHangLimit);
        QCoreApplication::processEvents();
    }
    disconnect(counter);
    QCOMPARE(clicks, 50);
    expectResult();

    // And with two equal files every click says so, once.
    const QString same = write(QStringLiteral("igual.txt"), "igual\n");
    compare(same, same);
    for (int i = 1; i < 50; ++i) {
        clickCompare();
    }
    QCOMPARE(messages->shown.size(), 50);
    for (const RecordingMessages::Shown& shown : std::as_const(messages->shown)) {
        QVERIFY(!shown.isError);
        QCOMPARE(shown.text, MainWindow::kIdenticalMessage);
        QCOMPARE(shown.view1, QStringLiteral("igual\r\n"));
    }
}

void BadInputTest::comparingWhileTheAboutWindowIsOpen() {
    QTest::mouseClick(control<QPushButton>("Command2"), Qt::LeftButton);
    auto* about = window->findChild<AboutWindow*>(QStringLiteral("Form3"));
    QVERIFY(about);
    QVERIFY(about->isVisible());

    const QString path1 = write(QStringLiteral("acerca 1.txt"), "Parvane\n");
    const QString path2 = write(QStringLiteral("acerca 2.txt"), "Parvano\n");
    compare(path1, path2);
    for (int i = 0; i < 20; ++i) {
        clickCompare();
    }
    QVERIFY(messages->shown.isEmpty());
    QCOMPARE(rtb1()->displayText(), QStringLiteral("Parvane\r\n"));
    QCOMPARE(redPositions(rtb1()), documentPositions(rtb1(), {7}));

    const ShownViews before = views();
    const QString missing = QDir(dir.path()).filePath(QStringLiteral("no está.txt"));
    const qint64 ms = compare(path1, missing);
    expectRefused(ms, 0, missing, QStringLiteral("no existe"), kMissingAdvice, before);
    if (QTest::currentTestFailed()) {
        return;
    }
    expectGoodComparisonWorks();
    QCOMPARE(window->findChildren<AboutWindow*>().size(), 1);
    QVERIFY(about->isVisible());
}

void BadInputTest::noFileDescriptorIsLeftOpen() {
    const QString good1 = write(QStringLiteral("abierto 1.txt"), "uno\ndos\n");
    const QString good2 = write(QStringLiteral("abierto 2.txt"), "uno\ndós\n");
    const QString tooLong = write(QStringLiteral("demasiado.txt"), QByteArray(32765, 'z'));
    int errors = 0;
    const auto round = [&] {
        for (const Refused& r : std::as_const(refused)) {
            compare(good1, r.path); // file 1 is open when file 2 is refused
            compare(r.path, good2);
            errors += 2;
        }
        compare(good1, tooLong); // both are open and read when the limit is passed
        compare(tooLong, good1);
        errors += 2;
        compare(good1, good2);
        compare(good1, good1);
        QCoreApplication::processEvents();
    };
    round(); // whatever the first comparisons open for good (fonts, caches) is opened here
    const long before = countOpenFileDescriptors();
    for (int i = 0; i < 3; ++i) {
        round();
    }
    QCOMPARE(countOpenFileDescriptors(), before);
    qsizetype shownErrors = 0;
    for (const RecordingMessages::Shown& shown : std::as_const(messages->shown)) {
        shownErrors += shown.isError;
    }
    QCOMPARE(shownErrors, qsizetype(errors));
}

QTEST_MAIN(BadInputTest)
#include "bad_input_tests.moc"
