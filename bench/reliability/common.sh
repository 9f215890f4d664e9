# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the reliability scripts: the simulated monitor steered through a FIFO, the
# program under its own Xvfb display, and readings of /proc. Sourced, not run.
# Expects $bin (the build's bin folder) and $top (a scratch folder) to be set.

sim_pid=""
app_pid=""
xvfb_pid=""
cli_pid=""

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo 0; }
rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0; }
alive() { [ -n "$1" ] && kill -0 "$1" 2>/dev/null; }
hz=$(getconf CLK_TCK)
# The program's stored history goes with the scratch folder.
export XDG_DATA_HOME="$top/data"

# start_sim DIR [options...]: the simulator behind DIR/sim-port, steered by lines written
# to file descriptor 7; its transcript is DIR/transcript.jsonl, its answers DIR/sim.out.
start_sim() {
  local dir=$1
  shift
  mkdir -p "$dir"
  rm -f "$dir/ctl"
  mkfifo "$dir/ctl"
  "$bin/vemoswr-sim" --link "$dir/sim-port" --transcript "$dir/transcript.jsonl" "$@" \
    <"$dir/ctl" >"$dir/sim.out" 2>"$dir/sim.err" &
  sim_pid=$!
  exec 7>"$dir/ctl"
  for _ in $(seq 50); do [ -e "$dir/sim-port" ] && return 0; sleep 0.1; done
  echo "the simulator did not start: $(cat "$dir/sim.err")" >&2
  return 1
}

# sim_control DIR LINE: sends a control line and waits for its answer.
sim_control() {
  local before
  before=$(grep -c "^ok $2\$\|^error $2\$" "$1/sim.out" || true)
  echo "$2" >&7
  for _ in $(seq 100); do
    [ "$(grep -c "^ok $2\$\|^error $2\$" "$1/sim.out" || true)" -gt "$before" ] && return 0
    sleep 0.02
  done
  echo "the simulator did not answer '$2'" >&2
  return 1
}

stop_sim() {
  exec 7>&-
  if alive "$sim_pid"; then kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true; fi
  sim_pid=""
}

# Commands equal to $2 that the simulator of folder $1 received so far.
count_commands() {
  grep -c "\"dir\":\"rx\",\"cmd\":\"$2\"" "$1/transcript.jsonl" 2>/dev/null || true
}

# wait_commands DIR CMD AT_LEAST SECONDS: true once the count reaches AT_LEAST in time.
wait_commands() {
  local deadline=$(( $(now_ms) + $4 * 1000 ))
  while [ "$(now_ms)" -lt "$deadline" ]; do
    [ "$(count_commands "$1" "$2")" -ge "$3" ] && return 0
    sleep 0.1
  done
  return 1
}

start_xvfb() {
  local fifo="$top/display"
  rm -f "$fifo"
  mkfifo "$fifo"
  Xvfb -displayfd 8 -nolisten tcp -screen 0 1024x768x24 8>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  read -r display <"$fifo"
  export DISPLAY=":$display"
}

stop_xvfb() {
  if alive "$xvfb_pid"; then kill "$xvfb_pid"; wait "$xvfb_pid" 2>/dev/null || true; fi
  xvfb_pid=""
}

# start_app INI [options...]: the program on the Xvfb display with settings file INI.
start_app() {
  local ini=$1
  shift
  QT_QPA_PLATFORM=xcb VEMOSWR_INI="$ini" "$bin/VemoSWR" "$@" >"$ini.out" 2>&1 &
  app_pid=$!
}

stop_app() {
  if alive "$app_pid"; then kill "$app_pid"; wait "$app_pid" 2>/dev/null || true; fi
  app_pid=""
}

cleanup_all() {
  [ -n "$cli_pid" ] && alive "$cli_pid" && kill "$cli_pid"
  stop_app
  stop_sim
  stop_xvfb
  wait 2>/dev/null || true
  rm -rf "$top"
}

# write_ini FILE LINK [extra lines]: settings for COM1 at LINK.
write_ini() {
  printf '[Ports]\nCOM1=%s\n[Communication]\nComPort=1\n%s' "$2" "${3:-}" >"$1"
}
