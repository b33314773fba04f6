#!/bin/sh
# The installed xscreensaver and XSecureLock forms under Xvfb: each draws the map into the window
# it is given (one process per window) and ends within a second of SIGTERM; and the installed
# data files are well formed; and what xscreensaver runs once a fresh account has added TELVOR.
# Usage: xscreensaver_test.sh CMAKE BUILD_DIR draw|files|route
set -u
CMAKE=$1
BUILD=$2
CASE=$3
DIR=$(mktemp -d)
fail() { echo "FAIL ($CASE): $*"; exit 1; }
pids=""
trap 'for p in $pids; do kill $p 2>/dev/null; done; rm -rf "$DIR"' EXIT
ROOT="$DIR/root"
"$CMAKE" --install "$BUILD" --prefix "$ROOT" >/dev/null || fail "install failed"

if [ "$CASE" = files ]; then
    XML="$ROOT/share/xscreensaver/config/telvor-saver.xml"
    [ -f "$XML" ] || fail "no $XML"
    if command -v xmllint >/dev/null; then
        xmllint --noout "$XML" || fail "telvor-saver.xml is not well formed"
    fi
    # xscreensaver finds a hack's panel by the program's name.
    grep -q '<screensaver name="telvor-saver" _label="TELVOR">' "$XML" || fail "no screensaver element"
    grep -q '<command arg="-root"/>' "$XML" || fail "no -root command"
    grep -q '<_description>' "$XML" || fail "no description"
    [ "$(readlink -f "$ROOT/libexec/xscreensaver/telvor-saver")" = "$(readlink -f "$ROOT/bin/telvor-saver")" ] ||
        fail "libexec/xscreensaver/telvor-saver is not the saver"
    [ -e "$ROOT/libexec/xscreensaver/telvor" ] && fail "a hack named telvor, the tool's name"
    [ -x "$ROOT/libexec/xsecurelock/saver_telvor" ] || fail "no XSecureLock module"
    DESKTOP="$ROOT/share/applications/telvor-settings.desktop"
    grep -qx 'Exec=telvor-saver -c' "$DESKTOP" || fail "desktop entry does not run the dialog"
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$DESKTOP" || fail "desktop entry not valid"
    fi
    grep -qx 'Icon=telvor' "$DESKTOP" || fail "desktop entry without the crescent icon"
    [ "$(identify -format %wx%h "$ROOT/share/icons/hicolor/32x32/apps/telvor.png" 2>/dev/null)" = 32x32 ] ||
        fail "no 32x32 icon in the hicolor theme"
    for page in telvor telvor-saver; do
        [ -f "$ROOT/share/man/man1/$page.1.gz" ] || fail "no man page $page.1.gz"
        MAN="$DIR/$page.1"
        gzip -dc "$ROOT/share/man/man1/$page.1.gz" >"$MAN"
        grep -q '@PROJECT_VERSION@' "$MAN" && fail "$page.1 not configured"
        version=$("$ROOT/bin/telvor-saver" --version | sed 's/.* //')
        grep -q "^\.TH .* \"TELVOR $version\" " "$MAN" || fail "$page.1 does not carry $version"
        if command -v groff >/dev/null; then
            warnings=$(groff -man -ww -z "$MAN" 2>&1)
            [ -z "$warnings" ] || fail "$page.1: $warnings"
        fi
    done
    echo "1 passed, 0 failed"
    exit 0
fi

if [ "$CASE" = route ]; then
    # A fresh account on a machine where TELVOR went under a prefix, its programs on PATH.
    export HOME="$DIR/home"
    mkdir -p "$HOME"
    export PATH="$ROOT/bin:$PATH"
    telvor-saver --add-to-xscreensaver >"$DIR/out" 2>"$DIR/err" ||
        fail "--add-to-xscreensaver: $(cat "$DIR/err")"
    grep -q 'added' "$DIR/out" || fail "not added: $(cat "$DIR/out")"
    # The program of TELVOR's entry, found as xscreensaver finds it: in its own folder (here the
    # prefix's), then on PATH.
    command=$(sed -n 's/^[- \t]*\(GL:\)\{0,1\}[ \t]*"TELVOR"[ \t]*\([^ \t]*\).*/\2/p' "$HOME/.xscreensaver")
    [ -n "$command" ] || fail "no TELVOR entry: $(cat "$HOME/.xscreensaver")"
    from_dir=$(readlink -f "$ROOT/libexec/xscreensaver/$command")
    from_path=$(readlink -f "$(command -v "$command")")
    saver=$(readlink -f "$ROOT/bin/telvor-saver")
    [ "$from_dir" = "$saver" ] || fail "$command in the hack folder is $from_dir, not the saver"
    [ "$from_path" = "$saver" ] || fail "$command on PATH is $from_path, not the saver"
    "$command" --version | grep -q '^telvor-saver ' || fail "$command is not the saver"
    [ -f "$ROOT/share/xscreensaver/config/$command.xml" ] || fail "no panel $command.xml"
    # Under this prefix xscreensaver does not read the panel (it looks in /usr/share only): said
    # in one line, and the list is written all the same.
    if [ ! -e "/usr/share/xscreensaver/config/$command.xml" ]; then
        [ "$(wc -l <"$DIR/err")" -eq 1 ] || fail "not one warning line: $(cat "$DIR/err")"
        grep -q "warning: .*/usr/share/xscreensaver/config/$command.xml" "$DIR/err" ||
            fail "no warning about the panel: $(cat "$DIR/err")"
    fi
    # An account listed under the old name, which on PATH is the command-line tool, gets the
    # saver's name.
    printf 'programs:\t\\\n\t\t\t"TELVOR" telvor -root\t\t\t    \\n\\\n\n' >"$HOME/.xscreensaver"
    telvor-saver --add-to-xscreensaver >"$DIR/out" 2>"$DIR/err" || fail "rename: $(cat "$DIR/err")"
    grep -q '"TELVOR" telvor-saver -root' "$HOME/.xscreensaver" ||
        fail "old entry kept: $(cat "$HOME/.xscreensaver")"
    echo "1 passed, 0 failed"
    exit 0
fi

for tool in Xvfb xev import convert; do
    command -v $tool >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done
export XDG_CONFIG_HOME="$DIR/config"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$DIR/display" 2>/dev/null &
pids="$!"
for i in $(seq 100); do [ -s "$DIR/display" ] && break; sleep 0.1; done
[ -s "$DIR/display" ] || { echo "SKIP: Xvfb did not start"; exit 77; }
export DISPLAY=":$(cat "$DIR/display")"

# Two windows of a host, as xscreensaver makes one per screen: xev's, which prints its id
# (its small inner window leaves most of it to the saver).
windows=""
for n in 1 2; do
    xev -geometry 400x300+$((n * 420 - 400))+20 >"$DIR/xev$n" 2>/dev/null &
    pids="$pids $!"
    w=""
    for i in $(seq 100); do
        w=$(sed -n 's/^Outer window is \(0x[0-9a-fA-F]*\).*/\1/p' "$DIR/xev$n")
        [ -n "$w" ] && break
        sleep 0.1
    done
    [ -n "$w" ] || fail "no host window $n"
    windows="$windows $w"
done
set -- $windows
# xscreensaver's form on the first, XSecureLock's module on the second.
XSCREENSAVER_WINDOW=$1 "$ROOT/libexec/xscreensaver/telvor-saver" -root &
HACK=$!
XSCREENSAVER_WINDOW=$2 "$ROOT/libexec/xsecurelock/saver_telvor" &
LOCK=$!
pids="$pids $HACK $LOCK"
sleep 3
for pair in "$1:$HACK:xscreensaver" "$2:$LOCK:xsecurelock"; do
    w=${pair%%:*}
    rest=${pair#*:}
    pid=${rest%%:*}
    name=${rest#*:}
    kill -0 "$pid" 2>/dev/null || fail "$name: the saver did not keep running"
    import -window "$w" "$DIR/$name.png" || fail "$name: cannot read the window"
    colours=$(convert "$DIR/$name.png" -format %c histogram:info:- | tr 'a-f' 'A-F')
    echo "$colours" | grep -q "#FF00FF" || fail "$name: no land colour in the window"
    echo "$colours" | grep -q "#800080" || fail "$name: no sea colour in the window"
done
for pair in "$HACK:xscreensaver" "$LOCK:xsecurelock"; do
    pid=${pair%%:*}
    name=${pair#*:}
    kill -TERM "$pid"
    for i in $(seq 10); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && fail "$name: still running a second after SIGTERM"
    wait "$pid"
done
echo "1 passed, 0 failed"
