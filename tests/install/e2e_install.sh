#!/bin/sh
# Installs the build into a scratch root with DESTDIR, checks what a desktop
# and a packager look for, then runs the installed launcher as a user who
# cannot write the data (nobody), from a folder of its own, in a virtual
# display: the game starts, the player's files land in the XDG data folder and
# nothing is written next to the data. Usage: e2e_install.sh BUILD_DIR.
# Exit 77 skips.
BUILD=$1
skip() { echo "skipped: $1"; exit 77; }
fail() { echo "FAIL: $1"; exit 1; }
for tool in Xvfb xdotool xprop setpriv; do
    command -v "$tool" >/dev/null 2>&1 || skip "no $tool"
done
[ "$(id -u)" = 0 ] || skip "running the game as another user needs root"
id nobody >/dev/null 2>&1 || skip "no user nobody"

WORK=$(mktemp -d)
XPID=
trap '[ -n "$XPID" ] && kill $XPID; rm -rf "$WORK"' EXIT
chmod 755 "$WORK"
ROOT=$WORK/root
DESTDIR=$ROOT cmake --install "$BUILD" --prefix /usr >"$WORK/install.log" 2>&1 ||
    { cat "$WORK/install.log"; fail "cmake --install"; }

U=$ROOT/usr
S=$U/share
for f in bin/nightward bin/amcasm bin/nwd-sim bin/nwd-datview libexec/nightward/nwd \
    share/games/nightward/DATA/NIGHTWAR.DAT share/games/nightward/AMC/GAME.AMC \
    share/games/nightward/TECHNO.lst share/man/man6/nightward.6 share/man/man1/amcasm.1 \
    share/icons/hicolor/48x48/apps/nightward.png share/icons/hicolor/64x64/apps/nightward.png \
    share/icons/hicolor/128x128/apps/nightward.png share/icons/hicolor/scalable/apps/nightward.svg \
    share/doc/nightward/LICENSE; do
    [ -e "$U/$f" ] || fail "not installed: $f"
done
if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$S"/applications/*.desktop || fail "desktop entry"
fi
if command -v appstreamcli >/dev/null 2>&1; then
    appstreamcli validate --no-net "$S"/metainfo/*.metainfo.xml || fail "AppStream metadata"
fi
version=$("$U/bin/nightward" --version) || fail "nightward --version"
[ "$version" = "Nightward $("$U/bin/amcasm" --version | sed 's/.* //')" ] ||
    fail "the game says '$version', amcasm '$("$U/bin/amcasm" --version)'"

# The player: a home and a folder to start from, both the player's own.
P=$WORK/player
mkdir -p "$P/home" "$P/here"
chown -R nobody "$P"
find "$ROOT" -exec stat -c '%n %s %Y' {} + | sort >"$WORK/before"

exec 3>"$WORK/display"
Xvfb -displayfd 3 -ac -screen 0 1024x768x24 2>/dev/null &
XPID=$!
exec 3>&-
for _ in 1 2 3 4 5 6 7 8 9 10; do [ -s "$WORK/display" ] && break; sleep 0.5; done
DISPLAY=:$(cat "$WORK/display")
export DISPLAY

(cd "$P/here" && exec setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups \
    env -i HOME="$P/home" XDG_DATA_HOME="$P/home/data" DISPLAY="$DISPLAY" PATH=/usr/bin:/bin \
    "$U/bin/nightward" -level 1 -nosound -nojoy -record run.dem) &
game=$!
win=$(timeout 30 xdotool search --sync --name Nightward | head -n 1)
[ -n "$win" ] || { kill $game; fail "no window"; }
xprop -id "$win" WM_CLASS | grep -q '"Nightward"' || fail "window class: $(xprop -id "$win" WM_CLASS)"
xprop -id "$win" _NET_WM_ICON | grep -q 'Icon (48 x 48)' || fail "the window has no icon"
xdotool windowfocus --sync "$win" 2>/dev/null
sleep 2
xdotool keydown F1
sleep 0.3
xdotool keyup F1
sleep 0.5
kill -TERM $game  # ends the run as the close button does: settings and scores are saved
wait $game

home=$P/home/data/nightward
for f in default.cfg SCORES stderr.txt nwd000.bmp; do
    [ -f "$home/$f" ] || { ls -l "$home"; cat "$home/stderr.txt"; fail "no $f in $home"; }
done
grep -q '^music = TECHNO$' "$home/default.cfg" || fail "the shipped playlist was not offered"
[ "$(ls "$P/here")" = run.dem ] || fail "the start folder holds: $(ls "$P/here")"
find "$ROOT" -exec stat -c '%n %s %Y' {} + | sort >"$WORK/after"
cmp -s "$WORK/before" "$WORK/after" || { diff "$WORK/before" "$WORK/after"; fail "the install changed"; }
echo "installed game ran as nobody; its files are in the XDG data folder"
