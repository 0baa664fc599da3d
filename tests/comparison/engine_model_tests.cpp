// The engine against the plain model (comparison_model.h): every hand case and random pair, both
// ways round, with the display limits and without, with the usual read sizes and with sizes of a
// few bytes that put every buffer boundary and index step inside the lines; then what only
// files of some size, or files that change, can show.

#include "comparison_model.h"
#include "comparison_test_support.h"

#include "comparison/line_reader.h"
#include "comparison/source_file.h"

#include <random>

namespace parvane::test {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

const std::string kBom = "\xEF\xBB\xBF";

// Sizes of a few bytes: lines of a few bytes are long ones, read in part.
ReadSizes tiny(std::size_t bytes) {
    ReadSizes sizes;
    sizes.pass = sizes.slice = bytes;
    sizes.stream = std::max<std::size_t>(bytes, 4);
    sizes.indexLines = 2;
    sizes.indexBytes = 3;
    sizes.longLineBytes = 4;
    sizes.checkpointColumns = 3;
    sizes.keptBytes = 120;
    return sizes;
}

// The same sizes, with files of any size compared in two halves.
ReadSizes inHalves(ReadSizes sizes) {
    sizes.halvesFrom = 1;
    return sizes;
}

class EngineModelTest : public ComparisonTest {
protected:
    FileComparison compare(const std::string& bytes1, const std::string& bytes2,
                           const ReadSizes& sizes = {}) const {
        return FileComparison::run(path(1, bytes1), path(2, bytes2), {true, sizes, {}});
    }

    fs::path path(int file, const std::string& bytes) const {
        return folder_.write(file == 1 ? "uno.txt" : "dos.txt", bytes);
    }

    // Both comparisons and compareFiles(), on both files in both orders.
    // With `choices`, each file is decoded as told.
    void check(const std::string& bytes1, const std::string& bytes2, const ReadSizes& sizes = {},
               Thoroughness thoroughness = {},
               std::optional<std::array<DecodingChoice, 2>> choices = std::nullopt) const {
        for (const bool swapped : {false, true}) {
            SCOPED_TRACE(swapped ? "ficheros al revés" : "ficheros en orden");
            const std::string& one = swapped ? bytes2 : bytes1;
            const std::string& two = swapped ? bytes1 : bytes2;
            const fs::path file1 = path(1, one);
            const fs::path file2 = path(2, two);
            std::optional<std::array<DecodingChoice, 2>> told = choices;
            if (told && swapped) {
                std::swap((*told)[0], (*told)[1]);
            }
            const Model expected = model(one, two, told);
            const auto options = [&](bool unlimited) {
                ComparisonOptions options{unlimited, sizes, {}};
                options.decodings = told;
                return options;
            };
            if (expected.unreadFile || expected.notUtf8File) {
                const int file = expected.unreadFile ? *expected.unreadFile : *expected.notUtf8File;
                const std::string why = expected.unreadFile ? ": está escrito en UTF-"
                                                            : " como UTF-8: no es UTF-8 válido";
                for (const bool unlimited : {true, false}) {
                    try {
                        FileComparison::run(file1, file2, options(unlimited));
                        ADD_FAILURE() << "no FileError";
                    } catch (const FileError& error) {
                        const std::string named = quoted(file == 0 ? file1 : file2);
                        EXPECT_TRUE(std::string(error.what()).find(named + why) !=
                                    std::string::npos)
                            << error.what();
                    } catch (const OverflowError&) {
                        // Past the display limits, that is said first.
                        EXPECT_TRUE(!unlimited && !expected.refusals.empty());
                    }
                }
                continue;
            }
            for (const bool unlimited : {true, false}) {
                SCOPED_TRACE(unlimited ? "sin límite" : "con los límites");
                if (!unlimited && !expected.refusals.empty()) {
                    try {
                        FileComparison::run(file1, file2, options(false));
                        ADD_FAILURE() << "no OverflowError";
                    } catch (const OverflowError& error) {
                        const auto refusal = refusalIn(error.what(), file1, file2);
                        EXPECT_TRUE(refusal && std::ranges::count(expected.refusals, *refusal))
                            << error.what();
                    }
                    continue;
                }
                EXPECT_EQ(std::nullopt,
                          disagreement(FileComparison::run(file1, file2, options(unlimited)),
                                       expected, thoroughness));
            }
            if (expected.refusals.empty() && !told) {
                EXPECT_EQ(std::nullopt, disagreement(compareFiles(file1, file2), expected));
            }
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
        {"runs of either file merge", "abcdef", "aXcdYf"},
        {"runs meet across the files", "abcd\n", "ab"},
        {"several runs in one line", "a-b-c-d-e-f-g-h", "aXbXcXdXeXfXgXh"},
        {"a run at each end of a line", "xbcdex", "ybcdey"},
        {"far apart", "a\nb\nc\nd\ne\nf\ng\nh\ni\nj\n", "a\nB\nc\nd\ne\nf\ng\nh\nI\nj\n"},
        {"long line with runs far apart", std::string(30, 'a') + "b" + std::string(30, 'a'),
         std::string(30, 'a') + "c" + std::string(30, 'a')},
        {"BOM on one side", kBom + "abc\n", "abc\n"},
        {"BOM on both sides", kBom + "abc", kBom + "abd"},
        {"only a BOM", kBom, ""},
        {"only a BOM against text", kBom, "a\nb"},
        {"only a BOM and a break", kBom + "\n", "\n"},
        {"BOM with invalid UTF-8 elsewhere", kBom + "abc\n", "abc\n\xE9"},
        {"only a BOM against invalid UTF-8", kBom, "\xFF"},
        {"BOM line break against invalid", kBom + "\r\nx", "\x80\r\nx"},
        {"BOMs against invalid UTF-8, lines differing after", kBom + "a\nb\nc", kBom + "a\nB\xFF"},
        {"invalid UTF-8 on one side makes both Windows-1252", "caf\xE9\n", "café\n"},
        {"undefined Windows-1252 bytes", "\x81\x8D\x8F\x90\x9D", "\x80\x8D\x8F\x90\x9E"},
        {"cut-short sequence at the end", "abc\xC3", "abc"},
        {"surrogate is invalid", "\xED\xA0\x80", "x"},
        {"overlong form is invalid", "\xC0\xAF", "/"},
        {"C1 controls in UTF-8", "\xC2\x85x", "\xC2\x86x"},
        {"a Windows-1252 \xFF is text", "\xFFx\n", "\xFEy\n"},
        {"regression: UTF-16 LE is refused, not compared byte by byte", "\xFF\xFEh\0o\0", "ho"},
        {"UTF-16 BE", "ho", "\xFE\xFF\0h\0o"},
        {"UTF-32 LE", std::string("\xFF\xFE\0\0h\0\0\0", 8), "h"},
        {"UTF-32 BE", std::string("\0\0\xFE\xFF\0\0\0h", 8), "h"},
    };
    return cases;
}

TEST_F(EngineModelTest, HandCases) {
    for (const ReadSizes& sizes : {ReadSizes{}, tiny(2), tiny(3), tiny(5), inHalves(tiny(3))}) {
        for (const HandCase& c : handCases()) {
            SCOPED_TRACE(std::string(c.name) + ", lecturas de " + std::to_string(sizes.pass));
            check(c.file1, c.file2, sizes);
            if (HasFailure()) {
                return;
            }
        }
    }
}

// Random pairs from pieces that make every kind of line end, character width and decoding.
std::string randomFile(std::mt19937& random, bool allowInvalid) {
    static const std::vector<std::string> pieces = {
        "a",          "b",  "a",  "b",        "ab",   "abcdefghijklmnopqrstuvwxyz",
        "ñandú€😀abc", "\n", "\r", "\n",       "\r\n", "\t",
        "é",          "€",  "😀",  "\xC2\x85",
    };
    static const std::vector<std::string> invalid = {"\xE9", "\xFF", "\x80", "\xC3"};
    std::string file = random() % 8 == 0 ? kBom : "";
    for (int i = static_cast<int>(random() % 30); i > 0; --i) {
        file += pieces[random() % pieces.size()];
    }
    if (allowInvalid && random() % 6 == 0) {
        file.insert(random() % (file.size() + 1), invalid[random() % invalid.size()]);
    }
    return file;
}

TEST_F(EngineModelTest, RandomPairs) {
    std::mt19937 random(20261210);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE("vuelta " + std::to_string(round));
        const std::string file1 = randomFile(random, true);
        // Often alike: the other file is the first with a few changes.
        std::string file2 = file1;
        if (random() % 3 == 0) {
            file2 = randomFile(random, true);
        } else {
            for (int change = static_cast<int>(random() % 4); change >= 0; --change) {
                file2.insert(random() % (file2.size() + 1), randomFile(random, false).substr(0, 2));
            }
        }
        ReadSizes sizes = round % 2 == 0 ? tiny(2 + random() % 7) : ReadSizes{};
        if (round % 4 >= 2) {
            sizes = inHalves(sizes);
        }
        // Now and then each file decoded as told.
        std::optional<std::array<DecodingChoice, 2>> choices;
        if (round % 3 == 1) {
            choices = {DecodingChoice(random() % 4), DecodingChoice(random() % 4)};
        }
        check(file1, file2, sizes, {1 + random() % 3, round % 10 == 0, random()}, choices);
        if (HasFailure()) {
            break;
        }
    }
}

// Files of some size: index steps and buffer refills between the differing lines, lines longer
// than the buffers, stretches of consecutive differing lines (of which only the first keeps its
// start) read from anywhere, with a BOM and with lines missing in one file.
TEST_F(EngineModelTest, LargerFiles) {
    std::string numbers1, numbers2, stretch1, stretch2, lengths1, lengths2;
    for (int k = 0; k < 3000; ++k) {
        numbers1 += std::to_string(k) + "\n";
        numbers2 += std::to_string(k % 997 == 0 ? -k : k) + "\r\n";
        const std::string line = std::to_string(k) + std::string(k % 50 == 0 ? 300 : 5, 'x');
        lengths1 += line + "\n";
        lengths2 += (k % 7 == 3 ? line + "y" : line) + (k % 2 == 0 ? "\r\n" : "\n");
    }
    // Long stretches of equal lines, taken at once, with every kind of line end and some CRs at
    // the edges of what the buffers hold.
    std::string mixed1, mixed2;
    const char* const ends[] = {"\n", "\r\n", "\r", "\n\n", "\r\r\n"};
    for (int k = 0; k < 1500; ++k) {
        const std::string line = std::string(std::size_t(k % 97), char('a' + k % 26)) + "ñ";
        mixed1 += line + ends[k % 5];
        mixed2 += (k % 37 == 5 ? line + "x" : line) + ends[k % 5];
    }
    for (int k = 0; k < 40; ++k) {
        const std::string line = "línea " + std::to_string(k);
        stretch1 += line + (k % 3 == 0 ? "\r\n" : "\n");
        stretch2 += (k >= 5 && k < 30 ? line + "#" : line) + "\n";
    }
    const std::vector<HandCase> cases = {
        {"numbers far into the files", numbers1, numbers2},
        {"some lines longer than the buffers", lengths1, lengths2},
        {"a stretch of differing lines", stretch1, stretch2},
        {"a stretch after a BOM, lines only in one file", kBom + stretch1,
         stretch2 + "extra\nmore\n"},
        {"a stretch shifted", stretch1, "x\n" + stretch2.substr(0, 40)},
        {"equal stretches with every kind of line end", mixed1, mixed2},
    };
    ReadSizes small;
    small.slice = 64;
    small.stream = 16;
    ReadSizes pieces; // held stretches end anywhere, a CR among them
    pieces.pass = 300;
    for (const ReadSizes& sizes :
         {ReadSizes{}, small, pieces, tiny(3), tiny(16), inHalves(pieces), inHalves(tiny(16))}) {
        for (const HandCase& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", lecturas de " + std::to_string(sizes.slice));
            check(c.file1, c.file2, sizes, {7, false, 0});
        }
    }
    // The same files decoded unlike, so compared character by character.
    for (const ReadSizes& sizes : {ReadSizes{}, small, tiny(16)}) {
        for (const HandCase& c : {cases[1], cases[2], cases[5]}) {
            SCOPED_TRACE(std::string(c.name) + ", Latin-1 y UTF-8");
            check(c.file1, c.file2, sizes, {7, false, 0},
                  std::array{DecodingChoice::Latin1, DecodingChoice::Utf8});
        }
    }
}

// Each file decoded as told: a Latin-1 file and its UTF-8 copy give the same characters, and
// a file told to be UTF-8 that is not is refused, under every read size.
TEST_F(EngineModelTest, EachFileDecodedAsTold) {
    using enum DecodingChoice;
    struct Case {
        const char* name;
        std::string file1, file2;
        std::array<DecodingChoice, 2> choices;
        std::optional<bool> identical; // none: refused
    };
    const std::string latin1 = "N\xD3MINA \xD1"
                               "and\xFA 1.234,50\r\nSe\xF1or\n";
    const std::string utf8 = "NÓMINA Ñandú 1.234,50\r\nSeñor\n";
    const std::vector<Case> cases = {
        {"Latin-1 against its UTF-8 copy", latin1, utf8, {Latin1, Utf8}, true},
        {"both found out", latin1, utf8, {Auto, Auto}, true},
        {"both alike as before", latin1, utf8, {Windows1252, Windows1252}, false},
        {"a byte-order mark is not text under UTF-8", latin1, kBom + utf8, {Latin1, Utf8}, true},
        {"but is under Latin-1", kBom + "x", "x", {Latin1, Latin1}, false},
        {"the euro of Windows-1252 is a control in Latin-1",
         "\x80",
         "\x80",
         {Windows1252, Latin1},
         false},
        {"the euro of Windows-1252 is the euro of UTF-8",
         "1\x80\n",
         "1€\n",
         {Windows1252, Utf8},
         true},
        {"a character against two", "\xD1x", "Ñx", {Windows1252, Windows1252}, false},
        {"told UTF-8, not UTF-8", latin1, utf8, {Utf8, Utf8}, std::nullopt},
        {"told UTF-8 and so it is", utf8, utf8 + "x", {Utf8, Latin1}, false},
    };
    for (const std::size_t bytes : {0, 3, 5}) {
        const ReadSizes sizes = bytes == 0 ? ReadSizes{} : tiny(bytes);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", lecturas de " + std::to_string(bytes));
            const Model expected = model(c.file1, c.file2, c.choices);
            EXPECT_EQ(c.identical.has_value(), !expected.notUtf8File.has_value());
            EXPECT_TRUE(!c.identical || *c.identical == expected.differingLines.empty());
            check(c.file1, c.file2, sizes, {3, true, 0}, c.choices);
        }
    }
}

// Records numbered from 0 to `count` - 1, one per line, those in `left` left out and `extra`
// put before record `at`.
std::string records(int count, std::vector<int> left = {}, int at = -1, std::string extra = "") {
    std::string text;
    for (int k = 0; k < count; ++k) {
        if (k == at) {
            text += extra;
        }
        if (std::ranges::count(left, k) == 0) {
            text +=
                "REG" + std::to_string(100000 + k) + " NOMINA 00" + std::to_string(k % 10) + "\n";
        }
    }
    return text;
}

// `text` with the field of its line `line` changed (of every line with -1).
std::string changed(std::string text, int line) {
    int k = 0;
    for (std::size_t at = text.find("NOMINA"); at != std::string::npos;
         at = text.find("NOMINA", at + 1), ++k) {
        if (line < 0 || k == line) {
            text[at + 5] = 'B';
        }
    }
    return text;
}

// A record missing or added is named where the lines start to slip, for up to three lines; the
// model gives the same in both orders, under every read size.
TEST_F(EngineModelTest, ShiftedFileIsNamed) {
    struct Case {
        const char* name;
        std::string file1, file2;
        std::optional<ShiftHint> expected;
    };
    const std::vector<Case> cases = {
        {"one record missing", records(12), records(12, {4}), ShiftHint{4, 1, 2}},
        {"one record added", records(12), records(12, {}, 4, "NUEVO\n"), ShiftHint{4, 1, 1}},
        {"the first record missing", records(8), records(8, {0}), ShiftHint{0, 1, 2}},
        {"two records missing", records(12), records(12, {4, 5}), ShiftHint{4, 2, 2}},
        {"three records added", records(12), records(12, {}, 6, "a\nb\nc\n"), ShiftHint{6, 3, 1}},
        {"four records missing is not named", records(14), records(14, {4, 5, 6, 7}), {}},
        {"a changed field then a record missing", records(12), changed(records(12, {5}), 4),
         ShiftHint{5, 1, 2}},
        {"too few lines after the slip", records(6), records(6, {3}), {}},
        {"every record changed in place", records(10), changed(records(10), -1), {}},
        {"blank lines prove nothing", "a\n\n \n\n \n\n", "\n \n\n \n\nb\n", {}},
    };
    for (const ReadSizes& sizes : {ReadSizes{}, tiny(4), tiny(16), inHalves(tiny(4))}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", lecturas de " + std::to_string(sizes.pass));
            EXPECT_EQ(c.expected, model(c.file1, c.file2).shift);
            EXPECT_EQ(c.expected, compare(c.file1, c.file2, sizes).shift());
            check(c.file1, c.file2, sizes, {7, false, 0});
        }
    }
}

// Files in step at the middle of file 1 are compared in two halves that are then joined; what
// the halves found must be what one pass finds, whatever falls on either side of the join.
TEST_F(EngineModelTest, TwoHalvesJoined) {
    const std::string plain = records(40);
    const std::size_t middle = plain.find('\n', plain.size() / 2) + 1;
    std::string across = plain; // differing lines on both sides of the middle
    for (int k = 16; k < 24; ++k) {
        across = changed(across, k);
    }
    std::string invalid = plain; // a byte that is not UTF-8 in the second half
    invalid[middle + 3] = '\xE9';
    std::string crLf = plain; // not in step: a CR LF in the first half
    crLf.insert(plain.find('\n'), "\r");
    const std::vector<HandCase> cases = {
        {"differing lines across the middle", plain, across},
        {"a record missing before the middle", plain, records(40, {18})},
        {"a record added at the middle", plain, records(40, {}, 20, "NUEVO 00000000000000\n")},
        {"not UTF-8 in the second half only", plain, invalid},
        {"not UTF-8 in both halves", changed(invalid, 2), plain},
        {"file 2 ends at the middle", plain, plain.substr(0, middle)},
        {"byte-order marks on both", kBom + plain, kBom + changed(plain, 3)},
        {"not in step", crLf, changed(plain, 30)},
    };
    ReadSizes noted = inHalves({}); // lines long enough to be noted
    noted.longLineBytes = 20;
    for (const ReadSizes& sizes : {inHalves({}), noted, inHalves(tiny(3)), inHalves(tiny(16))}) {
        for (const HandCase& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", lecturas de " + std::to_string(sizes.pass));
            check(c.file1, c.file2, sizes, {7, false, 0});
        }
    }
}

// Regression: a whole noted long line, read with a checkpoint at every column, came back empty
// (the checkpoint past the last column wrapped around).
TEST_F(EngineModelTest, RegressionWholeLongLineWithACheckpointAtEveryColumn) {
    ReadSizes sizes = tiny(3);
    sizes.checkpointColumns = 1;
    check("abcdefghijklmnop\r\nqrstuvwxyz", "abcdefghijklmnoP\r\nqrstuvwxyz", sizes);
}

// The line that fills the pass's buffer exactly, with its CR in the buffer's last byte.
TEST_F(EngineModelTest, CarriageReturnAtTheEndOfAFullBuffer) {
    ReadSizes sizes;
    sizes.pass = sizes.slice = 64;
    sizes.stream = 8;
    const std::string line(63, 'a');
    check(line + "\r\nb", line + "\r\rb", sizes);
    check(line + "\r", line + "\r\n", sizes);
    check("x\n" + line + "\r\nb", "x\r" + line + "\rb", sizes);
}

// Lines of millions of characters, longer than every buffer, under both decodings: the pass
// counts them in pieces, and a part of them is read from the checkpoint before it.
TEST_F(EngineModelTest, LinesLongerThanTheBuffers) {
    std::mt19937 random(7);
    const std::vector<std::string> pieces = {"a", "b", "é", "€", "😀"};
    std::vector<std::string> parts1;
    for (int i = 0; i < 1'200'000; ++i) {
        parts1.push_back(pieces[random() % 2 == 0 ? 0 : random() % pieces.size()]);
    }
    std::vector<std::string> parts2 = parts1;
    parts2[1'000'000] = "€b"; // characters shift from there on
    for (int i = 10; i < 14; ++i) {
        parts2[i] = "x";
    }
    std::string line1, line2;
    for (std::size_t i = 0; i < parts1.size(); ++i) {
        line1 += parts1[i];
        line2 += parts2[i];
    }
    ReadSizes sizes;
    sizes.pass = 1 << 16;
    sizes.slice = 1 << 12;
    sizes.stream = 1 << 10;
    sizes.indexBytes = 1 << 15;
    for (const std::string middle : {"\r\nfin\r"s, "\r\nf\xFFn\r"s}) {
        SCOPED_TRACE(middle.find('\xFF') == std::string::npos ? "UTF-8" : "Windows-1252");
        const std::string bytes1 = line1 + middle + line1 + "\n";
        const std::string bytes2 = line2 + "\nfin\n" + line2;
        const Model expected = model(bytes1, bytes2);
        const FileComparison comparison = compare(bytes1, bytes2, sizes);
        EXPECT_EQ(std::nullopt, disagreement(comparison, expected, {3, false, 0}));
        const std::uint64_t column = 999'990;
        const auto slices = comparison.linePairs(0, 3, column, 20);
        ASSERT_EQ(3u, slices.size());
        for (const std::size_t k : {0, 2}) {
            EXPECT_TRUE(expected.files[0].lines[k].substr(column, 20) == slices[k].text1);
            EXPECT_TRUE(expected.files[1].lines[k].substr(column, 20) == slices[k].text2);
        }
    }
}

// An invalid byte far into a file turns both files to Windows-1252, the first line included,
// whose byte-order mark is then three characters.
TEST_F(EngineModelTest, InvalidByteFarFromTheStartDecidesWindows1252ForBoth) {
    std::string lines;
    for (int k = 0; lines.size() < (std::size_t{5} << 20); ++k) {
        lines += "línea número " + std::to_string(k) + "\n";
    }
    const std::string bytes1 = kBom + lines + "caf\xE9\n";
    const std::string bytes2 = lines + "café\n";
    const FileComparison comparison = compare(bytes1, bytes2);
    EXPECT_EQ(Decoding::Windows1252, comparison.decoding(2));
    EXPECT_EQ(std::nullopt, disagreement(comparison, model(bytes1, bytes2), {100, false, 0}));
}

TEST_F(EngineModelTest, BatchStopsOnceItHoldsEnoughCharacters) {
    // Pairs of 2 + 2, 6 + 6, 2 + 2 and 0 + 1 characters.
    struct Case {
        std::uint64_t budget;
        std::vector<std::size_t> batches; // pairs in each batch, reading on from the last one
    };
    const std::vector<Case> cases = {
        {1, {1, 1, 1, 1}}, {4, {1, 1, 1, 1}}, {5, {2, 2}},
        {12, {2, 2}},      {17, {3, 1}},      {UINT64_MAX, {4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("hasta " + std::to_string(c.budget));
        ReadSizes sizes = tiny(4);
        sizes.batchCharacters = c.budget;
        const FileComparison comparison = compare("ab\ncdefgh\nij\n", "aB\ncdefgH\niJ\nk\n", sizes);
        std::uint64_t from = 0;
        std::vector<std::size_t> batches;
        for (auto batch = comparison.differingPairs(from, 100); !batch.empty();
             batch = comparison.differingPairs(from, 100)) {
            batches.push_back(batch.size());
            from = batch.back().line + 1;
        }
        EXPECT_EQ(c.batches, batches);
    }
    const FileComparison comparison = compare("a\nb\nc\n", "a\nB\nc\n");
    EXPECT_TRUE(comparison.differingPairs(0, 0).empty());
    EXPECT_TRUE(comparison.differingPairs(2, 10).empty());
    EXPECT_TRUE(comparison.differingPairs(UINT64_MAX, 10).empty());
    EXPECT_TRUE(comparison.linePairs(3, 10).empty());
}

// A file that changes after the pass, in any way, is named by every later read, and what was
// found stays readable.
TEST_F(EngineModelTest, FileChangedAfterThePass) {
    const std::vector<std::pair<const char*, std::function<void(const FileComparison&)>>> reads = {
        {"linePairs", [](const FileComparison& c) { c.linePairs(0, 3); }},
        {"differingPairs", [](const FileComparison& c) { c.differingPairs(1, 1); }},
        {"runFrom",
         [](const FileComparison& c) {
             c.runFrom({0, 0}, true);
         }},
    };
    for (const FileChange& change : fileChanges()) {
        for (const int changed : {1, 2}) {
            for (const auto& [name, read] : reads) {
                SCOPED_TRACE(std::string(change.name) + ", fichero " + std::to_string(changed) +
                             ", " + name);
                const FileComparison comparison = compare("uno\ndos\ntres\n", "UNO\nDOS\ntres\n");
                ASSERT_EQ(1u, comparison.differingPairs(0, 1).size());
                const fs::path file = folder_.path() / (changed == 1 ? "uno.txt" : "dos.txt");
                change.apply(file, folder_);
                try {
                    read(comparison);
                    ADD_FAILURE() << "no FileChangedError";
                } catch (const FileChangedError& error) {
                    const std::string message = error.what();
                    EXPECT_NE(std::string::npos, message.find(quoted(file))) << message;
                    EXPECT_NE(std::string::npos, message.find("ha cambiado")) << message;
                }
                EXPECT_EQ(2u, comparison.differingLineCount());
            }
        }
    }
}

// A file that changes in any way while the pass reads it ends the pass with the message that it
// changed, naming it; the pass never reports what it read as a comparison.
TEST_F(EngineModelTest, FileChangedWhileThePassReadsIt) {
    ReadSizes sizes;
    sizes.pass = sizes.slice = 1 << 12;
    sizes.stream = 1 << 10;
    const std::string content = std::string(1 << 20, 'a') + "\n" + std::string(1 << 20, 'b') + "\n";
    for (const FileChange& change : fileChanges()) {
        for (const int changed : {1, 2}) {
            SCOPED_TRACE(std::string(change.name) + ", fichero " + std::to_string(changed));
            const fs::path file1 = path(1, content);
            const fs::path file2 = path(2, content);
            const fs::path& file = changed == 1 ? file1 : file2;
            bool applied = false;
            const auto progress = [&](std::uint64_t, std::uint64_t) {
                if (!applied) {
                    applied = true;
                    change.apply(file, folder_);
                }
                return true;
            };
            try {
                FileComparison::run(file1, file2, {true, sizes, progress});
                ADD_FAILURE() << "no FileChangedError";
            } catch (const FileChangedError& error) {
                const std::string message = error.what();
                EXPECT_NE(std::string::npos, message.find(quoted(file))) << message;
                EXPECT_NE(std::string::npos, message.find("ha cambiado")) << message;
            }
            EXPECT_TRUE(applied);
        }
    }
}

TEST_F(EngineModelTest, ProgressCanCancel) {
    const fs::path file = path(1, std::string(3 << 20, 'a') + "\n");
    ReadSizes sizes;
    sizes.pass = 1 << 12;
    int calls = 0;
    std::uint64_t lastDone = 0, total = 0;
    const auto count = [&](std::uint64_t done, std::uint64_t all) {
        ++calls;
        EXPECT_GE(done, lastDone);
        lastDone = done;
        total = all;
        return true;
    };
    EXPECT_NO_THROW(FileComparison::run(file, file, {true, sizes, count}));
    EXPECT_GE(calls, 2);
    EXPECT_EQ(2 * fs::file_size(file), total);
    EXPECT_EQ(total, lastDone);

    int cancelCalls = 0;
    try {
        FileComparison::run(file, file,
                            {true, sizes, [&](auto, auto) { return ++cancelCalls < 2; }});
        ADD_FAILURE() << "no ComparisonCancelled";
    } catch (const ComparisonCancelled& error) {
        EXPECT_EQ(2, cancelCalls);
        EXPECT_NE(std::string::npos, std::string(error.what()).find(quoted(file)));
    }
}

// The look at two buffers that finds where they part and their line breaks, with AVX2 and
// without, against a byte by byte one: sizes around the 64-byte blocks, parting anywhere.
TEST(LineReaderTest, BothWaysOfLookingAtBytesAgree) {
    std::mt19937 random(23);
    const std::string alphabet = "ab\r\n\x80\xC3";
    for (const std::size_t size : {0, 1, 63, 64, 65, 127, 128, 200, 4095, 4096}) {
        for (int round = 0; round < 20; ++round) {
            std::vector<unsigned char> a(size), b;
            for (unsigned char& byte : a) {
                byte = static_cast<unsigned char>(alphabet[random() % alphabet.size()]);
            }
            b = a;
            std::size_t parting = size;
            if (size > 0 && round % 4 != 0) {
                parting = random() % size;
                b[parting] ^= 1;
            }
            std::array<std::uint64_t, LineReader::kSpan / 64> expected{};
            for (std::size_t i = 0; i < parting; ++i) {
                if (a[i] == '\n' || a[i] == '\r') {
                    expected[i / 64] |= std::uint64_t{1} << (i % 64);
                }
            }
            for (const bool portable : {false, true}) {
                std::array<std::uint64_t, LineReader::kSpan / 64> breaks{};
                EXPECT_EQ(LineReader::lookAt(a.data(), b.data(), size, breaks.data(), portable),
                          parting);
                for (std::size_t word = 0; word * 64 < parting; ++word) {
                    EXPECT_EQ(breaks[word], expected[word]) << size << " " << word;
                }
            }
        }
    }
}

} // namespace
} // namespace parvane::test
