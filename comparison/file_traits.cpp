#include "comparison/file_traits.h"

#include "comparison/text_decoding.h"

namespace parvane {

FileTraits traitsOf(std::string_view bytes) {
    FileTraits traits;
    // Line breaks are found in the bytes as the comparison finds them: CR LF, CR or LF.
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ++traits.lfBreaks;
        } else if (bytes[i] == '\r') {
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++traits.crLfBreaks;
                ++i;
            } else {
                ++traits.crBreaks;
            }
        }
    }
    traits.byteOrderMark = bytes.starts_with(kUtf8ByteOrderMark);
    traits.endsWithLineBreak = bytes.ends_with('\n') || bytes.ends_with('\r');
    traits.validUtf8 = isValidUtf8(bytes);
    return traits;
}

} // namespace parvane
