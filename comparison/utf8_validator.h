#pragma once

// The one rule of well-formed UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF, no
// sequence cut short. A validator checks bytes given piece by piece (a sequence may be split
// between pieces); sequenceLength() applies the same rule to the sequence at the start of some
// bytes. Nothing here fails.

#include <cstddef>
#include <string_view>

namespace parvane {

class Utf8Validator {
public:
    void feed(const unsigned char* bytes, std::size_t size);
    void feed(std::string_view bytes) {
        feed(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    }

    // Everything fed so far is well-formed UTF-8, with no sequence left open.
    bool valid() const { return valid_ && pending_ == 0; }
    // Nothing fed so far breaks the rule (the last sequence may still be open).
    bool possible() const { return valid_; }

    // The length in bytes of the well-formed sequence at the start of `bytes` (not empty), or 0
    // when it does not start with one.
    static std::size_t sequenceLength(std::string_view bytes);
    // How many of the `size` bytes at `bytes` are ASCII from the first on.
    static std::size_t asciiPrefix(const unsigned char* bytes, std::size_t size);

private:
    bool valid_ = true;
    int pending_ = 0;                        // continuation bytes still expected
    unsigned char low_ = 0x80, high_ = 0xBF; // the range of the next one
};

} // namespace parvane
