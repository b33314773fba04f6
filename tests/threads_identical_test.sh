#!/bin/sh
# telvor map (picture, CSV, GeoJSON) and telvor calendar (text and JSON) give the same bytes with
# --threads 1, 2 and 4; "full" adds finer grids and more evenings (scripts/tsan.sh).
# Usage: sh tests/threads_identical_test.sh TELVOR [full]
set -e
telvor=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
runs=0
same() { # name, then the command's arguments after the thread count's place
    name=$1
    shift
    for t in 1 2 4; do
        mkdir -p "$dir/$t"
        (cd "$dir/$t" && TZ=UTC0 "$telvor" "$@" --threads "$t" >stdout 2>stderr) || {
            echo "FAIL $name --threads $t: exit code $?" >&2
            cat "$dir/$t/stderr" >&2
            exit 1
        }
        runs=$((runs + 1))
    done
    for f in $(cd "$dir/1" && ls); do
        for t in 2 4; do
            cmp -s "$dir/1/$f" "$dir/$t/$f" || {
                echo "FAIL $name: $f differs between --threads 1 and $t" >&2
                exit 1
            }
        done
    done
    rm -rf "$dir/1" "$dir/2" "$dir/4"
}
if [ "${2:-}" = full ]; then
    steps="2 1"
    dates="2024-03-10 2024-03-11 2023-06-18"
    criteria="yallop odeh telvor"
    years="1445 1446"
else
    steps="3"
    dates="2024-03-10 2023-06-18"
    criteria="yallop telvor"
    years="1445"
fi
for d in $dates; do
    for s in $steps; do
        for c in $criteria; do
            same "map --date $d --step $s --criterion $c" map --date "$d" --step "$s" \
                --criterion "$c" --csv map.csv --geojson map.geojson --out map.png
        done
    done
done
for y in $years; do
    for r in $criteria; do
        same "calendar --year $y --rule $r" calendar --year "$y" --rule "$r" --step 3 --json
        same "calendar --year $y --rule $r text" calendar --year "$y" --rule "$r" --step 3
    done
done
echo "$runs runs, outputs identical across --threads 1, 2, 4"
