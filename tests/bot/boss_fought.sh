#!/bin/sh
# No street may be won while its boss stands untouched: the bot plays whole
# games and their replays are searched for a street cleared with a boss at
# full health (the director once took a boss's late first turn for his death).
#   sh boss_fought.sh NWD-BOT NWD-SIM GAME.AMC SEED...
BOT=$1 SIM=$2 AMC=$3
shift 3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
for seed in "$@"; do
    "$BOT" --amc "$AMC" --skill 5 --seed "$seed" --quiet --record "$dir/g.dem" >/dev/null || true
    "$SIM" --amc "$AMC" --demo "$dir/g.dem" --game | awk -v seed="$seed" '
        /^T / { t = $2 }
        /^G / { stage = $23 }
        /^A / && stage == 1 {
            r = $7; sub(/^r=/, "", r); n = split(r, v, ",")
            if (v[16] == 3 && v[14] > 0 && v[14] == v[22]) {
                printf "seed %s: street won at tick %s with a boss at full health\n", seed, t
                bad = 1; exit
            }
        }
        END { exit bad }' || exit 1
done
