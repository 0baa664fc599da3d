// What the engine makes of the text: line pairs, positions, line ends and the two decodings.

#include "comparison_test_support.h"

#include "comparison/text_decoding.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace parvane::test {
namespace {

using namespace std::string_literals;

const std::string kBom = "\xEF\xBB\xBF";

struct PairCase {
    const char* name;
    std::string file1, file2;
    std::string display1, display2;
    Positions differences1, differences2;
};

// Checks each case both ways round: swapping the files must swap the results.
class ComparisonTextTest : public ComparisonTest {
protected:
    void check(const std::vector<PairCase>& cases) const {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            const Comparison forward = compareContents(c.file1, c.file2);
            EXPECT_EQ(c.display1, forward.displayText1);
            EXPECT_EQ(c.display2, forward.displayText2);
            EXPECT_EQ(c.differences1, forward.differences1);
            EXPECT_EQ(c.differences2, forward.differences2);
            const Comparison backward = compareContents(c.file2, c.file1);
            EXPECT_EQ(c.display2, backward.displayText1);
            EXPECT_EQ(c.display1, backward.displayText2);
            EXPECT_EQ(c.differences2, backward.differences1);
            EXPECT_EQ(c.differences1, backward.differences2);
        }
    }
};

TEST_F(ComparisonTextTest, LinePairsAndPositions) {
    check({
        {"two empty files", "", "", "", "", {}, {}},
        {"identical files",
         "uno\ndos\r\ntres",
         "uno\ndos\r\ntres",
         "uno\r\ndos\r\ntres\r\n",
         "uno\r\ndos\r\ntres\r\n",
         {},
         {}},
        {"third character differs", "abc", "abd", "abc\r\n", "abd\r\n", {3}, {3}},
        {"only the longer line's surplus is recorded",
         "ab",
         "abcd",
         "ab\r\n",
         "abcd\r\n",
         {},
         {3, 4}},
        {"a line without partner is compared with nothing",
         "a\r\nb\r\n",
         "a\r\n",
         "a\r\nb\r\n",
         "a\r\n",
         {4},
         {}},
        {"case is significant", "Hola", "hola", "Hola\r\n", "hola\r\n", {1}, {1}},
        {"extra empty lines at the end", "ab\n", "ab\n\n\n", "ab\r\n", "ab\r\n\r\n\r\n", {}, {}},
        {"last line without terminator",
         "ab\ncd",
         "ab\ncd\n",
         "ab\r\ncd\r\n",
         "ab\r\ncd\r\n",
         {},
         {}},
        {"empty line against a text line",
         "\nxyz",
         "abc\nxyz",
         "\r\nxyz\r\n",
         "abc\r\nxyz\r\n",
         {},
         {1, 2, 3}},
        {"an inserted line is not resynchronised",
         "a\n\nb",
         "a\nb",
         "a\r\n\r\nb\r\n",
         "a\r\nb\r\n",
         {6},
         {4}},
        {"a file that ended leaves the other's positions growing",
         "x\ny\nz",
         "x",
         "x\r\ny\r\nz\r\n",
         "x\r\n",
         {4, 7},
         {}},
        {"differences on several lines",
         "abc\ndef\nghi",
         "abX\ndYf\nghi",
         "abc\r\ndef\r\nghi\r\n",
         "abX\r\ndYf\r\nghi\r\n",
         {3, 7},
         {3, 7}},
        {"every character differs",
         "abc\nde",
         "xyz\nfg",
         "abc\r\nde\r\n",
         "xyz\r\nfg\r\n",
         {1, 2, 3, 6, 7},
         {1, 2, 3, 6, 7}},
        {"empty lines against text lines",
         "\n\n",
         "ab\ncd",
         "\r\n\r\n",
         "ab\r\ncd\r\n",
         {},
         {1, 2, 5, 6}},
        {"trailing blank", "ab ", "ab", "ab \r\n", "ab\r\n", {3}, {}},
        {"tab against blank", "a\tb", "a b", "a\tb\r\n", "a b\r\n", {2}, {2}},
        {"NUL is an ordinary character", "a\0b"s, "a\0c"s, "a\0b\r\n"s, "a\0c\r\n"s, {3}, {3}},
    });
}

// A file's lines, however they end, against an empty file: every character is a difference.
TEST_F(ComparisonTextTest, LineEnds) {
    struct Case {
        const char* name;
        std::string file;
        std::string display;
    };
    const std::vector<Case> cases = {
        {"empty file has no line", "", ""},
        {"LF is one empty line", "\n", "\r\n"},
        {"CR is one empty line", "\r", "\r\n"},
        {"CR LF is one empty line", "\r\n", "\r\n"},
        {"LF CR is two empty lines", "\n\r", "\r\n\r\n"},
        {"CR CR LF is two empty lines", "\r\r\n", "\r\n\r\n"},
        {"CR LF LF is two empty lines", "\r\n\n", "\r\n\r\n"},
        {"LF LF is two empty lines", "\n\n", "\r\n\r\n"},
        {"unterminated last line", "a", "a\r\n"},
        {"each terminator ends a line", "a\rb\nc\r\nd", "a\r\nb\r\nc\r\nd\r\n"},
        {"empty lines between", "ab\n\r\n\rcd\r", "ab\r\n\r\n\r\ncd\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Positions characters; // positions in the display text that are not line breaks
        for (std::size_t i = 0; i < c.display.size(); ++i) {
            if (c.display[i] != '\r' && c.display[i] != '\n') {
                characters.push_back(static_cast<std::int16_t>(i + 1));
            }
        }
        const Comparison result = compareContents(c.file, "");
        EXPECT_EQ(c.display, result.displayText1);
        EXPECT_EQ("", result.displayText2);
        EXPECT_EQ(characters, result.differences1);
        EXPECT_EQ(Positions{}, result.differences2);
        const Comparison same = compareContents(c.file, c.file);
        EXPECT_EQ(c.display, same.displayText2);
        EXPECT_EQ(Positions{}, same.differences1);
        EXPECT_EQ(Positions{}, same.differences2);
    }
}

TEST_F(ComparisonTextTest, SameLinesWithAnyTerminatorsAreIdentical) {
    const std::vector<std::string> variants = {"ab\ncd\n",   "ab\r\ncd\r\n", "ab\rcd\r",
                                               "ab\ncd",     "ab\r\ncd",     "ab\rcd",
                                               "ab\ncd\r\n", "ab\r\ncd\r"};
    for (const auto& a : variants) {
        for (const auto& b : variants) {
            SCOPED_TRACE(testing::PrintToString(a) + " against " + testing::PrintToString(b));
            const Comparison result = compareContents(a, b);
            EXPECT_EQ("ab\r\ncd\r\n", result.displayText1);
            EXPECT_EQ("ab\r\ncd\r\n", result.displayText2);
            EXPECT_EQ(Positions{}, result.differences1);
            EXPECT_EQ(Positions{}, result.differences2);
        }
    }
    const Comparison mixed = compareContents("ab\ncd", "ab\r\ncX");
    EXPECT_EQ(Positions{6}, mixed.differences1);
    EXPECT_EQ(Positions{6}, mixed.differences2);
}

TEST_F(ComparisonTextTest, SameFileTwice) {
    const auto file = folder_.write("mismo.txt", "una línea\ny otra\n");
    const Comparison result = compareFiles(file, file);
    EXPECT_EQ("una línea\r\ny otra\r\n", result.displayText1);
    EXPECT_EQ(result.displayText1, result.displayText2);
    EXPECT_EQ(Positions{}, result.differences1);
    EXPECT_EQ(Positions{}, result.differences2);
}

TEST_F(ComparisonTextTest, Utf8CountsCodePoints) {
    check({
        {"accented letter", "aéb", "aeb", "aéb\r\n", "aeb\r\n", {2}, {2}},
        {"difference after accented letters", "ñandú", "ñandu", "ñandú\r\n", "ñandu\r\n", {5}, {5}},
        {"four-byte character", "😀x", "😀y", "😀x\r\n", "😀y\r\n", {2}, {2}},
        {"ideographs", "日本語", "日本人", "日本語\r\n", "日本人\r\n", {3}, {3}},
        {"combining accent is a character of its own",
         "e\u0301",
         "é",
         "e\u0301\r\n",
         "é\r\n",
         {1, 2},
         {1}},
        {"second line starts after two code points",
         "éé\nab",
         "éé\naX",
         "éé\r\nab\r\n",
         "éé\r\naX\r\n",
         {6},
         {6}},
        {"leading byte-order mark is not text",
         kBom + "abc\n",
         "abc\n",
         "abc\r\n",
         "abc\r\n",
         {},
         {}},
        {"byte-order mark alone is an empty file", kBom, "", "", "", {}, {}},
        {"byte-order marks on both", kBom + "x", kBom + "y", "x\r\n", "y\r\n", {1}, {1}},
        {"byte-order mark inside a line is a character",
         "a" + kBom + "b",
         "ab",
         "a" + kBom + "b\r\n",
         "ab\r\n",
         {2, 3},
         {2}},
    });
}

TEST_F(ComparisonTextTest, Windows1252WhenEitherFileIsNotUtf8) {
    check({
        {"Latin letter", "caf\xE9", "cafe", "café\r\n", "cafe\r\n", {4}, {4}},
        {"same word in both", "ni\xF1o\n", "ni\xF1o", "niño\r\n", "niño\r\n", {}, {}},
        {"UTF-8 é against Windows-1252 é", "\xC3\xA9", "\xE9", "Ã©\r\n", "é\r\n", {1, 2}, {1}},
        {"a valid UTF-8 file is then read as Windows-1252 too",
         "€",
         "\x80",
         "â‚¬\r\n",
         "€\r\n",
         {1, 2, 3},
         {1}},
        {"byte-order mark is text",
         kBom + "abc",
         "ab\xFF",
         "ï»¿abc\r\n",
         "abÿ\r\n",
         range(1, 6),
         {1, 2, 3}},
        {"binary file with NUL and 0xFF",
         "a\0b\xFF"s,
         "a\0c\xFF"s,
         "a\0bÿ\r\n"s,
         "a\0cÿ\r\n"s,
         {3},
         {3}},
        {"line ends as in UTF-8",
         "\xE9\r\xE9\n\xE9",
         "\xE9\r\n\xE9\r\nx",
         "é\r\né\r\né\r\n",
         "é\r\né\r\nx\r\n",
         {7},
         {7}},
    });
}

// Each byte from 0x80 on, alone in a file (so never valid UTF-8), is one Windows-1252 character.
TEST_F(ComparisonTextTest, Windows1252HighBytes) {
    const std::array<char32_t, 32> from0x80 = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        SCOPED_TRACE("byte " + std::to_string(byte));
        const char32_t expected = byte < 0xA0 ? from0x80[byte - 0x80] : static_cast<char32_t>(byte);
        const Comparison result = compareContents(std::string(1, static_cast<char>(byte)), "");
        EXPECT_EQ(utf8(expected) + "\r\n", result.displayText1);
        EXPECT_EQ(Positions{1}, result.differences1);
    }
}

// Strict UTF-8: a file with any ill-formed sequence switches both files to Windows-1252, which
// shows in the other file's "é" (C3 A9) being read as "Ã©".
TEST_F(ComparisonTextTest, StrictUtf8Decides) {
    struct Case {
        const char* name;
        std::string bytes;
        bool valid;
    };
    const std::vector<Case> cases = {
        {"empty", "", true},
        {"ASCII", "abc\n", true},
        {"NUL", "a\0b"s, true},
        {"U+0080", "\xC2\x80", true},
        {"U+07FF", "\xDF\xBF", true},
        {"U+0800", "\xE0\xA0\x80", true},
        {"U+D7FF", "\xED\x9F\xBF", true},
        {"U+E000", "\xEE\x80\x80", true},
        {"U+FFFD", "\xEF\xBF\xBD", true},
        {"U+10000", "\xF0\x90\x80\x80", true},
        {"U+10FFFF", "\xF4\x8F\xBF\xBF", true},
        {"lone continuation byte", "\x80", false},
        {"lead byte then ASCII", "\xC3"s + "A", false},
        {"truncated at end of file", "a\xC3", false},
        {"truncated three-byte sequence", "\xE2\x82", false},
        {"truncated before line end", "\xE2\x82\n", false},
        {"overlong slash, C0", "\xC0\xAF", false},
        {"overlong, C1", "\xC1\xBF", false},
        {"overlong three-byte", "\xE0\x80\xAF", false},
        {"overlong four-byte", "\xF0\x80\x80\xAF", false},
        {"high surrogate", "\xED\xA0\x80", false},
        {"low surrogate", "\xED\xBF\xBF", false},
        {"past U+10FFFF", "\xF4\x90\x80\x80", false},
        {"F5 lead byte", "\xF5\x80\x80\x80", false},
        {"FE byte", "\xFE", false},
        {"FF byte", "\xFF", false},
        {"bad byte on the last line only", "aaa\nbbb\nccc\xE9", false},
    };
    const std::string e = "\xC3\xA9";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string expected = c.valid ? "é\r\n" : "Ã©\r\n";
        EXPECT_EQ(expected, compareContents(c.bytes, e).displayText2);
        EXPECT_EQ(expected, compareContents(e, c.bytes).displayText1);
    }
}

// File names are shown as they are when they are UTF-8; anything else is escaped byte by byte, so
// a name that is not UTF-8 still names its file, and no name can break a message's line.
TEST(PrintableTest, EscapesWhatCannotBeShown) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"uno.txt", "uno.txt"},
        {"/tmp/café ñ.txt", "/tmp/café ñ.txt"},
        {"caf\xE9.txt", "caf\\xE9.txt"},
        {"a\nb", "a\\x0Ab"},
        {"\x7F\xC2\x85", "\\x7F\\xC2\\x85"},
        {"\xE2\x82", "\\xE2\\x82"},
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},
    };
    for (const auto& [bytes, shown] : cases) {
        EXPECT_EQ(shown, printable(bytes)) << bytes;
    }
}

} // namespace
} // namespace parvane::test
