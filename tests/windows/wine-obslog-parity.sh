#!/bin/sh
# Windows tests under Wine: the x86_64 telvor.exe's observation log (over SQLite cross-built from
# Debian's source package) answers as the Linux telvor's, byte for byte: 300 observations
# imported from a CSV file (two bad lines skipped), two recorded one by one, the log listed as
# text, CSV and JSON, and the criteria scored against the log and against the CSV file. Arguments: a scratch folder and the
# Linux telvor program.
WORK=${1:?scratch folder}
TELVOR=$(realpath "${2:?the telvor program}")
. "$(dirname "$0")/lib.sh"
begin_wine_test
cp "$WIN64_TELVOR" "$RUN/"

# 300 evenings from a fixed linear congruential sequence, near the months' first crescents of
# 2023-2025 (every result and sky), and two bad lines.
awk 'BEGIN {
    split("naked-eye binoculars telescope camera not-seen", result, " ")
    split("clear hazy partly-cloudy cloudy", sky, " ")
    x = 1447
    print "date,lat,lon,height,time,zone,result,sky,observer,note"
    for (i = 0; i < 300; i++) {
        for (k = 0; k < 6; k++) { x = (x * 1103515245 + 12345) % 2147483648; r[k] = x / 2147483648 }
        # New moons about every 29.53 days from 2023-01-21; the evenings 0 to 3 days after.
        jd = 2459966 + int(r[0] * 36) * 29.530589 + int(r[1] * 4)
        l = int(jd) + 68569; n = int(4 * l / 146097); l -= int((146097 * n + 3) / 4)
        y = int(4000 * (l + 1) / 1461001); l -= int(1461 * y / 4) - 31; m = int(80 * l / 2447)
        d = l - int(2447 * m / 80); l = int(m / 11); m = m + 2 - 12 * l; y = 100 * (n - 49) + y + l
        printf "%04d-%02d-%02d,%.3f,%.3f,%d,%02d:%02d,%d,%s,%s,obs%d,\n", y, m, d,
            r[2] * 100 - 45, r[3] * 360 - 180, int(r[4] * 900), 17 + int(r[5] * 3),
            int(r[4] * 60), (int(r[3] * 24) - 12) * 60, result[1 + int(r[5] * 5)],
            sky[1 + int(r[2] * 4)], i % 7
        if (i == 100) print "2024-02-30,21,39,0,18:00,180,camera,clear,bad,"
        if (i == 200) print "2024-03-11,95,39,0,18:00,180,camera,clear,bad,"
    }
}' >"$RUN/observations.csv"

# Each system keeps its log in its own folder under the same name (the messages name it).
rm -rf "$WORK/linux" "$RUN/log.sqlite"
mkdir -p "$WORK/linux"
cp "$RUN/observations.csv" "$WORK/linux/observations.csv"
steps="import observe --import observations.csv --skip-bad
one observe --date 2024-03-11 --lat 21.4225 --lon 39.8262 --height 277 --time 18:52 --zone 180 --result naked-eye --sky clear
two observe --date 2024-03-10 --lat -33.87 --lon 151.21 --time 18:10 --zone 660 --result not-seen --sky cloudy
list observe --list
csv observe --list --format csv
json observe --list --json
score score --json
worst score --json --worst 5"
echo "$steps" >"$WORK/steps.txt"
while read -r name args; do
    # shellcheck disable=SC2086 # the arguments are words
    (cd "$WORK/linux" && "$TELVOR" $args --db log.sqlite >"../$name-linux.txt" \
        2>"../$name-linux.err")
    # shellcheck disable=SC2086
    timeout 900 "$WINE" ./telvor.exe $args --db log.sqlite >"$WORK/$name-windows.raw" \
        2>"$WORK/$name-windows.err"
    tr -d '\r' <"$WORK/$name-windows.raw" >"$WORK/$name-windows.txt"
    echo "$name: $(wc -l <"$WORK/$name-linux.txt") lines"
    check "$name: the same output" cmp -s "$WORK/$name-linux.txt" "$WORK/$name-windows.txt"
done <"$WORK/steps.txt"
check "the import skipped the two bad lines" test "$(grep -c . "$WORK/import-linux.err")" -eq 2
check "the import's messages are the same" sh -c \
    "tr -d '\r' <'$WORK/import-windows.err' | cmp -s - '$WORK/import-linux.err'"
check "300 imported and two recorded" test "$(grep -c '"result"' "$WORK/json-linux.txt")" -eq 302
check "scores were computed" grep -q '"criteria"' "$WORK/score-linux.txt"
# Scoring the CSV file directly, without a log.
(cd "$WORK/linux" && "$TELVOR" score --csv observations.csv --skip-bad --json \
    >../score-csv-linux.txt 2>/dev/null)
timeout 900 "$WINE" ./telvor.exe score --csv observations.csv --skip-bad --json 2>/dev/null |
    tr -d '\r' >"$WORK/score-csv-windows.txt"
check "score --csv: the same output" cmp -s "$WORK/score-csv-linux.txt" "$WORK/score-csv-windows.txt"
check "the Windows log is a file of its own" test -s "$RUN/log.sqlite"
finish
