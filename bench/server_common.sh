# Sourced by the server scripts: the built server, a work folder removed on
# exit, and start_server DB / stop_server on a port of this run's own.
build=$(realpath "${1:-build}")
here=$(cd "$(dirname "$0")" && pwd)
server="$build/score-server"
[ -x "$server" ] || { echo "build score-server first ($server)"; exit 1; }
work=$(mktemp -d)
port=$((18200 + $$ % 1000))
pid=""
on_exit=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2> /dev/null && wait "$pid" 2> /dev/null
  [ -n "$on_exit" ] && $on_exit
  [ -n "$pg_ctl" ] && stop_postgres
  rm -rf "$work"
}
trap cleanup EXIT

start_server() {  # database; the upload limits are off for load
  "$server" --listen "127.0.0.1:$port" --db "$1" --upload-limit 0 --upload-total 0 2>> "$work/server.log" &
  pid=$!
  # A database written behind its back is counted at start: give it time.
  for _ in $(seq 1200); do
    curl -sf "http://127.0.0.1:$port/healthz" > /dev/null && return 0
    sleep 0.1
  done
  echo "the server did not start"; cat "$work/server.log"; exit 1
}
stop_server() { kill -TERM "$pid"; wait "$pid" || true; pid=""; }

# ROWS scores of Quibbleton written into a SQLite file behind the server's
# back, in one transaction (the server makes the schema first and counts
# the rows when it opens the file again): players seed1..seedPLAYERS, each
# with several entries, uploaded over the last ten days, so the week's and
# today's boards are long too. Scores are all distinct (a multiple of i
# modulo a prime), as an entry is stored once.
fill_scores() {  # database, rows, players
  start_server "$1"
  stop_server
  # A cache that holds the indexes: a million rows in 20 s instead of 250.
  sqlite3 "$1" > /dev/null <<SQL
PRAGMA cache_size = -1000000;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $2)
INSERT INTO scores (game, name, address, email, send, score, created)
  SELECT 'Quibbleton', 'seed' || (1 + i % $3), '', '', 'N', i * 104729 % 1000003,
         CAST(strftime('%s', 'now') AS INTEGER) - abs(random()) % 864000 FROM n;
PRAGMA wal_checkpoint(TRUNCATE);
SQL
}

# A throwaway PostgreSQL cluster in the work folder, stopped on exit (run
# as nobody when this script runs as root, which PostgreSQL refuses):
# start_postgres sets pg_address, or returns 1 when PostgreSQL is not
# installed. pg_sql runs SQL from its input in the cluster.
pg_ctl=""
as_user=""
start_postgres() {
  local bin
  bin=$(ls -d /usr/lib/postgresql/*/bin 2> /dev/null | sort -V | tail -1)
  [ -n "$bin" ] || return 1
  mkdir -p "$work/pg"
  if [ "$(id -u)" = 0 ]; then
    chown nobody "$work" "$work/pg"
    as_user="runuser -u nobody --"
  fi
  pg_port=$((port + 1))
  $as_user "$bin/initdb" -D "$work/pg/data" -U scores -A trust -E UTF8 --locale=C > /dev/null
  pg_ctl="$bin/pg_ctl"
  $as_user "$pg_ctl" -D "$work/pg/data" -l "$work/pg/log" -o "-k $work/pg -p $pg_port -c listen_addresses=" \
    -w start > /dev/null
  pg_address="postgresql://scores@/postgres?host=$work/pg&port=$pg_port"
}
stop_postgres() { $as_user "$pg_ctl" -D "$work/pg/data" -m immediate -w stop > /dev/null 2>&1; pg_ctl=""; }
pg_sql() { psql -q -v ON_ERROR_STOP=1 -h "$work/pg" -p "$pg_port" -U scores postgres > /dev/null; }

# fill_scores's rows in the cluster (the server makes the schema first).
fill_postgres() {  # rows, players
  start_server "$pg_address"
  stop_server
  pg_sql <<SQL
INSERT INTO scores (game, name, address, email, send, score, created)
  SELECT 'Quibbleton', 'seed' || (1 + i % $2), '', '', 'N', i * 104729 % 1000003,
         extract(epoch FROM now())::bigint - (random() * 864000)::bigint FROM generate_series(1::bigint, $1) AS n(i);
ANALYZE;
SQL
}
