#!/usr/bin/env bash
# ctest's command for a 32-bit Windows test program: runs PROGRAM under 32-bit Wine
# with VERSION as the Windows version the prefix reports, or exits 77 (ctest:
# skipped) when this machine cannot execute 32-bit code or has no 32-bit Wine.
# tests/scripts/wine-run.sh provides the prefix, the wineserver and the display.
#   tests/scripts/run-32bit.sh VERSION PROGRAM [ARGS...]
set -u
version=${1:?usage: run-32bit.sh VERSION PROGRAM [ARGS...]}
program=${2:?usage: run-32bit.sh VERSION PROGRAM [ARGS...]}
shift 2
bash "$(dirname "$0")/probe-32bit.sh" || exit 77
# Debian's 32-bit loader (package wine32); without it nothing 32-bit starts.
wine=/usr/lib/wine/wine
[ -x "$wine" ] || exit 77
"$wine" reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d "$version" /f </dev/null >/dev/null 2>&1
exec "$wine" "$program" "$@"
