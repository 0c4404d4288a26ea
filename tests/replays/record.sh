#!/bin/sh
# Records the replay suite from the real game: each replay below is played
# through the keyboard (xdotool) in a virtual display with -record, and its
# demo is stored here beside the trace the game wrote through NWD_DEMO_TRACE.
#
#   sh tests/replays/record.sh [NAME...]     (default: every replay)
#
# BUILD names the build folder (default: build at the top of the tree). A
# recording that does not end as its replay wants is refused: change its keys
# below when the game changes. See docs/demos.md.
set -u
here=$(cd "$(dirname "$0")" && pwd)
BUILD=${BUILD:-$here/../../build}
BUILD=$(cd "$BUILD" && pwd) || exit 2

# Each replay: the game's options, the end it must reach (a pattern for the
# trace's end line) and its keys. hold KEY SECONDS; rest SECONDS;
# wait_end SECONDS waits for the game to end by itself. A replay with bot_
# options is a game that nwd-bot plays (too long to play through keys); the
# game replays its demo with -play and writes the trace.
all="lost pause-end story credits street1 street2 street3 street4 street5"

# SURVIVAL, one life: walks up to the first thugs and takes their blows.
opts_lost="-level 1 -survival -skill 60 -nosound"
want_lost="outcome=0 "
keys_lost() { hold Right 3; wait_end 120; }

# VAMPIRE, with sound on: walks, fights, then END GAME in the pause menu.
opts_pause_end="-level 1 -vampire -skill 8 sound"
want_pause_end="outcome=-1 "
keys_pause_end() {
    hold Right 2
    for k in Shift_L Control_L Shift_L Up Shift_L Down Control_L; do hold $k 0.3; done
    hold Right 1; hold Left 0.5
    hold Escape 0.3; hold Down 0.3; hold Return 0.3
}

# ARCADE from the story: the captions, the van, the first street fought to
# its end, the next van and the junkyard; the demo ends in the van after it.
bot_story="--level 6 --streets 2 --mode 1 --skill 5 --seed 7"
opts_story="-nosound -fps 360"
want_story="outcome=-1 "
keys_story() { wait_end 240; }

# Every street fought from its start to the boss's fall and the bonuses.
bot_street1="--level 1 --streets 1 --mode 3 --skill 5 --seed 11"
bot_street2="--level 2 --streets 1 --mode 2 --skill 5 --seed 3"
bot_street3="--level 3 --streets 1 --mode 1 --skill 5 --seed 13"
bot_street4="--level 4 --streets 1 --mode 1 --skill 8 --seed 15"
bot_street5="--level 5 --streets 1 --mode 1 --skill 5 --seed 15"
opts_street1=$opts_story; opts_street2=$opts_story; opts_street3=$opts_story
opts_street4=$opts_story; opts_street5=$opts_story
want_street1=$want_story; want_street2=$want_story; want_street3=$want_story
want_street4=$want_story; want_street5="outcome=1[2-9] "
keys_street1() { wait_end 240; }
keys_street2() { wait_end 240; }
keys_street3() { wait_end 240; }
keys_street4() { wait_end 240; }
keys_street5() { wait_end 240; }

# The credits, ended by a key after a few seconds.
opts_credits="-level 11 -nosound"
want_credits="outcome=-1 "
keys_credits() { rest 5; hold Right 0.3; }

if [ "${1:-}" = --inside ]; then
    # Under the virtual display, in the scratch folder: $2 the name, $3.. options.
    name=$2
    shift 2
    hold() { xdotool keydown "$1"; sleep "$2"; xdotool keyup "$1"; sleep 0.2; }
    rest() { sleep "$1"; }
    ended() { grep -q '^end ' "$name.trace" 2>/dev/null; }
    wait_end() {
        n=0
        while ! ended && [ $n -lt $(($1 * 5)) ]; do sleep 0.2; n=$((n + 1)); done
    }
    if [ -f "$name.dem" ]; then
        NWD_DEMO_TRACE=$name.trace "$NWD" -play "$name.dem" -nostat -nojoy "$@" &
    else
        NWD_DEMO_TRACE=$name.trace "$NWD" -record "$name.dem" -nojoy "$@" &
    fi
    pid=$!
    win=$(xdotool search --sync --name Nightward | head -n 1)
    xdotool windowfocus --sync "$win" 2>/dev/null
    sleep 1
    "keys_$(echo "$name" | tr - _)"
    wait_end 10
    # The ending and the score entry, if any, are left with Return.
    n=0
    while kill -0 $pid 2>/dev/null && [ $n -lt 120 ]; do
        xdotool key Return 2>/dev/null; sleep 0.5; n=$((n + 1))
    done
    kill $pid 2>/dev/null
    wait $pid
    exit $?
fi

NWD=$BUILD/nwd
SIM=$BUILD/nwd-sim
GAME=$BUILD/game
export NWD
for tool in xvfb-run xdotool; do
    command -v $tool >/dev/null 2>&1 || { echo "record.sh: $tool is needed" >&2; exit 2; }
done
[ -x "$NWD" ] && [ -x "$SIM" ] && [ -f "$GAME/AMC/GAME.AMC" ] ||
    { echo "record.sh: build the game first (cmake --build $BUILD)" >&2; exit 2; }
[ $# -gt 0 ] || set -- $all

status=0
for name; do
    var=$(echo "$name" | tr - _)
    eval "opts=\${opts_$var:-}; want=\${want_$var:-}; bot=\${bot_$var:-}"
    [ -n "$opts" ] || { echo "record.sh: no replay named $name" >&2; status=2; continue; }
    work=$(mktemp -d)
    if [ -n "$bot" ] && ! "$BUILD/nwd-bot" --amc "$GAME/AMC/GAME.AMC" $bot --quiet \
            --record "$work/$name.dem" >"$work/bot" 2>&1; then
        echo "$name: the bot did not play its game: $(cat "$work/bot")"
        status=1
        rm -rf "$work"
        continue
    fi
    # "sound" asks for sound through ALSA into nothing, so that one replay
    # covers the requests the game clears when it plays them.
    case " $opts " in
    *" sound "*)
        opts=$(echo " $opts " | sed 's/ sound / /')
        printf '[sound]\ndigi_card = ALSA\n' > "$work/allegro.cfg"
        echo 'pcm.!default { type null }' > "$work/asound.conf"
        env="ALSA_CONFIG_PATH=asound.conf ALLEGRO=." ;;
    *) env= ;;
    esac
    (cd "$work" && env $env NWD_DAT="$GAME/DATA/" NWD_AMC="$GAME/AMC/" timeout 300 \
        xvfb-run -a -s "-screen 0 1024x768x8" sh "$here/record.sh" --inside "$name" $opts) \
        > "$work/log" 2>&1
    end=$(grep '^end ' "$work/$name.trace" 2>/dev/null)
    if [ ! -s "$work/$name.dem" ] || [ -z "$end" ]; then
        echo "$name: the game did not record a whole game"; cat "$work/log" "$work/stderr.txt" 2>/dev/null
        status=1
    elif ! echo "$end " | grep -q "$want"; then
        echo "$name: ended with '$end', not '$want': change its keys in record.sh"
        status=1
    elif ! "$SIM" --amc "$GAME/AMC/GAME.AMC" --demo "$work/$name.dem" --game \
            --verify "$work/$name.trace" >"$work/verify" 2>&1; then
        echo "$name: the simulator does not reproduce the recording:"; head -n 5 "$work/verify"
        status=1
    else
        cp "$work/$name.dem" "$work/$name.trace" "$here/"
        rows=$("$SIM" --amc "$GAME/AMC/GAME.AMC" --demo "$here/$name.dem" --game |
               sed -n 's/^L //p' | tr '\n' ' ')
        echo "$name: $(head -n 1 "$here/$name.trace"); rows after the first: ${rows:-none}; $end"
    fi
    rm -rf "$work"
done
exit $status
