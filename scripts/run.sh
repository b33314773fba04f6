#!/bin/sh
# Installs what is missing, builds, and runs the main job: tonight's Moon over Mecca, as telvor sees it.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target telvor
./build/tools/telvor month
./build/tools/telvor moon --time 19:00 --zone 180 --lat 21.42 --lon 39.83
