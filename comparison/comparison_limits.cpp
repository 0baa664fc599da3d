#include "comparison/comparison_limits.h"

#include "comparison/source_file.h"

#include <algorithm>

namespace parvane {
namespace {

namespace fs = std::filesystem;

// The position after a text's last character must itself be a position, so a text holds at most
// kMax - 1 characters; a line, which is always followed by a line break, kMax - 3.
constexpr int kLongestText = CheckedInt16::kMax - 1;
constexpr int kLongestLine = CheckedInt16::kMax - 3;
static_assert(kLongestText == 32766 && kLongestLine == 32764, "the figures the messages give");

// `path` has ended, and its position still grows by a line break for every further line of
// `other`: the limit is passed because of the two files together.
std::string tooLargeWith(const fs::path& path, const fs::path& other) {
    return "No se puede comparar " + quoted(path) + " con " + quoted(other) + ": " + quoted(other) +
           " tiene más líneas, y cada línea suya que falta en " + quoted(path) +
           " cuenta allí como un salto de línea (dos caracteres); así " + quoted(path) +
           " pasa de 32766 caracteres, el máximo que Parvane compara. Divida los ficheros en "
           "partes más pequeñas.";
}

std::string lineTooLong(const fs::path& path) {
    return "No se puede comparar " + quoted(path) +
           ": tiene una línea de más de 32764 caracteres, el máximo por línea. Divida esa línea "
           "en líneas más cortas.";
}

} // namespace

std::string ComparisonLimits::tooLarge(const fs::path& path) {
    return "No se puede comparar " + quoted(path) +
           ": es demasiado grande. Parvane compara textos de hasta 32766 caracteres, contando "
           "dos por cada salto de línea. Divida el fichero en partes más pequeñas.";
}

void ComparisonLimits::add(bool has1, std::uint64_t length1, bool has2, std::uint64_t length2) {
    if (refusal_) {
        return;
    }
    if (std::max(length1, length2) > std::uint64_t{kLongestLine}) {
        refuse(lineTooLong(length1 > length2 ? file1_ : file2_));
        return;
    }
    // The characters, column by column: the first position to pass the limit names its file,
    // file 1 first within a column.
    const std::uint64_t room1 = std::uint64_t(CheckedInt16::kMax - position1_.value());
    const std::uint64_t room2 = std::uint64_t(CheckedInt16::kMax - position2_.value());
    const bool over1 = length1 > room1;
    const bool over2 = length2 > room2;
    if (over1 || over2) {
        refuse(tooLarge(over1 && (!over2 || room1 <= room2) ? file1_ : file2_));
        return;
    }
    (void)position1_.tryAdd(int(length1));
    (void)position2_.tryAdd(int(length2));
    // The line break after the pair, in both files.
    const bool fits1 = position1_.tryAdd(2);
    const bool fits2 = position2_.tryAdd(2);
    if (fits1 && fits2) {
        return;
    }
    // The first file over the limit (file 1 when both are); when it has ended, only the other
    // file's lines took it there, unless the other is over too: then that one is too large.
    const bool firstOver = !fits1;
    const bool overEnded = firstOver ? !has1 : !has2;
    const fs::path& over = firstOver ? file1_ : file2_;
    const fs::path& next = firstOver ? file2_ : file1_;
    const bool nextFits = firstOver ? fits2 : true;
    if (overEnded && nextFits) {
        refuse(tooLargeWith(over, next));
    } else {
        refuse(tooLarge(overEnded ? next : over));
    }
}

} // namespace parvane
