#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
#   cmake/install-deps.sh native    compilers, CMake, GoogleTest, Google Benchmark, xmllint
#                                   (the replay pictures' tests) and rsvg-convert (to view them)
#   cmake/install-deps.sh all       also mingw-w64, Wine, Xvfb and ImageMagick (screenshots)
#                                   for the Windows builds
set -euo pipefail

native=(cmake make g++ libgtest-dev libbenchmark-dev libxml2-utils librsvg2-bin)
windows=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686
         googletest wine wine64 xvfb xauth x11-utils imagemagick)

wanted=("${native[@]}")
[ "${1:-all}" = native ] || wanted+=("${windows[@]}")

missing=()
for pkg in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$pkg")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
