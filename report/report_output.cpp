#include "report/report_output.h"

#include <cerrno>
#include <charconv>

ReportOutput::ReportOutput(std::FILE* stream, std::string name)
    : stream_(stream), name_(std::move(name)) {
    buffer_.reserve(kBlock);
}

ReportOutput& ReportOutput::operator<<(std::string_view text) {
    buffer_ += text;
    if (stream_ != nullptr && buffer_.size() >= kBlock) {
        push();
    }
    return *this;
}

ReportOutput& ReportOutput::operator<<(std::uint64_t number) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, number);
    return *this << std::string_view(digits, static_cast<std::size_t>(result.ptr - digits));
}

void ReportOutput::flush() {
    if (stream_ == nullptr) {
        return;
    }
    push();
    errno = 0;
    if (std::fflush(stream_) != 0) {
        fail(errno);
    }
}

void ReportOutput::push() {
    if (buffer_.empty()) {
        return;
    }
    errno = 0;
    const std::size_t written = std::fwrite(buffer_.data(), 1, buffer_.size(), stream_);
    if (written != buffer_.size() || (errno = 0, std::fflush(stream_) != 0)) {
        fail(errno);
    }
    buffer_.clear();
}

void ReportOutput::fail(int error) const {
    if (error == EPIPE) {
        throw ReportOutputClosed{};
    }
    throw ReportOutputError("No se puede escribir el informe en " + name_ + ": " + reason(error) +
                            ".");
}

std::string ReportOutput::reason(int error) {
    switch (error) {
    case ENOSPC: return "no queda espacio en el dispositivo";
    case EDQUOT: return "se ha agotado su cuota de disco";
    case EFBIG: return "el fichero sería demasiado grande";
    case EIO: return "error de entrada o salida del dispositivo";
    case EACCES:
    case EPERM: return "sin permiso de escritura";
    case EROFS: return "el sistema de ficheros es de solo lectura";
    case EBADF: return "no está abierta para escribir";
    case 0: return "error de escritura";
    default: return "error de escritura (código " + std::to_string(error) + ")";
    }
}
