#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan, UBSan) in build/fuzz and runs each for
# FUZZ_SECONDS (default 60), printing its executions and executions per second;
# FUZZ_TARGETS names fewer targets.
# The corpora and the targets' working folder live on a memory file system
# (/dev/shm) when there is one: the sessions write their files there.
#   tests/fuzz/run-fuzz.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-${FUZZ_SECONDS:-60}}
build=$root/build/fuzz
cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTACTRA_SANITIZE=ON -DTACTRA_FUZZ=ON >/dev/null
cmake --build "$build" -j2 >/dev/null
shm=/dev/shm
[ -d "$shm" ] && [ -w "$shm" ] || shm=${TMPDIR:-/tmp}
scratch=$(mktemp -d "$shm/tactra-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$build/artifacts"
# Seeds: the traces; for the descriptor target the touch screens of the generic-*
# traces (tests/fuzz/seeds: descriptor length, descriptor, quirks, reports); for the
# profile target the profile files the traces write
# (after the byte that chooses the section), and no file at all.
seed() {
  local corpus=$1 target=$2
  if [ "$target" = descriptor_layout ]; then
    cp "$root"/tests/fuzz/seeds/descriptor_layout/* "$corpus"/
    return
  fi
  if [ "$target" != profile_file ]; then
    cp "$root"/tests/traces/*.trace "$root"/examples/*.trace "$corpus"/
    return
  fi
  printf '\xff' >"$corpus/no-file"
  local n=0 trace
  for trace in "$root"/tests/traces/*.trace "$root"/examples/*.trace; do
    awk -v out="$corpus/$(basename "$trace" .trace)" '
      /^file Tactra.ini <<END/ { on = 1; n++; printf "%c", 1 > (out "-" n); next }
      /^END$/ { on = 0 }
      on { printf "%s\r\n", $0 > (out "-" n) }' "$trace"
  done
}
total=0
for target in ${FUZZ_TARGETS:-trace_parser report_path descriptor_layout replay_session profile_file library_reports}; do
  corpus=$scratch/corpus-$target
  mkdir -p "$corpus" "$scratch/work-$target"
  seed "$corpus" "$target"
  log=$scratch/$target.log
  if ! (cd "$scratch/work-$target" && "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" "$corpus" >"$log" 2>&1); then
    tail -40 "$log"
    echo "fuzz_$target: FAILED (input in $build/artifacts/)"
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  echo "fuzz_$target: $runs executions, $rate exec/s"
  total=$((total + runs))
done
echo "fuzz: $total executions in all"
