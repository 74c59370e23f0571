#!/usr/bin/env bash
# Every script that takes --help prints its whole usage: each option it accepts is named, and the
# text ends with a finished sentence (a full stop), not in the middle of one. A wrong argument (an
# unknown option, an option without its value, a malformed number or range) ends a script at once
# with exit code 2, a line that names what was wrong, and the usage. The targets that build.sh
# takes (those its refusal of an unknown one lists) are those of the configured target build: none
# that it cannot build, none of its programs missing.
#   script_usage_check.sh BUILD_FOLDER
set -u
build=$1
source "$(dirname "${BASH_SOURCE[0]}")/check_env.sh"
failed=0
for script in "$root"/scripts/*.sh; do
  # The scripts one runs (the sourced ones are not executable) that check their arguments.
  [ -x "$script" ] && grep -q 'args\.sh"' "$script" || continue
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

# A script that went past its arguments would install, build or start Wine: here the tools for
# that stand in as programs that fail loudly, so that no row does any of it.
for tool in cmake ctest ninja wine wineserver Xvfb apt-get sudo clang clang++; do
  standin "$tool" "echo 'the arguments were taken: $tool ran' >&2; exit 99"
done
# Script | its arguments (as the shell reads them: "" is an empty one) | what the message names.
rows=(
  "build.sh|--bogus|--bogus"
  "build.sh|Project1|Project1"
  "build.sh|--native --program|--native"
  "build.sh|--program ../x|../x"
  "build.sh|--program ..|target \\.\\."
  "build.sh|--program +|target +"
  "build.sh|--program Project1 nosuch|nosuch"
  "build.sh|--program png_bench|png_bench"
  "build.sh|--program jpeg_fuzz|jpeg_fuzz"
  "setup.sh|--bogus|--bogus"
  "test.sh|--bogus|--bogus"
  "test.sh|\"\" --bogus|empty"
  "bench.sh|extra|extra"
  "bench.sh|\"\" --bogus|empty"
  "run.sh|--dir|--dir"
  "run.sh|--screenshot|--screenshot"
  "run.sh|--screenshot \"\"|--screenshot"
  "run.sh|--dir --demo|--dir"
  "run.sh|--dir /no/such/folder|/no/such/folder"
  "run.sh|--bogus|--bogus"
  "run.sh|--screenshot \$root/no-such-folder/shot.png|no-such-folder"
  "run.sh|--screenshot \$root/docs|docs"
  "gallery.sh|--out|--out"
  "gallery.sh|--out \"\"|--out"
  "gallery.sh|--bogus|--bogus"
  "gallery.sh|--out \$root/README.md|README.md"
  "gallery.sh|--out \$root/README.md/pictures|README.md"
  "monkey.sh|--no-build --steps|--steps"
  "monkey.sh|--no-build --seeds|--seeds"
  "monkey.sh|--no-build --seed|--seed"
  "monkey.sh|--no-build --limit|--limit"
  "monkey.sh|--no-build --log|--log"
  "monkey.sh|--no-build --log \"\"|--log"
  "monkey.sh|--no-build --seeds 3-1|3-1"
  "monkey.sh|--no-build --seeds 1-x|1-x"
  "monkey.sh|--no-build --seeds 1,,2|--seeds"
  "monkey.sh|--no-build --steps ten|ten"
  "monkey.sh|--no-build --steps 0|--steps"
  "monkey.sh|--no-build --limit -5|--limit"
  "monkey.sh|--no-build --bogus|--bogus"
  "monkey.sh|--no-build --log \$root/README.md|README.md"
  "fuzz.sh|--seconds|--seconds"
  "fuzz.sh|--seconds 0|--seconds"
  "fuzz.sh|--seconds=1.5|--seconds"
  "fuzz.sh|--bogus|--bogus"
  "fuzz.sh|nosuch_fuzz|nosuch_fuzz"
  "fuzz.sh|../tools/shot|../tools/shot"
)
for row in "${rows[@]}"; do
  IFS='|' read -r script args names <<<"$row"
  eval "argv=($args)"
  out=$(PATH="$work/bin:$PATH" "$root/scripts/$script" "${argv[@]}" 2>&1 </dev/null); rc=$?
  usage=$("$root/scripts/$script" --help 2>&1 | head -n 1)
  what="scripts/$script $args"
  [ "$rc" = 2 ] || { echo "FAILED: $what exits with $rc, not 2: $(head -n 3 <<<"$out")"; failed=1; continue; }
  grep -q -- "$names" <<<"$(head -n 1 <<<"$out")" || { echo "FAILED: $what does not name $names: $(head -n 1 <<<"$out")"; failed=1; }
  grep -qF -- "$usage" <<<"$out" || { echo "FAILED: $what does not print the usage"; failed=1; }
done
offered=$("$root/scripts/build.sh" --program no-such-target 2>&1 | sed -n '1s/.*(one of: \(.*\))$/\1/p' | tr ' ' '\n')
phony=$(cmake --build "$build" --target help 2>/dev/null | sed -n 's/^\([A-Za-z0-9_.+-]*\): phony$/\1/p' | sort -u)
extra=$(comm -23 <(sort <<<"$offered") <(echo "$phony") | paste -sd' ')
missing=$(comm -13 <(sort <<<"$offered") <(sed -n 's/\.exe$//p' <<<"$phony" | sort) | paste -sd' ')
[ -n "$offered" ] && [ -z "$extra$missing" ] ||
  { echo "FAILED: build.sh --program takes '$extra' that $build cannot build, and refuses its programs '$missing'"; failed=1; }
[ "$failed" = 0 ] && echo "script usage: every --help names its options and ends with a finished sentence; ${#rows[@]} wrong arguments each end their script with 2, named, and the usage; build.sh takes the configured build's targets"
exit $failed
