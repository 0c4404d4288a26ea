#!/bin/sh
# Nine screens along a street as the game draws them, for the docs: the
# background band scrolled at its own speed, the map, and the foreground
# layer at 1.5 times the map's, from the view at the street's start to the
# view at its end, in a 3x3 sheet (docs/data-lev1.png .. data-lev5.png).
# Needs nwd-datview from the build and ImageMagick's convert.
# Usage: level-sheet.sh BUILD LEVEL OUT.png
set -e
[ $# -eq 3 ] || { echo "usage: level-sheet.sh BUILD LEVEL OUT.png" >&2; exit 2; }
build=$1 level=$2 out=$3
root=$(cd "$(dirname "$0")/.." && pwd)
data=$build/game/DATA
[ -f "$data/LEVELS.DAT" ] || { echo "level-sheet.sh: $data/LEVELS.DAT: no such file" >&2; exit 1; }
# As the game's level catalogue has them: main columns, then the band's
# picture, height, divisor, multiplier and period, then the foreground's
# rows and play-area top (the foreground follows the 1456 main cells).
case $level in
1) cols=176 band= ;;
2) cols=112 band=dif2.pcx h=111 div=8 mul=1 wrap=128 front=7 top=96 ;;
3) cols=112 band=dif3.pcx h=128 div=23 mul=1 wrap=384 front=6 top=112 ;;
4) cols=176 band= ;;
5) cols=176 band=dif5.pcx h=208 div=23 mul=7 wrap=768 front= ;;
*) echo "level-sheet.sh: no street $level" >&2; exit 2 ;;
esac
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
view() {
    "$build/nwd-datview" --password-file "$root/data/datafile.key" --palette "$data/NIGHTWAR.DAT" \
        "$data/LEVELS.DAT" "$1" "$2"
}
view "map:lev$level.bin:lev$level.pcx:13" "$tmp/map.png"
if [ -n "$band" ]; then
    view "$band" "$tmp/band.png"
    convert "$tmp/band.png" -write mpr:b +delete -size $((wrap + 320))x$h tile:mpr:b "$tmp/strip.png"
fi
[ -z "$front" ] || view "map:lev$level.bin:lev$level.pcx:$front:1456" "$tmp/front.png"
# Index 0 is the palette's only black: what the map leaves transparent.
convert -size 966x630 xc:black "$tmp/sheet.png"
k=0
while [ $k -lt 9 ]; do
    s=$((k * (cols * 16 - 320) / 8))
    set -- -size 320x208 xc:black
    [ -z "$band" ] || set -- "$@" "(" "$tmp/strip.png" -crop 320x$h+$((s * mul / div % wrap))+0 +repage ")" -composite
    set -- "$@" "(" "$tmp/map.png" -crop 320x208+$s+0 +repage -transparent black ")" -composite
    [ -z "$front" ] || set -- "$@" "(" "$tmp/front.png" -crop 320x$((front * 16))+$((3 * s / 2))+0 +repage \
        -transparent black ")" -geometry +0+$top -composite
    convert "$@" "$tmp/screen.png"
    convert "$tmp/sheet.png" "$tmp/screen.png" -geometry +$((1 + k % 3 * 322))+$((1 + k / 3 * 210)) \
        -composite "$tmp/sheet.png"
    k=$((k + 1))
done
convert "$tmp/sheet.png" "PNG8:$out"
