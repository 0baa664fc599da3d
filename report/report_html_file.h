#pragma once

// The file that a report page goes to. What `path` names, its links followed, decides how the
// page is written and what is guaranteed:
//
// - Nothing yet, or a regular file with one name: the page is written to a hidden file in the
//   same folder (see ReportTemporaryFile) that takes the name only on commit(). The page is
//   whole or not at all, and until then, or when anything fails, `path` is left as it was. A
//   link keeps being a link: its target is what is replaced (or created, for a link to nothing).
//   A file written over keeps its mode and, where permitted, its owner and group (when its
//   group cannot be kept the page's group gets no permissions); it loses any ACL or extended
//   attribute.
// - A regular file with more than one name (hard links), or one that may be written but not
//   replaced (another user's file in a folder such as /tmp, a file mounted over another): the
//   whole page is still made in the hidden file first, then copied over the file, so that every
//   name shows it. A failure before the copy leaves the file as it was; only a failure of the
//   copy itself, after space for it was reserved (an I/O error, or a full disk where space
//   cannot be reserved), can leave it part written, and the message says so.
// - The file or pipe that `out` or `err` writes to (`/dev/stdout`, say): the page is written
//   into that stream, and stream() returns it.
// - A character device or a FIFO (a pipe such as `>(cmd)`): the page is written straight into
//   it as it is made, and what was written stays even if the report fails later.
//
// Refused, with nothing written: one of `inputs` (the same file, whatever its name); a folder, a
// socket, a block device or any other kind of file; a FIFO that nobody reads; a file the user
// may not write or that has no write permission at all (even for root); a folder the hidden
// file cannot be made in; and an existing file that is neither a page (it starts as HTML, or is
// empty) nor named as one (.html, .htm, .xhtml), so that a text file named by mistake is not
// lost.
//
// The constructor and commit() throw ReportOutputError with a Spanish message naming `path`.

#include "report/report_temporary_file.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include <sys/stat.h>

class ReportHtmlFile {
public:
    ReportHtmlFile(std::filesystem::path path, const std::array<std::filesystem::path, 2>& inputs,
                   std::FILE* out, std::FILE* err);
    ~ReportHtmlFile();
    ReportHtmlFile(const ReportHtmlFile&) = delete;
    ReportHtmlFile& operator=(const ReportHtmlFile&) = delete;

    // Where to write the page: `out` or `err` when it is their file, otherwise owned by this
    // object.
    std::FILE* stream() const { return stream_; }

    // Flushes the page to the disk and puts it where it belongs.
    void commit();

private:
    enum class Kind { Replace, CopyOver, Straight, Shared };

    void open(const std::array<std::filesystem::path, 2>& inputs, std::FILE* out, std::FILE* err);
    void close();
    void openRegular(const struct stat& file);
    void openNew();
    void openStraight(const struct stat& file);
    void startTemporary(mode_t mode);
    void copyOver();
    [[noreturn]] void fail(const std::string& reason) const;

    std::filesystem::path path_;
    std::filesystem::path target_; // the file replaced or written over, links followed
    Kind kind_ = Kind::Replace;
    std::optional<ReportTemporaryFile> temporary_;
    int targetDescriptor_ = -1; // the file written over, or replaced, open for writing
    std::FILE* stream_ = nullptr;
};
