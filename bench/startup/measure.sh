#!/usr/bin/env bash
# Start-up time (process start to first window painted) and resident memory once idle, for
# tarnwick and for the yardstick window built in the same tree (same size, controls and
# captions, nothing else), medians of RUNS runs under Xvfb. The programs take turns, and which
# goes first alternates, so a busy machine slows them alike.
# Usage: bench/startup/measure.sh BUILD_DIR   (RUNS=15 by default)
set -euo pipefail

BUILD="$(realpath "$1")"
RUNS="${RUNS:-15}"
PROBE="$BUILD/bench/startup/libtarnwick_startup_probe.so"
MINIMAL="$BUILD/bin/tarnwick_minimal_window"

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
    if [ $((run % 2)) -eq 0 ]; then
        once tarnwick "$BUILD/bin/tarnwick"
        once minimal "$MINIMAL"
    else
        once minimal "$MINIMAL"
        once tarnwick "$BUILD/bin/tarnwick"
    fi
    if [ "$run" -eq 0 ]; then # the first round only warms the file cache
        rm -f "$WORK"/*.us "$WORK"/*.kb
    fi
done

# The spread (lowest and highest run) shows how noisy the machine was.
spread() { sort -n "$1" | awk -v scale="$2" 'NR == 1 {lo = $1} {hi = $1} END {printf "%.1f-%.1f", lo / scale, hi / scale}'; }
awk -v runs="$RUNS" \
    -v au="$(median "$WORK/tarnwick.us")" -v ak="$(median "$WORK/tarnwick.kb")" \
    -v mu="$(median "$WORK/minimal.us")" -v mk="$(median "$WORK/minimal.kb")" \
    -v as="$(spread "$WORK/tarnwick.us" 1000)" -v ms="$(spread "$WORK/minimal.us" 1000)" 'BEGIN {
    printf "start-up to first paint and idle resident memory, median of %d interleaved runs under Xvfb\n", runs
    printf "  %-20s %8.1f ms (runs %s ms) %8.1f MiB\n", "tarnwick", au / 1000, as, ak / 1024
    printf "  %-20s %8.1f ms (runs %s ms) %8.1f MiB\n", "yardstick window", mu / 1000, ms, mk / 1024
    printf "  %-20s start-up %.3fx (target 1.08x), idle memory %.3fx (target 1.05x)\n", "tarnwick / yardstick", au / mu, ak / mk
}'
