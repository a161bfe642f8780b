#!/usr/bin/env bash
# The Windows suites against the files that ship: the 32-bit test programs of the
# wintest32 preset drive the win32 build's Tactra.exe and tpinput.dll under 32-bit
# Wine. They are built on every machine, so that what cannot run here still
# compiles; they run where the machine executes 32-bit code and has 32-bit Wine.
# Elsewhere ctest reports their entries skipped, and one line says why.
set -u
cd "$(dirname "$0")/../.."
cmake --preset wintest32 >/dev/null && cmake --build --preset wintest32 || exit 1
if ! bash tests/scripts/probe-32bit.sh; then
  echo "32-bit Windows suites skipped: this machine cannot execute 32-bit code (their programs were built in build/wintest32)"
elif [ ! -x /usr/lib/wine/wine ]; then
  echo "32-bit Windows suites skipped: no 32-bit Wine on this machine (their programs were built in build/wintest32)"
else
  exec bash tests/scripts/wine-run.sh build/wintest32
fi
exec ctest --test-dir build/wintest32
