#include "comparison/source_file.h"

#include "comparison/comparison.h"
#include "comparison/text_decoding.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parvane {

namespace fs = std::filesystem;

std::string quoted(const fs::path& path) { return "«" + printable(path.native()) + "»"; }

SourceFile::SourceFile(fs::path path) : path_(std::move(path)) {
    std::error_code error;
    const fs::file_status status = fs::status(path_, error);
    if (!fs::exists(status)) {
        if (fs::is_symlink(fs::symlink_status(path_, error))) {
            fail("es un enlace a un fichero que no existe",
                 "Compruebe el enlace o elija otro fichero.");
        }
        if (status.type() == fs::file_type::not_found) {
            fail("no existe", "Compruebe la ruta o elija otro fichero.");
        }
        fail("no se puede acceder a él", "Compruebe los permisos de sus carpetas.");
    }
    if (fs::is_directory(status)) {
        fail("es una carpeta", "Elija un fichero de texto.");
    }
    if (!fs::is_regular_file(status)) {
        fail("no es un fichero normal (es un dispositivo, una tubería o un socket)",
             "Elija un fichero de texto.");
    }
    // The path may have been replaced since it was looked at: opening does not wait (for the
    // writer of a FIFO, say), and what was opened is checked again.
    const int descriptor = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        if (errno == EACCES || errno == EPERM) {
            fail("sin permiso de lectura", "Pida permiso de lectura o elija otro fichero.");
        }
        if (errno == ENOENT) {
            fail("no existe", "Compruebe la ruta o elija otro fichero.");
        }
        fail("no se puede abrir", "Compruebe el fichero y vuelva a intentarlo.");
    }
    struct stat opened {};
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (::fstat(descriptor, &opened) != 0 || !S_ISREG(opened.st_mode) || flags < 0 ||
        ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(descriptor);
        fail("ha cambiado y ya no es un fichero normal", "Elija un fichero de texto.");
    }
    file_.reset(::fdopen(descriptor, "rb"));
    if (!file_) {
        ::close(descriptor);
        fail("no se puede abrir", "Compruebe el fichero y vuelva a intentarlo.");
    }
}

std::optional<std::string> SourceFile::readAtMost(std::size_t maxBytes) {
    // The size is only a hint for the buffer: the file may change while it is read.
    std::error_code error;
    const std::uintmax_t expected = fs::file_size(path_, error);
    std::string content(
        error ? std::size_t{64 * 1024}
              : static_cast<std::size_t>(std::min<std::uintmax_t>(expected, maxBytes) + 1),
        '\0');
    std::size_t filled = 0;
    while (true) {
        const std::size_t got =
            std::fread(content.data() + filled, 1, content.size() - filled, file_.get());
        filled += got;
        if (filled > maxBytes) {
            return std::nullopt;
        }
        if (filled < content.size()) {
            if (std::ferror(file_.get())) {
                failReading();
            }
            break; // the end of the file
        }
        content.resize(std::min(2 * content.size(), maxBytes + 1));
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
