#pragma once

// What a file's bytes hold beyond its characters: the kinds of its line breaks, a leading UTF-8
// byte-order mark, a final line break, and whether the bytes are valid UTF-8. Two files can give
// the same characters to compare and still differ in these. The comparison's pass finds them.

#include <cstddef>

namespace parvane {

struct FileTraits {
    std::size_t crLfBreaks = 0, lfBreaks = 0, crBreaks = 0; // line breaks of each kind
    bool byteOrderMark = false;                             // starts with EF BB BF
    bool endsWithLineBreak = false;
    bool validUtf8 = true;

    bool operator==(const FileTraits&) const = default;
};

} // namespace parvane
