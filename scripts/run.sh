#!/usr/bin/env bash
# Installs what is missing, builds the program, and starts it under Wine in the examples folder
# (or the folder given with --dir), where it reads its two files, server.txt and list.txt.
#   scripts/run.sh [--dir FOLDER] [--demo] [--screenshot FILE.png] [--no-build]
# The program shows on your display when there is one. Without one it runs on a virtual display
# (Xvfb) where nobody sees it: press Ctrl+C to end it. With --demo the framework demo
# (tools/FrameworkDemo.exe) starts instead of the program. With --screenshot the program runs on a
# virtual display; an error box that it shows while it starts is closed, the picture is saved once
# the main window has painted, and the program is closed. The script then fails when the program
# showed an error box at start, showed no window, did not close when asked, or ended with an exit
# code other than 0 (the picture is still saved when taken). The first run builds only the
# program; scripts/test.sh builds the tests and benchmarks. With --no-build nothing is installed
# or built: what an earlier build left in build/win32 (or in the folder that the environment
# variable TV_WIN32_BUILD names) is started.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/args.sh"
dir="$root/examples"
shot=""
demo=0
build=1
while [ $# -gt 0 ]; do
  case "$1" in
    --dir)
      tv_need_value "$@"
      [ -d "$2" ] || tv_bad_usage "--dir $2: no such folder"
      dir=$(cd "$2" && pwd); shift 2 ;;
    --screenshot) tv_need_value "$@"; tv_file_to_write "$@"; shot=$(realpath -m "$2"); shift 2 ;;
    --demo) demo=1; shift ;;
    --no-build) build=0; shift ;;
    -h|--help) tv_usage; exit 0 ;;
    *) tv_bad_usage "unknown argument $1" ;;
  esac
done
built="$root/build/win32"
if [ "$build" = 0 ]; then
  built=${TV_WIN32_BUILD:-$built}
elif [ "$demo" = 1 ]; then
  "$root/scripts/build.sh" --program FrameworkDemo
else
  "$root/scripts/build.sh" --program
fi
source "$root/scripts/wine-env.sh"
exe="$built/app/Project1.exe"
if [ "$demo" = 1 ]; then exe="$built/tools/FrameworkDemo.exe"; fi
for need in "$exe" ${shot:+"$built/tools/shot.exe"}; do
  [ -f "$need" ] || { echo "run.sh: $need is not built (run without --no-build)" >&2; exit 1; }
done
if [ -n "$shot" ]; then
  tv_wine_unattended
  bmp=$(mktemp --suffix=.bmp)
  rm -f "$bmp"
  rc=0
  (cd "$dir" && tv_wine "$built/tools/shot.exe" "$(winepath -w "$bmp")" "$(winepath -w "$exe")") || rc=$?
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
  shown=${DISPLAY:-}
  tv_display
  if [ "$DISPLAY" != "$shown" ]; then
    echo "run.sh: no display: the program runs on the virtual display $DISPLAY, where nobody sees it; press Ctrl+C to end it" >&2
  fi
  tv_wine_prefix
  cd "$dir"
  tv_wine "$exe"
fi
