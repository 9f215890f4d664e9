#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The program's CPU use and achieved reading rate during continuous polling of the simulated
# monitor at 9600 baud, read from /proc/<pid>/stat and the simulator's transcript, and its
# start-up time (launch to the first command the monitor receives, and to the first reading).
# Measured at the customary 500 ms interval and at the shortest, 100 ms (target there:
# at least 95 % of 10 readings a second, at most 3 % of a core).
#
#   bench/main/cpu_usage.sh [build dir (build)] [seconds (60)] [intervals ("500 100")]
set -euo pipefail
build=${1:-build}
seconds=${2:-60}
intervals=${3:-"500 100"}
bin="$build/bin"
top=$(mktemp -d)
work=""
sim_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
  wait 2>/dev/null || true
  rm -rf "$top"
}
trap cleanup EXIT

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# Receive times (ms since the simulator started) of every command equal to $1.
times_of() { grep "\"dir\":\"rx\"" "$work/transcript.jsonl" | grep "\"text\":\"$1\"" |
  sed 's/.*"t_ms":\([0-9]*\).*/\1/'; }

measure() {
  work="$top/$1"
  mkdir -p "$work"
  sim_start=$(now_ms)
  "$bin/vemoswr-sim" --pace --link "$work/sim-port" --transcript "$work/transcript.jsonl" \
    --forward 412 --reflected 9.5 --full-scale 625 >"$work/sim.out" &
  sim_pid=$!
  for _ in $(seq 50); do [ -e "$work/sim-port" ] && break; sleep 0.1; done
  printf '[Ports]\nCOM1=%s\n[Communication]\nComPort=1\n[Meter]\nVisible=1\nRange=14\n' \
    "$work/sim-port" >"$work/VemoSWR.ini"
  interval_ms=$1

  launch=$(( $(now_ms) - sim_start ))
  QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} VEMOSWR_INI="$work/VemoSWR.ini" \
    "$bin/VemoSWR" --continuous --interval "$interval_ms" 2>/dev/null &
  app_pid=$!

  sleep 4  # start-up, the one-second connection wait and the first readings
  ticks0=$(cpu_ticks "$app_pid")
  readings0=$(times_of T | wc -l)
  sleep "$seconds"
  ticks1=$(cpu_ticks "$app_pid")
  readings1=$(times_of T | wc -l)
  hz=$(getconf CLK_TCK)

  first_i=$(times_of I | head -n1)
  first_t=$(times_of T | head -n1)
  starts=$(times_of 7 | tail -n +3)
  awk -v t0="$ticks0" -v t1="$ticks1" -v hz="$hz" -v s="$seconds" \
      -v r0="$readings0" -v r1="$readings1" -v launch="$launch" -v fi="$first_i" -v ft="$first_t" \
      -v starts="$starts" -v iv="$interval_ms" 'BEGIN {
    n = split(starts, t, "\n"); sum = 0; m = 0
    for (i = 2; i <= n; i++) if (t[i] != "" && t[i-1] != "") { sum += t[i] - t[i-1]; m++ }
    printf "Interval %d ms\n", iv
    printf "  CPU use during continuous polling: %.2f %% of one core over %d s\n",
           100 * (t1 - t0) / hz / s, s
    printf "  Readings: %d in %d s (%.2f/s, %.0f %% of 1000/interval), mean period %.0f ms\n",
           r1 - r0, s, (r1 - r0) / s, 100 * (r1 - r0) / s * iv / 1000, m ? sum / m : 0
    printf "  Start-up: first command %d ms after launch, first reading %d ms after launch\n",
           fi - launch, ft - launch
  }'
  kill "$app_pid" "$sim_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  app_pid=""
  sim_pid=""
}

for interval in $intervals; do measure "$interval"; done
