#!/bin/sh
# The Debian package: CPack builds telvor_<version>-1_<arch>.deb with computed Depends, it holds the
# programs, desktop files and documents in their places, lintian finds nothing to say, and its
# programs run from it on system libraries.
# With debootstrap and a reachable Debian mirror (TELVOR_DEB_MIRROR) it also installs it with apt
# into a fresh Debian 12 root; that part is skipped otherwise.
# Usage: deb_test.sh CPACK BUILD_DIR VERSION
set -u
CPACK=$1
BUILD=$2
VERSION=$3
for tool in dpkg-deb dpkg-shlibdeps fakeroot; do
    command -v $tool >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

(cd "$BUILD" && "$CPACK" -G DEB -B "$DIR/out" >"$DIR/cpack.log" 2>&1) ||
    fail "cpack failed: $(tail -5 "$DIR/cpack.log")"
DEB="$DIR/out/telvor_${VERSION}-1_$(dpkg --print-architecture).deb"
[ -f "$DEB" ] || fail "no $(basename "$DEB") in: $(ls "$DIR/out")"

dpkg-deb -c "$DEB" | awk '{print $6}' >"$DIR/files"
for f in ./usr/bin/telvor ./usr/bin/telvor-saver ./usr/libexec/xscreensaver/telvor-saver \
    ./usr/libexec/xsecurelock/saver_telvor ./usr/share/xscreensaver/config/telvor-saver.xml \
    ./usr/share/applications/telvor-settings.desktop ./usr/share/man/man1/telvor.1.gz \
    ./usr/share/man/man1/telvor-saver.1.gz ./usr/share/doc/telvor/copyright \
    ./usr/share/doc/telvor/changelog.Debian.gz ./usr/share/icons/hicolor/32x32/apps/telvor.png \
    ./usr/share/bash-completion/completions/telvor \
    ./usr/share/zsh/vendor-completions/_telvor ./usr/share/fish/vendor_completions.d/telvor.fish; do
    grep -qx "$f" "$DIR/files" || fail "the package lacks $f"
done

depends=$(dpkg-deb -f "$DEB" Depends)
for lib in libc6 libstdc++6 libx11-6 libgtk-3-0 libpng16-16 libcairo2 libpango-1.0-0 libpangocairo-1.0-0 \
    libgif7 fonts-dejavu-core; do
    echo "$depends" | grep -q "\\b$lib\\b" || fail "Depends lacks $lib: $depends"
done
[ "$(dpkg-deb -f "$DEB" Package)" = telvor ] || fail "package name"
[ "$(dpkg-deb -f "$DEB" Version)" = "$VERSION-1" ] || fail "version"
dpkg-deb -f "$DEB" Homepage | grep -q . && fail "a Homepage, which the project does not have"

# Debian's own checks: no error and no warning, pedantic ones included.
if command -v lintian >/dev/null; then
    lintian --pedantic --allow-root "$DEB" >"$DIR/lintian" 2>&1
    grep -E '^[EW]: ' "$DIR/lintian" && fail "lintian: $(grep -E '^[EW]: ' "$DIR/lintian" | head -5)"
else
    echo "note: no lintian, its checks were skipped"
fi

# The programs run from the unpacked package, on system libraries only.
dpkg-deb -x "$DEB" "$DIR/root"
for p in telvor telvor-saver; do
    ldd "$DIR/root/usr/bin/$p" >"$DIR/ldd" 2>&1 || fail "$p: ldd failed"
    grep -q "not found" "$DIR/ldd" && fail "$p: missing libraries: $(grep 'not found' "$DIR/ldd")"
    grep -v -e '^\s*linux-vdso' -e '=> /lib/' -e '=> /usr/lib/' -e '^\s*/lib' "$DIR/ldd" |
        grep -q . && fail "$p: a library from outside the system: $(cat "$DIR/ldd")"
done
out=$(env -u LD_LIBRARY_PATH "$DIR/root/usr/bin/telvor" moon --date 2024-03-10 --time 18:00) ||
    fail "telvor moon failed"
echo "$out" | grep -q moonDistance || fail "telvor moon printed: $out"
env -u LD_LIBRARY_PATH -u DISPLAY XDG_CONFIG_HOME="$DIR/config" "$DIR/root/usr/bin/telvor-saver" /a
code=$?
[ $code -eq 0 ] || fail "telvor-saver /a: exit code $code"
[ -e "$DIR/config" ] && fail "telvor-saver /a touched the settings"

# Optional: apt install into a fresh Debian 12 root made by debootstrap from a mirror.
if [ -n "${TELVOR_DEB_MIRROR:-}" ] && command -v debootstrap >/dev/null; then
    CHROOT="$DIR/bookworm"
    if debootstrap --variant=minbase bookworm "$CHROOT" "$TELVOR_DEB_MIRROR" >"$DIR/boot.log" 2>&1; then
        cp "$DEB" "$CHROOT/tmp/"
        cp /etc/resolv.conf "$CHROOT/etc/resolv.conf" 2>/dev/null
        chroot "$CHROOT" sh -c "apt-get update -qq &&
            DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/$(basename "$DEB")" \
            >"$DIR/apt.log" 2>&1 ||
            fail "apt install in a fresh root: $(tail -5 "$DIR/apt.log")"
        chroot "$CHROOT" telvor moon --date 2024-03-10 >/dev/null || fail "telvor in the fresh root"
        chroot "$CHROOT" telvor-saver /a || fail "telvor-saver /a in the fresh root"
        grep -q 'telvor-saver --add-to-xscreensaver' "$DIR/apt.log" ||
            fail "the install did not say how to list TELVOR in xscreensaver"
    else
        echo "note: debootstrap failed, the fresh-root install was skipped"
    fi
else
    echo "note: no TELVOR_DEB_MIRROR or debootstrap, the fresh-root install was skipped"
fi
echo "1 passed, 0 failed"
