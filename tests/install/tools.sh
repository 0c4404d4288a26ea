#!/bin/sh
# The game and its tools: one version, and unknown options named with exit
# status 2; a missing file said the same way by each; two packings of the same pictures
# give the same datafile bytes; install folders given as Debian's packaging
# writes them (-DNWD_INSTALL_LAUNCHERDIR=games) stay relative.
# Usage: tools.sh BUILD_DIR SOURCE_DIR VERSION CMAKE
B=$1
SRC=$2
VERSION=$3
CMAKE=${4:-cmake}
fail() { echo "FAIL: $1"; exit 1; }
W=$(mktemp -d)
trap 'rm -rf "$W"' EXIT

[ "$("$B/nwd" --version)" = "Nightward $VERSION" ] || fail "nwd --version: $("$B/nwd" --version)"
for t in amcasm nwd-bot nwd-contract nwd-datpack nwd-datview nwd-gfxgen nwd-modgen nwd-modrender nwd-sfxgen; do
    [ "$("$B/$t" --version)" = "$t (Nightward) $VERSION" ] || fail "$t --version"
    "$B/$t" -h | grep -q "usage" || fail "$t -h"
    "$B/$t" x --no-such-option >/dev/null 2>"$W/err"
    [ $? = 2 ] && grep -q "'--no-such-option'" "$W/err" || fail "$t: $(cat "$W/err")"
    "$B/$t" -Q >/dev/null 2>"$W/err"
    [ $? = 2 ] && grep -q "'-Q'" "$W/err" || fail "$t: $(cat "$W/err")"
done

# One wording for a file that is not there, "TOOL: FILE: cannot read: reason".
missing() { # STATUS TOOL ARG...
    want=$1 tool=$2
    shift 2
    "$B/$tool" "$@" >/dev/null 2>"$W/err"
    [ $? = "$want" ] && grep -qx "$tool: $W/none[.a-zA-Z]*: cannot read: No such file or directory" "$W/err" ||
        fail "$tool: $(cat "$W/err")"
}
missing 1 nwd-datview "$W/none.DAT" 0 "$W/x.png"
missing 1 nwd-bot --amc "$W/none.AMC"
missing 2 nwd-sim --amc "$W/none.AMC"
missing 1 nwd-modrender "$W/none.mod"
missing 1 nwd-sfxgen --convert "$W/none.wav" "$W/x.wav"
missing 1 nwd-modgen "$W/none.txt" "$W/x.xm"
missing 1 nwd-contract --include "$W/none.txt" "$W/x.inc"
missing 1 amcasm -o "$W/x.AMC" "$W/none.amcs"

for n in 1 2; do
    mkdir "$W/$n"
    "$B/nwd-gfxgen" main "$SRC/data" "$W/$n" "$W/$n.inc" >/dev/null || fail "nwd-gfxgen"
    "$B/nwd-datpack" --password-file "$SRC/data/datafile.key" "$W/$n/main.lst" "$W/$n" \
        "$W/$n.DAT" || fail "nwd-datpack"
done
cmp "$W/1.DAT" "$W/2.DAT" || fail "two packings of the same pictures differ"

"$CMAKE" -S "$SRC" -B "$W/deb" -DNWD_TESTS=OFF -DNWD_INSTALL_LAUNCHERDIR=games >"$W/deb.log" 2>&1 ||
    { cat "$W/deb.log"; fail "configuring with -DNWD_INSTALL_LAUNCHERDIR=games"; }
grep -q '"$here/../share/games/nightward"' "$W/deb/dist/nightward" &&
    grep -q '^game=$here/../libexec/nightward/nwd$' "$W/deb/dist/nightward" ||
    fail "a launcher in games/ does not find the game: $(grep -e '^data=' -e '^game=' "$W/deb/dist/nightward")"
echo "one version, one way of reading options, reproducible datafiles, relative install folders"
