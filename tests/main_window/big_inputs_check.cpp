// Bad inputs of any size, compared without limits in the real main window (offscreen), as
// `parvane --sin-limite A B` does: `make test-big` runs it (CTest label `big`, left out of
// `make test` for the time its files take).
//
// Each input is made at run time in a temporary folder (sparse where it is mostly zeros), then
// compared, and the views are scrolled and moved over the whole files. For each it measures the
// longest the event loop stood still (a 5 ms timer records the gaps between its ticks, less any
// time the machine itself stood still, which a real-time thread notes where it may), the
// highest anonymous resident memory seen (RssAnon) and the outcome (message, decoding, views),
// and prints each figure beside its target. Inputs already covered elsewhere at small sizes
// (/dev/zero, FIFO, files changed after or during the pass) are taken here at full size or
// through this path. Exits 1 when any check fails, 0 otherwise; the files are removed.

#include "comparison/comparison.h"
#include "comparison/file_comparison.h"
#include "main_window/comparison_views.h"
#include "main_window/diff_view.h"
#include "main_window/file_dialog.h"
#include "main_window/main_window.h"
#include "main_window/message_boxes.h"
#include "main_window/reading_aids.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <pthread.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr double kStallTargetMs = 100.0;
constexpr double kMemoryTargetMB = 150.0;
constexpr std::uint64_t kGigabyte = 1'000'000'000;
constexpr std::uint64_t kHundredMegabytes = 100'000'000;

long rssAnonKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("RssAnon:", 0) == 0) {
            return std::stol(line.substr(8));
        }
    }
    return -1;
}

using SteadyClock = std::chrono::steady_clock;

double msSince(SteadyClock::time_point origin) {
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - origin).count();
}

// Notes when the machine itself stood still: on each core a thread of real-time priority, which
// nothing of this process can keep from it, wakes every millisecond and records each wake-up that
// came more than 5 ms late (a virtual machine's core that its host let sleep on, say). Without
// the right to that priority it records nothing and says so.
class MachineWatch {
public:
    explicit MachineWatch(SteadyClock::time_point origin) : origin_(origin) {
        const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1U, 8U);
        prioritised_ = true;
        for (unsigned core = 0; core < cores; ++core) {
            threads_.emplace_back([this] { watch(); });
            cpu_set_t set;
            CPU_ZERO(&set);
            CPU_SET(core, &set);
            sched_param param{};
            param.sched_priority = 1;
            prioritised_ =
                prioritised_ &&
                pthread_setaffinity_np(threads_.back().native_handle(), sizeof set, &set) == 0 &&
                pthread_setschedparam(threads_.back().native_handle(), SCHED_FIFO, &param) == 0;
        }
    }
    ~MachineWatch() {
        stop_ = true;
        for (std::thread& thread : threads_) {
            thread.join();
        }
    }
    bool prioritised() const { return prioritised_; }
    // How long of [from, to] (ms after the origin) some core stood still.
    double stillMs(double from, double to) {
        std::vector<std::pair<double, double>> within;
        {
            const std::lock_guard lock(mutex_);
            for (const auto& [begin, end] : still_) {
                if (end > from && begin < to) {
                    within.emplace_back(std::max(begin, from), std::min(end, to));
                }
            }
        }
        std::sort(within.begin(), within.end());
        double still = 0, reached = from;
        for (const auto& [begin, end] : within) {
            still += std::max(0.0, end - std::max(begin, reached));
            reached = std::max(reached, end);
        }
        return still;
    }

private:
    void watch() {
        double last = msSince(origin_);
        while (!stop_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const double now = msSince(origin_);
            if (prioritised_ && now - last > 6) {
                const std::lock_guard lock(mutex_);
                still_.emplace_back(last + 1, now);
            }
            last = now;
        }
    }

    SteadyClock::time_point origin_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> prioritised_{false};
    std::mutex mutex_;
    std::vector<std::pair<double, double>> still_;
    std::vector<std::thread> threads_;
};

// Records the longest gap between the ticks of a 5 ms timer, less the time the machine itself
// stood still meanwhile, and the highest RssAnon seen.
class StallWatch : public QObject {
public:
    StallWatch() {
        timer_.setInterval(5);
        timer_.setTimerType(Qt::PreciseTimer);
        connect(&timer_, &QTimer::timeout, this, &StallWatch::tick);
        timer_.start();
    }
    void reset() {
        last_ = msSince(origin_);
        worstMs_ = machineMs_ = 0;
        peakKb_ = rssAnonKb();
    }
    // Counts the time since the last tick too, for a stall still going on.
    double worstMs() { return std::max(worstMs_, ownShare(last_, msSince(origin_))); }
    // The longest time the machine stood still within one gap, left out of worstMs().
    double machineMs() const { return machineMs_; }
    bool watchesMachine() const { return machine_.prioritised(); }
    double peakMB() const { return double(std::max(peakKb_, rssAnonKb())) / 1024; }

private:
    double ownShare(double from, double to) {
        const double still = machine_.stillMs(from, to);
        machineMs_ = std::max(machineMs_, still);
        return to - from - still;
    }
    void tick() {
        const double now = msSince(origin_);
        worstMs_ = std::max(worstMs_, ownShare(last_, now));
        last_ = now;
        if (++ticks_ % 10 == 0) {
            peakKb_ = std::max(peakKb_, rssAnonKb());
        }
    }

    SteadyClock::time_point origin_ = SteadyClock::now();
    MachineWatch machine_{origin_};
    QTimer timer_;
    double last_ = 0;
    double worstMs_ = 0;
    double machineMs_ = 0;
    long peakKb_ = 0;
    int ticks_ = 0;
};

// Answers every message at once, takes the offer to compare without limits, and keeps the texts.
class KeptMessages : public MessageBoxes {
public:
    explicit KeptMessages(QStringList& texts) : texts_(texts) {}
    void inform(QWidget*, const QString& text) override { texts_ << text; }
    void warn(QWidget*, const QString& text) override { texts_ << text; }
    bool offerUnlimited(QWidget*, const QString& text) override {
        texts_ << text;
        return true;
    }

private:
    QStringList& texts_;
};

class NoFileDialog : public FileDialog {
protected:
    QString askForFile(QWidget*, const QString&) override { return {}; }
};

void pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Writes `size` bytes as lines of `line` (its last byte '\n') repeated, through a 1 MB buffer.
void writeLines(const fs::path& path, const std::string& line, std::uint64_t size,
                bool append = false) {
    std::ofstream out(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    if (size == 0 || line.empty()) {
        return;
    }
    std::string block;
    while (block.size() < (std::size_t{1} << 20)) {
        block += line;
    }
    for (std::uint64_t written = 0; written < size;) {
        const std::uint64_t n = std::min<std::uint64_t>(block.size(), size - written);
        out.write(block.data(), std::streamsize(n));
        written += n;
    }
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

// A file of `size` NUL bytes that takes no room, with `bytes` written at their offsets.
void writeSparse(const fs::path& path, std::uint64_t size,
                 const std::vector<std::pair<std::uint64_t, std::string>>& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    bool good = fd >= 0 && ::ftruncate(fd, off_t(size)) == 0;
    for (const auto& [offset, text] : bytes) {
        good =
            good && ::pwrite(fd, text.data(), text.size(), off_t(offset)) == ssize_t(text.size());
    }
    if (fd >= 0) {
        ::close(fd);
    }
    if (!good) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

struct Check {
    std::string name;
    bool failed = false;
    bool skipped = false;
};

class BigInputs {
public:
    BigInputs(const fs::path& folder)
        : folder_(folder),
          window_(std::make_unique<NoFileDialog>(), std::make_unique<KeptMessages>(messages_)) {
        window_.show();
        pump(50);
        big_ = window_.findChild<ComparisonViews*>();
        aids_ = window_.findChild<ReadingAids*>();
        view1_ = window_.findChild<DiffView*>(QStringLiteral("RTB1"));
        view2_ = window_.findChild<DiffView*>(QStringLiteral("RTB2"));
    }

    // Every input, or those whose step names are given.
    int run(const QStringList& only);

private:
    fs::path file(const char* name) const { return folder_ / name; }

    void begin(const std::string& name) {
        // The views first let go of the last input's files.
        window_.openFiles(file("vacio.txt"), file("vacio.txt"), true);
        pump(10);
        ::malloc_trim(0); // what the last input's comparison held goes back to the system
        checks_.push_back({name});
        std::printf("\n%s\n", name.c_str());
        std::fflush(stdout);
        messages_.clear();
        watch_.reset();
    }
    void expect(bool met, const std::string& what) {
        std::printf("  %s: %s\n", what.c_str(), met ? "PASS" : "FAIL");
        checks_.back().failed = checks_.back().failed || !met;
    }
    void skip(const std::string& reason) {
        std::printf("  skipped: %s\n", reason.c_str());
        checks_.back().skipped = true;
    }
    void note(const std::string& what) { std::printf("  %s\n", what.c_str()); }
    // The stall and memory figures since begin(), beside their targets.
    void figures() {
        const double stall = watch_.worstMs();
        const double memory = watch_.peakMB();
        char text[200];
        const std::string machine =
            !watch_.watchesMachine() ? "the machine's own stalls not measured"
            : watch_.machineMs() < 1 ? "the machine never stood still"
                                     : "left out: the machine stood still up to " +
                                           std::to_string(int(watch_.machineMs())) + " ms";
        std::snprintf(text, sizeof text,
                      "longest stall of the window %.0f ms (target < %.0f ms; %s)", stall,
                      kStallTargetMs, machine.c_str());
        expect(stall < kStallTargetMs, text);
        std::snprintf(text, sizeof text, "highest RssAnon %.1f MB (target < %.0f MB)", memory,
                      kMemoryTargetMB);
        expect(memory < kMemoryTargetMB, text);
    }
    // Compares through the command line's path and waits for the window to settle.
    void compare(const fs::path& path1, const fs::path& path2) {
        window_.openFiles(path1, path2, true);
        pump(30);
    }
    QString messages() const { return messages_.join(QStringLiteral(" | ")); }
    bool saidChanged(const fs::path& path) const {
        return messages_.size() == 1 && messages_.front().contains(QStringLiteral("ha cambiado")) &&
               messages_.front().contains(QString::fromStdString(path.string()));
    }
    // Scrolls and moves over the whole files as a user would, letting the window breathe after
    // each step.
    void exercise();
    void press(DiffView* view, Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QKeyEvent down(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(view, &down);
        QKeyEvent up(QEvent::KeyRelease, key, modifiers);
        QApplication::sendEvent(view, &up);
        pump(20);
    }

    void bigAgainstEmpty();
    void longSingleLines();
    void manyEmptyLines();
    void binaryWithoutLineBreaks();
    void notRegularFiles();
    void fullFilesystem();
    void invalidUtf8FarIn();
    void growingWhileCompared();
    void truncatedWhileShown();

    fs::path folder_;
    QStringList messages_;
    MainWindow window_;
    ComparisonViews* big_ = nullptr;
    ReadingAids* aids_ = nullptr;
    DiffView* view1_ = nullptr;
    DiffView* view2_ = nullptr;
    StallWatch watch_;
    std::vector<Check> checks_;
};

void BigInputs::exercise() {
    std::vector<std::pair<std::string, std::function<void()>>> steps;
    for (const int view : {1, 2}) {
        const std::string v = std::to_string(view);
        QScrollBar* bar = big_->verticalBar(view);
        QScrollBar* across = big_->horizontalBar(view);
        steps.push_back(
            {"bar " + v + " to the middle", [bar] { bar->setValue(bar->maximum() / 2); }});
        steps.push_back({"bar " + v + " to the end", [bar] { bar->setValue(bar->maximum()); }});
        steps.push_back({"bar " + v + " to the top", [bar] { bar->setValue(0); }});
        steps.push_back({"bar " + v + " across to the middle",
                         [across] { across->setValue(across->maximum() / 2); }});
        steps.push_back(
            {"bar " + v + " across to the end", [across] { across->setValue(across->maximum()); }});
        steps.push_back({"bar " + v + " back to the left", [across] { across->setValue(0); }});
    }
    steps.push_back({"Ctrl+End", [this] { press(view1_, Qt::Key_End, Qt::ControlModifier); }});
    steps.push_back({"Ctrl+Home", [this] { press(view1_, Qt::Key_Home, Qt::ControlModifier); }});
    steps.push_back({"Page Down", [this] { press(view1_, Qt::Key_PageDown, {}); }});
    steps.push_back({"Alt+End", [this] { aids_->goToLastDifference(); }});
    steps.push_back({"Alt+Home", [this] { aids_->goToFirstDifference(); }});
    steps.push_back({"Alt+Down", [this] { big_->goToNextDifference(); }});
    steps.push_back({"Alt+Right", [this] { aids_->goToNextRun(); }});
    steps.push_back({"Alt+Right again", [this] { aids_->goToNextRun(); }});
    steps.push_back({"Alt+Left", [this] { aids_->goToPreviousRun(); }});
    // The slowest steps are named, for a stall to be traced.
    std::vector<std::pair<qint64, std::string>> slow;
    for (const auto& [name, step] : steps) {
        QElapsedTimer clock;
        clock.start();
        step();
        slow.push_back({clock.elapsed(), name});
        pump(20);
    }
    std::sort(slow.rbegin(), slow.rend());
    std::string slowest = "slowest steps:";
    for (std::size_t i = 0; i < std::min<std::size_t>(3, slow.size()); ++i) {
        slowest += " " + slow[i].second + " " + std::to_string(slow[i].first) + " ms;";
    }
    note(slowest);
}

void BigInputs::bigAgainstEmpty() {
    const fs::path big = file("grande.txt");
    const fs::path empty = file("vacio.txt");
    writeLines(big, std::string(99, 'x') + "\n", kGigabyte);
    begin("1 GB of lines against an empty file");
    compare(big, empty);
    exercise();
    figures();
    const parvane::FileComparison* shown = big_->comparison();
    expect(big_->unlimited() && messages_.isEmpty(),
           "compared, no message [" + messages().toStdString() + "]");
    expect(shown && shown->lineCount(1) == kGigabyte / 100 && shown->lineCount(2) == 0,
           "10 000 000 lines against none");
    expect(!view1_->displayText().isEmpty() && view2_->displayText().isEmpty(),
           "the first view filled, the second empty");
}

void BigInputs::longSingleLines() {
    const fs::path one = file("linea1.txt");
    const fs::path two = file("linea2.txt");
    writeLines(one, std::string(1000, 'a'), kHundredMegabytes);
    writeLines(two, std::string(1000, 'a'), kHundredMegabytes);
    {
        std::fstream out(two, std::ios::binary | std::ios::in | std::ios::out);
        for (const std::uint64_t at :
             {std::uint64_t{10}, kHundredMegabytes / 2, kHundredMegabytes - 5}) {
            out.seekp(std::streamoff(at));
            out.put('#');
        }
    }
    begin("a single line of 100 MB against another");
    compare(one, two);
    exercise();
    figures();
    const parvane::FileComparison* shown = big_->comparison();
    expect(big_->unlimited() && messages_.isEmpty(),
           "compared, no message [" + messages().toStdString() + "]");
    expect(shown && shown->lineCount(1) == 1 && shown->longestLine(1) == kHundredMegabytes &&
               shown->totals().differingCharacters2 == 3,
           "one line of 100 000 000 characters, 3 differing");
    expect(!view1_->displayText().isEmpty() &&
               view1_->displayText().size() <= ComparisonViews::kWindowCharacters,
           "the views filled with a window of columns");
    fs::remove(one);
    fs::remove(two);
}

void BigInputs::manyEmptyLines() {
    const fs::path lines = file("lineas.txt");
    writeLines(lines, "\n", 10'000'000);
    begin("10 000 000 empty lines against an empty file");
    compare(lines, file("vacio.txt"));
    exercise();
    figures();
    const parvane::FileComparison* shown = big_->comparison();
    expect(big_->unlimited() && messages_.size() == 1 &&
               messages_.front() == MainWindow::kIdenticalMessage,
           "said to be identical [" + messages().toStdString() + "]");
    expect(shown && shown->lineCount(1) == 10'000'000, "10 000 000 lines");
    fs::remove(lines);
}

void BigInputs::binaryWithoutLineBreaks() {
    const fs::path binary = file("binario.bin");
    writeSparse(binary, kGigabyte,
                {{0, "PK\x03\x04"}, {kGigabyte / 2, "\x01\x02\x7F"}, {kGigabyte - 3, "end"}});
    begin("a binary file of 1 GB without a line break (sparse)");
    compare(binary, file("vacio.txt"));
    exercise();
    figures();
    const parvane::FileComparison* shown = big_->comparison();
    expect(big_->unlimited() && messages_.isEmpty(),
           "compared, no message [" + messages().toStdString() + "]");
    expect(shown && shown->lineCount(1) == 1 && shown->longestLine(1) == kGigabyte,
           "one line of 1 000 000 000 characters");
    expect(!view1_->displayText().isEmpty() &&
               view1_->displayText().size() <= ComparisonViews::kWindowCharacters,
           "the first view filled with a window of columns");
    fs::remove(binary);
}

void BigInputs::notRegularFiles() {
    const fs::path fifo = file("tuberia");
    ::mkfifo(fifo.c_str(), 0600);
    for (const fs::path& path : {fs::path("/dev/zero"), fifo}) {
        begin("not a regular file: " + path.string());
        QElapsedTimer clock;
        clock.start();
        window_.openFiles(path, file("vacio.txt"), true);
        const qint64 took = clock.elapsed();
        pump(30);
        figures();
        expect(messages_.size() == 1 && messages_.front().contains("no es un fichero normal") &&
                   messages_.front().contains(QString::fromStdString(path.string())),
               "refused, naming the file [" + messages().toStdString() + "]");
        expect(took < qint64(kStallTargetMs),
               "at once: " + std::to_string(took) + " ms (target < 100 ms)");
    }
    fs::remove(fifo);
}

void BigInputs::fullFilesystem() {
    begin("two files on a full filesystem");
    const fs::path mount = file("lleno");
    fs::create_directories(mount);
    if (::mount("parvane", mount.c_str(), "tmpfs", 0, "size=8m") != 0) {
        skip(std::string("a small tmpfs cannot be mounted here (") + std::strerror(errno) +
             "; it needs root)");
        return;
    }
    const fs::path one = mount / "uno.txt";
    const fs::path two = mount / "dos.txt";
    writeLines(one, "una línea de texto\n", 3'000'000);
    {
        // The second file takes what room is left, until the filesystem is full.
        std::ofstream out(two, std::ios::binary);
        const std::string line = "una linea de texto\n";
        while (out.write(line.data(), std::streamsize(line.size())) && out.flush()) {
        }
    }
    struct statvfs room {};
    ::statvfs(mount.c_str(), &room);
    note("free bytes left: " + std::to_string(std::uint64_t(room.f_bavail) * room.f_frsize));
    watch_.reset();
    compare(one, two);
    exercise();
    figures();
    expect(big_->unlimited() && messages_.isEmpty(),
           "compared, no message [" + messages().toStdString() + "]");
    window_.openFiles(file("vacio.txt"), file("vacio.txt"), true); // lets go of the files
    pump(30);
    ::umount2(mount.c_str(), MNT_DETACH);
}

void BigInputs::invalidUtf8FarIn() {
    const fs::path sparse = file("invalido.txt");
    const fs::path text = file("texto.txt");
    std::vector<std::pair<std::uint64_t, std::string>> bytes = {{0, "é\n"}};
    for (std::uint64_t at = 1u << 20; at < kGigabyte; at += 1u << 20) {
        bytes.emplace_back(at, "\n"); // lines of 1 MB
    }
    bytes.emplace_back(900'000'000, "\xFF");
    writeSparse(sparse, kGigabyte, bytes);
    writeLines(text, "é\n", 3);
    begin("invalid UTF-8 (0xFF) at byte 900 000 000 of one file (sparse)");
    compare(sparse, text);
    exercise();
    figures();
    const parvane::FileComparison* shown = big_->comparison();
    expect(big_->unlimited() && messages_.isEmpty(),
           "compared, no message [" + messages().toStdString() + "]");
    expect(shown && shown->decoding(1) == parvane::Decoding::Windows1252,
           "both files decoded as Windows-1252");
    // Within the limits, the same first bytes and the same invalid byte decide the same.
    const fs::path small = file("pequeno.txt");
    writeLines(small, "é\n\xFF", 4);
    const parvane::Comparison bounded = parvane::compareFiles(small, text);
    const QString firstLine =
        QString::fromUtf8(bounded.displayText1).section(QStringLiteral("\r\n"), 0, 0);
    aids_->goToFirstDifference();
    big_->verticalBar(1)->setValue(0);
    pump(30);
    const QString shown1 = view1_->document()->firstBlock().text();
    const QString shown2 = view2_->document()->firstBlock().text();
    expect(firstLine == QStringLiteral("Ã©") && shown1 == firstLine && shown2 == firstLine,
           "«é» shown as within the limits: «" + shown1.toStdString() + "» and «" +
               shown2.toStdString() + "», within the limits «" + firstLine.toStdString() + "»");
    fs::remove(sparse);
    fs::remove(small);
}

void BigInputs::growingWhileCompared() {
    const fs::path big = file("grande.txt");
    begin("a file of 1 GB that grows by 100 MB while the pass reads it");
    std::atomic<bool> grown = false;
    std::thread grower;
    // The file grows by 100 MB once the pass has started.
    big_->setPassPrelude([&](const std::function<bool()>&) {
        if (grower.joinable()) {
            return;
        }
        grower = std::thread([&] {
            try {
                writeLines(big, std::string(99, 'y') + "\n", kHundredMegabytes, true);
                grown = true;
            } catch (const std::exception& error) {
                std::fprintf(stderr, "%s\n", error.what());
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    });
    compare(big, file("vacio.txt"));
    big_->setPassPrelude({});
    if (grower.joinable()) {
        grower.join();
    }
    exercise();
    figures();
    expect(grown, "the file grew by 100 MB");
    expect(saidChanged(big), "said the file changed [" + messages().toStdString() + "]");
}

void BigInputs::truncatedWhileShown() {
    const fs::path big = file("grande.txt");
    begin("a file of 1.1 GB truncated to nothing while shown");
    compare(big, file("vacio.txt"));
    const bool shown = big_->unlimited() && messages_.isEmpty();
    // Another program empties the file, which takes the kernel a while for 1.1 GB in the page
    // cache; the window runs meanwhile.
    std::atomic<bool> emptied = false;
    std::thread emptying([&] {
        ::truncate(big.c_str(), 0);
        emptied = true;
    });
    while (!emptied) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    emptying.join();
    exercise();
    figures();
    expect(shown, "compared first");
    expect(saidChanged(big),
           "scrolling and moving said once that it changed [" + messages().toStdString() + "]");
    expect(big_->unlimited(), "the window lives on");
    fs::remove(big);
}

int BigInputs::run(const QStringList& only) {
    const auto free = [this] {
        const fs::space_info space = fs::space(folder_);
        return std::to_string(space.available / 1'000'000) + " MB free";
    };
    std::printf("Temporary folder %s (%s)\n", folder_.c_str(), free().c_str());
    writeLines(file("vacio.txt"), "", 0);
    const std::pair<const char*, void (BigInputs::*)()> steps[] = {
        {"big", &BigInputs::bigAgainstEmpty},
        {"long-line", &BigInputs::longSingleLines},
        {"empty-lines", &BigInputs::manyEmptyLines},
        {"binary", &BigInputs::binaryWithoutLineBreaks},
        {"not-regular", &BigInputs::notRegularFiles},
        {"full", &BigInputs::fullFilesystem},
        {"invalid-utf8", &BigInputs::invalidUtf8FarIn},
        {"growing", &BigInputs::growingWhileCompared},
        {"truncated", &BigInputs::truncatedWhileShown},
    };
    for (const auto& [name, step] : steps) {
        if (!only.isEmpty() && !only.contains(QString::fromUtf8(name))) {
            continue;
        }
        try {
            (this->*step)();
        } catch (const std::exception& error) {
            if (checks_.empty() || checks_.back().name.empty()) {
                begin(name);
            }
            expect(false, std::string("no exception: ") + error.what());
        }
    }
    int failed = 0;
    int skipped = 0;
    for (const Check& check : checks_) {
        failed += check.failed ? 1 : 0;
        skipped += check.skipped ? 1 : 0;
    }
    std::printf("\n%zu inputs: %d failed, %d skipped (%s at the end)\n", checks_.size(), failed,
                skipped, free().c_str());
    return failed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    const fs::path folder =
        fs::temp_directory_path() / ("parvane-big-inputs-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    int result = 1;
    {
        BigInputs inputs(folder);
        result = inputs.run(QApplication::arguments().mid(1));
    }
    std::error_code ignored;
    ::umount2((folder / "lleno").c_str(), MNT_DETACH);
    fs::remove_all(folder, ignored);
    return result;
}
