#pragma once

// What a file's bytes hold beyond its characters: the kinds of its line breaks, a leading UTF-8
// byte-order mark, a final line break, and whether the bytes are valid UTF-8. Two files can give
// the same characters to compare and still differ in these. The comparison's pass finds them;
// byteNotes() says in Spanish how two files differ in them, as the window and the report tell it.

#include <cstddef>
#include <string>
#include <vector>

namespace parvane {

struct FileTraits {
    std::size_t crLfBreaks = 0, lfBreaks = 0, crBreaks = 0; // line breaks of each kind
    bool byteOrderMark = false;                             // starts with EF BB BF
    bool endsWithLineBreak = false;
    bool validUtf8 = true;

    bool operator==(const FileTraits&) const = default;
};

// What differs in the bytes of the first and second file beyond the characters compared, one
// sentence each: "Los saltos de línea difieren: CR LF / LF", and so on; none when nothing does.
std::vector<std::string> byteNotes(const FileTraits& first, const FileTraits& second);

// "CR LF", "LF", "CR", "CR LF y LF"...; "ninguno" when the file has no line break.
std::string lineBreaksOf(const FileTraits& traits);

} // namespace parvane
