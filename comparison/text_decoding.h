#pragma once

// Turning a file's bytes into characters (Unicode code points) and back into UTF-8.

#include <string>
#include <string_view>

namespace parvane {

// The UTF-8 byte-order mark that may open a file; it is not one of the file's characters.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// True when `bytes` are well-formed UTF-8: no overlong forms, no surrogates, nothing past
// U+10FFFF, no sequence cut short.
bool isValidUtf8(std::string_view bytes);

// The length in bytes of the well-formed UTF-8 character at the start of `bytes` (not empty), or
// 0 when it does not start with one.
std::size_t characterLength(std::string_view bytes);

// Replaces `out` with the code points of `bytes`, which must be valid UTF-8.
void decodeUtf8(std::string_view bytes, std::u32string& out);

// Replaces `out` with one character per byte, in the Windows-1252 code page. The five bytes the
// code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the C1 controls of the same
// value.
void decodeWindows1252(std::string_view bytes, std::u32string& out);

// `bytes` made safe to show, as valid UTF-8 on one line: well-formed UTF-8 stays as it is; every
// byte that is not part of a well-formed character, and every control character (C0, DEL, C1),
// becomes \xNN (for a file name that is not UTF-8, say, or one that holds a line break).
std::string printable(std::string_view bytes);

// Appends the UTF-8 form of `text` to `out`.
void appendUtf8(std::string& out, std::u32string_view text);

} // namespace parvane
