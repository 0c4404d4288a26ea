#!/bin/sh
# Builds everything (installing what is missing) and starts the game.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
if [ -x build/nwd ] && [ -d build/game ]; then
    cd build/game && exec ../nwd "$@"
fi
# Until the game itself is built, run a sample script headless: programs
# 0..13 yield, the director (14) ends the level with outcome 3.
{
    printf 'AMC'
    i=0; while [ $i -lt 14 ]; do printf '\001\000\022\000'; i=$((i + 1)); done
    printf '\007\000\001\000\003\001\145\000\002\000\031\000\160\000\022\000\000\000'
} > build/SAMPLE.AMC
exec build/nwd-sim --amc build/SAMPLE.AMC --ticks 5 "$@"
