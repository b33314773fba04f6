#!/bin/sh
# Windows tests under Wine: /c shows the dialog; driven by the keyboard, a bad probability keeps
# it open and a correct form closes it with exit code 1; the settings file beside the program
# then holds the eight keys in order with the values typed, and a running preview has reloaded
# them. Argument: a scratch folder.
WORK=${1:?scratch folder}
. "$(dirname "$0")/lib.sh"
begin_wine_test
settings_rva=$(symbol_rva saverSettings)
xdotool mousemove 1000 700
title="TELVOR Screen Saver Configuration"

# A preview runs, so that the configuring instance has a saver to tell.
start_host 0 600 200 100 || exit 1
start_program preview 300 ./telvor.scr /p "$host_window"
wait_for_colour "$WORK/p.png" 200x100+0+600 800080 2000 30
check "preview starts with the defaults" test "$(saver_settings)" = \
    "today=1 probability=50 height=0 speed=33 dwell=33 cumulative=1 fullSpeed=0"

start_program configure 240 ./telvor.scr /c
focus_dialog "$title"
check "the dialog appears with its title" test -n "$dialog"
[ -n "$dialog" ] || { finish; exit 1; }
keys() { xdotool key --delay 80 "$@"; }
text() { xdotool type --delay 80 "$1"; }
# The focus starts on "Today"; the tab order follows the dialog's controls. Unticking "Today"
# enables the start date, which the tab then reaches.
keys space Tab space Tab
text "05/03/2021"
keys Tab
text "150"
keys Tab
text "120"
keys Tab
text "7"
keys Tab
text "42"
keys Tab space Return
sleep 2
check "a probability of 150 keeps the dialog open" running configure
check "the dialog is still shown" test -n "$(xdotool search --name "$title" 2>/dev/null)"
# The focus rests on the probability, which failed: mend it and press Enter.
keys End BackSpace BackSpace BackSpace
text "25"
keys Return
check "a correct form closes the dialog with exit code 1" exits_with configure 20 1

expected="[TELVOR]
Today=0
Start Date=05/03/2021
Probability=25
Height=120
Speed=42
Dwell=7
Cumulative=0
Full Speed=1"
check "the settings file holds the eight keys in order" \
    test "$(tr -d '\r' <telvor.ini 2>/dev/null)" = "$expected"
echo "settings file:"
cat telvor.ini 2>/dev/null

reloaded() {
    for _ in $(seq 20); do
        [ "$(saver_settings)" = "today=0 probability=25 height=120 speed=42 dwell=7 cumulative=0 fullSpeed=1" ] && return 0
        sleep 0.5
    done
    return 1
}
check "the running preview reloaded the settings" reloaded
echo "preview settings: $(saver_settings)"
check "the preview still runs" running preview

# The dialog's parent: the window given after /c; the foreground window for /c:1234, whose colon
# ends the number (1234 is no window: with it as parent the dialog could not open); none
# without a switch. Each dialog is closed with Enter over the settings saved above.
dialog_owner() { # NAME EXPECTED ARGS...: runs the saver with ARGS, compares the dialog's owner
    owner_run=$1
    expected=$2
    shift 2
    start_program "$owner_run" 60 ./telvor.scr "$@"
    got=$("$WINE" ./telvor_winhelper.exe owner "$title" | tr -d '\r')
    # Enter closes it. Under load the window may not be viewable yet when first found, and a
    # focus request then fails: try again until the dialog has gone.
    for _ in $(seq 20); do
        running "$owner_run" || break
        w=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n 1)
        if [ -n "$w" ] && xdotool windowfocus --sync "$w" 2>/dev/null; then
            xdotool key Return
            wait_exit "$owner_run" 3 && break
        fi
        sleep 0.5
    done
    exits_with "$owner_run" 20 1 || return 1
    echo "$* -> dialog owner ${got:-none}"
    case $expected in
    not:*) [ -n "$got" ] && [ "$got" != "${expected#not:}" ] ;;
    *) [ "$got" = "$expected" ] ;;
    esac
}
check "/c <window> gives the dialog that parent" dialog_owner c_window "$host_window" /c "$host_window"
check "/c:1234 opens the dialog over the foreground window" dialog_owner c_colon not:1234 /c:1234
check "no switch opens the dialog without a parent" dialog_owner no_switch 0
end_host
wait_exit preview 15
finish
