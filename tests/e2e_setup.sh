# Shared start of the window tests, sourced by each: e2e_setup GAME_DIR TOOL...
# Skips (exit 77) when a tool or the built game folder is missing, then moves
# into a scratch folder removed at exit and points the game at GAME_DIR.
e2e_setup() {
    e2e_game=$1
    shift
    for tool in xvfb-run xdotool "$@"; do
        command -v "$tool" >/dev/null 2>&1 || { echo "skipped: no $tool"; exit 77; }
    done
    [ -f "$e2e_game/DATA/NIGHTWAR.DAT" ] && [ -f "$e2e_game/AMC/GAME.AMC" ] ||
        { echo "skipped: the game folder is not built"; exit 77; }
    WORK=$(mktemp -d)
    trap 'rm -rf "$WORK"' EXIT
    cd "$WORK" || exit 1
    export NWD_DAT="$e2e_game/DATA/" NWD_AMC="$e2e_game/AMC/"
}
