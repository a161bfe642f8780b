#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
#   cmake/install-deps.sh native    compilers, CMake, GoogleTest, Google Benchmark, xmllint
#                                   (the replay pictures' tests), rsvg-convert (to view them)
#                                   and clang with its libFuzzer (make fuzz), clang-format
#                                   and clang-tidy (the format and tidy checks)
#   cmake/install-deps.sh all       also mingw-w64, Wine, Xvfb and ImageMagick (screenshots)
#                                   for the Windows builds, NSIS and 7-Zip for the installer
#                                   and its checks; and 32-bit Wine where this machine
#                                   executes 32-bit code
#   cmake/install-deps.sh dist      what `make dist` needs: CMake, the 32-bit mingw-w64,
#                                   NSIS and 7-Zip
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

native=(cmake make g++ libgtest-dev libbenchmark-dev libxml2-utils librsvg2-bin
        clang libclang-rt-14-dev clang-format clang-tidy git)
windows=(g++-mingw-w64-i686-win32 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-win32
         g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686
         googletest wine wine64 xvfb xauth x11-utils imagemagick nsis p7zip-full)
dist=(cmake make g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 nsis p7zip-full)

wanted=("${native[@]}")
i386=no
if [ "${1:-all}" = dist ]; then
  wanted=("${dist[@]}")
elif [ "${1:-all}" != native ]; then
  wanted+=("${windows[@]}")
  # The shipped files are 32-bit: run them where the machine can (installed
  # apart below: a missing 32-bit Wine only skips the 32-bit suites).
  if bash "$here/../tests/scripts/probe-32bit.sh"; then
    i386=yes
  fi
fi

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
missing=()
for pkg in "${wanted[@]}"; do
  installed "$pkg" || missing+=("$pkg")
done
wine32=no
[ "$i386" = yes ] && ! installed wine32:i386 && wine32=yes
[ ${#missing[@]} -eq 0 ] && [ "$wine32" = no ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive
if [ "$wine32" = yes ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
# A mirror in the middle of a sync fails one index; what it could fetch is used.
$sudo apt-get update -q || echo "install-deps: apt-get update reported errors; installing from the lists it has"
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
if [ "$wine32" = yes ]; then
  echo "Installing: wine32:i386"
  $sudo apt-get install -y -q --no-install-recommends wine32:i386 ||
    echo "install-deps: wine32:i386 could not be installed; the 32-bit Windows suites will be skipped"
fi
