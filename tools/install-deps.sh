#!/usr/bin/env bash
# Installs every Debian package that the build, the game and the tests need.
# Does nothing when they are all present already.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config make
  libsdl1.2-dev libsdl-image1.2-dev libsdl-mixer1.2-dev
  libsdl-gfx1.2-dev libsdl-ttf2.0-dev fonts-roboto-slab
  libpng-dev zlib1g-dev
  libespeak-ng-dev espeak-ng-data
  libgtest-dev googletest libbenchmark-dev
  libx11-dev xvfb xdotool x11-utils imagemagick openbox
  libsdl1.2-compat libenet-dev libnatpmp-dev libminiupnpc-dev libwebsockets-dev
  miniupnpd-nftables nftables iproute2
  sox openmpt123 valgrind
  dpkg-dev desktop-file-utils appstream lintian man-db
  emscripten vorbis-tools chromium chromium-driver python3-selenium python3-pil
  clang-14 libclang-rt-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
