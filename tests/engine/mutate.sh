#!/bin/sh
# A mutation pass over the interpreter: each mutant of mutants.txt changes
# one piece of engine/amc_*.cpp the way a slip of the pen would; the engine
# tests, the recorded worlds (tests/engine/traces) and the game's recorded
# replays (tests/replays) then run against it. A mutant that none of them
# notices "survived": a fault of that kind would go unseen.
#
#   sh tests/engine/mutate.sh [-b BUILD_DIR] [-w WORK_DIR] [-k] [-s] [MUTANTS]
#
# BUILD_DIR (default build) is a whole build, for the game's GAME.AMC that
# the replays play. WORK_DIR (default a new temporary folder) gets a copy of
# the sources and an engine-only build of its own, so the worktree is never
# changed; -k keeps it. -s builds it with AddressSanitizer and
# UndefinedBehaviorSanitizer, which also notice a read one word past a
# program, harmless to the plain build. MUTANTS defaults to tests/engine/mutants.txt, one
# mutant a line: FILE @@ TEXT @@ REPLACEMENT @@ WHAT, where TEXT must occur
# exactly once in FILE and \n stands for a line break. Prints one line per mutant and the totals; exits 1
# when a mutant survived, 2 for bad usage or a broken baseline.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$root/build
work=""
keep=0
sanitize=OFF
usage() { echo "usage: $0 [-b BUILD_DIR] [-w WORK_DIR] [-k] [-s] [MUTANTS]" >&2; exit 2; }
while getopts "b:w:ksh" o; do
    case $o in
    b) build=$(cd "$OPTARG" && pwd) ;;
    w) work=$OPTARG ;;
    k) keep=1 ;;
    s) sanitize=ON ;;
    *) usage ;;
    esac
done
shift $((OPTIND - 1))
[ $# -le 1 ] || usage
mutants=$(cd "$(dirname "${1:-$here/mutants.txt}")" && pwd)/$(basename "${1:-$here/mutants.txt}")
[ -f "$mutants" ] || { echo "$0: $mutants: no such file" >&2; exit 2; }
game_amc=$build/game/AMC/GAME.AMC
[ -f "$game_amc" ] || { echo "$0: no $game_amc: build the game first" >&2; exit 2; }
if [ -z "$work" ]; then
    work=$(mktemp -d)
    [ "$keep" = 1 ] || trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work/src"

# The sources as they are in the worktree, committed or not.
(cd "$root" && git ls-files -co --exclude-standard | grep -v '^build' | tar -cf - -T -) |
    (cd "$work/src" && tar -xf -)
cmake -S "$work/src" -B "$work/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNWD_ENGINE_ONLY=ON \
    -DNWD_TESTS=ON -DNWD_SANITIZE=$sanitize >"$work/cmake.log" 2>&1 || { cat "$work/cmake.log"; exit 2; }

export ASAN_OPTIONS=detect_leaks=0

# Builds what judges a mutant, then judges it: prints what noticed it, or
# nothing. A mutant that loops for ever is noticed by the time limits.
judge() {
    if ! cmake --build "$work/build" -j2 --target engine_tests nwd-sim >"$work/make.log" 2>&1; then
        echo "does not compile"
        return
    fi
    if ! timeout 300 "$work/build/engine_tests" >"$work/tests.log" 2>&1; then
        failed=$(grep -a '^\[  FAILED  \]' "$work/tests.log" | head -n 1 |
            sed 's/^\[  FAILED  \] //; s/ (.*//')
        # A sanitizer's report or a time limit stops the tests mid-way.
        [ -n "$failed" ] || failed="$(grep -a '^\[ RUN      \]' "$work/tests.log" | tail -n 1 |
            sed 's/^\[ RUN      \] //') stopped"
        echo "engine tests: $failed"
        return
    fi
    for d in "$work/src/tests/engine/traces"/*/; do
        for path in "" --plain; do
            if ! sh "$work/src/tests/engine/traces/check.sh" "$work/build/nwd-sim" "$d" $path \
                >/dev/null 2>&1; then
                echo "trace $(basename "$d")${path:+ $path}"
                return
            fi
        done
    done
    for dem in "$work/src/tests/replays"/*.dem; do
        if ! timeout 120 "$work/build/nwd-sim" --amc "$game_amc" --demo "$dem" --game \
            --verify "${dem%.dem}.trace" >/dev/null 2>&1; then
            echo "replay $(basename "$dem" .dem)"
            return
        fi
    done
}

echo "baseline: building and testing the unchanged sources"
why=$(judge)
[ -z "$why" ] || { echo "$0: the unchanged sources fail: $why" >&2; exit 2; }

killed=0
survived=0
stillborn=0
n=0
while IFS= read -r line; do
    case $line in '' | '#'*) continue ;; esac
    n=$((n + 1))
    file=$(printf '%s' "$line" | awk -F ' @@ ' '{ print $1 }')
    what=$(printf '%s' "$line" | awk -F ' @@ ' '{ print $4 }')
    target=$work/src/$file
    cp "$target" "$work/original"
    # Exactly one occurrence, replaced as plain text.
    if ! MUTANT="$line" perl -0777 -i -pe '
            my (undef, $from, $to) = split / @@ /, $ENV{MUTANT};
            s/\\n/\n/g for $from, $to;
            my $count = () = /\Q$from\E/g;
            die "found $count times\n" if $count != 1;
            s/\Q$from\E/$to/;' "$target" 2>"$work/perl.log"; then
        echo "$0: mutant $n: $(cat "$work/perl.log"): $line" >&2
        cp "$work/original" "$target"
        exit 2
    fi
    why=$(judge)
    cp "$work/original" "$target"
    if [ "$why" = "does not compile" ]; then
        stillborn=$((stillborn + 1))
        status="stillborn"
    elif [ -n "$why" ]; then
        killed=$((killed + 1))
        status="killed by $why"
    else
        survived=$((survived + 1))
        status="SURVIVED"
    fi
    printf '%3d %-40s %s: %s\n' "$n" "$file" "$what" "$status"
done <"$mutants"
# Put the build back to the unchanged sources for a later run in WORK_DIR.
cmake --build "$work/build" -j2 --target engine_tests nwd-sim >/dev/null 2>&1 || true
echo "mutants: $n, killed $killed, survived $survived, not compiling $stillborn"
[ "$survived" = 0 ]
