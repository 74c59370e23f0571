#!/usr/bin/env bash
# Builds and runs the benchmarks: the native ones (optimised, no sanitizers, in build/bench) and
# the target ones under Wine. Each checks first that it and its peer produce the same result (a
# benchmark that finds a difference fails, and so does this script), then prints its figures as
# ratios against the peer measured in the same run, the two taking turns; docs/benchmarks.md
# records them and says how each comparison is made.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/args.sh"
tv_no_arguments "$@"
"$root/scripts/build.sh"
if [ ! -f "$root/build/bench/build.ninja" ]; then
  cmake -S "$root" -B "$root/build/bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTV_TESTS=OFF -DTV_BENCH=ON >/dev/null
fi
cmake --build "$root/build/bench" -j "$tv_jobs"
for b in "$root"/build/bench/bench/*_bench; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b") (native)"
  "$b"
done
# Under Wine every window call is a round trip to the wine server, and many go on to the X server.
# Spread over several cores, those three processes wait on each other's wake-ups, and a run of
# size steps turns slow for both sides alike, hiding what the program's own work costs: the
# target benchmarks, and the servers they start, run on one core.
if command -v taskset >/dev/null 2>&1; then
  cpu=$(taskset -cp $$ | sed 's/.*: *//; s/[,-].*//')
  taskset -cp "$cpu" $$ >/dev/null
fi
source "$root/scripts/wine-env.sh"
tv_wine_unattended
for b in "$root"/build/win32/bench/*_bench.exe; do
  [ -f "$b" ] || continue
  echo "== $(basename "$b" .exe) (target, under Wine)"
  tv_wine "$b"
done
