#!/usr/bin/env bash
# TV_JOBS=N makes every script that builds or runs tests use N jobs: each build, each ctest run
# that the script starts (itself or through another script) is given N, not one per core. A value
# that is not a whole number of 1 or more ends the script with exit code 2, naming TV_JOBS, before
# anything is built. The scripts run from a copy whose set-up and Wine environment do nothing;
# cmake, ctest and the rest stand in and note each build and test run.
#   build_jobs_check.sh
set -u
source "$(dirname "${BASH_SOURCE[0]}")/check_env.sh"
copy="$work/root"
mkdir -p "$copy/scripts" "$copy/fuzz"
cp "$root"/scripts/*.sh "$copy/scripts/"
# The CMake files: build.sh takes the targets that they name.
(cd "$root" && find . -mindepth 1 \( -path ./build -o -name '.*' \) -prune -o -name CMakeLists.txt -print | xargs cp --parents -t "$copy")
touch "$copy/fuzz/some_fuzz.cpp"
printf '#!/bin/sh\nexit 0\n' >"$copy/scripts/setup.sh"
printf '#!/bin/sh\nexit 1\n' >"$copy/scripts/wine-exec.sh"
cat >"$copy/scripts/wine-env.sh" <<'EOF'
tv_display() { :; }
tv_wine_prefix() { :; }
tv_wineserver() { :; }
tv_wine_unattended() { :; }
tv_cleanup() { :; }
tv_wine() { return 1; }
EOF
# A build (cmake --build) or a test run (ctest) is noted with its arguments; configuring is not.
standin cmake '[[ " $* " != *" --build "* ]] || echo "cmake $*" >>"$calls"'
standin ctest 'echo "ctest $*" >>"$calls"'
for tool in make ninja clang clang++ wine wineserver winepath Xvfb convert; do standin "$tool" 'exit 1'; done

# TV_JOBS | script and arguments | the builds and test runs it starts, in order (refused: exit 2)
rows=(
  "3|build.sh|cmake"
  "3|build.sh --native|cmake cmake"
  "3|build.sh --program|cmake"
  "3|run.sh|cmake"
  "3|run.sh --demo|cmake"
  "3|gallery.sh|cmake"
  "3|gallery.sh --out no-such-folder/pictures|cmake"
  "3|monkey.sh --steps 1|cmake"
  "3|fuzz.sh --smoke|cmake"
  "3|bench.sh|cmake cmake"
  "3|test.sh|cmake cmake ctest ctest cmake"
  "0|build.sh|refused"
  "two|test.sh|refused"
  "-1|run.sh|refused"
)
failed=0
for row in "${rows[@]}"; do
  IFS='|' read -r jobs command expected <<<"$row"
  calls="$work/calls" && : >"$calls"
  # shellcheck disable=SC2086 # the arguments are words
  out=$(calls=$calls TV_JOBS=$jobs PATH="$work/bin:$PATH" "$copy/scripts/"$command 2>&1 </dev/null); rc=$?
  what="TV_JOBS=$jobs scripts/$command"
  if [ "$expected" = refused ]; then
    [ "$rc" = 2 ] && grep -q TV_JOBS <<<"$(head -n 1 <<<"$out")" && [ ! -s "$calls" ] ||
      { echo "FAILED: $what is not refused (exit $rc): $(head -n 2 <<<"$out")"; failed=1; }
    continue
  fi
  ran=$(cut -d' ' -f1 "$calls" | paste -sd' ')
  [ "$ran" = "$expected" ] || { echo "FAILED: $what ran '$ran', expected '$expected'"; failed=1; }
  while IFS= read -r call; do
    grep -qE -- "(^| )(-j ?$jobs|--parallel[= ]$jobs)( |$)" <<<"$call" || { echo "FAILED: $what: $call"; failed=1; }
  done <"$calls"
done
[ "$failed" = 0 ] && echo "build jobs: ${#rows[@]} rows: every build and test run of every script takes TV_JOBS; a wrong value is refused"
exit $failed
