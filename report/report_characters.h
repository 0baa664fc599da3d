#pragma once

// How the report shows one character of a compared line, on a terminal or in a page.
//
// Control characters (C0 but the tab, DEL, C1) and the invisible characters that would reorder
// or hide text (bidirectional controls, zero-width space, byte-order mark, line and paragraph
// separators) are shown by a visible escape instead: \xNN for C0 and DEL, \uNNNN (\UNNNNNN past
// U+FFFF) for the rest. Everything else is shown as itself. Plain functions, no state.

#include <string>

namespace report_characters {

// True when `c` is shown by an escape rather than as itself.
bool needsEscape(char32_t c);

// The escape that stands for `c`, in ASCII (for any `c`, escaped or not).
std::string escape(char32_t c);

// The terminal columns that `c` takes as shown: the escape's length when it is escaped, 2 for
// East Asian wide and full-width characters, 0 for combining marks and joiners, else 1. The tab
// is not measured here (it depends on where it stands); it counts 1.
int terminalWidth(char32_t c);

} // namespace report_characters
