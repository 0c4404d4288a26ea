#!/bin/sh
# Plays whole games with nwd-bot in every mode at several skills and seeds
# and prints how many were won, how long they took, what they scored and
# how many continues ARCADE took.
#   sh tools/nwd-bot/survey.sh [BUILD] [SEEDS] [SKILLS]
# BUILD is the build folder (default build), SEEDS how many games each
# (default 4), SKILLS the skills to play (default "3 5 8 12").
BUILD=${1:-build}
SEEDS=${2:-4}
SKILLS=${3:-3 5 8 12}
BOT=$BUILD/nwd-bot
AMC=$BUILD/game/AMC/GAME.AMC
[ -x "$BOT" ] && [ -f "$AMC" ] || { echo "survey.sh: build the game first" >&2; exit 2; }
printf '%-9s %5s %6s %12s %10s %9s %s\n' mode skill won "mean time" "mean score" continues "streets reached when lost"
for mode in 1 2 3; do
    name=$(echo "ARCADE SURVIVAL VAMPIRE" | cut -d' ' -f$mode)
    for skill in $SKILLS; do
        won=0 ticks=0 score=0 cont=0 lost=""
        seed=1
        while [ $seed -le "$SEEDS" ]; do
            out=$("$BOT" --amc "$AMC" --mode $mode --skill $skill --seed $seed 2>/dev/null)
            last=$(echo "$out" | tail -n 1)
            t=$(echo "$last" | sed -n 's/.* ticks=\([0-9]*\).*/\1/p')
            s=$(echo "$last" | sed -n 's/.* score=\([0-9]*\) .*/\1/p')
            c=$(echo "$last" | sed -n 's/.* continues=\([0-9]*\).*/\1/p')
            cont=$((cont + ${c:-0}))
            ticks=$((ticks + ${t:-0}))
            score=$((score + ${s:-0}))
            case $last in
            won:*) won=$((won + 1)) ;;
            *) lost="$lost $(echo "$out" | grep -c '^street')" ;;
            esac
            seed=$((seed + 1))
        done
        mean=$((ticks / SEEDS / 72))
        printf '%-9s %5s %3s/%-2s %9d:%02d %10d %9d %s\n' $name $skill $won $SEEDS $((mean / 60)) $((mean % 60)) \
            $((score / SEEDS)) $cont "$lost"
    done
done
