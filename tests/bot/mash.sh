#!/bin/sh
# The masher: taps punch every 10 ticks (4 held) and walks right for 18
# ticks after every eighth tap, and nothing else. Plays street 1 on in
# nwd-sim and prints the tick its last life was lost (0: not within TICKS),
# the men it beat and the fights it cleared before then.
#   sh mash.sh NWD-SIM GAME.AMC SKILL [SEED] [TICKS]
SIM=$1 AMC=$2 SKILL=$3 SEED=${4:-1} TICKS=${5:-51840}
CTL=${TMPDIR:-/tmp}/mash.$$.ctl
trap 'rm -f "$CTL"' EXIT
awk -v n="$TICKS" 'BEGIN {
    while (t < n) {
        if (++taps % 8 == 0)
            for (i = 0; i < 18 && t < n; i++) { print 8; t++ }     # right
        for (i = 0; i < 10 && t < n; i++) { print (i < 4 ? 32 : 0); t++ }  # punch
    }
}' > "$CTL"
# globals on each G line: foes is the 2nd value after G, stage the 22nd
"$SIM" --amc "$AMC" --level 1 --skill "$SKILL" --seed "$SEED" --game --controls "$CTL" |
    awk '$1 == "T" { tick = $2 }
         $1 == "G" && !lost {
             if ($23 >= 2) lost = tick
             else if ($4 < foes) { beaten++; if ($4 == 0) fights++ }
             foes = $4
         }
         END { printf "lost=%d beaten=%d fights=%d\n", lost, beaten, fights }'
