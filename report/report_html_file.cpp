#include "report/report_html_file.h"

#include "report/report_output.h"
#include "comparison/source_file.h"

#include <cerrno>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string creationReason(int error) {
    switch (error) {
    case EACCES:
    case EPERM: return "sin permiso de escritura en su carpeta";
    case ENOENT: return "su carpeta no existe";
    case ENOTDIR: return "parte de la ruta no es una carpeta";
    case ENAMETOOLONG: return "el nombre es demasiado largo";
    default: return ReportOutput::reason(error);
    }
}

} // namespace

ReportHtmlFile::ReportHtmlFile(fs::path path) : path_(std::move(path)) {
    if (!path_.has_filename()) {
        fail("es una carpeta");
    }
    const fs::path folder = path_.has_parent_path() ? path_.parent_path() : fs::path(".");
    static unsigned attempt = 0;
    for (int tries = 0; tries < 100; ++tries) {
        temporary_ = folder / ("." + path_.filename().native() + "." + std::to_string(::getpid()) +
                               "-" + std::to_string(attempt++) + ".tmp");
        const int descriptor =
            ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (descriptor < 0 && errno == EEXIST) {
            continue;
        }
        if (descriptor < 0) {
            const int error = errno;
            temporary_.clear();
            fail(creationReason(error));
        }
        stream_ = ::fdopen(descriptor, "wb");
        if (stream_ == nullptr) {
            const int error = errno;
            ::close(descriptor);
            fail(ReportOutput::reason(error));
        }
        return;
    }
    temporary_.clear();
    fail("no se puede crear un fichero temporal en su carpeta");
}

ReportHtmlFile::~ReportHtmlFile() {
    if (stream_ != nullptr) {
        std::fclose(stream_);
    }
    if (!committed_ && !temporary_.empty()) {
        ::unlink(temporary_.c_str());
    }
}

void ReportHtmlFile::commit() {
    errno = 0;
    if (std::fflush(stream_) != 0 || ::fsync(::fileno(stream_)) != 0) {
        fail(ReportOutput::reason(errno));
    }
    std::FILE* stream = stream_;
    stream_ = nullptr;
    if (std::fclose(stream) != 0) {
        fail(ReportOutput::reason(errno));
    }
    if (::rename(temporary_.c_str(), path_.c_str()) != 0) {
        const int error = errno;
        fail(error == EISDIR ? std::string("es una carpeta") : creationReason(error));
    }
    committed_ = true;
}

void ReportHtmlFile::fail(const std::string& reason) const {
    throw ReportOutputError("No se puede escribir " + parvane::quoted(path_) + ": " + reason +
                            ". Elija otra ruta para la página HTML.");
}
