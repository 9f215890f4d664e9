#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Line noise for MINUTES: rounds of 20 s in which the simulated monitors send bursts of
# random bytes, truncated and over-long replies and replies delayed at random (by up to
# 0.3 s, or in every other round by up to 6 s: around and beyond the time limits of 2 to
# 5 s), then 10 s of sane replies. The program polls at
# 100 ms on its own Xvfb display, `vemoswr-cli read -i 0.1` reads a second monitor. Checks:
# no crash (no death by a signal, no sanitizer report), no hang, and normal readings again
# within 5 s of the sane replies' return. A client that stops by its failure rule after the
# fourth failed reading in a row (the program with its message, the CLI with status 1) is
# counted and started again. Prints a summary; exit status 1 on any failed check.
#
# The screen at the program's first stop goes to <build dir>/artifacts/noise-stop.xwd
# (an X window dump: `convert noise-stop.xwd noise-stop.png` shows it).
#
#   bench/reliability/noise.sh [build dir (build)] [minutes (10)]
set -uo pipefail
build=${1:-build}
minutes=${2:-10}
bin="$(cd "$build/bin" && pwd)"
shots="$(cd "$build" && pwd)/artifacts"
mkdir -p "$shots"
rm -f "$shots/noise-stop.xwd"
top=$(mktemp -d)
. "$(dirname "$0")/common.sh"
trap 'alive "${app_sim:-}" && kill "$app_sim"; cleanup_all' EXIT

failures=0
fail() { echo "round $1: $2" >&2; failures=$((failures + 1)); }

start_xvfb
start_sim "$top/app" --noise 0 --seed 11
app_sim=$sim_pid
exec 9>&7  # the first simulator's control, while fd 7 goes to the second
write_ini "$top/VemoSWR.ini" "$top/app/sim-port"
start_app "$top/VemoSWR.ini" --continuous --interval 100
start_sim "$top/cli" --noise 0 --seed 12
start_cli() {
  "$bin/vemoswr-cli" --device "$top/cli/sim-port" read -i 0.1 >>"$top/cli.out" 2>>"$top/cli.err" &
  cli_pid=$!
}
start_cli
# Odd rounds garble replies and delay them a little; even rounds delay them around and
# beyond the time limits as well.
garbled="line-noise 0.05 0.05 0.05 300"
late="line-noise 0.05 0.05 0.05 6000"
sane="line-noise 0 0 0 0"
control_both() { echo "$1" >&9; sim_control "$top/cli" "$1"; }

app_stops=0 cli_stops=0 crashes=0 rounds=0 app_back_max=0 cli_back_max=0
end=$(( $(now_ms) + minutes * 60000 ))
while [ "$(now_ms)" -lt "$end" ]; do
  rounds=$((rounds + 1))
  if [ $((rounds % 2)) -eq 1 ]; then control_both "$garbled"; else control_both "$late"; fi
  for _ in $(seq 10); do
    sleep 2
    control_both "burst 64"
  done
  control_both "$sane"
  # Replies queued with long delays still come; a reading needs two sane exchanges.
  sane_at=$(now_ms)
  app_before=$(count_commands "$top/app" T)
  cli_before=$(wc -l <"$top/cli.out")
  app_ok=no cli_ok=no
  while [ $(( $(now_ms) - sane_at )) -lt 10000 ]; do
    if [ "$app_ok" = no ] && [ "$(count_commands "$top/app" T)" -ge $((app_before + 3)) ]; then
      app_ok=yes
      t=$(( $(now_ms) - sane_at )); [ "$t" -gt "$app_back_max" ] && app_back_max=$t
    fi
    if [ "$cli_ok" = no ] && tail -1 "$top/cli.out" | grep -q "forward=50.0 W reflected=1.00 W" &&
       [ "$(wc -l <"$top/cli.out")" -ge $((cli_before + 3)) ]; then
      cli_ok=yes
      t=$(( $(now_ms) - sane_at )); [ "$t" -gt "$cli_back_max" ] && cli_back_max=$t
    fi
    [ "$app_ok" = yes ] && [ "$cli_ok" = yes ] && break
    sleep 0.2
  done
  if ! alive "$app_pid"; then
    wait "$app_pid"; status=$?
    crashes=$((crashes + 1)); fail "$rounds" "the program ended with status $status"
    start_app "$top/VemoSWR.ini" --continuous --interval 100
  elif [ "$app_ok" = no ]; then
    # Stopped after the fourth failure in a row and waits with its message: start anew.
    # The screen of the first such stop shows which message it was.
    app_stops=$((app_stops + 1))
    [ -e "$shots/noise-stop.xwd" ] || xwd -root -silent -out "$shots/noise-stop.xwd"
    stop_app
    start_app "$top/VemoSWR.ini" --continuous --interval 100
  fi
  if ! alive "$cli_pid"; then
    wait "$cli_pid"; status=$?
    if [ "$status" -eq 1 ]; then
      cli_stops=$((cli_stops + 1))
    else
      crashes=$((crashes + 1)); fail "$rounds" "the CLI ended with status $status"
    fi
    start_cli
  elif [ "$cli_ok" = no ]; then
    fail "$rounds" "the CLI runs but printed no normal reading 10 s after the noise"
  fi
done
grep -l "runtime error\|AddressSanitizer" "$top/VemoSWR.ini.out" "$top/cli.err" >/dev/null 2>&1 &&
  fail end "a sanitizer reported an error"
stop_app
exec 9>&-

echo "Line noise, $minutes min: $rounds rounds of 20 s noise and 10 s sane replies"
echo "  crashes: $crashes"
echo "  program: stopped by its failure rule (fourth failure in a row) in $app_stops rounds;"
echo "    otherwise polling again at most $app_back_max ms after sane replies returned"
echo "  CLI: ended with status 1 by its failure rule in $cli_stops rounds;"
echo "    otherwise normal readings again at most $cli_back_max ms after sane replies returned"
echo "  CLI readings printed: $(wc -l <"$top/cli.out"), messages: $(wc -l <"$top/cli.err")"
echo "  failed checks: $failures"
[ "$failures" -eq 0 ]
