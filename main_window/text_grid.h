#pragma once

// A view's characters seen as lines and columns, as the comparison pairs them: line k of one file
// against line k of the other, column by column, both counted in characters (code points) from 0.
// A TextGrid only refers to the characters and line starts it is given (a view's, say), which
// must outlive it; nothing here fails: a line or column past the text is answered as such.

#include <span>
#include <string_view>

struct TextCell {
    int line = 0;
    int column = 0;

    bool operator==(const TextCell&) const = default;
    // In reading order: by line, then by column.
    bool operator<(const TextCell& other) const {
        return line != other.line ? line < other.line : column < other.column;
    }
};

// What stands at one line and column of a file.
struct TextPlace {
    enum class Kind {
        Character,   // `character` is there
        LineEnd,     // the line ends just there
        PastLineEnd, // the line ends before that column
        NoLine,      // the file has no such line
    };
    Kind kind = Kind::NoLine;
    char32_t character = 0;

    bool operator==(const TextPlace&) const = default;
};

class TextGrid {
public:
    // `lineStarts`: the offset in `characters` at which each line starts, the first one 0; a line
    // ends with CR LF, CR or LF, and the last one may be empty (the text ends with a break).
    TextGrid(std::u32string_view characters, std::span<const int> lineStarts);

    // The lines of the file: those that end with a line break, and a last one that does not.
    int lineCount() const;
    // The characters of `line`, without its line break; empty past the last line.
    std::u32string_view line(int line) const;
    TextPlace placeAt(TextCell cell) const;

    // The cell of the character at `offset`; a line break belongs to the line it ends.
    TextCell cellOf(int offset) const;
    // The offset of `cell`, its column kept within the line (up to the line's end).
    int offsetOf(TextCell cell) const;

private:
    std::u32string_view characters_;
    std::span<const int> lineStarts_;
};
