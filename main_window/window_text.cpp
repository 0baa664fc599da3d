#include "main_window/window_text.h"

WindowText WindowText::of(const std::vector<parvane::LinePairSlice>& slices, int file) {
    WindowText window;
    int offset = 0;
    for (const parvane::LinePairSlice& slice : slices) {
        if (!(file == 1 ? slice.has1 : slice.has2)) {
            continue;
        }
        const std::u32string& characters = file == 1 ? slice.text1 : slice.text2;
        window.lineStarts.push_back(offset);
        window.lineLengths.push_back(file == 1 ? slice.length1 : slice.length2);
        window.text += QString::fromUcs4(characters.data(), qsizetype(characters.size()));
        window.text += QStringLiteral("\r\n");
        const auto add = [&](const std::vector<parvane::ColumnRun>& runs,
                             std::vector<OffsetRun>& to) {
            for (const parvane::ColumnRun& run : runs) {
                to.push_back({offset + int(run.first - slice.firstColumn),
                              offset + int(run.last - slice.firstColumn)});
            }
        };
        add(file == 1 ? slice.runs1 : slice.runs2, window.red);
        add(file == 1 ? slice.leftOut1 : slice.leftOut2, window.leftOut);
        offset += int(characters.size()) + 2;
    }
    window.lineStarts.push_back(offset);
    return window;
}
