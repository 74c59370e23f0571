#!/usr/bin/env bash
# Installs what the build needs, from Debian packages only, and builds libjpeg-turbo and
# libdeflate for the 32-bit Windows target from Debian's source packages. With --program only what
# building and running the program needs; otherwise also the native build's compilers and
# libraries (tests, sanitizers, fuzzing, benchmarks).
# Idempotent: when everything is present it checks and returns in well under a second.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
deps="$root/.deps"
source "$here/args.sh"

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

# Another package manager at work holds the package lock: the unattended upgrades after a boot, or
# another of our scripts installing. The install waits for it up to lock_wait seconds through apt's
# own lock timeout; the index update, whose lock apt does not wait for, is tried again every 5 s
# for as long. Either says once that it waits and for whom; a lock still held then stops the
# set-up, named as the cause.
lock_wait=600
apt_get() { as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout="$lock_wait" "$@"; }
# apt's words for a lock that another process holds, from the text on standard input (the first
# such line), or nothing.
lock_in() {
  sed -n -E 's/^(E: |Waiting for cache lock: )?((Could not get lock|Unable to lock directory|Unable to acquire the dpkg frontend lock|Unable to lock the administration directory) .*[^.])\.*$/\2/p' | head -n 1
}
say_waiting() { echo "setup: waiting for the package lock, up to $((lock_wait / 60)) minutes: another package manager holds it ($1)" >&2; }
lock_held() {
  echo "setup: the package lock is still held after $((lock_wait / 60)) minutes of waiting: another package manager is at work ($1); run the set-up again once it has finished" >&2
  exit 1
}

# A mirror in the middle of a sync answers with index files of the wrong size; apt-get update then
# fails although nothing is wrong with the machine. Try again a few times, then go on with the
# indexes that did arrive: a package that is truly missing still stops the install with its name.
apt_update() {
  local try=1 waited=0 out held
  while true; do
    out=$(apt_get update -qq 2>&1) && { [ -z "$out" ] || echo "$out" >&2; return 0; }
    held=$(lock_in <<<"$out")
    if [ -n "$held" ]; then
      [ "$waited" -lt "$lock_wait" ] || lock_held "$held"
      [ "$waited" != 0 ] || say_waiting "$held"
      sleep 5
      waited=$((waited + 5))
      continue
    fi
    echo "$out" >&2
    echo "setup: apt-get update failed (attempt $try of 3)" >&2
    [ "$try" != 3 ] || break
    try=$((try + 1))
    sleep 15
  done
  echo "setup: going on with the package indexes that arrived" >&2
}

# apt-get install with the arguments given; of its output only its errors are shown, and while it
# waits for the package lock, that it waits.
apt_install() {
  local err status=0 held waited
  err=$(mktemp)
  # The first of apt's lines that it waits for a lock is said, and its holder passed out.
  waited=$(apt_get install -y -q --no-install-recommends "$@" 2>"$err" | {
    said=""
    while IFS= read -r line; do
      [ -z "$said" ] && [[ "$line" == *lock* ]] || continue
      said=$(lock_in <<<"$line")
      [ -z "$said" ] || { say_waiting "$said"; echo "$said"; }
    done
  }) || status=$?
  cat "$err" >&2
  held=$(lock_in <"$err")
  rm -f "$err"
  # Failed on the lock: apt's last words name it, and its wait who held it.
  [ "$status" = 0 ] || [ -z "$held" ] || lock_held "${waited:-$held}"
  return "$status"
}

program_only=0
for a in "$@"; do
  case "$a" in
    --program) program_only=1 ;;
    -h|--help) tv_usage; exit 0 ;;
    *) tv_bad_usage "unknown argument $a" ;;
  esac
done

# Debian packages. The i386 architecture is needed for wine32. googletest is the source package
# the target's tests build from; the build files name it, so the program's build needs it too.
packages=(
  cmake ninja-build make pkg-config dpkg-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-tools
  libz-mingw-w64-dev googletest
  wine wine32:i386 fonts-wine
  xvfb xauth x11-utils imagemagick
)
if [ "$program_only" = 0 ]; then
  packages+=(clang g++ libgtest-dev libpng-dev zlib1g-dev libjpeg62-turbo-dev libdeflate-dev)
fi

missing=()
installed=$(dpkg-query -W -f '${Package}:${Architecture} ${db:Status-Abbrev}\n' 2>/dev/null || true)
for p in "${packages[@]}"; do
  name=${p%%:*}; arch=${p#*:}; [ "$arch" = "$p" ] && arch=""
  if ! awk -v n="$name" -v a="$arch" '{ split($1, f, ":") }
       f[1] == n && (a == "" || f[2] == a) && $2 == "ii" { ok = 1 } END { exit !ok }' <<<"$installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  apt_update
  if ! apt_install "${missing[@]}"; then
    # With one architecture's update index missing, the two architectures' versions of a shared
    # library no longer agree. The release's own suite has both: prefer it and try once more.
    codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
    [ -n "$codename" ] || exit 1
    echo "setup: trying again with the packages of $codename itself" >&2
    apt_install -t "$codename" "${missing[@]}"
  fi
fi

# The target's libraries, each built once from its Debian source package and cached in .deps.
target_prefix="$deps/i686-w64-mingw32"

# Adds deb-src entries for the configured Debian sources (once), so that apt-get source works.
enable_sources() {
  grep -rqsE '^(deb-src |Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/ && return 0
  echo "setup: enabling Debian source package index"
  local tmp f
  tmp=$(mktemp)
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && sed -e 's/^Types: deb$/Types: deb-src/' "$f" >>"$tmp" && echo >>"$tmp"
  done
  if [ -s "$tmp" ]; then
    as_root cp "$tmp" /etc/apt/sources.list.d/project-deb-src.sources
  else
    grep -hE '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null \
      | sed 's/^deb /deb-src /' >"$tmp" || true
    as_root cp "$tmp" /etc/apt/sources.list.d/project-deb-src.list
  fi
  rm -f "$tmp"
  as_root chmod 644 /etc/apt/sources.list.d/project-deb-src.*
  apt_update
}

# Unpacks Debian's source package $1 into a fresh $deps/src/$1 and prints the source folder.
fetch_source() {
  local src="$deps/src/$1" dir
  rm -rf "$src" && mkdir -p "$src"
  (cd "$src" && apt-get source -qq "$1" >/dev/null 2>&1)
  dir=$(find "$src" -maxdepth 1 -type d -name "$1-*" | head -n 1)
  [ -n "$dir" ] || { echo "setup: could not fetch the $1 source package" >&2; exit 1; }
  echo "$dir"
}

# libjpeg-turbo: JPEG skin pictures.
if [ ! -f "$target_prefix/lib/libjpeg.a" ]; then
  enable_sources
  echo "setup: building libjpeg-turbo for i686-w64-mingw32 (once)"
  jdir=$(fetch_source libjpeg-turbo)
  src=$(dirname "$jdir")
  cmake -S "$jdir" -B "$src/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-w64-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$target_prefix" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF \
    -DWITH_JPEG8=OFF -DCMAKE_POSITION_INDEPENDENT_CODE=OFF >"$src/configure.log" 2>&1 \
    || { tail -n 30 "$src/configure.log" >&2; exit 1; }
  cmake --build "$src/build" -j "$tv_jobs" --target install >"$src/build.log" 2>&1 \
    || { tail -n 30 "$src/build.log" >&2; exit 1; }
  rm -rf "$deps/src"
fi

# libdeflate: whole-buffer inflating of PNG image data and packed skin files. Only its
# decompression half is built; the static library and its header go in place last, so that an
# interrupted build is redone.
if [ ! -f "$target_prefix/lib/libdeflate.a" ]; then
  enable_sources
  echo "setup: building libdeflate for i686-w64-mingw32 (once)"
  ddir=$(fetch_source libdeflate)
  make -C "$ddir" -j "$tv_jobs" CC=i686-w64-mingw32-gcc-posix AR=i686-w64-mingw32-ar \
    DECOMPRESSION_ONLY=1 DISABLE_GZIP=1 libdeflatestatic.lib >"$ddir/../build.log" 2>&1 \
    || { tail -n 30 "$ddir/../build.log" >&2; exit 1; }
  mkdir -p "$target_prefix/include" "$target_prefix/lib"
  cp "$ddir/libdeflate.h" "$target_prefix/include/libdeflate.h"
  cp "$ddir/libdeflatestatic.lib" "$target_prefix/lib/libdeflate.a.tmp"
  mv "$target_prefix/lib/libdeflate.a.tmp" "$target_prefix/lib/libdeflate.a"
  rm -rf "$deps/src"
fi
