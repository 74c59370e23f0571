#!/usr/bin/env bash
# Builds the target (32-bit Windows) in build/win32; with --native also the native build with
# sanitizers in build/native. Installs what is missing first.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
native=0
for a in "$@"; do [ "$a" = --native ] && native=1; done
jobs=$(nproc 2>/dev/null || echo 4)

configure() { # dir, args...
  local dir=$1; shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
  fi
}
configure "$root/build/win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-w64-mingw32.cmake" -DCMAKE_BUILD_TYPE=Release
cmake --build "$root/build/win32" -j "$jobs"
if [ "$native" = 1 ]; then
  configure "$root/build/native" -DTV_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTV_BENCH=OFF
  cmake --build "$root/build/native" -j "$jobs"
fi
