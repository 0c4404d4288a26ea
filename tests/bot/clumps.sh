#!/bin/sh
# Counts the ticks of a bot's game on street 1 in which two men on their
# feet (walking, reeling or winding up) stand within DX pixels along the
# street and DY in depth of each other: men on one spot read as one.
#   sh clumps.sh NWD-BOT NWD-SIM GAME.AMC SKILL SEED [DX] [DY]
BOT=$1 SIM=$2 AMC=$3 SKILL=$4 SEED=$5 DX=${6:-6} DY=${7:-4}
DEM=${TMPDIR:-/tmp}/clumps.$$.dem
TR=${TMPDIR:-/tmp}/clumps.$$.trace
trap 'rm -f "$DEM" "$TR"' EXIT
"$BOT" --amc "$AMC" --level 1 --streets 1 --skill "$SKILL" --seed "$SEED" --record "$DEM" --quiet >/dev/null
"$SIM" --amc "$AMC" --demo "$DEM" --game --trace "$TR" >/dev/null
# an A line's registers: wx is the 8th value, gy the 9th, class the 16th, state the 17th
awk -v DX="$DX" -v DY="$DY" '
    function close_tick() { if (hit) c++; n = 0; hit = 0 }
    $1 == "T" { close_tick(); next }
    $1 == "A" {
        split(substr($NF, 3), r, ",")
        if (r[16] != 2 || (r[17] != 0 && r[17] != 1 && r[17] != 5)) next
        for (i = 0; i < n; i++) {
            dx = r[8] - X[i]; dy = r[9] - Y[i]
            if (dx < 0) dx = -dx
            if (dy < 0) dy = -dy
            if (dx <= DX && dy <= DY) hit = 1
        }
        X[n] = r[8]; Y[n] = r[9]; n++
    }
    END { close_tick(); printf "clumped=%d\n", c }' "$TR"
