#!/usr/bin/env bash
# Runs ctest in a Windows build folder under Wine: a Wine prefix of its own under the
# build folder, one persistent wineserver and an Xvfb on a free display for the whole
# run; both are stopped at the end, whatever the outcome.
#   tests/wine-run.sh BUILD_DIR [ctest arguments...]
set -u
build=$(cd "${1:?usage: tests/wine-run.sh BUILD_DIR [ctest args]}" && pwd)
shift
. "$(dirname "$0")/wine-env.sh"
trap wine_env_stop EXIT INT TERM
wine_env_start wine-run "$build/wineprefix" 90 "$build/xvfb.log" || exit 1

ctest --test-dir "$build" --output-on-failure "$@"
