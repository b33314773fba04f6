#!/bin/sh
# Installs what is missing, builds, and runs the main job: the picture of the current lunation's
# crescent visibility zones, rendered headless by the saver's own animation into crescent.png.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target telvor
./build/tools/telvor lunation
./build/tools/telvor render --out crescent.png
echo "wrote crescent.png"
