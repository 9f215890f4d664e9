#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the real program under Xvfb against the simulated monitor, with a private D-Bus
# session and accessibility bus, and reads it as a screen reader would (the system's
# Python, which has pyatspi):
# accessibility.sh BIN_DIR. The alarm is set to trip on the simulator's VSWR of 1.4.
set -euo pipefail
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "python3-pyatspi is missing"; exit 77; }
launcher=$(ls /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher \
  2>/dev/null | head -1 || true)
[ -n "$launcher" ] || { echo "at-spi2-core is missing"; exit 77; }
if [ -z "${VEMO_IN_SESSION:-}" ]; then
  exec env VEMO_IN_SESSION=1 dbus-run-session -- "$0" "$@"
fi

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$launcher" --launch-immediately &
pids+=($!)
"$bin/vemoswr-sim" --link "$work/sim-port" --forward 412 --reflected 12 --full-scale 625 \
  >"$work/sim.out" &
pids+=($!)
for _ in $(seq 50); do [ -e "$work/sim-port" ] && break; sleep 0.1; done
[ -e "$work/sim-port" ] || { echo "the simulated monitor did not start" >&2; exit 1; }
printf '[Ports]\nCOM1=%s\n[Communication]\nComPort=1\n[Meter]\nRange=14\nVisible=1\n[Alarms]\nVSWRAbove=1.2\nSound=0\n' \
  "$work/sim-port" >"$work/VemoSWR.ini"

env -u QT_QPA_PLATFORM QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 VEMOSWR_INI="$work/VemoSWR.ini" \
  VEMOSWR_LOCK_DIR="$work" XDG_DATA_HOME="$work" \
  HOME="$work" TMPDIR="$work" timeout 90 xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/VemoSWR" --continuous \
  >"$work/program.out" 2>&1 &
pids+=($!)
timeout 80 /usr/bin/python3 "$here/accessibility.py"
