#!/bin/sh
# A reliability battery, tried as a careless user and a hostile one would:
# each item runs its trials against the built game and tools and prints
# "item: tried T, crashed C, hung H, lost L". A trial crashed when a program
# ended by a signal it did not ask for; hung when it outlived its time
# limit; lost when a player's file, a device or a file outside the working
# folder was not what it should be afterwards. Exit status 1 when any
# figure but "tried" is above zero.
#
# Usage: battery.sh BUILD_DIR SOURCE_DIR [ITEM...]   (items 1..8, default all)
# Environment: BATTERY_DISPLAY (default 210) is the first of ten X display
# numbers the battery may use for its own servers; BATTERY_QUICK=1 runs a
# few trials an item; BATTERY_ASAN_DIR names a sanitized build whose
# nwd-datview and nwd-modrender are used instead.
B=$(cd "$1" && pwd)
SRC=$(cd "$2" && pwd)
shift 2
ITEMS=${*:-1 2 3 4 5 6 7 8}
D0=${BATTERY_DISPLAY:-210}
QUICK=${BATTERY_QUICK:-0}
TOOLS=$B
[ -n "$BATTERY_ASAN_DIR" ] && [ -x "$BATTERY_ASAN_DIR/nwd-datview" ] && TOOLS=$BATTERY_ASAN_DIR
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
PW='k3 Rw;t#'
W=$(mktemp -d /tmp/nwd-battery-XXXXXX)
XPIDS=""
cleanup() {
    for p in $XPIDS; do kill "$p" 2>/dev/null; done
    rm -rf "$W"
}
trap cleanup EXIT INT TERM
bad=0

# --- helpers ---

tried=0 crashed=0 hung=0 lost=0
begin() { tried=0 crashed=0 hung=0 lost=0; }
report() {
    echo "$1: tried $tried, crashed $crashed, hung $hung, lost $lost"
    [ $((crashed + hung + lost)) = 0 ] || bad=1
}
# The status of a finished program: 124/137 from timeout is a hang, any
# other death by signal a crash.
judge() {
    tried=$((tried + 1))
    case $1 in
    124 | 137) hung=$((hung + 1)); return 1 ;;
    1[3-9][0-9] | 2[0-9][0-9]) crashed=$((crashed + 1)); return 1 ;;
    esac
    return 0
}
lose() { lost=$((lost + 1)); [ -n "$VERBOSE" ] && echo "  lost: $1"; }

# A server of our own on display D0+$1, or the next of the ten that is
# free, once it is up and its socket there. A server already holding the
# number (someone else's) is never touched: the new one would not start,
# and the trial would talk to the old one.
xserver() {
    for k in 0 1 2 3 4 5 6 7 8 9; do
        n=$((D0 + ($1 + k) % 10))
        [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -nolisten tcp -screen 0 1024x768x24 >/dev/null 2>&1 &
        XPID=$!
        for i in $(seq 100); do [ -S "/tmp/.X11-unix/X$n" ] && break; sleep 0.05; done
        sleep 0.1
        if kill -0 "$XPID" 2>/dev/null; then
            XPIDS="$XPIDS $XPID"
            DISPLAY_NAME=":$n"
            return 0
        fi
    done
    echo "no X display free among :$D0..:$((D0 + 9))"
    exit 2
}
# Killed at once; its lock and socket are left for the next to clear.
xstop() {
    kill -9 "$1" 2>/dev/null
    wait "$1" 2>/dev/null
    rm -f "/tmp/.X${DISPLAY_NAME#:}-lock" "/tmp/.X11-unix/X${DISPLAY_NAME#:}"
}

# A fresh copy of the game folder, the working folder of one trial.
trial=0
fresh() {
    trial=$((trial + 1))
    T=$W/t$trial
    cp -r "$B/game" "$T"
    rm -f "$T/default.cfg" "$T/SCORES"
}
CFG='difficulty = 9
mode = 2
musicvolume = 77
'
player_files() {
    printf '%s' "$CFG" > "$T/default.cfg"
    head -c 240 /dev/urandom > "$T/SCORES"
    cp "$T/SCORES" "$W/scores.orig"
}
# The settings read back as they were set, the scores byte for byte.
player_files_kept() {
    grep -q '^difficulty = 9$' "$T/default.cfg" && grep -q '^musicvolume = 77$' "$T/default.cfg" &&
        cmp -s "$T/SCORES" "$W/scores.orig"
}
# The game in the trial's folder, in the background: GAME holds its pid.
game() {
    (cd "$T" && DISPLAY=$DISPLAY_NAME exec env $GAME_ENV "$B/nwd" -nosound "$" \
        >"$T/console.txt" 2>&1) &
    GAME=$!
}
# Waits up to $1 seconds for the game; its status, 137 when it had to go.
game_wait() {
    for i in $(seq $(($1 * 20))); do
        kill -0 "$GAME" 2>/dev/null || break
        sleep 0.05
    done
    if kill -0 "$GAME" 2>/dev/null; then
        [ -n "$BATTERY_DEBUG" ] && gdb -p "$GAME" -batch -ex 'thread apply all bt 12' 2>/dev/null |
            grep -E '^#|^Thread' > "$W/../nwd-battery-hang-$trial.txt"
        kill -9 "$GAME" 2>/dev/null
    fi
    wait "$GAME"
}
window_up() { DISPLAY=$DISPLAY_NAME timeout "${1:-10}" xdotool search --sync --name Nightward >/dev/null 2>&1; }
press() { DISPLAY=$DISPLAY_NAME xdotool keydown "$1"; sleep 0.12; DISPLAY=$DISPLAY_NAME xdotool keyup "$1"; sleep 0.35; }
n_of() { [ "$QUICK" = 1 ] && echo "$2" || echo "$1"; }

# --- the items ---

# 1. The display lost during start-up: the player's files stay theirs.
item1() {
    begin
    for i in $(seq 0 $(($(n_of 32 6) - 1))); do
        fresh; player_files
        xserver 1; x=$XPID
        game
        sleep "0.$(printf '%03d' $((i * 10 % 320)))"
        xstop "$x"
        game_wait 10; judge $? || continue
        player_files_kept || lose "t$trial: files changed by a loss at $((i * 10)) ms"
    done
    report "1 display lost during start-up"
}

# 2. Every signal that ends the game saves first; a display that never
# answers, or a signal while it does not, ends start-up cleanly.
item2() {
    begin
    xserver 2
    for when in 0.3 1.5 3; do
        for sig in HUP INT QUIT TERM USR1 USR2 PIPE; do
            fresh; player_files
            game; sleep $when; kill -$sig "$GAME"
            game_wait 10; s=$?
            judge $s || continue
            player_files_kept || lose "t$trial: SIG$sig at $when s"
        done
    done
    xstop "$XPID"
    sock=/tmp/.X11-unix/X$((D0 + 9))
    rm -f "$sock"
    python3 -c "import socket,time; s=socket.socket(socket.AF_UNIX); s.bind('$sock'); s.listen(8); time.sleep(120)" &
    listener=$!
    sleep 0.5
    saved=$DISPLAY_NAME
    DISPLAY_NAME=:$((D0 + 9))
    for k in TERM HUP none; do
        fresh; player_files
        game
        [ $k = none ] || { sleep 1; kill -$k "$GAME"; }
        game_wait 15; judge $? || continue
        player_files_kept || lose "t$trial: never-answering display, $k"
    done
    DISPLAY_NAME=$saved
    kill $listener 2>/dev/null
    rm -f "$sock"
    report "2 signals and a display that never answers"
}

# 3. Writers spare devices, FIFOs and links, and never follow a planted
# NAME.tmp.
item3() {
    begin
    "$B/amcasm" -d "$B/game/AMC/GAME.AMC" -o "$W/game.amcs"
    xserver 3
    for writer in record bot amcasm datview modrender sim; do
        for kind in device fifo link planted; do
            fresh
            out=$T/out
            echo keep > "$T/victim"
            case $kind in
            device) mknod "$out" c 1 3 2>/dev/null || { rm -f "$out"; mkfifo "$out"; kind=fifo; } ;;
            fifo) mkfifo "$out"; (timeout 60 cat "$out" > /dev/null &); sleep 0.2 ;;
            link) echo old > "$T/real"; ln -s real "$out" ;;
            planted) ln -s victim "$out.tmp" ;;
            esac
            [ $kind = fifo ] && [ ! -p "$out" ] && { mkfifo "$out"; (timeout 60 cat "$out" > /dev/null &); }
            case $writer in
            record) game -level 1 -record "$out"; window_up; sleep 1; kill -TERM "$GAME"; game_wait 10 ;;
            bot) timeout 60 "$B/nwd-bot" --amc "$B/game/AMC/GAME.AMC" --level 1 --ticks 200 --quiet \
                     --record "$out" ;;
            amcasm) timeout 60 "$B/amcasm" -o "$out" "$W/game.amcs" 2>/dev/null ;;
            datview) timeout 60 "$TOOLS/nwd-datview" --password "$PW" "$B/game/DATA/NIGHTWAR.DAT" 30 "$out" ;;
            modrender) timeout 60 "$TOOLS/nwd-modrender" --seconds 1 "$SRC/fuzz/corpus/fuzz_module/tiny.mod" \
                           "$out" >/dev/null ;;
            sim) timeout 60 "$B/nwd-sim" --amc "$B/game/AMC/GAME.AMC" --ticks 5 --trace "$out" ;;
            esac
            judge $? || continue
            case $kind in
            device) [ -c "$out" ] || lose "t$trial: $writer replaced a device" ;;
            fifo) [ -p "$out" ] || lose "t$trial: $writer replaced a FIFO" ;;
            link) [ -L "$out" ] && [ "$(head -c 3 "$T/real")" != old ] ||
                      lose "t$trial: $writer replaced the link or missed its target" ;;
            planted) [ "$(cat "$T/victim")" = keep ] || lose "t$trial: $writer wrote through out.tmp" ;;
            esac
        done
    done
    xstop "$XPID"
    report "3 writing through temporary names"
}

# 4. Replay LOAD and SAVE take plain names of the working folder only.
item4() {
    begin
    xserver 4
    fresh
    (cd "$T" && find . -type f ! -name '*.txt' -exec md5sum {} + | sort) > "$W/before"
    GAME_ENV= game; window_up || true; sleep 2
    press Down; press Down; press Return            # REPLAY
    press Down; press Return; DISPLAY=$DISPLAY_NAME xdotool type --delay 120 DEMO1; press Return
    sleep 0.5; press Down
    for name in ../X /tmp/nwd-battery-X AMC/GAME.AMC DATA/LEVELS.DAT SCORES \
        default.cfg DEMO2 TECHNO.lst stderr.txt .hidden game.amc; do
        press Return; DISPLAY=$DISPLAY_NAME xdotool type --delay 120 "$name"; press Return
        sleep 1.5
        tried=$((tried + 1))
    done
    # A plain name is saved: the menu was really driven.
    press Return; DISPLAY=$DISPLAY_NAME xdotool type --delay 120 KEPT; press Return; sleep 1.5
    kill -TERM "$GAME"
    game_wait 15; s=$?
    [ -s "$T/KEPT" ] || { echo "4: the replay menu could not be driven"; bad=1; }
    rm -f "$T/KEPT"
    case $s in 124 | 137) hung=$((hung + 1)) ;; 1[3-9][0-9]) crashed=$((crashed + 1)) ;; esac
    (cd "$T" && find . -type f ! -name '*.txt' ! -name default.cfg ! -name SCORES -exec md5sum {} + |
        sort) > "$W/after"
    grep -v ' ./default.cfg$\| ./SCORES$' "$W/before" | cmp -s - "$W/after" ||
        lose "the game's own files changed"
    # Typed names are folded to upper case.
    [ -e "$W/X" ] || [ -e /TMP/NWD-BATTERY-X ] && lose "a file outside"
    xstop "$XPID"
    report "4 replay names"
}

# 5. nwd-datview on damaged datafiles: refused, never a crash.
item5() {
    begin
    for src in NIGHTWAR.DAT LEVELS.DAT; do
        f=$B/game/DATA/$src
        size=$(wc -c < "$f")
        for k in $(seq $(n_of 20 3)); do
            cp "$f" "$W/d.dat"
            case $((k % 3)) in
            0) head -c $((size * k / 21)) "$f" > "$W/d.dat" ;;
            *) for j in 1 2 3 4; do
                   printf "\\$(printf %o $((RANDOM_BYTE = (k * 37 + j * 101) % 256)))" |
                       dd of="$W/d.dat" bs=1 seek=$(((k * 7919 + j * 104729) % size)) conv=notrunc 2>/dev/null
               done ;;
            esac
            for what in 0 30 sheet map:0:1:4 map:30:30:2 lev1.bin map:lev1.bin:lev1.pcx:13 map:lev1.bin:lev1.pcx:6:2280; do
                timeout 60 "$TOOLS/nwd-datview" --password "$PW" "$W/d.dat" "$what" "$W/o.png" \
                    >/dev/null 2>&1
                judge $?
            done
        done
    done
    report "5 nwd-datview on damaged datafiles"
}

# 6. nwd-modrender on damaged modules.
item6() {
    begin
    for m in "$SRC"/fuzz/corpus/fuzz_module/*.mod "$B"/game/DATA/tech_title.it; do
        size=$(wc -c < "$m")
        for k in $(seq 0 $(n_of 8 2)); do
            cp "$m" "$W/m"
            [ $k = 0 ] || for j in 1 2 3; do
                printf '\377' | dd of="$W/m" bs=1 seek=$(((k * 7919 + j * 613) % size)) conv=notrunc 2>/dev/null
            done
            timeout 120 "$TOOLS/nwd-modrender" "$W/m" "$W/o.wav" >/dev/null 2>&1
            judge $?
        done
    done
    report "6 nwd-modrender on damaged modules"
}

# 7. Special files where the game reads: unreadable, never waited on.
item7() {
    begin
    xserver 7
    for where in default.cfg SCORES DEMO1 TECHNO.lst mod nwd_dat trace play zero-cfg zero-lst; do
        fresh; player_files
        args="" GAME_ENV=""
        case $where in
        default.cfg | SCORES | DEMO1 | TECHNO.lst) rm -f "$T/$where"; mkfifo "$T/$where" ;;
        mod) mkfifo "$T/m.xm"; args="-mod m.xm" ;;
        nwd_dat) mkdir "$T/D"; cp "$T"/DATA/* "$T/D/"; rm "$T/D/NIGHTWAR.DAT"; mkfifo "$T/D/NIGHTWAR.DAT"
                 GAME_ENV="NWD_DAT=D/" ;;
        trace) mkfifo "$T/trace"; GAME_ENV="NWD_DEMO_TRACE=trace" ;;
        play) mkfifo "$T/f.dem"; args="-play f.dem" ;;
        zero-cfg) rm -f "$T/default.cfg"; ln -s /dev/zero "$T/default.cfg" ;;
        zero-lst) rm -f "$T/TECHNO.lst"; ln -s /dev/zero "$T/TECHNO.lst" ;;
        esac
        game $args
        window_up 8
        kill -TERM "$GAME" 2>/dev/null
        game_wait 10; judge $? || continue
        case $where in
        default.cfg | zero-cfg | SCORES | DEMO1 | TECHNO.lst | trace) ;;
        *) player_files_kept || lose "t$trial: $where" ;;
        esac
    done
    GAME_ENV=""
    xstop "$XPID"
    report "7 special files"
}

# 8. The display lost in play, many times: all saved, within moments.
item8() {
    begin
    for i in $(seq $(n_of 20 4)); do
        fresh; player_files
        xserver 0; x=$XPID
        game -level 1 -record rec.dem
        window_up 10
        sleep "$((1 + i % 4)).$((i * 37 % 10))"
        xstop "$x"
        game_wait 5; judge $? || continue
        player_files_kept && [ -s "$T/rec.dem" ] || lose "t$trial: not saved"
    done
    report "8 display lost in play"
}

for item in $ITEMS; do
    item$item
done
exit $bad
