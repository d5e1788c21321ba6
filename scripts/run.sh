#!/usr/bin/env bash
# Installs what is missing, builds Halocyne and runs it. Without a display it
# runs the program for a few seconds on a virtual one (Xvfb) and saves a
# screenshot of the window instead.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target halocyne >/dev/null

if [[ -n "${DISPLAY:-}" ]] && xdpyinfo >/dev/null 2>&1; then
  exec build/halocyne "$@"
fi

screenshot="$PWD/build/halocyne-screenshot.png"
scripts/with-xvfb.sh bash -c '
  build/halocyne "$@" & program=$!
  sleep 4
  import -window Halocyne "'"$screenshot"'"
  kill "$program"' -- "$@"
echo "No display: ran Halocyne on a virtual one; screenshot saved to $screenshot"
