#!/usr/bin/env bash
# Builds the target (32-bit Windows) in build/win32; with --native also the native build with
# sanitizers in build/native. With --program only the program and the developer tools that start
# it (the tests and benchmarks are left for scripts/test.sh), and the targets named after it.
#   scripts/build.sh [--native | --program [TARGET...]]
# Installs what is missing first.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/args.sh"
native=0
program=0
targets=()
for a in "$@"; do
  case "$a" in
    --native) native=1 ;;
    --program) program=1 ;;
    -h|--help) tv_usage; exit 0 ;;
    -*) tv_bad_usage "unknown option $a" ;;
    *)
      [ "$program" = 1 ] || tv_bad_usage "a target ($a) is named only after --program"
      # A target is a name the build knows, never a path.
      [[ "$a" =~ ^[A-Za-z0-9_.+-]+$ ]] || tv_bad_usage "a target is a name, not $a"
      targets+=("$a") ;;
  esac
done
[ "$native" = 0 ] || [ "$program" = 0 ] || tv_bad_usage "--native and --program do not go together"
if [ "$program" = 1 ]; then
  "$root/scripts/setup.sh" --program
else
  "$root/scripts/setup.sh"
fi

configure() { # dir, args...
  local dir=$1; shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
  fi
}
configure "$root/build/win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-w64-mingw32.cmake" -DCMAKE_BUILD_TYPE=Release
if [ "$program" = 1 ]; then
  cmake --build "$root/build/win32" -j "$tv_jobs" --target Project1 shot "${targets[@]}"
  exit 0
fi
cmake --build "$root/build/win32" -j "$tv_jobs"
if [ "$native" = 1 ]; then
  configure "$root/build/native" -DTV_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTV_BENCH=OFF
  cmake --build "$root/build/native" -j "$tv_jobs"
fi
