# Sourced by the scripts that run Windows programs under Wine: a Wine prefix of
# their own, one persistent wineserver and an Xvfb on a free display, stopped by
# wine_env_stop whatever the outcome.
#   wine_env_start NAME PREFIX FIRST_DISPLAY LOG [command run once in a new prefix]
# TACTRA_WINE_SCREENS=2 gives Wine a second monitor: Xinerama with two screens and
# RandR off (with RandR, Wine lists only the first screen). Xvfb puts every screen at
# the origin, so the second (1280 x 1024) overlaps the first (1024 x 768) and
# reaches past it to the right and below.

wine_env_start() {
  local name=$1 first=$3 log=$4
  export WINEPREFIX=$2
  shift 4
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  wineserver=/usr/lib/wine/wineserver64
  [ -x "$wineserver" ] || wineserver=$(command -v wineserver)
  wine=/usr/lib/wine/wine64
  [ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)

  local display="" n
  for n in $(seq "$first" $((first + 49))); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
  done
  [ -n "$display" ] || { echo "$name: no free X display" >&2; return 1; }
  local screens=(-screen 0 1024x768x24)
  if [ "${TACTRA_WINE_SCREENS:-1}" = 2 ]; then
    screens=(+xinerama -extension RANDR -screen 0 1024x768x24 -screen 1 1280x1024x24)
  fi
  Xvfb ":$display" "${screens[@]}" -nolisten tcp >"$log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
  export DISPLAY=":$display"

  # The server and Wine's own services must not inherit the caller's output pipes
  # (ctest would wait for them to close): start them here, output discarded.
  mkdir -p "$WINEPREFIX"
  "$wineserver" -p </dev/null >/dev/null 2>&1
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "$name: creating the Wine prefix $WINEPREFIX"
    "$wine" wineboot -i </dev/null >/dev/null 2>&1
    [ $# -gt 0 ] && "$wine" "$@" </dev/null >/dev/null 2>&1
    # The session that created the prefix is not the one to test in: in it, every
    # program started after the first few seconds waited 10 to 20 s longer (its
    # desktop process had ended). A new server starts the next one.
    "$wineserver" -k >/dev/null 2>&1
    "$wineserver" -w >/dev/null 2>&1
    "$wineserver" -p </dev/null >/dev/null 2>&1
  fi
  "$wine" cmd /c exit </dev/null >/dev/null 2>&1
  return 0
}

wine_env_stop() {
  [ -n "${wineserver:-}" ] && "$wineserver" -k >/dev/null 2>&1
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" >/dev/null 2>&1
  wait 2>/dev/null
  true
}
