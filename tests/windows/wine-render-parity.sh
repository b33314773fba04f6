#!/bin/sh
# Windows tests under Wine: the x86_64 telvor.exe's render draws the saver's pictures as the Linux
# telvor does (the same drawing code over our own GDI, headless), pixel for pixel: the last frame
# of lunations in full-screen and preview mode, single and cumulative, at several sizes, one
# annotated, and every 200th frame of one lunation. Also lunation's summary without a trace,
# the pictures composed but not shown. Arguments: a scratch folder and the Linux telvor program.
WORK=${1:?scratch folder}
TELVOR=$(realpath "${2:?the telvor program}")
. "$(dirname "$0")/lib.sh"
begin_wine_test
cp "$WIN64_TELVOR" "$RUN/"
mkdir -p "$WORK/linux" "$RUN/windows"

wine_telvor() {
    timeout 900 "$WINE" ./telvor.exe "$@" 2>>"$WORK/telvor.err" | tr -d '\r'
}
# same_picture NAME LINUX WINDOWS: the two PNG files have the same size and pixels.
same_picture() {
    if [ ! -s "$3" ]; then
        echo "$1: no Windows picture"
        check "$1 is pixel-identical" false
        return
    fi
    pixels=$(compare -metric AE "$2" "$3" null: 2>&1)
    echo "$1: $(identify -format '%wx%h' "$2"), $pixels pixels differ"
    check "$1 is pixel-identical" test "$pixels" = 0
}

# name, then the options of one render.
renders="full-2024 --date 2024-03-11 --zone 180 --size 320x240
preview-1950 --date 1950-06-15 --zone -300 --size 200x150 --preview --cumulative off
large-2099 --date 2099-12-20 --zone 540 --size 1024x768 --probability 90 --height 800
annotated-2024 --date 2024-03-11 --zone 180 --size 640x480 --annotate"
echo "$renders" >"$WORK/renders.txt"
while read -r name options; do
    # shellcheck disable=SC2086 # the options are words
    "$TELVOR" render $options --quiet --out "$WORK/linux/$name.png"
    # shellcheck disable=SC2086
    wine_telvor render $options --quiet --out "windows/$name.png" >/dev/null
    same_picture "render $name" "$WORK/linux/$name.png" "$RUN/windows/$name.png"
done <"$WORK/renders.txt"
check "four renders written" test "$(ls "$WORK"/linux/*.png | wc -l)" -eq 4

# Every 200th frame of one lunation.
mkdir -p "$WORK/linux/frames" "$RUN/windows/frames"
set -- render --date 2024-03-11 --zone 180 --size 320x240 --every 200 --quiet
"$TELVOR" "$@" --frames "$WORK/linux/frames"
wine_telvor "$@" --frames windows/frames >/dev/null
frames=0
differing_frames=0
for f in "$WORK"/linux/frames/frame-*.png; do
    frames=$((frames + 1))
    w=$RUN/windows/frames/$(basename "$f")
    [ -s "$w" ] && [ "$(compare -metric AE "$f" "$w" null: 2>&1)" = 0 ] ||
        differing_frames=$((differing_frames + 1))
done
echo "render --frames: $frames frames, $differing_frames differing"
check "several frames written" test "$frames" -ge 5
check "the same number of frames" \
    test "$(ls "$RUN"/windows/frames | wc -l)" -eq "$frames"
check "every frame is pixel-identical" test "$differing_frames" -eq 0

# The summary alone, without a trace: no frames shown, the same lunation.
set -- lunation --date 1987-08-01 --zone -240 --json
"$TELVOR" "$@" >"$WORK/lunation-linux.json"
wine_telvor "$@" >"$WORK/lunation-windows.json"
check "lunation summary is byte-identical" cmp -s "$WORK/lunation-linux.json" \
    "$WORK/lunation-windows.json"
finish
