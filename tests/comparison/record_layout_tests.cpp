#include "comparison/field_finder.h"
#include "comparison/field_tally.h"
#include "comparison/file_comparison.h"
#include "comparison/record_layout.h"
#include "comparison_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace parvane {
namespace {

constexpr const char* kPayroll = R"(# nomina.campos
campos 1
registro CABECERA si 1 1 "H"
  TIPO       1   1
  EMPRESA    2   8
  FECHA     10   8
registro DETALLE si 1 1 "D"   # the detail records
  TIPO       1   1
  DNI        2   9
  NOMBRE    11  30
  IMPORTE   41  12
  RELLENO   53   *
)";

// A layout as a line per type: "NAME@column=key: FIELD first-end ...", columns from 1.
std::string summary(const RecordLayout& layout) {
    std::string text;
    for (const RecordType& type : layout.types()) {
        std::string key;
        for (char32_t c : type.key) {
            key += static_cast<char>(c);
        }
        text += type.name + "@" + std::to_string(type.keyColumn + 1) + "=" + key + ":";
        for (const LayoutField& field : type.fields) {
            text += " " + field.name + " " + field.columns();
            if (field.flagged()) {
                text += " [" + field.flags() + "]";
            }
        }
        text += "\n";
    }
    return text;
}

struct LayoutCase {
    const char* name;
    std::string text;
    std::string result; // the summary, or the message of the refusal
};

class LayoutParseTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutParseTest, ReadsOrRefuses) {
    const LayoutCase& c = GetParam();
    try {
        EXPECT_EQ(summary(RecordLayout::parse(c.text, "«n.campos»")), c.result);
    } catch (const LayoutError& error) {
        EXPECT_EQ(error.what(), c.result);
    }
}

const std::string kRefused = "El formato de campos «n.campos», línea ";

INSTANTIATE_TEST_SUITE_P(
    Layouts, LayoutParseTest,
    ::testing::Values(
        LayoutCase{"two_types", kPayroll,
                   "CABECERA@1=H: TIPO 1 EMPRESA 2-9 FECHA 10-17\n"
                   "DETALLE@1=D: TIPO 1 DNI 2-10 NOMBRE 11-40 IMPORTE 41-52 RELLENO 53-\n"},
        LayoutCase{"one_type_crlf_bom_gaps_unordered",
                   "\xEF\xBB\xBF"
                   "campos 1\r\nB 5 2\r\n\tA 1 2\r\nAÑO-2_b 9 *\r\n",
                   "@1=: A 1-2 B 5-6 AÑO-2_b 9-\n"},
        LayoutCase{"key_in_the_middle", "campos 1\nregistro X si 3 2 \"#ñ\"\nA 1 4\n",
                   "X@3=#\xF1: A 1-4\n"},
        LayoutCase{"no_version", "A 1 2\n",
                   kRefused + "1: el formato empieza por «campos 1», "
                              "no por «A»."},
        LayoutCase{"empty", "# nothing\n", kRefused + "1: falta «campos 1» al principio."},
        LayoutCase{"unknown_version", "campos 2\nA 1 1\n",
                   kRefused + "1: versión desconocida «2»: este programa lee la versión 1."},
        LayoutCase{"no_fields", "campos 1\n", kRefused + "2: no define ningún campo."},
        LayoutCase{"unknown_flag", "campos 1\nA 1 2 ignorarlo\n",
                   kRefused + "2: la marca «ignorarlo» del campo A no se conoce: un campo puede "
                              "terminar en «ignorar», «sin-mayusculas» o «sin-blancos-finales»."},
        LayoutCase{"flags", "campos 1\nA 1 2 ignorar\nB 3 * sin-blancos-finales sin-mayusculas\n",
                   "@1=: A 1-2 [ignorar] B 3- [sin-mayusculas sin-blancos-finales]\n"},
        LayoutCase{"flag_twice", "campos 1\nA 1 2 ignorar ignorar\n",
                   kRefused + "2: el campo A tiene dos veces la marca «ignorar»."},
        LayoutCase{"too_few_words", "campos 1\nA 1\n",
                   kRefused + "2: un campo se escribe «NOMBRE COLUMNA LONGITUD» (o «*» por "
                              "longitud), no «A 1»."},
        LayoutCase{"overlap", "campos 1\nA 1 5\nB 5 2\n",
                   kRefused + "3: los campos A (columnas 1-5) y B (columnas 5-6) se solapan."},
        LayoutCase{"overlap_to_the_end", "campos 1\nA 3 *\nB 9 1\n",
                   kRefused + "3: los campos A (columnas 3-…) y B (columna 9) se solapan."},
        LayoutCase{"length_zero", "campos 1\nA 1 0\n",
                   kRefused + "2: la longitud es 0: un campo tiene al menos una columna."},
        LayoutCase{"column_zero", "campos 1\nA 0 1\n",
                   kRefused + "2: la columna es 0: las columnas empiezan en 1."},
        LayoutCase{"not_a_number", "campos 1\nA 1x 1\n",
                   kRefused + "2: la columna «1x» no es un número."},
        LayoutCase{"negative", "campos 1\nA 1 -3\n",
                   kRefused + "2: la longitud «-3» no es un número."},
        LayoutCase{"repeated_name", "campos 1\nregistro R si 1 1 \"R\"\nA 1 1\nA 2 1\n",
                   kRefused + "4: el campo A ya está definido en el registro R."},
        LayoutCase{"repeated_type",
                   "campos 1\nregistro R si 1 1 \"R\"\nA 1 1\nregistro R si 1 1 \"S\"\nA 1 1\n",
                   kRefused + "4: el registro R ya está definido."},
        LayoutCase{"missing_quote", "campos 1\nregistro R si 1 1 \"R\nA 1 1\n",
                   kRefused + "2: falta la comilla que cierra \"R."},
        LayoutCase{"key_length", "campos 1\nregistro R si 1 2 \"R\"\nA 1 1\n",
                   kRefused + "2: el texto \"R\" tiene 1 carácter, no 2."},
        LayoutCase{"bad_name", "campos 1\nA.B 1 1\n",
                   kRefused + "2: el nombre «A.B» no vale: los nombres son letras, cifras, «_» "
                              "y «-»."},
        LayoutCase{"type_without_fields", "campos 1\nregistro R si 1 1 \"R\"\n",
                   kRefused + "2: el registro R no tiene campos."},
        LayoutCase{"fields_then_types", "campos 1\nA 1 1\nregistro R si 1 1 \"R\"\nB 1 1\n",
                   kRefused + "3: «registro» tras campos sin registro: o todos los campos van "
                              "tras un «registro», o ninguno."},
        LayoutCase{"not_utf8", "campos 1\nA 1 1\nN\xF1 2 1\n",
                   kRefused + "3: no es UTF-8 válido."}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

TEST(LayoutReadTest, FileErrorsNameTheLayout) {
    test::TempFolder folder;
    const auto missing = folder.path() / "falta.campos";
    EXPECT_THROW(
        {
            try {
                RecordLayout::read(missing);
            } catch (const LayoutError& error) {
                EXPECT_NE(std::string(error.what()).find("falta.campos"), std::string::npos);
                throw;
            }
        },
        LayoutError);
    const auto big = folder.write("grande.campos", std::string(RecordLayout::kMostBytes + 1, '#'));
    EXPECT_THROW(RecordLayout::read(big), LayoutError);
    EXPECT_EQ(RecordLayout::read(folder.write("n.campos", kPayroll)).types().size(), 2u);
}

// Runs (columns from 1, inclusive) against what FieldFinder finds in the DETALLE record.
TEST(FieldFinderTest, RunsFallInFieldsAndGaps) {
    const RecordLayout layout =
        RecordLayout::parse("campos 1\nA 3 2\nB 5 3\nC 12 2\nD 20 *\n", "«x»");
    const RecordType& type = layout.types()[0];
    struct Case {
        std::vector<ColumnRun> runs; // from 1
        std::string found;
    };
    const Case cases[] = {
        {{{1, 1}}, "[1-1]"},
        {{{4, 4}}, "A"},
        {{{1, 30}}, "[1-2] A B [8-11] C [14-19] D"},
        {{{9, 9}, {11, 11}, {5, 5}}, "B [9-11]"},
        {{{13, 13}, {12, 12}}, "C"},
        {{{100000, 100000}}, "D"},
        {{}, ""},
    };
    for (const Case& c : cases) {
        FieldFinder finder(&type);
        for (const ColumnRun& run : c.runs) {
            finder.add({run.first - 1, run.last - 1});
        }
        std::string found;
        for (const FieldRun& run : finder.found()) {
            found += (found.empty() ? "" : " ") +
                     (run.field ? run.field->name
                                : "[" + std::to_string(run.columns.first + 1) + "-" +
                                      std::to_string(run.columns.last + 1) + "]");
        }
        EXPECT_EQ(found, c.found);
    }
    FieldFinder untyped(nullptr);
    untyped.add({4, 6});
    ASSERT_EQ(untyped.found().size(), 1u);
    EXPECT_EQ(untyped.found()[0].field, nullptr);
}

// Each field is counted once per line; lines of no type and differences between fields apart;
// a line longer than the first columns read is looked at whole; a line that file 1 lacks takes
// its type from file 2.
TEST(FieldTallyTest, CountsTheLinesOfEachField) {
    test::TempFolder folder;
    const std::string tail(5000, 'x');
    std::string tailChanged = tail;
    tailChanged[4500] = 'y';
    const std::string file1 = "H20240101\n"
                              "D000000001ANA     0000012345\n"
                              "D000000002LUIS    0000099999\n"
                              "X?\n"
                              "D000000003EVA     0000000001" +
                              tail + "\n";
    const std::string file2 = "H20240102\n"
                              "D000000001ANA     0000012346\n"
                              "D000000009LUIZ    0000099990\n"
                              "Y?\n"
                              "D000000003EVA     0000000001" +
                              tailChanged + "\nD000000004PEPA    0000000002\n";
    const auto path1 = folder.write("1.txt", file1);
    const auto path2 = folder.write("2.txt", file2);
    const RecordLayout layout = RecordLayout::parse(
        "campos 1\nregistro H si 1 1 \"H\"\nFECHA 2 8\n"
        "registro D si 1 1 \"D\"\nDNI 2 9\nNOMBRE 11 8\nIMPORTE 19 10\nRESTO 29 *\n",
        "«x»");
    for (const bool unlimited : {false, true}) {
        const FileComparison comparison =
            FileComparison::run(path1, path2, ComparisonOptions{unlimited, {}, {}, {}});
        const FieldTally tally = FieldTally::count(comparison, layout);
        std::string counts;
        for (const FieldCount& count : tally.fields()) {
            counts += count.type->name + "." + count.field->name + "=" +
                      std::to_string(count.lines) + " ";
        }
        EXPECT_EQ(counts, "H.FECHA=1 D.DNI=2 D.NOMBRE=2 D.IMPORTE=3 D.RESTO=1 ");
        EXPECT_EQ(tally.untyped(), 1u);
        EXPECT_EQ(tally.outsideFields(), 1u); // the first column of the added line
    }
}

} // namespace
} // namespace parvane
