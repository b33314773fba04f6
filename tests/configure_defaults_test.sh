#!/bin/sh
# Configure mode with no settings file on 1 February 2024 (and no display for a dialog) saves the defaults.
set -u
SAVER=$1
command -v faketime >/dev/null || { echo "SKIP: faketime missing"; exit 77; }
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
env -u DISPLAY XDG_CONFIG_HOME="$DIR" faketime '2024-02-01 12:00:00' "$SAVER" /c
code=$?
[ $code -eq 1 ] || fail "configure mode exited with $code, not 1"
printf '[TELVOR]\r\nToday=1\r\nStart Date=01/02/2024\r\nProbability=50\r\nHeight=0\r\nSpeed=33\r\nDwell=33\r\nCumulative=1\r\nFull Speed=0\r\n' >"$DIR/expected"
cmp "$DIR/expected" "$DIR/telvor/telvor.ini" || { cat -A "$DIR/telvor/telvor.ini"; fail "settings file differs"; }
# A second save keeps other sections and lines, and the keys in place.
printf '; mine\r\n[Other]\r\nx=1\r\n' >>"$DIR/telvor/telvor.ini"
env -u DISPLAY XDG_CONFIG_HOME="$DIR" faketime '2024-02-02 12:00:00' "$SAVER" /c
grep -q '^x=1' "$DIR/telvor/telvor.ini" || fail "another section was lost"
grep -q '^; mine' "$DIR/telvor/telvor.ini" || fail "a comment was lost"
grep -q '^Start Date=02/02/2024' "$DIR/telvor/telvor.ini" || fail "the date was not saved again"
# /a touches nothing.
before=$(md5sum <"$DIR/telvor/telvor.ini")
env -u DISPLAY XDG_CONFIG_HOME="$DIR" "$SAVER" /a; [ $? -eq 0 ] || fail "/a did not exit 0"
[ "$before" = "$(md5sum <"$DIR/telvor/telvor.ini")" ] || fail "/a changed the settings file"
echo "1 passed, 0 failed"
