#pragma once

// One input file of a comparison: opened for reading on construction, closed on destruction.
// Only regular files are opened, so a folder, FIFO, socket or device is refused at once and
// never blocks. A read that makes no progress for kStallLimit (a kernel file such as /proc/kmsg
// that only has data now and then) is abandoned. Failures throw FileError with a Spanish
// message that names the file and the reason.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

namespace parvane {

class SourceFile {
public:
    static constexpr std::chrono::milliseconds kStallLimit{2000};

    explicit SourceFile(std::filesystem::path path);
    ~SourceFile();
    SourceFile(SourceFile&& other) noexcept
        : path_(std::move(other.path_)), descriptor_(std::exchange(other.descriptor_, -1)) {}
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    // The whole content, or nothing when the file holds more than `maxBytes` bytes; in that case
    // no more than `maxBytes` + 1 bytes are read.
    std::optional<std::string> readAtMost(std::size_t maxBytes);

    const std::filesystem::path& path() const { return path_; }

    // The open file's descriptor, owned by this object: valid until it is destroyed.
    int descriptor() const { return descriptor_; }

    // Throws the FileError of a failed read of this file.
    [[noreturn]] void failReading() const;

private:
    // Up to `size` bytes into `buffer`; 0 at the end of the file.
    std::size_t readSome(char* buffer, std::size_t size);

    [[noreturn]] void fail(const std::string& reason, const std::string& advice) const;

    std::filesystem::path path_;
    int descriptor_ = -1;
};

// «path», as error messages quote a file, made printable (see printable()).
std::string quoted(const std::filesystem::path& path);

} // namespace parvane
