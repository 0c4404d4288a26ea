#!/bin/sh
# Plays the first street in a virtual display: walks right into the first
# fight, saves pictures with F1 and checks that the street scrolled under the
# hero and the HUD changed (the fight's clock runs only once it has begun).
# Usage: e2e_level1.sh NWD GAME_DIR. Exit 77 skips.
NWD=$1
GAME=$2
. "$(dirname "$0")/../e2e_setup.sh"
e2e_setup "$GAME" compare convert

cat > run.sh <<'INNER'
"$1" -level 1 -nosound -nojoy &
pid=$!
win=$(xdotool search --sync --name Nightward | head -n 1)
xdotool windowfocus --sync "$win" 2>/dev/null
sleep 2
shot() {  # a held key: the loop samples the keyboard between frames
    xdotool keydown F1; sleep 0.3; xdotool keyup F1; sleep 0.5
}
shot
xdotool keydown Right; sleep 3.5; xdotool keyup Right
sleep 1.5
shot
kill "$pid"
wait "$pid" 2>/dev/null
exit 0
INNER
timeout 60 xvfb-run -a -s "-screen 0 1024x768x8" sh run.sh "$NWD" || { echo "the run failed"; exit 1; }

for f in nwd000.bmp nwd001.bmp; do
    [ -f $f ] || { echo "no screenshot $f"; cat stderr.txt 2>/dev/null; exit 1; }
done
differing() {  # pixels that differ between the two pictures in region $1
    convert nwd000.bmp -crop "$1" +repage a.png
    convert nwd001.bmp -crop "$1" +repage b.png
    compare -metric AE a.png b.png null: 2>&1 | cut -d' ' -f1
}
street=$(differing 320x100+0+32)   # buildings above the pavement
hud=$(differing 320x32+0+0)
echo "street pixels changed: $street, HUD pixels changed: $hud"
[ "${street%.*}" -gt 2000 ] || { echo "the street did not scroll"; exit 1; }
[ "${hud%.*}" -gt 0 ] || { echo "the HUD did not change"; exit 1; }
