#pragma once

// Helpers shared by the engine tests: a fresh temporary folder per test, a guarded call of
// compareFiles() that cannot hang a test, the ways a file can change under a comparison, and
// small builders of expected values.

#include "comparison/comparison.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace parvane::test {

using Positions = std::vector<std::int16_t>;

// A folder under the system's temporary folder, unique to one test, removed with its content.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes bytes (exactly, no newline translation) to name inside the folder; returns its path.
    std::filesystem::path write(const std::string& name, std::string_view bytes) const;

private:
    std::filesystem::path path_;
};

// Base fixture: every test gets its own folder.
class ComparisonTest : public ::testing::Test {
protected:
    // Writes the two contents to files and compares them.
    Comparison compareContents(std::string_view bytes1, std::string_view bytes2) const;

    TempFolder folder_;
};

// What a call of compareFiles() came to, for tests of inputs that might block or throw.
struct Outcome {
    enum class Kind { Finished, FileError, OverflowError, OtherError, TimedOut };
    Kind kind = Kind::TimedOut;
    std::string message;  // what() of the error
    double seconds = 0.0; // time taken
};

// Runs compareFiles() on its own thread and gives up after limit. A timed-out call is abandoned
// (its thread detached) so that the test run goes on and reports the failure.
Outcome compareGuarded(const std::filesystem::path& file1, const std::filesystem::path& file2,
                       std::chrono::seconds limit = std::chrono::seconds(20));

const char* kindName(Outcome::Kind kind);

// A change made to a compared file, for the tests of what the comparison without limits does then.
struct FileChange {
    const char* name;
    void (*apply)(const std::filesystem::path& path, const TempFolder& folder);
};
// Truncated to nothing, truncated to 5 bytes, grown, replaced by a rename, removed.
const std::vector<FileChange>& fileChanges();

// UTF-8 encoding of one code point.
std::string utf8(char32_t codePoint);
// text repeated count times.
std::string repeat(std::string_view text, int count);
// first, first + 1, ..., last.
Positions range(int first, int last);
// True when haystack contains needle, ignoring the case of ASCII letters.
bool containsIgnoringCase(std::string_view haystack, std::string_view needle);

} // namespace parvane::test
