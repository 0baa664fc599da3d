#include "comparison/comparison_notes.h"

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

std::vector<std::string> byteNotes(const FileTraits& first, const FileTraits& second,
                                   Decodings decodings) {
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
    if (decodings[0] != decodings[1]) {
        notes.push_back("El primer fichero se lee como " + std::string(decodingName(decodings[0])) +
                        " y el segundo como " + std::string(decodingName(decodings[1])));
    } else if (first.validUtf8 != second.validUtf8) {
        notes.push_back(fileName(!first.validUtf8, true) +
                        " no es UTF-8 válido: ambos se leen como " +
                        std::string(decodingName(decodings[0])));
    }
    return notes;
}

std::vector<std::string> notesOn(const FileComparison& comparison) {
    std::vector<std::string> notes;
    if (comparison.shift()) {
        notes.push_back(shiftNote(*comparison.shift()));
    }
    for (std::string& note : byteNotes(comparison.traits(1), comparison.traits(2),
                                       {comparison.decoding(1), comparison.decoding(2)})) {
        notes.push_back(std::move(note));
    }
    return notes;
}

std::string decodingsOf(const FileComparison& comparison) {
    const std::string_view first = decodingName(comparison.decoding(1));
    const std::string_view second = decodingName(comparison.decoding(2));
    return first == second ? std::string(first) : std::string(first) + " / " + std::string(second);
}

std::string groupedNumber(std::uint64_t number) {
    std::string digits = std::to_string(number);
    for (std::size_t at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, " ");
    }
    return digits;
}

std::string shiftNote(const ShiftHint& hint) {
    static const char* const kCounts[] = {"", "una", "dos", "tres"};
    const std::string count =
        hint.lines >= 1 && hint.lines <= 3 ? kCounts[hint.lines] : std::to_string(hint.lines);
    const bool one = hint.lines == 1;
    const std::string lines = count + (one ? " línea" : " líneas");
    // The second file is the one said to be shifted, as it is read against the first.
    const std::string what = hint.lacking == 2 ? (one ? "le falta " : "le faltan ") + lines
                                               : "tiene " + lines + " de más";
    return "Desde la línea " + groupedNumber(hint.line + 1) + ", el fichero 2 parece desplazado " +
           lines + ": " + what + " respecto al fichero 1";
}

} // namespace parvane
