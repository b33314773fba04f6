#!/bin/sh
# Windows tests: the i686 telvor.scr is a PE32 GUI program for i386 that Windows XP can load,
# imports only system DLLs and carries its resources; the x86_64 twin is PE32+.
# Argument: a scratch folder.
WORK=${1:?scratch folder}
. "$(dirname "$0")/lib.sh"
mkdir -p "$WORK"
build_windows || exit 1
S=$WIN32_SCR
objdump -p "$S" >"$WORK/pe32.txt"
objdump -p "$WIN64_SCR" >"$WORK/pe64.txt"
wrestool -l "$S" >"$WORK/resources.txt"

has() { grep -q -- "$2" "$1"; }
check "PE32 for i386" has "$WORK/pe32.txt" 'file format pei-i386'
check "PE32 magic" has "$WORK/pe32.txt" 'Magic.*010b'
check "GUI subsystem" has "$WORK/pe32.txt" 'Subsystem.*(Windows GUI)'
# Windows XP is 5.1: a larger subsystem version would refuse to load there.
subsystem=$(awk '$1 == "MajorSubsystemVersion" { print $2 }' "$WORK/pe32.txt")
check "subsystem version loads on XP" test "${subsystem:-9}" -le 5
dlls=$(awk '/DLL Name:/ { print toupper($3) }' "$WORK/pe32.txt" | sort -u | tr '\n' ' ')
echo "imported DLLs: $dlls"
only_system() {
    for d in $dlls; do
        case $d in KERNEL32.DLL | USER32.DLL | GDI32.DLL | MSVCRT.DLL | ADVAPI32.DLL | SHELL32.DLL) ;; *) return 1 ;; esac
    done
    [ -n "$dlls" ]
}
check "imports only system DLLs" only_system
# Functions that came with Vista or later: none may be imported.
awk '/DLL Name:/ { d = 1; next } d && NF >= 3 && $1 ~ /^[0-9a-f]+$/ { print $3 }' "$WORK/pe32.txt" >"$WORK/imports.txt"
no_post_xp_import() {
    ! grep -qxE 'GetTickCount64|InitializeCriticalSectionEx|InitOnce[A-Za-z]*|[A-Za-z]*SRWLock[A-Za-z]*|[A-Za-z]*ConditionVariable[A-Za-z]*|Fls(Alloc|Free|GetValue|SetValue)|GetSystemTimePreciseAsFileTime|Create(Event|Mutex|Semaphore)Ex[AW]|GetCurrentProcessorNumber|SetThreadStackGuarantee|LCIDToLocaleName|LocaleNameToLCID|GetLocaleInfoEx|CompareStringEx|GetFinalPathNameByHandle[AW]|CreateSymbolicLink[AW]|GetFileInformationByHandleEx|SetFileInformationByHandle|QueryFullProcessImageName[AW]|SetProcessDPIAware|SetProcessDpiAwareness[A-Za-z]*|GetDpiForWindow' "$WORK/imports.txt"
}
check "import list read" grep -qx FindResourceA "$WORK/imports.txt"
check "imports nothing newer than XP" no_post_xp_import
# A release product: no symbols and no debugging sections; they are kept in telvor.scr.debug.
for program in "$S" "$WIN64_SCR"; do
    name=$(basename "$(dirname "$(dirname "$program")")")/telvor.scr
    check "$name has no debugging sections" sh -c "! objdump -h '$program' | grep -qiE 'debug|DEBUGGING'"
    check "$name has no symbol table" test "$(objdump -f "$program" | grep -c HAS_SYMS)" -eq 0
    check "$name.debug keeps the symbols" sh -c "objdump -t '$program.debug' | grep -qE ' _?saverSettings\$'"
done
echo "sizes: $(wc -c <"$S") bytes (i686), $(wc -c <"$WIN64_SCR") bytes (x86_64)"
# telvor.exe: a console program of each bitness, linked statically, only system DLLs.
for program in "$WIN32_TELVOR" "$WIN64_TELVOR"; do
    objdump -p "$program" >"$WORK/telvor.txt"
    name=$(basename "$(dirname "$(dirname "$program")")")/telvor.exe
    check "$name is a console program" has "$WORK/telvor.txt" 'Subsystem.*(Windows CUI)'
    dlls=$(awk '/DLL Name:/ { print toupper($3) }' "$WORK/telvor.txt" | sort -u | tr '\n' ' ')
    echo "$name imports: $dlls"
    check "$name imports only system DLLs" only_system
    check "$name has no debugging sections" sh -c "! objdump -h '$program' | grep -qiE 'debug|DEBUGGING'"
done
# telvor-tonight.exe, the Start-menu entry's launcher: a GUI program (no console window).
for program in "$ROOT/build-win32/tools/telvor-tonight.exe" "$ROOT/build-win64/tools/telvor-tonight.exe"; do
    objdump -p "$program" >"$WORK/tonight.txt"
    name=$(basename "$(dirname "$(dirname "$program")")")/telvor-tonight.exe
    check "$name is a GUI program" has "$WORK/tonight.txt" 'Subsystem.*(Windows GUI)'
    dlls=$(awk '/DLL Name:/ { print toupper($3) }' "$WORK/tonight.txt" | sort -u | tr '\n' ' ')
    check "$name imports only system DLLs" only_system
done
echo "telvor.exe sizes: $(wc -c <"$WIN32_TELVOR") bytes (i686), $(wc -c <"$WIN64_TELVOR") bytes (x86_64)"
check "i686 telvor.exe is PE32" sh -c "objdump -p '$WIN32_TELVOR' | grep -q 'Magic.*010b'"
check "PE32+ twin for x86-64" has "$WORK/pe64.txt" 'file format pei-x86-64'
check "twin has the GUI subsystem" has "$WORK/pe64.txt" 'Subsystem.*(Windows GUI)'

# Resources, as wrestool lists them: type, name, size.
check "bitmap _EARTH_ of 40048 bytes" has "$WORK/resources.txt" "--type=2 --name='_EARTH_' .*size=40048"
check "icon group _ICON_" has "$WORK/resources.txt" "--type=14 --name='_ICON_'"
check "dialog CONFIGDLG" has "$WORK/resources.txt" "--type=5 --name='CONFIGDLG'"
check "string table block 1" has "$WORK/resources.txt" "--type=6 --name=1 "
check "version resource" has "$WORK/resources.txt" "--type=16 --name=1 "
check "manifest" has "$WORK/resources.txt" "--type=24 --name=1 "

wrestool -x --raw --type=6 --name=1 "$S" >"$WORK/strings.bin"
# String 1 is the second of block 1: after the empty string 0 (one zero word), its length word.
display_name=$(tail -c +5 "$WORK/strings.bin" | head -c 52 | iconv -f UTF-16LE -t UTF-8)
check "string 1 is the display name" test "$display_name" = "TELVOR Crescent Visibility"
check "string 1 has its length" test "$(od -An -tu2 -j2 -N2 "$WORK/strings.bin" | tr -d ' ')" = 26

wrestool -x --raw --type=5 --name=CONFIGDLG "$S" >"$WORK/dialog.bin"
# The template begins with its style (WS_CAPTION | DS_CENTER | DS_SETFONT), extended style
# and control count.
check "dialog style" test "$(od -An -tx4 -N4 "$WORK/dialog.bin" | tr -d ' ')" = 00c00840
check "dialog has 21 controls" test "$(od -An -tu2 -j8 -N2 "$WORK/dialog.bin" | tr -d ' ')" = 21

wrestool -x --raw --type=24 --name=1 "$S" >"$WORK/manifest.xml"
check "manifest declares DPI awareness" grep -q '<dpiAware[^>]*>true</dpiAware>' "$WORK/manifest.xml"
for os in e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a \
    4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 1f676c76-80e1-4239-95bb-83d0f6d0da78 \
    8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
    check "manifest names supported OS $os" grep -q "supportedOS Id=\"{$os}\"" "$WORK/manifest.xml"
done
finish
