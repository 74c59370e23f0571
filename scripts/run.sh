#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program under Wine in the examples folder
# (or the folder given with --dir). On the user's display when there is one, otherwise on Xvfb.
# With --demo the framework demo (tools/FrameworkDemo.exe) starts instead of the program.
#   scripts/run.sh [--dir FOLDER] [--demo] [--screenshot FILE.png]
# With --screenshot the program runs on Xvfb; the picture is saved once the window has painted,
# then the program is closed: the script fails when the program showed no window, did not close
# when asked, or ended with an exit code other than 0 (the picture is still saved when taken).
# The first run builds only the program; scripts/test.sh builds the tests and benchmarks.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir="$root/examples"
shot=""
demo=0
while [ $# -gt 0 ]; do
  case "$1" in
    --dir) dir=$(cd "$2" && pwd); shift 2 ;;
    --screenshot) shot=$(realpath -m "$2"); shift 2 ;;
    --demo) demo=1; shift ;;
    -h|--help) sed -n '2,7p' "$0"; exit 0 ;;
    *) echo "run.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
if [ "$demo" = 1 ]; then
  "$root/scripts/build.sh" --program FrameworkDemo
else
  "$root/scripts/build.sh" --program
fi
source "$root/scripts/wine-env.sh"
exe="$root/build/win32/app/Project1.exe"
if [ "$demo" = 1 ]; then exe="$root/build/win32/tools/FrameworkDemo.exe"; fi
if [ -n "$shot" ]; then
  tv_display xvfb
  tv_wine_prefix
  tv_wineserver
  bmp=$(mktemp --suffix=.bmp)
  rm -f "$bmp"
  rc=0
  (cd "$dir" && tv_wine "$root/build/win32/tools/shot.exe" "$(winepath -w "$bmp")" "$(winepath -w "$exe")") || rc=$?
  if [ -s "$bmp" ]; then
    convert "$bmp" "$shot"
    echo "screenshot saved to $shot"
  fi
  rm -f "$bmp"
  if [ "$rc" != 0 ]; then
    echo "run.sh: the program did not run and close cleanly (see above)" >&2
    exit 1
  fi
else
  tv_display
  tv_wine_prefix
  cd "$dir"
  tv_wine "$exe"
fi
