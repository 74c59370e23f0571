# Sourced by the shell checks: the source tree ($root), a work folder of their own that goes when
# the check ends ($work), and stand-ins for programs in $work/bin, which a check puts first in PATH.
#   standin NAME CODE    the program NAME runs the bash code CODE
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
standin() { printf '#!/usr/bin/env bash\n%s\n' "$2" >"$work/bin/$1"; chmod +x "$work/bin/$1"; }
