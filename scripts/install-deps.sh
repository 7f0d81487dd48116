#!/usr/bin/env bash
# The one list of Debian packages Vornel needs, by purpose:
#   install-deps.sh run      what building and running the program needs (make run, make install)
#   install-deps.sh package  that, and what making its Debian package needs (make package)
#   install-deps.sh all      that, and what the tests and benchmarks need (make test)
#   install-deps.sh bench    that, the photographs the benchmarks convert (make bench) and what
#                            lists the code a start runs (scripts/order_startup_code.py)
# Installs only what is missing; a no-op on a prepared machine. With
# --dry-run it prints the packages of the set, one a line, and installs nothing.
# For Debian 12 and the systems built on it.
set -euo pipefail

run_packages=(
  g++ cmake ninja-build make pkg-config
  qt6-base-dev libgl-dev
  libpng-dev zlib1g-dev libjpeg62-turbo-dev libgif-dev
  fonts-dejavu-core
)
package_packages=(
  dpkg-dev file
)
test_packages=(
  libgtest-dev libbenchmark-dev libx11-dev libxcb1-dev
  xvfb xauth xdotool imagemagick
  weston qt6-wayland strace x11-utils
  cc65
  python3
  desktop-file-utils appstream groff-base man-db
  lintian shared-mime-info xdg-utils libglib2.0-bin dbus-daemon
  at-spi2-core python3-pyatspi
)
# Photographs no one here made, shipped as a library's test images; a start
# run under callgrind.
bench_packages=(
  python3-skimage valgrind
)

dry_run=0
set_name=all
for arg in "$@"; do
  case "$arg" in
    --dry-run) dry_run=1 ;;
    run|package|all|bench) set_name=$arg ;;
    *) echo "usage: install-deps.sh [run|package|all|bench] [--dry-run]" >&2; exit 2 ;;
  esac
done

packages=("${run_packages[@]}")
if [ "$set_name" != run ]; then packages+=("${package_packages[@]}"); fi
if [ "$set_name" = all ] || [ "$set_name" = bench ]; then packages+=("${test_packages[@]}"); fi
if [ "$set_name" = bench ]; then packages+=("${bench_packages[@]}"); fi

if [ $dry_run -eq 1 ]; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

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
