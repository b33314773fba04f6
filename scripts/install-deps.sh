#!/bin/sh
# Installs the Debian packages that building and testing TELVOR need; does nothing when they are there.
set -e
PACKAGES="build-essential cmake pkg-config git libgtest-dev libgmock-dev googletest libbenchmark-dev \
libcli11-dev nlohmann-json3-dev libpng-dev libx11-dev libxext-dev \
xvfb xdotool x11-utils imagemagick"
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
