// What a comparison leaves out: the rules as written and refused, a table of rules against line
// pairs with the columns that count and those left out (engine and model alike), and the engine
// against the model with rules over hand and random files.

#include "comparison/case_folding.h"
#include "comparison/comparison_rules.h"
#include "comparison/file_comparison.h"
#include "comparison_model.h"
#include "comparison_test_support.h"

#include <gtest/gtest.h>

#include <random>

namespace parvane::test {
namespace {

// The rules of a case: ranges as written (none when empty), case, trailing blanks, patterns and
// a layout's text (none when empty).
struct RulesText {
    std::string columns;
    bool ignoreCase = false;
    bool blanks = false;
    std::vector<std::string> patterns;
    std::string layout;
};

ComparisonRules rulesOf(const RulesText& text) {
    ComparisonRules rules;
    if (!text.columns.empty()) {
        rules.addColumns(text.columns);
    }
    rules.setIgnoreCase(text.ignoreCase);
    rules.setIgnoreTrailingBlanks(text.blanks);
    for (const std::string& pattern : text.patterns) {
        rules.addPattern(pattern);
    }
    if (!text.layout.empty()) {
        rules.setLayout(std::make_shared<RecordLayout>(RecordLayout::parse(text.layout, "«x»")));
    }
    return rules;
}

// "2-3 7": runs from 1.
std::string shown(const std::vector<ColumnRun>& runs) {
    std::string text;
    for (const ColumnRun& run : runs) {
        text += (text.empty() ? "" : " ") + std::to_string(run.first + 1);
        if (run.last != run.first) {
            text += "-" + std::to_string(run.last + 1);
        }
    }
    return text;
}

struct PairCase {
    const char* name;
    RulesText rules;
    std::string line1, line2;
    // Columns that count in each file, then those left out, as shown() writes them.
    std::string counted1, counted2, leftOut1, leftOut2;
};

const std::string kLayout = "campos 1\nregistro D si 1 1 \"D\"\nFECHA 2 4 ignorar\n"
                            "NOMBRE 6 4 sin-mayusculas sin-blancos-finales\nRESTO 10 *\n";

const PairCase kPairs[] = {
    {"no_rule", {}, "abcd", "abXd", "3", "3", "", ""},
    {"column_range", {"2-3"}, "abcdef", "aXYdeZ", "6", "6", "2-3", "2-3"},
    {"range_to_the_end", {"4-"}, "abcdef", "abcXYZW", "", "", "4-6", "4-7"},
    {"one_column", {"1"}, "xbc", "ybd", "3", "3", "1", "1"},
    {"case", {"", true}, "Año Ñu", "aÑO ñv", "6", "6", "1-3 5", "1-3 5"},
    {"case_one_to_one_only", {"", true}, "ß", "SS", "1", "1-2", "", ""},
    {"trailing_blanks", {"", false, true}, "abc \t", "abc", "", "", "4-5", ""},
    {"trailing_blanks_against_text", {"", false, true}, "ab  ", "abcd", "", "3-4", "3-4", ""},
    {"inner_blanks_count", {"", false, true}, "a b", "a  ", "3", "", "", "3"},
    {"pattern_in_either_line",
     {"", false, false, {"[0-9]{4}-[0-9]{2}"}},
     "x 2024-01 y",
     "x 2025-13 z",
     "11",
     "11",
     "6 8-9",
     "6 8-9"},
    {"pattern_in_one_line_only",
     {"", false, false, {"[0-9]+"}},
     "id 12",
     "id ab",
     "",
     "",
     "4-5",
     "4-5"},
    {"patterns_given_twice",
     {"", false, false, {"[0-9]+", "h[a-z]+"}},
     "1 hola 2",
     "3 hiya 4",
     "",
     "",
     "1 4-5 8",
     "1 4-5 8"},
    {"pattern_and_case", {"", true, false, {"é+"}}, "aéé B", "xÉé b", "1", "1", "2 5", "2 5"},
    {"layout_flags",
     {"", false, false, {}, kLayout},
     "D2024Ana z",
     "D2025ANAsy",
     "10",
     "9-10",
     "5 7-9",
     "5 7-8"},
    {"layout_needs_its_type",
     {"", false, false, {}, kLayout},
     "X2024Ana",
     "X2025ANA",
     "5 7-8",
     "5 7-8",
     "",
     ""},
    {"type_from_file_2_when_file_1_lacks_the_line",
     {"", false, false, {}, kLayout},
     "",
     "D2024",
     "",
     "1",
     "",
     "2-5"},
};

class RulesPairTest : public ::testing::TestWithParam<PairCase> {};

TEST_P(RulesPairTest, CountsAndLeavesOut) {
    const PairCase& c = GetParam();
    const ComparisonRules rules = rulesOf(c.rules);
    const bool missing1 = std::string_view(c.name).starts_with("type_from_file_2");
    const std::string bytes1 = missing1 ? "" : c.line1 + "\n";
    const std::string bytes2 = c.line2 + "\n";
    const Model expected = model(bytes1, bytes2, std::nullopt, rules);
    ASSERT_EQ(expected.runs.size(), 1u);
    const auto check =
        [&](const std::vector<ColumnRun>& counted1, const std::vector<ColumnRun>& counted2,
            const std::vector<ColumnRun>& leftOut1, const std::vector<ColumnRun>& leftOut2) {
            EXPECT_EQ(shown(counted1), c.counted1);
            EXPECT_EQ(shown(counted2), c.counted2);
            EXPECT_EQ(shown(leftOut1), c.leftOut1);
            EXPECT_EQ(shown(leftOut2), c.leftOut2);
        };
    {
        SCOPED_TRACE("modelo");
        check(expected.runs[0][0], expected.runs[0][1], expected.leftOut[0][0],
              expected.leftOut[0][1]);
    }
    TempFolder folder;
    ComparisonOptions options;
    options.rules = rules;
    const FileComparison comparison =
        FileComparison::run(folder.write("1.txt", bytes1), folder.write("2.txt", bytes2), options);
    const LinePairSlice slice = comparison.linePairs(0, 1).at(0);
    {
        SCOPED_TRACE("motor");
        check(slice.runs1, slice.runs2, slice.leftOut1, slice.leftOut2);
    }
    EXPECT_EQ(std::nullopt, disagreement(comparison, expected));
    EXPECT_EQ(comparison.identical(), c.counted1.empty() && c.counted2.empty());
}

INSTANTIATE_TEST_SUITE_P(Rules, RulesPairTest, ::testing::ValuesIn(kPairs),
                         [](const ::testing::TestParamInfo<PairCase>& info) {
                             return std::string(info.param.name);
                         });

// Which rule left a column out, as the tips say it.
TEST(RulesTest, SaysWhichRuleLeftAColumnOut) {
    TempFolder folder;
    ComparisonOptions options;
    options.rules = rulesOf({"1", true, true, {"[0-9]+"}, kLayout});
    const FileComparison comparison = FileComparison::run(
        folder.write("1.txt", "D2024ana x 7 \n"), folder.write("2.txt", "X2025ANa y 8\n"), options);
    const auto said = [&](std::uint64_t column) {
        const auto omission = comparison.omission(0, 1, column - 1);
        return omission ? comparison.rules().describe(*omission) : std::string("cuenta");
    };
    EXPECT_EQ(said(1), "omitido: columna 1");
    EXPECT_EQ(said(2), "cuenta"); // equal
    EXPECT_EQ(said(5), "omitido: campo FECHA (ignorar)");
    EXPECT_EQ(said(7), "omitido: mayúsculas y minúsculas");
    EXPECT_EQ(said(10), "cuenta"); // differs
    EXPECT_EQ(said(12), "omitido: patrón «[0-9]+»");
    EXPECT_EQ(said(13), "omitido: blancos al final de la línea");
    EXPECT_EQ(comparison.rules().described(),
              (std::vector<std::string>{"columna 1", "mayúsculas y minúsculas",
                                        "blancos al final de la línea", "patrón «[0-9]+»",
                                        "campo FECHA del registro D (ignorar)",
                                        "campo NOMBRE del registro D (sin-mayusculas "
                                        "sin-blancos-finales)"}));
}

struct BadRule {
    const char* name;
    std::string columns, pattern; // one of them
    std::string message;
};

const BadRule kBadRules[] = {
    {"column_zero", "0-3", "", "el tramo «0-3» no vale: las columnas empiezan en 1"},
    {"backwards", "5-2", "", "el tramo «5-2» no vale: termina antes de empezar"},
    {"not_a_number", "1-x", "", "el tramo «1-x» no vale: «x» no es un número de columna"},
    {"lone_comma", ",", "", "falta un tramo de columnas antes o después de una coma en «,»"},
    {"empty_list", " ", "", "la lista de columnas está vacía: se escribe como «1-10,73-80,120-»"},
    {"does_not_compile", "", "ab(c",
     "la expresión «ab(c» no se puede usar: falta el «)» que cierra, en «ab(c»"},
    {"matches_empty", "", "[0-9]*",
     "la expresión «[0-9]*» no se puede usar: puede encajar con un texto vacío, y así no deja "
     "fuera nada; pida al menos un carácter (por ejemplo «+» en vez de «*»)"},
    {"empty_at_a_boundary", "", "\\b",
     "la expresión «\\b» no se puede usar: puede encajar con un texto vacío, y así no deja fuera "
     "nada; pida al menos un carácter (por ejemplo «+» en vez de «*»)"},
};

class BadRuleTest : public ::testing::TestWithParam<BadRule> {};

TEST_P(BadRuleTest, IsRefusedWithItsFault) {
    const BadRule& c = GetParam();
    ComparisonRules rules;
    try {
        if (c.pattern.empty()) {
            rules.addColumns(c.columns);
        } else {
            rules.addPattern(c.pattern);
        }
        ADD_FAILURE() << "no RulesError";
    } catch (const RulesError& error) {
        EXPECT_EQ(error.what(), c.message);
    }
    EXPECT_TRUE(rules.empty());
}

INSTANTIATE_TEST_SUITE_P(Rules, BadRuleTest, ::testing::ValuesIn(kBadRules),
                         [](const ::testing::TestParamInfo<BadRule>& info) {
                             return std::string(info.param.name);
                         });

TEST(RulesTest, RangesMergeAndFoldingIsOneToOne) {
    ComparisonRules rules;
    rules.addColumns(" 73-80 ,1-10,9-12, 120-,200");
    EXPECT_EQ(rules.described(), std::vector<std::string>{"columnas 1-12, 73-80, 120-"});
    EXPECT_EQ(foldCase(U'Ñ'), U'ñ');
    EXPECT_EQ(foldCase(U'Σ'), U'σ');
    EXPECT_EQ(foldCase(U'ς'), U'σ');
    EXPECT_EQ(foldCase(U'ẞ'), U'ß'); // simple folding: one code point, never "ss"
    EXPECT_EQ(foldCase(U'7'), U'7');
}

// Hand and random files against the model, with the display limits and without, with sizes of
// a few bytes too, under each set of rules.
TEST(RulesTest, EngineAgreesWithTheModel) {
    const RulesText sets[] = {
        {"3-4,9-", true, true, {}},
        {"", false, true, {"[0-9]+", "é"}},
        {"", true, false, {}, kLayout},
    };
    std::vector<std::pair<std::string, std::string>> files = {
        {"D2024Ana  x 12\nabc\n  \nÉl 9\n", "D2025ANA\ty 13 \nABC \n\nél 8"},
        {"\xEF\xBB\xBF"
         "Ab 1\nb\n",
         "aB 2\nB\n"},
        {"Año\xE9\n", "año\xC9\n"}, // Windows-1252
        {"É\n", "é\n"},             // equal under UTF-8 with case, not byte by byte
    };
    std::mt19937 random(25);
    const std::string letters = "aAbB 1\t2é\n";
    for (int n = 0; n < 40; ++n) {
        std::array<std::string, 2> pair;
        for (std::string& text : pair) {
            for (std::uint32_t k = random() % 30; k > 0; --k) {
                text += letters[random() % letters.size()];
            }
        }
        files.emplace_back(pair[0], pair[1]);
    }
    ReadSizes tiny;
    tiny.pass = tiny.slice = 5;
    tiny.stream = 5;
    tiny.indexLines = 2;
    tiny.indexBytes = 3;
    tiny.longLineBytes = 4;
    tiny.checkpointColumns = 3;
    tiny.keptBytes = 80;
    ReadSizes halves = tiny; // compared in two halves, joined when they are in step
    halves.halvesFrom = 1;
    TempFolder folder;
    for (const RulesText& set : sets) {
        const ComparisonRules rules = rulesOf(set);
        for (const auto& [one, two] : files) {
            SCOPED_TRACE(one + "|" + two);
            const Model expected = model(one, two, std::nullopt, rules);
            for (const ReadSizes& sizes : {ReadSizes{}, tiny, halves}) {
                for (const bool unlimited : {true, false}) {
                    ComparisonOptions options{unlimited, sizes, {}};
                    options.rules = rules;
                    EXPECT_EQ(std::nullopt,
                              disagreement(FileComparison::run(folder.write("1.txt", one),
                                                               folder.write("2.txt", two), options),
                                           expected));
                }
            }
        }
    }
}

// The last run of a pair was looked for only up to the columns of its line that the pass noted
// as long, which the other line may pass: a 4-byte character against three letters.
TEST(RulesTest, regressionLastRunPastANotedLongLine) {
    TempFolder folder;
    const std::string one = "\xF0\x9F\x98\x80\n";
    const std::string two = "abc\n";
    ComparisonOptions options{true, {}, {}};
    options.sizes.longLineBytes = 4;
    options.rules = rulesOf({"1-2"});
    EXPECT_EQ(std::nullopt, disagreement(FileComparison::run(folder.write("1.txt", one),
                                                             folder.write("2.txt", two), options),
                                         model(one, two, std::nullopt, options.rules)));
}

} // namespace
} // namespace parvane::test
