// Where the report's HTML page goes and what it may not overwrite: the files compared, special
// files, links, a file's mode and owner, read-only and text files, long names, and no hidden file
// left behind. Every test works in its own temporary folder, which is the current one. Run as
// root, the tests that depend on who runs them run again as the user nobody.

#include "report_test_support.h"
#include "tests/support/run_as_nobody.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include <fcntl.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr const char* kOld = "<!DOCTYPE html>\n<p>la página de antes</p>\n";

ReportRun runPage(const fs::path& page, const fs::path& file2 = "dos.txt") {
    ReportRequest r;
    r.file1 = "uno.txt";
    r.file2 = file2;
    r.html = page;
    return runReport(r);
}

std::string contents(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), {}};
}

bool isPage(const std::string& text) {
    return text.starts_with("<!DOCTYPE html>\n<html") && text.ends_with("</html>\n");
}

std::string refusal(const std::string& page, const std::string& reason) {
    return "No se puede escribir «" + page + "»: " + reason +
           ". Elija otra ruta para la página HTML.\n";
}

std::set<std::string> entries() {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(".")) {
        names.insert(entry.path().filename().native());
    }
    return names;
}

mode_t modeOf(const fs::path& file) {
    struct stat status {};
    ::lstat(file.c_str(), &status);
    return status.st_mode;
}

} // namespace

class ReportHtmlFileTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void htmlRefusesAnInput_data();
    void htmlRefusesAnInput();
    void htmlLeavesATextFileAlone_data();
    void htmlLeavesATextFileAlone();
    void htmlIntoSpecialFiles_data();
    void htmlIntoSpecialFiles();
    void htmlWritesThroughLinks_data();
    void htmlWritesThroughLinks();
    void htmlKeepsHardLinksWhole();
    void htmlKeepsModeAndOwner();
    void htmlRefusesReadOnlyFile();
    void htmlTemporaryNameIsShort();
    void htmlNothingLeftWhenTheComparisonFails();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    fs::path home_;
};

void ReportHtmlFileTest::init() {
    home_ = fs::current_path();
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    fs::current_path(dir_->path().toStdString());
    writeFile("uno.txt", "a\nb\n");
    writeFile("dos.txt", "a\nc\n");
}

void ReportHtmlFileTest::cleanup() {
    fs::current_path(home_);
    dir_.reset();
}

// The page named as a file compared, under any name, is refused before the comparison.
void ReportHtmlFileTest::htmlRefusesAnInput_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("file2");
    QTest::newRow("the first file") << "uno.txt"
                                    << "dos.txt";
    QTest::newRow("the second file") << "dos.txt"
                                     << "dos.txt";
    QTest::newRow("a hard link to it") << "otro.html"
                                       << "dos.txt";
    QTest::newRow("a symbolic link to it") << "enlace.html"
                                           << "dos.txt";
    QTest::newRow("before the comparison") << "uno.txt"
                                           << "falta.txt";
}

void ReportHtmlFileTest::htmlRefusesAnInput() {
    QFETCH(QString, page);
    QFETCH(QString, file2);
    fs::create_hard_link("uno.txt", "otro.html");
    fs::create_symlink("dos.txt", "enlace.html");
    const std::set<std::string> before = entries();
    const ReportRun result = runPage(page.toStdString(), file2.toStdString());
    QCOMPARE(result.status, 2);
    QCOMPARE(result.err, refusal(page.toStdString(), "es uno de los ficheros que se comparan"));
    QCOMPARE(result.out, std::string());
    QCOMPARE(contents("uno.txt"), std::string("a\nb\n"));
    QCOMPARE(contents("dos.txt"), std::string("a\nc\n"));
    QCOMPARE(entries(), before);
}

// A file given as the page by mistake (`--html uno.txt dos.txt salida.html`) is not lost: an
// existing file is replaced only when it is a page or named as one.
void ReportHtmlFileTest::htmlLeavesATextFileAlone_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("text") << "notas.txt" << QByteArray("notas\n") << false;
    QTest::newRow("no name to go by") << "notas" << QByteArray("<p>notas</p>\n") << false;
    QTest::newRow("empty") << "vacia.txt" << QByteArray() << true;
    QTest::newRow("a page") << "pagina.txt" << QByteArray("\xEF\xBB\xBF \n<!doctype HTML>") << true;
    QTest::newRow("named as a page") << "notas.HTM" << QByteArray("notas\n") << true;
}

void ReportHtmlFileTest::htmlLeavesATextFileAlone() {
    QFETCH(QString, name);
    QFETCH(QByteArray, before);
    QFETCH(bool, replaced);
    writeFile(name.toStdString(), before.toStdString());
    const ReportRun result = runPage(name.toStdString());
    QCOMPARE(result.status, replaced ? 1 : 2);
    QCOMPARE(isPage(contents(name.toStdString())), replaced);
    if (!replaced) {
        QCOMPARE(result.err, refusal(name.toStdString(), "ya existe y no es una página HTML"));
        QCOMPARE(contents(name.toStdString()), before.toStdString());
    }
    QCOMPARE(entries().size(), std::size_t(3));
}

// A character device or a FIFO is written into and stays what it was; other kinds are refused.
// As root the devices are nodes of the test's own, so that a fault cannot touch /dev.
void ReportHtmlFileTest::htmlIntoSpecialFiles_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("reason"); // empty: written
    QTest::newRow("character device") << (::geteuid() == 0 ? "nulo" : "/dev/null") << "";
    QTest::newRow("FIFO") << "tuberia"
                          << "";
    QTest::newRow("FIFO nobody reads") << "tuberia-sola"
                                       << "nadie lee de la tubería";
    QTest::newRow("socket") << "enchufe"
                            << "es un socket";
    QTest::newRow("block device") << "bloque"
                                  << "es un dispositivo de bloques";
}

void ReportHtmlFileTest::htmlIntoSpecialFiles() {
    QFETCH(QString, page);
    QFETCH(QString, reason);
    QVERIFY(::mkfifo("tuberia", 0600) == 0 && ::mkfifo("tuberia-sola", 0600) == 0);
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, "enchufe");
    QVERIFY(::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
    ::close(socket);
    if (::geteuid() == 0) {
        // The memory device's numbers, and a loop device no system has.
        QVERIFY(::mknod("nulo", S_IFCHR | 0666, ::makedev(1, 3)) == 0);
        QVERIFY(::mknod("bloque", S_IFBLK | 0600, ::makedev(7, 250)) == 0);
    } else if (page == "bloque") {
        QSKIP("only root makes a block device");
    }
    const int reader = ::open("tuberia", O_RDONLY | O_NONBLOCK);
    const std::set<std::string> before = entries();
    const mode_t kind = modeOf(page.toStdString()) & S_IFMT;

    const ReportRun result = runPage(page.toStdString());
    char received[16] = {};
    const ssize_t got = ::read(reader, received, sizeof received - 1);
    ::close(reader);
    QCOMPARE(modeOf(page.toStdString()) & S_IFMT, kind);
    QCOMPARE(entries(), before);
    if (reason.isEmpty()) {
        QCOMPARE(result.status, 1);
        QCOMPARE(result.err, std::string());
        QCOMPARE(got > 0, page == "tuberia");
    } else {
        QCOMPARE(result.status, 2);
        QCOMPARE(result.err, refusal(page.toStdString(), reason.toStdString()));
    }
    QCOMPARE(std::string(received), std::string(page == "tuberia" ? "<!DOCTYPE html>" : ""));
}

// A link stays a link: the page goes to the file it leads to, made if it is not there yet.
void ReportHtmlFileTest::htmlWritesThroughLinks_data() {
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("target");
    QTest::newRow("to a page") << "enlace.html"
                               << "pagina.html";
    QTest::newRow("to nothing yet") << "suelto.html"
                                    << "nueva.html";
    QTest::newRow("through another link") << "doble.html"
                                          << "pagina.html";
}

void ReportHtmlFileTest::htmlWritesThroughLinks() {
    QFETCH(QString, link);
    QFETCH(QString, target);
    writeFile("pagina.html", kOld);
    fs::create_directory("sub");
    fs::create_symlink("../pagina.html", "sub/enlace.html");
    fs::create_symlink("sub/enlace.html", "enlace.html");
    fs::create_symlink("enlace.html", "doble.html");
    fs::create_symlink("nueva.html", "suelto.html");
    const ReportRun result = runPage(link.toStdString());
    QCOMPARE(result.status, 1);
    QVERIFY(fs::is_symlink(link.toStdString()));
    QVERIFY(isPage(contents(target.toStdString())));
    QVERIFY(fs::is_regular_file(fs::symlink_status(target.toStdString())));
    QCOMPARE(entries().size(), std::size_t(7 + (target == "nueva.html")));
}

// Every name of a file with hard links shows the new page.
void ReportHtmlFileTest::htmlKeepsHardLinksWhole() {
    writeFile("pagina.html", kOld);
    fs::create_hard_link("pagina.html", "otra.html");
    const ReportRun result = runPage("otra.html");
    QCOMPARE(result.status, 1);
    QVERIFY(fs::equivalent("pagina.html", "otra.html"));
    QCOMPARE(fs::hard_link_count("pagina.html"), std::uintmax_t(2));
    QVERIFY(isPage(contents("pagina.html")));
    QCOMPARE(entries().size(), std::size_t(4));
}

// A page written over keeps the file's mode, and its owner and group where permitted (as root,
// a file of the user nobody stays nobody's).
void ReportHtmlFileTest::htmlKeepsModeAndOwner() {
    const passwd* nobody = ::getpwnam("nobody");
    for (const mode_t mode : {0600, 0640, 0604, 0666}) {
        writeFile("pagina.html", kOld);
        QVERIFY(::chmod("pagina.html", mode) == 0);
        if (::geteuid() == 0 && nobody != nullptr) {
            QVERIFY(::chown("pagina.html", nobody->pw_uid, nobody->pw_gid) == 0);
        }
        struct stat before {};
        ::stat("pagina.html", &before);
        QCOMPARE(runPage("pagina.html").status, 1);
        struct stat after {};
        ::stat("pagina.html", &after);
        QVERIFY(isPage(contents("pagina.html")));
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(after.st_gid, before.st_gid);
    }
    if (::geteuid() == 0) {
        runAsNobody("htmlKeepsModeAndOwner");
    }
}

// A file without write permission is refused and left as it was, whoever runs the report.
void ReportHtmlFileTest::htmlRefusesReadOnlyFile() {
    writeFile("pagina.html", kOld);
    QVERIFY(::chmod("pagina.html", 0444) == 0);
    const ReportRun result = runPage("pagina.html");
    QCOMPARE(result.status, 2);
    QCOMPARE(result.err, refusal("pagina.html", ::geteuid() == 0 ? "está protegido contra escritura"
                                                                 : "sin permiso de escritura"));
    QCOMPARE(contents("pagina.html"), std::string(kOld));
    QCOMPARE(modeOf("pagina.html") & 07777, mode_t(0444));
    QCOMPARE(entries().size(), std::size_t(3));
    if (::geteuid() == 0) {
        runAsNobody("htmlRefusesReadOnlyFile");
    }
}

// However long the page's name, the hidden file's stays short enough for the file system.
void ReportHtmlFileTest::htmlTemporaryNameIsShort() {
    for (const std::size_t length : {245, 255}) {
        const std::string name = std::string(length - 5, 'p') + ".html";
        const ReportRun result = runPage(name);
        QCOMPARE(result.err, std::string());
        QCOMPARE(result.status, 1);
        QVERIFY(isPage(contents(name)));
    }
    QCOMPARE(entries().size(), std::size_t(4));
}

// A comparison that fails leaves neither a page nor a hidden file, and an earlier page as it was.
void ReportHtmlFileTest::htmlNothingLeftWhenTheComparisonFails() {
    for (const char* page : {"nueva.html", "pagina.html"}) {
        writeFile("pagina.html", kOld);
        const ReportRun result = runPage(page, "falta.txt");
        QCOMPARE(result.status, 2);
        QCOMPARE(entries(), (std::set<std::string>{"uno.txt", "dos.txt", "pagina.html"}));
        QCOMPARE(contents("pagina.html"), std::string(kOld));
    }
}

QTEST_GUILESS_MAIN(ReportHtmlFileTest)
#include "report_html_file_tests.moc"
