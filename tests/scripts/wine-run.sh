#!/usr/bin/env bash
# Runs ctest in a Windows build folder under Wine: a Wine prefix of its own under the
# build folder, one persistent wineserver and an Xvfb on a free display for the whole
# run; both are stopped at the end, whatever the outcome. Afterwards it lists the
# files each program drove (the "under test:" line every Windows test program
# prints at its start) and repeats ctest's summary.
#   tests/scripts/wine-run.sh BUILD_DIR [ctest arguments...]
set -u
build=$(cd "${1:?usage: tests/scripts/wine-run.sh BUILD_DIR [ctest args]}" && pwd)
shift
. "$(dirname "$0")/wine-env.sh"
trap wine_env_stop EXIT INT TERM
wine_env_start wine-run "$build/wineprefix" 90 "$build/xvfb.log" || exit 1

log=$(mktemp)
ctest --test-dir "$build" --output-on-failure "$@" | tee "$log"
status=${PIPESTATUS[0]}
# LastTest.log holds every entry's output, passed or not.
if [ -f "$build/Testing/Temporary/LastTest.log" ]; then
  echo "Files under test, per program (from the build folder named):"
  awk 'function flush() { if (entry != "" && files != "") printf "  %-30s %s:%s\n", entry, root, files }
       /^[0-9]+\/[0-9]+ Testing: / { flush(); entry = $3; files = ""; root = "" }
       /^under test: / && index(files, " " $3) == 0 {
         dir = $4; sub(/\/(app|tpinput|tools|installer)\/.*$/, "", dir)
         root = (root == "" || root == dir) ? dir : root " + " dir; files = files " " $3 }
       END { flush() }' "$build/Testing/Temporary/LastTest.log"
  grep -E '^[0-9]+% tests passed' "$log" | tail -n 1
fi
rm -f "$log"
exit "$status"
