#!/bin/sh
# telvor-saver /s under Xvfb: it draws the map and the status line, 4 pixels of mouse keep it, 5 end it with code 0.
set -u
SAVER=$1
for tool in Xvfb xdotool import convert; do
    command -v $tool >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done
DIR=$(mktemp -d)
export XDG_CONFIG_HOME="$DIR/config"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset 3>"$DIR/display" 2>/dev/null &
XVFB=$!
trap 'kill $XVFB 2>/dev/null; rm -rf "$DIR"' EXIT
for i in $(seq 50); do [ -s "$DIR/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$DIR/display")"
fail() { echo "FAIL: $*"; exit 1; }

xdotool mousemove 400 300
"$SAVER" /s &
PID=$!
sleep 3
kill -0 $PID 2>/dev/null || fail "the saver did not keep running"
import -window root "$DIR/shot.png"
all=$(convert "$DIR/shot.png" -format %c histogram:info:- | tr 'a-f' 'A-F')
echo "$all" | grep -q "#FF00FF" || fail "no land colour on screen"
echo "$all" | grep -q "#800080" || fail "no sea colour on screen"
band=$(convert "$DIR/shot.png" -crop 800x50+0+0 +repage -format %c histogram:info:- | tr 'a-f' 'A-F')
echo "$band" | grep -q "#00FF00" || fail "no status line"

xdotool mousemove 404 304
sleep 1
kill -0 $PID 2>/dev/null || fail "4 pixels ended the saver"
xdotool mousemove 405 300
for i in $(seq 30); do kill -0 $PID 2>/dev/null || break; sleep 0.1; done
if kill -0 $PID 2>/dev/null; then kill $PID; fail "5 pixels did not end the saver"; fi
wait $PID
code=$?
[ $code -eq 0 ] || fail "exit code $code"
echo "1 passed, 0 failed"
