#!/bin/bash
# CPU time of the game on the real clock for 10 s: idling on its start
# screen, and played (New game, then a click on the board every second).
# Headless, and in a real window when a display is there (run under Xvfb
# with a window manager); in a window the X server's own CPU time is shown
# beside the game's, since presenting costs there too.
# Usage: bench/idle_cpu.sh [build-dir]   (default: build)
set -e
build=$(cd "${1:-build}" && pwd)
game="$build/dist/Quibbleton/Quibbleton"
[ -x "$game" ] || { echo "build the game first ($game)"; exit 1; }
idle=$(mktemp) play=$(mktemp)
trap 'rm -f "$idle" "$play"' EXIT
printf '10000 tap ESC\n' > "$idle"
{
  echo "200 click left 60 335"
  for s in $(seq 1 9); do echo "$((s * 1000)) click left $((157 + (s * 5 % 15) * 41)) $((535 - (s % 3) * 55))"; done
  echo "10000 tap ESC"
} > "$play"

xserver_ticks() {  # user + system clock ticks of the X server, or 0
  local pid
  pid=$(pgrep -f "^Xvfb $DISPLAY( |$)" | head -1 || true)
  [ -n "$pid" ] && awk '{ print $14 + $15 }' "/proc/$pid/stat" || echo 0
}

measure() {  # video script label
  local video=$1 script=$2 label=$3 result x0 x1
  TIMEFORMAT='%R %U %S'
  x0=$(xserver_ticks)
  result=$( { time (cd "$(dirname "$game")" && QB_VIDEO=$video QB_CLOCK=real QB_AUDIO=null QB_SCRIPT="$script" \
      ./Quibbleton "$build/dist" 2>/dev/null); } 2>&1 )
  x1=$(xserver_ticks)
  read -r real user sys <<< "$result"
  awk -v l="$label" -v r="$real" -v u="$user" -v s="$sys" -v x=$((x1 - x0)) -v hz="$(getconf CLK_TCK)" \
      -v window="$video" 'BEGIN {
    printf "%-16s wall %.2f s, cpu %.3f s: %5.2f %% of one core", l, r, u + s, 100 * (u + s) / r
    if (window == "sdl") printf "; X server %.2f %%", 100 * x / hz / r
    printf "\n" }'
}

measure headless "$idle" "headless idle"
measure headless "$play" "headless play"
if [ -n "$DISPLAY" ]; then
  measure sdl "$idle" "window idle"
  measure sdl "$play" "window play"
else
  echo "no DISPLAY: the window figures need a display (Xvfb with a window manager)"
fi
