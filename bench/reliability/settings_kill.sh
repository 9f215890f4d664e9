#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Kills the program with SIGKILL at random moments of its shutdown, RUNS times, and checks
# the settings file after each: it must be either the old or the new complete file (the
# new one keeps the unknown sections and comments byte for byte), and no temporary file
# may be left once a later save has run. The settings file is large (about 600 KB of
# unknown content) so that the save lasts long enough to be hit. Half of the kills wait
# for the save's temporary file to appear and strike 0 to 5 ms later; the other half
# strike at a random moment of the last 300 ms before the program would have ended.
# Prints a summary; exit status 1 when any file was neither old nor new or temporaries
# were left after the final save.
#
#   bench/reliability/settings_kill.sh [build dir (build)] [runs (1000)]
set -uo pipefail
build=${1:-build}
runs=${2:-1000}
bin="$(cd "$build/bin" && pwd)"
top=$(mktemp -d)
. "$(dirname "$0")/common.sh"
trap cleanup_all EXIT

dir="$top/settings"
mkdir -p "$dir"
start_sim "$top/sim" --noise 0
ini="$dir/VemoSWR.ini"
{
  printf '; settings of the reliability run\n[Ports]\nCOM1=%s\n[Communication]\nComPort=1\n' \
    "$top/sim/sim-port"
  for i in $(seq 2000); do
    printf '[Custom%d]\n; a comment that must survive %d\nKey%d=value %d\nOther=%s\n\n' \
      "$i" "$i" "$i" "$i" "$(printf 'x%.0s' $(seq 200))"
  done
  printf '[Meter]\nVisible=0\nRange=3\n'
} >"$dir/old.ini"

run_app() {  # one start with a scheduled close (it saves the settings and ends)
  cp "$dir/old.ini" "$ini"
  VEMOSWR_SCREENSHOT="$top/shot.png" QT_QPA_PLATFORM=offscreen VEMOSWR_INI="$ini" \
    "$bin/VemoSWR" >"$top/app.out" 2>&1 &
  app_pid=$!
}

# Calibration: the new file, that it does not vary, and how long a run lasts.
lifetimes=()
for i in 1 2; do
  start=$(now_ms)
  run_app
  wait "$app_pid"
  lifetimes+=($(( $(now_ms) - start )))
  cp "$ini" "$dir/new$i.ini"
done
app_pid=""
if ! cmp -s "$dir/new1.ini" "$dir/new2.ini" || cmp -s "$dir/new1.ini" "$dir/old.ini"; then
  echo "the saved file varies between runs or is unchanged: cannot judge" >&2
  exit 1
fi
cp "$dir/new1.ini" "$dir/new.ini"
kept=$(grep -c '^; a comment that must survive' "$dir/new.ini")
lifetime=$(( (lifetimes[0] + lifetimes[1]) / 2 ))

old=0 new=0 torn=0 temps_seen=0
for run in $(seq "$runs"); do
  start=$(now_ms)
  run_app
  if [ $((RANDOM % 2)) -eq 0 ]; then
    pattern="$dir/.VemoSWR.ini.tmp-$app_pid-*"
    while alive "$app_pid" && ! compgen -G "$pattern" >/dev/null; do :; done
    delay=$((RANDOM % 6))
    [ "$delay" -gt 0 ] && sleep "0.00$delay"
  else
    at=$(( lifetime - 300 + RANDOM % 300 ))
    left=$(( start + at - $(now_ms) ))
    [ "$left" -gt 0 ] && sleep "$(awk -v ms="$left" 'BEGIN { printf "%.3f", ms / 1000 }')"
  fi
  kill -KILL "$app_pid" 2>/dev/null
  wait "$app_pid" 2>/dev/null
  app_pid=""
  if cmp -s "$ini" "$dir/old.ini"; then
    old=$((old + 1))
  elif cmp -s "$ini" "$dir/new.ini"; then
    new=$((new + 1))
  else
    torn=$((torn + 1))
    cp "$ini" "$dir/torn-$run.ini"
    echo "run $run: the settings file is neither the old nor the new one" >&2
  fi
  compgen -G "$dir/.VemoSWR.ini.tmp-*" >/dev/null && temps_seen=$((temps_seen + 1))
done
left_before=$(compgen -G "$dir/.VemoSWR.ini.tmp-*" | wc -l)
run_app  # a save that completes
wait "$app_pid"
app_pid=""
left_after=$(compgen -G "$dir/.VemoSWR.ini.tmp-*" | wc -l)

echo "Settings crash-safety, $runs kills with SIGKILL during shutdown"
echo "  settings file: $(stat -c %s "$dir/old.ini") bytes, $kept comments in unknown sections kept by a save"
echo "  after the kill: old file $old, new file $new, neither: $torn"
echo "  runs after which a save's temporary lay beside the file: $temps_seen"
echo "  temporaries before the next complete save: $left_before, after it: $left_after"
[ "$torn" -eq 0 ] && [ "$left_after" -eq 0 ]
