#!/bin/sh
# CPU taken by telvor-saver /s and by its X server (Xvfb) over the saver's first seconds, from
# /proc/PID/stat, as a percentage of one core.
# Usage: saver_cpu.sh TELVOR-SAVER [SECONDS (60)] [WIDTHxHEIGHT ... (1024x768 1920x1080)]
# SAVER_OPTIONS are given to the saver before /s; measuring starts SETTLE seconds (1) after it.
# The dwell between lunations, for one: SAVER_OPTIONS="-speed 99 -full-speed -dwell 99" SETTLE=40
set -eu
SAVER=$(realpath "${1:?the telvor-saver program}")
SECONDS_RUN=${2:-60}
shift $(($# < 2 ? $# : 2))
SIZES=${*:-1024x768 1920x1080}
SAVER_OPTIONS=${SAVER_OPTIONS:-}
SETTLE=${SETTLE:-1}
command -v Xvfb >/dev/null || { echo "Xvfb is needed" >&2; exit 77; }
TICKS=$(getconf CLK_TCK)
WORK=$(mktemp -d)
XVFB=
SAVERPID=
cleanup() {
    [ -n "$SAVERPID" ] && kill "$SAVERPID" 2>/dev/null || true
    [ -n "$XVFB" ] && kill "$XVFB" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT INT TERM
# utime + stime of a process, in clock ticks (the fields after the parenthesised name).
cpu() { sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }
for size in $SIZES; do
    mkfifo "$WORK/fd"
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$WORK/fd" 2>/dev/null &
    XVFB=$!
    read -r number <"$WORK/fd"
    rm "$WORK/fd"
    # Fresh settings (the defaults: speed 33), in a folder of our own.
    # shellcheck disable=SC2086 # the options are words
    XDG_CONFIG_HOME=$WORK/config DISPLAY=:$number "$SAVER" $SAVER_OPTIONS /s &
    SAVERPID=$!
    sleep "$SETTLE"
    s0=$(cpu "$SAVERPID")
    x0=$(cpu "$XVFB")
    sleep "$SECONDS_RUN"
    s1=$(cpu "$SAVERPID")
    x1=$(cpu "$XVFB")
    kill "$SAVERPID"
    wait "$SAVERPID" 2>/dev/null || true
    SAVERPID=
    kill "$XVFB"
    wait "$XVFB" 2>/dev/null || true
    XVFB=
    awk -v s="$((s1 - s0))" -v x="$((x1 - x0))" -v t="$TICKS" -v d="$SECONDS_RUN" -v z="$size" \
        'BEGIN { printf "%s: saver %.2f %% of a core, X server %.2f %% over %d s\n",
                 z, 100 * s / t / d, 100 * x / t / d, d }'
done
