#pragma once

// One input file of a comparison: opened for reading on construction, closed on destruction.
// Only regular files are opened, so a folder, FIFO, socket or device is refused at once and
// never blocks. Failures throw FileError with a Spanish message that names the file.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include <stdio.h>

namespace parvane {

class SourceFile {
public:
    explicit SourceFile(std::filesystem::path path);

    // The whole content, or nothing when the file holds more than `maxBytes` bytes; in that case
    // no more than `maxBytes` + 1 bytes are read.
    std::optional<std::string> readAtMost(std::size_t maxBytes);

    const std::filesystem::path& path() const { return path_; }

    // The open file's descriptor, owned by this object: valid until it is destroyed.
    int descriptor() const { return ::fileno(file_.get()); }

    // Throws the FileError of a failed read of this file.
    [[noreturn]] void failReading() const;

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    [[noreturn]] void fail(const std::string& reason, const std::string& advice) const;

    std::filesystem::path path_;
    std::unique_ptr<std::FILE, Closer> file_;
};

// «path», as error messages quote a file, made printable (see printable()).
std::string quoted(const std::filesystem::path& path);

} // namespace parvane
