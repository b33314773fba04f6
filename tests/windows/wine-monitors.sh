#!/bin/sh
# Windows tests under Wine on two monitors (Xinerama: 1024 x 768 primary, 800 x 600 to its
# right; see start_xvfb in lib.sh): /s shows the map and the status line on the primary monitor and black on the
# other, and ends on input on either: a movement of 5 pixels on the second, a key with the
# cursor on the first, a click on the second. Argument: a scratch folder.
WORK=${1:?scratch folder}
TWO_MONITORS=1
. "$(dirname "$0")/lib.sh"
begin_wine_test
# Wine takes its monitors from XRandR before Xinerama, and Xephyr's XRandR knows one screen: for
# this test only, Xinerama (the prefix is shared with the other tests).
x11_key='HKCU\Software\Wine\X11 Driver'
"$WINE" reg add "$x11_key" /v UseXRandR /t REG_SZ /d N /f >/dev/null 2>&1
trap '"$WINE" reg delete "$x11_key" /v UseXRandR /f >/dev/null 2>&1; cleanup' EXIT
wineserver -k >/dev/null 2>&1
timeout 30 wineserver -w >/dev/null 2>&1
monitors=$("$WINE" ./telvor_winhelper.exe monitors | tr -d '\r')
echo "monitors, virtual screen: $monitors"
check "Wine sees two monitors side by side" test "$monitors" = "2 0 0 1824 768"

second=800x600+1024+0
xdotool mousemove 1400 300
start_program moved 120 ./telvor.scr /s
check "the map shows on the primary monitor" \
    wait_for_colour "$WORK/s.png" 1024x718+0+50 ff00ff 50000 30
check "the status line is on the primary monitor" has_colour "$WORK/s.png" 1024x50+0+0 00ff00 200
check "the second monitor is black" has_colour "$WORK/s.png" "$second" 000000 475000
check "the second monitor shows no map" test "$(colour_count "$WORK/s.png" "$second" 800080)" -eq 0
xdotool mousemove_relative 4 0
sleep 2
check "a movement of 4 pixels on the second monitor leaves it running" running moved
xdotool mousemove_relative 1 0
check "a movement of 5 pixels on the second monitor ends it" exits_with moved 10 0

# start_on NAME X Y: the saver started with the cursor at X, Y, once its picture shows.
start_on() {
    xdotool mousemove "$2" "$3"
    start_program "$1" 120 ./telvor.scr /s
    wait_for_colour "$WORK/$1.png" 1024x718+0+50 ff00ff 50000 30
}
start_on key 500 400
xdotool key x
check "a key with the cursor on the primary monitor ends it" exits_with key 10 0
start_on click 1400 300
xdotool click 1
check "a click on the second monitor ends it" exits_with click 10 0
finish
