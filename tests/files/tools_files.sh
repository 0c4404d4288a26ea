#!/bin/sh
# Every tool that writes a file leaves devices, links and planted names
# alone; nwd-datview and nwd-modrender refuse damaged input with a message,
# never a crash or a hang; nwd-sim says what a trace cannot verify.
# Usage: tools_files.sh BUILD_DIR SOURCE_DIR
B=$1
SRC=$2
G=$B/game
fail() { echo "FAIL: $1"; exit 1; }
W=$(mktemp -d)
trap 'rm -rf "$W"' EXIT
PW='k3 Rw;t#'
# Ended by a signal (a crash) or still running after 60 s (a hang) fails.
run() {
    timeout 60 "$@"
    s=$?
    [ $s -ge 124 ] && fail "$* ended with status $s"
    return $s
}

# Writers: a device stays a device, a link leads to the file replaced, a
# planted NAME.tmp link is never written through.
"$B/amcasm" -d "$G/AMC/GAME.AMC" -o "$W/game.amcs" || fail "amcasm -d"
echo keep > "$W/victim"
for tool in amcasm datview modrender sim; do
    out=$W/$tool.out
    ln -s victim "$out.tmp"
    echo old > "$W/$tool.real"
    ln -s "$tool.real" "$W/$tool.link"
    for target in /dev/null "$out" "$W/$tool.link"; do
        case $tool in
        amcasm) run "$B/amcasm" -o "$target" "$W/game.amcs" 2>/dev/null ;;
        datview) run "$B/nwd-datview" --password "$PW" "$G/DATA/NIGHTWAR.DAT" 30 "$target" ;;
        modrender) run "$B/nwd-modrender" --seconds 1 "$SRC/fuzz/corpus/fuzz_module/tiny.mod" \
                       "$target" >/dev/null ;;
        sim) run "$B/nwd-sim" --amc "$G/AMC/GAME.AMC" --ticks 5 --trace "$target" ;;
        esac || fail "$tool writing $target"
    done
    [ -c /dev/null ] || fail "$tool replaced /dev/null"
    [ "$(cat "$W/victim")" = keep ] || fail "$tool wrote through a planted $out.tmp"
    [ -L "$W/$tool.link" ] && [ "$(head -c 3 "$W/$tool.real")" != old ] || fail "$tool did not write a link's target"
done
if [ -w /dev/full ]; then
    run "$B/nwd-sim" --amc "$G/AMC/GAME.AMC" --ticks 5 --trace /dev/full 2>"$W/err"
    [ $? = 1 ] || fail "nwd-sim --trace /dev/full: $(cat "$W/err")"
fi

# nwd-datview: the game's datafile check first, every object within bounds.
head -c 5000 "$G/DATA/NIGHTWAR.DAT" > "$W/cut.dat"
run "$B/nwd-datview" --password "$PW" "$W/cut.dat" 0 "$W/x.png" 2>"$W/err"
[ $? = 1 ] && grep -q "cut.dat: " "$W/err" || fail "datview, cut datafile: $(cat "$W/err")"
run "$B/nwd-datview" --password "$PW" "$G/DATA/NIGHTWAR.DAT" map:30:30:4 "$W/x.png" 2>"$W/err"
[ $? = 1 ] || fail "datview, a bitmap as a map: $(cat "$W/err")"
run "$B/nwd-datview" --password "$PW" "$G/DATA/NIGHTWAR.DAT" sheet "$W/x.png" ||
    fail "datview sheet"
mkfifo "$W/fifo.dat"
run "$B/nwd-datview" "$W/fifo.dat" 0 "$W/x.png" 2>/dev/null
[ $? = 1 ] || fail "datview read a FIFO"

# nwd-modrender: the game's bounded probe, and only sensible lengths.
for m in crashes-the-reader.mod cut.mod; do
    run "$B/nwd-modrender" "$SRC/fuzz/corpus/fuzz_module/$m" "$W/x.wav" >/dev/null 2>&1
done
for s in nan inf 1e300 -1 0 x; do
    run "$B/nwd-modrender" --seconds $s "$SRC/fuzz/corpus/fuzz_module/tiny.mod" 2>/dev/null
    [ $? = 2 ] || fail "modrender --seconds $s"
done
for v in -1 257 x 1.5 ""; do
    run "$B/nwd-modrender" --volume "$v" "$SRC/fuzz/corpus/fuzz_module/tiny.mod" 2>/dev/null
    [ $? = 2 ] || fail "modrender --volume $v"
done

# nwd-sim --verify: other programs are named as such; old traces (with no
# programs) verify.
T=$SRC/tests/replays
{ sed 1q "$T/street1.trace" | sed 's/ programs=[0-9a-f]*//; s/$/ programs=0123456789abcdef/'
  sed 1d "$T/street1.trace"; } > "$W/other.trace"
run "$B/nwd-sim" --amc "$G/AMC/GAME.AMC" --demo "$T/street1.dem" --game --verify "$W/other.trace" \
    > "$W/out"
[ $? = 1 ] && grep -q "^recorded with other programs" "$W/out" || fail "verify: $(cat "$W/out")"
sed '1s/ programs=[0-9a-f]*//' "$T/street1.trace" > "$W/old.trace"
run "$B/nwd-sim" --amc "$G/AMC/GAME.AMC" --demo "$T/street1.dem" --game --verify "$W/old.trace" \
    > "$W/out" || fail "verify an old trace: $(cat "$W/out")"
echo "writes spare devices and links; damaged input refused; other programs named"
