# Sourced by the other scripts: the project's own Wine environment.
# Exports WINEPREFIX and friends and offers:
#   tv_wine_prefix     create and pin the prefix (once; a stamp marks the pinned settings)
#   tv_display         use $DISPLAY when there is one, otherwise start Xvfb (or always with "xvfb":
#                      then a virtual display that an enclosing script of ours started is kept)
#   tv_wineserver      keep one persistent wineserver for the length of the calling script
#   tv_wine_unattended the three for a run that nobody watches: a virtual display, the prefix and
#                      the wineserver
# Cleanup of what was started runs from an EXIT trap.

tv_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="$tv_root/.deps/wine"
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers, no desktop menu entries.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe="
# Wine takes the ANSI code page from the locale: 1251, as the channel lists are byte text in that
# code page. Only Wine's processes get it (the host need not have the locale installed).
tv_wine_locale=ru_RU.UTF-8
tv_wine() { env LC_ALL="$tv_wine_locale" wine "$@"; }

tv_cleanup_pids=()
tv_cleanup() {
  if [ -n "${tv_started_wineserver:-}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  for p in "${tv_cleanup_pids[@]}"; do kill "$p" >/dev/null 2>&1 || true; done
}
trap tv_cleanup EXIT

# Bump when the pinned settings change; the prefix is then re-pinned.
tv_prefix_version=5

tv_wine_prefix() {
  local stamp="$WINEPREFIX/.tv-pinned"
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$tv_prefix_version" ]; then return 0; fi
  mkdir -p "$WINEPREFIX"
  echo "wine: preparing the project prefix in $WINEPREFIX"
  env LC_ALL="$tv_wine_locale" wineboot -i >/dev/null 2>&1 || true
  local reg="$WINEPREFIX/tv-pinned.reg"
  cat >"$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine]
"Version"="win7"

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1280x800"

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\ThemeManager]
"ThemeActive"="0"

[HKEY_CURRENT_USER\Control Panel\Desktop]
"FontSmoothing"="0"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000
REG
  tv_wine regedit /S "$reg" >/dev/null 2>&1
  # Debian's Wine does not load its own fonts (Marlett draws the caption glyphs, Tahoma and the
  # raster MS Sans Serif the dialogs and forms); put them where every Windows program looks.
  cp -f /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  wineserver -w
  echo "$tv_prefix_version" >"$stamp"
}

tv_display() {
  local mode=${1:-auto}
  if [ "$mode" != xvfb ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  # A script of ours run by another (run.sh by a test that ctest runs) shares its wineserver, whose
  # windows live on the display it started with: that display, virtual already, is kept.
  if [ -n "${TV_VIRTUAL_DISPLAY:-}" ] && [ "${DISPLAY:-}" = "$TV_VIRTUAL_DISPLAY" ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  # Another session may take the same display number at the same moment: an Xvfb of ours that
  # dies at once lost that race, and the next free number is tried.
  local n pid i
  for n in $(seq 91 140); do
    if [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; then continue; fi
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    pid=$!
    for i in $(seq 1 100); do
      kill -0 "$pid" 2>/dev/null || break
      # The display answers, but it is ours only when the lock names our server: another run that
      # started at the same moment may hold the number, and its end would close the display.
      if DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
        [ "$(tr -d ' ' <"/tmp/.X$n-lock" 2>/dev/null)" = "$pid" ] || break
        tv_cleanup_pids+=("$pid")
        export DISPLAY=":$n" TV_VIRTUAL_DISPLAY=":$n"
        return 0
      fi
      sleep 0.05
    done
    kill "$pid" 2>/dev/null || true
  done
  echo "could not start Xvfb" >&2
  return 1
}

tv_wineserver() {
  wineserver -p >/dev/null 2>&1 && tv_started_wineserver=1
  # Wine's own services start with the first program; start them now so tests start fast.
  tv_wine cmd /c exit >/dev/null 2>&1 || true
}

tv_wine_unattended() {
  tv_display xvfb
  tv_wine_prefix
  tv_wineserver
}
