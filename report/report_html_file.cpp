#include "report/report_html_file.h"

#include "comparison/source_file.h"
#include "report/report_output.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <string>
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Links followed one at a time, as the system does.
constexpr int kMaxLinks = 40;

std::string creationReason(int error) {
    switch (error) {
    case EACCES:
    case EPERM: return "sin permiso de escritura en su carpeta";
    case ENOENT: return "su carpeta no existe";
    case ENOTDIR: return "parte de la ruta no es una carpeta";
    case ENAMETOOLONG: return "el nombre es demasiado largo";
    case ELOOP: return "hay demasiados enlaces encadenados";
    case EEXIST: return "no se puede crear un fichero temporal en su carpeta";
    default: return ReportOutput::reason(error);
    }
}

// Why a file that is neither regular, a character device nor a FIFO is refused.
std::string kindReason(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "es una carpeta";
    }
    if (S_ISSOCK(mode)) {
        return "es un socket";
    }
    if (S_ISBLK(mode)) {
        return "es un dispositivo de bloques";
    }
    return "no es un fichero normal";
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The file that `path` names once the links of its last part are followed, as writing to it
// would; `path` itself when it is no link or cannot be looked at.
fs::path followLinks(fs::path path) {
    for (int links = 0; links < kMaxLinks; ++links) {
        struct stat entry {};
        if (::lstat(path.c_str(), &entry) != 0 || !S_ISLNK(entry.st_mode)) {
            return path;
        }
        std::string target(std::size_t(entry.st_size > 0 ? entry.st_size : 255) + 1, '\0');
        const ssize_t size = ::readlink(path.c_str(), target.data(), target.size());
        if (size < 0 || std::size_t(size) >= target.size()) {
            return path;
        }
        target.resize(std::size_t(size));
        path = fs::path(target).is_absolute() ? fs::path(target) : path.parent_path() / target;
    }
    throw std::system_error(ELOOP, std::generic_category());
}

bool namedAsPage(const fs::path& path) {
    std::string extension = path.extension().native();
    std::ranges::transform(extension, extension.begin(),
                           [](unsigned char c) { return char(std::tolower(c)); });
    return extension == ".html" || extension == ".htm" || extension == ".xhtml";
}

// Whether the file is empty or starts as an HTML page (a byte-order mark and blanks aside).
bool startsAsPage(const fs::path& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) {
        return false;
    }
    char buffer[512];
    const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
    ::close(descriptor);
    if (got < 0) {
        return false;
    }
    std::string start(buffer, std::size_t(got));
    if (start.starts_with("\xEF\xBB\xBF")) {
        start.erase(0, 3);
    }
    start.erase(0, std::min(start.find_first_not_of(" \t\r\n\f"), start.size()));
    std::ranges::transform(start, start.begin(),
                           [](unsigned char c) { return char(std::tolower(c)); });
    return got == 0 || start.starts_with("<!doctype html") || start.starts_with("<html");
}

} // namespace

ReportHtmlFile::ReportHtmlFile(fs::path path, const std::array<fs::path, 2>& inputs, std::FILE* out,
                               std::FILE* err)
    : path_(std::move(path)) {
    try {
        open(inputs, out, err);
    } catch (...) {
        close();
        throw;
    }
}

ReportHtmlFile::~ReportHtmlFile() { close(); }

void ReportHtmlFile::open(const std::array<fs::path, 2>& inputs, std::FILE* out, std::FILE* err) {
    if (!path_.has_filename()) {
        fail("es una carpeta");
    }
    struct stat file {};
    if (::stat(path_.c_str(), &file) != 0) {
        if (errno != ENOENT) {
            fail(creationReason(errno));
        }
        openNew();
        return;
    }
    for (const fs::path& input : inputs) {
        struct stat compared {};
        if (::stat(input.c_str(), &compared) == 0 && sameFile(file, compared)) {
            fail("es uno de los ficheros que se comparan");
        }
    }
    for (std::FILE* stream : {out, err}) {
        struct stat shared {};
        if (!S_ISDIR(file.st_mode) && ::fstat(::fileno(stream), &shared) == 0 &&
            sameFile(file, shared)) {
            kind_ = Kind::Shared;
            stream_ = stream;
            return;
        }
    }
    if (S_ISREG(file.st_mode)) {
        openRegular(file);
    } else if (S_ISCHR(file.st_mode) || S_ISFIFO(file.st_mode)) {
        openStraight(file);
    } else {
        fail(kindReason(file.st_mode));
    }
}

void ReportHtmlFile::close() {
    if (stream_ != nullptr && kind_ != Kind::Shared) {
        std::fclose(stream_);
    }
    stream_ = nullptr;
    if (targetDescriptor_ >= 0) {
        ::close(targetDescriptor_);
        targetDescriptor_ = -1;
    }
    temporary_.reset();
}

void ReportHtmlFile::openRegular(const struct stat& file) {
    try {
        target_ = followLinks(path_);
    } catch (const std::system_error& error) {
        fail(creationReason(error.code().value()));
    }
    struct stat followed {};
    if (::stat(target_.c_str(), &followed) != 0 || !sameFile(file, followed)) {
        fail("es un enlace a un fichero borrado");
    }
    targetDescriptor_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (targetDescriptor_ < 0) {
        fail(ReportOutput::reason(errno));
    }
    if ((file.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        fail("está protegido contra escritura");
    }
    if (!namedAsPage(path_) && !namedAsPage(target_) && !startsAsPage(target_)) {
        fail("ya existe y no es una página HTML");
    }
    kind_ = file.st_nlink > 1 ? Kind::CopyOver : Kind::Replace;
    startTemporary(S_IRUSR | S_IWUSR);
    if (kind_ == Kind::Replace) {
        // The page's mode is set before any of it is written, so none of it is ever open to
        // more users than the file it replaces.
        const int page = temporary_->descriptor();
        mode_t mode = file.st_mode & 07777;
        if (::fchown(page, file.st_uid, file.st_gid) != 0 &&
            ::fchown(page, uid_t(-1), file.st_gid) != 0) {
            mode &= ~mode_t(S_IRWXG | S_ISGID);
        }
        ::fchmod(page, mode);
    }
}

void ReportHtmlFile::openNew() {
    try {
        target_ = followLinks(path_);
    } catch (const std::system_error& error) {
        fail(creationReason(error.code().value()));
    }
    startTemporary(S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH);
}

void ReportHtmlFile::openStraight(const struct stat& file) {
    // Not blocking, so that a FIFO nobody reads is refused at once instead of waited on.
    const int descriptor = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0) {
        fail(errno == ENXIO && S_ISFIFO(file.st_mode) ? std::string("nadie lee de la tubería")
                                                      : ReportOutput::reason(errno));
    }
    const int flags = ::fcntl(descriptor, F_GETFL);
    stream_ = flags < 0 || ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0
                  ? nullptr
                  : ::fdopen(descriptor, "wb");
    if (stream_ == nullptr) {
        const int error = errno;
        ::close(descriptor);
        fail(ReportOutput::reason(error));
    }
    kind_ = Kind::Straight;
}

void ReportHtmlFile::startTemporary(mode_t mode) {
    const fs::path folder = target_.has_parent_path() ? target_.parent_path() : fs::path(".");
    try {
        temporary_.emplace(folder, mode);
    } catch (const std::system_error& error) {
        fail(creationReason(error.code().value()));
    }
    const int descriptor = ::dup(temporary_->descriptor());
    stream_ = descriptor < 0 ? nullptr : ::fdopen(descriptor, "wb");
    if (stream_ == nullptr) {
        const int error = errno;
        if (descriptor >= 0) {
            ::close(descriptor);
        }
        fail(ReportOutput::reason(error));
    }
}

void ReportHtmlFile::commit() {
    errno = 0;
    if (std::fflush(stream_) != 0) {
        fail(ReportOutput::reason(errno));
    }
    if (kind_ == Kind::Shared) {
        return;
    }
    if (temporary_ && ::fsync(::fileno(stream_)) != 0) {
        fail(ReportOutput::reason(errno));
    }
    std::FILE* stream = stream_;
    stream_ = nullptr;
    if (std::fclose(stream) != 0) {
        fail(ReportOutput::reason(errno));
    }
    if (kind_ == Kind::Straight) {
        return;
    }
    if (kind_ == Kind::CopyOver) {
        copyOver();
        return;
    }
    try {
        temporary_->renameTo(target_);
    } catch (const std::system_error& error) {
        const int code = error.code().value();
        // A folder such as /tmp, or a file mounted over another: it may be written, not replaced.
        if ((code == EPERM || code == EACCES || code == EBUSY || code == EXDEV) &&
            targetDescriptor_ >= 0) {
            copyOver();
            return;
        }
        fail(code == EISDIR ? std::string("es una carpeta") : creationReason(code));
    }
}

void ReportHtmlFile::copyOver() {
    bool touched = false;
    try {
        temporary_->copyOver(targetDescriptor_, touched);
    } catch (const std::system_error& error) {
        fail(ReportOutput::reason(error.code().value()) +
             (touched ? ", y el fichero ha quedado a medias" : ""));
    }
}

void ReportHtmlFile::fail(const std::string& reason) const {
    throw ReportOutputError("No se puede escribir " + parvane::quoted(path_) + ": " + reason +
                            ". Elija otra ruta para la página HTML.");
}
