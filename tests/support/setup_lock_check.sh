#!/usr/bin/env bash
# The set-up on a machine where another package manager holds the package lock (the unattended
# upgrades after a boot, another of our scripts installing) waits for it some minutes, says that it
# waits and for whom, and goes on once the lock is free; a lock that stays held stops it, naming
# the lock as the cause and no other. A mirror in the middle of a sync (the index update fails)
# does not stop it. apt-get, dpkg and sleep stand in, acting as a machine whose lock is held until
# a given second of a clock that only the stand-in sleep and apt's own waits move on: nothing is
# installed and no time passes.
#   setup_lock_check.sh
set -u
source "$(dirname "${BASH_SOURCE[0]}")/check_env.sh"
# A copy of the set-up whose libraries for the target are there already: only packages are left.
mkdir -p "$work/root/scripts" "$work/root/.deps/i686-w64-mingw32/lib"
cp "$root/scripts/setup.sh" "$root/scripts/args.sh" "$work/root/scripts/"
touch "$work/root/.deps/i686-w64-mingw32/lib/libjpeg.a" "$work/root/.deps/i686-w64-mingw32/lib/libdeflate.a"

standin dpkg-query 'exit 0' # nothing is installed
standin dpkg '[ "$1" != --print-foreign-architectures ] || echo i386'
standin sudo 'exec "$@"'
standin sleep 'echo $(($(cat "$state/clock") + ${1%%.*})) >"$state/clock"'
# apt-get as apt 2.6 answers: the index update gives up at once on its lock whatever the timeout;
# the install waits up to DPkg::Lock::Timeout seconds, saying so on standard output unless -qq.
standin apt-get '
clock=$(cat "$state/clock") timeout=0 quiet=0 command=""
while [ $# -gt 0 ]; do
  case "${1,,}" in
    -o) [[ "${2,,}" != dpkg::lock::timeout=* ]] || timeout=${2#*=}; shift ;;
    -qq) quiet=2 ;;
    -q) quiet=1 ;;
    update|install) command=$1 ;;
  esac
  shift
done
held() { [[ " $locks " == *" $1 "* ]] && [ "$clock" -lt "$until" ]; }
frontend="Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 4242 (unattended-upgr)"
if [ "$command" = update ]; then
  if held lists; then
    echo "E: Could not get lock /var/lib/apt/lists/lock. It is held by process 4242 (apt-get)" >&2
    echo "E: Unable to lock directory /var/lib/apt/lists/" >&2
    exit 100
  fi
  echo x >>"$state/updates"
  if [ "$(wc -l <"$state/updates")" -le "$mirror_fails" ]; then
    echo "E: Failed to fetch main/binary-i386/Packages.xz  File has unexpected size (11264 != 11236). Mirror sync in progress?" >&2
    exit 100
  fi
elif [ "$command" = install ] && held frontend; then
  if [ "$timeout" -le 0 ]; then echo "E: $frontend" >&2; fi
  if [ "$timeout" -gt 0 ] && [ "$quiet" -lt 2 ]; then
    for i in 1 2 3; do echo "Waiting for cache lock: $frontend..."; done
  fi
  if [ $((clock + timeout)) -lt "$until" ]; then
    echo $((clock + timeout)) >"$state/clock"
    echo "E: Unable to acquire the dpkg frontend lock (/var/lib/dpkg/lock-frontend), is another process using it?" >&2
    exit 100
  fi
  echo "$until" >"$state/clock"
fi
if [ "$command" = install ] && [ -n "$lacks" ]; then echo "E: Unable to locate package $lacks" >&2; exit 100; fi
exit 0'

# What holds the lock | the locks held: of the index update, of the install | until the second
# (never: for longer than anyone waits) | index updates that fail first | a package the mirror
# lacks | exit code (0, or 1 for any failure) | what is said | what is not said
rows=(
  "the unattended upgrades at boot|lists frontend|240|0||0|waiting for the package lock|trying again"
  "another script installing|frontend|90|0||0|waiting for the package lock|trying again"
  "a lock that stays held|lists frontend|never|0||1|still held|trying again"
  "an install's lock that stays held|frontend|never|0||1|still held|trying again"
  "a lock let go, then a package missing|frontend|90|0|wine32:i386|1|waiting for the package lock|still held"
  "a mirror in the middle of a sync||0|3||0|going on with the package indexes that arrived|waiting"
)
failed=0
for row in "${rows[@]}"; do
  IFS='|' read -r what locks until fails lacks code said unsaid <<<"$row"
  [ "$until" = never ] && until=1000000000
  state="$work/state" && rm -rf "$state" && mkdir -p "$state" && echo 0 >"$state/clock" && : >"$state/updates"
  out=$(state=$state locks=$locks until=$until mirror_fails=$fails lacks=$lacks PATH="$work/bin:$PATH" \
    timeout 60 "$work/root/scripts/setup.sh" 2>&1 </dev/null); rc=$?
  clock=$(cat "$state/clock")
  fail() { echo "FAILED: $what: $*"; sed 's/^/  /' <<<"$out"; failed=1; }
  [ "$((rc == 0))" = "$((code == 0))" ] || { fail "exit $rc, expected $code (after ${clock} s)"; continue; }
  grep -q "^setup: .*$said" <<<"$out" || fail "it does not say '$said'"
  ! grep -q "^setup: .*$unsaid" <<<"$out" || fail "it says '$unsaid'"
  if [ -n "$locks" ]; then
    grep -q "^setup: .*lock.*process 4242" <<<"$out" || fail "it does not say who holds the lock"
    [ "$(grep -c "^setup: .*waiting for the package lock" <<<"$out")" -le 2 ] || fail "it says more than once per step that it waits"
    # Waited: till the lock was free, or some minutes before giving up.
    [ "$clock" -ge 300 ] || [ "$clock" -ge "$until" ] || fail "it gave up after ${clock} s, before the lock was free"
  fi
done
[ "$failed" = 0 ] && echo "setup lock: ${#rows[@]} machines: a held package lock is waited for (said, and who holds it), one that stays held is named as the cause; a mirror mid-sync does not stop the set-up"
exit $failed
