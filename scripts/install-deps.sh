#!/bin/sh
# Installs the Debian packages that building and testing TELVOR need; does nothing when they are there.
set -e
PACKAGES="build-essential cmake pkg-config git libgtest-dev libgmock-dev googletest libbenchmark-dev \
libcli11-dev nlohmann-json3-dev libpng-dev liberfa-dev libicu-dev libx11-dev libxext-dev libxrandr-dev \
libxinerama-dev libgeonames-dev libcairo2-dev libpango1.0-dev fonts-dejavu-core libgif-dev \
xvfb xdotool x11-utils imagemagick python3-ephem \
libsqlite3-dev \
libgtk-3-dev dpkg-dev fakeroot libxml2-utils desktop-file-utils groff-base faketime lintian"
# The Windows cross builds and their tests: mingw-w64 (static runtime), Wine, wrestool.
PACKAGES="$PACKAGES g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64 icoutils"
# zlib for the cross-built libpng (scripts/build-mingw-deps.sh builds libpng and ERFA from their
# Debian source packages with dpkg-dev's apt-get source).
PACKAGES="$PACKAGES libz-mingw-w64-dev"
# tclsh: SQLite's own build makes its amalgamation with it (the same script).
PACKAGES="$PACKAGES tcl"
# The Windows installers (wixl, msiinfo) and a two-monitor X display for the Wine tests (Xephyr).
PACKAGES="$PACKAGES wixl msitools xserver-xephyr"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing
fi
