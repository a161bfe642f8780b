#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan, UBSan) in build/fuzz and runs each for
# FUZZ_SECONDS (default 60), printing its executions and executions per second.
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
total=0
for target in trace_parser report_path replay_session; do
  corpus=$scratch/corpus-$target
  mkdir -p "$corpus" "$scratch/work-$target"
  cp "$root"/tests/traces/*.trace "$root"/examples/*.trace "$corpus"/
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
