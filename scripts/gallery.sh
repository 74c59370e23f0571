#!/usr/bin/env bash
# Renders the gallery: the skin engine's windows under the program's own skin (a form of every
# kind of control, a message box, a system dialog, a popup menu and the skinned system menu, an MDI
# form with a maximised child, a form and a dialog with extended borders).
#   scripts/gallery.sh [--out FOLDER]
# The pictures are saved as PNG files in docs/gallery/ (or the folder given with --out). Builds
# first; runs under Wine on a virtual display.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/args.sh"
out="$root/docs/gallery"
while [ $# -gt 0 ]; do
  case "$1" in
    --out) tv_need_value "$@"; tv_folder_to_fill "$@"; out=$(realpath -m "$2"); shift 2 ;;
    -h|--help) tv_usage; exit 0 ;;
    *) tv_bad_usage "unknown argument $1" ;;
  esac
done
"$root/scripts/build.sh" --program gallery
source "$root/scripts/wine-env.sh"
tv_wine_unattended
work=$(mktemp -d)
trap 'rm -rf "$work"; tv_cleanup' EXIT
# The system's own texts (message-box buttons, the system menu) in English: the gallery does not
# depend on the ANSI code page that the program's tests pin.
env LC_ALL=C.UTF-8 wine "$root/build/win32/tools/gallery.exe" "$(winepath -w "$work")"
mkdir -p "$out"
for bmp in "$work"/*.bmp; do
  name=$(basename "$bmp" .bmp)
  # Stripped of dates and other chunks that change from run to run.
  convert "$bmp" -strip "$out/$name.png"
done
echo "gallery saved to $out"
