#!/bin/sh
# Builds everything and runs every test.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh test
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNWD_TESTS=ON -DNWD_WERROR=ON >/dev/null
cmake --build build -j"$(nproc)"
cd build && ctest --output-on-failure -j"$(nproc)"
