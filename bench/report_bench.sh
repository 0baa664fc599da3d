#!/usr/bin/env bash
# Speed of the report mode, from process start to exit, with the real program:
#  1. `parvane --informe` on two 30 KB files (500 lines of 60 characters, one in ten different):
#     median over several runs, target < 20 ms;
#  2. two files of about 1 GB (10 million lines of 99 characters, one line in a hundred differs),
#     made here in a temporary folder and removed at the end: the pass without limits alone
#     (--max-lineas=0 lists nothing, so it is the window's big-file pass plus start-up) beside the
#     whole text report and the whole JSON report (100 000 differing lines each, target at most
#     1.5 times the pass), each the median of BIG_RUNS runs (default 3), and the report's peak
#     memory; and the whole text report with a layout of 20 fields (--campos), target at most 1.2
#     times the text report without one. Skipped with --sin-grandes, or when the temporary folder has less than 3 GB free.
# Usage: bench/report_bench.sh PARVANE [RUNS] [--sin-grandes]
#   PARVANE_UNLIMITED names the option for the pass without limits (default --sin-limite);
#   BIG_RUNS sets how many runs each 1 GB figure is the median of (default 3).
# Prints each figure beside its target; exits 0 unless the program cannot be run.
set -euo pipefail
bench_dir=$(cd "$(dirname "$0")" && pwd)
program=${1:?"uso: bench/report_bench.sh PARVANE [RUNS] [--sin-grandes]"}
runs=${2:-21}
big=yes
for argument in "$@"; do [[ $argument == --sin-grandes ]] && big=no; done
[[ $runs =~ ^[0-9]+$ ]] || runs=21
unlimited=${PARVANE_UNLIMITED:---sin-limite}
[[ -x $program ]] || { echo "no se puede ejecutar «$program»"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s%N; }
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
# Runs the program with the given arguments, output thrown away; prints the time in microseconds.
# Status 0 or 1 is a comparison's answer; anything else is a failure of the run.
timed() {
    local start end status=0
    start=$(now)
    "$program" "$@" >/dev/null 2>"$work/err" || status=$?
    end=$(now)
    if ((status > 1)); then
        echo "«$program $*» terminó con $status: $(cat "$work/err")" >&2
        exit 1
    fi
    echo $(((end - start) / 1000))
}

python3 "$bench_dir/make_pair.py" "$work"

timed --informe "$work/uno.txt" "$work/dos.txt" >/dev/null # warm-up: page cache, libraries
times=()
for ((run = 0; run < runs; ++run)); do
    times+=("$(timed --informe "$work/uno.txt" "$work/dos.txt")")
done
awk -v us="$(median "${times[@]}")" -v n="$runs" 'BEGIN {
    ms = us / 1000
    printf "--informe, two 30 KB files, start to exit: median %.1f ms over %d runs (target < 20 ms) %s\n", ms, n, (ms < 20 ? "PASS" : "FAIL")
}'

if [[ $big == no ]]; then
    exit 0
fi
free_kb=$(df -Pk "$work" | awk 'NR == 2 {print $4}')
if ((free_kb < 3 * 1024 * 1024)); then
    echo "1 GB pair: skipped, less than 3 GB free in $(dirname "$work")"
    exit 0
fi

# Line k: 99 printable characters that vary with k; file 2 changes one character of every
# hundredth line. Written a block of lines at a time.
python3 - "$work" <<'PY'
import sys
lines, length = 10_000_000, 99
with open(sys.argv[1] + '/grande1.txt', 'wb') as one, open(sys.argv[1] + '/grande2.txt', 'wb') as two:
    # 94 distinct lines repeat; the changed ones differ at a column that moves with k.
    base = [bytes(33 + (k * 7 + i * 13) % 94 for i in range(length)) + b'\n' for k in range(94)]
    block = 100_000
    for first in range(0, lines, block):
        rows = [base[k % 94] for k in range(first, first + block)]
        one.write(b''.join(rows))
        for k in range(first + 37, first + block, 100):
            row = bytearray(rows[k - first])
            column = k % length
            row[column] = ord('y') if row[column] == ord('x') else ord('x')
            rows[k - first] = bytes(row)
        two.write(b''.join(rows))
PY
cat "$work/grande1.txt" "$work/grande2.txt" >/dev/null # both runs find them in the page cache

# 20 fields over the 99 columns of a line: 19 of five columns, and the rest of the line.
{
    echo "campos 1"
    for ((field = 0; field < 19; ++field)); do echo "CAMPO$field $((field * 5 + 1)) 5"; done
    echo "RESTO 96 *"
} >"$work/veinte.campos"

big_runs=${BIG_RUNS:-3}
[[ $big_runs =~ ^[1-9][0-9]*$ ]] || big_runs=3
# The median of big_runs timed runs; the three figures take turns, so that a slow spell of the
# machine weighs on all of them alike.
passes=() texts=() jsons=() fields=()
for ((run = 0; run < big_runs; ++run)); do
    passes+=("$(timed --informe "$unlimited" --max-lineas=0 "$work/grande1.txt" "$work/grande2.txt")")
    texts+=("$(timed --informe "$unlimited" "$work/grande1.txt" "$work/grande2.txt")")
    jsons+=("$(timed --informe "$unlimited" --formato=json "$work/grande1.txt" "$work/grande2.txt")")
    fields+=("$(timed --informe "$unlimited" --campos="$work/veinte.campos" "$work/grande1.txt" "$work/grande2.txt")")
done
pass=$(median "${passes[@]}")
report=$(median "${texts[@]}")
json=$(median "${jsons[@]}")
with_fields=$(median "${fields[@]}")
peak_kb=0
if [[ -x /usr/bin/time ]]; then
    /usr/bin/time -f %M -o "$work/peak" "$program" --informe "$unlimited" \
        "$work/grande1.txt" "$work/grande2.txt" >/dev/null 2>&1 || true
    peak_kb=$(tail -1 "$work/peak")
fi
awk -v pass="$pass" -v report="$report" -v json="$json" -v fields="$with_fields" -v kb="$peak_kb" -v n="$big_runs" 'BEGIN {
    p = pass / 1e6; r = report / 1e6; j = json / 1e6; f = fields / 1e6
    printf "1 GB pair, the pass alone (--max-lineas=0, the window'"'"'s big-file pass): %.2f s (median of %d)\n", p, n
    printf "1 GB pair, the whole text report (100 000 differing lines): %.2f s, %.2f x the pass (target <= 1.5 x) %s\n", r, r / p, (r / p <= 1.5 ? "PASS" : "FAIL")
    printf "1 GB pair, the whole JSON report (--formato=json): %.2f s, %.2f x the pass (target <= 1.5 x) %s\n", j, j / p, (j / p <= 1.5 ? "PASS" : "FAIL")
    printf "1 GB pair, the whole text report with 20 fields (--campos): %.2f s, %.2f x the text report (target <= 1.2 x) %s\n", f, f / r, (f / r <= 1.2 ? "PASS" : "FAIL")
    if (kb > 0) {
        mb = kb * 1024 / 1e6
        printf "1 GB pair, peak memory of the report (max RSS): %.1f MB (target < 200 MB) %s\n", mb, (mb < 200 ? "PASS" : "FAIL")
    } else {
        print "1 GB pair, peak memory: not measured (needs /usr/bin/time, package time)"
    }
}'
