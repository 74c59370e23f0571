#!/usr/bin/env bash
# Builds the fuzz targets (native, clang, libFuzzer with AddressSanitizer and UndefinedBehavior-
# Sanitizer) in build/fuzz and runs every target found in fuzz/ (each fuzz/<name>.cpp registered
# as <name>) for a bounded time on a working copy of its corpus; inputs that reach new code are
# merged back into fuzz/corpus/<name> (libFuzzer's -merge=1, which keeps the corpus small).
#
#   scripts/fuzz.sh                 every target for 60 s
#   scripts/fuzz.sh --seconds 300   every target for 300 s
#   scripts/fuzz.sh --smoke         every target for 10 s, leaving the corpora as they are
#   scripts/fuzz.sh pack_fuzz ...   only the named targets
#
# Exits non-zero when a target crashes, takes more than 2 s over one input, grows past 512 MB or
# asks for more than 128 MB in one allocation; the input that did it is kept in
# build/fuzz/artifacts/<name>/. The limits sit well above what any target needs for the inputs its
# code accepts (about 100 MB and a few hundredths of a second), so an input that makes the code slow
# or bloated is a finding like a crash.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/args.sh"
seconds=60
merge=1
# Per input: seconds of time, and MB of the process's memory and of one allocation.
timeout=2
rss_mb=512
malloc_mb=128
# AddressSanitizer holds freed memory back (256 MB by default) and keeps what it took from the
# system; a smaller quarantine and memory given back let the process's size follow what the code
# holds, so that the memory limit measures the input and not the length of the run.
export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=64:allocator_release_to_os_interval_ms=500}"
# The targets: every fuzz/<name>_fuzz.cpp.
known=()
for src in "$root"/fuzz/*_fuzz.cpp; do
  [ -e "$src" ] && known+=("$(basename "$src" .cpp)")
done
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) tv_need_value "$@"; tv_whole_number "$1" "$2"; seconds=$((10#$2)); shift 2 ;;
    --seconds=*) tv_whole_number --seconds "${1#--seconds=}"; seconds=$((10#${1#--seconds=})); shift ;;
    --smoke) seconds=10; merge=0; shift ;;
    -h|--help) tv_usage; exit 0 ;;
    -*) tv_bad_usage "unknown option $1" ;;
    *) tv_one_of "fuzz target" "$1" "${known[@]}"; targets+=("$1"); shift ;;
  esac
done

for tool in clang clang++ cmake ninja; do
  command -v "$tool" >/dev/null || { echo "fuzz.sh: $tool is missing (apt-get install clang cmake ninja-build)" >&2; exit 2; }
done

if [ ${#known[@]} -eq 0 ]; then echo "fuzz.sh: no fuzz targets in fuzz/" >&2; exit 2; fi
[ ${#targets[@]} -gt 0 ] || targets=("${known[@]}")

build="$root/build/fuzz"
if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DTV_FUZZ=ON -DTV_TESTS=OFF -DTV_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j "$tv_jobs" --target "${targets[@]}"

# Merges the inputs of Run into Corpus so that Corpus covers what both cover. Where libFuzzer
# knows the set-cover merge, Corpus is rebuilt as a small covering set of both (the hand-written
# seeds, whose names are not content hashes, are always kept); otherwise -merge=1 adds the inputs of
# Run that reach new code.
merge_back() { # bin, corpus, run
  local bin=$1 corpus=$2 run=$3 min="$work/min.$RANDOM"
  local help
  help=$("$bin" -help=1 2>&1 || true)
  if [[ "$help" == *set_cover_merge* ]]; then
    mkdir -p "$min"
    if "$bin" -set_cover_merge=1 "$min" "$corpus" "$run" >"$min.log" 2>&1 && [ -n "$(ls -A "$min")" ]; then
      find "$corpus" -type f -regextype posix-extended -regex '.*/[0-9a-f]{40}' -delete
      cp -n "$min"/* "$corpus"/
      return 0
    fi
    echo "merge: set-cover merge failed, adding new inputs instead"; tail -n 5 "$min.log"
  fi
  "$bin" -merge=1 "$corpus" "$run" >"$work/merge.log" 2>&1 || { echo "merge failed"; tail -n 20 "$work/merge.log"; }
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
for t in "${targets[@]}"; do
  bin="$build/fuzz/$t"
  corpus="$root/fuzz/corpus/$t"
  artifacts="$build/artifacts/$t/"
  mkdir -p "$corpus" "$artifacts" "$work/$t"
  cp -R "$corpus"/. "$work/$t"/ 2>/dev/null || true
  echo "== $t: ${seconds} s on $(find "$corpus" -type f | wc -l) corpus inputs"
  if "$bin" -max_total_time="$seconds" -timeout="$timeout" -rss_limit_mb="$rss_mb" -malloc_limit_mb="$malloc_mb" \
       -print_final_stats=1 \
       -artifact_prefix="$artifacts" "$work/$t" >"$work/$t.log" 2>&1; then
    tail -n 12 "$work/$t.log" | grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done)' || true
    if [ "$merge" = 1 ]; then
      before=$(find "$corpus" -type f | wc -l)
      merge_back "$bin" "$corpus" "$work/$t"
      echo "$t: passed; corpus $before -> $(find "$corpus" -type f | wc -l) inputs"
    else
      echo "$t: passed"
    fi
    passed=$((passed + 1))
  else
    echo "$t: FAILED"
    grep -E 'ERROR|SUMMARY|Test unit written|==[0-9]+==' "$work/$t.log" | head -n 20 || true
    tail -n 30 "$work/$t.log"
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
