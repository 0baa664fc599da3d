#!/usr/bin/env bash
# Start-up speed and memory: from exec to the main window mapped on the screen, started with two
# 30 KB files (the program compares them before the window's first paint), on a virtual X
# display of its own. Prints the median of several runs and the peak memory, beside the same
# figures for a bare Qt Widgets program (one empty window), the floor that no Qt program beats,
# and the ratio of the two.
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
# Fusion style, and does nothing else.
floor=$work/floor
cat >"$work/floor.cpp" <<'CPP'
#include <QApplication>
#include <QWidget>
int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setStyle("Fusion");
    QWidget window;
    window.resize(691, 628);
    window.show();
    return app.exec();
}
CPP
g++ -O2 -fPIC -std=c++20 "$work/floor.cpp" -o "$floor" $(pkg-config --cflags --libs Qt6Widgets)

start_display "$work"

# Two files of 30 KB: 500 lines of 60 characters, one character in ten different.
python3 bench/make_pair.py "$work"

# Runs "$@" RUNS times (after one warm-up run, so that files and libraries are in the page cache,
# as after any first start); sets times (microseconds to the window mapped) and peaks (VmHWM, kB).
measure() {
    times=()
    peaks=()
    local run peak
    for ((run = 0; run <= runs; ++run)); do
        launch_mapped "$@"
        sleep 0.5
        peak=$(awk '/VmHWM/ {print $2}' /proc/$pid/status)
        kill $pid $watcher 2>/dev/null || true
        wait $pid $watcher 2>/dev/null || true
        if ((run > 0)); then
            times+=($(((end - start) / 1000)))
            peaks+=("$peak")
        fi
    done
}
highest() { printf '%s\n' "$@" | sort -n | tail -1; }

measure "$floor"
floor_us=$(median "${times[@]}")
floor_kb=$(highest "${peaks[@]}")
measure "$program" "$work/uno.txt" "$work/dos.txt"
us=$(median "${times[@]}")
kb=$(highest "${peaks[@]}")
awk -v us="$us" -v kb="$kb" -v fus="$floor_us" -v fkb="$floor_kb" -v n="$runs" 'BEGIN {
    ms = us / 1000; mb = kb * 1024 / 1e6; fms = fus / 1000; fmb = fkb * 1024 / 1e6
    printf "bare Qt Widgets window (the floor): median %.1f ms over %d runs, peak memory %.1f MB\n", fms, n, fmb
    printf "start-up to the window shown, two 30 KB files compared: median %.1f ms over %d runs (target < 150 ms) %s\n", ms, n, (ms < 150 ? "PASS" : "FAIL")
    printf "start-up against the floor: %.2f times (target < 1.25) %s\n", ms / fms, (ms / fms < 1.25 ? "PASS" : "FAIL")
    printf "peak memory (VmHWM), highest run: %.1f MB (target < 50 MB) %s; %.2f times the floor\n", mb, (mb < 50 ? "PASS" : "FAIL"), mb / fmb
}'
