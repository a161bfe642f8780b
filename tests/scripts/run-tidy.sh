#!/usr/bin/env bash
# clang-tidy with the checks of .clang-tidy over the product's code, from compile
# databases of its own (configured only, nothing is built): the code that builds
# natively (the portable core, the tools, the native stand-ins) in build/tidy, and,
# where the mingw-w64 compilers are installed, the Win32 adapters and programs in
# build/tidy-win32 (for x86_64 Windows, the same sources as the 32-bit files). On
# that side integer-to-pointer casts are allowed: window messages carry pointers in
# their integer parameters. Any finding fails.
#   tests/scripts/run-tidy.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$(mktemp)
trap 'rm -f "$out"' EXIT
status=0

cmake -S "$root" -B "$root/build/tidy" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DTACTRA_TESTS=OFF >/dev/null
run-clang-tidy -p "$root/build/tidy" -j2 -quiet \
  "$root/(app|device|gesture|platform|profiles|tools|tpinput)/" >"$out" 2>/dev/null || status=$?

gcc_dir=$(ls -d /usr/lib/gcc/x86_64-w64-mingw32/*-posix 2>/dev/null | head -1 || true)
if [ -n "$gcc_dir" ] && command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  cmake -S "$root" -B "$root/build/tidy-win32" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DTACTRA_MINGW_THREADS=posix \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DTACTRA_TESTS=OFF >/dev/null
  run-clang-tidy -p "$root/build/tidy-win32" -j2 -quiet -checks=-performance-no-int-to-ptr \
    -extra-arg=--target=x86_64-w64-mingw32 \
    -extra-arg=-isystem"$gcc_dir/include/c++" \
    -extra-arg=-isystem"$gcc_dir/include/c++/x86_64-w64-mingw32" \
    -extra-arg=-isystem/usr/x86_64-w64-mingw32/include \
    "$root/(app|device|platform|tools|tpinput)/.*(_win32\.cpp|/win32/[^/]*\.cpp)$" \
    >>"$out" 2>/dev/null || status=$?
else
  echo "clang-tidy: the Win32 side is not checked (no x86_64 mingw-w64 compiler here)"
fi

# The findings only, without the colours and the progress lines.
sed 's/\x1b\[[0-9;]*m//g' "$out" |
  grep -v "^clang-tidy\|^Running clang-tidy\|warnings\? generated\|^Suppressed\|^Use -header-filter\|^$" || true
[ "$status" = 0 ] && echo "clang-tidy: no findings"
exit "$status"
