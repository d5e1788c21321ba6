#!/usr/bin/env bash
# Records the pictures of Halocyne from the real program on a virtual display:
# docs/halocyne.png (one frame of the whole window), docs/halocyne.gif (a few
# seconds of the animation at half size) and the application icons in
# data/icons/, cut from the middle of the screenshot. Rerunning remakes them all.
set -euo pipefail
cd "$(dirname "$0")/.."

build="build-pictures"
seconds=5           # length of the animation
gifFrames=40        # at most this many frames, evenly spread, to keep the file small
gifSize=400x320     # half the window, each way
gifColours=64
gifLimit=$((2 * 1024 * 1024))
iconSizes=(256 128 64 48)
iconCut=560x560     # the square around the middle of the window that holds the figure

scripts/install-deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target halocyne >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs the program, takes a screenshot once it has drawn a few frames, then
# grabs its window as fast as xwd allows for $seconds, keeping each frame once.
# Writes screenshot.png, frame-NNNN.xwd and the grabbing time in ms to $2.
capture() {
  local binary=$1 out=$2 seconds=$3
  "$binary" &
  local program=$! window=""
  for _ in $(seq 300); do
    window=$(xwininfo -name Halocyne 2>/dev/null | awk '/Window id:/ { print $4 }') || true
    [[ -n $window ]] && break
    sleep 0.1
  done
  if [[ -z $window ]]; then
    echo "No Halocyne window appeared" >&2
    kill "$program"
    return 1
  fi
  sleep 2
  import -window "$window" "$out/screenshot.png"

  local start now count=0 previous=""
  start=$(date +%s%N)
  now=$start
  while ((now - start < seconds * 1000000000)); do
    local frame
    frame=$(printf '%s/frame-%04d.xwd' "$out" "$count")
    xwd -id "$window" -silent >"$frame"
    if [[ -n $previous ]] && cmp -s "$previous" "$frame"; then
      rm "$frame"
    else
      previous=$frame
      count=$((count + 1))
    fi
    now=$(date +%s%N)
  done
  echo $(((now - start) / 1000000)) >"$out/elapsed-ms"
  kill "$program"
  wait "$program" || true
}
export -f capture
scripts/with-xvfb.sh bash -c 'capture "$@"' capture "$build/halocyne" "$work" "$seconds"

# No time stamps in the files, so an unchanged picture stays byte-for-byte the same.
plain=(-strip -define "png:exclude-chunks=date,time")

mkdir -p docs
convert "$work/screenshot.png" "${plain[@]}" docs/halocyne.png

grabbed=("$work"/frame-*.xwd)
step=$(((${#grabbed[@]} + gifFrames - 1) / gifFrames))
frames=()
for ((i = 0; i < ${#grabbed[@]}; i += step)); do
  frames+=("${grabbed[i]}")
done
elapsed=$(cat "$work/elapsed-ms")
# GIF delays are in hundredths of a second: play the frames back at the pace they were drawn.
delay=$(((elapsed / 10 + ${#frames[@]} / 2) / ${#frames[@]}))
convert -delay "$delay" -loop 0 "${frames[@]}" -resize "$gifSize" +dither -colors "$gifColours" \
  -layers Optimize docs/halocyne.gif
gifBytes=$(stat -c %s docs/halocyne.gif)
if ((gifBytes > gifLimit)); then
  echo "docs/halocyne.gif is $gifBytes bytes, over the $gifLimit limit" >&2
  exit 1
fi

for size in "${iconSizes[@]}"; do
  mkdir -p "data/icons/${size}x${size}"
  convert "$work/screenshot.png" -gravity center -crop "$iconCut+0+0" +repage \
    -resize "${size}x${size}" "${plain[@]}" "data/icons/${size}x${size}/halocyne.png"
done

echo "Recorded docs/halocyne.png, docs/halocyne.gif (${#frames[@]} frames, $gifBytes bytes)" \
  "and data/icons/{$(IFS=,; echo "${iconSizes[*]}")}/halocyne.png"
