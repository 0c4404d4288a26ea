#!/bin/sh
# Builds everything (installing what is missing) and starts the game.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
cd build/game && exec ../nwd "$@"
