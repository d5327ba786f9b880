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

# Extra options for every apt-get call (another lists folder or sources list, say).
read -r -a apt_options <<< "${SETUP_APT_OPTIONS:-}"

# A mirror in the middle of a sync fails an index now and then: try again, then go on with the
# indexes that did come. Done once a run.
updated=
apt_update() {
  [ -z "$updated" ] || return 0
  updated=1
  local try
  for try in 1 2 3 4; do
    as_root apt-get "${apt_options[@]}" update -q && return 0
    echo "setup: package index update failed (try $try of 4)" >&2
    [ "$try" = 4 ] || sleep $((try * 10))
  done
  echo "setup: going on with the package indexes at hand" >&2
}

# Installs the packages named; when an index that did not come leaves them unresolvable, tries
# again with the distribution's main suite as the target release, whose index is whole.
install_packages() {
  local log suite
  log=$(mktemp)
  if as_root env DEBIAN_FRONTEND=noninteractive apt-get "${apt_options[@]}" install -y -q \
       --no-install-recommends "$@" 2>&1 | tee "$log"; [ "${PIPESTATUS[0]}" = 0 ]; then
    rm -f "$log"
    return 0
  fi
  suite=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
  if [ -n "$suite" ]; then
    echo "setup: trying the install again from the main suite $suite" >&2
    if as_root env DEBIAN_FRONTEND=noninteractive apt-get "${apt_options[@]}" install -y -q \
         --no-install-recommends -t "$suite" "$@" 2>&1 | tee "$log"; [ "${PIPESTATUS[0]}" = 0 ]; then
      rm -f "$log"
      return 0
    fi
  fi
  # The first unmet dependency names the package at fault; apt's error says what it gave up on.
  local reason unmet
  reason=$(grep -m 1 -E '^E: ' "$log" | sed 's/^E: //')
  unmet=$(sed -n '/unmet dependencies:$/{n;s/^ *//;p;q;}' "$log")
  [ -z "$unmet" ] || reason="$unmet; $reason"
  echo "setup: could not install $*: ${reason:-apt-get failed without saying why}" >&2
  rm -f "$log"
  return 1
}

# The steps above are functions that tests of the set-up call on their own.
[ "${BASH_SOURCE[0]}" = "$0" ] || return 0

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
  install_packages "${missing[@]}" || exit 1
fi

# Wine takes its locale from LANG, and only a locale the C library knows: the control library's
# tests also run under a Chinese one.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  as_root localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
