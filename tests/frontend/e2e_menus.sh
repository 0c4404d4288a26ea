#!/bin/sh
# In a virtual display: the title shows, START plays a game, Escape on the
# street opens the pause menu, END GAME comes back to the title and QUIT ends
# the program with status 0 and default.cfg written.
# Every step waits on what the window shows or the game's trace says, up to
# a minute, never on a fixed time: a busy machine only makes it slower.
# Usage: e2e_menus.sh NWD GAME_DIR. Exit 77 skips.
. "$(dirname "$0")/../e2e_setup.sh"
e2e_setup "$2" xwd compare convert

cat > run.sh <<'INNER'
NWD_DEMO_TRACE=trace "$1" -nosound -nojoy &
pid=$!
win=$(xdotool search --sync --name Nightward | head -n 1)
press() { xdotool keydown $1; sleep 0.15; xdotool keyup $1; sleep 0.3; }  # seen by the 10 ms timer
grab() { xwd -silent -id "$win" | convert xwd:- -crop 960x720+0+0 +repage "$1.png"; }
differing() {  # pixels of region $1 (window pixels, 3 per picture pixel) that differ in $2 and $3
    convert "$2.png" -crop "$1" +repage a.png && convert "$3.png" -crop "$1" +repage b.png &&
        compare -metric AE -fuzz 5% a.png b.png null: 2>&1 | cut -d' ' -f1
}
# Grabs `now` until "$@" holds; gives up, saying $what, after 60 s.
await() {
    for i in $(seq 240); do grab now && "$@" && return 0; sleep 0.25; done
    echo "waited in vain: $what" > failed; kill $pid; wait $pid; exit 1
}
lit() { [ "$(convert now.png -crop $1 -colorspace Gray -format "%[fx:mean>$2]" info:)" = 1 ]; }
# The title, not the best scores it takes turns with: its banner and skyline.
title() { lit 600x168+180+30 0.3 && lit 960x150+0+570 0.075; }
# Return on the title until the setup menu (the banner alone) shows: one
# that lands as the title gives way to the scores only brings it back.
setup() { title && press Return && grab now; lit 600x168+180+30 0.3 && ! title; }
ticks() { [ "$(cat trace 2>/dev/null | grep -c '^tick')" -ge "$1" ]; }
ended() { grep -q '^end' trace 2>/dev/null; }
apart() { [ "$(differing $1 $2 now)" -gt $3 ]; }
same() { [ "$(differing $1 $2 now)" -eq 0 ]; }
# The same menu twice running: a fade or a menu coming up has settled.
steady() { [ -f last.png ] && [ "$(differing $items last now)" -eq 0 ]; s=$?; cp now.png last.png; return $s; }
all=960x720+0+0 items=360x150+360+360

titled() { title && steady; }
what="the title"; await titled; cp now.png title.png
what="the setup menu"; await setup
press Return
# The story and the first interlude come first: twelve seconds of game time.
what="the street"; await ticks 864; grab street
what="START played no game"; await apart $all title 100000
press Escape; what="the pause menu"; await apart $all street 100000; await steady; cp now.png pause.png
what="the pause menu, not the title's items"; await apart $items title 1000
press Down; what="END GAME selected"; await apart $items pause 0
press Return; what="the game's end"; await ended
what="the title again"; await same $items title; cp now.png back.png
# Escape moves to QUIT and Return takes it; again if they land on the scores.
for i in $(seq 20); do
    press Escape; press Return
    for j in $(seq 30); do kill -0 $pid 2>/dev/null || break 2; sleep 0.1; done
done
kill $pid 2>/dev/null && exit 1
wait $pid
echo $? > status
INNER
timeout 300 xvfb-run -a -s "-screen 0 1024x768x24" sh run.sh "$1" ||
    { cat failed 2>/dev/null || echo "QUIT did not end the run"; cat stderr.txt; exit 1; }
[ "$(cat status)" = 0 ] || { echo "exit status $(cat status)"; exit 1; }
grep -q "^difficulty = " default.cfg || { echo "default.cfg not written"; exit 1; }
