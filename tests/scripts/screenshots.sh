#!/usr/bin/env bash
# Pictures of the shipped programs under Xvfb, for a person to look at: Tactra's
# main dialog, About box, both pages of "Application Configure" and "Touch settings", a target and
# the check screen of Calibrate.exe, and Test.exe. Needs a wintest build (its driver
# tactra_screens) and the ship64 build of the programs it starts, Wine, Xvfb and
# ImageMagick's `import` (cmake/install-deps.sh installs them). The PNGs are not part
# of the repository.
#   tests/scripts/screenshots.sh [BUILD_DIR] [OUT_DIR]    defaults: build/wintest, BUILD_DIR/screenshots
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/wintest}" && pwd)
out=${2:-$build/screenshots}
mkdir -p "$out" && out=$(cd "$out" && pwd)
driver="$build/tests/tactra_screens.exe"
[ -f "$driver" ] || { echo "screenshots: $driver is missing; build the wintest preset" >&2; exit 1; }
command -v import >/dev/null || { echo "screenshots: ImageMagick's import is missing" >&2; exit 1; }

. "$root/tests/scripts/wine-env.sh"
driver_pid=""
cleanup() {
  [ -n "$driver_pid" ] && kill "$driver_pid" >/dev/null 2>&1
  wine_env_stop
}
trap cleanup EXIT INT TERM
# A prefix of its own with unmanaged windows, so that Wine draws the title bars
# itself (Xvfb has no window manager to draw them).
wine_env_start screenshots "$build/wineprefix-screens" 141 "$out/xvfb.log" \
  reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f || exit 1

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
[ "$status" -eq 0 ] && [ "$taken" -eq 8 ] || { echo "screenshots: failed ($taken taken)" >&2; exit 1; }
