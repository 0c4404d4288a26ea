#!/bin/bash
# Runs the same counting loop as an AMC program under nwd-sim and in Lua 5.4,
# several times each, and prints the iterations per second of the best run
# of each and their ratio (AMC / Lua; above 1 the interpreter is ahead).
# Times are processor time (user + system), which other work on the
# machine disturbs less than wall time.
#
#   bench/lua_compare.sh [-b BUILD_DIR] [-r REPEATS] [-t TICKS]
#
# BUILD_DIR (default build) must hold nwd-sim and amcasm. Installs Debian's
# lua5.4 when it is missing and this runs as root.
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
"$build/amcasm" -o "$work/COUNT.AMC" "$here/lua/count.amcs"

# Both must compute the same sum; the AMC one is register 8 of slot 1 in
# the last tick's trace.
"$build/nwd-sim" --amc "$work/COUNT.AMC" --ticks "$ticks" --trace "$work/trace"
amc_sum=$(grep '^A 1 ' "$work/trace" | tail -n 1 | sed 's/.* r=//' | cut -d, -f9)
lua_sum=$(lua5.4 "$here/lua/count.lua" "$ticks")
[ "$amc_sum" = "$lua_sum" ] || { echo "$0: results differ: AMC $amc_sum, Lua $lua_sum" >&2; exit 1; }

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
amc=$(best "$build/nwd-sim" --amc "$work/COUNT.AMC" --ticks "$ticks" --hash)
lua=$(best lua5.4 "$here/lua/count.lua" "$ticks")
awk -v n=$((ticks * 5000)) -v a="$amc" -v l="$lua" -v r="$repeats" 'BEGIN {
    printf "counting loop, %d iterations, best of %d runs\n", n, r
    printf "  AMC under nwd-sim  %6.3f s  %7.1f M iterations/s\n", a, n / a / 1e6
    printf "  Lua 5.4            %6.3f s  %7.1f M iterations/s\n", l, n / l / 1e6
    printf "  ratio AMC / Lua    %.2f\n", l / a
}'
