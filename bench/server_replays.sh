#!/bin/bash
# Replay uploads end to end against /healthz of the same server in the same
# run (SQLite, upload limit off): typical games, then the worst 64 KB ones.
# Usage: bench/server_replays.sh [build-dir] [seconds-per-run] [connections]
set -e
seconds=${2:-10}
connections=${3:-4}
. "$(dirname "$0")/server_common.sh"
driver="$build/bench/server_replays"
[ -x "$driver" ] || { echo "build server_replays first ($driver)"; exit 1; }
for kind in typical worst; do
  start_server "$work/$kind.db"
  "$driver" "$port" "$seconds" "$connections" "$kind"
  stop_server
done
