#pragma once

// Plain-text descriptions of the characters of the compared files, for the views' tooltips: a
// short Spanish name for the characters that cannot be told apart by sight (spaces, controls,
// joiners...), how a character is shown with its code point, and the tip for one line and column
// of a file against the same line and column of the other. The texts never start with markup, so
// a tooltip always takes them as plain text, whatever characters the files hold.

#include "main_window/text_grid.h"

#include <QString>

#include <cstdint>

namespace character_info {

// The Spanish name of `c` when it is invisible or space-like; empty for any other character.
QString nameOf(char32_t c);

// "U+00A0", with at least four hexadecimal digits.
QString codePoint(char32_t c);

// How the view shows `c` between quotes, its code point and its name if it has one:
// "«a» U+0061", "«¬» U+00AD guion blando", "U+0009 tabulador" (a tab is not quoted).
QString describe(char32_t c);

// The tip for `cell` (0-based) of one file: "Línea 12, columna 34", then what stands there in this
// file (`mine`) and what stands at the same line and column of the other one (`other`).
QString positionTip(TextCell cell, TextPlace mine, TextPlace other);
// The same for a cell of a view that shows a window of the files: `line` and `column` are the
// cell's 1-based numbers in the whole files.
QString positionTip(std::uint64_t line, std::uint64_t column, TextPlace mine, TextPlace other);

} // namespace character_info
