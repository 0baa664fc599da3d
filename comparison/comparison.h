#pragma once

// Positional comparison of two text files.
//
// compareFiles() reads both files line by line in step (CR LF, CR and LF each end a line) and
// compares line k of file 1 with line k of file 2, column by column. For each file it returns the
// display text (every line followed by "\r\n", UTF-8) and the 1-based text positions of the
// characters that differ from the character in the same line and column of the other file, in
// increasing order; a line break counts as two characters. Characters are Unicode code points:
// both files are decoded as UTF-8 when both are valid UTF-8 (a leading byte-order mark is not
// part of the text), otherwise both as Windows-1252. Both lists empty means identical files.
//
// Positions are 16-bit: a display text that would push a position past 32767 (so one of more than
// 32766 characters, or with a line of more than 32764), throws OverflowError. A path that is not a
// readable regular file throws FileError. Messages are Spanish and name the file. Both files are
// closed whatever happens.
//
// The result also gives each file's traits (file_traits.h): what its bytes hold beyond the
// characters compared, such as its kind of line break. It is made from one comparison with the
// display limits (file_comparison.h), which also throws FileChangedError when a file changes
// while it is compared.

#include "comparison/comparison_error.h"
#include "comparison/file_traits.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace parvane {

struct Comparison {
    std::string displayText1, displayText2;               // UTF-8, every line followed by "\r\n"
    std::vector<std::int16_t> differences1, differences2; // 1-based text positions, increasing
    FileTraits traits1, traits2;                          // of each file's bytes
};

Comparison compareFiles(const std::filesystem::path& file1, const std::filesystem::path& file2);

} // namespace parvane
