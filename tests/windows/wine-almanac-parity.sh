#!/bin/sh
# Windows tests under Wine: the x86_64 telvor.exe's almanac answers as the Linux telvor's, byte
# for byte: sighting --batch of 2 000 places and evenings (1901-2099, both hemispheres, the polar
# rows, heights and zones), calendar --year 1447 --json and date both ways by every rule (with a
# place of its own),
# map --step 1 --csv of one evening (every line) and map's picture, pixel for pixel. Reports
# the number of differing lines and, where numbers differ, the largest difference. Below the
# printed digits, the almanac's own numbers for the same 2 000 evenings (almanac_probe, %.17g):
# times within 1 ms, angles within 1e-9 degrees of Linux's. Arguments: a scratch folder, the
# Linux telvor program and the Linux almanac_probe.
WORK=${1:?scratch folder}
TELVOR=$(realpath "${2:?the telvor program}")
PROBE=$(realpath "${3:?the almanac_probe program}")
. "$(dirname "$0")/lib.sh"
begin_wine_test
cp "$WIN64_TELVOR" "$ROOT/build-win64/tests/windows/almanac_probe.exe" "$RUN/"

# differing A B: how many lines of A and B differ, line by line (a missing line counts).
differing() {
    awk 'NR == FNR { a[FNR] = $0; n = FNR; next }
         { if (!(FNR in a) || a[FNR] != $0) d++; m = FNR }
         END { if (n > m) d += n - m; print d + 0 }' "$1" "$2"
}
# largest A B: the largest difference between numbers in the same place of differing lines
# (times to the second and angles to the printed digits show there), or 0.
largest() {
    awk 'function split_numbers(s, out,   n) { n = 0
             while (match(s, /-?[0-9]+(\.[0-9]+)?(e[-+]?[0-9]+)?/)) {
                 out[++n] = substr(s, RSTART, RLENGTH) + 0; s = substr(s, RSTART + RLENGTH) }
             return n }
         NR == FNR { a[FNR] = $0; next }
         (FNR in a) && a[FNR] != $0 {
             n = split_numbers(a[FNR], x); split_numbers($0, y)
             for (i = 1; i <= n; i++) { d = x[i] - y[i]; if (d < 0) d = -d; if (d > worst) worst = d } }
         END { printf "%.3g\n", worst + 0 }' "$1" "$2"
}
# compare_outputs NAME LINUX WINDOWS: reports and checks one pair of outputs.
compare_outputs() {
    lines=$(wc -l <"$2")
    echo "$1: $lines lines, $(differing "$2" "$3") differing, largest difference $(largest "$2" "$3")"
    check "$1 is byte-identical" cmp -s "$2" "$3"
}
wine_telvor() {
    timeout 900 "$WINE" ./telvor.exe "$@" 2>>"$WORK/telvor.err"
}

# The acceptance case: Mecca on 2024-03-11, with the zone given (the two hosts' zones differ).
set -- sighting --lat 21.4225 --lon 39.8262 --date 2024-03-11 --zone 180 --json
"$TELVOR" "$@" >"$WORK/mecca-linux.json"
wine_telvor "$@" >"$WORK/mecca-windows.json"
check "Mecca's evening of 2024-03-11 answered" grep -q '"state": "ok"' "$WORK/mecca-linux.json"
compare_outputs "sighting at Mecca" "$WORK/mecca-linux.json" "$WORK/mecca-windows.json"

# 2 000 places and evenings from a fixed linear congruential sequence; a tenth of them beyond
# the polar circles, where sunsets and moonsets go missing.
awk 'BEGIN {
    x = 2024
    for (i = 0; i < 2000; i++) {
        for (k = 0; k < 6; k++) { x = (x * 1103515245 + 12345) % 2147483648; r[k] = x / 2147483648 }
        lat = i % 10 == 0 ? (r[4] < 0.5 ? -1 : 1) * (66 + r[5] * 24) : r[4] * 132 - 66
        printf "{\"date\": \"%04d-%02d-%02d\", \"zone\": %d, \"lat\": %.4f, \"lon\": %.4f, \"height\": %d}\n",
            1901 + int(r[0] * 199), 1 + int(r[1] * 12), 1 + int(r[2] * 28), (int(r[3] * 105) - 48) * 15,
            lat, r[5] * 360 - 180, int(r[3] * r[4] * 3000)
    }
}' >"$RUN/places.jsonl"
"$TELVOR" sighting --batch "$RUN/places.jsonl" >"$WORK/sighting-linux.jsonl"
wine_telvor sighting --batch places.jsonl >"$WORK/sighting-windows.jsonl"
check "2 000 sightings" test "$(grep -c '"state"' "$WORK/sighting-linux.jsonl")" -eq 2000
check "some places without a sunset" grep -q '"state": "no sunset"' "$WORK/sighting-linux.jsonl"
compare_outputs "sighting --batch" "$WORK/sighting-linux.jsonl" "$WORK/sighting-windows.jsonl"

# The same evenings at full precision: the largest differences, times in milliseconds and
# angles in degrees (W' in arcminutes, q and V as they are).
sed -E 's/.*"date": "([0-9]+)-([0-9]+)-([0-9]+)".*"lat": ([-0-9.]+), "lon": ([-0-9.]+), "height": ([0-9]+).*/\1 \2 \3 \4 \5 \6/' \
    "$RUN/places.jsonl" >"$RUN/probe.txt"
"$PROBE" <"$RUN/probe.txt" >"$WORK/probe-linux.txt"
timeout 900 "$WINE" ./almanac_probe.exe <"$RUN/probe.txt" 2>>"$WORK/telvor.err" | tr -d '\r' \
    >"$WORK/probe-windows.txt"
check "2 000 evenings probed" test "$(wc -l <"$WORK/probe-windows.txt")" -eq 2000
awk 'NR == FNR { a[FNR] = $0; next }
     { n = split(a[FNR], x); split($0, y)
       for (i = 1; i <= n; i++) {
           if (x[i] == y[i]) continue
           if (x[i] == "nan" || y[i] == "nan") { bad++; continue }
           d = x[i] - y[i]; if (d < 0) d = -d
           if (i <= 4) d *= 86400000
           if (d > w[i]) w[i] = d; differing++ } }
     END {
         for (i = 1; i <= 4; i++) if (w[i] > t) t = w[i]
         for (i = 5; i <= 11; i++) if (w[i] > g) g = w[i]
         printf "%d %d %.3g %.3g %.3g %.3g %.3g\n", differing, bad, t, g, w[12], w[13], w[14] }' \
    "$WORK/probe-linux.txt" "$WORK/probe-windows.txt" >"$WORK/probe-worst.txt"
read -r probe_differing probe_nan worst_ms worst_deg worst_w worst_q worst_v <"$WORK/probe-worst.txt"
echo "almanac at full precision: $probe_differing of 28 000 values differ; largest differences" \
    "$worst_ms ms (times), $worst_deg deg (angles), $worst_w arcmin (W'), q $worst_q, V $worst_v"
check "the same evenings exist on both" test "$probe_nan" -eq 0
check "times within 1 ms" awk -v d="$worst_ms" 'BEGIN { exit !(d < 1) }'
check "angles within 1e-9 degrees" awk -v d="$worst_deg" 'BEGIN { exit !(d < 1e-9) }'

# The year 1447 by every rule of the rule table (the names as --rule's error lists them), with
# Mecca as the place of its own; and date, both ways, by every rule.
rules=$("$TELVOR" calendar --rule none 2>&1 | sed -n 's/.* is not //p' | tr -d ',')
rule_count=$(echo "$rules" | wc -w)
echo "rules: $rules"
check "the rule table lists several rules" test "$rule_count" -ge 5
: >"$WORK/calendar-linux.json"
: >"$WORK/calendar-windows.json"
: >"$WORK/date-linux.json"
: >"$WORK/date-windows.json"
for rule in $rules; do
    set -- calendar --year 1447 --json --rule "$rule" --lat 21.4225 --lon 39.8262
    "$TELVOR" "$@" >>"$WORK/calendar-linux.json"
    wine_telvor "$@" >>"$WORK/calendar-windows.json"
    for day in "2024-03-11 18:30" "2025-06-26 04:00" 1447-09-01 1445-01-01; do
        # shellcheck disable=SC2086 # a civil day and its clock are two words
        set -- date $day --rule "$rule" --json --lat 21.4225 --lon 39.8262 --zone 180
        "$TELVOR" "$@" >>"$WORK/date-linux.json"
        wine_telvor "$@" >>"$WORK/date-windows.json"
    done
done
check "a calendar of 12 months by every rule" \
    test "$(grep -o '"hijriMonth"' "$WORK/calendar-linux.json" | wc -l)" -eq $((12 * rule_count))
compare_outputs "calendar --year 1447" "$WORK/calendar-linux.json" "$WORK/calendar-windows.json"
check "four dates by every rule" test "$(grep -c . "$WORK/date-linux.json")" -ge $((4 * rule_count))
compare_outputs "date" "$WORK/date-linux.json" "$WORK/date-windows.json"

# One evening's map of 64 800 cells, and its picture.
set -- map --date 2024-03-11 --step 1 --threads 2
"$TELVOR" "$@" --csv "$WORK/map-linux.csv" --out "$WORK/map-linux.png" >/dev/null 2>&1
wine_telvor "$@" --csv map.csv --out map.png >/dev/null
mv "$RUN/map.csv" "$WORK/map-windows.csv" 2>/dev/null
mv "$RUN/map.png" "$WORK/map-windows.png" 2>/dev/null
check "the map has a line per cell" test "$(wc -l <"$WORK/map-linux.csv")" -eq 64801
compare_outputs "map --step 1 --csv" "$WORK/map-linux.csv" "$WORK/map-windows.csv"
pixels=$(compare -metric AE "$WORK/map-linux.png" "$WORK/map-windows.png" null: 2>&1)
echo "map picture: $pixels pixels differ"
check "the map pictures are pixel-identical" test "$pixels" = 0
check "the map PNG files are byte-identical" cmp -s "$WORK/map-linux.png" "$WORK/map-windows.png"

# What the Windows build leaves out, it says.
wine_telvor --help | tr -d '\r' >"$WORK/help.txt"
check "the help says the sky chart is left out on Windows" \
    grep -q 'On Windows there is no sky chart' "$WORK/help.txt"
# every_subcommand_listed: each subcommand of the Linux help is in the Windows help.
every_subcommand_listed() {
    for sub in $("$TELVOR" --help | sed -n 's/^  \([a-z]*\)  .*/\1/p'); do
        grep -q "^  $sub  " "$WORK/help.txt" || { echo "missing: $sub"; return 1; }
    done
}
check "the help lists every subcommand of Linux's" every_subcommand_listed
timeout 300 "$WINE" ./telvor.exe sky --date 2024-03-11 --lat 21.4 --lon 39.8 --zone 180 \
    --out sky.png >"$WORK/sky.out" 2>"$WORK/sky.txt"
sky_code=$?
check "sky refuses with exit code 1" test "$sky_code" -eq 1
check "sky says why in one line" test "$(grep -c . "$WORK/sky.txt")" -eq 1
check "sky names what is missing" grep -q 'Cairo and Pango' "$WORK/sky.txt"
check "sky writes no picture" test ! -e "$RUN/sky.png"
finish
