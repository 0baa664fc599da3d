#pragma once

// The file that a report page goes to, written whole or not at all: the page is written to a
// new hidden file beside `path` (same folder, so the last step is a rename) and takes the name
// `path` only on commit(). Until then, and when anything fails, `path` is left as it was and
// the hidden file is removed on destruction.
//
// The constructor and commit() throw ReportOutputError with a Spanish message naming `path`.

#include <cstdio>
#include <filesystem>

class ReportHtmlFile {
public:
    explicit ReportHtmlFile(std::filesystem::path path);
    ~ReportHtmlFile();
    ReportHtmlFile(const ReportHtmlFile&) = delete;
    ReportHtmlFile& operator=(const ReportHtmlFile&) = delete;

    // Where to write the page; owned by this object.
    std::FILE* stream() const { return stream_; }

    // Flushes the page to the disk and gives it its name.
    void commit();

private:
    [[noreturn]] void fail(const std::string& reason) const;

    std::filesystem::path path_;
    std::filesystem::path temporary_;
    std::FILE* stream_ = nullptr;
    bool committed_ = false;
};
