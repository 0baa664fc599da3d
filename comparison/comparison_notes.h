#pragma once

// What a comparison says beside its totals, in Spanish, as the window's tips and the report both
// tell it: what differs in the files' bytes beyond their characters, and a file that seems shifted
// against the other. Nothing here fails.

#include "comparison/file_comparison.h"
#include "comparison/file_traits.h"
#include "comparison/shift_hint.h"

#include <cstdint>
#include <string>
#include <vector>

namespace parvane {

// Every note on `comparison`, as the window's tips and the report give them: a shifted file
// (shiftNote()), then the byte notes (byteNotes()).
std::vector<std::string> notesOn(const FileComparison& comparison);

// What differs in the bytes of the first and second file, decoded as `decodings` say, beyond
// the characters compared, one sentence each: "Los saltos de línea difieren: CR LF / LF", and so
// on, and the decodings when they differ; none when nothing does.
std::vector<std::string> byteNotes(const FileTraits& first, const FileTraits& second,
                                   Decodings decodings);

// How the files were decoded: "UTF-8", or "Latin-1 / UTF-8" when the files were decoded unlike.
std::string decodingsOf(const FileComparison& comparison);

// "CR LF", "LF", "CR", "CR LF y LF"...; "ninguno" when the file has no line break.
std::string lineBreaksOf(const FileTraits& traits);

// "Desde la línea 2 501, el fichero 2 parece desplazado una línea: le falta una línea respecto al
// fichero 1" (or "tiene una línea de más").
std::string shiftNote(const ShiftHint& hint);

// `number` with its digits in groups of three, a space between them: "2 501", "20 514".
std::string groupedNumber(std::uint64_t number);

} // namespace parvane
