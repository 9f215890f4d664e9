#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every libFuzzer target for SECONDS each, starting from a copy of its seed corpus
# (tests/fuzz/corpus/<target>/, which stays as it is), and prints per target the
# executions, executions per second and whether it found anything. Exits 1 when a target
# found a crash, a leak, a hang or undefined behaviour; the input that did it is kept in
# <build>/fuzz-findings/<target>/.
#
#   bench/fuzz.sh SECONDS [TARGET...]     e.g. bench/fuzz.sh 30, bench/fuzz.sh 300 session
#
# Builds the targets first when needed, with clang, in build-fuzz/ (VEMO_FUZZ_BUILD).
set -uo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]] || [ "$1" -lt 1 ]; then
  echo "usage: bench/fuzz.sh SECONDS [TARGET...]" >&2
  exit 2
fi
seconds=$1
shift
build=${VEMO_FUZZ_BUILD:-build-fuzz}

if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVEMO_FUZZ=ON >/dev/null || exit 1
fi
nice -n 19 cmake --build "$build" -j "$(nproc)" --target vemo_fuzz_targets >/dev/null || {
  echo "fuzz: building the targets failed" >&2
  exit 1
}

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for exe in "$build"/fuzz/fuzz_*; do targets+=("${exe##*/fuzz_}"); done
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen

failed=0
printf '%-18s %12s %8s %6s %10s  %s\n' target executions exec/s cpu-s exec/cpu-s result
for name in "${targets[@]}"; do
  exe="$build/fuzz/fuzz_$name"
  if [ ! -x "$exe" ]; then
    printf '%-18s %12s %8s %6s %10s  %s\n' "$name" - - - - "no such target"
    failed=1
    continue
  fi
  corpus="$work/$name"
  mkdir -p "$corpus"
  [ -d "tests/fuzz/corpus/$name" ] && cp tests/fuzz/corpus/"$name"/* "$corpus"/ 2>/dev/null
  findings="$build/fuzz-findings/$name"
  rm -rf "$findings"  # what an earlier run found is not this run's finding
  mkdir -p "$findings"
  log="$build/fuzz-findings/$name.log"
  # A single input that takes seconds is a hang for everything fuzzed here.
  # CPU seconds beside the wall-clock rate: on a shared machine the share of a core is what
  # limits the executions.
  TIMEFORMAT='%U %S'
  { time nice -n 19 "$exe" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1; } 2>"$work/cpu"
  rc=$?
  cpu=$(awk '{printf "%.0f", $1 + $2}' "$work/cpu")
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  if [ -z "$runs" ]; then  # stopped before the final statistics: read the last status line
    runs=$(grep -o '^#[0-9]*' "$log" | tail -1 | tr -d '#')
  fi
  result=ok
  if [ $rc -ne 0 ] || ls "$findings" | grep -q .; then
    result="FOUND: $(grep -m1 -oE 'ERROR: [A-Za-z]+: [a-z-]+|runtime error: .*|deadly signal|timeout|out-of-memory' "$log" || echo "exit $rc") (see $log)"
    failed=1
    tail -n 40 "$log" >&2
  fi
  per_cpu=$(awk -v n="${runs:-0}" -v c="$cpu" 'BEGIN { printf "%.0f", (c > 0 ? n / c : 0) }')
  printf '%-18s %12s %8s %6s %10s  %s\n' "$name" "${runs:-0}" "${rate:-0}" "$cpu" "$per_cpu" "$result"
done
exit $failed
