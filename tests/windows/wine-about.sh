#!/bin/sh
# Windows tests under Wine: the dialog's about text fits its control with the system font at 96
# and at 120 DPI: wrapped in the control's font and width it needs no more lines than the
# control's height holds, and the dialog that /c shows draws it there (screenshots kept as
# about-DPI.png in the scratch folder). Argument: a scratch folder.
WORK=${1:?scratch folder}
. "$(dirname "$0")/lib.sh"
begin_wine_test
title="TELVOR Screen Saver Configuration"
xdotool mousemove 1000 700

# set_dpi N: the prefix's screen resolution; Wine reads it when its server starts.
set_dpi() {
    "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
        >/dev/null 2>&1
    wineserver -k >/dev/null 2>&1
    timeout 30 wineserver -w >/dev/null 2>&1
}
# The prefix is shared with the other tests: back to 96 DPI whatever happens.
trap 'set_dpi 96; cleanup' EXIT

for dpi in 96 120; do
    set_dpi "$dpi"
    measured=$("$WINE" ./telvor_winhelper.exe about telvor.scr | tr -d '\r')
    echo "$dpi DPI: $measured"
    field() { echo "$measured" | sed -n "s/.*$1=\([0-9]*\).*/\1/p"; }
    check "$dpi DPI: the system reports it" test "$(field dpi)" = "$dpi"
    check "$dpi DPI: the about text wraps into the lines its control holds" \
        test "$(field lines)" -le "$(field room)"
    start_program "dialog$dpi" 60 ./telvor.scr /c
    if focus_dialog "$title"; then
        sleep 1
        set -- $("$WINE" ./telvor_winhelper.exe rect "$title" | tr -d '\r')
        screenshot "$WORK/about-$dpi.png"
        echo "about text at $1,$2, $3 x $4 pixels"
        check "$dpi DPI: the shown dialog draws the about text" \
            has_colour "$WORK/about-$dpi.png" "${3}x${4}+${1}+${2}" 000000 40
        xdotool key Return
    else
        check "$dpi DPI: the dialog appears" false
    fi
    exits_with "dialog$dpi" 20 1
done
finish
