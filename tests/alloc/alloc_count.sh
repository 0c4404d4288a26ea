#!/bin/sh
# Runs alloc_count in a virtual display. Usage: alloc_count.sh BIN GAME_DIR.
# Exit 77 skips.
BIN=$1
GAME=$2
. "$(dirname "$0")/../e2e_setup.sh"
e2e_setup "$GAME"
timeout 90 xvfb-run -a -s "-screen 0 1024x768x24" "$BIN"
