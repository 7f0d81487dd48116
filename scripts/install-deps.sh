#!/usr/bin/env bash
# The one list of Debian packages Vornel needs to build, test and run.
# Installs only what is missing; a no-op on a prepared machine.
set -euo pipefail

packages=(
  g++ cmake ninja-build make pkg-config
  qt6-base-dev libgl-dev libx11-dev
  libpng-dev zlib1g-dev
  libgtest-dev libbenchmark-dev
  xvfb xauth xdotool imagemagick
  python3
  desktop-file-utils appstream groff-base man-db
  fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
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
