// LargeComparison::differingPairs(): the differing line pairs a batch at a time, as a sweep of
// linePairs() gives them, whatever the buffer sizes, and FileChangedError when a file changed;
// and linePairs() from any line, which may start where the pass found a differing line.

#include "comparison/large_comparison.h"
#include "comparison/large_comparison_buffers.h"
#include "comparison/source_file.h"
#include "comparison_test_support.h"

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace parvane::test {
namespace {

namespace fs = std::filesystem;

const std::string kBom = "\xEF\xBB\xBF";

// Sets the sizes LargeComparison reads with for one scope.
class Sizes {
public:
    explicit Sizes(const LargeComparisonBuffers& sizes)
        : saved_(LargeComparisonBuffers::current()) {
        LargeComparisonBuffers::current() = sizes;
    }
    ~Sizes() { LargeComparisonBuffers::current() = saved_; }
    Sizes(const Sizes&) = delete;
    Sizes& operator=(const Sizes&) = delete;

private:
    LargeComparisonBuffers saved_;
};

LargeComparisonBuffers tiny(std::size_t bytes, std::uint64_t characters = UINT64_MAX) {
    LargeComparisonBuffers sizes;
    sizes.pass = bytes;
    sizes.slice = bytes;
    sizes.stream = 4;
    sizes.indexLines = 2;
    sizes.indexBytes = 3;
    sizes.longLineBytes = 3;
    sizes.checkpointColumns = 2;
    sizes.batchCharacters = characters;
    return sizes;
}

void expectSame(const LinePairSlice& expected, const LinePairSlice& actual) {
    EXPECT_EQ(expected.line, actual.line);
    EXPECT_EQ(expected.has1, actual.has1);
    EXPECT_EQ(expected.has2, actual.has2);
    EXPECT_EQ(expected.length1, actual.length1);
    EXPECT_EQ(expected.length2, actual.length2);
    EXPECT_EQ(expected.firstColumn, actual.firstColumn);
    EXPECT_TRUE(expected.text1 == actual.text1);
    EXPECT_TRUE(expected.text2 == actual.text2);
    EXPECT_EQ(expected.runs1, actual.runs1);
    EXPECT_EQ(expected.runs2, actual.runs2);
}

// What differingPairs(fromLine, maxPairs, maxColumns) must give when no batch is cut short:
// the differing pairs of one sweep of linePairs() from line 0, which reads every line in turn
// and so owes nothing to where the pass found the differing ones.
std::vector<LinePairSlice> expectedPairs(const LargeComparison& large, std::uint64_t fromLine,
                                         std::uint64_t maxPairs, std::uint64_t maxColumns) {
    std::vector<LinePairSlice> sweep = large.linePairs(0, large.pairCount(), 0, maxColumns);
    std::vector<LinePairSlice> pairs;
    std::optional<std::uint64_t> line =
        fromLine == 0 ? large.firstDifferingLine() : large.nextDifferingLine(fromLine - 1);
    for (; line && pairs.size() < maxPairs; line = large.nextDifferingLine(*line)) {
        pairs.push_back(std::move(sweep.at(*line)));
    }
    return pairs;
}

class DifferingPairsTest : public ComparisonTest {
protected:
    LargeComparison compare(const std::string& bytes1, const std::string& bytes2) const {
        return LargeComparison::run(folder_.write("uno.txt", bytes1),
                                    folder_.write("dos.txt", bytes2));
    }

    // Every start line, several batch sizes and column limits, against linePairs().
    static void checkAgreement(const LargeComparison& large) {
        const std::uint64_t pairs = large.pairCount();
        for (std::uint64_t from = 0; from <= pairs + 1; ++from) {
            for (const std::uint64_t maxPairs :
                 {std::uint64_t{1}, std::uint64_t{2}, std::uint64_t{3}, std::uint64_t{1000}}) {
                for (const std::uint64_t maxColumns :
                     {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{4}, UINT64_MAX}) {
                    SCOPED_TRACE("from " + std::to_string(from) + ", " + std::to_string(maxPairs) +
                                 " pairs, " + std::to_string(maxColumns) + " columns");
                    const auto expected = expectedPairs(large, from, maxPairs, maxColumns);
                    const auto actual = large.differingPairs(from, maxPairs, maxColumns);
                    ASSERT_EQ(expected.size(), actual.size());
                    for (std::size_t i = 0; i < expected.size(); ++i) {
                        expectSame(expected[i], actual[i]);
                    }
                }
            }
        }
    }
};

struct AgreementCase {
    const char* name;
    std::string file1, file2;
};

const std::vector<AgreementCase>& agreementCases() {
    static const std::vector<AgreementCase> cases = {
        {"identical", "uno\ndos\n", "uno\ndos\n"},
        {"both empty", "", ""},
        {"one empty", "abc\ndef\n", ""},
        {"one character differs", "abc", "abd"},
        {"lines only in one file", "a\nb\nc\n", "a\n"},
        {"lines only in the other file", "a\n", "a\nb\n\nc"},
        {"every line differs", "a\nb\nc\nd\ne\n", "A\nB\nC\nD\nE\n"},
        {"far apart", "a\nb\nc\nd\ne\nf\ng\nh\ni\nj\n", "a\nB\nc\nd\ne\nf\ng\nh\nI\nj\n"},
        {"CR, LF and CR LF", "a\rb\nc\r\nd\re", "x\ny\r\nc\rz\ne"},
        {"CR LF against LF CR", "a\r\nb\r\nc", "a\n\rb\n\rc"},
        {"empty lines against text", "\n\n\nabc\n", "x\n\ny\nabd\n"},
        {"long line among short ones", "a\n" + std::string(40, 'b') + "\nc\n",
         "A\n" + std::string(39, 'b') + "B\nC\n"},
        {"multi-byte characters", "añb€c😀d\nééé\n", "anb€c😁d\neee\n"},
        {"BOM on one side", kBom + "abc\nxyz\n", "abc\nxyw\n"},
        {"BOM on both sides", kBom + "abc\nd", kBom + "abd\ne"},
        {"only a BOM", kBom, ""},
        {"BOM and invalid UTF-8", kBom + "abc\nq\n", "abc\nq\xE9\n"},
        {"Windows-1252", "caf\xE9\nb\n", "caf\xE8\nc\n"},
    };
    return cases;
}

TEST_F(DifferingPairsTest, AgreesWithLinePairs) {
    for (const AgreementCase& c : agreementCases()) {
        for (const int direction : {1, 2}) {
            SCOPED_TRACE(std::string(c.name) + (direction == 1 ? "" : ", swapped"));
            const LargeComparison large =
                direction == 1 ? compare(c.file1, c.file2) : compare(c.file2, c.file1);
            checkAgreement(large);
        }
    }
}

// linePairs() from any line starts from the nearest line start it knows (an index entry or a
// differing line): from every line, it gives what one sweep from line 0 gives.
TEST_F(DifferingPairsTest, LinePairsFromAnyLineAgreeWithOneSweep) {
    for (const std::size_t bytes : {2, 5, 64}) {
        const Sizes sizes(tiny(bytes));
        for (const AgreementCase& c : agreementCases()) {
            SCOPED_TRACE(std::string(c.name) + ", buffers of " + std::to_string(bytes));
            const LargeComparison large = compare(c.file1, c.file2);
            const std::uint64_t pairs = large.pairCount();
            for (const std::uint64_t maxColumns : {std::uint64_t{2}, UINT64_MAX}) {
                const auto sweep = large.linePairs(0, pairs, 0, maxColumns);
                for (std::uint64_t first = 0; first < pairs; ++first) {
                    for (const std::uint64_t count : {1, 3}) {
                        const auto part = large.linePairs(first, count, 0, maxColumns);
                        ASSERT_EQ(std::min(count, pairs - first), part.size());
                        for (std::size_t i = 0; i < part.size(); ++i) {
                            SCOPED_TRACE("line " + std::to_string(first + i));
                            expectSame(sweep[first + i], part[i]);
                        }
                    }
                }
            }
        }
    }
}

TEST_F(DifferingPairsTest, AgreesWithLinePairsWithTinyBuffers) {
    for (const std::size_t bytes : {2, 3, 5, 8}) {
        const Sizes sizes(tiny(bytes));
        for (const AgreementCase& c : agreementCases()) {
            SCOPED_TRACE(std::string(c.name) + ", buffers of " + std::to_string(bytes));
            checkAgreement(compare(c.file1, c.file2));
        }
    }
}

// Random lines from pieces that make every kind of line end, character and decoding.
std::string randomFile(std::mt19937& random, bool allowInvalid) {
    static const std::vector<std::string> pieces = {
        "a",          "b",        "ab", "abcdefghijklmnopqrstuvwxyz",
        "ñandú€😀abc", "\n",       "\n", "\n",
        "\r",         "\r\n",     "\t", "é",
        "😀",          "\xC2\x85",
    };
    static const std::vector<std::string> invalid = {"\xE9", "\xFF", "\x80", "\xC3"};
    std::string file = random() % 8 == 0 ? kBom : "";
    for (int i = static_cast<int>(random() % 40); i > 0; --i) {
        file += pieces[random() % pieces.size()];
    }
    if (allowInvalid && random() % 6 == 0) {
        file.insert(random() % (file.size() + 1), invalid[random() % invalid.size()]);
    }
    return file;
}

TEST_F(DifferingPairsTest, AgreesWithLinePairsOnRandomPairs) {
    std::mt19937 random(8122026);
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string file1 = randomFile(random, true);
        std::string file2 = file1;
        if (random() % 3 == 0) {
            file2 = randomFile(random, true);
        } else {
            for (int change = static_cast<int>(random() % 4); change >= 0; --change) {
                file2.insert(random() % (file2.size() + 1), randomFile(random, false).substr(0, 2));
            }
        }
        std::optional<Sizes> sizes;
        if (round % 2 == 0) {
            sizes.emplace(tiny(2 + random() % 7));
        }
        checkAgreement(compare(file1, file2));
        if (HasFailure()) {
            break;
        }
    }
}

// Regression: a stretch of consecutive differing lines keeps the start of its first line only,
// so that 10 million differing lines fit the memory target; each of its lines must still be read
// right from anywhere, across index entries, with a BOM and with lines missing in one file.
TEST_F(DifferingPairsTest, StretchesOfDifferingLinesAreReadFromAnyLine) {
    std::string same, changed;
    for (int k = 0; k < 40; ++k) {
        const std::string line = "l\xC3\xADnea " + std::to_string(k);
        same += line + (k % 3 == 0 ? "\r\n" : "\n");
        changed += (k >= 5 && k < 30 ? line + "#" : line) + "\n";
    }
    for (const std::size_t bytes : {std::size_t{3}, std::size_t{16}, std::size_t{0}}) {
        SCOPED_TRACE(std::to_string(bytes) + " bytes");
        std::optional<Sizes> sizes;
        if (bytes > 0) {
            sizes.emplace(tiny(bytes));
        }
        checkAgreement(compare(same, changed));
        checkAgreement(compare(kBom + same, changed + "extra\nmore\n"));
        checkAgreement(compare(same, "x\n" + changed.substr(0, 40)));
        if (HasFailure()) {
            return;
        }
    }
}

TEST_F(DifferingPairsTest, BatchStopsOnceItHoldsEnoughCharacters) {
    // Pairs of 2 + 2, 6 + 6, 2 + 2 and 0 + 1 characters.
    const LargeComparison large = [&] {
        const Sizes sizes(tiny(4));
        return compare("ab\ncdefgh\nij\n", "aB\ncdefgH\niJ\nk\n");
    }();
    struct Case {
        std::uint64_t budget;
        std::vector<std::size_t> batches; // pairs in each batch, reading on from the last one
    };
    const std::vector<Case> cases = {
        {1, {1, 1, 1, 1}}, {4, {1, 1, 1, 1}}, {5, {2, 2}},
        {12, {2, 2}},      {17, {3, 1}},      {UINT64_MAX, {4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("budget " + std::to_string(c.budget));
        LargeComparisonBuffers budget;
        budget.batchCharacters = c.budget;
        const Sizes sizes(budget);
        std::uint64_t from = 0;
        std::vector<std::size_t> batches;
        std::vector<std::uint64_t> lines;
        for (auto batch = large.differingPairs(from, 100); !batch.empty();
             batch = large.differingPairs(from, 100)) {
            batches.push_back(batch.size());
            for (const LinePairSlice& pair : batch) {
                lines.push_back(pair.line);
            }
            from = batch.back().line + 1;
        }
        EXPECT_EQ(c.batches, batches);
        EXPECT_EQ((std::vector<std::uint64_t>{0, 1, 2, 3}), lines);
    }
}

TEST_F(DifferingPairsTest, NothingPastTheLastOrWhenNoneAsked) {
    const LargeComparison large = compare("a\nb\nc\n", "a\nB\nc\n");
    EXPECT_TRUE(large.differingPairs(0, 0).empty());
    EXPECT_TRUE(large.differingPairs(2, 10).empty());
    EXPECT_TRUE(large.differingPairs(UINT64_MAX, 10).empty());
    ASSERT_EQ(1u, large.differingPairs(1, 10).size());
    EXPECT_TRUE(compare("x\n", "x\n").differingPairs(0, 10).empty());
}

TEST_F(DifferingPairsTest, LinesFarIntoLargerFiles) {
    // Several index steps and buffer refills between the differing lines, and lines longer
    // than the buffer.
    std::string file1, file2;
    for (int k = 0; k < 3000; ++k) {
        const std::string line = std::to_string(k) + std::string(k % 50 == 0 ? 300 : 5, 'x');
        file1 += line + "\n";
        file2 += (k % 7 == 3 ? line + "y" : line) + (k % 2 == 0 ? "\r\n" : "\n");
    }
    for (const std::size_t bytes : {std::size_t{64}, std::size_t{256} << 10}) {
        SCOPED_TRACE("buffers of " + std::to_string(bytes));
        LargeComparisonBuffers sizes;
        sizes.slice = bytes;
        sizes.stream = 16;
        const Sizes set(sizes);
        const LargeComparison large = compare(file1, file2);
        ASSERT_EQ(429u, large.differingLineCount());
        for (const std::uint64_t maxColumns : {std::uint64_t{3}, UINT64_MAX}) {
            const auto expected = expectedPairs(large, 0, 1000, maxColumns);
            const auto actual = large.differingPairs(0, 1000, maxColumns);
            ASSERT_EQ(expected.size(), actual.size());
            for (std::size_t i = 0; i < expected.size(); ++i) {
                expectSame(expected[i], actual[i]);
            }
        }
    }
}

TEST_F(DifferingPairsTest, FileChangedBetweenCalls) {
    for (const FileChange& change : fileChanges()) {
        for (const int changed : {1, 2}) {
            SCOPED_TRACE(std::string(change.name) + ", file " + std::to_string(changed));
            const auto path1 = folder_.write("uno.txt", "uno\ndos\ntres\ncuatro\n");
            const auto path2 = folder_.write("dos.txt", "UNO\ndos\nTRES\ncuatro\n");
            const LargeComparison large = LargeComparison::run(path1, path2);
            // The first batch is read; the file changes before the next one.
            ASSERT_EQ(1u, large.differingPairs(0, 1).size());
            const fs::path& path = changed == 1 ? path1 : path2;
            change.apply(path, folder_);
            try {
                large.differingPairs(1, 1);
                ADD_FAILURE() << "no FileChangedError";
            } catch (const FileChangedError& error) {
                const std::string message = error.what();
                EXPECT_NE(std::string::npos, message.find(quoted(path))) << message;
                EXPECT_NE(std::string::npos, message.find("ha cambiado")) << message;
            }
            // What was found stays readable.
            EXPECT_EQ(2u, large.differingLineCount());
        }
    }
}

} // namespace
} // namespace parvane::test
