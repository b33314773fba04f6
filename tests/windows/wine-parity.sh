#!/bin/sh
# Windows tests under Wine: the x86_64 saver starts a lunation and finds its first visible place
# exactly as the Linux build does (telvor lunation) for the same start date, zone and settings.
# Arguments: a scratch folder and the Linux telvor program.
WORK=${1:?scratch folder}
TELVOR=$(realpath "${2:?the telvor program}")
. "$(dirname "$0")/lib.sh"
begin_wine_test
start_rva=$(symbol_rva lunationStart)
visible_rva=$(symbol_rva visiblePointText)
xdotool mousemove 512 384
# The zone is UT: Wine takes its time zone from TZ.
export TZ=UTC
compare() { # DATE(DD/MM/YYYY) PROBABILITY HEIGHT
    printf '[TELVOR]\r\nToday=0\r\nStart Date=%s\r\nProbability=%s\r\nHeight=%s\r\nFull Speed=1\r\n' \
        "$1" "$2" "$3" >telvor.ini
    start_program saver 180 ./telvor.scr /s
    wait_for_process telvor.scr 60
    windows=$(timeout 150 "$WINE" ./telvor_winhelper.exe lunation telvor.scr "$start_rva" \
        "$visible_rva" | tr -d '\r' | sed 's/text= */text=/')
    # The saver's text is aligned by leading blanks for its status line; the tool drops them.
    xdotool key x
    wait_exit saver 10
    iso=$(echo "$1" | awk -F/ '{ printf "%04d-%02d-%02d", $3, $2, $1 }')
    linux=$("$TELVOR" lunation --date "$iso" --zone 0 --probability "$2" --height "$3" --json |
        sed 's/°/?/g' | awk '{
            match($0, /"startDate": "[^"]*"/); d = substr($0, RSTART + 14, 10)
            match($0, /"startMinute": -?[0-9]+/); m = substr($0, RSTART + 15, RLENGTH - 15)
            match($0, /"estimate": -?[0-9.e+-]+/); e = substr($0, RSTART + 12, RLENGTH - 12)
            match($0, /"text": "[^"]*"/); t = substr($0, RSTART + 9, RLENGTH - 10)
            printf "start=%s minute=%d estimate=%.8f text=%s\n", d, m, e, t }')
    echo "Windows: $windows"
    echo "Linux:   $linux"
    [ -n "$windows" ] && [ "$windows" = "$linux" ]
}
check "5 March 2024, the defaults" compare 05/03/2024 50 0
check "1 October 2031, probability 80, height 500 m" compare 01/10/2031 80 500
finish
