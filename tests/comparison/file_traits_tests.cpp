// What the comparison finds in a file's bytes beyond its characters, for both files.

#include "comparison_test_support.h"

#include "comparison/file_traits.h"

#include <string>
#include <vector>

namespace parvane::test {
namespace {

struct TraitsCase {
    const char* name;
    std::string bytes;
    FileTraits expected;
};

FileTraits traits(std::size_t crLf, std::size_t lf, std::size_t cr, bool byteOrderMark,
                  bool endsWithLineBreak, bool validUtf8) {
    return {crLf, lf, cr, byteOrderMark, endsWithLineBreak, validUtf8};
}

class FileTraitsTest : public ComparisonTest {};

TEST_F(FileTraitsTest, FindsWhatTheBytesHoldBeyondTheCharacters) {
    const std::vector<TraitsCase> cases = {
        {"empty", "", traits(0, 0, 0, false, false, true)},
        {"one line, no break", "abc", traits(0, 0, 0, false, false, true)},
        {"LF", "a\nb\n", traits(0, 2, 0, false, true, true)},
        {"CR LF", "a\r\nb\r\n", traits(2, 0, 0, false, true, true)},
        {"CR", "a\rb", traits(0, 0, 1, false, false, true)},
        {"mixed", "a\r\nb\nc\r", traits(1, 1, 1, false, true, true)},
        {"LF CR is two breaks", "a\n\rb", traits(0, 1, 1, false, false, true)},
        {"byte-order mark", "\xEF\xBB\xBFx\n", traits(0, 1, 0, true, true, true)},
        {"not UTF-8", "caf\xE9\r\n", traits(1, 0, 0, false, true, false)},
        {"cut byte-order mark", "\xEF\xBB", traits(0, 0, 0, false, false, false)},
    };
    for (const TraitsCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Comparison result = compareContents(c.bytes, "x");
        EXPECT_EQ(c.expected, result.traits1);
        EXPECT_EQ(traits(0, 0, 0, false, false, true), result.traits2);
    }
}

TEST_F(FileTraitsTest, CompareFilesGivesTheTraitsOfBothFiles) {
    const Comparison result = compareContents("\xEF\xBB\xBF"
                                              "a\r\nb\r\n",
                                              "a\nb");
    EXPECT_TRUE(result.differences1.empty());
    EXPECT_TRUE(result.differences2.empty());
    EXPECT_EQ(traits(2, 0, 0, true, true, true), result.traits1);
    EXPECT_EQ(traits(0, 1, 0, false, false, true), result.traits2);
}

} // namespace
} // namespace parvane::test
