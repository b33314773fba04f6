#!/bin/sh
# Windows tests, set-up: builds both Windows programs and makes the Wine prefix that the Wine
# tests of this run share. Argument: a scratch folder.
WORK=${1:?scratch folder}
. "$(dirname "$0")/lib.sh"
mkdir -p "$WORK"
build_windows || exit 1
use_wine
rm -rf "$PREFIX_DIR"
trap cleanup EXIT
start_xvfb
start=$(date +%s)
timeout 300 "$WINE" wineboot -i >"$WORK/wineboot.out" 2>&1
timeout 120 wineserver -w
echo "wineboot took $(($(date +%s) - start)) s"
check "prefix made" test -f "$PREFIX_DIR/system.reg"
finish
