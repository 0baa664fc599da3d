// The comparison of files of any size against compareFiles() on every input both accept, and
// what only it does: far decoding decisions, long lines, files changed after the pass,
// cancelling, navigation.

#include "comparison_test_support.h"

#include "comparison/large_comparison.h"
#include "comparison/large_comparison_buffers.h"
#include "comparison/source_file.h"
#include "comparison/text_decoding.h"

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace parvane::test {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

const std::string kBom = "\xEF\xBB\xBF";

// One file as compareFiles() shows it: its lines and the differing columns of each.
struct ShownFile {
    std::vector<std::u32string> lines;
    std::vector<std::vector<ColumnRun>> runs;
};

// Turns display text positions (1-based, every line followed by a two-position break) into runs
// of differing columns per line.
ShownFile shown(const std::string& display, const Positions& differences) {
    std::u32string text;
    decodeUtf8(display, text);
    ShownFile file;
    std::vector<std::int64_t> starts; // position of each line's first character
    std::int64_t position = 1;
    std::size_t begin = 0;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == U'\r' && text[i + 1] == U'\n') {
            file.lines.push_back(text.substr(begin, i - begin));
            starts.push_back(position);
            position += static_cast<std::int64_t>(i - begin) + 2;
            begin = i + 2;
            ++i;
        }
    }
    file.runs.resize(file.lines.size());
    for (const std::int16_t p : differences) {
        const auto line = static_cast<std::size_t>(
            std::upper_bound(starts.begin(), starts.end(), std::int64_t{p}) - starts.begin() - 1);
        const auto column = static_cast<std::uint64_t>(p - starts[line]);
        EXPECT_LT(column, file.lines[line].size()) << "a line break is coloured";
        auto& runs = file.runs[line];
        if (!runs.empty() && runs.back().last + 1 == column) {
            runs.back().last = column;
        } else {
            runs.push_back({column, column});
        }
    }
    return file;
}

std::vector<ColumnRun> clip(const std::vector<ColumnRun>& runs, std::uint64_t first,
                            std::uint64_t count) {
    std::vector<ColumnRun> out;
    for (const ColumnRun& run : runs) {
        const std::uint64_t from = std::max(run.first, first);
        const std::uint64_t to = std::min(run.last, first + count - 1);
        if (count > 0 && from <= to) {
            out.push_back({from, to});
        }
    }
    return out;
}

// The differing columns of `text` against `other`, the plain way.
std::vector<ColumnRun> model(const std::u32string& text, const std::u32string& other,
                             std::uint64_t first = 0, std::uint64_t count = UINT64_MAX) {
    std::vector<ColumnRun> runs;
    for (std::uint64_t c = first; c < text.size() && c - first < count; ++c) {
        if (c >= other.size() || text[c] != other[c]) {
            if (!runs.empty() && runs.back().last + 1 == c) {
                runs.back().last = c;
            } else {
                runs.push_back({c, c});
            }
        }
    }
    return runs;
}

std::uint64_t characters(const std::vector<ColumnRun>& runs) {
    std::uint64_t total = 0;
    for (const ColumnRun& run : runs) {
        total += run.last - run.first + 1;
    }
    return total;
}

// Sizes small enough that every buffer boundary and index step happens in a few bytes.
class TinyBuffers {
public:
    TinyBuffers(std::size_t pass, std::size_t slice, std::size_t stream, std::uint64_t lines,
                std::uint64_t bytes)
        : saved_(LargeComparisonBuffers::current()) {
        LargeComparisonBuffers::current() = {pass, slice, stream, lines, bytes};
        // Lines of a few bytes are long ones, read in part.
        LargeComparisonBuffers::current().longLineBytes = 4;
        LargeComparisonBuffers::current().checkpointColumns = 3;
    }
    ~TinyBuffers() { LargeComparisonBuffers::current() = saved_; }
    TinyBuffers(const TinyBuffers&) = delete;
    TinyBuffers& operator=(const TinyBuffers&) = delete;

private:
    LargeComparisonBuffers saved_;
};

class LargeComparisonTest : public ComparisonTest {
protected:
    // Compares the two contents both ways and checks everything against compareFiles().
    void checkAgainstBoundedPass(const std::string& bytes1, const std::string& bytes2,
                                 std::mt19937* random = nullptr) const {
        const auto path1 = folder_.write("uno.txt", bytes1);
        const auto path2 = folder_.write("dos.txt", bytes2);
        const Comparison bounded = compareFiles(path1, path2);
        const LargeComparison large = LargeComparison::run(path1, path2);
        const ShownFile file1 = shown(bounded.displayText1, bounded.differences1);
        const ShownFile file2 = shown(bounded.displayText2, bounded.differences2);

        EXPECT_EQ(isValidUtf8(bytes1) && isValidUtf8(bytes2) ? Decoding::Utf8
                                                             : Decoding::Windows1252,
                  large.decoding());
        ASSERT_EQ(file1.lines.size(), large.lineCount(1));
        ASSERT_EQ(file2.lines.size(), large.lineCount(2));
        const std::size_t pairs = std::max(file1.lines.size(), file2.lines.size());
        ASSERT_EQ(pairs, large.pairCount());

        std::vector<std::uint64_t> differing;
        std::uint64_t longest1 = 0, longest2 = 0;
        const std::vector<LinePairSlice> slices = large.linePairs(0, pairs + 3);
        ASSERT_EQ(pairs, slices.size());
        for (std::size_t k = 0; k < pairs; ++k) {
            SCOPED_TRACE("line pair " + std::to_string(k));
            const LinePairSlice& slice = slices[k];
            const bool has1 = k < file1.lines.size();
            const bool has2 = k < file2.lines.size();
            const std::u32string text1 = has1 ? file1.lines[k] : U"";
            const std::u32string text2 = has2 ? file2.lines[k] : U"";
            const auto runs1 = has1 ? file1.runs[k] : std::vector<ColumnRun>{};
            const auto runs2 = has2 ? file2.runs[k] : std::vector<ColumnRun>{};
            EXPECT_EQ(k, slice.line);
            EXPECT_EQ(has1, slice.has1);
            EXPECT_EQ(has2, slice.has2);
            EXPECT_EQ(text1.size(), slice.length1);
            EXPECT_EQ(text2.size(), slice.length2);
            EXPECT_TRUE(text1 == slice.text1);
            EXPECT_TRUE(text2 == slice.text2);
            EXPECT_EQ(runs1, slice.runs1);
            EXPECT_EQ(runs2, slice.runs2);
            if (!runs1.empty() || !runs2.empty()) {
                differing.push_back(k);
            }
            longest1 = std::max<std::uint64_t>(longest1, text1.size());
            longest2 = std::max<std::uint64_t>(longest2, text2.size());
        }

        const ComparisonTotals& totals = large.totals();
        EXPECT_EQ(bounded.differences1.size(), totals.differingCharacters1);
        EXPECT_EQ(bounded.differences2.size(), totals.differingCharacters2);
        EXPECT_EQ(differing.size(), totals.differingLines);
        EXPECT_EQ(pairs - file2.lines.size(), totals.linesOnlyIn1);
        EXPECT_EQ(pairs - file1.lines.size(), totals.linesOnlyIn2);
        EXPECT_EQ(longest1, large.longestLine(1));
        EXPECT_EQ(longest2, large.longestLine(2));
        EXPECT_EQ(differing.empty(), large.identical());
        checkNavigation(large, differing, pairs);

        // A window of columns of a few lines from somewhere in the middle.
        if (random != nullptr && pairs > 0) {
            const std::size_t first = (*random)() % pairs;
            const std::size_t count = 1 + (*random)() % 4;
            const std::uint64_t firstColumn = (*random)() % 6;
            const std::uint64_t maxColumns = (*random)() % 5;
            const auto window = large.linePairs(first, count, firstColumn, maxColumns);
            ASSERT_EQ(std::min(count, pairs - first), window.size());
            for (std::size_t s = 0; s < window.size(); ++s) {
                const LinePairSlice& whole = slices[first + s];
                const LinePairSlice& part = window[s];
                SCOPED_TRACE("window of line pair " + std::to_string(first + s));
                EXPECT_EQ(firstColumn, part.firstColumn);
                EXPECT_EQ(whole.length1, part.length1);
                EXPECT_EQ(whole.length2, part.length2);
                const auto cut = [&](const std::u32string& text) {
                    return firstColumn >= text.size() ? U""s : text.substr(firstColumn, maxColumns);
                };
                EXPECT_TRUE(cut(whole.text1) == part.text1);
                EXPECT_TRUE(cut(whole.text2) == part.text2);
                EXPECT_EQ(clip(whole.runs1, firstColumn, maxColumns), part.runs1);
                EXPECT_EQ(clip(whole.runs2, firstColumn, maxColumns), part.runs2);
            }
        }
    }

    static void checkNavigation(const LargeComparison& large,
                                const std::vector<std::uint64_t>& differing, std::size_t pairs) {
        EXPECT_EQ(differing.size(), large.differingLineCount());
        EXPECT_EQ(differing.empty() ? std::nullopt : std::optional(differing.front()),
                  large.firstDifferingLine());
        EXPECT_EQ(differing.empty() ? std::nullopt : std::optional(differing.back()),
                  large.lastDifferingLine());
        for (std::uint64_t line = 0; line <= pairs; ++line) {
            std::optional<std::uint64_t> next, previous;
            std::uint64_t before = 0;
            for (const std::uint64_t d : differing) {
                if (d > line && !next) {
                    next = d;
                }
                if (d < line) {
                    previous = d;
                    ++before;
                }
            }
            EXPECT_EQ(next, large.nextDifferingLine(line));
            EXPECT_EQ(previous, large.previousDifferingLine(line));
            EXPECT_EQ(before, large.differingLinesBefore(line));
        }
    }
};

struct HandCase {
    const char* name;
    std::string file1, file2;
};

const std::vector<HandCase>& handCases() {
    static const std::vector<HandCase> cases = {
        {"two empty files", "", ""},
        {"one empty file", "abc\ndef\n", ""},
        {"only line breaks against nothing", "\n\r\n\r", ""},
        {"identical", "uno\ndos\r\ntres", "uno\ndos\r\ntres"},
        {"one character differs", "abc", "abd"},
        {"longer line", "ab", "abcd"},
        {"lines only in one file", "a\nb\nc\n", "a\n"},
        {"CR, LF and CR LF end lines alike", "a\rb\nc\r\nd", "a\nb\r\nc\rd\n"},
        {"CR LF against LF CR", "a\r\nb", "a\n\rb"},
        {"final break or not", "ab\ncd", "ab\ncd\n"},
        {"empty lines at the end", "ab\n", "ab\n\n\n"},
        {"empty line against text", "\nabc\n", "xyz\nabc\n"},
        {"tabs", "a\tb\t\tc", "a b\t c"},
        {"wide characters", "añb€c😀d", "anb€c😁d"},
        {"multi-byte against single bytes", "ééé", "eee"},
        {"BOM on one side", kBom + "abc\n", "abc\n"},
        {"BOM on both sides", kBom + "abc", kBom + "abd"},
        {"only a BOM", kBom, ""},
        {"only a BOM and a break", kBom + "\n", "\n"},
        {"BOM with invalid UTF-8 elsewhere", kBom + "abc\n", "abc\n\xE9"},
        {"only a BOM against invalid UTF-8", kBom, "\xFF"},
        {"BOM line break against invalid", kBom + "\r\nx", "\x80\r\nx"},
        {"invalid UTF-8 on one side makes both Windows-1252", "caf\xE9\n", "café\n"},
        {"undefined Windows-1252 bytes", "\x81\x8D\x8F\x90\x9D", "\x80\x8D\x8F\x90\x9E"},
        {"cut-short sequence at the end", "abc\xC3", "abc"},
        {"surrogate is invalid", "\xED\xA0\x80", "x"},
        {"overlong form is invalid", "\xC0\xAF", "/"},
        {"C1 controls in UTF-8", "\xC2\x85x", "\xC2\x86x"},
    };
    return cases;
}

TEST_F(LargeComparisonTest, AgreesWithBoundedPassOnHandCases) {
    for (const HandCase& c : handCases()) {
        SCOPED_TRACE(c.name);
        checkAgainstBoundedPass(c.file1, c.file2);
        checkAgainstBoundedPass(c.file2, c.file1);
    }
}

TEST_F(LargeComparisonTest, AgreesWithBoundedPassOnHandCasesWithTinyBuffers) {
    for (const std::size_t size : {2, 3, 5}) {
        const TinyBuffers tiny(size, size, 4, 2, 3);
        for (const HandCase& c : handCases()) {
            SCOPED_TRACE(std::string(c.name) + ", buffers of " + std::to_string(size));
            checkAgainstBoundedPass(c.file1, c.file2);
            checkAgainstBoundedPass(c.file2, c.file1);
        }
    }
}

// Random pairs from pieces that make every kind of line end, character width and decoding.
std::string randomFile(std::mt19937& random, bool allowInvalid) {
    static const std::vector<std::string> pieces = {
        "a",
        "b",
        "a",
        "b",
        "ab",
        "abcdefghijklmnopqrstuvwxyz",
        "ñandú€€€😀😀abcdefghijklmno",
        "\n",
        "\r",
        "\r\n",
        "\n\n",
        "\t",
        "é",
        "€",
        "😀",
        "ñ",
        "\xC2\x85",
    };
    static const std::vector<std::string> invalid = {"\xE9", "\xFF", "\x80", "\xC3"};
    std::string file;
    if (random() % 8 == 0) {
        file += kBom;
    }
    const int count = static_cast<int>(random() % 24);
    for (int i = 0; i < count; ++i) {
        file += pieces[random() % pieces.size()];
    }
    if (allowInvalid && random() % 6 == 0) {
        file.insert(random() % (file.size() + 1), invalid[random() % invalid.size()]);
    }
    return file;
}

TEST_F(LargeComparisonTest, AgreesWithBoundedPassOnRandomPairs) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::string file1 = randomFile(random, true);
        // Often alike: the other file is the first with a few changes.
        std::string file2 = file1;
        if (random() % 3 == 0) {
            file2 = randomFile(random, true);
        } else {
            for (int change = static_cast<int>(random() % 3); change >= 0; --change) {
                const std::string piece = randomFile(random, false).substr(0, 2);
                file2.insert(random() % (file2.size() + 1), piece);
            }
        }
        // Every third round with buffers of a few bytes.
        if (round % 3 == 0) {
            const TinyBuffers tiny(2 + random() % 6, 2 + random() % 6, 4 + random() % 4,
                                   1 + random() % 3, 1 + random() % 8);
            checkAgainstBoundedPass(file1, file2, &random);
        } else {
            checkAgainstBoundedPass(file1, file2, &random);
        }
        if (HasFailure()) {
            break;
        }
    }
}

TEST_F(LargeComparisonTest, InvalidByteFarFromTheStartDecidesWindows1252ForBoth) {
    std::string lines;
    for (int k = 0; lines.size() < (std::size_t{5} << 20); ++k) {
        lines += "línea número " + std::to_string(k) + "\n";
    }
    const auto path1 = folder_.write("uno.txt", kBom + lines + "caf\xE9\n");
    const auto path2 = folder_.write("dos.txt", lines + "café\n");
    const LargeComparison large = LargeComparison::run(path1, path2);
    EXPECT_EQ(Decoding::Windows1252, large.decoding());
    ASSERT_EQ(large.lineCount(1), large.lineCount(2));
    // Line 0 of file 1 now starts with the three characters of the byte-order mark; each "í"
    // is two characters; the last line holds "é" against "Ã©".
    const auto first = large.linePairs(0, 1);
    ASSERT_EQ(1u, first.size());
    const std::u32string line0 = U"l\u00C3\u00ADnea n\u00C3\u00BAmero 0";
    EXPECT_TRUE(U"\u00EF\u00BB\u00BF"s + line0 == first[0].text1);
    EXPECT_TRUE(line0 == first[0].text2);
    const auto runs1 = model(first[0].text1, line0);
    const auto runs2 = model(line0, first[0].text1);
    EXPECT_EQ(runs1, first[0].runs1);
    EXPECT_EQ(runs2, first[0].runs2);
    const auto last = large.linePairs(large.pairCount() - 1, 1);
    ASSERT_EQ(1u, last.size());
    EXPECT_TRUE(U"caf\u00E9"s == last[0].text1);
    EXPECT_TRUE(U"caf\u00C3\u00A9"s == last[0].text2);
    EXPECT_EQ((std::vector<ColumnRun>{{3, 3}}), last[0].runs1);
    EXPECT_EQ((std::vector<ColumnRun>{{3, 4}}), last[0].runs2);
    EXPECT_EQ(
        (std::vector<std::uint64_t>{0, large.pairCount() - 1}),
        (std::vector<std::uint64_t>{*large.firstDifferingLine(), *large.lastDifferingLine()}));
    EXPECT_EQ(2u, large.totals().differingLines);
    EXPECT_EQ(characters(runs1) + 1, large.totals().differingCharacters1);
    EXPECT_EQ(characters(runs2) + 2, large.totals().differingCharacters2);
}

// Lines longer than every buffer, against a plain model of the comparison.
class LongLinesTest : public LargeComparisonTest, public ::testing::WithParamInterface<Decoding> {};

TEST_P(LongLinesTest, LinesLongerThanTheBuffers) {
    const Decoding decoding = GetParam();
    std::mt19937 random(7);
    const std::vector<std::string> pieces = {"a", "b", "é", "€", "😀"};
    std::vector<std::string> line1Pieces;
    for (int i = 0; i < 1'200'000; ++i) {
        line1Pieces.push_back(pieces[random() % 2 == 0 ? 0 : random() % pieces.size()]);
    }
    std::vector<std::string> line2Pieces = line1Pieces;
    line2Pieces[1'000'000] = "€b"; // characters shift from there on
    for (int i = 10; i < 14; ++i) {
        line2Pieces[i] = "x"; // a few early differences
    }
    const auto join = [](const std::vector<std::string>& parts) {
        std::string out;
        for (const std::string& part : parts) {
            out += part;
        }
        return out;
    };
    const std::string line1 = join(line1Pieces), line2 = join(line2Pieces);
    // An invalid byte in the middle line turns both files to Windows-1252.
    const std::string tail = decoding == Decoding::Utf8 ? "\r\nfin\r" : "\r\nf\xFFn\r";
    const std::string tail2 = "\nfin\n";
    const auto path1 = folder_.write("uno.txt", line1 + tail + line1 + "\n");
    const auto path2 = folder_.write("dos.txt", line2 + tail2 + line2);

    std::u32string text1, text2;
    if (decoding == Decoding::Utf8) {
        decodeUtf8(line1, text1);
        decodeUtf8(line2, text2);
    } else {
        decodeWindows1252(line1, text1);
        decodeWindows1252(line2, text2);
    }
    const std::uint64_t differing1 = characters(model(text1, text2));
    const std::uint64_t differing2 = characters(model(text2, text1));
    const std::uint64_t middle = decoding == Decoding::Utf8 ? 0 : 1;

    const TinyBuffers small(1 << 16, 1 << 12, 1 << 10, 1024, 1 << 15);
    const LargeComparison large = LargeComparison::run(path1, path2);
    EXPECT_EQ(decoding, large.decoding());
    EXPECT_EQ(3u, large.lineCount(1));
    EXPECT_EQ(3u, large.lineCount(2));
    EXPECT_EQ(2 * differing1 + middle, large.totals().differingCharacters1);
    EXPECT_EQ(2 * differing2 + middle, large.totals().differingCharacters2);
    EXPECT_EQ(2 + middle, large.differingLineCount());
    EXPECT_EQ((std::vector{std::optional<std::uint64_t>{0}, std::optional<std::uint64_t>{2}}),
              (std::vector{large.firstDifferingLine(), large.lastDifferingLine()}));
    EXPECT_EQ(std::max(text1.size(), text2.size()), large.longestLine(2));

    const std::uint64_t column = 999'990;
    const auto slices = large.linePairs(0, 3, column, 20);
    ASSERT_EQ(3u, slices.size());
    for (const std::size_t k : {0, 2}) {
        SCOPED_TRACE("line pair " + std::to_string(k));
        EXPECT_TRUE(text1.substr(column, 20) == slices[k].text1);
        EXPECT_TRUE(text2.substr(column, 20) == slices[k].text2);
        EXPECT_EQ(text1.size(), slices[k].length1);
        EXPECT_EQ(text2.size(), slices[k].length2);
        EXPECT_EQ(model(text1, text2, column, 20), slices[k].runs1);
        EXPECT_EQ(model(text2, text1, column, 20), slices[k].runs2);
    }
    EXPECT_TRUE(slices[1].text1.empty());
    EXPECT_EQ(3u, slices[1].length1);
    EXPECT_TRUE(slices[1].runs1.empty());
}

INSTANTIATE_TEST_SUITE_P(BothDecodings, LongLinesTest,
                         ::testing::Values(Decoding::Utf8, Decoding::Windows1252));

// The line that fills the buffer exactly, with its CR in the buffer's last byte.
TEST_F(LargeComparisonTest, CarriageReturnAtTheEndOfAFullBuffer) {
    const TinyBuffers small(64, 64, 8, 1024, 1 << 20);
    const std::string line(63, 'a');
    for (const auto& [bytes1, bytes2] : std::vector<std::pair<std::string, std::string>>{
             {line + "\r\nb", line + "\r\rb"},
             {line + "\r", line + "\r\n"},
             {"x\n" + line + "\r\nb", "x\r" + line + "\rb"},
         }) {
        checkAgainstBoundedPass(bytes1, bytes2);
    }
}

TEST_F(LargeComparisonTest, IndexFindsLinesFarIntoTheFile) {
    std::string file1, file2;
    for (int k = 0; k < 5000; ++k) {
        file1 += std::to_string(k) + "\n";
        file2 += std::to_string(k % 997 == 0 ? -k : k) + "\r\n";
    }
    const auto path1 = folder_.write("uno.txt", file1);
    const auto path2 = folder_.write("dos.txt", file2);
    const LargeComparison large = LargeComparison::run(path1, path2);
    EXPECT_EQ(5000u, large.pairCount());
    const auto slices = large.linePairs(4980, 50);
    ASSERT_EQ(20u, slices.size());
    EXPECT_TRUE(U"4985"s == slices[5].text1);
    EXPECT_TRUE(U"-4985"s == slices[5].text2);
    EXPECT_TRUE(U"4999"s == slices[19].text2);
    EXPECT_EQ(std::optional<std::uint64_t>{997}, large.nextDifferingLine(0));
    EXPECT_EQ(std::optional<std::uint64_t>{4985}, large.lastDifferingLine());
    EXPECT_EQ(std::optional<std::uint64_t>{3988}, large.previousDifferingLine(4985));
    EXPECT_EQ(4u, large.differingLinesBefore(4985));
    EXPECT_TRUE(large.linePairs(5000, 10).empty());
}

TEST_F(LargeComparisonTest, FileChangedAfterThePass) {
    for (const FileChange& change : fileChanges()) {
        for (const int changed : {1, 2}) {
            SCOPED_TRACE(std::string(change.name) + ", file " + std::to_string(changed));
            const auto path1 = folder_.write("uno.txt", "uno\ndos\ntres\n");
            const auto path2 = folder_.write("dos.txt", "uno\nDOS\ntres\n");
            const LargeComparison large = LargeComparison::run(path1, path2);
            ASSERT_EQ(3u, large.linePairs(0, 3).size());
            const fs::path& path = changed == 1 ? path1 : path2;
            change.apply(path, folder_);
            try {
                large.linePairs(0, 3);
                ADD_FAILURE() << "no FileChangedError";
            } catch (const FileChangedError& error) {
                const std::string message = error.what();
                EXPECT_NE(std::string::npos, message.find(quoted(path))) << message;
                EXPECT_NE(std::string::npos, message.find("ha cambiado")) << message;
            }
            // What was found stays readable.
            EXPECT_EQ(1u, large.differingLineCount());
        }
    }
}

// A file that changes in any way while the pass reads it ends the pass with the message that it
// changed, naming it; the pass never reports what it read as a comparison.
TEST_F(LargeComparisonTest, FileChangedWhileThePassReadsIt) {
    const TinyBuffers small(1 << 12, 1 << 12, 1 << 10, 1024, 1 << 20);
    const std::string content = std::string(1 << 20, 'a') + "\n" + std::string(1 << 20, 'b') + "\n";
    for (const FileChange& change : fileChanges()) {
        for (const int changed : {1, 2}) {
            SCOPED_TRACE(std::string(change.name) + ", file " + std::to_string(changed));
            const auto path1 = folder_.write("uno.txt", content);
            const auto path2 = folder_.write("dos.txt", content);
            const fs::path& path = changed == 1 ? path1 : path2;
            bool applied = false;
            try {
                LargeComparison::run(path1, path2, [&](std::uint64_t, std::uint64_t) {
                    if (!applied) {
                        applied = true;
                        change.apply(path, folder_);
                    }
                    return true;
                });
                ADD_FAILURE() << "no FileChangedError";
            } catch (const FileChangedError& error) {
                const std::string message = error.what();
                EXPECT_NE(std::string::npos, message.find(quoted(path))) << message;
                EXPECT_NE(std::string::npos, message.find("ha cambiado")) << message;
            }
            EXPECT_TRUE(applied);
        }
    }
}

TEST_F(LargeComparisonTest, ProgressCanCancel) {
    const auto path = folder_.write("uno.txt", std::string(3 << 20, 'a') + "\n");
    const TinyBuffers small(1 << 12, 1 << 12, 1 << 10, 1024, 1 << 20);
    int calls = 0;
    std::uint64_t lastDone = 0, total = 0;
    EXPECT_NO_THROW(LargeComparison::run(path, path, [&](std::uint64_t done, std::uint64_t all) {
        ++calls;
        EXPECT_GE(done, lastDone);
        lastDone = done;
        total = all;
        return true;
    }));
    EXPECT_GE(calls, 2);
    EXPECT_EQ(2 * fs::file_size(path), total);
    EXPECT_EQ(total, lastDone);

    int cancelCalls = 0;
    try {
        LargeComparison::run(path, path,
                             [&](std::uint64_t, std::uint64_t) { return ++cancelCalls < 2; });
        ADD_FAILURE() << "no ComparisonCancelled";
    } catch (const ComparisonCancelled& error) {
        EXPECT_EQ(2, cancelCalls);
        EXPECT_NE(std::string::npos, std::string(error.what()).find(quoted(path)));
    }
}

TEST_F(LargeComparisonTest, RefusesWhatIsNotARegularFile) {
    const auto good = folder_.write("bueno.txt", "hola\n");
    const auto fifo = folder_.path() / "tuberia";
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
    const std::vector<std::pair<fs::path, std::string>> cases = {
        {folder_.path() / "falta.txt", "no existe"},
        {folder_.path(), "es una carpeta"},
        {fifo, "no es un fichero normal"},
        {"/dev/null", "no es un fichero normal"},
    };
    for (const auto& [path, reason] : cases) {
        SCOPED_TRACE(path.string());
        for (const bool first : {true, false}) {
            try {
                LargeComparison::run(first ? path : good, first ? good : path);
                ADD_FAILURE() << "no FileError";
            } catch (const FileError& error) {
                const std::string message = error.what();
                EXPECT_NE(std::string::npos, message.find(quoted(path))) << message;
                EXPECT_NE(std::string::npos, message.find(reason)) << message;
            }
        }
    }
}

} // namespace
} // namespace parvane::test
