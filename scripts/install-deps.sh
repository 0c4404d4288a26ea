#!/bin/sh
# Installs the Debian packages that building, playing and testing need.
# Idempotent: does nothing when everything is present.
set -e
PKGS="build-essential cmake pkg-config clang libclang-rt-14-dev \
liballegro4-dev allegro4-doc libdumb1-dev libaldmb1-dev libx11-dev \
libgtest-dev libbenchmark-dev libxxhash-dev \
xvfb xdotool x11-apps x11-utils imagemagick netpbm \
espeak-ng sox libasound2-plugins alsa-utils valgrind"
missing=""
for p in $PKGS; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" != 0 ]; then
    if command -v sudo >/dev/null 2>&1; then SUDO=sudo; else
        echo "install-deps: need root to install:$missing" >&2; exit 1
    fi
fi
echo "install-deps: installing$missing"
${SUDO:-} apt-get update -qq
DEBIAN_FRONTEND=noninteractive ${SUDO:-} apt-get install -y -qq --no-install-recommends $missing
