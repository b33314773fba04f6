#!/bin/sh
# Cross-builds the Windows saver: build-win32/ (i686, the product telvor.scr) and build-win64/
# (x86_64, the twin that runs under Wine here), with the test helpers of tests/windows/.
set -e
cd "$(dirname "$0")/.."
root=$(pwd)
for arch in i686:build-win32 x86_64:build-win64; do
  cpu=${arch%%:*}
  dir=$root/${arch#*:}
  # Configure once; later runs only build, and CMake re-runs itself when a list file changed.
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$cpu.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  cmake --build "$dir" -j"$(nproc)" >"$dir/build.log" 2>&1 || { cat "$dir/build.log"; exit 1; }
done
