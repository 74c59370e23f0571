#!/usr/bin/env bash
# Runs a Windows executable under the project's Wine environment (ctest uses it for every test).
# Expects the prefix to be prepared; test.sh does that and keeps a wineserver running.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
trap - EXIT
[ -n "${DISPLAY:-}" ] || { echo "wine-exec: no DISPLAY (run through scripts/test.sh)" >&2; exit 2; }
exec env LC_ALL="$tv_wine_locale" wine "$@"
