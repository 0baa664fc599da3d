#!/usr/bin/env bash
# Start-up speed and memory: from exec to the main window mapped on the screen, started with two
# 30 KB files (the program compares them before the window's first paint), on a virtual X
# display of its own. Prints the median of several runs and the peak memory, beside the same
# figures for a bare Qt Widgets program (one empty window), the floor that no Qt program beats,
# for the same program after it measures one letter, and for a program that makes the main
# window's Qt controls and nothing else, with the ratios.
# Usage: bench/startup.sh [RUNS]   (default 15; builds the program first when it is not built)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/window_timing.sh
runs=${1:-15}
program=build/parvane
[[ -x $program ]] || make build

work=$(mktemp -d)
xvfb=
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT

# The floor: a Qt Widgets program that shows one empty window of the main window's size, in the
# Fusion style, and does nothing else. Built a second time, it also measures one letter in Qt's
# default font before the window is shown: the start of the font system, which the floor never
# needs and any window that shows text does.
floor=$work/floor
first_text=$work/first_text
cat >"$work/floor.cpp" <<'CPP'
#include <QApplication>
#include <QFontMetrics>
#include <QWidget>
int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setStyle("Fusion");
    QWidget window;
    window.resize(691, 628);
#ifdef FIRST_TEXT
    volatile int width = QFontMetrics(window.font()).horizontalAdvance(QLatin1Char('x'));
    (void)width;
#endif
    window.show();
    return app.exec();
}
CPP

# The main window's controls alone: the same Qt controls in the same places, fonts and colours,
# the number columns holding the numbers of the lines shown, and nothing else (no files, no
# comparison, no icon). What the program costs beyond this is what its own code adds.
controls=$work/controls
cat >"$work/controls.cpp" <<'CPP'
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QWidget>
namespace {
QWidget* place(QWidget* control, int left, int top, int width, int height, double points) {
    control->setGeometry(left / 15, top / 15, width / 15, height / 15);
    QFont font(QStringLiteral("Comic Sans MS"));
    font.setPointSizeF(points);
    control->setFont(font);
    return control;
}
void paint(QWidget* control, QPalette::ColorRole role, QColor colour) {
    QPalette palette = control->palette();
    palette.setColor(role, colour);
    control->setPalette(palette);
}
} // namespace
int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setStyle("Fusion");
    QWidget window;
    window.resize(691, 628);
    paint(&window, QPalette::Window, QColor(0x64, 0x57, 0xD9));
    QFont font(QStringLiteral("Comic Sans MS"));
    font.setPointSizeF(9);
    window.setFont(font);
    const struct {
        const char* text;
        int left, top, width, height;
        double points;
    } buttons[] = {{"Comparar", 2100, 8220, 6255, 1095, 27.75},
                   {"Examinar 1er fichero", 240, 60, 4875, 435, 12},
                   {"Examinar 2º fichero", 5340, 60, 4875, 435, 12},
                   {"Salir", 8460, 8220, 1755, 1095, 26.25},
                   {"Acerca de...", 240, 8220, 1755, 1095, 15.75}};
    for (const auto& b : buttons) {
        auto* button = new QPushButton(QString::fromUtf8(b.text), &window);
        place(button, b.left, b.top, b.width, b.height, b.points);
        paint(button, QPalette::Button, QColor(0x64, 0x57, 0xD9));
    }
    for (int left : {240, 5340}) {
        paint(place(new QLineEdit(&window), left, 480, 4875, 285, 8.25), QPalette::Base,
              QColor(0x71, 0x8F, 0xE0));
        paint(place(new QPlainTextEdit(&window), left, 840, 4875, 7275, 9), QPalette::Base,
              QColor(0x71, 0x8F, 0xE0));
    }
    QString numbers;
    for (int line = 1; line <= 50; ++line) {
        numbers += QString::number(line) + QLatin1Char('\n');
    }
    for (int left : {5040, -60}) {
        auto* column = new QTextEdit(&window);
        place(column, left, 900, 375, 7275, 9);
        paint(column, QPalette::Base, QColor(0x64, 0x57, 0xD9));
        paint(column, QPalette::Text, QColor(0xE0, 0xE0, 0xE0));
        column->setPlainText(numbers);
    }
    window.show();
    return app.exec();
}
CPP
flags=(-O2 -fPIC -std=c++20 $(pkg-config --cflags --libs Qt6Widgets))
g++ "$work/floor.cpp" -o "$floor" "${flags[@]}"
g++ -DFIRST_TEXT "$work/floor.cpp" -o "$first_text" "${flags[@]}"
g++ "$work/controls.cpp" -o "$controls" "${flags[@]}"

start_display "$work"

# Two files of 30 KB: 500 lines of 60 characters, one character in ten different.
python3 bench/make_pair.py "$work"

# Times one start of "$@": prints the microseconds to its window mapped and its peak memory
# (VmHWM, kB).
time_start() {
    local peak
    launch_mapped "$@"
    sleep 0.5
    peak=$(awk '/VmHWM/ {print $2}' /proc/$pid/status)
    kill $pid $watcher 2>/dev/null || true
    wait $pid $watcher 2>/dev/null || true
    echo $(((end - start) / 1000)) "$peak"
}

# The four programs take turns, a start of each in every round, so that whatever else the machine
# does during the benchmark weighs on all of them alike; the first round only warms the page cache.
declare -A times peaks
for ((run = 0; run <= runs; ++run)); do
    for name in floor first_text controls program; do
        case $name in
        floor) read -r us kb < <(time_start "$floor") ;;
        first_text) read -r us kb < <(time_start "$first_text") ;;
        controls) read -r us kb < <(time_start "$controls") ;;
        program) read -r us kb < <(time_start "$program" "$work/uno.txt" "$work/dos.txt") ;;
        esac
        if ((run > 0)); then
            times[$name]+=" $us"
            peaks[$name]+=" $kb"
        fi
    done
done
highest() { printf '%s\n' "$@" | sort -n | tail -1; }
floor_us=$(median ${times[floor]})
floor_kb=$(highest ${peaks[floor]})
first_text_us=$(median ${times[first_text]})
controls_us=$(median ${times[controls]})
us=$(median ${times[program]})
kb=$(highest ${peaks[program]})
awk -v us="$us" -v kb="$kb" -v fus="$floor_us" -v fkb="$floor_kb" -v tus="$first_text_us" -v cus="$controls_us" -v n="$runs" 'BEGIN {
    ms = us / 1000; mb = kb * 1024 / 1e6; fms = fus / 1000; fmb = fkb * 1024 / 1e6; cms = cus / 1000; tms = tus / 1000
    printf "bare Qt Widgets window (the floor): median %.1f ms over %d runs, peak memory %.1f MB\n", fms, n, fmb
    printf "the same with one letter measured in Qt'"'"'s default font: median %.1f ms over %d runs, %.2f times the floor\n", tms, n, tms / fms
    printf "the main window'"'"'s Qt controls alone: median %.1f ms over %d runs, %.2f times the floor\n", cms, n, cms / fms
    printf "start-up to the window shown, two 30 KB files compared: median %.1f ms over %d runs (target < 150 ms) %s\n", ms, n, (ms < 150 ? "PASS" : "FAIL")
    printf "start-up against the floor: %.2f times (target < 1.25) %s\n", ms / fms, (ms / fms < 1.25 ? "PASS" : "FAIL")
    printf "start-up against the controls alone (what the program adds to them): %.2f times\n", ms / cms
    printf "peak memory (VmHWM), highest run: %.1f MB (target < 50 MB) %s; %.2f times the floor\n", mb, (mb < 50 ? "PASS" : "FAIL"), mb / fmb
}'
