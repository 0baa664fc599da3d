#include "comparison/source_file.h"

#include "comparison/comparison_error.h"
#include "comparison/text_decoding.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include <poll.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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

// /dev/null: the empty file that git passes for the side of a change that has no file.
bool isNullDevice(const struct stat& info) {
    return S_ISCHR(info.st_mode) && major(info.st_rdev) == 1 && minor(info.st_rdev) == 3;
}

} // namespace

bool FileIdentity::operator==(const FileIdentity& other) const {
    const auto same = [](const timespec& a, const timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    };
    return device == other.device && inode == other.inode && size == other.size &&
           isDevice == other.isDevice &&
           (isDevice || (same(modified, other.modified) && same(changed, other.changed)));
}

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
    if (!S_ISREG(found.st_mode) && !isNullDevice(found)) {
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
    if (::fstat(descriptor_, &opened) != 0 || (!S_ISREG(opened.st_mode) && !isNullDevice(opened))) {
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

std::size_t SourceFile::readAt(std::uint64_t offset, unsigned char* buffer,
                               std::size_t size) const {
    if (held_) {
        const std::size_t from = std::size_t(std::min<std::uint64_t>(offset, held_->size()));
        const std::size_t count = std::min(size, held_->size() - from);
        std::memcpy(buffer, held_->data() + from, count);
        return count;
    }
    std::size_t filled = 0;
    auto lastProgress = std::chrono::steady_clock::now();
    while (filled < size) {
        const ssize_t got = ::pread(descriptor_, buffer + filled, size - filled,
                                    static_cast<off_t>(offset + filled));
        if (got > 0) {
            filled += static_cast<std::size_t>(got);
            lastProgress = std::chrono::steady_clock::now();
            continue;
        }
        if (got == 0) {
            break; // the end of the file
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
    return filled;
}

bool SourceFile::holdWhole(std::uint64_t maxBytes) {
    const FileIdentity before = identity();
    auto bytes = std::make_shared<std::string>();
    // The size is only a hint: the file may change while it is read.
    std::uint64_t size =
        std::min<std::uint64_t>(std::uint64_t(std::max<off_t>(before.size, 0)), maxBytes) + 1;
    while (true) {
        const std::size_t filled = bytes->size();
        bytes->resize(std::size_t(size));
        const std::size_t got =
            readAt(filled, reinterpret_cast<unsigned char*>(bytes->data()) + filled,
                   bytes->size() - filled);
        bytes->resize(filled + got);
        if (bytes->size() > maxBytes) {
            return false;
        }
        if (filled + got < size) {
            break; // the end of the file
        }
        size = std::min(2 * size, maxBytes + 1);
    }
    identity_ = before;
    held_ = std::move(bytes);
    ::close(descriptor_);
    descriptor_ = -1;
    return true;
}

FileIdentity SourceFile::identity() const {
    if (held_) {
        return identity_;
    }
    struct stat info {};
    if (::fstat(descriptor_, &info) != 0) {
        failReading();
    }
    return {info.st_dev,  info.st_ino,  info.st_size,
            info.st_mtim, info.st_ctim, !S_ISREG(info.st_mode)};
}

void SourceFile::failReading() const {
    fail("error de lectura", "Compruebe el disco o el soporte y vuelva a intentarlo.");
}

void SourceFile::fail(const std::string& reason, const std::string& advice) const {
    throw FileError("No se puede leer " + quoted(path_) + ": " + reason + ". " + advice);
}

} // namespace parvane
