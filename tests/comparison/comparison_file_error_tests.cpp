// Paths that are not readable regular files: each is a FileError at once, with a Spanish message
// that names the offending path, and no file is left open.

#include "comparison_test_support.h"

#include "comparison/file_comparison.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace parvane::test {
namespace {

namespace fs = std::filesystem;

class ComparisonFileErrorTest : public ComparisonTest {
protected:
    void SetUp() override { good_ = folder_.write("bueno.txt", "hola\n"); }

    // Expects a FileError that names offending and, when given, gives reason.
    static void expectFileError(const fs::path& file1, const fs::path& file2,
                                const fs::path& offending, const char* reason) {
        const Outcome outcome = compareGuarded(file1, file2);
        ASSERT_STREQ("FileError", kindName(outcome.kind)) << outcome.message;
        EXPECT_LT(outcome.seconds, 5.0);
        EXPECT_NE(std::string::npos, outcome.message.find(offending.string())) << outcome.message;
        if (reason != nullptr) {
            EXPECT_TRUE(containsIgnoringCase(outcome.message, reason))
                << "missing \"" << reason << "\" in: " << outcome.message;
        }
    }

    fs::path makeFifo(const char* name) const {
        const auto path = folder_.path() / name;
        if (::mkfifo(path.c_str(), 0600) != 0) {
            ADD_FAILURE() << "mkfifo failed for " << path;
        }
        return path;
    }

    // A listening Unix socket bound to a path; empty when the platform refuses.
    fs::path makeSocket(const char* name) {
        const auto path = folder_.path() / name;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path.string().size() >= sizeof address.sun_path) {
            return {};
        }
        path.string().copy(address.sun_path, sizeof address.sun_path - 1);
        socket_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (socket_ < 0 ||
            ::bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            return {};
        }
        return path;
    }

    void TearDown() override {
        if (socket_ >= 0) {
            ::close(socket_);
        }
    }

    fs::path good_;
    int socket_ = -1;
};

TEST_F(ComparisonFileErrorTest, BadPaths) {
    struct Case {
        const char* name;
        fs::path path;
        const char* reason; // nullptr when any wording will do
    };
    fs::create_directory(folder_.path() / "carpeta");
    fs::create_symlink(folder_.path() / "nadie.txt", folder_.path() / "enlace-roto");
    fs::create_symlink(folder_.path() / "bucle-b", folder_.path() / "bucle-a");
    fs::create_symlink(folder_.path() / "bucle-a", folder_.path() / "bucle-b");
    std::vector<Case> cases = {
        {"missing file", folder_.path() / "falta.txt", "no existe"},
        {"missing file with a Spanish name", folder_.path() / "año ñandú.txt", "no existe"},
        {"missing folder on the way", folder_.path() / "no-hay" / "x.txt", "no existe"},
        {"dangling symbolic link", folder_.path() / "enlace-roto", "no existe"},
        {"folder", folder_.path() / "carpeta", "es una carpeta"},
        {"regular file used as a folder", good_ / "x.txt", "no es una carpeta"},
        {"regression: a symbolic-link loop is not called a dangling link",
         folder_.path() / "bucle-a", "forman un bucle"},
        {"regression: a trailing slash on a file is not called missing", good_.string() + "/",
         "no es una carpeta"},
        {"regression: a name too long is not called a permission problem",
         folder_.path() / std::string(300, 'n'), "más largo de lo que admite el sistema"},
        {"FIFO", makeFifo("tuberia"), "no es un fichero normal"},
        {"character device /dev/zero", "/dev/zero", "no es un fichero normal"},
    };
    if (const auto socket = makeSocket("enchufe"); !socket.empty()) {
        cases.push_back({"socket", socket, "no es un fichero normal"});
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        {
            SCOPED_TRACE("as file 1");
            expectFileError(c.path, good_, c.path, c.reason);
        }
        {
            SCOPED_TRACE("as file 2");
            expectFileError(good_, c.path, c.path, c.reason);
        }
    }
}

// Regression: git passes /dev/null for the side of a change that has no file (git difftool on an
// added or deleted file); it is an empty file, not a device to refuse.
TEST_F(ComparisonFileErrorTest, DevNullIsAnEmptyFile) {
    const auto text = folder_.write("texto.txt", "hola\n");
    const Comparison added = compareFiles("/dev/null", text);
    EXPECT_EQ("", added.displayText1);
    EXPECT_EQ((Positions{1, 2, 3, 4}), added.differences2);
    const FileComparison unlimited = FileComparison::run(text, "/dev/null", {true, {}, {}});
    EXPECT_EQ(0u, unlimited.lineCount(2));
    EXPECT_EQ(1u, unlimited.totals().linesOnlyIn1);
    EXPECT_EQ(1u, unlimited.linePairs(0, 1).size());
}

TEST_F(ComparisonFileErrorTest, FifoWithoutWriterDoesNotBlock) {
    // Nobody ever opens this FIFO for writing: opening it to read in blocking mode would hang.
    const auto fifo = makeFifo("espera");
    expectFileError(fifo, fifo, fifo, "no es un fichero normal");
}

// Regression: /proc/kmsg is a "regular" file whose read waits for the next kernel message, for
// ever when none comes; the read is abandoned after two seconds without progress.
TEST_F(ComparisonFileErrorTest, AFileThatGivesNoDataIsAbandoned) {
    const fs::path kmsg = "/proc/kmsg";
    if (::access(kmsg.c_str(), R_OK) != 0) {
        GTEST_SKIP() << "/proc/kmsg cannot be read here (it needs root)";
    }
    const Outcome outcome = compareGuarded(kmsg, good_);
    // Kernel messages may still arrive; what matters is that the comparison ends.
    EXPECT_LT(outcome.seconds, 10.0);
    if (outcome.kind == Outcome::Kind::FileError) {
        EXPECT_NE(std::string::npos, outcome.message.find("sin dar datos")) << outcome.message;
    }
}

TEST_F(ComparisonFileErrorTest, FileOneIsOpenedFirst) {
    const auto missing1 = folder_.path() / "falta1.txt";
    const auto missing2 = folder_.path() / "falta2.txt";
    expectFileError(missing1, missing2, missing1, "no existe");
    expectFileError(missing1, folder_.path(), missing1, "no existe");
    expectFileError(folder_.path(), missing2, folder_.path(), "es una carpeta");

    // File 1's open error comes before anything is learnt about file 2's size.
    const auto big = folder_.write("grande.txt", "");
    fs::resize_file(big, 1u << 20);
    expectFileError(missing1, big, missing1, "no existe");
}

TEST_F(ComparisonFileErrorTest, FileWithoutReadPermission) {
    const auto locked = folder_.write("cerrado.txt", "secreto\n");
    fs::permissions(locked, fs::perms::owner_write);
    if (::geteuid() != 0) {
        expectFileError(locked, good_, locked, "sin permiso de lectura");
        expectFileError(good_, locked, locked, "sin permiso de lectura");
        return;
    }
    // Root may read any file: the comparisons run in a child process that has become the user
    // nobody, whom the permissions bind, and that exits with 0 only when both were refused.
    fs::permissions(folder_.path(), fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::add);
    EXPECT_EXIT(
        {
            const passwd* nobody = ::getpwnam("nobody");
            if (::setgroups(0, nullptr) != 0 || ::setgid(nobody ? nobody->pw_gid : 65534) != 0 ||
                ::setuid(nobody ? nobody->pw_uid : 65534) != 0) {
                std::fprintf(stderr, "cannot become the user nobody\n");
                std::exit(2);
            }
            // What goes wrong is told on the standard error, which the failure then shows.
            int wrong = 0;
            for (const auto& [file1, file2] :
                 {std::pair(locked, good_), std::pair(good_, locked)}) {
                const Outcome outcome = compareGuarded(file1, file2);
                if (std::string(kindName(outcome.kind)) != "FileError" ||
                    outcome.message.find(locked.string()) == std::string::npos ||
                    !containsIgnoringCase(outcome.message, "sin permiso de lectura")) {
                    std::fprintf(stderr, "%s: %s\n", kindName(outcome.kind),
                                 outcome.message.c_str());
                    ++wrong;
                }
            }
            std::exit(wrong == 0 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(ComparisonFileErrorTest, SymbolicLinkToRegularFileIsRead) {
    const auto link = folder_.path() / "enlace";
    fs::create_symlink(good_, link);
    const Comparison result = compareFiles(link, folder_.write("otro.txt", "hola\nmundo\n"));
    EXPECT_EQ("hola\r\n", result.displayText1);
    EXPECT_EQ(Positions{}, result.differences1);
    EXPECT_EQ((Positions{7, 8, 9, 10, 11}), result.differences2);
}

TEST_F(ComparisonFileErrorTest, ErrorsAreComparisonErrors) {
    EXPECT_THROW(compareFiles(folder_.path() / "falta.txt", good_), ComparisonError);
    EXPECT_THROW(compareContents(std::string(40000, 'a'), ""), ComparisonError);
}

// Every comparison closes both files, whether it succeeds or fails.
TEST_F(ComparisonFileErrorTest, NoFileStaysOpen) {
    const auto countOpenFiles = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator{});
    };
    const auto big = folder_.write("grande.txt", "");
    fs::resize_file(big, 1u << 20);
    const auto before = countOpenFiles();
    for (int round = 0; round < 3; ++round) {
        EXPECT_NO_THROW(compareFiles(good_, good_));
        EXPECT_THROW(compareFiles(good_, folder_.path() / "falta.txt"), FileError);
        EXPECT_THROW(compareFiles(good_, folder_.path()), FileError);
        EXPECT_THROW(compareFiles(good_, "/dev/zero"), FileError);
        EXPECT_NO_THROW(compareFiles(good_, "/dev/null"));
        EXPECT_THROW(compareFiles(good_, big), OverflowError);
        EXPECT_THROW(compareFiles(big, good_), OverflowError);
        EXPECT_THROW(compareContents(std::string(32765, 'a'), "b"), OverflowError);
        EXPECT_THROW(compareContents("b", std::string(32765, 'a')), OverflowError);
    }
    EXPECT_EQ(before, countOpenFiles());
}

} // namespace
} // namespace parvane::test
