#!/bin/bash
# The score server under the attacks a public server meets, from this
# machine: slow heads from 200 loopback addresses while /healthz is timed
# from another, 1,500 slow replay bodies and a slowloris from 100 addresses
# each while /healthz and a kept board are timed, a 50 MB header flood, a
# read with 2,700 ranges and an upload hidden in a GET's body; then, over a
# board of ROWS scores, 16 attackers reading pages nobody kept while a probe
# reads page 1 and uploads. Each prints one "RESULT" line.
# Usage: [DB=sqlite|postgresql|both] bench/server_attack.sh [build-dir] [seconds-per-attack] [server] [rows]
# A third argument runs another server binary with the same options (an
# empty one: the built server); rows default to a million. DB chooses the
# database of the read attack (SQLite by default; PostgreSQL on a throwaway
# cluster); the other attacks do not reach the database and run on SQLite,
# unless DB=postgresql alone.
set -e
seconds=${2:-10}
. "$(dirname "$0")/server_common.sh"
[ -n "$3" ] && server=$3
rows=${4:-1000000}
db=${DB:-sqlite}
case $db in sqlite | postgresql | both) ;; *) echo "DB is sqlite, postgresql or both"; exit 1 ;; esac
attack="$build/bench/server_attack"
[ -x "$attack" ] || { echo "build server_attack first ($attack)"; exit 1; }
ulimit -n 4096 2> /dev/null || true
# Exits 1 when a figure misses its bound (the suite runs it so).
status=0
if [ "$db" != postgresql ]; then
  start_server "$work/scores.db"
  "$attack" "$port" "$pid" "$seconds" || status=$?
  stop_server
fi

players=$(( rows / 10 > 0 ? rows / 10 : 1 ))
reads() {  # label, database, fill command
  local filled
  filled=$(date +%s.%N)
  "${@:3}"
  start_server "$2"
  echo "RESULT fill ($1): $rows scores of $players players written and opened in" \
    "$(awk -v a="$filled" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }') s"
  "$attack" "$port" "$pid" "$seconds" reads "$players" || status=$?
  stop_server
}
if [ "$db" != postgresql ]; then
  reads sqlite "$work/board.db" fill_scores "$work/board.db" "$rows" "$players"
fi
if [ "$db" != sqlite ]; then
  if start_postgres; then
    reads postgresql "$pg_address" fill_postgres "$rows" "$players"
    stop_postgres
  else
    echo "postgresql: not installed, skipped"
  fi
fi
exit $status
