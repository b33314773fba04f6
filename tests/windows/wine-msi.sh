#!/bin/sh
# Windows tests of the installers. The x64 package under Wine: msiexec /i /qn puts telvor.scr
# into System32 and a Start-menu entry that opens its settings (/c), registered per machine;
# telvor.exe into Program Files\TELVOR, whose folder goes on the machine's PATH, and the entry
# "Tonight's crescent", which writes tonight's map into the user's Pictures folder; msiexec /x
# removes them all, the PATH entry too, and leaves the user's settings files. The x86 package, which Wine's
# 64-bit prefix would put elsewhere, is read with msiinfo: the 32-bit product into the system
# folder of 32-bit programs, the same entry, no custom actions. Argument: a scratch folder.
WORK=${1:?scratch folder}
. "$(dirname "$0")/lib.sh"
begin_wine_test
title="TELVOR Screen Saver Configuration"
xdotool mousemove 1000 700
version=$(awk -F'[ )]' '/^project\(telvor VERSION/ { print $3 }' "$ROOT/CMakeLists.txt")
MSI64=$ROOT/build-win64/telvor-$version-x64.msi
MSI32=$ROOT/build-win32/telvor-$version-x86.msi
check "both packages were built" test -f "$MSI64" -a -f "$MSI32"
cp "$MSI64" "$RUN/telvor.msi"

c=$WINEPREFIX/drive_c
saver=$c/windows/system32/telvor.scr
# Windows puts a per-machine package's entry into the common Start menu; Wine's msiexec takes the
# user's Start menu for it all the same, so either is accepted here.
menus="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/TELVOR
$c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/TELVOR"
find_entry() {
    menu=$(echo "$menus" | head -n 1)
    entry="$menu/TELVOR Crescent Visibility Settings.lnk"
    [ -f "$entry" ] && return 0
    menu=$(echo "$menus" | tail -n 1)
    entry="$menu/TELVOR Crescent Visibility Settings.lnk"
    [ -f "$entry" ]
}
no_menu() {
    echo "$menus" | while read -r m; do [ ! -e "$m" ] || exit 1; done
}
find_tonight() {
    tonight="$menu/Tonight's crescent.lnk"
    [ -f "$tonight" ]
}
tool=$c/Program\ Files/TELVOR/telvor.exe
environment='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
# The machine's PATH as Wine's registry holds it.
machine_path() {
    "$WINE" reg query "$environment" /v PATH 2>/dev/null | tr -d '\r' |
        awk '$1 == "PATH" || $1 == "Path" { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}
on_path() { machine_path | tr ';' '\n' | grep -qixF 'C:\Program Files\TELVOR\'; }
not_on_path() { ! on_path; }
# The PATH before installing, with its entries in order: kept in front (Wine may leave a
# closing semicolon after removing the entry).
path_starts_as_before() {
    now=$(machine_path)
    case "$now" in "${path_before%;}"*) return 0 ;; esac
    return 1
}
path_as_before() { [ "$(machine_path | sed 's/;*$//')" = "$(printf '%s\n' "$path_before" | sed 's/;*$//')" ]; }
profile=$c/users/$(id -un)/AppData/Roaming/TELVOR
product=$(msiinfo export "$MSI64" Property | awk '$1 == "ProductCode" { print $2 }' | tr -d '\r')
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product"
has_key() { "$WINE" reg query "$@" >/dev/null 2>&1; }
no_key() { ! has_key "$@"; }
# The user's settings, which neither installing nor removing may touch.
mkdir -p "$profile"
printf '[TELVOR]\r\nProbability=61\r\n' >"$profile/telvor.ini"
cp "$profile/telvor.ini" "$WORK/user.ini"
rm -f "$c/windows/system32/telvor.ini"

# What an interrupted earlier run may have left installed goes first.
timeout 300 "$WINE" msiexec /x telvor.msi /qn >/dev/null 2>&1
path_before=$(machine_path)
timeout 300 "$WINE" msiexec /i telvor.msi /qn >"$WORK/install.out" 2>&1
check "msiexec /i /qn succeeds" test $? -eq 0
check "telvor.scr is in System32" cmp -s "$saver" "$WIN64_SCR"
check "the Start-menu entry is there" find_entry
echo "Start-menu entry: $entry"
check "the entry runs the saver with /c" sh -c "strings -n 2 -el '$entry' | grep -qx '/c'"
check "telvor.exe is in Program Files\\TELVOR" cmp -s "$tool" "$WIN64_TELVOR"
echo "PATH after installing: $(machine_path)"
check "its folder is on the machine's PATH" on_path
check "the PATH keeps what it had, in front" path_starts_as_before
check "the entry \"Tonight's crescent\" is there" find_tonight
check "the entry is registered per machine" has_key 'HKLM\Software\TELVOR' /v StartMenuEntry
check "the product is listed for uninstalling" has_key "$uninstall_key"

# The entry opens the settings dialog, which OK closes (Wine's start returns at once for a
# shortcut: the saver's process is watched instead).
start_program entry 120 start /unix "$entry"
check "the Start-menu entry opens the settings dialog" focus_dialog "$title"
closed() {
    for _ in $(seq 20); do
        "$WINE" ./telvor_winhelper.exe gdi telvor.scr >/dev/null 2>&1 || return 0
        focus_dialog "$title" && xdotool key Return
        sleep 1
    done
    return 1
}
check "OK closes it" closed
# "Tonight's crescent" writes today's map into the Pictures folder (made a folder of the prefix
# here, not a link to this machine's own) and opens it; whether a viewer opens is Wine's affair.
pictures=$c/users/$(id -un)/Pictures
[ -L "$pictures" ] && rm -f "$pictures"
rm -rf "$pictures" && mkdir -p "$pictures"
picture="$pictures/TELVOR crescent $(date +%Y-%m-%d).png"
start_program tonight 300 start /unix "$tonight"
written() {
    for _ in $(seq 240); do
        [ -s "$picture" ] && ! ls "$pictures"/*.tmp* >/dev/null 2>&1 && return 0
        sleep 0.5
    done
    return 1
}
check "Tonight's crescent writes today's map into Pictures" written
check "the map is a PNG" sh -c "identify -format '%m' '$picture' | grep -qx PNG"
"$WINE" ./telvor_winhelper.exe gdi telvor-tonight.exe >/dev/null 2>&1 && echo "(the launcher waits for a viewer)"
timeout 30 wineserver -k >/dev/null 2>&1
timeout 30 wineserver -w >/dev/null 2>&1
timeout 300 "$WINE" msiexec /x telvor.msi /qn >"$WORK/uninstall.out" 2>&1
check "msiexec /x /qn succeeds" test $? -eq 0
check "telvor.scr is removed" test ! -e "$saver"
check "the Start-menu entry and its folder are removed" no_menu
check "the registry value is removed" no_key 'HKLM\Software\TELVOR' /v StartMenuEntry
check "telvor.exe is removed" test ! -e "$tool"
echo "PATH after removing: $(machine_path)"
check "its folder is no longer on the PATH" not_on_path
check "the PATH is as before" path_as_before
check "the product is no longer listed" no_key "$uninstall_key"
check "the user's settings file is left as it was" cmp -s "$profile/telvor.ini" "$WORK/user.ini"
# Wine lets the dialog write beside the program, in System32: that file is the user's too.
check "the settings the dialog saved are left" test -f "$c/windows/system32/telvor.ini"
rm -f "$c/windows/system32/telvor.ini"

# The 32-bit package, read.
table() { msiinfo export "$MSI32" "$1" | tail -n +4 | tr -d '\r'; }
check "x86 package: for 32-bit Intel" sh -c "msiinfo suminfo '$MSI32' | grep -qx 'Template: Intel;1033'"
check "x86 package: per machine" sh -c "msiinfo export '$MSI32' Property | grep -q '^ALLUSERS	1'"
check "x86 package: telvor.scr into the 32-bit system folder" \
    test "$(table Component | awk '$1 == "Saver" { print $3 }')" = SystemFolder
check "x86 package: its component is a 32-bit one" \
    test $(($(table Component | awk '$1 == "Saver" { print $4 }') & 256)) -eq 0
check "x86 package: ships the i686 product" \
    test "$(table File | awk -F'\t' '$1 == "TelvorScr" { print $4 }')" = "$(wc -c <"$WIN32_SCR")"
check "x86 package: the Start-menu entry runs it with /c" \
    test "$(table Shortcut | awk -F'\t' '$1 == "SettingsShortcut" { print $5 " " $6 }')" = "[#TelvorScr] /c"
check "x86 package: no custom actions" test -z "$(table CustomAction)"
check "x86 package: telvor.exe into its own Program Files folder" \
    test "$(table Directory | awk -F'\t' '$1 == "TelvorFolder" { print $2 }')" = ProgramFilesFolder
check "x86 package: ships the i686 telvor.exe" \
    test "$(table File | awk -F'\t' '$1 == "TelvorExe" { print $4 }')" = "$(wc -c <"$WIN32_TELVOR")"
check "x86 package: its folder appended to the machine's PATH, removed on uninstall" \
    test "$(table Environment | awk -F'\t' '$1 == "ToolPath" { print $2 " " $3 " " $4 }')" = "=-*PATH [~];[TelvorFolder] Tool"
check "x86 package: the PATH is written and removed by the standard actions" \
    test "$(table InstallExecuteSequence | awk -F'\t' '$1 ~ /EnvironmentStrings$/' | wc -l)" -eq 2
check "x86 package: the entry \"Tonight's crescent\" runs the launcher" \
    test "$(table Shortcut | awk -F'\t' '$1 == "TonightShortcut" { print $3 " " $5 }')" = "Tonight's crescent [#TonightExe]"
finish
