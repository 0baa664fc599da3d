// Differential fuzz target of the comparison engine (libFuzzer).
//
// Each input describes two files. They are written to two files in a temporary folder of this
// process, compared with parvane::compareFiles() and without limits, with read sizes that the
// input chooses (so that buffer boundaries fall inside the lines), and the results are checked
// against the plain model of the comparison that the engine's tests use
// (tests/comparison/comparison_model.h), and once more with each file decoded as the input's size
// chooses. Any disagreement aborts with a short report, so
// libFuzzer saves the input.
//
// Input encoding. Bytes go to file 1 until the switch, then to file 2. 0xFF is an escape:
//   FF FF        one 0xFF byte
//   FF 00        switch to file 2 (only the first one counts; later ones are ignored)
//   FF n c       (n = 1..254) repeat the last n bytes of the current file (all of it when it
//                holds fewer) another c times
// An escape cut short by the end of the input is ignored. Repeats of repeats let a short input
// build lines of 32767 characters, thousands of lines and files past the size limit ("a" FF 01 FF
// FF FE 7F gives 32514 a's), while a random input mostly stays small and fast; each file is cut
// at kFileCap bytes, a little past the largest size the engine accepts.

#include "comparison/comparison.h"
#include "comparison/comparison_rules.h"
#include "comparison/field_tally.h"
#include "comparison/file_comparison.h"
#include "comparison/record_layout.h"
#include "comparison/source_file.h"
#include "tests/comparison/comparison_model.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr unsigned char kEscape = 0xFF;
constexpr std::size_t kFileCap = 4 * 32766 + 64;

// ---------------------------------------------------------------------------------------------
// Input decoding

struct FilePair {
    std::string bytes[2];
};

FilePair splitInput(const std::uint8_t* data, std::size_t size) {
    FilePair pair;
    int current = 0;
    auto put = [&](unsigned char byte) {
        if (pair.bytes[current].size() < kFileCap) {
            pair.bytes[current].push_back(static_cast<char>(byte));
        }
    };
    std::size_t i = 0;
    while (i < size) {
        const unsigned char byte = data[i++];
        if (byte != kEscape) {
            put(byte);
            continue;
        }
        if (i >= size) {
            break;
        }
        const unsigned char op = data[i++];
        if (op == kEscape) {
            put(kEscape);
        } else if (op == 0) {
            current = 1;
        } else {
            if (i >= size) {
                break;
            }
            const std::size_t times = data[i++];
            std::string& file = pair.bytes[current];
            const std::size_t n = std::min<std::size_t>(op, file.size());
            if (n == 0) {
                continue;
            }
            const std::string tail = file.substr(file.size() - n);
            for (std::size_t t = 0; t < times && file.size() < kFileCap; ++t) {
                file += tail;
            }
            if (file.size() > kFileCap) {
                file.resize(kFileCap);
            }
        }
    }
    return pair;
}

// ---------------------------------------------------------------------------------------------
// Running the engine and checking it

struct Scratch {
    fs::path folder, files[2], subfolder, missing;

    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "parvane-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        folder = pattern;
        files[0] = folder / "fichero1.txt";
        files[1] = folder / "fichero2.txt";
        subfolder = folder / "carpeta";
        missing = folder / "no-existe.txt";
        if (::mkdir(subfolder.c_str(), 0700) != 0) {
            std::perror("mkdir");
            std::abort();
        }
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
};

const Scratch& scratch() {
    static const Scratch instance;
    return instance;
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
        std::fclose(file) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
}

[[noreturn]] void mismatch(const FilePair& files, const char* what) {
    std::fprintf(stderr,
                 "\n*** Engine and model disagree: %s\n"
                 "    file 1: %zu bytes, file 2: %zu bytes (kept in %s)\n",
                 what, files.bytes[0].size(), files.bytes[1].size(), scratch().folder.c_str());
    std::abort();
}

void check(const FilePair& files, const std::optional<std::string>& disagreement,
           const char* what) {
    if (disagreement) {
        std::fprintf(stderr, "\n    %s: %s\n", what, disagreement->c_str());
        mismatch(files, what);
    }
}

// The comparison without limits, with read sizes of a few bytes chosen from the input's size.
void checkUnlimited(const FilePair& files, const parvane::test::Model& expected) {
    const std::size_t size = files.bytes[0].size() + files.bytes[1].size();
    parvane::ReadSizes sizes;
    sizes.pass = 2 + size % 7;
    sizes.slice = 2 + size % 5;
    sizes.stream = 4 + size % 3;
    sizes.indexLines = 1 + size % 4;
    sizes.indexBytes = 1 + size % 9;
    sizes.batchCharacters = 1 + size % 11;
    sizes.longLineBytes = 1 + size % 13;
    sizes.checkpointColumns = 1 + size % 6;
    sizes.keptBytes = size % 3 == 0 ? 0 : size % 200;
    if (size % 2 == 0) {
        sizes.halvesFrom = 1; // in two halves, joined when they are in step
    }
    const parvane::FileComparison comparison =
        parvane::FileComparison::run(scratch().files[0], scratch().files[1], {true, sizes, {}});
    check(files, parvane::test::disagreement(comparison, expected, {1 + size % 3, false, size}),
          "comparison without limits");
}

// The comparison without limits with each file decoded as told, the decodings chosen from the
// input's size.
void checkTold(const FilePair& files) {
    const std::size_t size = files.bytes[0].size() + files.bytes[1].size();
    const std::array<parvane::DecodingChoice, 2> told{parvane::DecodingChoice(size % 4),
                                                      parvane::DecodingChoice(size / 4 % 4)};
    const parvane::test::Model expected =
        parvane::test::model(files.bytes[0], files.bytes[1], told);
    parvane::ComparisonOptions options{true, {}, {}};
    options.sizes.pass = 2 + size % 7;
    options.sizes.longLineBytes = 1 + size % 13;
    options.sizes.halvesFrom = size % 3 == 0 ? 1 : options.sizes.halvesFrom;
    options.decodings = told;
    try {
        const parvane::FileComparison comparison =
            parvane::FileComparison::run(scratch().files[0], scratch().files[1], options);
        if (expected.notUtf8File) {
            mismatch(files, "a file told to be UTF-8 that is not is compared");
        }
        check(files, parvane::test::disagreement(comparison, expected, {2, false, size}),
              "comparison with the decodings told");
    } catch (const parvane::FileError& error) {
        if (!expected.notUtf8File) {
            std::fprintf(stderr, "\n    unexpected error: %s\n", error.what());
            mismatch(files, "a file error with the decodings told");
        }
    }
}

// The first file's bytes read as a record layout are taken or refused with LayoutError, never
// anything else; a layout taken counts each field at most once per differing line of the pair,
// and no more lines of no type than differ.
void checkLayout(const FilePair& files) {
    std::optional<parvane::RecordLayout> layout;
    try {
        layout = parvane::RecordLayout::parse(files.bytes[0], "«formato»");
    } catch (const parvane::LayoutError&) {
        return;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "\n    unexpected error: %s\n", error.what());
        mismatch(files, "the layout parser threw something other than LayoutError");
    }
    try {
        const parvane::FileComparison comparison =
            parvane::FileComparison::run(scratch().files[0], scratch().files[1], {true, {}, {}});
        const parvane::FieldTally tally = parvane::FieldTally::count(comparison, *layout);
        const std::uint64_t differing = comparison.differingLineCount();
        for (const parvane::FieldCount& count : tally.fields()) {
            if (count.lines == 0 || count.lines > differing) {
                mismatch(files, "a field counted in more lines than differ");
            }
        }
        if (tally.untyped() > differing || tally.outsideFields() > differing) {
            mismatch(files, "more lines of no type, or outside the fields, than differ");
        }
    } catch (const parvane::FileError&) {
        // a file in UTF-16 or UTF-32, refused as everywhere
    }
}

// The comparison without limits under a set of rules chosen from the input's size (column ranges,
// case, trailing blanks, a pattern, a layout's field flags), with read sizes of a few bytes,
// against the model under the same rules.
void checkRuled(const FilePair& files) {
    static const std::vector<parvane::ComparisonRules> sets = [] {
        std::vector<parvane::ComparisonRules> made(3);
        made[0].addColumns("2-3,9-");
        made[0].setIgnoreCase(true);
        made[0].setIgnoreTrailingBlanks(true);
        made[1].addPattern("[0-9]+|é");
        made[1].setIgnoreTrailingBlanks(true);
        made[2].setIgnoreCase(true);
        made[2].setLayout(std::make_shared<parvane::RecordLayout>(parvane::RecordLayout::parse(
            "campos 1\nA 1 2 sin-mayusculas\nB 3 3 ignorar\nC 6 * sin-blancos-finales\n",
            "«formato»")));
        return made;
    }();
    const std::size_t size = files.bytes[0].size() + files.bytes[1].size();
    const parvane::ComparisonRules& rules = sets[size % sets.size()];
    const parvane::test::Model expected =
        parvane::test::model(files.bytes[0], files.bytes[1], std::nullopt, rules);
    if (expected.unreadFile) {
        return; // refused as everywhere
    }
    parvane::ComparisonOptions options{true, {}, {}};
    options.sizes.pass = 2 + size % 5;
    options.sizes.slice = 2 + size % 3;
    options.sizes.stream = 4 + size % 2;
    options.sizes.indexLines = 1 + size % 3;
    options.sizes.longLineBytes = 1 + size % 7;
    options.sizes.checkpointColumns = 1 + size % 4;
    options.sizes.halvesFrom = size % 2 == 1 ? 1 : options.sizes.halvesFrom;
    options.rules = rules;
    const parvane::FileComparison comparison =
        parvane::FileComparison::run(scratch().files[0], scratch().files[1], options);
    check(files, parvane::test::disagreement(comparison, expected, {1 + size % 2, false, size}),
          "comparison with rules");
}

} // namespace

void checkRefusal(const FilePair& files, const parvane::test::Model& expected,
                  const std::string& message) {
    if (expected.refusals.empty()) {
        std::fprintf(stderr, "\n    engine: %s\n", message.c_str());
        mismatch(files, "engine: OverflowError, model: success");
    }
    const std::optional<parvane::test::RefusalOf> given =
        parvane::test::refusalIn(message, scratch().files[0], scratch().files[1]);
    if (!given || std::find(expected.refusals.begin(), expected.refusals.end(), *given) ==
                      expected.refusals.end()) {
        std::fprintf(stderr,
                     "\n    engine: %s\n    model: %zu possible refusals, the first of "
                     "kind %d for file %d\n",
                     message.c_str(), expected.refusals.size(), int(expected.refusals[0].kind),
                     expected.refusals[0].file + 1);
        mismatch(files, "the refusal names the wrong limit or file");
    }
}

// A path that is not a readable regular file is refused with a FileError naming it, whatever the
// other file holds, by both comparisons.
void checkFileErrors(const FilePair& files) {
    const Scratch& paths = scratch();
    const bool first = (files.bytes[0].size() + files.bytes[1].size()) % 2 == 0;
    for (const fs::path& bad : {paths.subfolder, paths.missing}) {
        const fs::path& file1 = first ? bad : paths.files[0];
        const fs::path& file2 = first ? paths.files[1] : bad;
        const std::string named = "No se puede leer «" + bad.string() + "»: ";
        const auto expectFileError = [&](const auto& compare, const char* which) {
            try {
                compare();
            } catch (const parvane::FileError& error) {
                if (std::string_view(error.what()).starts_with(named)) {
                    return;
                }
                std::fprintf(stderr, "\n    %s: %s\n", which, error.what());
                mismatch(files, "a file error names the wrong file");
            } catch (const std::exception& error) {
                std::fprintf(stderr, "\n    %s: %s\n", which, error.what());
                mismatch(files, "a bad path gives something other than a FileError");
            }
            std::fprintf(stderr, "\n    %s accepted %s\n", which, bad.c_str());
            mismatch(files, "a bad path is compared");
        };
        expectFileError([&] { parvane::compareFiles(file1, file2); }, "compareFiles");
        expectFileError(
            [&] {
                parvane::FileComparison::run(file1, file2, {true, {}, {}});
            },
            "FileComparison");
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const FilePair files = splitInput(data, size);
    const Scratch& paths = scratch();
    writeFile(paths.files[0], files.bytes[0]);
    writeFile(paths.files[1], files.bytes[1]);

    const parvane::test::Model expected = parvane::test::model(files.bytes[0], files.bytes[1]);

    std::optional<parvane::Comparison> actual;
    try {
        actual = parvane::compareFiles(paths.files[0], paths.files[1]);
    } catch (const parvane::OverflowError& error) {
        checkRefusal(files, expected, error.what());
        checkFileErrors(files);
        return 0;
    } catch (const parvane::FileError& error) {
        // A file in UTF-16 or UTF-32 is refused by both comparisons, named.
        const std::string named =
            "No se puede comparar " + parvane::quoted(paths.files[expected.unreadFile.value_or(0)]);
        if (!expected.unreadFile || !std::string_view(error.what()).starts_with(named)) {
            std::fprintf(stderr, "\n    unexpected error: %s\n", error.what());
            mismatch(files, "a file error where the model expects none, or for the other file");
        }
        try {
            parvane::FileComparison::run(paths.files[0], paths.files[1], {true, {}, {}});
            mismatch(files, "the comparison without limits reads a file in UTF-16 or UTF-32");
        } catch (const parvane::FileError&) {
        }
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "\n    unexpected error: %s\n", error.what());
        mismatch(files, "engine threw something other than OverflowError");
    }
    if (!expected.refusals.empty() || expected.unreadFile) {
        mismatch(files, "engine: success, model: a refusal");
    }
    check(files, parvane::test::disagreement(*actual, expected), "compareFiles()");
    checkUnlimited(files, expected);
    checkTold(files);
    checkLayout(files);
    checkRuled(files);
    checkFileErrors(files);
    return 0;
}
