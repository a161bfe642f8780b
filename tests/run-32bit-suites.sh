#!/usr/bin/env bash
# The Windows suites against the files that ship: the 32-bit test programs of the
# wintest32 preset drive the win32 build's Tactra.exe and tpinput.dll under 32-bit
# Wine. On a machine that cannot execute 32-bit code the entries are configured and
# reported skipped by ctest, and one line says so.
set -u
cd "$(dirname "$0")/.."
if bash tests/probe-32bit.sh; then
  cmake --preset wintest32 >/dev/null && cmake --build --preset wintest32 || exit 1
  exec bash tests/wine-run.sh build/wintest32
fi
echo "32-bit Windows suites skipped: this machine cannot execute 32-bit code"
cmake --preset wintest32 >/dev/null || exit 1
exec ctest --test-dir build/wintest32
