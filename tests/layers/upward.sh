#!/bin/sh
# A tree where the engine includes the drawing, and the drawing the game
# through "../" and through <...>: the check names each line and fails; the includes the
# rows allow pass, and so does the real tree.
# Usage: upward.sh CMAKE CHECK_SCRIPT SOURCE_DIR
set -u
cmake=$1 check=$2 source=$3
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/engine" "$tree/gfx" "$tree/game"
: >"$tree/game/session.h"
printf '#pragma once\n' >"$tree/engine/world.h"
printf '// the picture\n#pragma once\n' >"$tree/gfx/scene.h"
printf '#include "engine/world.h"\n#include "scene.h"\n' >"$tree/gfx/scene.cpp"
printf '#include "world.h"\n\n#include "gfx/scene.h"\n' >"$tree/engine/world.cpp"
printf '#include <cstdio>\n  #  include "../game/session.h"\n#include "nwd_contract.h"\n' >"$tree/gfx/hud.cpp"
printf '#include "scene.h"\n#include <game/session.h>\n' >"$tree/gfx/level.cpp"

out=$("$cmake" -DSOURCE_DIR="$tree" -P "$check" 2>&1) && {
    echo "the check passed a tree with upward includes"; exit 1; }
want="engine/world.cpp:3: engine may not include gfx/scene.h
gfx/hud.cpp:2: gfx may not include game/session.h
gfx/level.cpp:2: gfx may not include game/session.h"
got=$(printf '%s\n' "$out" | grep 'may not include' | sort)
[ "$got" = "$want" ] || { printf 'want:\n%s\ngot:\n%s\n' "$want" "$out"; exit 1; }

rm "$tree/engine/world.cpp" "$tree/gfx/hud.cpp" "$tree/gfx/level.cpp"
"$cmake" -DSOURCE_DIR="$tree" -P "$check" || { echo "allowed includes refused"; exit 1; }
"$cmake" -DSOURCE_DIR="$source" -P "$check" || { echo "the tree itself breaks the layers"; exit 1; }
