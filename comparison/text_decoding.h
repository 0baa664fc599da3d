#pragma once

// How a file's bytes become characters (Unicode code points), and back into UTF-8.
//
// Unless told otherwise, both compared files are decoded alike, so that "identical" always means
// the same characters: as UTF-8 when both are well-formed UTF-8 (utf8_validator.h), otherwise
// both as Windows-1252. Told how (DecodingChoice), each file is decoded as told: then a Latin-1
// file and its UTF-8 copy give the same characters. Under UTF-8 a leading byte-order mark
// announces the encoding and is not text; under the others its three bytes are three characters
// of the first line.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace parvane {

enum class Decoding { Utf8, Windows1252, Latin1 };
// The decodings of file 1 and file 2.
using Decodings = std::array<Decoding, 2>;

// How a file is to be decoded when the user says so: as one of the decodings, or as UTF-8 when
// the file is well-formed UTF-8 and as Windows-1252 otherwise, whatever the other file is.
enum class DecodingChoice { Utf8, Windows1252, Latin1, Auto };
// The choices for file 1 and file 2.
using DecodingChoices = std::array<DecodingChoice, 2>;

constexpr Decoding decodingFor(bool valid1, bool valid2) {
    return valid1 && valid2 ? Decoding::Utf8 : Decoding::Windows1252;
}

// "UTF-8", "Windows-1252", "Latin-1".
std::string_view decodingName(Decoding decoding);

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

// Replaces `out` with one character per byte, under `decoding`, which is not UTF-8: Latin-1 gives
// every byte the code point of its value.
void decodeSingleBytes(Decoding decoding, std::string_view bytes, std::u32string& out);

// The code point of one byte under `decoding`, which is not UTF-8.
inline char32_t singleByteCharacter(Decoding decoding, unsigned char byte) {
    return decoding == Decoding::Latin1 ? char32_t{byte} : windows1252Character(byte);
}

// `bytes` made safe to show, as valid UTF-8 on one line: well-formed UTF-8 stays as it is; every
// byte that is not part of a well-formed character, and every control character (C0, DEL, C1),
// becomes \xNN (for a file name that is not UTF-8, say, or one that holds a line break).
std::string printable(std::string_view bytes);

// Appends the UTF-8 form of `text` to `out`.
void appendUtf8(std::string& out, std::u32string_view text);

} // namespace parvane
