#!/bin/bash
# Start-up of the game on the real clock, headless: from exec to the first
# presented frame, with every picture and sound loaded (the screen's Enter
# runs before the first frame). The first frame is caught as a dump taken at
# tick 0, which is written when that frame is presented.
# Usage: bench/game_startup.sh [build-dir] [runs]   (default: build, 10)
set -e
build=${1:-build}
runs=${2:-10}
game="$(realpath "$build/dist/Quibbleton/Quibbleton")"
[ -x "$game" ] || { echo "build the game first ($game)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$(dirname "$game")"
best=999999; total=0
for i in $(seq 1 "$runs"); do
  rm -f "$work/first.bmp"
  printf '0 shot %s/first.bmp\n500 tap ESC\n' "$work" > "$work/script.txt"
  start=$(date +%s%N)
  QB_VIDEO=headless QB_CLOCK=real QB_AUDIO=null QB_SCRIPT="$work/script.txt" "$game" "$(dirname "$PWD")" 2>/dev/null &
  pid=$!
  while [ ! -s "$work/first.bmp" ]; do sleep 0.001; done
  end=$(date +%s%N)
  wait "$pid"
  ms=$(( (end - start) / 1000000 ))
  total=$((total + ms)); [ "$ms" -lt "$best" ] && best=$ms
done
echo "exec to first presented frame: best $best ms, mean $((total / runs)) ms over $runs runs"
