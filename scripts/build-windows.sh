#!/bin/sh
# Cross-builds the Windows saver: build-win32/ (i686, the product telvor.scr) and build-win64/
# (x86_64, the twin that runs under Wine here), with the test helpers of tests/windows/, and
# telvor.exe over the static ERFA, libpng and SQLite that scripts/build-mingw-deps.sh makes from
# Debian's source packages (once per source version; later runs find them built).
set -e
cd "$(dirname "$0")/.."
root=$(pwd)
deps=$(sh "$root/scripts/build-mingw-deps.sh")
for arch in i686:build-win32 x86_64:build-win64; do
  cpu=${arch%%:*}
  dir=$root/${arch#*:}
  prefixes=$(echo "$deps" | awk -v a="$cpu" '$1 == a { $1 = ""; sub(/^ /, ""); gsub(/ /, ";"); print }')
  [ -n "$prefixes" ] || { echo "build-windows: no libraries for $cpu" >&2; exit 1; }
  # Configured again only when the libraries changed; otherwise CMake re-runs itself when a list
  # file changed. zlib: the packaged static library, not the import library of its DLL.
  if ! grep -qxF "TELVOR_MINGW_DEPS:STRING=$prefixes" "$dir/CMakeCache.txt" 2>/dev/null; then
    cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$cpu.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DTELVOR_MINGW_DEPS:STRING="$prefixes" -DTELVOR_ALMANAC=ON \
      -DZLIB_LIBRARY="/usr/$cpu-w64-mingw32/lib/libz.a" >/dev/null
  fi
  cmake --build "$dir" -j"$(nproc)" >"$dir/build.log" 2>&1 || { cat "$dir/build.log"; exit 1; }
done
