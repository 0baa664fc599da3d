#pragma once

// Where a report is written: a stdio stream that the caller owns and keeps open. Text is
// gathered in a small buffer and handed to the stream a block at a time, so that a reader that
// went away is noticed early and memory stays bounded whatever the report's size.
//
// A failed write throws: ReportOutputClosed when the reader of a pipe went away (EPIPE; the
// report just stops), ReportOutputError with a Spanish message naming the output otherwise.
// SIGPIPE must be ignored by then, or the process dies at the first write to such a pipe.

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

struct ReportOutputClosed {};

struct ReportOutputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class ReportOutput {
public:
    // `name` names the output in messages, e.g. "la salida estándar" or «informe.html».
    ReportOutput(std::FILE* stream, std::string name);
    // An output that keeps what is written, in text().
    ReportOutput() = default;
    ReportOutput(const ReportOutput&) = delete;
    ReportOutput& operator=(const ReportOutput&) = delete;

    ReportOutput& operator<<(std::string_view text);
    ReportOutput& operator<<(std::uint64_t number);

    // Hands everything written so far to the stream and flushes it.
    void flush();
    // What an output without a stream holds.
    const std::string& text() const { return buffer_; }

    // The Spanish reason for the write error `error` (an errno value).
    static std::string reason(int error);

private:
    void push();
    [[noreturn]] void fail(int error) const;

    static constexpr std::size_t kBlock = 64 * 1024;

    std::FILE* stream_ = nullptr;
    std::string name_;
    std::string buffer_;
};
