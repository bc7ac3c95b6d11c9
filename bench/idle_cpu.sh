#!/bin/bash
# CPU time of the game idling for 10 s on the real clock, headless: the frame
# loop at 100 frames per second should leave the processor nearly idle.
# Usage: bench/idle_cpu.sh [build-dir]   (default: build)
set -e
build=${1:-build}
game="$build/dist/Quibbleton/Quibbleton"
[ -x "$game" ] || { echo "build the game first ($game)"; exit 1; }
script=$(mktemp)
printf '10000 tap ESC\n' > "$script"
TIMEFORMAT='%R %U %S'
cd "$(dirname "$game")"
result=$( { time QB_VIDEO=headless QB_CLOCK=real QB_AUDIO=null QB_SCRIPT="$script" ./Quibbleton "$(dirname "$PWD")" 2>/dev/null; } 2>&1 )
rm -f "$script"
read -r real user sys <<< "$result"
awk -v r="$real" -v u="$user" -v s="$sys" 'BEGIN {
  printf "wall %.2f s, cpu %.3f s (user %.3f, sys %.3f): %.2f %% of one core\n", r, u + s, u, s, 100 * (u + s) / r }'
