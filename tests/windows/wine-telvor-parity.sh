#!/bin/sh
# Windows tests under Wine: the x86_64 telvor.exe answers byte for byte as the Linux telvor does:
# lunation --trace --json for lunations across 1901-2099 (every tick's line and the summary),
# and moon --batch of 10 000 inputs spread over the same years, places and settings. Reports
# the number of differing lines. Arguments: a scratch folder and the Linux telvor program.
WORK=${1:?scratch folder}
TELVOR=$(realpath "${2:?the telvor program}")
. "$(dirname "$0")/lib.sh"
begin_wine_test
cp "$WIN64_TELVOR" "$RUN/"

# differing A B: how many lines of A and B differ, line by line (a missing line counts).
differing() {
    awk 'NR == FNR { a[FNR] = $0; n = FNR; next }
         { if (!(FNR in a) || a[FNR] != $0) d++; m = FNR }
         END { if (n > m) d += n - m; print d + 0 }' "$1" "$2"
}

# Lunations: date, zone, probability, height; the first and last years, the turn of the
# centuries, the wrap at the end of 2099, zones east and west.
lunations="1901-02-15 0 50 0
1937-07-04 -300 80 500
1968-11-20 330 20 0
2000-01-01 60 50 9999
2045-05-12 -600 99 120
2099-12-20 540 1 0"
: >"$WORK/lunation-linux.txt"
: >"$WORK/lunation-windows.txt"
echo "$lunations" | while read -r date zone probability height; do
    set -- lunation --date "$date" --zone "$zone" --probability "$probability" --height "$height" \
        --trace --json
    "$TELVOR" "$@" >>"$WORK/lunation-linux.txt"
    timeout 600 "$WINE" ./telvor.exe "$@" >>"$WORK/lunation-windows.txt" 2>>"$WORK/telvor.err"
done
lines=$(wc -l <"$WORK/lunation-linux.txt")
diff_lunation=$(differing "$WORK/lunation-linux.txt" "$WORK/lunation-windows.txt")
echo "lunation --trace --json: $lines lines, $diff_lunation differing"
check "six lunations traced" test "$(grep -c '"startDate"' "$WORK/lunation-linux.txt")" -eq 6
check "lunation traces are byte-identical" cmp -s "$WORK/lunation-linux.txt" "$WORK/lunation-windows.txt"

# 10 000 inputs from a fixed linear congruential sequence.
awk 'BEGIN {
    x = 12345
    for (i = 0; i < 10000; i++) {
        for (k = 0; k < 7; k++) { x = (x * 1103515245 + 12345) % 2147483648; r[k] = x / 2147483648 }
        printf "{\"date\": \"%04d-%02d-%02d\", \"minute\": %d, \"zone\": %d, \"lat\": %.2f, \"lon\": %.2f, \"height\": %d, \"probability\": %d}\n",
            1901 + int(r[0] * 199), 1 + int(r[1] * 12), 1 + int(r[2] * 28), int(r[3] * 4320) - 1440,
            (int(r[4] * 97) - 48) * 15, r[5] * 180 - 90, r[6] * 360 - 180, int(r[3] * r[5] * 3000),
            1 + int(r[6] * r[4] * 99)
    }
}' >"$RUN/inputs.jsonl"
"$TELVOR" moon --batch "$RUN/inputs.jsonl" >"$WORK/moon-linux.txt"
timeout 600 "$WINE" ./telvor.exe moon --batch inputs.jsonl >"$WORK/moon-windows.txt" \
    2>>"$WORK/telvor.err"
diff_moon=$(differing "$WORK/moon-linux.txt" "$WORK/moon-windows.txt")
echo "moon --batch: $(wc -l <"$WORK/moon-linux.txt") lines, $diff_moon differing"
check "10 000 moon answers" test "$(grep -c visibilityCode "$WORK/moon-linux.txt")" -eq 10000
check "moon --batch answers are byte-identical" cmp -s "$WORK/moon-linux.txt" "$WORK/moon-windows.txt"
finish
