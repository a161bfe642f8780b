#!/usr/bin/env bash
# Pictures of Tactra.exe's dialogs under Xvfb, for a person to look at: the main
# dialog, the About box and both pages of "Application Configure". Needs a wintest
# build (Tactra.exe and tactra_screens), Wine, Xvfb and ImageMagick's `import`
# (cmake/install-deps.sh installs them). The PNGs are not part of the repository.
#   tests/screenshots.sh [BUILD_DIR] [OUT_DIR]    defaults: build/wintest, BUILD_DIR/screenshots
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/wintest}" && pwd)
out=${2:-$build/screenshots}
mkdir -p "$out" && out=$(cd "$out" && pwd)
driver="$build/tests/tactra_screens.exe"
[ -f "$driver" ] || { echo "screenshots: $driver is missing; build the wintest preset" >&2; exit 1; }
command -v import >/dev/null || { echo "screenshots: ImageMagick's import is missing" >&2; exit 1; }

# A prefix of its own: unmanaged windows, so that Wine draws the title bars itself
# (Xvfb has no window manager to draw them).
export WINEPREFIX="$build/wineprefix-screens"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)

display=""
for n in $(seq 141 190); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "screenshots: no free X display" >&2; exit 1; }

xvfb_pid=""
driver_pid=""
cleanup() {
  [ -n "$driver_pid" ] && kill "$driver_pid" >/dev/null 2>&1
  "$wineserver" -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" >/dev/null 2>&1
  wait 2>/dev/null
  true
}
trap cleanup EXIT INT TERM

Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display"

mkdir -p "$WINEPREFIX"
"$wineserver" -p </dev/null >/dev/null 2>&1
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "screenshots: creating the Wine prefix $WINEPREFIX"
  "$wine" wineboot -i </dev/null >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
fi

rm -f "$out"/*.ready "$out"/*.png
"$wine" "$driver" "Z:$out" </dev/null &
driver_pid=$!

# The driver announces each window with NAME.ready ("X Y WIDTH HEIGHT") and waits
# for NAME.png.
taken=0
while kill -0 "$driver_pid" 2>/dev/null; do
  for ready in "$out"/*.ready; do
    [ -e "$ready" ] || continue
    name=$(basename "$ready" .ready)
    [ -e "$out/$name.png" ] && continue
    read -r x y w h <"$ready" || continue
    if import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$out/$name.tmp.png"; then
      mv "$out/$name.tmp.png" "$out/$name.png"
      echo "screenshots: $out/$name.png"
      taken=$((taken + 1))
    fi
  done
  sleep 0.2
done
wait "$driver_pid"
status=$?
driver_pid=""
[ "$status" -eq 0 ] && [ "$taken" -eq 4 ] || { echo "screenshots: failed ($taken taken)" >&2; exit 1; }
