#include "tests/support/run_as_nobody.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Exit codes of the child when it cannot even start the test.
constexpr int kCannotDropPrivileges = 120;
constexpr int kCannotRunProgram = 121;

// This process's environment for the child: its own home, temporary folder and platform.
std::vector<QByteArray> childEnvironment(const QByteArray& home) {
    std::vector<QByteArray> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const QByteArray variable(*entry);
        if (!variable.startsWith("HOME=") && !variable.startsWith("TMPDIR=") &&
            !variable.startsWith("XDG_") && !variable.startsWith("QT_QPA_PLATFORM=")) {
            environment.push_back(variable);
        }
    }
    environment.push_back("HOME=" + home);
    environment.push_back("TMPDIR=" + home);
    environment.push_back("QT_QPA_PLATFORM=offscreen");
    return environment;
}

// Reads what the child prints until it closes its end or `limit` has passed; true if it closed.
bool collect(int descriptor, std::chrono::seconds limit, QByteArray& printed) {
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        const qint64 left = std::chrono::milliseconds(limit).count() - timer.elapsed();
        if (left <= 0) {
            return false;
        }
        pollfd readable{descriptor, POLLIN, 0};
        if (::poll(&readable, 1, int(left)) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
        if (got <= 0) {
            return true;
        }
        printed.append(buffer, got);
    }
}

} // namespace

void runAsNobody(const char* testFunction, std::chrono::seconds limit) {
    const passwd* nobody = ::getpwnam("nobody");
    const uid_t uid = nobody ? nobody->pw_uid : 65534;
    const gid_t gid = nobody ? nobody->pw_gid : 65534;

    QTemporaryDir home;
    QVERIFY(home.isValid());
    QVERIFY(QFile::setPermissions(
        home.path(), QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther |
                         QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));

    // Everything is prepared before fork(): between fork() and exec() the child only makes system
    // calls.
    QByteArray program = QFile::encodeName(QCoreApplication::applicationFilePath());
    QByteArray function(testFunction);
    const QByteArray folder = QFile::encodeName(home.path());
    std::vector<QByteArray> environment = childEnvironment(folder);
    std::vector<char*> envp;
    for (QByteArray& variable : environment) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    char* argv[] = {program.data(), function.data(), nullptr};

    int output[2];
    QVERIFY(::pipe2(output, O_CLOEXEC) == 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(output[1], STDOUT_FILENO);
        ::dup2(output[1], STDERR_FILENO);
        if (::chdir(folder.constData()) != 0 || ::setgroups(0, nullptr) != 0 ||
            ::setgid(gid) != 0 || ::setuid(uid) != 0 || ::setuid(0) == 0) {
            ::_exit(kCannotDropPrivileges);
        }
        ::execve(program.constData(), argv, envp.data());
        ::_exit(kCannotRunProgram);
    }
    ::close(output[1]);
    if (child < 0) {
        ::close(output[0]);
        QFAIL("fork() failed");
    }

    QByteArray printed;
    const bool ended = collect(output[0], limit, printed);
    ::close(output[0]);
    if (!ended) {
        ::kill(child, SIGKILL);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    const QByteArray report = "\n--- the run as user nobody ---\n" + printed;
    if (!ended) {
        QFAIL(qPrintable("the run as user nobody did not end in time" + report));
    }
    QVERIFY2(WIFEXITED(status), qPrintable("the run as user nobody crashed" + report));
    if (WEXITSTATUS(status) == kCannotDropPrivileges) {
        QSKIP("running as root, and cannot switch to the user nobody");
    }
    if (WEXITSTATUS(status) == kCannotRunProgram) {
        QSKIP(qPrintable("running as root, and the user nobody may not run " +
                         QFile::decodeName(program) + " (a folder above it is closed)"));
    }
    QVERIFY2(WEXITSTATUS(status) == 0, qPrintable("the run as user nobody failed" + report));
    const QRegularExpression passed(
        QStringLiteral("^PASS   : \\w+::%1\\(\\)$").arg(QLatin1String(testFunction)),
        QRegularExpression::MultilineOption);
    if (!passed.match(QString::fromUtf8(printed)).hasMatch()) {
        QVERIFY2(printed.contains("SKIP"),
                 qPrintable("no verdict from the run as user nobody" + report));
        QSKIP(qPrintable("skipped in the run as user nobody" + report));
    }
}
