#pragma once

// How a view draws one character of a compared file. Most characters are drawn as they are.
// Those that a text view would take as a control or a break, or would draw as nothing at all,
// are drawn as a visible stand-in, one for one, each kind with its own, so that a difference on
// them can be seen and told apart. Joiners, variation selectors and combining marks shape the
// characters around them, so they keep their place unless they differ; a differing mark, selector
// or tag character gets a drawn stand-in of its own, one for one too. Characters drawn as blank
// space (a space, a tab, a no-break space, a filler) are kept, and get a box when they differ.

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
    Mark, // a combining mark, drawn on the character before it
};

Kind kindOf(char32_t c);

// What the view shows for `c`; empty when `c` itself is shown. `differs`: the character is one of
// a difference, which a joiner must then show too (a differing mark, selector or tag character
// has a drawn stand-in instead, below).
QString standIn(char32_t c, bool differs);

// What the view draws for a differing combining mark, variation selector or tag character, where
// no one character could stand for each, as text: the mark on a dotted circle ("◌́", drawn as the
// mark alone, enlarged), or, in a frame, the selector's name ("VS15", "VS16", "FVS1" for a
// Mongolian one) or the character a tag stands for ("A" for TAG LATIN CAPITAL LETTER A, "␣" for
// TAG SPACE; its code point, "E0001", for the others). Each such character has its own; empty for
// any other character.
QString drawnStandIn(char32_t c);

// Whether `c`, as shown, covers no ink, or too little to be seen (a combining mark, a few pixels
// even on its drawn stand-in): a difference on it needs a box to be seen.
bool drawsBlank(char32_t c);

} // namespace shown_character
