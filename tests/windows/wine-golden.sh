#!/bin/sh
# Windows tests under Wine: the x86_64 telvor.exe gives the recorded golden outputs, digest for
# digest: five whole lunation traces across 1901-2099 and the 100 000-line moon batch. Its C
# runtime's sin, cos and the rest are Windows' own, so this is the Windows build's identity run.
# (telvor.exe renders no PNG: Debian has no Windows libpng, so the picture goldens stay Linux's.)
# Arguments: a scratch folder and the golden_test program.
WORK=${1:?scratch folder}
GOLDEN=$(realpath "${2:?the golden_test program}")
. "$(dirname "$0")/lib.sh"
begin_wine_test
cp "$WIN64_TELVOR" "$RUN/"
TELVOR_GOLDEN_COMMAND="$WINE $RUN/telvor.exe" "$GOLDEN" \
    --gtest_filter='GoldenOutputs.LunationTraces:GoldenOutputs.MoonBatch' >"$WORK/golden.out" 2>&1
status=$?
tail -n 5 "$WORK/golden.out"
check "telvor.exe gives the recorded traces and batch" test "$status" -eq 0
check "both golden cases ran" grep -q "2 tests from GoldenOutputs" "$WORK/golden.out"
finish
