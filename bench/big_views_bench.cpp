// Speed and memory of the views of a comparison without limits: `make bench-big-views` builds
// and runs it (on the offscreen platform).
//
// It writes two files of N lines of 99 characters (default 10 million, about 1 GB each; one line
// in a hundred differs in one character; `big_views_bench N` for another N) to a temporary
// folder, compares them with FileComparison::run() and shows them in a real main window. It
// measures, painting both views offscreen after each step:
//   - from the end of the pass to both views filled and painted (and, for reference, the whole
//     command beside a pass alone);
//   - the marks of the differences on both vertical bars, worked out anew (the window a pixel
//     taller or shorter each time, so that the bars' grooves change) and painted (median and
//     worst);
//   - Ctrl+End and Ctrl+Home in turn, and the bar dragged to random places (median);
//   - Alt+Down from the first difference to the next, and along the following ones (median);
//   - Alt+Right and Alt+Left along the runs of differing characters, note of the move included
//     (median and worst);
//   - RssAnon of the process at the end;
//   - for reference, Ctrl+A and Ctrl+C of the whole of file 1, when it is small enough to copy;
// and prints each figure beside its target. The files are removed at the end. Always exits 0
// unless the files cannot be made.

#include "bench/large_pair.h"
#include "bench/silent_window_parts.h"
#include "comparison/file_comparison.h"
#include "comparison/record_layout.h"
#include "main_window/comparison_views.h"
#include "main_window/diff_view.h"
#include "main_window/difference_marks.h"
#include "main_window/main_window.h"
#include "main_window/reading_aids.h"
#include "main_window/selection_copy.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QKeyEvent>
#include <QScrollBar>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kDefaultLines = 10'000'000;
constexpr double kShowTargetMs = 100.0;
constexpr double kFrameTargetMs = 16.0;
constexpr double kMemoryTargetMB = 150.0;
constexpr int kRepetitions = 51;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

const char* verdict(bool met) { return met ? "PASS" : "FAIL"; }

long statusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::stol(line.substr(field.size() + 1));
        }
    }
    return -1;
}

struct Views {
    DiffView* view1;
    DiffView* view2;
    void paint() const {
        view1->viewport()->repaint();
        view2->viewport()->repaint();
    }
};

void press(DiffView* view, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent down(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(view, &down);
    QKeyEvent up(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(view, &up);
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::uint64_t lines = argc > 1 ? std::stoull(argv[1]) : kDefaultLines;
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));

    const fs::path folder =
        fs::temp_directory_path() / ("parvane-big-views-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path path1 = folder / "a.txt";
    const fs::path path2 = folder / "b.txt";
    try {
        std::printf("Writing two files of %llu lines of 99 characters in %s...\n",
                    static_cast<unsigned long long>(lines), folder.c_str());
        std::fflush(stdout);
        bench::writeLargePair(path1, path2, lines);
        bench::readOnce(path1);
        bench::readOnce(path2);

        int warnings = 0;
        MainWindow window(std::make_unique<NoFileDialog>(),
                          std::make_unique<SilentMessages>(warnings, true));
        window.show();
        QApplication::processEvents();
        auto* big = window.findChild<ComparisonViews*>();
        const Views views{window.findChild<DiffView*>(QStringLiteral("RTB1")),
                          window.findChild<DiffView*>(QStringLiteral("RTB2"))};

        auto start = Clock::now();
        parvane::FileComparison comparison =
            parvane::FileComparison::run(path1, path2, {true, {}, {}});
        const double passMs = msSince(start);
        start = Clock::now();
        big->show(std::move(comparison));
        views.paint();
        const double shownMs = msSince(start);
        std::printf("pass: %.2f s (for reference)\n", passMs / 1000);
        std::printf("end of the pass to both views painted: %.2f ms (target < %.0f ms) %s\n",
                    shownMs, kShowTargetMs, verdict(shownMs < kShowTargetMs));

        std::vector<double> paints;
        for (int i = 0; i < kRepetitions; ++i) {
            start = Clock::now();
            views.paint();
            paints.push_back(msSince(start));
        }
        std::printf("(floor: painting both views again, unchanged: median %.2f ms)\n",
                    median(paints));

        // The bars with their marks, each paint working the marks out again for a new groove.
        // Each bar is drawn alone, as the rest of the window waits to be drawn after the resize.
        std::vector<double> marks;
        for (int i = 0; i < kRepetitions; ++i) {
            window.resize(window.width(), window.height() + (i % 2 == 0 ? 1 : -1));
            start = Clock::now();
            for (int view : {1, 2}) {
                QScrollBar* bar = big->verticalBar(view);
                QImage drawn(bar->size(), QImage::Format_ARGB32_Premultiplied);
                bar->render(&drawn);
            }
            marks.push_back(msSince(start));
        }
        QApplication::processEvents();
        const double marksMs = median(marks);
        const double marksWorst = *std::max_element(marks.begin(), marks.end());
        std::printf("marks on both vertical bars (%zu marked rows each), worked out anew and "
                    "painted: median %.2f ms, worst %.2f ms (target < %.0f ms) %s\n",
                    big->differenceMarks(1)->markedRows().size(), marksMs, marksWorst,
                    kFrameTargetMs, verdict(marksWorst < kFrameTargetMs));

        std::vector<double> edges;
        for (int i = 0; i < kRepetitions; ++i) {
            start = Clock::now();
            press(views.view1, i % 2 == 0 ? Qt::Key_End : Qt::Key_Home, Qt::ControlModifier);
            QApplication::processEvents();
            views.paint();
            edges.push_back(msSince(start));
        }
        const double edgeMs = median(edges);
        std::printf("Ctrl+End / Ctrl+Home to both views painted: median %.2f ms, worst %.2f ms "
                    "(target median < %.0f ms) %s\n",
                    edgeMs, *std::max_element(edges.begin(), edges.end()), kFrameTargetMs,
                    verdict(edgeMs < kFrameTargetMs));

        std::mt19937_64 random(12345);
        QScrollBar* bar = big->verticalBar(1);
        std::vector<double> drags;
        for (int i = 0; i < kRepetitions; ++i) {
            const int to = int(random() % std::uint64_t(bar->maximum() + 1));
            start = Clock::now();
            bar->setValue(to);
            views.paint();
            drags.push_back(msSince(start));
        }
        const double dragMs = median(drags);
        std::printf("bar dragged to a random place, both views painted: median %.2f ms, worst "
                    "%.2f ms (target median < %.0f ms) %s\n",
                    dragMs, *std::max_element(drags.begin(), drags.end()), kFrameTargetMs,
                    verdict(dragMs < kFrameTargetMs));

        // Both carets to the start, as Alt+Down starts from the further one.
        press(views.view1, Qt::Key_Home, Qt::ControlModifier);
        press(views.view2, Qt::Key_Home, Qt::ControlModifier);
        QApplication::processEvents();
        big->goToNextDifference(); // to the first difference
        views.paint();
        const std::uint64_t firstDifference = big->caretLine();
        start = Clock::now();
        big->goToNextDifference();
        views.paint();
        const double nextMs = msSince(start);
        const std::uint64_t secondDifference = big->caretLine();
        std::vector<double> nexts;
        for (int i = 0; i < kRepetitions; ++i) {
            start = Clock::now();
            big->goToNextDifference();
            QApplication::processEvents();
            views.paint();
            nexts.push_back(msSince(start));
        }
        std::printf("Alt+Down from the first difference (line %llu) to the next (line %llu): "
                    "%.2f ms, then median %.2f ms over %d more (target < %.0f ms) %s\n",
                    static_cast<unsigned long long>(firstDifference + 1),
                    static_cast<unsigned long long>(secondDifference + 1), nextMs, median(nexts),
                    kRepetitions, kFrameTargetMs,
                    verdict(nextMs < kFrameTargetMs && median(nexts) < kFrameTargetMs));

        // Alt+Right and Alt+Left as the keys do them, through the reading aids, with their note:
        // each finds the run in the whole files and moves the window to it.
        auto* aids = window.findChild<ReadingAids*>();
        std::vector<double> runs;
        for (int i = 0; i < kRepetitions; ++i) {
            start = Clock::now();
            aids->goToNextRun();
            QApplication::processEvents();
            views.paint();
            runs.push_back(msSince(start));
        }
        const std::uint64_t runLine = big->caretLine();
        std::vector<double> backs;
        for (int i = 0; i < kRepetitions; ++i) {
            start = Clock::now();
            aids->goToPreviousRun();
            QApplication::processEvents();
            views.paint();
            backs.push_back(msSince(start));
        }
        const double runMs = median(runs);
        const double backMs = median(backs);
        const double runWorst = std::max(*std::max_element(runs.begin(), runs.end()),
                                         *std::max_element(backs.begin(), backs.end()));
        std::printf("Alt+Right along %d runs (to line %llu), note included: median %.2f ms; "
                    "Alt+Left back: median %.2f ms; worst of both %.2f ms (target < %.0f ms) %s\n",
                    kRepetitions, static_cast<unsigned long long>(runLine + 1), runMs, backMs,
                    runWorst, kFrameTargetMs, verdict(runWorst < kFrameTargetMs));

        // A character's tip at the caret, without a record layout and with one of 20 fields:
        // with fields it reads the line's record and the field's values from the files.
        const auto tipMs = [&] {
            std::vector<double> tips;
            for (int i = 0; i < kRepetitions; ++i) {
                start = Clock::now();
                const QString tip = aids->cellTip(views.view1, {i % 10, 45});
                tips.push_back(msSince(start));
                if (tip.isEmpty()) {
                    std::printf("the tip is empty\n");
                }
            }
            return median(tips);
        };
        const double plainTipMs = tipMs();
        std::string layout = "campos 1\n";
        for (int field = 0; field < 19; ++field) {
            layout +=
                "CAMPO" + std::to_string(field) + " " + std::to_string(field * 5 + 1) + " 5\n";
        }
        aids->setLayout(parvane::RecordLayout::parse(layout + "RESTO 96 *\n", "«veinte.campos»"));
        const double fieldTipMs = tipMs();
        aids->setLayout(std::nullopt);
        std::printf("a character's tip: median %.2f ms without a layout, %.2f ms with 20 fields "
                    "(target: both within a frame, < %.0f ms) %s\n",
                    plainTipMs, fieldTipMs, kFrameTargetMs,
                    verdict(plainTipMs < kFrameTargetMs && fieldTipMs < kFrameTargetMs));

        // The whole command, through the pass's thread and its progress dialog: what it takes
        // beyond a pass alone is what the window adds after the pass.
        start = Clock::now();
        parvane::FileComparison::run(path1, path2, {true, {}, {}});
        const double aloneMs = msSince(start);
        start = Clock::now();
        big->compareUnlimited(path1, path2);
        views.paint();
        const double commandMs = msSince(start);
        std::printf("whole command \"Comparar sin límite\", pass included: %.0f ms, a pass alone "
                    "%.0f ms (for reference: the difference, within a pass's own spread, is what "
                    "the thread and the dialog add)\n",
                    commandMs, aloneMs);

        const double anonMB = double(statusKb("RssAnon")) / 1024;
        std::printf("RssAnon at the end: %.1f MB (target < %.0f MB) %s\n", anonMB, kMemoryTargetMB,
                    verdict(anonMB >= 0 && anonMB < kMemoryTargetMB));
        std::printf("check: lines %llu, differing lines %llu (expected %llu), no error message: "
                    "%s\n",
                    static_cast<unsigned long long>(big->comparison()->pairCount()),
                    static_cast<unsigned long long>(big->comparison()->differingLineCount()),
                    static_cast<unsigned long long>((lines + 62) / 100),
                    warnings == 0 ? "yes" : "NO");

        // Last, as the clipboard then holds the text: the whole of file 1 copied, when it is
        // within what is copied at once (a larger one is refused).
        const std::uint64_t bytes = fs::file_size(path1);
        if (bytes <= SelectionCopy::kMostBytes) {
            press(views.view1, Qt::Key_A, Qt::ControlModifier);
            start = Clock::now();
            press(views.view1, Qt::Key_C, Qt::ControlModifier);
            const double copyMs = msSince(start);
            const bool copied = QApplication::clipboard()->text().size() > 0 && warnings == 0;
            std::printf("Ctrl+A, Ctrl+C of file 1 (%.0f MB): %.2f s, copied: %s (for reference)\n",
                        double(bytes) / (1 << 20), copyMs / 1000, copied ? "yes" : "NO");
        } else {
            std::printf("Ctrl+A, Ctrl+C of file 1: not measured, its %.0f MB are refused as past "
                        "the %llu MB copied at once\n",
                        double(bytes) / (1 << 20),
                        static_cast<unsigned long long>(SelectionCopy::kMostBytes >> 20));
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "big_views_bench: %s\n", error.what());
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return 0;
}
