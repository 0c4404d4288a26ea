#!/bin/bash
# Runs the same kernels as AMC programs under nwd-sim and in Lua 5.4, several
# times each, and prints the work per second of the best run of each and
# their ratio (AMC / Lua; above 1 the interpreter is ahead):
#   count    a counting loop: an addition, a mask, an increment, a compare
#            and a branch per iteration (lua/count.*)
#   fib      the Fibonacci recurrence with 16-bit sums, a call and a return
#            per step, as scripts call subroutines (lua/fib.*)
#   fib_rec  fib(25) by plain recursion; the machine has no stack, so each
#            frame lives in another slot's registers, reached through links
#            (lua/fib_rec.*)
# Times are processor time (user + system), which other work on the
# machine disturbs less than wall time.
#
#   bench/lua_compare.sh [-b BUILD_DIR] [-r REPEATS] [-t TICKS]
#
# BUILD_DIR (default build) must hold nwd-sim and amcasm. TICKS (4000) sets
# the counting loop's length; the other kernels run about as long. Installs
# Debian's lua5.4 when it is missing and this runs as root.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$here/../build
repeats=5
ticks=4000
usage() { echo "usage: $0 [-b BUILD_DIR] [-r REPEATS] [-t TICKS]" >&2; exit 2; }
while getopts "b:r:t:h" o; do
    case $o in
    b) build=$OPTARG ;;
    r) repeats=$OPTARG ;;
    t) ticks=$OPTARG ;;
    *) usage ;;
    esac
done
[ $OPTIND -gt $# ] || usage
case "$repeats$ticks" in *[!0-9]*|"") usage ;; esac
[ "$repeats" -ge 1 ] && [ "$ticks" -ge 1 ] || usage

for tool in nwd-sim amcasm; do
    [ -x "$build/$tool" ] || { echo "$0: no $build/$tool: build first" >&2; exit 1; }
done
if ! command -v lua5.4 >/dev/null 2>&1; then
    if [ "$(id -u)" = 0 ]; then
        apt-get install -y -qq lua5.4 >/dev/null || { apt-get update -qq && apt-get install -y -qq lua5.4 >/dev/null; }
    fi
    command -v lua5.4 >/dev/null 2>&1 || { echo "$0: lua5.4 is missing (apt-get install lua5.4)" >&2; exit 1; }
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Best processor time of the repeats, in seconds.
best() {
    local b="" t
    TIMEFORMAT='%U %S'
    for _ in $(seq "$repeats"); do
        t=$( { time "$@" >/dev/null; } 2>&1 | awk '{ printf "%.3f", $1 + $2 }')
        if [ -z "$b" ] || awk -v t="$t" -v b="$b" 'BEGIN { exit !(t < b) }'; then b=$t; fi
    done
    echo "$b"
}

# Register r (0..31) of slot 1 after the last tick of an AMC run, as an
# unsigned 16-bit number.
reg_after() { # AMC TICKS R
    "$build/nwd-sim" --amc "$1" --ticks "$2" --trace "$work/trace"
    grep '^A 1 ' "$work/trace" | tail -n 1 | sed 's/.* r=//' | cut -d, -f$(($3 + 1)) |
        awk '{ print $1 < 0 ? $1 + 65536 : $1 }'
}

# kernel NAME AMC_TICKS LUA_ARG AMC_WORK LUA_WORK UNIT: times both, prints
# the work per second of each and the ratio.
kernel() {
    local amc lua
    amc=$(best "$build/nwd-sim" --amc "$work/$1.AMC" --ticks "$2" --hash)
    lua=$(best lua5.4 "$here/lua/$1.lua" "$3")
    awk -v name="$1" -v aw="$4" -v lw="$5" -v unit="$6" -v a="$amc" -v l="$lua" -v r="$repeats" 'BEGIN {
        printf "%s, best of %d runs\n", name, r
        printf "  AMC under nwd-sim  %6.3f s  %7.1f M %s/s\n", a, aw / a / 1e6, unit
        printf "  Lua 5.4            %6.3f s  %7.1f M %s/s\n", l, lw / l / 1e6, unit
        printf "  ratio AMC / Lua    %.2f\n", (aw / a) / (lw / l)
    }'
}

for k in count fib fib_rec; do
    "$build/amcasm" -o "$work/$k.AMC" "$here/lua/$k.amcs"
done
fib_ticks=$((ticks * 4))
rec_ticks=$((ticks * 3 / 2))
[ "$rec_ticks" -ge 60 ] || rec_ticks=60

# Each pair must compute the same result: the AMC one is a register of
# slot 1 in the last tick's trace. fib_rec finishes a fib(25) now and then
# within the ticks; Lua computes as many.
amc_sum=$(reg_after "$work/count.AMC" "$ticks" 8)
lua_sum=$(lua5.4 "$here/lua/count.lua" "$ticks")
[ "$amc_sum" = "$lua_sum" ] || { echo "$0: count: results differ: AMC $amc_sum, Lua $lua_sum" >&2; exit 1; }
amc_sum=$(reg_after "$work/fib.AMC" "$fib_ticks" 11)
lua_sum=$(lua5.4 "$here/lua/fib.lua" "$fib_ticks")
[ "$amc_sum" = "$lua_sum" ] || { echo "$0: fib: results differ: AMC $amc_sum, Lua $lua_sum" >&2; exit 1; }
runs=$(reg_after "$work/fib_rec.AMC" "$rec_ticks" 10)
amc_sum=$(reg_after "$work/fib_rec.AMC" "$rec_ticks" 11)
lua_sum=$(lua5.4 "$here/lua/fib_rec.lua" "$runs")
[ "$amc_sum" = "$lua_sum" ] || { echo "$0: fib_rec: results differ: AMC $amc_sum, Lua $lua_sum" >&2; exit 1; }

kernel count "$ticks" "$ticks" $((ticks * 5000)) $((ticks * 5000)) iterations
kernel fib "$fib_ticks" "$fib_ticks" $((fib_ticks * 1000)) $((fib_ticks * 1000)) steps
# 4096 calls a tick; fib(25) makes 242785.
kernel fib_rec "$rec_ticks" "$runs" $((rec_ticks * 4096)) $((runs * 242785)) calls
