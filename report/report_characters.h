#pragma once

// How the report shows one character of a compared line, on a terminal or in a page.
//
// Control characters (C0 but the tab, DEL, C1) and the invisible characters that would reorder
// or hide text (bidirectional controls, zero-width space, byte-order mark, line and paragraph
// separators) are shown by a visible escape instead: \xNN for C0 and DEL, \uNNNN (\UNNNNNN past
// U+FFFF) for the rest. Everything else is shown as itself.
//
// On a terminal, characters are drawn in grapheme clusters (UAX #29, from utf8proc): a cluster
// takes the columns of the widest character in it, so that combining marks, joiners and the
// vowel signs of Indic and South-East Asian scripts take none, while an emoji with the emoji
// presentation selector (U+FE0F) and a flag (two regional indicators) take two. Widths are
// utf8proc's, its wcwidth(). Plain functions, no state but what the caller keeps.

#include <cstdint>
#include <string>

namespace report_characters {

// True when `c` is shown by an escape rather than as itself.
bool needsEscape(char32_t c);

// The escape that stands for `c`, in ASCII (for any `c`, escaped or not).
std::string escape(char32_t c);

// The terminal columns that `c` takes as shown, on its own: the escape's length when it is
// escaped, 2 for East Asian wide and full-width characters, 0 for marks and joiners, else 1. The
// tab is not measured here (it depends on where it stands); it counts 1.
int terminalWidth(char32_t c);

// True when `c` starts a grapheme cluster after `before`, the character shown just before it,
// or 0 when nothing shown before it can join it (at the start of a line, after an escape or a
// tab). `state` is kept by the caller for a line, from one call to the next.
bool startsCluster(char32_t before, char32_t c, std::int32_t& state);

// The columns of a cluster `width` columns wide once `c`, not starting a cluster, joins it
// after `before`.
int widenCluster(int width, char32_t before, char32_t c);

} // namespace report_characters
