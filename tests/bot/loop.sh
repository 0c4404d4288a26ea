#!/bin/sh
# A masher's loop, over and over and nothing else, played on street 1 in
# nwd-sim; prints the tick its first and last life were lost (0: not within
# TICKS), the lives it lost, the men it beat and the fights it cleared.
#   walk      walks right 11 ticks, then punches three times 22 ticks apart
#   stepkick  walks right 8 ticks, taps punch twice (4 held, 6 apart), jump
#             kicks and waits out the jump and the landing
#   sh loop.sh NWD-SIM GAME.AMC SKILL [SEED] [TICKS] [walk|stepkick]
SIM=$1 AMC=$2 SKILL=$3 SEED=${4:-1} TICKS=${5:-51840} STYLE=${6:-walk}
CTL=${TMPDIR:-/tmp}/loop.$$.ctl
trap 'rm -f "$CTL"' EXIT
awk -v n="$TICKS" -v style="$STYLE" 'BEGIN {
    while (t < n) {
        if (style == "stepkick") {
            for (i = 0; i < 8 && t < n; i++) { print 8; t++ }      # right
            for (p = 0; p < 2; p++)
                for (i = 0; i < 10 && t < n; i++) { print (i < 4 ? 32 : 0); t++ }
            for (i = 0; i < 64 && t < n; i++) { print (i < 4 ? 48 : 0); t++ }
        } else {
            for (i = 0; i < 11 && t < n; i++) { print 8; t++ }     # right
            for (p = 0; p < 3; p++)
                for (i = 0; i < 22 && t < n; i++) { print (i < 6 ? 32 : 0); t++ }
        }
    }
}' > "$CTL"
# globals on each G line: foes is field 4, lives 13, stage 23
"$SIM" --amc "$AMC" --level 1 --skill "$SKILL" --seed "$SEED" --game --controls "$CTL" |
    awk '$1 == "T" { tick = $2 }
         $1 == "G" && !lost {
             if (seen && $13 < lives && !died++) first = tick
             lives = $13; seen = 1
             if ($23 >= 2) lost = tick
             else if ($4 < foes) { beaten++; if ($4 == 0) fights++ }
             foes = $4
         }
         END { printf "first=%d lost=%d lives=%d beaten=%d fights=%d\n", first ? first : lost, lost, died + (lost > 0), beaten, fights }'
