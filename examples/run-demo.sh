#!/usr/bin/env bash
# Replays every bundled example trace and prints what the system does, with the
# trace's first comment line as its heading.
set -euo pipefail
replay=${1:?usage: examples/run-demo.sh PATH/TO/tactra-replay}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for trace in "$here"/*.trace; do
  heading=$(grep -m1 '^# ' "$trace" | sed 's/^# //')
  echo "== $(basename "$trace" .trace): $heading"
  args=$(sed -n '2s/^# args: //p' "$trace")
  mkdir -p "$work/$(basename "$trace")"
  (cd "$work/$(basename "$trace")" && "$replay" $args "$trace")
  echo
done
