#!/usr/bin/env bash
# Runs the random-input test (tests/monkey) long: STEPS steps for each seed, one seed after the
# other, under Wine on a virtual display of its own.
#   scripts/monkey.sh [--steps N] [--seed S | --seeds FIRST-LAST | --seeds S1,S2,...]
#                     [--limit SECONDS] [--log FOLDER] [--no-build]
# Defaults: 5000 steps, seed 1, a time limit per seed of STEPS / 10 + 300 seconds, the logs in
# build/monkey-logs. It first installs what is missing and builds the test through
# scripts/build.sh (skipped with --no-build). Prints each seed's outcome and a summary; a seed's
# whole output is kept in the log folder. Exits non-zero when any seed failed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/args.sh"
steps=5000
seeds=1
limit=""
log="$root/build/monkey-logs"
build=1
while [ $# -gt 0 ]; do
  case "$1" in
    --steps) tv_need_value "$@"; tv_whole_number "$1" "$2"; steps=$((10#$2)); shift 2 ;;
    --seed|--seeds) tv_need_value "$@"; seeds=$2; shift 2 ;;
    --limit) tv_need_value "$@"; tv_whole_number "$1" "$2"; limit=$((10#$2)); shift 2 ;;
    --log) tv_need_value "$@"; tv_folder_to_fill "$@"; log=$(realpath -m "$2"); shift 2 ;;
    --no-build) build=0; shift ;;
    -h|--help) tv_usage; exit 0 ;;
    *) tv_bad_usage "unknown argument $1" ;;
  esac
done
# The seeds: one, a range FIRST-LAST that names at least one, or a list.
list=""
case "$seeds" in
  *-*)
    [[ "$seeds" =~ ^[0-9]{1,9}-[0-9]{1,9}$ ]] || tv_bad_usage "--seeds $seeds is no range FIRST-LAST of whole numbers"
    first=${seeds%-*} last=${seeds#*-}
    [ $((10#$first)) -le $((10#$last)) ] || tv_bad_usage "--seeds $seeds names no seed (the first is after the last)"
    list=$(seq $((10#$first)) $((10#$last)))
    ;;
  *)
    IFS=, read -r -a given <<<"$seeds"
    [ ${#given[@]} -gt 0 ] && [[ "$seeds" != *, ]] || tv_bad_usage "--seeds $seeds names no seed"
    for s in "${given[@]}"; do
      tv_whole_number --seeds "$s" 0
      list+="$((10#$s)) "
    done
    ;;
esac
# The time limit of one seed: about 25 steps a second on a loaded machine, and room for the walks
# around the counts.
[ -n "$limit" ] || limit=$((steps / 10 + 300))
if [ "$build" = 1 ]; then
  "$root/scripts/build.sh" --program monkey_tests
fi
source "$root/scripts/wine-env.sh"
tv_wine_unattended
mkdir -p "$log"
passed=0
failed=0
steps_passed=0
for seed in $list; do
  out="$log/seed-$seed.txt"
  status=0
  TV_MONKEY_SEED=$seed TV_MONKEY_STEPS=$steps TV_MONKEY_LIMIT=$limit \
    timeout $((limit + 200)) "$root/scripts/wine-exec.sh" "$root/build/win32/tests/monkey_tests.exe" \
    --gtest_filter='Monkey.*' >"$out" 2>&1 || status=$?
  # A run that ended without the test's own verdict did not pass, whatever its exit code.
  if [ "$status" = 0 ] && ! grep -q '^\[  PASSED  \] 1 test' "$out"; then status=1; fi
  if [ "$status" = 0 ]; then
    passed=$((passed + 1))
    steps_passed=$((steps_passed + steps))
    echo "seed $seed: passed ($steps steps)"
  else
    failed=$((failed + 1))
    echo "seed $seed: FAILED (exit $status), see $out"
    grep -E "FAILED:|counted a fault|access violation|stays on the screen|told to quit|took longer|Which is" "$out" |
      head -8 | sed 's/^/  /' || true
  fi
done
echo "monkey: $passed seed(s) passed ($steps_passed steps), $failed failed; logs in $log"
[ "$failed" = 0 ]
