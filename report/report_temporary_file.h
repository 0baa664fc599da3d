#pragma once

// A hidden file that a report page is written to before it goes where it belongs: created new
// (never an existing file) in `folder` as ".parvane-PID-N.tmp", a name short whatever the page's
// own name, and removed on destruction unless it was renamed.
//
// While it exists, SIGINT, SIGTERM and SIGHUP remove it and then end the program as they would
// have (a signal the program ignores stays ignored); the handlers are put back as they were when
// it goes. One such file exists at a time. Failures throw std::system_error with the errno value.

#include <filesystem>

#include <sys/types.h>

class ReportTemporaryFile {
public:
    // The file, open for reading and writing, with `mode` less the umask.
    ReportTemporaryFile(const std::filesystem::path& folder, mode_t mode);
    ~ReportTemporaryFile();
    ReportTemporaryFile(const ReportTemporaryFile&) = delete;
    ReportTemporaryFile& operator=(const ReportTemporaryFile&) = delete;

    // Open for reading and writing; owned by this object.
    int descriptor() const { return descriptor_; }

    // Gives it the name `target`, replacing what had it.
    void renameTo(const std::filesystem::path& target);

    // Copies its whole content over the regular file open as `target`, which is then cut to the
    // same length, and removes itself. Space is reserved before the first byte is written, where
    // the file system can; SIGINT, SIGTERM and SIGHUP wait until the copy is over. `touched` says
    // whether the target was changed when it throws.
    void copyOver(int target, bool& touched);

private:
    void forget();

    std::filesystem::path path_;
    int descriptor_ = -1;
};
