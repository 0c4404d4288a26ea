#!/bin/sh
# Builds the game and its tools (installing only what that needs) and starts
# the game. The tests are built too once their packages are there.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh play
tests=OFF
if sh scripts/install-deps.sh --check test; then tests=ON; fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNWD_TESTS=$tests >/dev/null
cmake --build build -j"$(nproc)"
cd build/game && exec ../nwd "$@"
