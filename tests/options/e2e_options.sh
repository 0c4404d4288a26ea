#!/bin/sh
# In a virtual display: OPTIONS changes the power saving and binds kick to K,
# QUIT writes both to default.cfg; a second run trains on the first street
# kicking with K, ends the game, replays it from REPLAY (tick for tick, by
# the NWD_DEMO_TRACE hook) and saves it. Pictures of every menu are copied
# to $NWD_E2E_SHOTS when it names a folder.
# Usage: e2e_options.sh NWD GAME_DIR. Exit 77 skips.
. "$(dirname "$0")/../e2e_setup.sh"
e2e_setup "$2" xwd convert od

cat > run.sh <<'INNER'
press() { xdotool keydown $1; sleep 0.15; xdotool keyup $1; sleep 0.4; }  # seen by the 10 ms timer
grab() { xwd -silent -id "$win" | convert xwd:- -crop 960x720+0+0 +repage "$1.png"; }
quit() {
    press Escape; press Return
    for i in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
    kill $pid 2>/dev/null && exit 1
    wait $pid
    echo $? >> status
}

"$1" -nosound -nojoy &
pid=$!
win=$(xdotool search --sync --name Nightward | head -n 1)
sleep 4    # the title takes longer under a sanitizer on a busy machine
press Down; press Return; grab options
press Down; press Down; press Right; press Right; press Right
for i in 1 2 3 4 5; do press Down; done   # KEY KICK
press Return; grab capture; press k; sleep 0.3; grab options2
for i in 1 2 3 4 5 6; do press Up; done     # SCREEN SIZE
press Right; press Right; press Escape; sleep 1  # 640*480 from here on
win=$(xdotool search --name Nightward | head -n 1)
xdotool windowfocus "$win"  # no window manager gives the new window the keys
xdotool getwindowgeometry "$win" | grep Geometry > geometry
quit

NWD_DEMO_TRACE=trace "$1" -nosound -nojoy &
pid=$!
win=$(xdotool search --sync --name Nightward | head -n 1)
sleep 4    # the title takes longer under a sanitizer on a busy machine
press Return; sleep 0.3; grab setup
press Down; press Down; press Return; sleep 2   # MOVES, then TRAIN LEVEL 1
xdotool keydown Right; sleep 1.2; xdotool keyup Right
for i in 1 2 3; do press k; done
press Escape; press Down; press Return; sleep 2  # END GAME
press Down; press Down; press Return; sleep 0.5; grab replay
press Return; sleep 1.5; grab playing
for i in $(seq 40); do [ "$(grep -c '^end' trace 2>/dev/null)" = 2 ] && break; sleep 0.25; done
sleep 0.5
press Down; press Down; press Return; xdotool type --delay 120 e2e.dem; sleep 0.2; press Return
grab saved; sleep 1.2
press Escape
quit
INNER
timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" sh run.sh "$1"
ran=$?
[ -n "$NWD_E2E_SHOTS" ] && cp ./*.png "$NWD_E2E_SHOTS"/
[ $ran = 0 ] || { echo "a run did not end by QUIT"; cat stderr.txt; exit 1; }

fail() { echo "$1"; cat stderr.txt; exit 1; }
[ "$(cat status)" = "0
0" ] || fail "exit statuses $(cat status)"
grep -q "^powersaving = 8$" default.cfg || fail "POWER SAVING not saved: $(grep powersaving default.cfg)"
grep -q "^keykick = 11$" default.cfg || fail "KEY KICK not bound to K: $(grep keykick default.cfg)"
grep -q "640x480" geometry || fail "the window did not change: $(cat geometry)"
grep -q "^window_width = 640$" default.cfg || fail "SCREEN SIZE not saved"

[ "$(grep -c '^end' trace)" = 2 ] || fail "expected a game and its replay in the trace"
awk '/^end/ { game++; next } { print > ("game" game) }' trace
[ -s game ] || fail "the game ran no tick"
# The replay runs on for the tick that finds the demo ended.
head -n "$(wc -l < game)" game1 > replayed
cmp -s game replayed || fail "the replay differs from the game: $(diff game replayed | head -n 2)"

[ -f E2E.DEM ] || fail "SAVE wrote no E2E.DEM"
# Runs of (count, Controls) after the 20-byte header: K must have kicked.
od -An -tu2 -v -j20 E2E.DEM | tr -s ' ' '\n' | awk 'NF && ++n % 2 == 0 && int($1 / 16) % 2 { k = 1 }
    END { exit !k }' || fail "no kick recorded"
echo "replayed $(wc -l < game) ticks"
