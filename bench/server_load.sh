#!/bin/bash
# The score server under load from wrk on the same machine: uploads per
# second and leaderboard reads per second with their p99 latency, on SQLite
# and, when PostgreSQL is installed, on a throwaway cluster; then the same
# over 1,000,000 stored scores (SQLite), uniform and all equal (ties). Each
# server's /healthz is measured in the same run as its reads, for the ratio.
# One "RESULT" line per run.
# Usage: bench/server_load.sh [build-dir] [seconds-per-run] [connections]
set -e
seconds=${2:-10}
connections=${3:-16}
. "$(dirname "$0")/server_common.sh"
command -v wrk > /dev/null || { echo "wrk is not installed (apt-get install wrk)"; exit 1; }
pg_ctl=""
stop_postgres() { $as_user "$pg_ctl" -D "$work/pg/data" -m immediate -w stop > /dev/null 2>&1; }

load() {  # label, then wrk's URL; WRK_UPLOADS in the environment makes uploads
  printf '%-34s ' "$1"
  wrk -t2 -c"$connections" -d"${seconds}s" -s "$here/server_wrk.lua" "$2" | grep '^RESULT' | sed 's/^RESULT //'
}

measure() {  # label
  local base="http://127.0.0.1:$port"
  load "$1 /healthz" "$base/healthz"
  WRK_UPLOADS=1 load "$1 uploads" "$base/"
  load "$1 leaderboard reads (HTML)" "$base/games/Quibbleton"
  load "$1 leaderboard reads (JSON)" "$base/api/games/Quibbleton/scores?limit=100"
}

echo "2 cores, server and wrk side by side: $connections connections, ${seconds} s per run"
start_server "$work/scores.db"
measure "sqlite"
stop_server

pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2> /dev/null | sort -V | tail -1)
if [ -n "$pg_bin" ]; then
  mkdir -p "$work/pg"
  as_user=""
  if [ "$(id -u)" = 0 ]; then
    chown nobody "$work" "$work/pg"
    as_user="runuser -u nobody --"
  fi
  pg_port=$((port + 1))
  $as_user "$pg_bin/initdb" -D "$work/pg/data" -U scores -A trust -E UTF8 --locale=C > /dev/null
  pg_ctl="$pg_bin/pg_ctl"
  on_exit=stop_postgres
  $as_user "$pg_ctl" -D "$work/pg/data" -l "$work/pg/log" -o "-k $work/pg -p $pg_port -c listen_addresses=" \
    -w start > /dev/null
  start_server "postgresql://scores@/postgres?host=$work/pg&port=$pg_port"
  measure "postgresql"
  stop_server
  echo "postgresql query plan of a leaderboard read, $(psql -tA "postgresql://scores@/postgres?host=$work/pg&port=$pg_port" \
    -c "SELECT count(*) FROM scores") rows:"
  psql -tA "postgresql://scores@/postgres?host=$work/pg&port=$pg_port" -c "ANALYZE scores" \
    -c "EXPLAIN SELECT id, name, score, created FROM scores WHERE game = 'Quibbleton' ORDER BY score DESC, id ASC LIMIT 100" \
    | sed 's/^/  /' 
else
  echo "postgresql: not installed, skipped"
fi

# A million stored scores in one game, then the same reads and uploads.
big="$work/big.db"
start_server "$big"
stop_server
sqlite3 "$big" > /dev/null <<'SQL'
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000000)
INSERT INTO scores (game, name, address, email, send, score, created)
  SELECT 'Quibbleton', 'seed' || i, '', '', 'N', abs(random()) % 1000000, 1765000000 FROM n;
PRAGMA wal_checkpoint(TRUNCATE);
SQL
# The server counts the rows written behind its back when it opens the file.
echo "stored scores: $(sqlite3 "$big" "SELECT count(*) FROM scores")"
echo "query plan of a leaderboard read:"
sqlite3 "$big" "EXPLAIN QUERY PLAN SELECT id, name, score, created FROM scores WHERE game = 'Quibbleton' ORDER BY score DESC, id ASC LIMIT 100" | sed 's/^/  /'
echo "query plan of a rank count:"
start_server "$big"
sqlite3 "$big" "EXPLAIN QUERY PLAN $(sed -n '/kRank =/,/;$/p' "$here/../server/sql.h" | grep -o '"[^"]*"' | tr -d '"' | tr -d '\n' | sed 's/\$[0-9]/1/g')" | sed 's/^/  /'

measure "sqlite, 1M rows"
stop_server

# The same million, every one the same score: a rank must cost no more.
ties="$work/ties.db"
start_server "$ties"
stop_server
sqlite3 "$ties" > /dev/null <<'SQL'
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000000)
INSERT INTO scores (game, name, address, email, send, score, created)
  SELECT 'Quibbleton', 'seed' || i, '', '', 'N', 500000, 1765000000 FROM n;
PRAGMA wal_checkpoint(TRUNCATE);
SQL
start_server "$ties"
WRK_UPLOADS=1 WRK_SCORE=500000 load "sqlite, 1M equal scores uploads" "http://127.0.0.1:$port/"
stop_server
