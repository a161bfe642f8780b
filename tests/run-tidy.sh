#!/usr/bin/env bash
# clang-tidy with the checks of .clang-tidy over the product's code that builds
# natively (the portable core, the tools, the native stand-ins), from a compile
# database of its own in build/tidy (configured for clang; nothing is built).
# Any finding fails.
#   tests/run-tidy.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
db=$root/build/tidy
cmake -S "$root" -B "$db" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DTACTRA_TESTS=OFF >/dev/null
out=$(mktemp)
trap 'rm -f "$out"' EXIT
status=0
run-clang-tidy -p "$db" -j2 -quiet "$root/(app|device|gesture|platform|profiles|tools|tpinput)/" \
  >"$out" 2>/dev/null || status=$?
# The findings only, without the colours and the progress lines.
sed 's/\x1b\[[0-9;]*m//g' "$out" |
  grep -v "^clang-tidy\|^Running clang-tidy\|warnings\? generated\|^Suppressed\|^Use -header-filter\|^$" || true
[ "$status" = 0 ] && echo "clang-tidy: no findings"
exit "$status"
