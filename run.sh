#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and runs VemoSWR against the simulated monitor
# (or against a real port: ./run.sh --port 3). Without a display the program runs
# under Xvfb and a screenshot of its main window is saved.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh

port=""
sim_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --port) port="$2"; shift 2 ;;
    --port=*) port="${1#--port=}"; shift ;;
    --) shift; sim_args+=("$@"); break ;;
    -h|--help)
      echo "usage: ./run.sh [--port N] [-- simulator options]"; exit 0 ;;
    *) echo "run.sh: unknown option $1 (try --help)" >&2; exit 2 ;;
  esac
done

vemo_install_missing "${VEMO_PACKAGES[@]}"
vemo_build build >/dev/null

rundir="$PWD/build/run"
mkdir -p "$rundir"
export VEMOSWR_INI="$rundir/VemoSWR.ini"

# ini_set FILE SECTION KEY VALUE: sets one key, keeping every other line.
ini_set() {
  local file=$1 section=$2 key=$3 value=$4 tmp
  touch "$file"
  tmp=$(mktemp)
  awk -v s="[$section]" -v k="$key" -v v="$value" '
    BEGIN { IGNORECASE = 1 }
    function flush() { if (insec && !done) { print k "=" v; done = 1 } }
    /^\[/ { flush(); insec = (tolower($0) == tolower(s)); print; next }
    insec && tolower($0) ~ "^" tolower(k) "=" { if (!done) print k "=" v; done = 1; next }
    { print }
    END { flush(); if (!done) { print s; print k "=" v } }
  ' "$file" >"$tmp" && mv "$tmp" "$file"
}

sim_pid=""
cleanup() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; wait 2>/dev/null || true; }
trap cleanup EXIT

if [ -z "$port" ]; then
  link="$rundir/sim-port"
  build/bin/vemoswr-sim --link "$link" "${sim_args[@]}" >"$rundir/sim.out" &
  sim_pid=$!
  for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
  [ -e "$link" ] || { echo "run.sh: the simulated monitor did not start" >&2; exit 1; }
  echo "Simulated monitor on $(head -n1 "$rundir/sim.out") (linked as $link), used as COM1."
  ini_set "$VEMOSWR_INI" Ports COM1 "$link"
  port=1
fi
ini_set "$VEMOSWR_INI" Communication ComPort "$port"

if [ ! -x build/bin/VemoSWR ]; then
  echo "The main window is not built yet; showing the monitor through the command-line tool."
  build/bin/vemoswr-cli --port "$port" identify
  build/bin/vemoswr-cli --port "$port" read -n 5 -i 1
  exit 0
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  build/bin/VemoSWR
else
  shot="$rundir/screenshot.png"
  rm -f "$shot"
  echo "No display: running VemoSWR under Xvfb for a screenshot."
  if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR="$rundir/xdg-runtime"
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
  fi
  VEMOSWR_SCREENSHOT="$shot" xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/VemoSWR
  if [ -f "$shot" ]; then
    echo "Screenshot of the main window: $shot"
  else
    echo "run.sh: no screenshot was saved" >&2
    exit 1
  fi
fi
