#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine. Safe to run again.
set -euo pipefail

packages=(
  wine wine32:i386 g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
  cmake ninja-build xvfb xdotool x11-utils xauth fonts-wqy-microhei openjdk-17-jdk-headless
  googletest imagemagick
)

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: run as root to install: $*" >&2
    exit 1
  fi
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_root "the i386 architecture"
  dpkg --add-architecture i386
  apt-get update -q
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  case "$status" in *"install ok installed"*) ;; *) missing+=("$p") ;; esac
done

if [ "${#missing[@]}" -gt 0 ]; then
  need_root "${missing[*]}"
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Some virtual machines run no 32-bit x86 code natively; the i386 Wine then runs under
# user-mode emulation, registered with the kernel for every 32-bit x86 program.
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  need_root "a handler for 32-bit programs"
  # The backported emulator handles Wine's threads and signals far better than the release's.
  if ! dpkg-query -W -f='${Version}' qemu-user-static 2>/dev/null | grep -q bpo; then
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    echo "deb http://deb.debian.org/debian $codename-backports main" > /etc/apt/sources.list.d/backports.list
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends -t "$codename-backports" qemu-user-static
  fi
  if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  fi
  if [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:FP' \
      > /proc/sys/fs/binfmt_misc/register
  fi
  if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    echo "setup: 32-bit programs still cannot run on this machine" >&2
    exit 1
  fi
fi
