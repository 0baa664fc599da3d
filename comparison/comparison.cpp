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
constexpr char32_t kByteOrderMark = U'\uFEFF';

// Every counted character takes at most four bytes (a line break at most two bytes for the two
// positions it takes), so a file longer than this cannot fit in 16-bit positions whatever it holds.
constexpr std::size_t kMaxFileBytes = 4 * std::size_t{kLimit - 1};

[[noreturn]] void throwTooLarge(const fs::path& path) {
    throw OverflowError("No se puede comparar " + quoted(path) +
                        ": es demasiado grande. Parvane compara textos de hasta 32767 "
                        "caracteres, contando dos por cada salto de línea. Divida el fichero "
                        "en partes más pequeñas.");
}

[[noreturn]] void throwLineTooLong(const fs::path& path) {
    throw OverflowError("No se puede comparar " + quoted(path) +
                        ": tiene una línea de más de 32767 caracteres, el máximo por línea. "
                        "Divida esa línea en líneas más cortas.");
}

// Lines end at CR LF, CR or LF; a last line without an ending is still a line.
std::vector<std::u32string_view> splitLines(std::u32string_view text) {
    std::vector<std::u32string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != U'\r' && text[i] != U'\n') {
            continue;
        }
        lines.push_back(text.substr(start, i - start));
        if (text[i] == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') {
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
    Side(const fs::path& path, std::u32string_view text)
        : path_(path), lines_(splitLines(text)) {
        display_.reserve(text.size() + lines_.size() + 16);
    }

    std::size_t lineCount() const { return lines_.size(); }

    // Line `k` (0-based), which also goes into the display text; empty once the file has ended.
    std::u32string_view takeLine(std::size_t k) {
        if (k >= lines_.size()) {
            return {};
        }
        appendUtf8(display_, lines_[k]);
        display_ += "\r\n";
        return lines_[k];
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

    const fs::path& path() const { return path_; }
    std::string takeDisplayText() { return std::move(display_); }
    std::vector<std::int16_t> takeDifferences() { return std::move(differences_); }

private:
    const fs::path& path_;
    std::vector<std::u32string_view> lines_;
    std::string display_;
    std::vector<std::int16_t> differences_;
    CheckedInt16 nextSlot_{1};
    CheckedInt16 position_{1};
};

void compareLines(Side& side1, std::u32string_view line1, Side& side2, std::u32string_view line2) {
    const std::size_t limit = std::max(line1.size(), line2.size());
    if (!CheckedInt16::fits(static_cast<long long>(limit))) {
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

std::string readBounded(SourceFile& file) {
    std::optional<std::string> bytes = file.readAtMost(kMaxFileBytes);
    if (!bytes) {
        throwTooLarge(file.path());
    }
    return std::move(*bytes);
}

// Both files are decoded the same way, so that "identical" always means the same characters.
std::pair<std::u32string, std::u32string> decodeBoth(std::string_view bytes1,
                                                     std::string_view bytes2) {
    std::optional<std::u32string> text1 = decodeUtf8(bytes1);
    std::optional<std::u32string> text2 = text1 ? decodeUtf8(bytes2) : std::nullopt;
    if (!text1 || !text2) {
        return {decodeWindows1252(bytes1), decodeWindows1252(bytes2)};
    }
    for (std::u32string* text : {&*text1, &*text2}) {
        if (!text->empty() && text->front() == kByteOrderMark) {
            text->erase(0, 1);
        }
    }
    return {std::move(*text1), std::move(*text2)};
}

} // namespace

Comparison compareFiles(const fs::path& file1, const fs::path& file2) {
    SourceFile source1(file1);
    SourceFile source2(file2);
    const std::string bytes1 = readBounded(source1);
    const std::string bytes2 = readBounded(source2);
    const auto [text1, text2] = decodeBoth(bytes1, bytes2);

    Side side1(file1, text1);
    Side side2(file2, text2);
    const std::size_t pairs = std::max(side1.lineCount(), side2.lineCount());
    for (std::size_t k = 0; k < pairs; ++k) {
        const std::u32string_view line1 = side1.takeLine(k);
        const std::u32string_view line2 = side2.takeLine(k);
        compareLines(side1, line1, side2, line2);
        side1.advance(2);
        side2.advance(2);
    }
    return {side1.takeDisplayText(), side2.takeDisplayText(), side1.takeDifferences(),
            side2.takeDifferences()};
}

} // namespace parvane
