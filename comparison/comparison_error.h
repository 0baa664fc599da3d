#pragma once

// What a comparison throws, always with a Spanish message that names the file or files:
//  - FileError: a path is not a readable regular file (or a read of it failed);
//  - OverflowError: the files pass the limits of a comparison made with them;
//  - FileChangedError: a file changed while it was compared, or since;
//  - ComparisonCancelled: the caller's progress callback asked to stop.

#include <stdexcept>

namespace parvane {

struct ComparisonError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
struct FileError : ComparisonError {
    using ComparisonError::ComparisonError;
};
struct OverflowError : ComparisonError {
    using ComparisonError::ComparisonError;
};
struct FileChangedError : ComparisonError {
    using ComparisonError::ComparisonError;
};
struct ComparisonCancelled : ComparisonError {
    using ComparisonError::ComparisonError;
};

} // namespace parvane

#include <filesystem>

namespace parvane {

// The FileChangedError of a file that changed while the pass read it, or since the pass.
[[noreturn]] void throwChangedDuringPass(const std::filesystem::path& path);
[[noreturn]] void throwChangedSince(const std::filesystem::path& path);

} // namespace parvane
