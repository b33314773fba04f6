#!/bin/sh
# Windows tests under Wine: /p <window> draws the map into a window that the test owns and ends
# when that window is destroyed; /a, and a second /p while a saver runs, exit at once with 0.
# Argument: a scratch folder.
WORK=${1:?scratch folder}
. "$(dirname "$0")/lib.sh"
begin_wine_test
xdotool mousemove 1000 700

start_host 100 100 400 200 || exit 1
start_program saver 120 ./telvor.scr /p "$host_window"
area=400x200+100+100
check "preview shows land in the host window" wait_for_colour "$WORK/p.png" "$area" ff00ff 5000 30
check "preview shows sea in the host window" has_colour "$WORK/p.png" "$area" 800080 20000
# The saver's own window stays hidden: the screen around the host window is untouched.
check "nothing drawn outside the host window" test \
    "$(colour_count "$WORK/p.png" 500x768+524+0 000000)" -eq $((500 * 768))

start_program second 30 ./telvor.scr /p "$host_window"
check "a second /p exits at once with 0" exits_with second 10 0
start_program about 30 ./telvor.scr /a
check "/a exits at once with 0" exits_with about 10 0
check "/a writes no settings file" test ! -e telvor.ini
check "the first preview still runs" running saver

end_host
check "the preview ends when its window is destroyed" wait_exit saver 15
# The loop drops the first message it takes once the window is gone and returns its wParam
# (1 for the timer); a time limit would give 124.
check "the preview was not ended by the time limit" test "$code" != 124 -a "$code" != 137
echo "preview exit code: $code"
finish
