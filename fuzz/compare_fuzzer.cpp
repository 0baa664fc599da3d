// Differential fuzz target of the comparison engine (libFuzzer).
//
// Each input describes two files. They are written to two files in a temporary folder of this
// process, compared with parvane::compareFiles(), and the result is checked against a small,
// deliberately plain model of the comparison further down. Any disagreement aborts with a short
// report, so libFuzzer saves the input.
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
#include "comparison/large_comparison.h"
#include "comparison/large_comparison_buffers.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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
// The model: what a comparison must give, computed the plain way (whole texts, int positions,
// the limits checked once on whole counts instead of at every addition, with no shortcut for
// large files).

namespace model {

// Strict UTF-8: every code point read with its continuation bytes, then refused unless it was
// written in its shortest form, is no surrogate and is at most U+10FFFF.
std::optional<std::u32string> fromUtf8(const std::string& bytes) {
    std::u32string text;
    text.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned lead = static_cast<unsigned char>(bytes[i]);
        int more;
        char32_t code;
        if (lead <= 0x7F) {
            more = 0;
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            more = 1;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            more = 2;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            more = 3;
            code = lead & 0x07;
        } else {
            return std::nullopt;
        }
        for (int k = 1; k <= more; ++k) {
            if (i + k >= bytes.size()) {
                return std::nullopt;
            }
            const unsigned next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            code = code * 64 + (next & 0x3F);
        }
        const int shortest = code < 0x80 ? 0 : code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
        if (shortest != more || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
            return std::nullopt;
        }
        text += code;
        i += static_cast<std::size_t>(more) + 1;
    }
    return text;
}

// Windows-1252: the bytes 0x80..0x9F as this table says, every other byte as the code point of
// its value.
std::u32string fromWindows1252(const std::string& bytes) {
    static const std::u32string high = U"€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008DŽ\u008F"
                                       U"\u0090‘’“”•–—˜™š›œ\u009DžŸ";
    std::u32string text(bytes.size(), U'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned byte = static_cast<unsigned char>(bytes[i]);
        text[i] = (byte >= 0x80 && byte < 0xA0) ? high[byte - 0x80] : char32_t(byte);
    }
    return text;
}

void addUtf8(std::string& out, std::u32string_view text) {
    for (const char32_t code : text) {
        if (code < 0x80) {
            out += static_cast<char>(code);
            continue;
        }
        // Continuation bytes from the last one backwards, until the rest fits in the lead byte,
        // which holds 5 bits after one continuation byte, 4 after two and 3 after three.
        char tail[4];
        int count = 0;
        char32_t rest = code;
        unsigned room = 0x3F;
        unsigned mark = 0x80;
        while (rest > room) {
            tail[count++] = static_cast<char>(0x80 + (rest & 0x3F));
            rest >>= 6;
            room >>= 1;
            mark = (mark >> 1) | 0x80;
        }
        out += static_cast<char>(mark | rest);
        while (count > 0) {
            out += tail[--count];
        }
    }
}

// Lines: every CR LF and every lone CR in `text` becomes LF, then the text is cut at each LF; a
// last line without a break is still a line. The lines are views into `text`.
std::vector<std::u32string_view> lines(std::u32string& text) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') {
            continue; // the LF that follows ends the line
        }
        text[kept++] = text[i] == U'\r' ? U'\n' : text[i];
    }
    text.resize(kept);

    std::vector<std::u32string_view> result;
    std::u32string_view rest = text;
    while (!rest.empty()) {
        const std::size_t end = rest.find(U'\n');
        if (end == std::u32string_view::npos) {
            result.push_back(rest);
            break;
        }
        result.push_back(rest.substr(0, end));
        rest.remove_prefix(end + 1);
    }
    return result;
}

// Why a comparison may be refused. The engine gives the first limit it meets, which depends on
// the order in which it reads; the model only says which answers are right: every limit that the
// files pass is one.
enum class Refusal {
    TextTooLarge, // the file's own text does not fit
    LineTooLong,  // the file has a line that does not fit
    TooLargeWith, // the file fits alone, not with a line break for each line the other adds
};

struct RefusalOf {
    Refusal kind;
    int file; // 0 or 1
    friend bool operator==(const RefusalOf&, const RefusalOf&) = default;
};

struct Outcome {
    std::vector<RefusalOf> refusals; // the right answers when the comparison must be refused
    std::string display[2];
    std::vector<int> differences[2];
};

// The limits, as the program states them: a display text holds at most 32766 characters and a
// line at most 32764, every line counting two more for the line break after it. The display text
// of a file has a line break for every line pair, so the lines of the other file that this one
// does not have add two characters each.
constexpr std::size_t kLongestText = 32766;
constexpr std::size_t kLongestLine = 32764;

std::vector<RefusalOf> refusals(const std::vector<std::u32string_view> (&lineList)[2]) {
    std::vector<RefusalOf> result;
    const std::size_t pairs = std::max(lineList[0].size(), lineList[1].size());
    for (int f = 0; f < 2; ++f) {
        std::size_t characters = 0;
        for (const std::u32string_view line : lineList[f]) {
            characters += line.size();
            if (line.size() > kLongestLine) {
                result.push_back({Refusal::LineTooLong, f});
            }
        }
        const std::size_t own = characters + 2 * lineList[f].size();
        if (own > kLongestText) {
            result.push_back({Refusal::TextTooLarge, f});
        } else if (characters + 2 * pairs > kLongestText) {
            result.push_back({Refusal::TooLargeWith, f});
        }
    }
    return result;
}

Outcome compare(const FilePair& files) {
    Outcome outcome;
    const std::string& a = files.bytes[0];
    const std::string& b = files.bytes[1];

    std::u32string text[2];
    std::optional<std::u32string> utf8a = fromUtf8(a);
    std::optional<std::u32string> utf8b = fromUtf8(b);
    if (utf8a && utf8b) {
        text[0] = std::move(*utf8a);
        text[1] = std::move(*utf8b);
        for (std::u32string& t : text) {
            if (t.size() > 0 && t[0] == 0xFEFF) {
                t = t.substr(1);
            }
        }
    } else {
        text[0] = fromWindows1252(a);
        text[1] = fromWindows1252(b);
    }

    const std::vector<std::u32string_view> lineList[2] = {lines(text[0]), lines(text[1])};
    const std::size_t pairs = std::max(lineList[0].size(), lineList[1].size());
    outcome.refusals = refusals(lineList);
    if (!outcome.refusals.empty()) {
        return outcome;
    }

    int lineStart[2] = {1, 1};
    for (std::size_t k = 0; k < pairs; ++k) {
        std::u32string_view line[2];
        for (int f = 0; f < 2; ++f) {
            if (k < lineList[f].size()) {
                line[f] = lineList[f][k];
                addUtf8(outcome.display[f], line[f]);
                outcome.display[f] += "\r\n";
            }
        }
        const std::size_t columns = std::max(line[0].size(), line[1].size());
        for (std::size_t col = 0; col < columns; ++col) {
            const bool in0 = col < line[0].size();
            const bool in1 = col < line[1].size();
            const bool same = in0 && in1 && line[0][col] == line[1][col];
            if (same) {
                continue;
            }
            if (in0) {
                outcome.differences[0].push_back(lineStart[0] + static_cast<int>(col));
            }
            if (in1) {
                outcome.differences[1].push_back(lineStart[1] + static_cast<int>(col));
            }
        }
        lineStart[0] += static_cast<int>(line[0].size()) + 2;
        lineStart[1] += static_cast<int>(line[1].size()) + 2;
    }

    return outcome;
}

} // namespace model

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

void checkText(const FilePair& files, int f, const std::string& engine, const std::string& model) {
    if (engine == model) {
        return;
    }
    const auto at = std::mismatch(engine.begin(), engine.end(), model.begin(), model.end());
    std::fprintf(stderr,
                 "\n    display text %d: engine %zu bytes, model %zu bytes, first "
                 "difference at byte %zu\n",
                 f + 1, engine.size(), model.size(),
                 static_cast<std::size_t>(at.first - engine.begin()));
    mismatch(files, "display text");
}

void checkList(const FilePair& files, int f, const std::vector<std::int16_t>& engine,
               const std::vector<int>& model) {
    const bool same = std::equal(engine.begin(), engine.end(), model.begin(), model.end(),
                                 [](std::int16_t e, int m) { return int{e} == m; });
    if (same) {
        return;
    }
    std::size_t i = 0;
    while (i < engine.size() && i < model.size() && engine[i] == model[i]) {
        ++i;
    }
    std::fprintf(stderr,
                 "\n    list %d: engine %zu entries, model %zu; entry %zu: engine %d, "
                 "model %d\n",
                 f + 1, engine.size(), model.size(), i + 1, i < engine.size() ? int{engine[i]} : -1,
                 i < model.size() ? model[i] : -1);
    mismatch(files, "difference list");
}

bool sameSlice(const parvane::LinePairSlice& a, const parvane::LinePairSlice& b) {
    return a.line == b.line && a.has1 == b.has1 && a.has2 == b.has2 && a.length1 == b.length1 &&
           a.length2 == b.length2 && a.text1 == b.text1 && a.text2 == b.text2 &&
           a.runs1 == b.runs1 && a.runs2 == b.runs2;
}

// The differing pairs, read in batches, are exactly the pairs of `all` that hold a red character,
// each as linePairs() gives it.
void checkDifferingPairs(const FilePair& files, const parvane::LargeComparison& large,
                         const std::vector<parvane::LinePairSlice>& all) {
    const std::uint64_t batch = 1 + (files.bytes[0].size() + files.bytes[1].size()) % 3;
    std::vector<parvane::LinePairSlice> differing;
    for (std::uint64_t from = 0;;) {
        const std::vector<parvane::LinePairSlice> got = large.differingPairs(from, batch);
        if (got.empty()) {
            break;
        }
        if (got.size() > batch) {
            mismatch(files, "differingPairs() gives more pairs than asked for");
        }
        differing.insert(differing.end(), got.begin(), got.end());
        from = got.back().line + 1;
    }
    std::vector<parvane::LinePairSlice> expected;
    for (const parvane::LinePairSlice& slice : all) {
        if (!slice.runs1.empty() || !slice.runs2.empty()) {
            expected.push_back(slice);
        }
    }
    if (differing.size() != expected.size() || differing.size() != large.differingLineCount() ||
        !std::equal(differing.begin(), differing.end(), expected.begin(), sameSlice)) {
        mismatch(files, "differingPairs() against the differing pairs of linePairs()");
    }
}

// The comparison of files of any size must count what compareFiles() colours. Its buffers are
// made small (from the input's size) so that their boundaries fall inside the lines.
void checkLargeComparison(const FilePair& files, const parvane::Comparison& bounded) {
    const std::size_t size = files.bytes[0].size() + files.bytes[1].size();
    parvane::LargeComparisonBuffers& buffers = parvane::LargeComparisonBuffers::current();
    const parvane::LargeComparisonBuffers saved = buffers;
    buffers = {2 + size % 7, 2 + size % 5, 4 + size % 3, 1 + size % 4, 1 + size % 9, 1 + size % 11};
    const parvane::LargeComparison large =
        parvane::LargeComparison::run(scratch().files[0], scratch().files[1]);
    const auto lines = [](const std::string& display) {
        std::size_t count = 0;
        for (std::size_t at = display.find("\r\n"); at != std::string::npos;
             at = display.find("\r\n", at + 2)) {
            ++count;
        }
        return count;
    };
    const parvane::ComparisonTotals& totals = large.totals();
    if (totals.differingCharacters1 != bounded.differences1.size() ||
        totals.differingCharacters2 != bounded.differences2.size()) {
        mismatch(files, "large comparison: differing characters");
    }
    if (large.lineCount(1) != lines(bounded.displayText1) ||
        large.lineCount(2) != lines(bounded.displayText2)) {
        mismatch(files, "large comparison: line count");
    }
    std::uint64_t red1 = 0, red2 = 0;
    const std::vector<parvane::LinePairSlice> all = large.linePairs(0, large.pairCount());
    checkDifferingPairs(files, large, all);
    for (const parvane::LinePairSlice& slice : all) {
        for (const parvane::ColumnRun& run : slice.runs1) {
            red1 += run.last - run.first + 1;
        }
        for (const parvane::ColumnRun& run : slice.runs2) {
            red2 += run.last - run.first + 1;
        }
    }
    if (red1 != totals.differingCharacters1 || red2 != totals.differingCharacters2) {
        mismatch(files, "large comparison: runs of linePairs() against its totals");
    }
    buffers = saved;
}

} // namespace

// Which limit an OverflowError's message reports, and for which file; none when the message is
// not one of the three forms or names a file that is not compared.
std::optional<model::RefusalOf> refusalIn(const std::string& message) {
    const auto quote = [](int f) { return "«" + scratch().files[f].string() + "»"; };
    for (int f = 0; f < 2; ++f) {
        const std::string named = "No se puede comparar " + quote(f);
        if (!message.starts_with(named)) {
            continue;
        }
        const std::string rest = message.substr(named.size());
        const std::string other = quote(1 - f);
        if (rest.starts_with(": es demasiado grande.") && rest.find("32766") != std::string::npos) {
            return model::RefusalOf{model::Refusal::TextTooLarge, f};
        }
        if (rest.starts_with(": tiene una línea de más de 32764 caracteres")) {
            return model::RefusalOf{model::Refusal::LineTooLong, f};
        }
        if (rest.starts_with(" con " + other + ": " + other + " tiene más líneas") &&
            rest.find(quote(f) + " pasa de 32766 caracteres") != std::string::npos) {
            return model::RefusalOf{model::Refusal::TooLargeWith, f};
        }
    }
    return std::nullopt;
}

void checkRefusal(const FilePair& files, const model::Outcome& expected,
                  const std::string& message) {
    if (expected.refusals.empty()) {
        std::fprintf(stderr, "\n    engine: %s\n", message.c_str());
        mismatch(files, "engine: OverflowError, model: success");
    }
    const std::optional<model::RefusalOf> given = refusalIn(message);
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
        expectFileError([&] { parvane::LargeComparison::run(file1, file2); }, "LargeComparison");
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const FilePair files = splitInput(data, size);
    const Scratch& paths = scratch();
    writeFile(paths.files[0], files.bytes[0]);
    writeFile(paths.files[1], files.bytes[1]);

    const model::Outcome expected = model::compare(files);

    std::optional<parvane::Comparison> actual;
    try {
        actual = parvane::compareFiles(paths.files[0], paths.files[1]);
    } catch (const parvane::OverflowError& error) {
        checkRefusal(files, expected, error.what());
        checkFileErrors(files);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "\n    unexpected error: %s\n", error.what());
        mismatch(files, "engine threw something other than OverflowError");
    }
    if (!expected.refusals.empty()) {
        mismatch(files, "engine: success, model: OverflowError");
    }
    checkText(files, 0, actual->displayText1, expected.display[0]);
    checkText(files, 1, actual->displayText2, expected.display[1]);
    checkList(files, 0, actual->differences1, expected.differences[0]);
    checkList(files, 1, actual->differences2, expected.differences[1]);
    checkLargeComparison(files, *actual);
    checkFileErrors(files);
    return 0;
}
