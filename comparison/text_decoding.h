#pragma once

// Turning a file's bytes into characters (Unicode code points) and back into UTF-8.

#include <optional>
#include <string>
#include <string_view>

namespace parvane {

// The code points of `bytes` when they are well-formed UTF-8 (no overlong forms, no surrogates,
// nothing past U+10FFFF); nothing when they are not. A leading byte-order mark is kept.
std::optional<std::u32string> decodeUtf8(std::string_view bytes);

// One character per byte, in the Windows-1252 code page. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the C1 controls of the same value.
std::u32string decodeWindows1252(std::string_view bytes);

// Appends the UTF-8 form of `text` to `out`.
void appendUtf8(std::string& out, std::u32string_view text);

} // namespace parvane
