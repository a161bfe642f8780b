#!/usr/bin/env bash
# Replays every bundled example trace and prints what the system does, with the
# trace's first comment line as its heading. With PICTURE_DIR, also draws each
# session into PICTURE_DIR/NAME.svg and prints the picture's path.
set -euo pipefail
replay=${1:?usage: examples/run-demo.sh PATH/TO/tactra-replay [PICTURE_DIR]}
pictures=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -n "$pictures" ]; then
  mkdir -p "$pictures"
  pictures_abs=$(cd "$pictures" && pwd)
fi
for trace in "$here"/*.trace; do
  name=$(basename "$trace" .trace)
  heading=$(grep -m1 '^# ' "$trace" | sed 's/^# //')
  echo "== $name: $heading"
  args=$(sed -n '2s/^# args: //p' "$trace")
  svg=()
  [ -z "$pictures" ] || svg=(--svg "$pictures_abs/$name.svg")
  mkdir -p "$work/$name"
  (cd "$work/$name" && "$replay" $args "${svg[@]}" "$trace")
  [ -z "$pictures" ] || echo "picture: ${pictures%/}/$name.svg"
  echo
done
