#!/bin/sh
# telvor map and telvor calendar under ThreadSanitizer (build-tsan/) with --threads 1, 2 and 4:
# no report, and the outputs of every thread count byte-identical.
# Usage: sh scripts/tsan.sh
set -e
cd "$(dirname "$0")/.."
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELVOR_SANITIZE=thread \
    -DTELVOR_BENCH=OFF -DTELVOR_TESTS=OFF >/dev/null
cmake --build build-tsan --target telvor -j2
export TSAN_OPTIONS="halt_on_error=1:exitcode=66"
sh tests/threads_identical_test.sh build-tsan/tools/telvor full
