#!/usr/bin/env bash
# The picture tool tells a clean run from a failed one: the program with the example lists is
# pictured and closes with 0; the program in a folder without its lists, which shows an error
# box and stays open, gives 1, and the tool names the box it left open.
#   picture_tool_check.sh SHOT.exe PROGRAM.exe EXAMPLES_FOLDER
set -u
shot=$1; program=$2; examples=$3
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run() { # FOLDER: runs the tool there, output in $work/out.txt, picture in $work/shot.bmp
  rm -f "$work/shot.bmp"
  (cd "$1" && "$root/scripts/wine-exec.sh" "$shot" "$(winepath -w "$work/shot.bmp")" \
    "$(winepath -w "$program")") >"$work/out.txt" 2>&1
}
fail() { echo "FAILED: $*"; cat "$work/out.txt"; exit 1; }

run "$examples"; rc=$?
[ "$rc" = 0 ] || fail "the program with its lists: exit $rc, expected 0"
[ -s "$work/shot.bmp" ] || fail "the program with its lists: no picture saved"

mkdir -p "$work/empty"
run "$work/empty"; rc=$?
[ "$rc" = 1 ] || fail "the program without its lists: exit $rc, expected 1"
grep -q "File not found." "$work/out.txt" || fail "the box left open is not named"
echo "picture tool: a clean run gives 0, a program left with a box open gives 1"
