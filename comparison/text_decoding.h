#pragma once

// How a file's bytes become characters (Unicode code points), and back into UTF-8.
//
// Both compared files are decoded alike, so that "identical" always means the same characters:
// as UTF-8 when both are well-formed UTF-8 (utf8_validator.h), otherwise both as Windows-1252.
// Under UTF-8 a leading byte-order mark announces the encoding and is not text; under
// Windows-1252 its three bytes are three characters of the first line.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace parvane {

enum class Decoding { Utf8, Windows1252 };

constexpr Decoding decodingFor(bool valid1, bool valid2) {
    return valid1 && valid2 ? Decoding::Utf8 : Decoding::Windows1252;
}

// The UTF-8 byte-order mark that may open a file.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Where the text of a file starts: after its byte-order mark, if it has one, under UTF-8.
constexpr std::size_t textStart(Decoding decoding, bool byteOrderMark) {
    return decoding == Decoding::Utf8 && byteOrderMark ? kUtf8ByteOrderMark.size() : 0;
}

// The name of the encoding that a byte-order mark at the start of `head` (the first four bytes of
// a file, or fewer) announces when it is one the comparison does not read: "UTF-16" or "UTF-32".
// A file in them would be compared byte by byte as nonsense; it is refused instead.
std::optional<std::string_view> unreadEncoding(std::string_view head);

// True when `bytes` are well-formed UTF-8.
bool isValidUtf8(std::string_view bytes);

// Replaces `out` with the code points of `bytes`, which must be valid UTF-8.
void decodeUtf8(std::string_view bytes, std::u32string& out);

// Replaces `out` with one character per byte, in the Windows-1252 code page. The five bytes the
// code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the C1 controls of the same
// value.
void decodeWindows1252(std::string_view bytes, std::u32string& out);

// The code point of one byte under Windows-1252.
char32_t windows1252Character(unsigned char byte);

// `bytes` made safe to show, as valid UTF-8 on one line: well-formed UTF-8 stays as it is; every
// byte that is not part of a well-formed character, and every control character (C0, DEL, C1),
// becomes \xNN (for a file name that is not UTF-8, say, or one that holds a line break).
std::string printable(std::string_view bytes);

// Appends the UTF-8 form of `text` to `out`.
void appendUtf8(std::string& out, std::u32string_view text);

} // namespace parvane
