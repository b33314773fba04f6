#!/bin/sh
# Builds the static mingw-w64 libraries that telvor.exe needs and Debian packages for the host
# only (ERFA, libpng over libz-mingw-w64-dev, SQLite) from Debian's own source packages, for i686
# and x86_64. Sources come through apt-get source with a private apt configuration (deb-src entries
# for the machine's Debian archives and suites) in the build tree; the machine's apt setup is
# only read. Each library is built once per source version into
#   build-mingw-deps/<package>-<version>/<arch>/{include,lib}
# and a later run with the same versions does nothing. The version asked for is the source
# version of the host's -dev package (the same library on both systems); TELVOR_DEPS_DIR moves
# the folder. Prints the prefixes of each architecture as "arch erfa-prefix png-prefix
# sqlite-prefix".
set -e
cd "$(dirname "$0")/.."
root=$(pwd)
deps=${TELVOR_DEPS_DIR:-$root/build-mingw-deps}
mkdir -p "$deps/src"
log() { echo "build-mingw-deps: $*" >&2; }

# source_version DEV-PACKAGE: the source version the host's package was built from.
source_version() {
    dpkg-query -W -f='${source:Version}' "$1" 2>/dev/null || {
        log "$1 is not installed (scripts/install-deps.sh installs it)"
        exit 2
    }
}
archs="i686 x86_64"

built() { # PACKAGE VERSION: true when both architectures are there
    for a in $archs; do [ -f "$deps/$1-$2/$a/.done" ] || return 1; done
}

# The private apt configuration: deb-src twins of the machine's enabled Debian entries (one-line
# and deb822 forms), its own lists and cache; trust and keys as the machine has them.
apt_conf=$deps/apt/apt.conf
apt_ready=""
setup_apt() {
    [ -n "$apt_ready" ] && return 0
    a=$deps/apt
    mkdir -p "$a/sources.list.d" "$a/lists/partial" "$a/cache/archives/partial"
    : >"$a/sources.list"
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] || continue
        awk '$1 == "deb" && $0 ~ /debian\.org/ { $1 = "deb-src"; print }' "$f"
    done >>"$a/sources.list"
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        # Stanzas are separated by blank lines; those whose URIs name a Debian archive are kept.
        awk 'BEGIN { RS = ""; ORS = "\n\n" }
             /(^|\n)URIs:[^\n]*debian\.org/ && /(^|\n)Types:[^\n]*deb/ && !/(^|\n)Enabled: *no/ {
                 sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print }' "$f"
    done >"$a/sources.list.d/debian-src.sources"
    if [ ! -s "$a/sources.list" ] && [ ! -s "$a/sources.list.d/debian-src.sources" ]; then
        log "no Debian archive found in /etc/apt/sources.list*"
        exit 1
    fi
    cat >"$apt_conf" <<CONF
Dir::Etc::sourcelist "$a/sources.list";
Dir::Etc::sourceparts "$a/sources.list.d";
Dir::State "$a/state";
Dir::State::lists "$a/lists";
Dir::State::status "/var/lib/dpkg/status";
Dir::Cache "$a/cache";
APT::Sandbox::User "root";
CONF
    mkdir -p "$a/state"
    [ "$(id -u)" -eq 0 ] || sed -i '/Sandbox/d' "$apt_conf"
    log "apt-get update (private configuration $apt_conf)"
    apt-get -c "$apt_conf" -qq update >&2
    apt_ready=1
}

# fetch PACKAGE VERSION: the unpacked source tree with Debian's patches applied, in
# $deps/src/PACKAGE-VERSION; its path in $tree.
fetch() {
    tree=$deps/src/$1-$2
    [ -f "$tree/.unpacked" ] && return 0
    setup_apt
    rm -rf "$tree" "$deps/src/dl-$1" && mkdir -p "$deps/src/dl-$1"
    # apt verifies the files against the archive's signed index; dpkg-source only unpacks them.
    (cd "$deps/src/dl-$1" && apt-get -c "$apt_conf" -qq source --download-only "$1=$2" >&2) ||
        return 1
    dsc=$(ls "$deps/src/dl-$1"/*.dsc)
    dpkg-source --no-check -x "$dsc" "$tree" >&2
    touch "$tree/.unpacked"
}

# resolve SOURCE-PACKAGE DEV-PACKAGE: the source version to build, in $version: the host's, or
# when the archive no longer carries it (a newer security or point release), the newest one
# that downloads, with a line saying so. The choice is kept, so that later runs need no network.
resolve() {
    host=$(source_version "$2")
    mkdir -p "$deps/versions"
    memo=$deps/versions/$1-$host
    if [ -s "$memo" ]; then
        version=$(cat "$memo")
        return 0
    fi
    setup_apt
    versions=$(apt-cache -c "$apt_conf" showsrc "$1" | awk '$1 == "Version:" { print $2 }' |
        sort -Vr -u)
    for version in $host $(echo "$versions" | grep -vxF "$host"); do
        echo "$versions" | grep -qxF "$version" || continue
        if fetch "$1" "$version" 2>"$deps/src/fetch.err"; then
            [ "$version" = "$host" ] ||
                log "$1 $host (the host's) is not in the archive: building $version"
            echo "$version" >"$memo"
            return 0
        fi
        cat "$deps/src/fetch.err" >&2
    done
    log "no source package $1 could be fetched"
    exit 1
}

jobs=${TELVOR_DEPS_JOBS:-2}
# The numbers of the project's own code: no contraction, SSE2 on 32-bit x86 too.
cflags() {
    f="-O2 -ffp-contract=off -fno-fast-math"
    [ "$1" = i686 ] && f="$f -msse2 -mfpmath=sse"
    echo "$f"
}
compiler() {
    for c in "$1-w64-mingw32-gcc-posix" "$1-w64-mingw32-gcc" "$1-w64-mingw32-gcc-win32"; do
        command -v "$c" >/dev/null 2>&1 && { echo "$c"; return 0; }
    done
    log "no mingw-w64 C compiler for $1 (scripts/install-deps.sh installs it)"
    exit 2
}

# ERFA, with a small CMake build of ours (cmake/erfa) over the sources its Makefile.am lists:
# the Debian source package has no generated configure script.
build_erfa() {
    fetch erfa "$erfa_version"
    src=$tree
    for a in $archs; do
        out=$deps/erfa-$erfa_version/$a
        [ -f "$out/.done" ] && continue
        log "ERFA $erfa_version for $a"
        b=$deps/work/erfa-$erfa_version-$a
        rm -rf "$b" "$out" && mkdir -p "$b"
        (cmake -S "$root/cmake/erfa" -B "$b" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$a.cmake" \
            -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="$(cflags "$a") -DNDEBUG" \
            -DCMAKE_INSTALL_PREFIX="$out" -DERFA_SOURCE_DIR="$src" >"$b/configure.log" 2>&1 &&
            cmake --build "$b" -j"$jobs" >"$b/make.log" 2>&1 &&
            cmake --install "$b" >"$b/install.log" 2>&1) || {
            log "ERFA failed for $a; see $b/*.log"
            exit 1
        }
        touch "$out/.done"
    done
}

# libpng, with its own CMake build, static, over the packaged mingw zlib.
build_png() {
    fetch libpng1.6 "$png_version"
    src=$tree
    for a in $archs; do
        out=$deps/libpng-$png_version/$a
        [ -f "$out/.done" ] && continue
        log "libpng $png_version for $a"
        b=$deps/work/libpng-$png_version-$a
        sysroot=/usr/$a-w64-mingw32
        [ -f "$sysroot/lib/libz.a" ] || {
            log "$sysroot/lib/libz.a is missing (scripts/install-deps.sh installs libz-mingw-w64-dev)"
            exit 2
        }
        rm -rf "$b" "$out" && mkdir -p "$b"
        (cmake -S "$src" -B "$b" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$a.cmake" \
            -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="$(cflags "$a") -DNDEBUG" \
            -DCMAKE_INSTALL_PREFIX="$out" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
            -DPNG_EXECUTABLES=OFF -DPNG_HARDWARE_OPTIMIZATIONS=OFF -DSKIP_INSTALL_PROGRAMS=ON \
            -DSKIP_INSTALL_FILES=ON -DZLIB_LIBRARY="$sysroot/lib/libz.a" \
            -DZLIB_INCLUDE_DIR="$sysroot/include" >"$b/configure.log" 2>&1 &&
            cmake --build "$b" -j"$jobs" --target png_static >"$b/make.log" 2>&1 &&
            cmake --install "$b" >"$b/install.log" 2>&1) || {
            log "libpng failed for $a; see $b/*.log"
            exit 1
        }
        touch "$out/.done"
    done
}

# SQLite: its own build (configure, run natively, with tclsh) makes the amalgamation sqlite3.c
# from the source tree once; a small CMake build of ours (cmake/sqlite3) compiles that for each
# architecture.
build_sqlite() {
    fetch sqlite3 "$sqlite_version"
    src=$tree
    amalgamation=$deps/work/sqlite3-$sqlite_version-amalgamation
    if [ ! -f "$amalgamation/.done" ]; then
        log "SQLite $sqlite_version amalgamation"
        command -v tclsh >/dev/null 2>&1 || {
            log "tclsh is missing (scripts/install-deps.sh installs tcl)"
            exit 2
        }
        rm -rf "$amalgamation" && mkdir -p "$amalgamation"
        (cd "$amalgamation" && "$src/configure" --disable-tcl >configure.log 2>&1 &&
            make sqlite3.c >make.log 2>&1) || {
            log "the SQLite amalgamation failed; see $amalgamation/*.log"
            exit 1
        }
        touch "$amalgamation/.done"
    fi
    for a in $archs; do
        out=$deps/sqlite3-$sqlite_version/$a
        [ -f "$out/.done" ] && continue
        log "SQLite $sqlite_version for $a"
        b=$deps/work/sqlite3-$sqlite_version-$a
        rm -rf "$b" "$out" && mkdir -p "$b"
        (cmake -S "$root/cmake/sqlite3" -B "$b" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$a.cmake" \
            -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="$(cflags "$a") -DNDEBUG" \
            -DCMAKE_INSTALL_PREFIX="$out" -DSQLITE_AMALGAMATION_DIR="$amalgamation" \
            >"$b/configure.log" 2>&1 &&
            cmake --build "$b" -j"$jobs" >"$b/make.log" 2>&1 &&
            cmake --install "$b" >"$b/install.log" 2>&1) || {
            log "SQLite failed for $a; see $b/*.log"
            exit 1
        }
        touch "$out/.done"
    done
}

resolve erfa liberfa-dev
erfa_version=$version
resolve libpng1.6 libpng-dev
png_version=$version
resolve sqlite3 libsqlite3-dev
sqlite_version=$version
built erfa "$erfa_version" || build_erfa
built libpng "$png_version" || build_png
built sqlite3 "$sqlite_version" || build_sqlite
for a in $archs; do
    echo "$a $deps/erfa-$erfa_version/$a $deps/libpng-$png_version/$a $deps/sqlite3-$sqlite_version/$a"
done
