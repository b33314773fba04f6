#!/bin/sh
# telvor-saver on a terminal and under Xvfb: --help and --version, bad options and failed starts
# (one stderr line each), -window in an ordinary window, the run options seen on screen, and
# --add-to-xscreensaver on a fresh and an existing ~/.xscreensaver; a FIFO for settings; two
# monitors.
# Usage: saver_cli_test.sh SAVER help|window|options|xscreensaver|faults|monitors
set -u
SAVER=$1
CASE=$2
DIR=$(mktemp -d)
fail() { echo "FAIL ($CASE): $*"; exit 1; }
pids=""
trap 'for p in $pids; do kill $p 2>/dev/null; done; rm -rf "$DIR"' EXIT
export XDG_CONFIG_HOME="$DIR/config"

# Runs the saver with the arguments given; sets code, out (stdout) and err (stderr).
run() {
    "$SAVER" "$@" >"$DIR/out" 2>"$DIR/err"
    code=$?
    out=$(cat "$DIR/out")
    err=$(cat "$DIR/err")
}

# An xev window of the given size to host the saver; sets $host to its id.
host_window() {
    xev -geometry "$1+0+0" >"$DIR/xev" 2>/dev/null &
    pids="$pids $!"
    host=""
    for i in $(seq 100); do
        host=$(sed -n 's/^Outer window is \(0x[0-9a-fA-F]*\).*/\1/p' "$DIR/xev")
        [ -n "$host" ] && break
        sleep 0.1
    done
    [ -n "$host" ] || fail "no host window"
}
one_line() { [ "$(wc -l <"$DIR/err")" -eq 1 ] || fail "$1: not one stderr line: $err"; }

if [ "$CASE" = help ]; then
    for form in --help -h; do
        run $form
        [ $code -eq 0 ] || fail "$form: exit code $code"
        for word in /s /c /p /a -root -window-id "-window " -speed -dwell -probability -height \
            -no-cumulative -full-speed -date --add-to-xscreensaver --version; do
            echo "$out" | grep -q -e "$word" || fail "$form: usage lacks $word"
        done
        [ -z "$err" ] || fail "$form wrote on stderr: $err"
    done
    run --version
    [ $code -eq 0 ] && echo "$out" | grep -q '^telvor-saver [0-9]' || fail "--version: $out"
    for bad in "-speed 0" "-speed" "-dwell 100" "-probability x" "-height -1" "-date 2024-02-31x" \
        "-root -speed 100" "-window-id"; do
        run $bad
        [ $code -eq 2 ] || fail "$bad: exit code $code"
        one_line "$bad"
        [ -z "$out" ] || fail "$bad printed: $out"
    done
    [ ! -e "$DIR/config" ] || fail "a bad option touched the settings"
    # No display: one line, and the exit code of a failed start (1: not a success).
    for form in "-root" "/s" "-window" "-window-id 0x400001" "/p 1234"; do
        env -u DISPLAY "$SAVER" $form >"$DIR/out" 2>"$DIR/err"
        code=$?
        err=$(cat "$DIR/err")
        [ $code -eq 1 ] || fail "$form without a display: exit code $code"
        one_line "$form without a display"
        echo "$err" | grep -q DISPLAY || fail "$form: $err"
    done
    DISPLAY=:9999 "$SAVER" -root >"$DIR/out" 2>"$DIR/err"
    code=$?
    err=$(cat "$DIR/err")
    [ $code -eq 1 ] || fail "display :9999: exit code $code"
    one_line "display :9999"
    echo "$err" | grep -q ':9999' || fail "display :9999: $err"
    echo "1 passed, 0 failed"
    exit 0
fi

if [ "$CASE" = xscreensaver ]; then
    export HOME="$DIR/home"
    mkdir -p "$HOME"
    # A fresh account: the file is made with TELVOR alone (xscreensaver adds its own hacks).
    run --add-to-xscreensaver
    [ $code -eq 0 ] || fail "fresh account: exit code $code: $err"
    grep -q '"TELVOR" telvor-saver -root' "$HOME/.xscreensaver" || fail "fresh: $(cat "$HOME/.xscreensaver")"
    cp "$HOME/.xscreensaver" "$DIR/first"
    run --add-to-xscreensaver
    [ $code -eq 0 ] || fail "second run: exit code $code"
    cmp -s "$HOME/.xscreensaver" "$DIR/first" || fail "a second run changed the file"
    # An existing file as xscreensaver-settings writes it: every other line kept.
    printf '# XScreenSaver Preferences File\nmode:\t\tone\nselected:\t1\n\nprograms:\t\t\t      \\\n\t\t\t\tmaze --root\t\t    \\n\\\n- GL: \t\t\t\tsuperquadrics --root\t    \\n\\\n\n\npointerHysteresis:  10\n' \
        >"$HOME/.xscreensaver"
    chmod 600 "$HOME/.xscreensaver"
    cp "$HOME/.xscreensaver" "$DIR/before"
    run --add-to-xscreensaver
    [ $code -eq 0 ] || fail "existing file: exit code $code: $err"
    diff "$DIR/before" "$HOME/.xscreensaver" >"$DIR/diff"
    [ "$(grep -c '^[<>]' "$DIR/diff")" -eq 1 ] || fail "more than one line changed: $(cat "$DIR/diff")"
    grep -q '^> .*"TELVOR" telvor-saver -root' "$DIR/diff" || fail "not added: $(cat "$DIR/diff")"
    [ "$(stat -c %a "$HOME/.xscreensaver")" = 600 ] || fail "permissions not kept"
    ls -a "$HOME" | grep -q 'telvor-' && fail "a temporary was left"
    # A damaged file is refused and left byte for byte.
    printf 'programs: maze --root \\n\\\n' >"$HOME/.xscreensaver"
    cp "$HOME/.xscreensaver" "$DIR/damaged"
    run --add-to-xscreensaver
    [ $code -eq 1 ] || fail "damaged file: exit code $code"
    one_line "damaged file"
    cmp -s "$HOME/.xscreensaver" "$DIR/damaged" || fail "the damaged file was rewritten"
    echo "1 passed, 0 failed"
    exit 0
fi

for tool in Xvfb xdotool xev import convert; do
    command -v $tool >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done
SCREENS="-screen 0 1024x768x24"
# Two monitors as Xvfb's Xinerama reports them: both at the root's corner, the second larger, so
# that the root is the second's size and the primary's picture must not be stretched over it.
[ "$CASE" = monitors ] && SCREENS="+xinerama -screen 0 640x480x24 -screen 1 800x600x24"
Xvfb -displayfd 3 $SCREENS -nolisten tcp -noreset 3>"$DIR/display" 2>/dev/null &
pids="$!"
for i in $(seq 100); do [ -s "$DIR/display" ] && break; sleep 0.1; done
[ -s "$DIR/display" ] || { echo "SKIP: Xvfb did not start"; exit 77; }
export DISPLAY=":$(cat "$DIR/display")"

# The colours of the picture below the status band of an image.
map_colours() {
    convert "$1" -crop "${2}+0+60" +repage -format %c histogram:info:- | tr 'a-f' 'A-F'
}

if [ "$CASE" = window ]; then
    # Failed starts: a window that does not exist; a bad XSCREENSAVER_WINDOW is said and ignored.
    run -window-id 0x1fffff0
    [ $code -eq 1 ] || fail "missing window: exit code $code"
    one_line "missing window"
    run /p 33554416
    [ $code -eq 1 ] || fail "missing preview window: exit code $code"
    one_line "missing preview window"
    XSCREENSAVER_WINDOW=abc "$SAVER" -root 2>"$DIR/err" &
    ROOT=$!
    pids="$pids $ROOT"
    sleep 2
    kill -0 $ROOT 2>/dev/null || fail "-root with a bad XSCREENSAVER_WINDOW did not run"
    kill $ROOT
    wait $ROOT
    err=$(cat "$DIR/err")
    one_line "bad XSCREENSAVER_WINDOW"
    echo "$err" | grep -q 'XSCREENSAVER_WINDOW "abc"' || fail "bad XSCREENSAVER_WINDOW: $err"

    # -window: an ordinary window that the pointer does not end, that follows its size, and
    # that ends the saver when it goes.
    "$SAVER" -window &
    WIN=$!
    pids="$pids $WIN"
    w=$(timeout 20 xdotool search --sync --onlyvisible --name '^TELVOR$' | head -1)
    [ -n "$w" ] || fail "no window"
    [ "$(xwininfo -id "$w" | sed -n 's/.*Override Redirect State: //p')" = no ] ||
        fail "not an ordinary window"
    sleep 2
    xdotool mousemove --window "$w" 10 10 mousemove --window "$w" 200 200 click 1 key a
    sleep 1
    kill -0 $WIN 2>/dev/null || fail "input ended the -window saver"
    xdotool windowsize "$w" 400 300
    sleep 2
    import -window "$w" "$DIR/small.png"
    [ "$(identify -format %wx%h "$DIR/small.png")" = 400x300 ] || fail "not resized"
    map_colours "$DIR/small.png" 400x200 | grep -q '#800080' || fail "no map after the resize"
    [ "$(convert "$DIR/small.png" -crop 1x1+399+299 -format '%[hex:u]' info:-)" != 000000 ] ||
        fail "the picture does not fill the resized window"
    # The window manager's close (here: the client is disconnected) ends it with code 0.
    xdotool windowkill "$w"
    for i in $(seq 30); do kill -0 $WIN 2>/dev/null || break; sleep 0.1; done
    kill -0 $WIN 2>/dev/null && fail "still running after its window was closed"
    wait $WIN
    echo "1 passed, 0 failed"
    exit 0
fi

if [ "$CASE" = options ]; then
    # xscreensaver's form with the panel's options: the zone is drawn single (green over the
    # sea), never cumulative (red over the sea), with the settings file saying otherwise.
    mkdir -p "$DIR/config/telvor"
    printf '[TELVOR]\nSpeed=1\nCumulative=1\n' >"$DIR/config/telvor/telvor.ini"
    host_window 640x400
    XSCREENSAVER_WINDOW=$host "$SAVER" -root -speed 99 -no-cumulative -date 2024-03-10 &
    HACK=$!
    pids="$pids $HACK"
    found=""
    for i in $(seq 40); do
        sleep 0.5
        import -window "$host" "$DIR/shot.png" || continue
        colours=$(map_colours "$DIR/shot.png" 640x340)
        echo "$colours" | grep -q '#FF0080' && fail "a cumulative (red) zone was drawn"
        if echo "$colours" | grep -q '#80FF80'; then found=yes; break; fi
    done
    [ -n "$found" ] || fail "no single (green) zone within 20 s at speed 99"
    grep -q 'Speed=1' "$DIR/config/telvor/telvor.ini" || fail "the settings file was changed"
    kill $HACK
    wait $HACK
    echo "1 passed, 0 failed"
    exit 0
fi
if [ "$CASE" = faults ]; then
    # A settings file that is a FIFO counts as none: the saver and the dialog start at once, and
    # SIGTERM ends each within a second.
    mkdir -p "$DIR/config/telvor"
    mkfifo "$DIR/config/telvor/telvor.ini"
    host_window 320x240
    for form in "-window-id $host" "-c"; do
        "$SAVER" $form &
        PID=$!
        pids="$pids $PID"
        if [ "$form" = -c ]; then
            timeout 10 xdotool search --sync --name "TELVOR Screen Saver Configuration" >/dev/null ||
                fail "-c: no dialog with a FIFO for settings"
        else
            sleep 2
            import -window "$host" "$DIR/shot.png"
            map_colours "$DIR/shot.png" 320x180 | grep -q '#800080' || fail "$form: no map"
        fi
        kill -TERM $PID
        for i in $(seq 10); do kill -0 $PID 2>/dev/null || break; sleep 0.1; done
        kill -0 $PID 2>/dev/null && fail "$form: still running a second after SIGTERM"
        wait $PID
    done
    [ -p "$DIR/config/telvor/telvor.ini" ] || fail "the FIFO was replaced"
    echo "1 passed, 0 failed"
    exit 0
fi

if [ "$CASE" = monitors ]; then
    # /s and -root on the root window: the map on the primary monitor, the rest of the root black.
    for form in /s -root; do
        xdotool mousemove 320 240
        "$SAVER" $form &
        PID=$!
        pids="$pids $PID"
        sleep 3
        kill -0 $PID 2>/dev/null || fail "$form did not keep running"
        import -window root "$DIR/root.png"
        [ "$(identify -format %wx%h "$DIR/root.png")" = 800x600 ] || fail "not the two monitors"
        left=$(convert "$DIR/root.png" -crop 640x480+0+0 +repage -format %c histogram:info:- |
            tr 'a-f' 'A-F')
        echo "$left" | grep -q '#FF00FF' || fail "$form: no land on the primary monitor"
        echo "$left" | grep -q '#800080' || fail "$form: no sea on the primary monitor"
        for rest in 160x600+640+0 800x120+0+480; do
            other=$(convert "$DIR/root.png" -crop $rest +repage -format %c histogram:info:- |
                tr 'a-f' 'A-F')
            [ "$(echo "$other" | grep -c .)" -eq 1 ] && echo "$other" | grep -q '#000000' ||
                fail "$form: the other monitor ($rest) is not black: $other"
        done
        kill $PID
        wait $PID
    done
    echo "1 passed, 0 failed"
    exit 0
fi
fail "unknown case"
