#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Continuous polling at the shortest interval (100 ms) for SECONDS, by the program (on its
# own Xvfb display) and by `vemoswr-cli read`, each against its own simulated monitor.
# Samples resident memory and CPU every 30 s and reports the growth of the resident set
# after warm-up (the first sample at or after WARMUP seconds). Target: at most 1 MiB.
# Prints the samples and a summary; exit status 1 when a process ended early or grew more.
#
#   bench/reliability/soak.sh [build dir (build)] [seconds (3600)] [warm-up seconds (60)]
set -uo pipefail
build=${1:-build}
seconds=${2:-3600}
warmup=${3:-60}
bin="$(cd "$build/bin" && pwd)"
top=$(mktemp -d)
. "$(dirname "$0")/common.sh"
trap 'alive "${app_sim:-}" && kill "$app_sim"; cleanup_all' EXIT

start_xvfb
start_sim "$top/app"
app_sim=$sim_pid
write_ini "$top/VemoSWR.ini" "$top/app/sim-port"
start_app "$top/VemoSWR.ini" --continuous --interval 100
exec 9>&7  # keep the first simulator's control open while the second one starts
start_sim "$top/cli"
"$bin/vemoswr-cli" --device "$top/cli/sim-port" read -i 0.1 >/dev/null 2>"$top/cli.err" &
cli_pid=$!

hz=$(getconf CLK_TCK)
printf '%8s %12s %10s %12s %10s\n' "t (s)" "program KiB" "CPU %" "CLI KiB" "CPU %"
start=$(now_ms)
a0=$(cpu_ticks "$app_pid") c0=$(cpu_ticks "$cli_pid")
app_base="" cli_base="" app_last=0 cli_last=0 app_peak=0 cli_peak=0
ok=yes
for t in $(seq 30 30 "$seconds"); do
  sleep $(awk -v due="$((start + t * 1000))" -v now="$(now_ms)" 'BEGIN { d = (due - now) / 1000; print (d > 0 ? d : 0) }')
  alive "$app_pid" || { echo "the program ended at $t s" >&2; ok=no; break; }
  alive "$cli_pid" || { echo "the CLI ended at $t s: $(tail -2 "$top/cli.err")" >&2; ok=no; break; }
  a1=$(cpu_ticks "$app_pid") c1=$(cpu_ticks "$cli_pid")
  app_rss=$(rss_kib "$app_pid") cli_rss=$(rss_kib "$cli_pid")
  printf '%8d %12d %10.2f %12d %10.2f\n' "$t" "$app_rss" \
    "$(awk -v a="$a0" -v b="$a1" -v hz="$hz" 'BEGIN { print 100 * (b - a) / hz / 30 }')" \
    "$cli_rss" "$(awk -v a="$c0" -v b="$c1" -v hz="$hz" 'BEGIN { print 100 * (b - a) / hz / 30 }')"
  a0=$a1 c0=$c1
  if [ "$t" -ge "$warmup" ] && [ -z "$app_base" ]; then app_base=$app_rss cli_base=$cli_rss; fi
  app_last=$app_rss cli_last=$cli_rss
  [ "$app_rss" -gt "$app_peak" ] && app_peak=$app_rss
  [ "$cli_rss" -gt "$cli_peak" ] && cli_peak=$cli_rss
done
readings_app=$(count_commands "$top/app" T)
readings_cli=$(count_commands "$top/cli" T)
app_growth=$(( app_last - ${app_base:-$app_last} ))
cli_growth=$(( cli_last - ${cli_base:-$cli_last} ))
echo "Soak, $seconds s at 100 ms (warm-up $warmup s)"
echo "  program: $readings_app readings, resident set after warm-up ${app_base:-?} KiB, at the end $app_last KiB (growth $app_growth KiB, peak $app_peak KiB)"
echo "  CLI:     $readings_cli readings, resident set after warm-up ${cli_base:-?} KiB, at the end $cli_last KiB (growth $cli_growth KiB, peak $cli_peak KiB)"
exec 9>&-
kill "$app_sim" 2>/dev/null
[ "$ok" = yes ] && [ "$app_growth" -le 1024 ] && [ "$cli_growth" -le 1024 ]
