#!/bin/sh
# Plays a whole game with nwd-bot and prints, for every street, the most
# men of its fights that stood at once (the bosses' fights left out: their
# men are his own) and the time the street took.
#   sh tools/nwd-bot/crowd.sh [BUILD] [MODE] [SKILL] [SEED]
# MODE is 1 ARCADE, 2 SURVIVAL or 3 VAMPIRE (default 1), SKILL 5, SEED 1.
BUILD=${1:-build}
MODE=${2:-1}
SKILL=${3:-5}
SEED=${4:-1}
BOT=$BUILD/nwd-bot
AMC=$BUILD/game/AMC/GAME.AMC
[ -x "$BOT" ] && [ -f "$AMC" ] || { echo "crowd.sh: build the game first" >&2; exit 2; }
"$BOT" --amc "$AMC" --mode "$MODE" --skill "$SKILL" --seed "$SEED" --verbose 1 | awk '
/^street/ { printf "street %s most standing %d, %s\n", substr($2, 1, length($2) - 1), most, $3; most = 0; next }
/^(won|lost|ended|stopped):/ { print; next }
/ foes=/ {
    if ($0 ~ / E1[1-5]:/) next    # a boss (kinds 11 to 15) is in the fight
    match($0, / foes=[0-9]+/)
    n = substr($0, RSTART + 6, RLENGTH - 6) + 0
    if (n > most) most = n
}'
