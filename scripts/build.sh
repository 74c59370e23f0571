#!/usr/bin/env bash
# Builds the target (32-bit Windows) in build/win32; with --native also the native build with
# sanitizers in build/native. With --program only the program and the developer tools that start
# it (the tests and benchmarks are left for scripts/test.sh), and the targets named after it:
# executables and libraries of the target build, as its CMake files name them.
#   scripts/build.sh [--native | --program [TARGET...]]
# Installs what is missing first.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/args.sh"
native=0
program=0
# The targets of the target build, read from the CMake files themselves, so that a fresh clone
# knows them before anything is installed or configured: the names given to add_executable,
# add_library (not an imported or interface one) and tv_add_test_dir, leaving out the native
# build's own (under if(NOT TV_TARGET_WINDOWS) or the else of if(TV_TARGET_WINDOWS)); the fuzz
# targets are named through a function of the fuzz build alone.
build_targets() {
  find "$root" -mindepth 1 \( -path "$root/build" -o -name '.*' \) -prune -o -name CMakeLists.txt -print0 |
    xargs -0 awk '
      FNR == 1 { depth = 0 }
      { line = $0; sub(/#.*/, "", line) }
      line ~ /^[ \t]*if[ \t]*\(/ {
        depth++
        windows[depth] = line ~ /^[ \t]*if\(TV_TARGET_WINDOWS\)/
        native[depth] = line ~ /^[ \t]*if\(NOT TV_TARGET_WINDOWS[ )]/
        next
      }
      line ~ /^[ \t]*else[ \t]*\(/ { native[depth] = windows[depth]; windows[depth] = 0; next }
      line ~ /^[ \t]*endif[ \t]*\(/ { depth--; next }
      match(line, /^[ \t]*(add_executable|add_library|tv_add_test_dir)\([A-Za-z0-9_.+-]+/) && line !~ /IMPORTED|INTERFACE/ {
        for (d = 1; d <= depth; d++) if (native[d]) next
        name = substr(line, 1, RLENGTH); sub(/.*\(/, "", name); print name
      }' | sort -u
}
targets=()
for a in "$@"; do
  case "$a" in
    --native) native=1 ;;
    --program) program=1 ;;
    -h|--help) tv_usage; exit 0 ;;
    -*) tv_bad_usage "unknown option $a" ;;
    *)
      [ "$program" = 1 ] || tv_bad_usage "a target ($a) is named only after --program"
      # shellcheck disable=SC2046 # the names are words
      tv_one_of target "$a" $(build_targets)
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
