#!/bin/sh
# telvor-saver -c under Xvfb, driven from the keyboard with xdotool; and the same with a running
# preview saver that must reload, and without any display.
# Usage: dialog_test.sh SAVER keyboard|cancel|reload|nodisplay
set -u
SAVER=$1
CASE=$2
TITLE="TELVOR Screen Saver Configuration"
DIR=$(mktemp -d)
fail() { echo "FAIL ($CASE): $*"; exit 1; }
pids=""
trap 'for p in $pids; do kill $p 2>/dev/null; done; rm -rf "$DIR"' EXIT

# The keys of the settings file, in order, one a line.
keys() { sed -n 's/=.*//p' "$1" | tr '\n' ,; }
EIGHT="Today,Start Date,Probability,Height,Speed,Dwell,Cumulative,Full Speed,"

if [ "$CASE" = nodisplay ]; then
    export XDG_CONFIG_HOME="$DIR/config"
    DISPLAY=:9999 "$SAVER" -c 2>/dev/null
    code=$?
    [ $code -eq 1 ] || fail "exit code $code"
    [ "$(keys "$DIR/config/telvor/telvor.ini")" = "$EIGHT" ] || fail "not the eight keys"
    echo "1 passed, 0 failed"
    exit 0
fi

for tool in Xvfb xdotool xev; do
    command -v $tool >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$DIR/display" 2>/dev/null &
pids="$!"
for i in $(seq 100); do [ -s "$DIR/display" ] && break; sleep 0.1; done
[ -s "$DIR/display" ] || { echo "SKIP: Xvfb did not start"; exit 77; }
export DISPLAY=":$(cat "$DIR/display")"

# Starts the dialog with the settings in $1 and waits until it has the keyboard.
open_dialog() {
    XDG_CONFIG_HOME="$1" "$SAVER" -c 2>/dev/null &
    DIALOG=$!
    pids="$pids $DIALOG"
    win=$(timeout 20 xdotool search --sync --name "$TITLE" | head -1)
    [ -n "$win" ] || fail "no dialog window"
    xdotool windowfocus --sync "$win"
    sleep 0.5
}
still_open() { sleep 0.7; kill -0 $DIALOG 2>/dev/null; }
wait_closed() {
    for i in $(seq 100); do kill -0 $DIALOG 2>/dev/null || break; sleep 0.1; done
    kill -0 $DIALOG 2>/dev/null && fail "$1: the dialog did not close"
    wait $DIALOG
    code=$?
    [ $code -eq 1 ] || fail "$1: exit code $code"
}

if [ "$CASE" = keyboard ]; then
    CONFIG="$DIR/config"
    open_dialog "$CONFIG"
    # The focus starts on Today: untick it, so that the date can be typed.
    xdotool key space
    # Cumulative Visibility clicked twice stays as it was.
    xdotool key Tab space space
    # A month 13 is refused and the focus stays on the date, where the correction goes.
    xdotool key Tab ctrl+a
    xdotool type "1/13/2021"
    xdotool key Return
    still_open || fail "1/13/2021 was accepted"
    xdotool key ctrl+a
    xdotool type "31/02/2021"
    # A probability of 100 is refused with the focus on it.
    xdotool key Tab ctrl+a
    xdotool type "100"
    xdotool key Return
    still_open || fail "probability 100 was accepted"
    xdotool key ctrl+a
    xdotool type "42"
    # A blank height is 0; Enter in it is OK.
    xdotool key Tab ctrl+a BackSpace Return
    wait_closed "valid input"
    INI="$CONFIG/telvor/telvor.ini"
    [ "$(keys "$INI")" = "$EIGHT" ] || fail "not the eight keys: $(keys "$INI")"
    for line in "Today=0" "Start Date=31/02/2021" "Probability=42" "Height=0" "Cumulative=1"; do
        tr -d '\r' <"$INI" | grep -qx "$line" || fail "no line $line in: $(cat "$INI")"
    done
    echo "1 passed, 0 failed"
    exit 0
fi

if [ "$CASE" = cancel ]; then
    # Escape leaves without saving: no settings file is made.
    open_dialog "$DIR/config"
    xdotool key space Escape
    wait_closed "Escape"
    [ -e "$DIR/config/telvor/telvor.ini" ] && fail "Escape saved the settings"
    echo "1 passed, 0 failed"
    exit 0
fi

if [ "$CASE" = reload ]; then
    # A preview saver into a window of ours, with settings of its own.
    export XDG_CONFIG_HOME="$DIR/saver"
    mkdir -p "$DIR/saver/telvor"
    xev -geometry 320x240+0+0 >"$DIR/xev" 2>/dev/null &
    pids="$pids $!"
    host=""
    for i in $(seq 100); do
        host=$(sed -n 's/^Outer window is \(0x[0-9a-fA-F]*\).*/\1/p' "$DIR/xev")
        [ -n "$host" ] && break
        sleep 0.1
    done
    [ -n "$host" ] || fail "no host window"
    host=$(printf '%d' "$host") # /p takes a decimal handle
    "$SAVER" /p "$host" &
    SAVERPID=$!
    pids="$pids $SAVERPID"
    sleep 2
    kill -0 $SAVERPID 2>/dev/null || fail "the preview saver did not keep running"
    # Its settings file with an access time long past: a read of it (the reload) renews it.
    INI="$DIR/saver/telvor/telvor.ini"
    printf '[TELVOR]\n' >"$INI"
    touch -a -d 2001-01-01 "$INI"
    old=$(stat -c %X "$INI")

    open_dialog "$DIR/config"
    xdotool key Return
    wait_closed "OK"
    [ "$(keys "$DIR/config/telvor/telvor.ini")" = "$EIGHT" ] || fail "not the eight keys"
    for i in $(seq 50); do [ "$(stat -c %X "$INI")" -gt "$old" ] && break; sleep 0.1; done
    [ "$(stat -c %X "$INI")" -gt "$old" ] || fail "the running saver did not reload its settings"
    kill -0 $SAVERPID 2>/dev/null || fail "the saver ended on the reload"
    # A second preview finds the running saver and exits at once with code 0.
    timeout 10 "$SAVER" /p "$host"
    code=$?
    [ $code -eq 0 ] || fail "second preview: exit code $code"
    echo "1 passed, 0 failed"
    exit 0
fi
fail "unknown case"
