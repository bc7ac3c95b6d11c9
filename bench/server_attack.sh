#!/bin/bash
# The score server under the attacks a public server meets, from this
# machine: slow heads from 200 loopback addresses while /healthz is timed
# from another, 1,500 slow replay bodies and a slowloris from 100 addresses
# each while /healthz and a kept board are timed, a 50 MB header flood, a
# read with 2,700 ranges and an upload hidden in a GET's body. Each prints
# one "RESULT" line.
# Usage: bench/server_attack.sh [build-dir] [seconds-of-slow-heads] [server]
# A third argument runs another server binary with the same options.
set -e
seconds=${2:-10}
. "$(dirname "$0")/server_common.sh"
[ -n "$3" ] && server=$3
attack="$build/bench/server_attack"
[ -x "$attack" ] || { echo "build server_attack first ($attack)"; exit 1; }
ulimit -n 4096 2> /dev/null || true
start_server "$work/scores.db"
# Exits 1 when a figure misses its bound (the suite runs it so).
status=0
"$attack" "$port" "$pid" "$seconds" || status=$?
stop_server
exit $status
