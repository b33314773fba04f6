#!/bin/sh
# Windows tests under Wine: the x86_64 saver runs lunation after lunation at full speed with a
# dwell of one second, and its GDI object count, read at the end of each lunation (surfaces
# released), does not grow. Arguments: a scratch folder and the number of lunations
# (TELVOR_SOAK_LUNATIONS overrides it; a lunation takes about half a minute under Wine here).
WORK=${1:?scratch folder}
LUNATIONS=${TELVOR_SOAK_LUNATIONS:-${2:-6}}
. "$(dirname "$0")/lib.sh"
begin_wine_test
animation_rva=$(symbol_rva animationState)
xdotool mousemove 512 384
printf '[TELVOR]\r\nToday=1\r\nSpeed=99\r\nDwell=1\r\nFull Speed=1\r\n' >telvor.ini

limit=$((LUNATIONS * 120 + 60))
start_program saver $((limit + 30)) ./telvor.scr /s
check "the saver has started" wait_for_process telvor.scr 60
start=$(date +%s)
timeout $((limit + 10)) "$WINE" ./telvor_winhelper.exe soak telvor.scr "$animation_rva" \
    "$LUNATIONS" "$limit" | tr -d '\r' >"$WORK/soak.txt"
echo "$LUNATIONS lunations in $(($(date +%s) - start)) s:"
cat "$WORK/soak.txt"
counts=$(awk '$1 == "lunation" && $3 == "gdi" { print $4 }' "$WORK/soak.txt")
check "all $LUNATIONS lunations ended" test "$(echo "$counts" | grep -c .)" -eq "$LUNATIONS"
check "the GDI objects were counted" test "$(echo "$counts" | head -n 1)" -gt 0
no_growth() {
    first=$(echo "$counts" | head -n 1)
    for c in $counts; do [ "$c" -le "$first" ] || return 1; done
}
check "the GDI object count does not grow from lunation to lunation" no_growth
check "the saver still runs" running saver
xdotool key x
check "a key ends it with exit code 0" exits_with saver 10 0
finish
