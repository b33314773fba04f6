#!/bin/sh
# The long fuzz run of the telvor tool's subcommands under AddressSanitizer and
# UndefinedBehaviorSanitizer (tests/fuzz/cli_fuzz.cpp in build-asan/), COUNT cases of each.
# Usage: sh scripts/fuzz.sh [COUNT [SEED [COMMAND...]]]   (default 20000 cases, seed 1, all seven)
# FUZZ_SECONDS=T in the environment ends each command's run after T seconds of CPU.
set -e
cd "$(dirname "$0")/.."
count=${1:-20000}
seed=${2:-1}
[ $# -gt 0 ] && shift
[ $# -gt 0 ] && shift
commands=${*:-sighting map calendar date sky observe score}
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELVOR_SANITIZE=address,undefined \
    -DTELVOR_BENCH=OFF >/dev/null
cmake --build build-asan --target telvor_fuzz -j2
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp"
status=0
for c in $commands; do
    # A case that runs past the limit ends the run with exit code 3, the case printed.
    build-asan/tests/telvor_fuzz --command "$c" --count "$count" --seed "$seed" --limit 300 \
        --seconds "${FUZZ_SECONDS:-0}" ||
        status=1
done
exit $status
