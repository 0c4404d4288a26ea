#!/bin/sh
# Records a game played through the keyboard in a virtual display, then
# replays the demo at three speeds (one with a head start) and in the
# simulator: every replay must give the recorded world tick for tick and the
# same end. The game reports its world through the NWD_DEMO_TRACE hook
# (docs/demos.md). Usage: e2e_replay.sh NWD NWD_SIM GAME_DIR.
# Exit 77 skips.
NWD=$1
SIM=$2
GAME=$3
. "$(dirname "$0")/../e2e_setup.sh"
e2e_setup "$GAME"

cat > run.sh <<'INNER'
NWD_DEMO_TRACE=rec.trace "$1" -level 1 -nosound -nojoy -record rec.dem &
pid=$!
win=$(xdotool search --sync --name Nightward | head -n 1)
xdotool windowfocus --sync "$win" 2>/dev/null
sleep 1
hold() { xdotool keydown $1; sleep $2; xdotool keyup $1; sleep 0.2; }
hold Right 1.5
for k in Shift_L Control_L Shift_L Up Shift_L Down Control_L; do hold $k 0.3; done
hold Right 1
hold Left 0.5
hold Escape 0.3; hold Down 0.3; hold Return 0.3  # END GAME in the pause menu
wait "$pid"
for fps in 36 72 500; do
    # A head start only fast-forwards: the world must not change.
    start=0; [ $fps = 500 ] && start=250
    NWD_DEMO_TRACE=play$fps.trace "$1" -play rec.dem -fps $fps -start $start -nosound -nojoy || exit 1
done
INNER
timeout 120 xvfb-run -a -s "-screen 0 1024x768x8" sh run.sh "$NWD" || { echo "the run failed"; cat stderr.txt; exit 1; }

fail() { echo "$1"; exit 1; }
[ -s rec.dem ] || fail "no demo was saved"
for f in rec play36 play72 play500; do
    grep -q '^end ' $f.trace || fail "$f.trace has no end line"
done
frames=$(grep -c '^tick ' rec.trace)
echo "recorded $frames ticks: $(grep '^end ' rec.trace)"
[ "$frames" -gt 100 ] || fail "the recording is too short"
cmp -s play36.trace play72.trace || fail "-fps 36 and -fps 72 replays differ"
cmp -s play500.trace play72.trace || fail "-fps 500 and -fps 72 replays differ"
grep -v '^end ' rec.trace > a
head -n "$((frames + 1))" play72.trace > b
cmp -s a b || fail "the replay differs from the recording: $(diff a b | head -n 2)"

# The simulator plays the demo as the game did, whether it is checked
# against the recording or against a replay.
for f in rec play72; do
    "$SIM" --amc "$GAME/AMC/GAME.AMC" --demo rec.dem --game --verify $f.trace || fail "nwd-sim does not reproduce $f.trace"
done
