#!/bin/sh
# Windows tests under Wine: /s shows the map and the status line; a mouse movement of 4 pixels
# leaves the saver running, one of 5 pixels ends it with exit code 0. Argument: a scratch folder.
WORK=${1:?scratch folder}
. "$(dirname "$0")/lib.sh"
begin_wine_test

xdotool mousemove 512 384
start_program saver 120 ./telvor.scr /s
map=1024x718+0+50
check "map shows land" wait_for_colour "$WORK/s.png" "$map" ff00ff 50000 30
check "map shows sea" has_colour "$WORK/s.png" "$map" 800080 100000
# The date line, one pixel wide from top to bottom of the map: pure blue, or dark blue where the
# frame's merge darkens it over the sea.
date_line() {
    [ $(($(colour_count "$WORK/s.png" "$map" 0000ff) + $(colour_count "$WORK/s.png" "$map" 000080))) -ge 500 ]
}
check "map shows the date line" date_line
check "status line is green at the top" has_colour "$WORK/s.png" 1024x50+0+0 00ff00 200
check "status band holds no map" test "$(colour_count "$WORK/s.png" 1024x50+0+0 800080)" -eq 0

check "saver runs before any input" running saver
xdotool mousemove_relative 4 0
sleep 2
check "a movement of 4 pixels leaves it running" running saver
xdotool mousemove_relative -- -4 4
sleep 2
check "4 pixels down (after going back) leave it running" running saver
xdotool mousemove_relative 0 1
check "a movement of 5 pixels ends it with exit code 0" exits_with saver 10 0
echo "saver exit code: $code"
finish
