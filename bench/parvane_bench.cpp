// Speed and memory of a comparison at the size limit.
//
// The inputs are generated in a temporary folder: two files of 600 lines of 52 characters, which
// fill the 16-bit positions almost to the top (600 × (52 + 2) + 1 = 32401 <= 32767). The worst case
// differs in every character; the second case differs in only 300 characters spread over the lines.
// One run measures:
//   (a) the engine alone, compareFiles() on the worst case;
//   (b) the whole "Comparar" command through the real main window on the worst case: both path
//       boxes set, CmdEjecutar clicked, both views filled, coloured and painted offscreen; against
//       the floor, the same two display texts put into the two views without colouring and painted
//       the same way, measured in the same loop (interleaved, alternating which goes first);
//   (c) the same as (b) with 300 differences;
//   (d) the peak memory of the process (VmHWM) at the end;
//   (e) comparing a sparse file of 1 GB, which must be refused at once (OverflowError) without
//       being read whole: the time it takes and how far the peak memory grows meanwhile.
// Every timing of (a) to (c) is the median of its repetitions; every figure is printed with its
// target and PASS or FAIL.
// The benchmark reports; it does not gate: the exit code is 0 unless the run itself went wrong.

#include "bench/silent_window_parts.h"
#include "comparison/comparison.h"
#include "main_window/diff_view.h"
#include "main_window/main_window.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kLines = 600;
constexpr int kColumns = 52;
constexpr int kFewDifferences = 300;
static_assert(kLines * (kColumns + 2) + 1 <= 32767, "the inputs must fit the 16-bit positions");

constexpr int kEngineRepetitions = 201;
constexpr int kWindowRepetitions = 31;
constexpr int kWarmUps = 3;

constexpr double kEngineTargetMs = 2.0;
constexpr double kRatioTarget = 1.5;
constexpr double kMemoryTargetMB = 60.0; // 10^6 bytes
constexpr double kHugeFileTargetMs = 100.0;

// Counts the paint events a widget receives, to make sure each measurement really painted.
class PaintCounter : public QObject {
public:
    using QObject::QObject;
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++count;
        }
        return false;
    }
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double elapsedMs(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double cpuMs(const timeval& from, const timeval& to) {
    return double(to.tv_sec - from.tv_sec) * 1e3 + double(to.tv_usec - from.tv_usec) / 1e3;
}

const char* verdict(bool met) { return met ? "PASS" : "FAIL"; }

// Line `line` of the first file: letters that shift by one from line to line.
std::string firstFileLine(int line) {
    std::string text(kColumns, ' ');
    for (int column = 0; column < kColumns; ++column) {
        text[std::size_t(column)] = char('a' + (line + column) % 26);
    }
    return text;
}

void writeFile(const fs::path& path, const std::vector<std::string>& lines) {
    std::ofstream out(path, std::ios::binary);
    for (const std::string& line : lines) {
        out << line << '\n';
    }
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

struct Case {
    const char* name;
    fs::path file1, file2;
    std::size_t expectedDifferences; // in each list
    QString display1, display2;      // the engine's display texts, for the floor
};

// Writes the two cases into `folder`: every character different, and 300 characters different.
std::vector<Case> makeCases(const fs::path& folder) {
    std::vector<std::string> base, allDifferent, fewDifferent;
    for (int line = 0; line < kLines; ++line) {
        base.push_back(firstFileLine(line));
        std::string upper = base.back();
        for (char& c : upper) {
            c = char(c - 'a' + 'A');
        }
        allDifferent.push_back(upper);
        fewDifferent.push_back(base.back());
    }
    // One difference on every second line, in a column that wanders over the whole width.
    for (int k = 0; k < kFewDifferences; ++k) {
        const int line = 2 * k;
        const int column = (k * 7) % kColumns;
        char& c = fewDifferent[std::size_t(line)][std::size_t(column)];
        c = char(c - 'a' + 'A');
    }
    writeFile(folder / "base.txt", base);
    writeFile(folder / "all_different.txt", allDifferent);
    writeFile(folder / "few_different.txt", fewDifferent);
    return {
        {"every character different",
         folder / "base.txt",
         folder / "all_different.txt",
         std::size_t(kLines) * kColumns,
         {},
         {}},
        {"300 differences",
         folder / "base.txt",
         folder / "few_different.txt",
         std::size_t(kFewDifferences),
         {},
         {}},
    };
}

// Checks the engine's answer for a case and keeps its display texts.
bool prepare(Case& c) {
    const parvane::Comparison result = parvane::compareFiles(c.file1, c.file2);
    const std::size_t textSize = std::size_t(kLines) * (kColumns + 2);
    const bool right = result.displayText1.size() == textSize &&
                       result.displayText2.size() == textSize &&
                       result.differences1.size() == c.expectedDifferences &&
                       result.differences2.size() == c.expectedDifferences;
    if (!right) {
        std::fprintf(
            stderr, "%s: unexpected comparison (text sizes %zu and %zu, differences %zu and %zu)\n",
            c.name, result.displayText1.size(), result.displayText2.size(),
            result.differences1.size(), result.differences2.size());
    }
    c.display1 = QString::fromStdString(result.displayText1);
    c.display2 = QString::fromStdString(result.displayText2);
    return right;
}

// How many characters are coloured wrongly: those at `positions` (1-based text positions) must
// be drawn in `colour`, every other character in the view's own colour.
std::size_t wronglyColoured(const DiffView& view, const std::vector<std::int16_t>& positions,
                            const QColor& colour) {
    const QTextDocument* document = view.document();
    std::vector<char> expected(std::size_t(document->characterCount()), 0);
    for (std::int16_t position : positions) {
        expected[std::size_t(view.documentPosition(position - 1))] = 1;
    }
    std::vector<char> actual(expected.size(), 0);
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
            if (!range.format.hasProperty(QTextFormat::ForegroundBrush)) {
                continue;
            }
            const char mark = range.format.foreground().color() == colour ? 1 : 2;
            for (int i = 0; i < range.length; ++i) {
                actual[std::size_t(block.position() + range.start + i)] = mark;
            }
        }
    }
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < actual.size(); ++i) {
        wrong += actual[i] != expected[i];
    }
    return wrong;
}

// A memory figure of /proc/self/status ("VmHWM:", "VmRSS:") in MB, or -1.
double statusMemoryMB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::stod(line.substr(field.size())) * 1024.0 / 1e6; // the kernel counts in KiB
        }
    }
    return -1;
}

double peakMemoryMB() { return statusMemoryMB("VmHWM:"); }

// Lowers the peak (VmHWM) to the present resident size, so that the next peak belongs to what
// runs next; false when the kernel refuses.
bool resetPeakMemory() {
    std::ofstream clearRefs("/proc/self/clear_refs");
    clearRefs << "5";
    clearRefs.flush();
    return bool(clearRefs);
}

struct HugeFileFigures {
    double ms = 0;          // the time compareFiles() took to refuse the file
    double peakMB = -1;     // the peak memory (VmHWM) of the process during the comparison
    double growthMB = -1;   // how far that peak rose above the memory in use before
    bool refused = false;   // refused with OverflowError, as it must be
    bool peakReset = false; // the peak could be lowered first, so the growth is the comparison's
};

// (e) Compares a sparse file of 1 GB (no room on disk) with a small file.
HugeFileFigures measureHugeFile(const fs::path& folder, const fs::path& small) {
    const fs::path huge = folder / "un_giga.bin";
    std::ofstream(huge, std::ios::binary).close();
    fs::resize_file(huge, std::uintmax_t{1} << 30);
    HugeFileFigures figures;
    figures.peakReset = resetPeakMemory();
    const double inUseMB = figures.peakReset ? statusMemoryMB("VmRSS:") : peakMemoryMB();
    const Clock::time_point start = Clock::now();
    try {
        parvane::compareFiles(huge, small);
    } catch (const parvane::OverflowError&) {
        figures.refused = true;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "1 GB file: unexpected error: %s\n", error.what());
    }
    figures.ms = elapsedMs(start);
    figures.peakMB = peakMemoryMB();
    figures.growthMB = figures.peakMB - inUseMB;
    fs::remove(huge);
    return figures;
}

struct Window {
    int warnings = 0;
    MainWindow window{std::make_unique<NoFileDialog>(),
                      std::make_unique<SilentMessages>(warnings, false)};
    QLineEdit* path1 = window.findChild<QLineEdit*>(QStringLiteral("TxtFichero1"));
    QLineEdit* path2 = window.findChild<QLineEdit*>(QStringLiteral("TxtFichero2"));
    QPushButton* compare = window.findChild<QPushButton*>(QStringLiteral("CmdEjecutar"));
    DiffView* view1 = window.findChild<DiffView*>(QStringLiteral("RTB1"));
    DiffView* view2 = window.findChild<DiffView*>(QStringLiteral("RTB2"));
    PaintCounter paints1, paints2;

    bool complete() const { return path1 && path2 && compare && view1 && view2; }

    void watchPaints() {
        view1->viewport()->installEventFilter(&paints1);
        view2->viewport()->installEventFilter(&paints2);
    }

    // Delivers what the changes posted and paints both views now.
    void paintViews() {
        QCoreApplication::processEvents();
        view1->viewport()->repaint();
        view2->viewport()->repaint();
    }

    // Back to empty views, outside the measurements, so that every measured step starts as in a
    // fresh window: the caret at the start with the plain character format. (The caret's format
    // matters: QPlainTextEdit::setPlainText() gives the whole new text the format of the
    // character before the caret, which the previous comparison may have coloured.)
    void reset() {
        path1->clear();
        path2->clear();
        for (DiffView* view : {view1, view2}) {
            view->setDisplayText(QString());
            QTextCursor start(view->document());
            start.setCharFormat(QTextCharFormat());
            view->setTextCursor(start);
        }
        paintViews();
    }
};

struct WindowFigures {
    double commandMs = 0, floorMs = 0;
    bool painted = true;
};

// Measures the command and its floor for `c`, interleaved, alternating which goes first.
WindowFigures measureWindow(Window& w, const Case& c) {
    const QString path1 = QFile::decodeName(c.file1.c_str());
    const QString path2 = QFile::decodeName(c.file2.c_str());
    WindowFigures figures;

    const auto paintedBoth = [&](const std::function<void()>& step) {
        const int before1 = w.paints1.count, before2 = w.paints2.count;
        step();
        return w.paints1.count > before1 && w.paints2.count > before2;
    };
    const auto command = [&] {
        w.path1->setText(path1);
        w.path2->setText(path2);
        w.compare->click();
        w.paintViews();
    };
    const auto floor = [&] {
        w.view1->setDisplayText(c.display1);
        w.view2->setDisplayText(c.display2);
        w.paintViews();
    };
    const auto timed = [&](const std::function<void()>& step, std::vector<double>* times) {
        w.reset();
        const Clock::time_point start = Clock::now();
        const bool painted = paintedBoth(step);
        const double ms = elapsedMs(start);
        if (times) {
            times->push_back(ms);
            figures.painted = figures.painted && painted;
        }
    };

    std::vector<double> commandTimes, floorTimes;
    for (int i = 0; i < kWarmUps + kWindowRepetitions; ++i) {
        const bool warmUp = i < kWarmUps;
        if (i % 2 == 0) {
            timed(floor, warmUp ? nullptr : &floorTimes);
            timed(command, warmUp ? nullptr : &commandTimes);
        } else {
            timed(command, warmUp ? nullptr : &commandTimes);
            timed(floor, warmUp ? nullptr : &floorTimes);
        }
    }
    figures.commandMs = median(commandTimes);
    figures.floorMs = median(floorTimes);
    return figures;
}

// Runs the command once more on `c`, in fresh views or right after the previous comparison as a
// user would, and returns how many characters of both views are coloured wrongly (the views must
// also show the engine's texts; a wrong text counts as one).
std::size_t wronglyColouredAfterCommand(Window& w, const Case& c, bool freshViews) {
    if (freshViews) {
        w.reset();
    }
    w.path1->setText(QFile::decodeName(c.file1.c_str()));
    w.path2->setText(QFile::decodeName(c.file2.c_str()));
    w.compare->click();
    w.paintViews();
    const parvane::Comparison result = parvane::compareFiles(c.file1, c.file2);
    const QColor red = MainWindow::highlightColour();
    return std::size_t(red != QColor(192, 0, 0)) +
           std::size_t(w.view1->displayText() != c.display1) +
           std::size_t(w.view2->displayText() != c.display2) +
           wronglyColoured(*w.view1, result.differences1, red) +
           wronglyColoured(*w.view2, result.differences2, red);
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));

    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    std::vector<Case> cases = makeCases(fs::path(folder.path().toStdString()));
    Case& worst = cases[0];
    Case& few = cases[1];
    bool runRight = true;
    for (Case& c : cases) {
        runRight = prepare(c) && runRight;
    }

    std::printf("Parvane benchmark: %d lines x %d characters (text of %d positions), platform %s, "
                "style %s\n",
                kLines, kColumns, kLines * (kColumns + 2), qPrintable(QApplication::platformName()),
                qPrintable(QApplication::style()->name()));
    std::printf(
        "Medians of %d repetitions (engine) and %d repetitions (window), after %d warm-ups\n",
        kEngineRepetitions, kWindowRepetitions, kWarmUps);

    // (a) The engine alone.
    std::vector<double> engineTimes;
    rusage usageBefore{};
    for (int i = 0; i < kWarmUps + kEngineRepetitions; ++i) {
        if (i == kWarmUps) {
            getrusage(RUSAGE_SELF, &usageBefore);
        }
        const Clock::time_point start = Clock::now();
        const parvane::Comparison result = parvane::compareFiles(worst.file1, worst.file2);
        const double ms = elapsedMs(start);
        if (i >= kWarmUps) {
            engineTimes.push_back(ms);
        }
        runRight = runRight && result.differences1.size() == worst.expectedDifferences;
    }
    rusage usageAfter{};
    getrusage(RUSAGE_SELF, &usageAfter);
    const double engineMs = median(engineTimes);
    std::printf("(a) engine, %s: %.3f ms (target < %.1f ms) %s\n", worst.name, engineMs,
                kEngineTargetMs, verdict(engineMs < kEngineTargetMs));
    // Where the engine's time goes: its own work (user) or the kernel's (system), mostly the
    // page faults of memory the allocator gave back and takes again on every call.
    std::printf("    per call on average: user CPU %.3f ms, system CPU %.3f ms, %.1f minor page "
                "faults\n",
                cpuMs(usageBefore.ru_utime, usageAfter.ru_utime) / kEngineRepetitions,
                cpuMs(usageBefore.ru_stime, usageAfter.ru_stime) / kEngineRepetitions,
                double(usageAfter.ru_minflt - usageBefore.ru_minflt) / kEngineRepetitions);
    std::fflush(stdout);

    // (b) and (c) The whole command through the real window, against its floor.
    Window w;
    if (!w.complete()) {
        std::fprintf(stderr, "the main window lacks a control the benchmark drives\n");
        return 1;
    }
    w.window.show();
    QCoreApplication::processEvents();
    w.watchPaints();

    const char labels[] = {'b', 'c'};
    bool painted = true;
    for (std::size_t k = 0; k < cases.size(); ++k) {
        const Case& c = cases[k];
        const WindowFigures figures = measureWindow(w, c);
        painted = painted && figures.painted;
        const double ratio = figures.commandMs / figures.floorMs;
        std::printf("(%c) Compare command, %s: %.2f ms, floor %.2f ms, ratio %.2f "
                    "(target <= %.1f x floor) %s\n",
                    labels[k], c.name, figures.commandMs, figures.floorMs, ratio, kRatioTarget,
                    verdict(ratio <= kRatioTarget));
        std::fflush(stdout);
    }

    // Colours: each case in fresh views, then the two cases one after the other in one window.
    const std::size_t wrongFresh =
        wronglyColouredAfterCommand(w, worst, true) + wronglyColouredAfterCommand(w, few, true);
    wronglyColouredAfterCommand(w, worst, true);
    const std::size_t wrongSecond = wronglyColouredAfterCommand(w, few, false);

    // (d) Peak memory of the whole run.
    const double peakMB = peakMemoryMB();
    std::printf("(d) peak memory (VmHWM): %.1f MB (target < %.0f MB) %s\n", peakMB, kMemoryTargetMB,
                verdict(peakMB >= 0 && peakMB < kMemoryTargetMB));

    // (e) A sparse file of 1 GB, after everything else so that (d) is the run's own peak.
    const HugeFileFigures huge =
        measureHugeFile(fs::path(folder.path().toStdString()), worst.file1);
    const bool hugeMet = huge.refused && huge.peakMB >= 0 && huge.peakMB < kMemoryTargetMB &&
                         huge.ms < kHugeFileTargetMs;
    std::printf("(e) peak memory comparing a 1 GB sparse file: VmHWM %.1f MB, grew %.1f MB%s, "
                "%s in %.2f ms (target < %.0f MB, refused in < %.0f ms) %s\n",
                huge.peakMB, huge.growthMB, huge.peakReset ? "" : " over the earlier peak",
                huge.refused ? "refused" : "NOT refused", huge.ms, kMemoryTargetMB,
                kHugeFileTargetMs, verdict(hugeMet));

    runRight = runRight && w.warnings == 0;
    std::printf("check: inputs compared as expected, no error message: %s\n",
                runRight ? "yes" : "NO");
    std::printf("check: both views painted in every measurement: %s\n", painted ? "yes" : "NO");
    std::printf("check: exactly the listed characters coloured RGB(192,0,0), fresh views: %s "
                "(%zu characters wrong)\n",
                wrongFresh == 0 ? "yes" : "NO", wrongFresh);
    std::printf("check: exactly the listed characters coloured RGB(192,0,0), %s right after %s in "
                "the same window: %s (%zu characters wrong)\n",
                few.name, worst.name, wrongSecond == 0 ? "yes" : "NO", wrongSecond);
    return 0;
}
