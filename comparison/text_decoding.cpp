#include "comparison/text_decoding.h"

#include "comparison/utf8_validator.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace parvane {
namespace {

// Code points of the bytes 0x80..0x9F; the other bytes stand for the code point of their value.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, //
};

} // namespace

std::optional<std::string_view> unreadEncoding(std::string_view head) {
    using namespace std::string_view_literals;
    if (head.starts_with("\xFF\xFE\0\0"sv) || head.starts_with("\0\0\xFE\xFF"sv)) {
        return "UTF-32";
    }
    if (head.starts_with("\xFF\xFE"sv) || head.starts_with("\xFE\xFF"sv)) {
        return "UTF-16";
    }
    return std::nullopt;
}

bool isValidUtf8(std::string_view bytes) {
    Utf8Validator validator;
    validator.feed(bytes);
    return validator.valid();
}

std::string printable(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t length = Utf8Validator::sequenceLength(bytes.substr(i));
        const auto lead = static_cast<unsigned char>(bytes[i]);
        // U+0080..U+009F are the C1 controls, C2 80..C2 9F in UTF-8.
        const bool control =
            lead < 0x20 || lead == 0x7F ||
            (length == 2 && lead == 0xC2 && static_cast<unsigned char>(bytes[i + 1]) < 0xA0);
        if (length == 0 || control) {
            for (std::size_t k = 0; k < std::max<std::size_t>(length, 1); ++k) {
                const auto byte = static_cast<unsigned char>(bytes[i + k]);
                out += "\\x";
                out += kHex[byte >> 4];
                out += kHex[byte & 0xF];
            }
            i += std::max<std::size_t>(length, 1);
            continue;
        }
        out.append(bytes.substr(i, length));
        i += length;
    }
    return out;
}

void decodeUtf8(std::string_view bytes, std::u32string& out) {
    out.clear();
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        char32_t code = lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            code = (code << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
        }
        out.push_back(code);
        i += length;
    }
}

char32_t windows1252Character(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F ? kWindows1252High[byte - 0x80] : byte;
}

void decodeWindows1252(std::string_view bytes, std::u32string& out) {
    out.clear();
    for (const char c : bytes) {
        out.push_back(windows1252Character(static_cast<unsigned char>(c)));
    }
}

void decodeSingleBytes(Decoding decoding, std::string_view bytes, std::u32string& out) {
    if (decoding == Decoding::Windows1252) {
        decodeWindows1252(bytes, out);
        return;
    }
    out.clear();
    for (const char c : bytes) {
        out.push_back(static_cast<unsigned char>(c));
    }
}

std::string_view decodingName(Decoding decoding) {
    switch (decoding) {
    case Decoding::Utf8: return "UTF-8";
    case Decoding::Windows1252: return "Windows-1252";
    case Decoding::Latin1: return "Latin-1";
    }
    return {};
}

void appendUtf8(std::string& out, std::u32string_view text) {
    for (const char32_t c : text) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
}

} // namespace parvane
