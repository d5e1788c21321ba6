#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need,
# skipping those already there. Runs apt-get as root, through sudo if needed.
set -euo pipefail

packages=(
  cmake g++ make pkgconf file
  freeglut3-dev libglu1-mesa-dev libgl-dev libx11-dev libsleef-dev
  libgtest-dev libbenchmark-dev valgrind libgl1-mesa-dri
  xvfb x11-utils x11-apps imagemagick
  dpkg-dev desktop-file-utils man-db
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo)
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
