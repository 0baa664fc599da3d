#pragma once

// How a view draws one character of a compared file. Most characters are drawn as they are.
// Those that a text view would take as a control or a break, or would draw as nothing at all,
// are drawn as a visible stand-in, one for one, each kind with its own, so that a difference on
// them can be seen and told apart. Joiners and variation selectors shape the characters around
// them, so they keep their place unless they differ. Characters drawn as blank space (a space,
// a tab, a no-break space, a filler) are kept, and get a box when they differ.

#include <QString>

namespace shown_character {

enum class Kind {
    Plain,
    Tab,
    Blank, // drawn as empty space of some width
    Control,
    C1Control,
    LineSeparator,
    SoftHyphen,
    ZeroWidthSpace,
    Bidi,
    WordJoiner,
    NonJoiner,
    Joiner,
    VariationSelector,
    Tag,
    OtherFormat,
    NonCharacter,
};

Kind kindOf(char32_t c);

// What the view shows for `c`; empty when `c` itself is shown. `differs`: the character is one of
// a difference, which a joiner or variation selector must then show too.
QString standIn(char32_t c, bool differs);

// Whether `c`, as shown, covers no ink: a difference on it needs a box to be seen.
bool drawsBlank(char32_t c);

} // namespace shown_character
