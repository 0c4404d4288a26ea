#!/bin/sh
# In a virtual display: the title shows, START plays a game, Escape on the
# street opens the pause menu, END GAME comes back to the title and QUIT ends
# the program with status 0 and default.cfg written.
# Usage: e2e_menus.sh NWD GAME_DIR. Exit 77 skips.
. "$(dirname "$0")/../e2e_setup.sh"
e2e_setup "$2" xwd compare convert

cat > run.sh <<'INNER'
"$1" -nosound -nojoy &
pid=$!
win=$(xdotool search --sync --name Nightward | head -n 1)
press() { xdotool keydown $1; sleep 0.15; xdotool keyup $1; sleep 0.4; }  # seen by the 10 ms timer
grab() { xwd -silent -id "$win" | convert xwd:- -crop 960x720+0+0 +repage "$1.png"; }
sleep 2.5; grab title
press Return; press Return; sleep 12; grab street  # setup: NEW GAME; the story and the first interlude come first
press Escape; sleep 0.5; grab pause
press Down; press Return; sleep 1; grab back
press Escape; press Return
for i in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
kill $pid 2>/dev/null && exit 1
wait $pid
echo $? > status
INNER
timeout 90 xvfb-run -a -s "-screen 0 1024x768x24" sh run.sh "$1" || { echo "QUIT did not end the run"; exit 1; }

fail() { echo "$1"; cat stderr.txt; exit 1; }
differing() {  # pixels of region $1 (window pixels, 3 per picture pixel) that differ in $2 and $3
    convert "$2.png" -crop "$1" +repage a.png && convert "$3.png" -crop "$1" +repage b.png &&
        compare -metric AE -fuzz 5% a.png b.png null: 2>&1 | cut -d' ' -f1
}
all=960x720+0+0 items=360x150+360+360
[ "$(convert title.png -crop 600x168+180+30 -colorspace Gray -format '%[fx:maxima>0.1]' info:)" = 1 ] ||
    fail "no banner on the title"
[ "$(differing $all title street)" -gt 100000 ] || fail "START played no game"
[ "$(differing $all street pause)" -gt 100000 ] || fail "Escape opened no menu"
[ "$(differing $items title pause)" -gt 1000 ] || fail "the pause menu shows the title's items"
[ "$(differing $items title back)" -eq 0 ] || fail "END GAME did not come back to the title"
[ "$(cat status)" = 0 ] || fail "exit status $(cat status)"
grep -q "^difficulty = " default.cfg || fail "default.cfg not written"
