#!/bin/sh
# check.sh NWD_SIM CASE_DIR [OPTION...]: runs the case's `command` (an nwd-sim
# command line writing --trace out.trace) in a scratch copy of CASE_DIR, with
# OPTIONs added, and compares the trace with expected.trace byte for byte.
# A run that does not finish in 20 s fails: no program may hang the engine.
set -eu
sim=$1
case_dir=$(cd "$2" && pwd)
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$case_dir/GAME.AMC" "$case_dir/controls.txt" "$work/"
args=$(sed -e 's/^nwd-sim //' -e 's/--trace out\.trace//' "$case_dir/command")
cd "$work"
# shellcheck disable=SC2086
if ! timeout 20 "$sim" $args "$@" --trace out.trace; then
    echo "check.sh: nwd-sim failed or ran past 20 s on $case_dir" >&2
    exit 1
fi
if ! cmp out.trace "$case_dir/expected.trace"; then
    diff out.trace "$case_dir/expected.trace" | head -n 20 >&2
    exit 1
fi
