#!/bin/sh
# Lines up the fighters of a built main datafile for judging them by eye:
# one row per frame, one column per fighter, feet on a common line.
# --black fills every figure black on a street grey, to judge silhouettes;
# --bosses or --gang (with the hero) narrows it to those.
# Makes docs/data-cast.png with the defaults (stand, wind-up, strike at 3x).
# Needs nwd-datview from the build and ImageMagick's convert.
# Usage: cast-sheet.sh [--black] [--bosses|--gang] [--frames "N ..."] [--scale N]
#                      BUILD OUT.png
set -e
usage() {
    echo "usage: cast-sheet.sh [--black] [--bosses|--gang] [--frames \"N ...\"] [--scale N] BUILD OUT.png" >&2
    echo "  frames count from a fighter's STAND (0 STAND, 1-4 WALK, 23 WINDUP, 24 ATTACK)" >&2
    exit 2
}
black=
frames="0 23 24"
scale=3
# block starts in the datafile: hero, thug, kicker, knife man, thrower, heavy, then the bosses
fighters="27 59 139 171 530 203 369 401 433 465 497"
while [ $# -gt 0 ]; do
    case $1 in
    --black) black=1 ;;
    --bosses) fighters="369 401 433 465 497" ;;
    --gang) fighters="27 59 139 171 530 203" ;;
    --frames) [ $# -ge 2 ] || usage; frames=$2; shift ;;
    --scale) [ $# -ge 2 ] || usage; scale=$2; shift ;;
    -h | --help) usage ;;
    -*) usage ;;
    *) break ;;
    esac
    shift
done
[ $# -eq 2 ] || usage
build=$1 out=$2
root=$(cd "$(dirname "$0")/.." && pwd)
dat=$build/game/DATA/NIGHTWAR.DAT
[ -f "$dat" ] || { echo "cast-sheet.sh: $dat: no such file" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
rows=""
for f in $frames; do
    row=""
    for first in $fighters; do
        i=$((first + f))
        "$build/nwd-datview" --password-file "$root/data/datafile.key" --scale "$scale" \
            "$dat" "$i" "$tmp/$i.png" >/dev/null
        if [ -n "$black" ]; then
            # index 0 is the only pure black: it is the transparent mask
            convert "$tmp/$i.png" -alpha set -transparent '#000000' -fill black -colorize 100 \
                -background '#7c7c84' -flatten "$tmp/$i.png"
        fi
        row="$row $tmp/$i.png"
    done
    bg='#303040'
    [ -n "$black" ] && bg='#7c7c84'
    # shellcheck disable=SC2086
    convert $row -bordercolor "$bg" -border 6 -background "$bg" -gravity south +append +repage \
        "$tmp/row$f.png"
    rows="$rows $tmp/row$f.png"
done
# shellcheck disable=SC2086
convert $rows -background "$bg" -gravity west -append +repage "$out.tmp.png"
mv "$out.tmp.png" "$out"
