#!/usr/bin/env bash
# Runs ctest in a Windows build folder under Wine: a Wine prefix of its own under the
# build folder, one persistent wineserver and an Xvfb on a free display for the whole
# run; both are stopped at the end, whatever the outcome.
#   tests/wine-run.sh BUILD_DIR [ctest arguments...]
set -u
build=$(cd "${1:?usage: tests/wine-run.sh BUILD_DIR [ctest args]}" && pwd)
shift

export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)

display=""
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "wine-run: no free X display" >&2; exit 1; }

xvfb_pid=""
cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" >/dev/null 2>&1
  wait 2>/dev/null
  true
}
trap cleanup EXIT INT TERM

Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$build/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display"

# The server and Wine's own services must not inherit ctest's output pipes, or ctest
# waits for them to close: start them here, with their output discarded.
mkdir -p "$WINEPREFIX"
"$wineserver" -p </dev/null >/dev/null 2>&1
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine-run: creating the Wine prefix $WINEPREFIX"
  "$wine" wineboot -i </dev/null >/dev/null 2>&1
fi
"$wine" cmd /c exit </dev/null >/dev/null 2>&1

ctest --test-dir "$build" --output-on-failure "$@"
