#!/bin/sh
# Installs what is missing, builds everything and runs every test under ctest; with --quick,
# every test but those under Wine (the Windows savers' runs and their soak).
# Usage: sh scripts/test.sh [--quick]
set -e
cd "$(dirname "$0")/.."
case "${1:-}" in
"") exclude="" ;;
--quick) exclude="wine|soak" ;;
*)
    echo "usage: sh scripts/test.sh [--quick]" >&2
    exit 2
    ;;
esac
sh scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
cd build
if [ -n "$exclude" ]; then
    ctest --output-on-failure -j"$(nproc)" -LE "$exclude"
else
    ctest --output-on-failure -j"$(nproc)"
fi
