#pragma once

// One input file of a comparison: opened for reading on construction, closed on destruction, or
// its bytes held in memory once read whole (holdWhole()), from which it is then read. Only
// regular files are opened (and /dev/null, an empty file, as git passes it for a file that
// one side lacks), so a folder, FIFO, socket or other device is refused at once and never blocks.
// A read that makes no progress for kStallLimit (a kernel file such as /proc/kmsg that only has
// data now and then) is abandoned. Failures throw FileError (comparison_error.h) with a Spanish
// message that names the file and the reason.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include <sys/stat.h>

namespace parvane {

// What the system tells of a file's content: the same identity means the same content, as far
// as it can tell.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};
    bool isDevice = false; // a device (/dev/null), whose times say nothing of its content

    bool operator==(const FileIdentity& other) const;
};

class SourceFile {
public:
    static constexpr std::chrono::milliseconds kStallLimit{2000};

    explicit SourceFile(std::filesystem::path path);
    // A file held in memory: `bytes`, as they were when the file had `identity`.
    SourceFile(std::filesystem::path path, std::shared_ptr<const std::string> bytes,
               const FileIdentity& identity)
        : path_(std::move(path)), held_(std::move(bytes)), identity_(identity) {}
    ~SourceFile();
    SourceFile(SourceFile&& other) noexcept
        : path_(std::move(other.path_)), descriptor_(std::exchange(other.descriptor_, -1)),
          held_(std::move(other.held_)), identity_(other.identity_) {}
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Reads the whole file into memory and reads from there from now on; false, with nothing
    // held, when it holds more than `maxBytes` bytes (no more than `maxBytes` + 1 are read). What
    // is read is what is compared, whatever happens to the file meanwhile.
    bool holdWhole(std::uint64_t maxBytes);
    // The bytes held, if any.
    const std::shared_ptr<const std::string>& held() const { return held_; }

    // Up to `size` bytes from `offset` into `buffer`; fewer only at the end of the file.
    std::size_t readAt(std::uint64_t offset, unsigned char* buffer, std::size_t size) const;

    // The open file's identity now; throws the FileError of a failed read when the system cannot
    // tell it.
    FileIdentity identity() const;

    // Throws the FileError of a failed read of this file.
    [[noreturn]] void failReading() const;

private:
    [[noreturn]] void fail(const std::string& reason, const std::string& advice) const;

    std::filesystem::path path_;
    int descriptor_ = -1;
    std::shared_ptr<const std::string> held_;
    FileIdentity identity_; // of the file whose bytes are held
};

// «path», as error messages quote a file, made printable (see printable()).
std::string quoted(const std::filesystem::path& path);

} // namespace parvane
