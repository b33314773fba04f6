#!/bin/sh
# Windows tests under Wine: settings of a saver in a folder that refuses writes (a read-only bind
# mount) go to %APPDATA%\TELVOR\telvor.ini, starting from the file beside the program; a running
# preview in that folder reloads them from there. A saver in a writable folder still keeps its
# file beside it and leaves the profile alone. Argument: a scratch folder. Needs the right to
# mount; without it the test says so and passes.
WORK=${1:?scratch folder}
. "$(dirname "$0")/lib.sh"
begin_wine_test
settings_rva=$(symbol_rva saverSettings)
title="TELVOR Screen Saver Configuration"
xdotool mousemove 1000 700
profile=$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming
rm -rf "$profile/TELVOR"
seed='[TELVOR]
Today=0
Start Date=05/03/2021
Probability=77
Height=12'
printf '%s\n' "$seed" >telvor.ini

# The programs and the seed file, seen read-only through a bind mount.
RO=$WORK/readonly
umount -l "$RO" 2>/dev/null
mkdir -p "$RO"
trap 'cleanup; umount -l "$RO" 2>/dev/null' EXIT
if ! mount --bind -o ro "$RUN" "$RO" 2>"$WORK/mount.err" || touch "$RO/probe" 2>/dev/null; then
    echo "skipped: a read-only bind mount is not allowed here ($(cat "$WORK/mount.err"))"
    rm -f "$RO/probe"
    exit 0
fi

# configure_ok NAME: runs /c in the current folder, ticks "Today" (the focus starts
# there; the seed has it off) and presses OK; true when the dialog closed with exit code 1.
configure_ok() {
    start_program "$1" 120 ./telvor.scr /c
    focus_dialog "$title" || return 1
    xdotool key --delay 80 space Return
    exits_with "$1" 30 1
}

cd "$RO"
start_host 0 600 200 100 || exit 1
start_program preview 300 ./telvor.scr /p "$host_window"
wait_for_colour "$WORK/p.png" 200x100+0+600 800080 2000 30
check "a preview in the read-only folder starts from the file beside it" test "$(saver_settings)" = \
    "today=0 probability=77 height=12 speed=33 dwell=33 cumulative=1 fullSpeed=0"
check "the dialog in the read-only folder closes on OK" configure_ok readonly
expected='[TELVOR]
Today=1
Start Date=05/03/2021
Probability=77
Height=12
Speed=33
Dwell=33
Cumulative=1
Full Speed=0'
check "OK saved the settings into the profile" \
    test "$(tr -d '\r' <"$profile/TELVOR/telvor.ini" 2>/dev/null)" = "$expected"
echo "profile settings file:"
cat "$profile/TELVOR/telvor.ini" 2>/dev/null
check "the file beside the program is unchanged" test "$(cat telvor.ini)" = "$seed"
reloaded() {
    for _ in $(seq 20); do
        [ "$(saver_settings)" = "today=1 probability=77 height=12 speed=33 dwell=33 cumulative=1 fullSpeed=0" ] && return 0
        sleep 0.5
    done
    return 1
}
check "the running preview reloaded them from the profile" reloaded
end_host
wait_exit preview 15
# A new start reads the profile file, no longer the seed.
start_host 0 600 200 100 || exit 1
start_program preview2 300 ./telvor.scr /p "$host_window"
wait_for_colour "$WORK/p.png" 200x100+0+600 800080 2000 30
check "a new preview reads the profile file" reloaded
end_host
wait_exit preview2 15

# A writable folder: the file beside the program, as always; nothing in the profile.
cd "$RUN"
rm -rf "$profile/TELVOR"
check "the dialog in a writable folder closes on OK" configure_ok writable
check "OK saved the settings beside the program" test "$(tr -d '\r' <telvor.ini)" = "$expected"
check "nothing was written into the profile" test ! -e "$profile/TELVOR"
finish
