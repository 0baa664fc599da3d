#include "comparison/comparison.h"

#include "comparison/checked_int16.h"
#include "comparison/source_file.h"
#include "comparison/text_decoding.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace parvane {
namespace {

namespace fs = std::filesystem;

constexpr int kLimit = CheckedInt16::kMax;

// Every counted character takes at most four bytes (a line break at most two bytes for the two
// positions it takes), so a file longer than this cannot fit in 16-bit positions whatever it holds.
constexpr std::size_t kMaxFileBytes = 4 * std::size_t{kLimit - 1};

// The position after a text's last character must itself be a position, so a text holds at most
// kLimit - 1 characters; a line, which is always followed by a line break, kLimit - 3.
constexpr int kLongestText = kLimit - 1;
constexpr int kLongestLine = kLimit - 3;
static_assert(kLongestText == 32766 && kLongestLine == 32764, "the figures the messages give");

[[noreturn]] void throwTooLarge(const fs::path& path) {
    throw OverflowError("No se puede comparar " + quoted(path) +
                        ": es demasiado grande. Parvane compara textos de hasta 32766 "
                        "caracteres, contando dos por cada salto de línea. Divida el fichero "
                        "en partes más pequeñas.");
}

// `path` has ended, and its position still grows by a line break for every further line of
// `other`: the limit is passed because of the two files together.
[[noreturn]] void throwTooLargeWith(const fs::path& path, const fs::path& other) {
    throw OverflowError(
        "No se puede comparar " + quoted(path) + " con " + quoted(other) + ": " + quoted(other) +
        " tiene más líneas, y cada línea suya que falta en " + quoted(path) +
        " cuenta allí como un salto de línea (dos caracteres); así " + quoted(path) +
        " pasa de 32766 caracteres, el máximo que Parvane compara. Divida los ficheros en partes "
        "más pequeñas.");
}

[[noreturn]] void throwLineTooLong(const fs::path& path) {
    throw OverflowError("No se puede comparar " + quoted(path) +
                        ": tiene una línea de más de 32764 caracteres, el máximo por línea. "
                        "Divida esa línea en líneas más cortas.");
}

enum class Encoding { Utf8, Windows1252 };

// Lines end at CR LF, CR or LF; a last line without an ending is still a line. Neither byte
// can occur inside a multi-byte UTF-8 character, so lines are found in the bytes.
std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            continue;
        }
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

// What the pass keeps for one file: its lines, display text, position and differences.
class Side {
public:
    Side(const fs::path& path, std::string_view bytes, Encoding encoding)
        : path_(path), encoding_(encoding), lines_(splitLines(bytes)) {
        display_.reserve(bytes.size() + lines_.size() + 16);
    }

    std::size_t lineCount() const { return lines_.size(); }

    // The characters of line `k` (0-based), which also goes into the display text; empty once
    // the file has ended. Valid until the next call.
    std::u32string_view takeLine(std::size_t k) {
        line_.clear();
        ended_ = k >= lines_.size();
        if (ended_) {
            return line_;
        }
        if (encoding_ == Encoding::Utf8) {
            decodeUtf8(lines_[k], line_);
            display_ += lines_[k];
        } else {
            decodeWindows1252(lines_[k], line_);
            appendUtf8(display_, line_);
        }
        display_ += "\r\n";
        return line_;
    }

    void recordDifference() {
        if (!nextSlot_.tryAdd(1)) {
            throwTooLarge(path_);
        }
        differences_.push_back(position_.value());
    }

    void advance(int characters) {
        if (!position_.tryAdd(characters)) {
            throwTooLarge(path_);
        }
    }

    // Moves past the line break that follows every line pair; false when that passes the limit.
    [[nodiscard]] bool tryAdvancePastLineBreak() { return position_.tryAdd(2); }

    // Whether the current line pair lies past this file's last line.
    bool ended() const { return ended_; }

    const fs::path& path() const { return path_; }
    std::string takeDisplayText() { return std::move(display_); }
    std::vector<std::int16_t> takeDifferences() { return std::move(differences_); }

private:
    const fs::path& path_;
    Encoding encoding_;
    std::vector<std::string_view> lines_;
    std::u32string line_;
    std::string display_;
    std::vector<std::int16_t> differences_;
    CheckedInt16 nextSlot_{1};
    CheckedInt16 position_{1};
    bool ended_ = false; // the current line pair lies past this file's last line
};

void compareLines(Side& side1, std::u32string_view line1, Side& side2, std::u32string_view line2) {
    const std::size_t limit = std::max(line1.size(), line2.size());
    if (limit > std::size_t{kLongestLine}) {
        throwLineTooLong(line1.size() > line2.size() ? side1.path() : side2.path());
    }
    for (std::size_t i = 0; i < limit; ++i) {
        const bool has1 = i < line1.size();
        const bool has2 = i < line2.size();
        if (!has1 || !has2 || line1[i] != line2[i]) {
            if (has1) {
                side1.recordDifference();
            }
            if (has2) {
                side2.recordDifference();
            }
        }
        if (has1) {
            side1.advance(1);
        }
        if (has2) {
            side2.advance(1);
        }
    }
}

// `over` has passed the limit at a line break. When it had ended, only the other file's lines
// took it there, unless the other file (`next`) is over too (`nextFits` false): then that one is
// too large by itself.
[[noreturn]] void throwPastTheLimit(const Side& over, const Side& next, bool nextFits) {
    if (over.ended() && nextFits) {
        throwTooLargeWith(over.path(), next.path());
    }
    throwTooLarge(over.ended() ? next.path() : over.path());
}

std::string readBounded(SourceFile& file) {
    std::optional<std::string> bytes = file.readAtMost(kMaxFileBytes);
    if (!bytes) {
        throwTooLarge(file.path());
    }
    return std::move(*bytes);
}

// Both files are decoded the same way, so that "identical" always means the same characters.
// A byte-order mark announces UTF-8; it is not part of the text.
Encoding chooseEncoding(std::string_view& bytes1, std::string_view& bytes2) {
    if (!isValidUtf8(bytes1) || !isValidUtf8(bytes2)) {
        return Encoding::Windows1252;
    }
    for (std::string_view* bytes : {&bytes1, &bytes2}) {
        if (bytes->starts_with(kUtf8ByteOrderMark)) {
            bytes->remove_prefix(kUtf8ByteOrderMark.size());
        }
    }
    return Encoding::Utf8;
}

} // namespace

Comparison compareFiles(const fs::path& file1, const fs::path& file2) {
    SourceFile source1(file1);
    SourceFile source2(file2);
    const std::string bytes1 = readBounded(source1);
    const std::string bytes2 = readBounded(source2);
    std::string_view text1 = bytes1;
    std::string_view text2 = bytes2;
    const Encoding encoding = chooseEncoding(text1, text2);

    Side side1(file1, text1, encoding);
    Side side2(file2, text2, encoding);
    const std::size_t pairs = std::max(side1.lineCount(), side2.lineCount());
    for (std::size_t k = 0; k < pairs; ++k) {
        const std::u32string_view line1 = side1.takeLine(k);
        const std::u32string_view line2 = side2.takeLine(k);
        compareLines(side1, line1, side2, line2);
        const bool fits1 = side1.tryAdvancePastLineBreak();
        const bool fits2 = side2.tryAdvancePastLineBreak();
        if (!fits1 || !fits2) {
            throwPastTheLimit(fits1 ? side2 : side1, fits1 ? side1 : side2, fits1 || fits2);
        }
    }
    return {side1.takeDisplayText(), side2.takeDisplayText(), side1.takeDifferences(),
            side2.takeDifferences(), traitsOf(bytes1),        traitsOf(bytes2)};
}

} // namespace parvane
