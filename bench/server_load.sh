#!/bin/bash
# The score server under load from wrk on the same machine: uploads per
# second, then leaderboard reads per second against /healthz of the same
# server in the same run (taking turns, each at its best of two), on SQLite
# and, when PostgreSQL is installed, on a throwaway cluster; then uploads
# over ROWS stored scores (SQLite), uniform and all equal (ties). One
# "RESULT" line per run and a "RATIO" line per comparison.
# Usage: bench/server_load.sh [build-dir] [seconds-per-run] [connections] [rows]
# With SERVER_LOAD_CHECK=1 it skips PostgreSQL and exits 1 when reads fall
# under 45 % of /healthz (the aim is 70 %: see compare) or uploads over ties
# under 50 % of uniform ones
# (CI runs it so: bench/server_load.sh build 3 16 100000).
set -e
seconds=${2:-10}
connections=${3:-16}
rows=${4:-1000000}
check=${SERVER_LOAD_CHECK:-0}
. "$(dirname "$0")/server_common.sh"
command -v wrk > /dev/null || { echo "wrk is not installed (apt-get install wrk)"; exit 1; }
failed=0

last=0
load() {  # label, then wrk's URL; WRK_UPLOADS in the environment makes uploads
  local line
  line=$(wrk -t2 -c"$connections" -d"${seconds}s" -s "$here/server_wrk.lua" "$2" | grep '^RESULT' | sed 's/^RESULT //')
  printf '%-40s %s\n' "$1" "$line"
  last=$(echo "$line" | awk '{print $2}')
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
# Prints the ratio line and remembers a failure under the floor: the aim
# itself, or in the check a floor of its own where short runs on a shared
# machine spread too widely to hold the aim exactly (reads took 0.62 to
# 0.92 of /healthz on one quiet 2-core machine); the floor still catches a
# board built per request again (0.17 before boards were kept).
compare() {  # what, measured, reference, aim[, floor in the check]
  local r floor="$4"
  [ "$check" = 1 ] && [ -n "$5" ] && floor="$5"
  r=$(ratio "$2" "$3")
  echo "RATIO $1: $r (aim $4, fails under $floor)"
  if awk -v r="$r" -v floor="$floor" 'BEGIN { exit !(r < floor) }'; then failed=1; fi
}

max() { awk -v a="$1" -v b="$2" 'BEGIN { print (a > b ? a : b) }'; }

# Reads and /healthz take turns, twice; each is compared at its best run,
# as other work on the machine slows some runs of either.
measure() {  # label
  local base="http://127.0.0.1:$port" healthz=0 html=0 json=0
  WRK_UPLOADS=1 load "$1 uploads" "$base/"
  for round in 1 2; do
    load "$1 /healthz" "$base/healthz"; healthz=$(max "$healthz" "$last")
    load "$1 leaderboard reads (HTML)" "$base/games/Quibbleton"; html=$(max "$html" "$last")
    load "$1 leaderboard reads (JSON)" "$base/api/games/Quibbleton/scores?limit=100"; json=$(max "$json" "$last")
  done
  compare "$1 HTML reads / healthz" "$html" "$healthz" 0.70 0.45
  compare "$1 JSON reads / healthz" "$json" "$healthz" 0.70 0.45
}

echo "2 cores, server and wrk side by side: $connections connections, ${seconds} s per run"
start_server "$work/scores.db"
measure "sqlite"
stop_server

if [ "$check" = 1 ]; then
  echo "postgresql: skipped in the check"
elif start_postgres; then
  start_server "$pg_address"
  measure "postgresql"
  stop_server
else
  echo "postgresql: not installed, skipped"
fi

# ROWS stored scores in one game (written behind the server's back, which
# counts them when it opens the file), then uploads over them: uniform
# scores, and every one the same score, where a rank must cost no more.
fill() {  # database, score expression
  start_server "$1"
  stop_server
  sqlite3 "$1" > /dev/null <<SQL
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $rows)
INSERT INTO scores (game, name, address, email, send, score, created)
  SELECT 'Quibbleton', 'seed' || i, '', '', 'N', $2, 1765000000 FROM n;
PRAGMA wal_checkpoint(TRUNCATE);
SQL
  start_server "$1"
}
fill "$work/big.db" "abs(random()) % 1000000"
echo "stored scores: $(sqlite3 "$work/big.db" "SELECT count(*) FROM scores")"
WRK_UPLOADS=1 load "sqlite, $rows uniform scores uploads" "http://127.0.0.1:$port/"
uniform=$last
if [ "$check" != 1 ]; then
  load "sqlite, $rows rows /healthz" "http://127.0.0.1:$port/healthz"; healthz=$last
  load "sqlite, $rows rows reads (HTML)" "http://127.0.0.1:$port/games/Quibbleton"; html=$last
  load "sqlite, $rows rows /healthz" "http://127.0.0.1:$port/healthz"; healthz=$(max "$healthz" "$last")
  load "sqlite, $rows rows reads (HTML)" "http://127.0.0.1:$port/games/Quibbleton"; html=$(max "$html" "$last")
  compare "sqlite, $rows rows HTML reads / healthz" "$html" "$healthz" 0.70
fi
stop_server
fill "$work/ties.db" 500000
WRK_UPLOADS=1 WRK_SCORE=500000 load "sqlite, $rows equal scores uploads" "http://127.0.0.1:$port/"
stop_server
compare "uploads over $rows equal scores / over uniform ones" "$last" "$uniform" 0.50

if [ "$check" = 1 ] && [ "$failed" = 1 ]; then
  echo "server_load: a ratio is under its aim"
  exit 1
fi
