#!/bin/bash
# The launcher on the real clock, headless: CPU of its game pages idling for
# 10 s, exec to the first presented frame, and the same start with 1,000 and
# 10,000 game folders beside it (with its resident memory once the first page
# is shown).
# Usage: bench/launcher_perf.sh [build-dir] [runs]   (default: build, 5)
set -e
build=$(realpath "${1:-build}")
runs=${2:-5}
lobbo="$build/dist/Lobbo"
[ -x "$lobbo" ] || { echo "build the launcher first ($lobbo)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QB_VIDEO=headless QB_CLOCK=real QB_AUDIO=null

# A launcher directory of its own: the artwork linked, n game folders.
make_launcher() {
  local dir=$1 n=$2
  mkdir -p "$dir"
  for f in "$build"/dist/*; do [ -f "$f" ] && [ "$(basename "$f")" != options.ini ] && ln -s "$f" "$dir/"; done
  # perl (in every Debian) makes thousands of folders without a process each.
  perl -e 'my ($dir, $n, $button) = @ARGV; for my $i (1 .. $n) {
    mkdir "$dir/Game$i" or die; symlink $button, "$dir/Game$i/LobboButton.bmp" or die }' \
    "$dir" "$n" "$build/dist/Quibbleton/LobboButton.bmp"
}

# Milliseconds from exec to the first presented frame (a dump taken at tick 0), best and mean.
startup() {
  local dir=$1 best=999999 total=0 ms start end pid rss=0
  for i in $(seq 1 "$runs"); do
    rm -f "$work/first.bmp"
    # Escape comes late enough that a slow start still presents its first frame.
    printf '0 shot %s/first.bmp\n10000 tap ESC\n' "$work" > "$work/script.txt"
    start=$(date +%s%N)
    (cd "$dir" && QB_SCRIPT="$work/script.txt" exec ./Lobbo 2>/dev/null) &
    pid=$!
    while [ ! -s "$work/first.bmp" ]; do
      kill -0 "$pid" 2>/dev/null || { echo "the launcher ended before its first frame"; exit 1; }
      sleep 0.001
    done
    end=$(date +%s%N)
    rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0)
    wait "$pid"
    ms=$(( (end - start) / 1000000 ))
    total=$((total + ms)); [ "$ms" -lt "$best" ] && best=$ms
  done
  echo "best $best ms, mean $((total / runs)) ms over $runs runs, resident $((rss / 1024)) MiB"
}

make_launcher "$work/one" 0
ln -s "$build/dist/Quibbleton" "$work/one/Quibbleton"
make_launcher "$work/many" 1000
make_launcher "$work/more" 10000

printf '10000 tap ESC\n' > "$work/idle.txt"
TIMEFORMAT='%R %U %S'
result=$( { time (cd "$work/one" && QB_SCRIPT="$work/idle.txt" ./Lobbo 2>/dev/null); } 2>&1 )
read -r real user sys <<< "$result"
awk -v r="$real" -v u="$user" -v s="$sys" 'BEGIN {
  printf "game pages idling: wall %.2f s, cpu %.3f s (user %.3f, sys %.3f): %.2f %% of one core\n", r, u + s, u, s, 100 * (u + s) / r }'
echo "exec to first frame, one game: $(startup "$work/one")"
echo "exec to first frame, 1000 games: $(startup "$work/many")"
echo "exec to first frame, 10000 games: $(startup "$work/more")"
