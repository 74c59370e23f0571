#!/usr/bin/env bash
# A virtual display is the script's own only when its lock names the server the script started:
# when two runs start at the same moment, the one whose server lost the number must not take the
# other's display (the winner's end would close it under the loser). Xvfb and xdpyinfo stand in:
# a server that stays up but never holds the lock, and a display that always answers.
#   virtual_display_check.sh
set -u
source "$(dirname "${BASH_SOURCE[0]}")/check_env.sh"
standin Xvfb 'exec sleep 5'
standin xdpyinfo 'exit 0'
out=$(PATH="$work/bin:$PATH" DISPLAY= TV_VIRTUAL_DISPLAY= bash -c \
  'source "$1/scripts/wine-env.sh"; trap - EXIT; tv_display xvfb && echo "took $DISPLAY"' _ "$root" 2>&1)
if [[ "$out" == *"took "* ]]; then
  echo "FAILED: a display whose lock names another server was taken ($out)"
  exit 1
fi
echo "passed: no display is taken whose lock names another server"
