#!/usr/bin/env bash
# Parvane without limits beside other comparison tools on big files: kdiff3, meld and
# `parvane --sin-limite`, each started with two files of 10 MB and then two of 100 MB (lines of 99
# characters, one line in a hundred differing in one character), on a virtual X display of its own.
# For each run it prints, in milliseconds from exec:
#   mapped   - the first window mapped on the screen (as bench/startup.sh measures it);
#   settled  - the last moment the program used the processor before it stayed idle for
#              IDLE_MS: the window is up and the comparison shown.
# Each figure is the median of RUNS runs after one warm-up run (files and libraries in the page
# cache). A tool that is not installed is skipped (apt-get install kdiff3 meld).
# A run still busy after CAP_S seconds (default 120) is cut there and reported as still busy.
# Usage: bench/peers.sh [RUNS]   (default 3; builds the program first when it is not built)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/window_timing.sh
runs=${1:-3}
idle_ms=${IDLE_MS:-700}
cap_s=${CAP_S:-120} # a run that is still busy after this long counts as settled then
program=build/parvane
[[ -x $program ]] || make build

work=$(mktemp -d)
xvfb=
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT

start_display "$work"

# Two files of `lines` lines of 99 characters; the second changes one character in a hundred lines.
make_pair() {
    python3 - "$1" "$2" "$3" <<'PY'
import sys
lines, a, b = int(sys.argv[1]), sys.argv[2], sys.argv[3]
with open(a, "w") as one, open(b, "w") as two:
    for k in range(lines):
        line = "".join(chr(33 + (k * 7 + i * 13) % 94) for i in range(99))
        one.write(line + "\n")
        if k % 100 == 37:
            c = k % 99
            line = line[:c] + ("y" if line[c] == "x" else "x") + line[c + 1:]
        two.write(line + "\n")
PY
}

# The processor time a process has used so far, in clock ticks (user and system, threads too).
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo -1; }

# Runs "$@" RUNS times after a warm-up; sets mapped and settled (medians, ms).
measure() {
    local mapped_all=() settled_all=() run ticks last now quiet
    busy=0
    for ((run = 0; run <= runs; ++run)); do
        launch_mapped "$@"
        kill $watcher 2>/dev/null || true
        # Settled: the processor time stops growing for idle_ms.
        last=$(cpu_ticks $pid)
        settled=$(date +%s%N)
        quiet=0
        while ((quiet < idle_ms)); do
            sleep 0.02
            ticks=$(cpu_ticks $pid)
            now=$(date +%s%N)
            if [[ $ticks != "$last" ]]; then
                last=$ticks
                settled=$now
                quiet=0
            else
                quiet=$(((now - settled) / 1000000))
            fi
            ((now - start < cap_s * 1000000000)) || break
        done
        ((quiet >= idle_ms || run == 0)) || busy=1
        # A tool busy comparing may not take SIGTERM (meld handles it in its main loop).
        kill $pid 2>/dev/null || true
        sleep 0.3
        kill -9 $pid 2>/dev/null || true
        wait $pid $watcher 2>/dev/null || true
        if ((run > 0)); then
            mapped_all+=($(((end - start) / 1000000)))
            settled_all+=($(((settled - start) / 1000000)))
        fi
    done
    mapped=$(median "${mapped_all[@]}")
    settled=$(median "${settled_all[@]}")
}

for size in 10 100; do
    lines=$((size * 10000))
    make_pair $lines "$work/a$size.txt" "$work/b$size.txt"
    echo "two files of $size MB ($lines lines of 99 characters), median of $runs runs:"
    for tool in parvane kdiff3 meld; do
        case $tool in
        parvane) command=("$program" --sin-limite) ;;
        *) command=("$tool") ;;
        esac
        if ! command -v "${command[0]}" >/dev/null; then
            echo "  $tool: not installed, skipped"
            continue
        fi
        measure "${command[@]}" "$work/a$size.txt" "$work/b$size.txt"
        if ((busy)); then
            printf '  %-8s mapped %6d ms, still busy after %d s\n' "$tool" "$mapped" "$cap_s"
        else
            printf '  %-8s mapped %6d ms, settled %6d ms\n' "$tool" "$mapped" "$settled"
        fi
    done
done
echo "(target: parvane settled no later than the fastest of the others)"
