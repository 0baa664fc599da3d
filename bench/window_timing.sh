# Shared by the benchmarks that time a program from exec to its window mapped on the screen
# (bench/startup.sh, bench/peers.sh); sourced, it runs nothing by itself.
#   start_display WORK     starts a virtual X display of its own (Xvfb picks a free number) and
#                          exports DISPLAY; sets xvfb to its process id; exits when it fails
#   launch_mapped CMD...   starts CMD in the background and waits for a window to be mapped;
#                          sets pid, start and end (nanoseconds) and watcher (the xev process,
#                          still running: kill it with the program)
#   median N...            the median of the numbers

start_display() {
    local work=$1 i
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
    xvfb=$!
    for ((i = 0; i < 100; ++i)); do
        [[ -s $work/display ]] && break
        sleep 0.1
    done
    [[ -s $work/display ]] || { echo "Xvfb no ha arrancado" >&2; exit 1; }
    export DISPLAY=:$(head -n 1 "$work/display") XDG_RUNTIME_DIR=$work
    window_events=$work/events
}

launch_mapped() {
    local line
    rm -f "$window_events"
    mkfifo "$window_events"
    # xev reports every window mapped on the screen the moment it happens; reading its lines as
    # they come blocks instead of polling, so the watcher takes no processor from the program.
    stdbuf -oL xev -root -event substructure >"$window_events" 2>/dev/null &
    watcher=$!
    exec 3<"$window_events"
    sleep 0.2
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 &
    pid=$!
    while read -r line <&3; do [[ $line == MapNotify* ]] && break; done
    end=$(date +%s%N)
    exec 3<&-
}

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
