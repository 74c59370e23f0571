#!/usr/bin/env bash
# The picture tool tells a clean run from a failed one: the program with the example lists is
# pictured and closes with 0. In a folder without its lists the program shows an error box while
# it starts: the tool closes the box, pictures the main window that follows, closes the program
# and gives 1, naming the box it saw. scripts/run.sh --screenshot, started on what the build
# folder holds, passes the same on: the picture saved, exit code 0 for the clean run, 1 and the box
# named for the other. The README's picture (docs/screenshot.png) is what the clean run shows: what
# the first command a user types, scripts/run.sh, shows in examples/.
#   picture_tool_check.sh SHOT.exe PROGRAM.exe EXAMPLES_FOLDER BUILD_FOLDER
set -u
shot=$1; program=$2; examples=$3; build=$4
source "$(dirname "${BASH_SOURCE[0]}")/check_env.sh"
run() { # FOLDER: runs the tool there, output in $work/out.txt, picture in $work/shot.bmp
  rm -f "$work/shot.bmp"
  (cd "$1" && "$root/scripts/wine-exec.sh" "$shot" "$(winepath -w "$work/shot.bmp")" \
    "$(winepath -w "$program")") >"$work/out.txt" 2>&1
}
fail() { echo "FAILED: $*"; cat "$work/out.txt"; exit 1; }
# The width of the saved picture (a BMP's width is the 32-bit number at byte 18).
width() { od -An -tu4 -j18 -N4 "$work/shot.bmp" | tr -d ' '; }

run "$examples"; rc=$?
[ "$rc" = 0 ] || fail "the program with its lists: exit $rc, expected 0"
[ -s "$work/shot.bmp" ] || fail "the program with its lists: no picture saved"

mkdir -p "$work/empty"
run "$work/empty"; rc=$?
[ "$rc" = 1 ] || fail "the program without its lists: exit $rc, expected 1"
grep -q "an error box was shown at start: File not found\." "$work/out.txt" || fail "the box is not named"
! grep -q "did not close" "$work/out.txt" || fail "the program was not closed when asked"
[ -s "$work/shot.bmp" ] || fail "the program without its lists: no picture saved"
# The main window's client area alone is 788 pixels wide; the box is far narrower.
[ "$(width)" -ge 788 ] || fail "the picture is $(width) pixels wide: not the main window"

# The script: no build (ctest runs from the build folder), and the display and wineserver of the
# tests, which run.sh shares.
run_script() { # FOLDER: output in $work/out.txt, picture in $work/shot.png
  rm -f "$work/shot.png"
  TV_VIRTUAL_DISPLAY="$DISPLAY" TV_WIN32_BUILD="$build" "$root/scripts/run.sh" --no-build --dir "$1" \
    --screenshot "$work/shot.png" >"$work/out.txt" 2>&1 </dev/null
}
run_script "$examples"; rc=$?
[ "$rc" = 0 ] || fail "run.sh with the lists: exit $rc, expected 0"
[ -s "$work/shot.png" ] || fail "run.sh with the lists: no picture saved"
# Pixels of the same colour within a tenth; up to 1 % of them may differ.
readme="$root/docs/screenshot.png"
differ=$(compare -metric AE -fuzz 10% "$work/shot.png" "$readme" null: 2>&1)
pixels=$(identify -format '%[fx:w*h]' "$work/shot.png")
[[ "$differ" =~ ^[0-9]+$ ]] && [ "$differ" -le $((pixels / 100)) ] ||
  fail "the README's picture is not what run.sh shows in examples/ ($differ of $pixels pixels differ); render it with scripts/run.sh --screenshot docs/screenshot.png"
run_script "$work/empty"; rc=$?
[ "$rc" = 1 ] || fail "run.sh without the lists: exit $rc, expected 1"
grep -q "an error box was shown at start: File not found\." "$work/out.txt" || fail "run.sh does not pass the box's name on"
grep -q "run.sh: the program did not run and close cleanly" "$work/out.txt" || fail "run.sh does not say that the run failed"
[ -s "$work/shot.png" ] || fail "run.sh without the lists: no picture saved"
echo "picture tool: a clean run gives 0; a box at start is closed and named, the main window pictured, and 1 given; run.sh --screenshot passes both on"
