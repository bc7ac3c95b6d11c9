#!/bin/bash
# Crash safety: uploads from wrk, the server killed with SIGKILL in the
# middle, restarted on the same SQLite file. Every upload that was answered
# 200 must be in the database, and the database must pass its integrity check.
# Usage: bench/server_crash.sh [build-dir]
set -e
. "$(dirname "$0")/server_common.sh"
command -v wrk > /dev/null || { echo "wrk is not installed (apt-get install wrk)"; exit 1; }

start_server "$work/scores.db"
WRK_UPLOADS=1 WRK_RECORD="$work/answered" wrk -t2 -c16 -d6s -s "$here/server_wrk.lua" "http://127.0.0.1:$port/" \
  > "$work/wrk.log" 2>&1 &
wrk_pid=$!
sleep 3
kill -KILL "$pid"
wait "$pid" 2> /dev/null || true
pid=""
wait "$wrk_pid" || true
cat "$work"/answered.* > "$work/answered"
answered=$(wc -l < "$work/answered")

start_server "$work/scores.db"
integrity=$(sqlite3 "$work/scores.db" "PRAGMA integrity_check")
stored=$(sqlite3 "$work/scores.db" "SELECT count(*) FROM scores")
missing=$(sqlite3 "$work/scores.db" <<SQL
CREATE TEMP TABLE answered (name TEXT);
.import $work/answered answered
SELECT count(*) FROM answered WHERE name NOT IN (SELECT name FROM scores);
SQL
)
health=$(curl -s "http://127.0.0.1:$port/healthz")
echo "answered 200 before the kill: $answered; stored after restart: $stored; answered but missing: $missing"
echo "integrity check: $integrity; server after restart: $health"
[ "$answered" -gt 0 ] && [ "$missing" = 0 ] && [ "$integrity" = ok ] && [ "$health" = ok ]
