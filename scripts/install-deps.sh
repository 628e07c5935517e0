#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the game need.
# Idempotent and non-interactive: does nothing when all are present.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libsdl2-dev
  libpng-dev zlib1g-dev libjpeg62-turbo-dev
  libogg-dev libvorbis-dev
  libfreetype-dev libfontconfig-dev fontconfig fonts-ipafont-gothic fonts-misaki
  clang libclang-rt-14-dev
  xvfb xauth xdotool openbox
  desktop-file-utils appstream
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

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
