#!/bin/sh
# Installs the Debian packages that building and playing need ("play"), or
# those and what the tests need ("test", the default). Idempotent: does
# nothing when everything is present. With --check it only says, by its exit
# status, whether everything is present.
# Usage: install-deps.sh [--check] [play|test]
set -e
PLAY="build-essential cmake pkg-config libxxhash-dev liballegro4-dev libloadpng4-dev libpng-dev zlib1g-dev \
libdumb1-dev libaldmb1-dev libx11-dev x11-utils espeak-ng libsndfile1-dev libsoxr-dev"
TEST="$PLAY clang libclang-rt-14-dev allegro4-doc libgtest-dev libbenchmark-dev \
xvfb xdotool x11-apps imagemagick netpbm \
sox libasound2-plugins alsa-utils valgrind desktop-file-utils appstream"
check=
if [ "${1:-}" = --check ]; then check=1; shift; fi
case ${1:-test} in
play) PKGS=$PLAY ;;
test) PKGS=$TEST ;;
*) echo "usage: install-deps.sh [--check] [play|test]" >&2; exit 2 ;;
esac
missing=""
for p in $PKGS; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0
[ -n "$check" ] && exit 1
if [ "$(id -u)" != 0 ]; then
    if command -v sudo >/dev/null 2>&1; then SUDO=sudo; else
        echo "install-deps: need root to install:$missing" >&2; exit 1
    fi
fi
echo "install-deps: installing$missing"
${SUDO:-} apt-get update -qq
DEBIAN_FRONTEND=noninteractive ${SUDO:-} apt-get install -y -qq --no-install-recommends $missing
