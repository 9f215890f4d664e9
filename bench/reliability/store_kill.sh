#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Kills a writer of the stored history with SIGKILL at random moments, RUNS times, on one
# database that grows from run to run, and checks it after each kill: SQLite's integrity
# check passes, the readings are numbered without a hole, every batch the writer had
# reported on disk is there, and no more than one batch beyond it (the batch being
# written when the kill came). Prints a summary; exit status 1 on any failure.
#
#   bench/reliability/store_kill.sh [build dir (build)] [runs (200)] [batch (100)]
set -uo pipefail
build=${1:-build}
runs=${2:-200}
batch=${3:-100}
writer="$(cd "$build/bench" && pwd)/store_bench"
top=$(mktemp -d)
trap 'kill -KILL "$pid" 2>/dev/null; rm -rf "$top"' EXIT
db="$top/history.sqlite"

bad=0 total_kept=0
for run in $(seq "$runs"); do
  # Each run numbers its readings from 0; its rows are those after the earlier runs'.
  "$writer" --writer "$db" "$batch" >"$top/out" 2>"$top/err" &
  pid=$!
  sleep "0.$((RANDOM % 4))$((RANDOM % 10))"
  kill -KILL "$pid"
  wait "$pid" 2>/dev/null
  reported=$(tail -1 "$top/out")
  reported=${reported:-0}
  check=$(sqlite3 "$db" "PRAGMA integrity_check;")
  read -r rows first last < <(sqlite3 -separator ' ' "$db" \
    "SELECT count(*), coalesce(min(time_ms), 0), coalesce(max(time_ms), -1) FROM readings WHERE rowid > $total_kept;")
  if [ "$check" != ok ] || [ "$first" -ne 0 ] || [ "$rows" -ne $((last + 1)) ] || [ "$rows" -lt "$reported" ] ||
    [ "$rows" -gt $((reported + batch)) ]; then
    echo "run $run: integrity '$check', $rows readings $first..$last, $reported reported" >&2
    bad=$((bad + 1))
  fi
  total_kept=$(sqlite3 "$db" "SELECT max(rowid) FROM readings;")
  total_kept=${total_kept:-0}
done
echo "Stored history, $runs kills with SIGKILL during batched writes (batch $batch)"
echo "  readings kept over all runs: $total_kept in $(stat -c %s "$db") bytes"
echo "  runs with a damaged file, a hole, or a reported batch missing: $bad"
[ "$bad" -eq 0 ]
