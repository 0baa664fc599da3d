// LargeComparison::runFrom(): the start of the next or previous run of differing characters from
// any line and column, as the runs of one sweep of linePairs() give them, whatever the size of
// the buffers it reads a line with; and FileChangedError when a file changed.

#include "comparison/large_comparison.h"
#include "comparison/large_comparison_buffers.h"
#include "comparison/source_file.h"
#include "comparison_test_support.h"

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace parvane::test {
namespace {

namespace fs = std::filesystem;

// Sets the bytes runFrom() holds of a line at a time (and linePairs() of its lines), for one
// scope; 0 keeps the usual sizes.
class ReadSizes {
public:
    explicit ReadSizes(std::size_t bytes) : saved_(LargeComparisonBuffers::current()) {
        if (bytes > 0) {
            LargeComparisonBuffers::current().slice = bytes;
            LargeComparisonBuffers::current().stream = std::max<std::size_t>(bytes, 4);
            LargeComparisonBuffers::current().longLineBytes = bytes;
            LargeComparisonBuffers::current().checkpointColumns = bytes;
        }
    }
    ~ReadSizes() { LargeComparisonBuffers::current() = saved_; }
    ReadSizes(const ReadSizes&) = delete;
    ReadSizes& operator=(const ReadSizes&) = delete;

private:
    LargeComparisonBuffers saved_;
};

// Every run start of both files together, in reading order, from one sweep of linePairs(): a
// column where either line differs and the column before differs in neither.
std::vector<LineColumn> sweptRunStarts(const LargeComparison& large) {
    std::vector<LineColumn> starts;
    for (const LinePairSlice& slice : large.linePairs(0, large.pairCount())) {
        const std::uint64_t length = std::max(slice.length1, slice.length2);
        std::vector<bool> differs(length, false);
        for (const auto* runs : {&slice.runs1, &slice.runs2}) {
            for (const ColumnRun& run : *runs) {
                for (std::uint64_t column = run.first; column <= run.last; ++column) {
                    differs[column] = true;
                }
            }
        }
        for (std::uint64_t column = 0; column < length; ++column) {
            if (differs[column] && (column == 0 || !differs[column - 1])) {
                starts.push_back({slice.line, column});
            }
        }
    }
    return starts;
}

std::string text(std::optional<LineColumn> place) {
    return place ? std::to_string(place->line) + ":" + std::to_string(place->column)
                 : std::string("none");
}

class RunFromTest : public ComparisonTest {
protected:
    LargeComparison compare(const std::string& bytes1, const std::string& bytes2) const {
        return LargeComparison::run(folder_.write("uno.txt", bytes1),
                                    folder_.write("dos.txt", bytes2));
    }

    // From every line and column (and one past each line's end, and a line past the files),
    // both ways, against the swept run starts.
    static void checkEveryPlace(const LargeComparison& large) {
        const std::vector<LineColumn> starts = sweptRunStarts(large);
        const std::uint64_t longest = std::max(large.longestLine(1), large.longestLine(2));
        for (std::uint64_t line = 0; line <= large.pairCount(); ++line) {
            for (std::uint64_t column = 0; column <= longest + 1; ++column) {
                const LineColumn from{line, column};
                const auto after = std::upper_bound(starts.begin(), starts.end(), from);
                const auto before = std::lower_bound(starts.begin(), starts.end(), from);
                const std::string next = after == starts.end() ? "none" : text(*after);
                const std::string previous =
                    before == starts.begin() ? "none" : text(*std::prev(before));
                ASSERT_EQ(next, text(large.runFrom(from, true))) << "forward from " << text(from);
                ASSERT_EQ(previous, text(large.runFrom(from, false)))
                    << "backward from " << text(from);
            }
        }
    }
};

struct RunCase {
    const char* name;
    std::string file1, file2;
};

const std::vector<RunCase>& runCases() {
    static const std::vector<RunCase> cases = {
        {"identical", "uno\ndos\n", "uno\ndos\n"},
        {"both empty", "", ""},
        {"one empty", "abc\ndef\n", ""},
        {"one character differs", "abc", "abd"},
        {"runs of either file merge", "abcdef", "aXcdYf"},
        {"runs meet across the files", "abcd\n", "ab"},
        {"several runs in one line", "a-b-c-d-e-f-g-h", "aXbXcXdXeXfXgXh"},
        {"a run at each end of a line", "xbcdex", "ybcdey"},
        {"lines only in one file", "a\nb\nc\n", "a\n"},
        {"empty lines against text", "\n\n\nabc\n", "x\n\ny\nabd\n"},
        {"far apart", "a\nb\nc\nd\ne\nf\ng\nh\ni\nj\n", "a\nB\nc\nd\ne\nf\ng\nh\nI\nj\n"},
        {"long line with runs far apart",
         std::string(30, 'a') + "b" + std::string(30, 'a') + "\nq\n",
         std::string(30, 'a') + "c" + std::string(30, 'a') + "\nr\n"},
        {"multi-byte characters", "añb€c😀d\nééé\n", "anb€c😁d\neee\n"},
        {"Windows-1252", "caf\xE9\nb\n", "caf\xE8\nc\n"},
    };
    return cases;
}

TEST_F(RunFromTest, AgreesWithTheSweptRunsOnHandCases) {
    for (const std::size_t bytes :
         {std::size_t{2}, std::size_t{3}, std::size_t{5}, std::size_t{0}}) {
        const ReadSizes sizes(bytes);
        for (const RunCase& c : runCases()) {
            SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(bytes) + " bytes");
            checkEveryPlace(compare(c.file1, c.file2));
            if (HasFailure()) {
                return;
            }
        }
    }
}

TEST_F(RunFromTest, AgreesWithTheSweptRunsOnRandomPairs) {
    std::mt19937 random(9122026);
    const std::vector<std::string> pieces = {"a", "b", "ab", "\n", "\r\n", "é", "€", "xyz"};
    const auto randomFile = [&] {
        std::string file;
        for (int n = int(random() % 24); n > 0; --n) {
            file += pieces[random() % pieces.size()];
        }
        return file;
    };
    for (int round = 0; round < 120; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const ReadSizes sizes(random() % 2 == 0 ? 0 : 2 + random() % 6);
        std::string file1 = randomFile();
        std::string file2 = file1;
        for (int change = int(random() % 4); change >= 0; --change) {
            file2.insert(random() % (file2.size() + 1), randomFile().substr(0, 2));
        }
        checkEveryPlace(compare(file1, file2));
        if (HasFailure()) {
            break;
        }
    }
}

TEST_F(RunFromTest, FileChangedBeforeTheMove) {
    for (const FileChange& change : fileChanges()) {
        SCOPED_TRACE(change.name);
        const auto path1 = folder_.write("uno.txt", "uno\ndos\ntres\n");
        const auto path2 = folder_.write("dos.txt", "uno\nDOS\ntres\n");
        const LargeComparison large = LargeComparison::run(path1, path2);
        change.apply(path2, folder_);
        try {
            large.runFrom({0, 0}, true);
            ADD_FAILURE() << "no FileChangedError";
        } catch (const FileChangedError& error) {
            const std::string message = error.what();
            EXPECT_NE(std::string::npos, message.find(quoted(path2))) << message;
        }
    }
}

} // namespace
} // namespace parvane::test
