#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine. Safe to run again.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/platform.sh"

packages=(
  wine wine32:i386 g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
  cmake ninja-build xvfb xdotool x11-utils xauth fonts-wine fonts-wqy-microhei openjdk-17-jdk-headless
  googletest rapidjson-dev imagemagick cpio python3
)
# Where the processor runs no 32-bit code, Windows programs run in a small emulated machine
# that shares this machine's files.
if ! runs_32bit_natively; then
  packages+=(qemu-system-x86 linux-image-amd64 busybox-static)
fi
# The C library's locale sources, for the Chinese locale made below.
packages+=(locales)

# Installs need root: run as it, or through sudo where a user runs the scripts.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null; then
    sudo DEBIAN_FRONTEND=noninteractive "$@"
  else
    echo "setup: run as root (or install sudo) to install what is missing: $*" >&2
    exit 1
  fi
}

# A mirror in the middle of a sync fails an index now and then: try again, then go on with the
# indexes that did come, and let the install say what it cannot find.
apt_update() {
  local try
  for try in 1 2 3 4; do
    as_root apt-get update -q && return 0
    echo "setup: package index update failed (try $try of 4)" >&2
    sleep $((try * 10))
  done
  echo "setup: going on with the package indexes at hand" >&2
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
  apt_update
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  case "$status" in *"install ok installed"*) ;; *) missing+=("$p") ;; esac
done

if [ "${#missing[@]}" -gt 0 ]; then
  apt_update
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine takes its locale from LANG, and only a locale the C library knows: the control library's
# tests also run under a Chinese one.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  as_root localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
