#include "report/report_temporary_file.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr std::array kSignals = {SIGINT, SIGTERM, SIGHUP};

// What the handlers see. They may run on any thread, so these are lock-free atomics and a
// buffer that is only changed while `gArmed` is false.
static_assert(std::atomic<int>::is_always_lock_free);
char gPath[PATH_MAX];
std::atomic<int> gArmed{0};   // gPath names the file to remove
std::atomic<int> gHeld{0};    // a copy is under way: a signal waits for its end
std::atomic<int> gPending{0}; // the signal that came meanwhile
std::array<struct sigaction, kSignals.size()> gPrevious{};
std::array<bool, kSignals.size()> gInstalled{};

// Removes the file and ends the program as `signal` does by default. Async-signal-safe.
void endAs(int signal) {
    if (gArmed.exchange(0) != 0) {
        ::unlink(gPath);
    }
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    ::sigaction(signal, &byDefault, nullptr);
    ::raise(signal);
}

extern "C" void onSignal(int signal) {
    if (gHeld.load() != 0) {
        gPending.store(signal);
        return;
    }
    endAs(signal); // the signal is blocked in its handler: it ends the program on return
}

void installHandlers() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals) {
        sigaddset(&action.sa_mask, signal);
    }
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], nullptr, &gPrevious[i]);
        gInstalled[i] = gPrevious[i].sa_handler != SIG_IGN;
        if (gInstalled[i]) {
            ::sigaction(kSignals[i], &action, nullptr);
        }
    }
}

void restoreHandlers() {
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        if (gInstalled[i]) {
            ::sigaction(kSignals[i], &gPrevious[i], nullptr);
            gInstalled[i] = false;
        }
    }
}

[[noreturn]] void throwErrno(int error) { throw std::system_error(error, std::generic_category()); }

// Ends a copy: a signal that came during it now takes effect.
struct HeldSignals {
    HeldSignals() { gHeld.store(1); }
    ~HeldSignals() {
        gHeld.store(0);
        if (const int signal = gPending.exchange(0); signal != 0) {
            endAs(signal);
        }
    }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;
};

void writeAll(int target, const char* bytes, std::size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t written = ::pwrite(target, bytes, size, offset);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            throwErrno(written < 0 ? errno : EIO);
        }
        bytes += written;
        size -= std::size_t(written);
        offset += written;
    }
}

} // namespace

ReportTemporaryFile::ReportTemporaryFile(const fs::path& folder, mode_t mode) {
    static unsigned attempt = 0;
    installHandlers();
    for (int tries = 0; tries < 100; ++tries) {
        path_ = folder / (".parvane-" + std::to_string(::getpid()) + "-" +
                          std::to_string(attempt++) + ".tmp");
        if (path_.native().size() >= sizeof gPath) {
            restoreHandlers();
            throwErrno(ENAMETOOLONG);
        }
        std::memcpy(gPath, path_.c_str(), path_.native().size() + 1);
        gArmed.store(1); // before the file exists, so that no signal can leave it behind
        descriptor_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
        if (descriptor_ >= 0) {
            return;
        }
        const int error = errno;
        gArmed.store(0);
        if (error != EEXIST) {
            restoreHandlers();
            throwErrno(error);
        }
    }
    restoreHandlers();
    throwErrno(EEXIST);
}

ReportTemporaryFile::~ReportTemporaryFile() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
    if (gArmed.exchange(0) != 0) {
        ::unlink(path_.c_str());
    }
    restoreHandlers();
}

void ReportTemporaryFile::renameTo(const fs::path& target) {
    if (::rename(path_.c_str(), target.c_str()) != 0) {
        throwErrno(errno);
    }
    forget();
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        ::fsync(descriptor); // the new name lasts too; a failure here loses nothing written
        ::close(descriptor);
    }
}

void ReportTemporaryFile::copyOver(int target, bool& touched) {
    touched = false;
    const HeldSignals held;
    struct stat page {};
    if (::fstat(descriptor_, &page) != 0) {
        throwErrno(errno);
    }
    if (page.st_size > 0 && ::fallocate(target, FALLOC_FL_KEEP_SIZE, 0, page.st_size) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS) {
        throwErrno(errno);
    }
    std::vector<char> buffer(1 << 20);
    for (off_t offset = 0; offset < page.st_size;) {
        const ssize_t got = ::pread(descriptor_, buffer.data(), buffer.size(), offset);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            throwErrno(got < 0 ? errno : EIO);
        }
        touched = true;
        writeAll(target, buffer.data(), std::size_t(got), offset);
        offset += got;
    }
    touched = true;
    if (::ftruncate(target, page.st_size) != 0 || ::fsync(target) != 0) {
        throwErrno(errno);
    }
    ::close(descriptor_);
    descriptor_ = -1;
    ::unlink(path_.c_str());
    forget();
}

void ReportTemporaryFile::forget() {
    gArmed.store(0);
    restoreHandlers();
}
