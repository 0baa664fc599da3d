#include "comparison/file_traits.h"

namespace parvane {
namespace {

// "el primer fichero" / "el segundo fichero", with a capital when it starts a sentence.
std::string fileName(bool first, bool capital) {
    return std::string(capital ? "E" : "e") + (first ? "l primer fichero" : "l segundo fichero");
}

} // namespace

std::string lineBreaksOf(const FileTraits& traits) {
    std::vector<std::string> kinds;
    if (traits.crLfBreaks > 0) {
        kinds.emplace_back("CR LF");
    }
    if (traits.lfBreaks > 0) {
        kinds.emplace_back("LF");
    }
    if (traits.crBreaks > 0) {
        kinds.emplace_back("CR");
    }
    if (kinds.empty()) {
        return "ninguno";
    }
    std::string text = kinds.front();
    for (std::size_t k = 1; k < kinds.size(); ++k) {
        text += (k + 1 == kinds.size() ? " y " : ", ") + kinds[k];
    }
    return text;
}

std::vector<std::string> byteNotes(const FileTraits& first, const FileTraits& second) {
    std::vector<std::string> notes;
    const bool breaks1 = first.crLfBreaks + first.lfBreaks + first.crBreaks > 0;
    const bool breaks2 = second.crLfBreaks + second.lfBreaks + second.crBreaks > 0;
    const std::string kinds1 = lineBreaksOf(first);
    const std::string kinds2 = lineBreaksOf(second);
    if (breaks1 && breaks2 && kinds1 != kinds2) {
        notes.push_back("Los saltos de línea difieren: " + kinds1 + " / " + kinds2);
    }
    if (first.byteOrderMark != second.byteOrderMark) {
        notes.push_back("Solo " + fileName(first.byteOrderMark, false) +
                        " empieza con una marca de orden de bytes");
    }
    if (first.endsWithLineBreak != second.endsWithLineBreak) {
        notes.push_back("Solo " + fileName(first.endsWithLineBreak, false) +
                        " termina con un salto de línea");
    }
    if (first.validUtf8 != second.validUtf8) {
        notes.push_back(fileName(!first.validUtf8, true) +
                        " no es UTF-8 válido: ambos se leen como Windows-1252");
    }
    return notes;
}

} // namespace parvane
