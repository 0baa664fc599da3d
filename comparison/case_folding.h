#pragma once

// Unicode's simple case folding: each code point to the one code point it folds to (itself when
// it has no folding), so that a letter and the same letter in another case fold alike and no
// column ever moves. The table is written by scripts/case-folding.

namespace parvane {

char32_t foldCase(char32_t code);

} // namespace parvane
