#!/bin/bash
# A whole 300-second game headless on the virtual clock, with a click on the
# board every second, then the game-over picture: how much CPU it takes and
# how many frames per CPU-second that is (each frame is 10 virtual ms).
# Usage: bench/game_speed.sh [build-dir]   (default: build)
set -e
build=${1:-build}
game="$build/dist/Quibbleton/Quibbleton"
[ -x "$game" ] || { echo "build the game first ($game)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/Quibbleton"
for f in "$(dirname "$game")"/*; do
  case "$(basename "$f")" in Quibbleton|hiscore.dat) ;; *) ln -s "$(realpath "$f")" "$work/Quibbleton/" ;; esac
done
{
  echo "200 click left 50 375"
  # One click a second over the board, walking the cells row by row.
  for s in $(seq 1 300); do
    x=$(( 137 + ((s * 7) % 15) * 41 + 20 )); y=$(( 10 + ((s * 3) % 10) * 55 + 27 ))
    [ $((s % 2)) = 0 ] && button=left || button=right
    echo "$((s * 1000 + 300)) click $button $x $y"
  done
  echo "306000 tap ESC"
} > "$work/script.txt"
TIMEFORMAT='%R %U %S'
cd "$work/Quibbleton"
result=$( { time QB_VIDEO=headless QB_CLOCK=virtual QB_AUDIO=null QB_SEED=1 QB_MAX_TICKS=320000 \
  QB_SCRIPT="$work/script.txt" "$(realpath "$OLDPWD/$game" 2>/dev/null || echo "$game")" "$work" 2>/dev/null; } 2>&1 )
read -r real user sys <<< "$result"
# 306 virtual seconds at 100 frames a second.
awk -v r="$real" -v u="$user" -v s="$sys" 'BEGIN {
  frames = 30600; cpu = u + s
  printf "306 virtual s (%d frames): wall %.2f s, cpu %.3f s (user %.3f, sys %.3f): %.0f frames per CPU-second\n",
    frames, r, cpu, u, s, frames / cpu }'
