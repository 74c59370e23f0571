#!/usr/bin/env bash
# Every script that takes --help prints its whole usage: each option it accepts is named, and the
# text ends with a finished sentence (a full stop), not in the middle of one.
#   script_usage_check.sh
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
failed=0
for script in "$root"/scripts/*.sh; do
  grep -q -- '--help)' "$script" || continue
  name=scripts/$(basename "$script")
  out=$("$script" --help 2>&1); rc=$?
  if [ "$rc" != 0 ]; then echo "FAILED: $name --help exits with $rc"; failed=1; continue; fi
  for option in $(grep -oE '^ *(-[a-z]\|)?--[a-z-]+(=\*)?\)' "$script" | grep -oE -- '--[a-z-]+' | sort -u); do
    [ "$option" = --help ] && continue
    grep -q -- "$option" <<<"$out" || { echo "FAILED: $name --help does not name $option"; failed=1; }
  done
  last=$(grep -v '^[[:space:]]*$' <<<"$out" | tail -n 1)
  [[ "$last" == *. ]] || { echo "FAILED: $name --help ends mid-sentence: '$last'"; failed=1; }
done
[ "$failed" = 0 ] && echo "script usage: every --help names its options and ends with a finished sentence"
exit $failed
