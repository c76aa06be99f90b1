#!/usr/bin/env bash
# Start-up time (process start to first window painted) and resident memory once idle, for
# tarnwick and for a minimal Qt Widgets window built in the same tree, medians of RUNS runs
# under Xvfb. The programs take turns, so a busy machine slows them alike.
# Usage: bench/startup/measure.sh BUILD_DIR   (RUNS=9 by default)
set -euo pipefail

BUILD="$(realpath "$1")"
RUNS="${RUNS:-9}"
PROBE="$BUILD/bench/startup/libtarnwick_startup_probe.so"
MINIMAL="$BUILD/bench/startup/tarnwick_minimal_window"

if [ "${2:-}" != "--inside-xvfb" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$BUILD" --inside-xvfb
fi

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

# once NAME EXE [ARG...]: one run; appends microseconds and KiB to $WORK/NAME.us and .kb
once() {
    local name="$1" start shown rss
    shift
    : >"$WORK/probe"
    start=$(date +%s%N)
    STARTUP_PROBE_OUT="$WORK/probe" LD_PRELOAD="$PROBE" "$@" >/dev/null 2>&1
    read -r shown rss <"$WORK/probe"
    echo $(((shown - start) / 1000)) >>"$WORK/$name.us"
    echo "$rss" >>"$WORK/$name.kb"
}

median() { sort -n "$1" | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

for run in $(seq 0 "$RUNS"); do
    once tarnwick "$BUILD/app/tarnwick"
    once minimal "$MINIMAL"
    once caption "$MINIMAL" caption
    if [ "$run" -eq 0 ]; then # the first round only warms the file cache
        rm -f "$WORK"/*.us "$WORK"/*.kb
    fi
done

awk -v runs="$RUNS" \
    -v au="$(median "$WORK/tarnwick.us")" -v ak="$(median "$WORK/tarnwick.kb")" \
    -v mu="$(median "$WORK/minimal.us")" -v mk="$(median "$WORK/minimal.kb")" \
    -v cu="$(median "$WORK/caption.us")" -v ck="$(median "$WORK/caption.kb")" 'BEGIN {
    printf "start-up to first paint and idle resident memory, median of %d runs under Xvfb\n", runs
    printf "  %-34s %8.1f ms %8.1f MiB\n", "tarnwick", au / 1000, ak / 1024
    printf "  %-34s %8.1f ms %8.1f MiB\n", "minimal window", mu / 1000, mk / 1024
    printf "  %-34s %8.1f ms %8.1f MiB\n", "minimal window + one Chinese label", cu / 1000, ck / 1024
    printf "  %-34s %8.2fx    %8.2fx   (targets 1.3x, 1.2x)\n", "tarnwick / minimal", au / mu, ak / mk
    printf "  %-34s %8.2fx    %8.2fx\n", "minimal + label / minimal", cu / mu, ck / mk
}'
