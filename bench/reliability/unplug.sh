#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Unplug and plug the simulated monitor again, CYCLES times, while the program polls it
# continuously (on its own Xvfb display) and while `vemoswr-cli read` reads it. Per cycle:
# the program: still running, under 2 % of a core while the device is gone, polling again
# by itself once it is back; the CLI: ends with status 1 and a message within 10 s of the
# unplug (so it cannot spin while the device is gone). Prints a summary; exit status 1 on any
# failed cycle.
#
#   bench/reliability/unplug.sh [build dir (build)] [cycles (100)] [seconds unplugged (3)]
set -uo pipefail
build=${1:-build}
cycles=${2:-100}
gone_s=${3:-3}
bin="$(cd "$build/bin" && pwd)"
top=$(mktemp -d)
. "$(dirname "$0")/common.sh"
trap cleanup_all EXIT

failures=0
fail() { echo "cycle $1: $2" >&2; failures=$((failures + 1)); }

# --- The program ---------------------------------------------------------------------
start_xvfb
dir="$top/app"
start_sim "$dir" --noise 0
write_ini "$top/VemoSWR.ini" "$dir/sim-port"
start_app "$top/VemoSWR.ini" --continuous --interval 100
wait_commands "$dir" T 5 15 || fail 0 "the program never polled"
app_cpu_max=0
app_resume_max=0
for cycle in $(seq "$cycles"); do
  sim_control "$dir" hangup || { fail "$cycle" "no hangup"; break; }
  sleep 1  # the program notices the loss (the next exchange fails) and lets the port go
  t0=$(cpu_ticks "$app_pid")
  sleep "$gone_s"
  t1=$(cpu_ticks "$app_pid")
  alive "$app_pid" || { fail "$cycle" "the program died: $(tail -3 "$top/VemoSWR.ini.out")"; break; }
  cpu=$(awk -v a="$t0" -v b="$t1" -v hz="$hz" -v s="$gone_s" 'BEGIN { printf "%.2f", 100 * (b - a) / hz / s }')
  awk -v c="$cpu" 'BEGIN { exit !(c >= 2) }' && fail "$cycle" "the program used $cpu % of a core unplugged"
  awk -v c="$cpu" -v m="$app_cpu_max" 'BEGIN { exit !(c > m) }' && app_cpu_max=$cpu
  before=$(count_commands "$dir" T)
  plugged=$(now_ms)
  sim_control "$dir" plug || { fail "$cycle" "no plug"; break; }
  if wait_commands "$dir" T $((before + 3)) 30; then
    resume=$(( $(now_ms) - plugged ))
    [ "$resume" -gt "$app_resume_max" ] && app_resume_max=$resume
  else
    fail "$cycle" "the program did not poll again after the replug"
  fi
done
app_alive=no
alive "$app_pid" && app_alive=yes
stop_app
stop_sim
stop_xvfb

# --- The command-line tool -------------------------------------------------------------
dir="$top/cli"
start_sim "$dir" --noise 0
cli_status_bad=0
cli_exit_max=0
for cycle in $(seq "$cycles"); do
  "$bin/vemoswr-cli" --device "$dir/sim-port" read -i 0.1 >"$dir/cli.out" 2>"$dir/cli.err" &
  cli_pid=$!
  before=$(count_commands "$dir" T)
  wait_commands "$dir" T $((before + 3)) 10 || fail "$cycle" "the CLI did not read"
  unplugged=$(now_ms)
  sim_control "$dir" hangup || { fail "$cycle" "no hangup"; break; }
  ended=no
  for _ in $(seq 100); do alive "$cli_pid" || { ended=yes; break; }; sleep 0.1; done
  took=$(( $(now_ms) - unplugged ))
  if [ "$ended" = no ]; then
    kill "$cli_pid"
    fail "$cycle" "the CLI still ran 10 s after the unplug"
  fi
  wait "$cli_pid"
  status=$?
  cli_pid=""
  [ "$took" -gt "$cli_exit_max" ] && cli_exit_max=$took
  if [ "$status" -ne 1 ]; then
    cli_status_bad=$((cli_status_bad + 1))
    fail "$cycle" "the CLI ended with status $status: $(tail -2 "$dir/cli.err")"
  fi
  [ -s "$dir/cli.err" ] || fail "$cycle" "the CLI said nothing"
  last_message=$(tail -1 "$dir/cli.err")
  sim_control "$dir" plug || { fail "$cycle" "no plug"; break; }
done
stop_sim

echo "Unplug/replug, $cycles cycles ($gone_s s unplugged each)"
echo "  program (continuous polling at 100 ms under Xvfb): running at the end: $app_alive;"
echo "    CPU while unplugged at most $app_cpu_max % of a core;"
echo "    polling again at most $app_resume_max ms after the device came back"
echo "  vemoswr-cli read: ended with status 1 in $((cycles - cli_status_bad)) of $cycles cycles,"
echo "    at most $cli_exit_max ms after the unplug; its message: ${last_message:-none}"
echo "  failed checks: $failures"
[ "$failures" -eq 0 ]
