#!/usr/bin/env bash
# Start-up speed and memory: from exec to the main window mapped on the screen, started with two
# 30 KB files (the program compares them before the window's first paint), on a virtual X
# display. Prints the median of several runs and the peak memory.
# Usage: bench/startup.sh [RUNS]   (default 15; the program must be built: make build)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-15}
program=build/parvane
[[ -x $program ]] || { echo "primero: make build"; exit 1; }
for tool in Xvfb xev stdbuf; do
    command -v "$tool" >/dev/null || { echo "falta $tool (paquetes xvfb, x11-utils, coreutils)"; exit 1; }
done

work=$(mktemp -d)
display=:$((200 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
sleep 1
export DISPLAY=$display XDG_RUNTIME_DIR=$work

# Two files of 30 KB: 500 lines of 60 characters, one character in ten different.
python3 - "$work" <<'PY'
import sys, random
random.seed(7)
rows = [''.join(random.choice('abcdefghijklmnopqrstuvwxyz ') for _ in range(58)) for _ in range(500)]
other = [''.join(c if random.random() > 0.1 else '#' for c in row) for row in rows]
open(sys.argv[1] + '/uno.txt', 'w').write('\n'.join(rows) + '\n')
open(sys.argv[1] + '/dos.txt', 'w').write('\n'.join(other) + '\n')
PY

# One warm-up run so that the files and libraries are in the page cache, as after any first start.
times=()
peaks=()
for ((run = 0; run <= runs; ++run)); do
    events=$work/events
    rm -f "$events"
    mkfifo "$events"
    # xev reports every window mapped on the screen the moment it happens; reading its lines as
    # they come blocks instead of polling, so the watcher takes no processor from the program.
    stdbuf -oL xev -root -event substructure >"$events" 2>/dev/null &
    watcher=$!
    exec 3<"$events"
    sleep 0.2
    start=$(date +%s%N)
    "$program" "$work/uno.txt" "$work/dos.txt" 2>/dev/null &
    pid=$!
    while read -r line <&3; do [[ $line == MapNotify* ]] && break; done
    end=$(date +%s%N)
    exec 3<&-
    sleep 0.5
    peak=$(awk '/VmHWM/ {print $2}' /proc/$pid/status)
    kill $pid $watcher 2>/dev/null || true
    wait $pid $watcher 2>/dev/null || true
    if ((run > 0)); then
        times+=($(((end - start) / 1000)))
        peaks+=("$peak")
    fi
done

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
ms=$(median "${times[@]}")
kb=$(printf '%s\n' "${peaks[@]}" | sort -n | tail -1)
awk -v us="$ms" -v kb="$kb" -v n="$runs" 'BEGIN {
    ms = us / 1000; mb = kb * 1024 / 1e6
    printf "start-up to the window shown, two 30 KB files compared: median %.1f ms over %d runs (target < 150 ms) %s\n", ms, n, (ms < 150 ? "PASS" : "FAIL")
    printf "peak memory (VmHWM), highest run: %.1f MB (target < 50 MB) %s\n", mb, (mb < 50 ? "PASS" : "FAIL")
}'
