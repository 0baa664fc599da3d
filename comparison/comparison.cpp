#include "comparison/comparison.h"

#include "comparison/file_comparison.h"
#include "comparison/text_decoding.h"

#include <array>

namespace parvane {

Comparison compareFiles(const std::filesystem::path& file1, const std::filesystem::path& file2) {
    const FileComparison comparison = FileComparison::run(file1, file2);
    Comparison result;
    result.traits1 = comparison.traits(1);
    result.traits2 = comparison.traits(2);
    const std::array<std::string*, 2> texts{&result.displayText1, &result.displayText2};
    const std::array<std::vector<std::int16_t>*, 2> lists{&result.differences1,
                                                          &result.differences2};
    // The display limits keep every position within 16 bits.
    std::array<int, 2> lineStart{1, 1};
    for (const LinePairSlice& pair : comparison.linePairs(0, comparison.pairCount())) {
        const std::array<const std::u32string*, 2> lines{&pair.text1, &pair.text2};
        const std::array<const std::vector<ColumnRun>*, 2> runs{&pair.runs1, &pair.runs2};
        for (int f = 0; f < 2; ++f) {
            if (f == 0 ? pair.has1 : pair.has2) {
                appendUtf8(*texts[f], *lines[f]);
                *texts[f] += "\r\n";
            }
            for (const ColumnRun& run : *runs[f]) {
                for (std::uint64_t column = run.first; column <= run.last; ++column) {
                    lists[f]->push_back(std::int16_t(lineStart[f] + int(column)));
                }
            }
            lineStart[f] += int(lines[f]->size()) + 2;
        }
    }
    return result;
}

} // namespace parvane
