#!/bin/sh
# Installs the build into a scratch root with DESTDIR, checks what a desktop
# and a packager look for, then runs the installed launcher as a user who
# cannot write the data (nobody), from a folder of its own, in a virtual
# display: an older version's settings and log move to the XDG config and
# state folders, the player's files land in the XDG folders and nothing is
# written next to the data; and the game plays a mod of its scripts that the
# player assembled with the installed amcasm, with no source checkout.
# Usage: e2e_install.sh BUILD_DIR SOURCE_DIR. Exit 77 skips.
BUILD=$1
SRC=$2
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
for f in bin/nightward bin/amcasm bin/nwd-sim bin/nwd-datview bin/nwd-bot libexec/nightward/nwd \
    share/games/nightward/DATA/NIGHTWAR.DAT share/games/nightward/AMC/GAME.AMC \
    share/games/nightward/scripts/game.inc share/games/nightward/scripts/nightward.inc \
    share/games/nightward/scripts/contract.inc share/games/nightward/scripts/contract.txt \
    share/games/nightward/TECHNO.lst share/man/man6/nightward.6 share/man/man1/amcasm.1 \
    share/icons/hicolor/48x48/apps/nightward.png share/icons/hicolor/64x64/apps/nightward.png \
    share/icons/hicolor/128x128/apps/nightward.png share/icons/hicolor/scalable/apps/nightward.svg \
    share/doc/nightward/LICENSE; do
    [ -e "$U/$f" ] || fail "not installed: $f"
done
for f in "$U"/bin/*; do
    n=${f##*/}
    [ -e "$S/man/man1/$n.1" ] || [ -e "$S/man/man6/$n.6" ] || fail "no man page for bin/$n"
done
for f in "$S"/man/man*/*; do
    grep -q '^\.SH EXIT STATUS' "$f" || fail "${f##*/} says nothing of exit statuses"
done
diff -r "$SRC/docs/modding/example" "$S/doc/nightward/modding/example" || fail "the modding example"
for f in "$SRC"/data/amc/*.amcs; do
    cmp -s "$f" "$S/games/nightward/scripts/${f##*/}" || fail "script ${f##*/} not installed"
done

# The metadata's homepage, and screenshots that are the repository's own.
meta=$(cat "$S"/metainfo/*.metainfo.xml)
home_url=$(printf '%s\n' "$meta" | sed -n 's|.*<url type="homepage">\(.*\)</url>.*|\1|p')
[ -n "$home_url" ] || fail "no homepage in the metadata"
shots=$(printf '%s\n' "$meta" | sed -n 's|.*<image>\(.*\)</image>.*|\1|p')
[ -n "$shots" ] || fail "no screenshots in the metadata"
for url in $shots; do
    case $url in
    "$home_url"/docs/screenshots/*.png) [ -f "$SRC/docs/screenshots/${url##*/}" ] || fail "$url: no such file" ;;
    *) fail "$url is not one of the homepage's docs/screenshots/" ;;
    esac
done

if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$S"/applications/*.desktop || fail "desktop entry"
fi
if command -v appstreamcli >/dev/null 2>&1; then
    appstreamcli validate --no-net --strict "$S"/metainfo/*.metainfo.xml || fail "AppStream metadata"
fi
version=$("$U/bin/nightward" --version) || fail "nightward --version"
[ "$version" = "Nightward $("$U/bin/amcasm" --version | sed 's/.* //')" ] ||
    fail "the game says '$version', amcasm '$("$U/bin/amcasm" --version)'"

# A clean environment but for the sanitizers' settings of a checked build.
SAN="ASAN_OPTIONS=${ASAN_OPTIONS:-} UBSAN_OPTIONS=${UBSAN_OPTIONS:-}"

# The options without a display, through the launcher.
env -i $SAN HOME="$WORK/h" PATH=/usr/bin:/bin "$U/bin/nightward" --help >"$WORK/help" ||
    fail "nightward --help: status $?"
grep -q '^   Options :  -?' "$WORK/help" || fail "nightward --help lists no options: $(cat "$WORK/help")"
env -i $SAN HOME="$WORK/h" PATH=/usr/bin:/bin "$U/bin/nightward" -bogus 2>/dev/null
[ $? = 2 ] || fail "an unknown option is not bad usage"

# The player: a home and a folder to start from, both the player's own,
# with the settings and log of an older version in the data folder.
P=$WORK/player
mkdir -p "$P/home/data/nightward/AMC" "$P/here"
printf 'difficulty = 9\nmode = 2\n' >"$P/home/data/nightward/default.cfg"
echo "an older run" >"$P/home/data/nightward/stderr.txt"

# A mod from the installed scripts alone: the hero starts further in.
cp -r "$S/games/nightward/scripts" "$P/mod"
sed -i 's/spawn player, 40, 176/spawn player, 100, 176/' "$P/mod/director.amcs"
cmp -s "$P/mod/director.amcs" "$S/games/nightward/scripts/director.amcs" &&
    fail "the example change no longer applies to director.amcs"
(cd "$P/mod" && "$U/bin/amcasm" -o "$P/home/data/nightward/AMC/GAME.AMC" ./*.amcs) ||
    fail "the installed amcasm cannot assemble the installed scripts"
MOD=$P/home/data/nightward/AMC/GAME.AMC
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
    env -i $SAN HOME="$P/home" XDG_DATA_HOME="$P/home/data" XDG_CONFIG_HOME="$P/home/config" \
    NWD_DEMO_TRACE="$P/trace" DISPLAY="$DISPLAY" PATH=/usr/bin:/bin \
    "$U/bin/nightward" -level 1 -nosound -nojoy -record run.dem 2>"$P/console") &
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
config=$P/home/config/nightward
state=$P/home/.local/state/nightward
for f in "$home/SCORES" "$home/nwd000.bmp" "$config/default.cfg" "$state/stderr.txt"; do
    [ -f "$f" ] || { ls -lR "$P/home"; cat "$P/console"; fail "no $f"; }
done
for f in default.cfg stderr.txt; do
    [ -e "$home/$f" ] && fail "$f is still in the data folder"
done
grep -q '^difficulty = 9$' "$config/default.cfg" || fail "the older settings were not moved"
grep -q '^mode = 2$' "$config/default.cfg" || fail "the older settings were not moved"
grep -q '^music = TECHNO$' "$config/default.cfg" || fail "the shipped playlist was not offered"
[ "$(ls "$P/here")" = run.dem ] || fail "the start folder holds: $(ls "$P/here")"
find "$ROOT" -exec stat -c '%n %s %Y' {} + | sort >"$WORK/after"
cmp -s "$WORK/before" "$WORK/after" || { diff "$WORK/before" "$WORK/after"; fail "the install changed"; }

# The game played the mod: its trace agrees with the mod tick for tick and
# not with the game's own programs, and the hero stood where the mod put him.
grep -q "playing the programs of $home/AMC/" "$P/console" || fail "the launcher did not say it plays a mod"
sim() { "$U/bin/nwd-sim" --amc "$1" --game --demo "$P/here/run.dem" --verify "$P/trace" >/dev/null 2>&1; }
sim "$MOD" || fail "the game did not play the mod: $(cat "$P/console")"
sim "$U/share/games/nightward/AMC/GAME.AMC" && fail "the game's own programs replay the mod's game"
"$U/bin/nwd-sim" --amc "$MOD" --ticks 1 | grep -q '^A [0-9]* prog=0 .*,100,176,' ||
    fail "nwd-sim does not show the hero at 100"
echo "installed game ran as nobody; its files are in the XDG folders; it played a mod"
