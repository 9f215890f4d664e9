#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the real program under Xvfb against the simulated monitor, in continuous polling,
# and saves a picture of its main window with the meter: screenshot.sh BIN_DIR ARTIFACT_DIR.
set -euo pipefail
bin=$1
out=$2
mkdir -p "$out"
work=$(mktemp -d)
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$bin/vemoswr-sim" --link "$work/sim-port" --forward 412 --reflected 12 --full-scale 625 \
  >"$work/sim.out" &
sim_pid=$!
for _ in $(seq 50); do [ -e "$work/sim-port" ] && break; sleep 0.1; done
[ -e "$work/sim-port" ] || { echo "the simulated monitor did not start" >&2; exit 1; }
printf '[Ports]\nCOM1=%s\n[Communication]\nComPort=1\n[Meter]\nRange=14\n' "$work/sim-port" \
  >"$work/VemoSWR.ini"

shot="$out/main-window.png"
rm -f "$shot"
# The program draws on the X server here, not offscreen; xvfb-run's own folder goes in ours.
env -u QT_QPA_PLATFORM VEMOSWR_INI="$work/VemoSWR.ini" VEMOSWR_SCREENSHOT="$shot" TMPDIR="$work" \
  timeout 60 xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/VemoSWR"

[ -f "$shot" ] || { echo "no screenshot was saved" >&2; exit 1; }
[ "$(head -c 8 "$shot" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] ||
  { echo "$shot is no PNG" >&2; exit 1; }
[ "$(stat -c %s "$shot")" -gt 10000 ] || { echo "$shot is suspiciously small" >&2; exit 1; }
# The program closed normally: it wrote its settings back, unchanged by the screenshot.
grep -q '^Visible=0' "$work/VemoSWR.ini" || { echo "the settings were not written" >&2; exit 1; }
echo "Screenshot of the main window: $shot"
