#!/usr/bin/env bash
# Installs, builds and runs every test: the target's tests under Wine (through ctest) and the
# portable core's tests natively under AddressSanitizer and UndefinedBehaviorSanitizer, then a
# short smoke run of every fuzz target.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/args.sh"
tv_no_arguments "$@"
"$root/scripts/build.sh" --native
source "$root/scripts/wine-env.sh"
tv_wine_unattended
status=0
echo "== native tests (sanitizers)"
ctest --test-dir "$root/build/native" --output-on-failure -j "$tv_jobs" || status=1
echo "== target tests (Wine)"
ctest --test-dir "$root/build/win32" --output-on-failure -j "$tv_jobs" || status=1
echo "== fuzz targets (short smoke run)"
"$root/scripts/fuzz.sh" --smoke || status=1
if [ "$status" != 0 ]; then
  # The names again at the very end, where a shortened log still shows them.
  echo "== failed test cases"
  for dir in native win32; do
    log="$root/build/$dir/Testing/Temporary/LastTest.log"
    [ -f "$log" ] && grep -h '^\[  FAILED  \] .* ms)' "$log" | tr -d '\r' | sed "s/^/$dir: /" || true
  done
fi
exit $status
