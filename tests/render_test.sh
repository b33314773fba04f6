#!/bin/sh
# telvor render on the headless backend: the picture has the map's colours, the zone and the status line.
set -eu
TELVOR=$1
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
colours() { convert "$1" -format %c histogram:info:- | tr 'a-f' 'A-F'; }
has() { echo "$1" | grep -q "#$2" || fail "$3: no #$2 pixels"; }

"$TELVOR" render --date 2024-06-15 --zone 0 --size 320x240 --out "$DIR/full.png" 2>/dev/null
[ -s "$DIR/full.png" ] || fail "no picture written"
all=$(colours "$DIR/full.png")
has "$all" FF00FF "land"
has "$all" 800080 "sea"
has "$all" FFFFFF "earlier zones on land"
has "$all" 80FFFF "earlier zones at sea"
band=$(convert "$DIR/full.png" -crop 320x50+0+0 +repage -format %c histogram:info:- | tr 'a-f' 'A-F')
has "$band" 00FF00 "status line"

"$TELVOR" render --date 2024-06-15 --zone 0 --size 320x240 --preview --cumulative off \
    --out "$DIR/preview.png" --frames "$DIR" --every 500 2>/dev/null
top=$(convert "$DIR/preview.png" -crop 320x20+0+0 +repage -format %c histogram:info:- | tr 'a-f' 'A-F')
echo "$top" | grep -q "#00FF00" && fail "preview has a status line"
ls "$DIR"/frame-000500.png "$DIR"/frame-001000.png >/dev/null || fail "frames not written"

# Bad options: one line, exit 2, no picture.
if "$TELVOR" render --size 10x10 --out "$DIR/bad.png" 2>"$DIR/err"; then fail "bad size accepted"; fi
[ "$(wc -l <"$DIR/err")" -eq 1 ] || fail "bad size: not one line of error"
[ ! -e "$DIR/bad.png" ] || fail "bad size wrote a picture"
echo "1 passed, 0 failed"
