#!/bin/sh
# The jump-kick spammer: faces right, then presses punch and kick together
# for a few ticks every half second, and nothing else, for TICKS ticks.
# Plays the game from street 1 in nwd-sim and prints its last line
# ("end score=S outcome=R ticks=N"; outcome 0 is a lost game).
#   sh jumpkick_spam.sh NWD-SIM GAME.AMC SKILL [TICKS]
SIM=$1 AMC=$2 SKILL=$3 TICKS=${4:-43200}
CTL=${TMPDIR:-/tmp}/jumpkick_spam.$$.ctl
trap 'rm -f "$CTL"' EXIT
awk -v n="$TICKS" 'BEGIN {
    for (t = 0; t < n; t++)
        if (t < 8) print 8             # right: face the street ahead
        else if (t % 36 < 6) print 48  # punch + kick
        else print 0
}' > "$CTL"
"$SIM" --amc "$AMC" --level 1 --skill "$SKILL" --seed 1 --game --controls "$CTL" | tail -n 1
