# Shared by the Windows test scripts (sourced): the cross build, Xvfb, Wine, checks and reports.
# The caller sets WORK (its own scratch folder) before sourcing.
set -u
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
WIN32_SCR=$ROOT/build-win32/shell/telvor.scr
WIN64_SCR=$ROOT/build-win64/shell/telvor.scr
WIN64_HELPER=$ROOT/build-win64/tests/windows/telvor_winhelper.exe
WIN32_TELVOR=$ROOT/build-win32/tools/telvor.exe
WIN64_TELVOR=$ROOT/build-win64/tools/telvor.exe
# One prefix for all the Wine tests of a build, made afresh by wine-prefix.sh.
PREFIX_DIR=${TELVOR_WINE_PREFIX:-$ROOT/build-win64/wine-prefix}
passed=0
failed=0
pids=""
# The script's own command line, for the one rerun that finish may make.
script_path=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
script_args=""
for a in "$@"; do script_args="$script_args '$a'"; done

# check NAME CONDITION...: runs the condition (a command) and reports it by name.
check() {
    check_name=$1
    shift
    if "$@"; then
        echo "ok: $check_name"
        passed=$((passed + 1))
    else
        echo "FAILED: $check_name"
        failed=$((failed + 1))
    fi
}

# True when the test's X server is gone or a Wine program lost its connection to it: a failure
# of the test's machinery, not of the saver.
x_server_failed() {
    [ -n "${xvfb_pid:-}" ] && ! kill -0 "$xvfb_pid" 2>/dev/null && return 0
    [ -n "${xephyr_pid:-}" ] && ! kill -0 "$xephyr_pid" 2>/dev/null && return 0
    cat "$WORK"/*.err 2>/dev/null | grep -q "X connection to .* broken"
}

# The closing line that ctest's log shows; the exit code says whether all passed. After a failure
# it also shows what the Wine programs and Xvfb wrote. When the X server failed under the test,
# the whole test runs once more, saying so.
finish() {
    if [ "$failed" -ne 0 ]; then
        for out in "$WORK"/*.out "$WORK"/*.err "$WORK/xvfb.log" "$WORK/xephyr.log"; do
            [ -s "$out" ] || continue
            echo "--- last lines of $(basename "$out"):"
            tail -n 20 "$out"
        done
        if x_server_failed && [ -z "${TELVOR_WINE_RERUN:-}" ]; then
            echo "--- the X server failed under this test: running it once more"
            cleanup
            trap - EXIT
            export TELVOR_WINE_RERUN=1
            eval "exec sh \"\$script_path\" $script_args"
        fi
    fi
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}

build_windows() {
    sh "$ROOT/scripts/build-windows.sh"
}

find_wine() {
    for w in wine64 /usr/lib/wine/wine64 wine; do
        if command -v "$w" >/dev/null 2>&1; then
            WINE=$(command -v "$w")
            return 0
        fi
    done
    echo "no wine64 found (scripts/install-deps.sh installs it)" >&2
    return 1
}

# Points Wine at the shared prefix; only wine-prefix.sh creates it.
use_wine() {
    find_wine || exit 1
    export WINEPREFIX=$PREFIX_DIR WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
}

# Starts an Xvfb of 1024 x 768 on a free display, for this script only. With TWO_MONITORS set,
# the display is an Xephyr inside that Xvfb, of two screens joined by Xinerama: 1024 x 768 on
# the left (the first, primary), 800 x 600 to its right (Xvfb's own Xinerama lays its screens
# over one another at 0, 0, and Xephyr can place them).
start_xvfb() {
    rm -f "$WORK/display"
    # -noreset: without it the server resets whenever its last client leaves (xdotool, import),
    # and a Wine program connecting at that moment loses its connection and exits with code 1.
    size=1024x768x24
    [ -n "${TWO_MONITORS:-}" ] && size=1824x768x24
    Xvfb -displayfd 3 -screen 0 $size -nolisten tcp -noreset 3>"$WORK/display" \
        >"$WORK/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do
        [ -s "$WORK/display" ] && break
        sleep 0.1
    done
    [ -s "$WORK/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
    export DISPLAY=:$(cat "$WORK/display")
    [ -n "${TWO_MONITORS:-}" ] || return 0
    rm -f "$WORK/display"
    Xephyr -displayfd 3 -screen 1024x768 -origin 1024,0 -screen 800x600 +xinerama -nolisten tcp \
        -noreset 3>"$WORK/display" >"$WORK/xephyr.log" 2>&1 &
    xephyr_pid=$!
    for _ in $(seq 50); do
        [ -s "$WORK/display" ] && break
        sleep 0.1
    done
    [ -s "$WORK/display" ] || { echo "Xephyr did not start" >&2; exit 1; }
    export DISPLAY=:$(cat "$WORK/display")
}

# Ends what this script started: its Wine programs, the wineserver of the prefix, Xvfb.
cleanup() {
    for p in $pids; do kill "$p" 2>/dev/null || true; done
    # -k only signals the server: wait until it has gone, so that the next test's first program
    # cannot reach a server that is shutting down with the last display.
    if [ -n "${WINEPREFIX:-}" ]; then
        wineserver -k >/dev/null 2>&1
        timeout 30 wineserver -w >/dev/null 2>&1
    fi
    [ -n "${xephyr_pid:-}" ] && kill "$xephyr_pid" 2>/dev/null
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
}

# start_program NAME LIMIT PROGRAM ARGS...: runs a Windows program in the background under a time
# limit; its exit code lands in $WORK/NAME.rc (124 when the limit ended it), its output in
# $WORK/NAME.out and $WORK/NAME.err.
start_program() {
    program_name=$1
    program_limit=$2
    shift 2
    rm -f "$WORK/$program_name.rc"
    (
        # Wine's own error messages (an X connection lost, say) go to NAME.err for finish.
        WINEDEBUG=fixme-all timeout -k 5 "$program_limit" "$WINE" "$@" \
            >"$WORK/$program_name.out" 2>"$WORK/$program_name.err"
        echo $? >"$WORK/$program_name.rc"
    ) &
    pids="$pids $!"
}

# wait_exit NAME SECONDS: true once NAME has exited within SECONDS; its code is then in $code.
wait_exit() {
    for _ in $(seq $(($2 * 10))); do
        if [ -s "$WORK/$1.rc" ]; then
            code=$(cat "$WORK/$1.rc")
            return 0
        fi
        sleep 0.1
    done
    code=running
    return 1
}

# running NAME: true while NAME has not exited.
running() {
    [ ! -s "$WORK/$1.rc" ]
}

exits_with() { # NAME SECONDS CODE
    wait_exit "$1" "$2" && [ "$code" = "$3" ]
}

# The RVA, in hexadecimal, of a global of the x86_64 saver (from its symbol table, which a
# release build keeps in telvor.scr.debug beside the stripped program).
symbol_rva() {
    symbols=$WIN64_SCR
    [ -f "$WIN64_SCR.debug" ] && symbols=$WIN64_SCR.debug
    address=$(x86_64-w64-mingw32-nm "$symbols" | awk -v s="$1" '$3 == s { print $1 }')
    base=$(objdump -p "$WIN64_SCR" | awk '$1 == "ImageBase" { print $2 }')
    [ -n "$address" ] && [ -n "$base" ] && printf '%x\n' $((0x$address - 0x$base))
}

# screenshot FILE: the whole screen.
screenshot() {
    import -window root "$1" 2>/dev/null
}

# colour_count FILE GEOMETRY RRGGBB: how many pixels of that colour the region holds.
colour_count() {
    n=$(convert "$1" -crop "$2" +repage -format %c histogram:info:- 2>/dev/null |
        awk -v c="#$3 " 'index(toupper($0), toupper(c)) { v = $1; sub(":", "", v); s += v } END { print s + 0 }')
    echo "${n:-0}"
}

# has_colour FILE GEOMETRY RRGGBB MINIMUM
has_colour() {
    [ "$(colour_count "$1" "$2" "$3")" -ge "$4" ]
}

# wait_for_colour FILE GEOMETRY RRGGBB MINIMUM SECONDS: takes screenshots until the colour shows.
wait_for_colour() {
    for _ in $(seq $(($5 * 2))); do
        screenshot "$1"
        has_colour "$1" "$2" "$3" "$4" && return 0
        sleep 0.5
    done
    return 1
}

# start_host X Y W H: the helper's host window, for previews; its handle is then in $host_window.
# It is destroyed by end_host.
start_host() {
    rm -f "$RUN/end-host"
    start_program host 600 ./telvor_winhelper.exe host "$1" "$2" "$3" "$4" end-host
    for _ in $(seq 100); do
        host_window=$(tr -cd '0-9' <"$WORK/host.out" 2>/dev/null)
        [ -n "$host_window" ] && return 0
        sleep 0.1
    done
    echo "the host window did not appear" >&2
    return 1
}

end_host() {
    touch "$RUN/end-host"
}

# A scratch copy of the programs, so that each test has its own settings file beside them.
fresh_run_folder() {
    RUN=$WORK/run
    rm -rf "$RUN" && mkdir -p "$RUN"
    cp "$WIN64_SCR" "$WIN64_HELPER" "$RUN/"
    cd "$RUN"
}

# The common start of a Wine test: the scratch folder $WORK, both builds, Wine, a private Xvfb
# (ended with Wine on exit) and a fresh run folder holding the 64-bit saver and the helper.
begin_wine_test() {
    mkdir -p "$WORK"
    rm -f "$WORK"/*.out "$WORK"/*.err "$WORK"/*.rc
    build_windows || exit 1
    use_wine
    timeout 30 wineserver -w >/dev/null 2>&1 # one left by an earlier test, were it still there
    trap cleanup EXIT
    start_xvfb
    fresh_run_folder
}

# wait_for_process EXE SECONDS: true once the helper can open the running program EXE (a
# program started in the background takes a while to appear under Wine, longer under load).
wait_for_process() {
    for _ in $(seq $(($2 * 2))); do
        "$WINE" ./telvor_winhelper.exe gdi "$1" >/dev/null 2>&1 && return 0
        sleep 0.5
    done
    return 1
}

# focus_dialog TITLE: waits up to 30 s for the visible top-level window TITLE and gives it the
# keyboard focus; its X window is then in $dialog. A focus request on a window not yet mapped
# fails, so it is repeated.
focus_dialog() {
    for _ in $(seq 60); do
        dialog=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
        [ -n "$dialog" ] && xdotool windowfocus --sync "$dialog" 2>/dev/null && return 0
        sleep 0.5
    done
    dialog=""
    return 1
}

# The saver's settings as the running saver NAME holds them (see winhelper.cpp).
saver_settings() {
    "$WINE" ./telvor_winhelper.exe settings telvor.scr "$settings_rva" 2>/dev/null | tr -d '\r'
}
