#include "comparison/source_file.h"

#include "comparison/comparison.h"
#include "comparison/text_decoding.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include <poll.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parvane {

namespace fs = std::filesystem;

std::string quoted(const fs::path& path) { return "«" + printable(path.native()) + "»"; }

namespace {

// Why looking up or opening a path failed, in words, and what to do about it.
struct Reason {
    const char* what;
    const char* advice;
};

Reason reasonFor(int error) {
    switch (error) {
    case ENOENT: return {"no existe", "Compruebe la ruta o elija otro fichero."};
    case EACCES:
    case EPERM: return {"no se puede acceder a él", "Compruebe los permisos de sus carpetas."};
    case ELOOP:
        return {"sus enlaces simbólicos forman un bucle",
                "Compruebe los enlaces de la ruta o elija otro fichero."};
    case ENOTDIR:
        return {"una parte de la ruta no es una carpeta (¿sobra una «/» al final?)",
                "Compruebe la ruta o elija otro fichero."};
    case ENAMETOOLONG:
        return {"el nombre es más largo de lo que admite el sistema",
                "Acorte el nombre o la ruta del fichero."};
    default: return {"no se puede acceder a él", "Compruebe el fichero y vuelva a intentarlo."};
    }
}

} // namespace

SourceFile::SourceFile(fs::path path) : path_(std::move(path)) {
    struct stat found {};
    if (::stat(path_.c_str(), &found) != 0) {
        const int error = errno;
        struct stat link {};
        if (error == ENOENT && ::lstat(path_.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
            fail("es un enlace a un fichero que no existe",
                 "Compruebe el enlace o elija otro fichero.");
        }
        const Reason reason = reasonFor(error);
        fail(reason.what, reason.advice);
    }
    if (S_ISDIR(found.st_mode)) {
        fail("es una carpeta", "Elija un fichero de texto.");
    }
    if (!S_ISREG(found.st_mode)) {
        fail("no es un fichero normal (es un dispositivo, una tubería o un socket)",
             "Elija un fichero de texto.");
    }
    // The path may have been replaced since it was looked at: opening does not wait (for the
    // writer of a FIFO, say), and what was opened is checked again. The descriptor stays
    // non-blocking, so that a kernel file with nothing to give does not hold the read.
    descriptor_ = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor_ < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM) {
            fail("sin permiso de lectura", "Pida permiso de lectura o elija otro fichero.");
        }
        const Reason reason = reasonFor(error);
        fail(reason.what, reason.advice);
    }
    struct stat opened {};
    if (::fstat(descriptor_, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(descriptor_);
        descriptor_ = -1;
        fail("ha cambiado y ya no es un fichero normal", "Elija un fichero de texto.");
    }
}

SourceFile::~SourceFile() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

std::size_t SourceFile::readSome(char* buffer, std::size_t size) {
    auto lastProgress = std::chrono::steady_clock::now();
    while (true) {
        const ssize_t got = ::read(descriptor_, buffer, size);
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            failReading();
        }
        const auto waited = std::chrono::steady_clock::now() - lastProgress;
        if (waited >= kStallLimit) {
            fail("lleva 2 segundos sin dar datos (es un fichero especial del sistema, no un "
                 "fichero de texto)",
                 "Elija un fichero de texto.");
        }
        pollfd wanted{descriptor_, POLLIN, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(kStallLimit - waited);
        // Some files say they are ready and still have nothing: wait a little between tries.
        if (::poll(&wanted, 1, int(std::min<long long>(left.count() + 1, 50))) > 0) {
            ::usleep(10'000);
        }
    }
}

std::optional<std::string> SourceFile::readAtMost(std::size_t maxBytes) {
    // The size is only a hint for the buffer: the file may change while it is read.
    struct stat now {};
    const bool sized = ::fstat(descriptor_, &now) == 0 && now.st_size > 0;
    std::string content(
        sized ? static_cast<std::size_t>(
                    std::min<std::uintmax_t>(std::uintmax_t(now.st_size), maxBytes) + 1)
              : std::size_t{64 * 1024},
        '\0');
    std::size_t filled = 0;
    while (true) {
        const std::size_t got = readSome(content.data() + filled, content.size() - filled);
        filled += got;
        if (filled > maxBytes) {
            return std::nullopt;
        }
        if (got == 0) {
            break; // the end of the file
        }
        if (filled == content.size()) {
            content.resize(std::min(2 * content.size(), maxBytes + 1));
        }
    }
    content.resize(filled);
    return content;
}

void SourceFile::failReading() const {
    fail("error de lectura", "Compruebe el disco o el soporte y vuelva a intentarlo.");
}

void SourceFile::fail(const std::string& reason, const std::string& advice) const {
    throw FileError("No se puede leer " + quoted(path_) + ": " + reason + ". " + advice);
}

} // namespace parvane
