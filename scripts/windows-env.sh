#!/usr/bin/env bash
# Runs a command where Windows programs can run: here, under Wine, with the project's prefix
# and a wineserver of its own; or, on a machine whose processor runs no 32-bit code, the
# same inside a small emulated x86 machine that mounts this machine's files at the same paths.
#   BUILD_DIR=... bash scripts/windows-env.sh [--bare] COMMAND [ARGS...]
# --bare runs the command there without setting Wine up first.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
source "$here/platform.sh"
source "$here/desktop.sh"
build=${BUILD_DIR:-$root/build}
export BUILD_DIR=$build
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
export LANG=${LANG:-C.UTF-8}

bare=
xvfb=
if [ "${1:-}" = "--bare" ]; then
  bare=1
  shift
fi

run_here() {
  if [ -n "$bare" ]; then
    "$@"
    return
  fi
  "$here/wine-prefix.sh" "$WINEPREFIX"
  # Real windows need a display, and every Wine process of the session draws on the one the
  # desktop process found when it started: so the display comes before any Wine process.
  if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
    start_display
  fi
  trap 'wineserver -k >/dev/null 2>&1 || true; [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true' EXIT
  # Started here, so that no reader of a test's output waits for Wine's own processes.
  start_wine_session
  "$@"
}

# Starts a virtual display of its own (Xvfb picks a free number) and exports it; sets xvfb.
start_display() {
  local number
  number=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number" </dev/null >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 1 200); do
    [ -s "$number" ] && break
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.1
  done
  if [ -s "$number" ]; then
    export DISPLAY=:$(tr -dc 0-9 <"$number")
  else
    echo "windows-env: Xvfb did not start; windows cannot be created" >&2
    kill "$xvfb" 2>/dev/null || true
    xvfb=
  fi
  rm -f "$number"
}

run_in_machine() {
  local kernel vm job log rc
  kernel=$(vm_kernel_version)
  [ -n "$kernel" ] || { echo "windows-env: no kernel for the emulated machine; run scripts/setup.sh" >&2; exit 1; }
  vm=$build/vm
  mkdir -p "$vm"
  if [ ! -f "$vm/initramfs.gz" ] || [ "$here/vm/init.sh" -nt "$vm/initramfs.gz" ] ||
     [ "$here/vm/make-initramfs.sh" -nt "$vm/initramfs.gz" ]; then
    "$here/vm/make-initramfs.sh" "$kernel" "$vm/initramfs.gz"
  fi
  job=$(mktemp "$vm/job.XXXXXX")
  log=$job.log
  rm -f "$job.rc"
  : > "$log"
  {
    echo "exec >>'$log' 2>&1"
    echo "export PATH='$PATH' HOME='${HOME:-/root}' LANG='$LANG' BUILD_DIR='$build' WINEPREFIX='$WINEPREFIX'"
    echo "export TMPDIR=/run/tmp"
    for name in CI TEST_JOBS WINEDEBUG WINE_PREFIX_TEMPLATE DISPLAY UPDATE_SCREENSHOTS; do
      [ -n "${!name:-}" ] && printf 'export %s=%q\n' "$name" "${!name}"
    done
    printf 'cd %q\n' "$PWD"
    printf 'WINDOWS_ENV_INSIDE=1 bash %q %s' "$here/windows-env.sh" "${bare:+--bare}"
    printf ' %q' "$@"
    echo
  } > "$job"
  local cpus memory
  cpus=$(nproc)
  memory=${VM_MEMORY:-6G}
  # SMAP is off: the emulator's return to 32-bit code trips it.
  qemu-system-x86_64 -accel tcg,thread=multi -cpu max,-smap,-smep -smp "$cpus" -m "$memory" \
    -nographic -no-reboot -nic none \
    -kernel "/boot/vmlinuz-$kernel" -initrd "$vm/initramfs.gz" \
    -append "console=ttyS0 quiet loglevel=1 vmjob=$job" \
    -virtfs local,path=/,mount_tag=hostroot,security_model=passthrough,multidevs=remap \
    </dev/null >"$job.console" 2>&1 &
  local machine=$!
  tail -n +1 --pid="$machine" -f "$log"
  wait "$machine" || true
  rc=$(cat "$job.rc" 2>/dev/null || echo 125)
  if [ "$rc" = 125 ]; then
    echo "windows-env: the emulated machine stopped without a result:" >&2
    tail -n 20 "$job.console" >&2
  fi
  rm -f "$job" "$job.rc" "$log" "$job.console"
  return "$rc"
}

if [ -n "${WINDOWS_ENV_INSIDE:-}" ] || runs_32bit_natively; then
  run_here "$@"
else
  run_in_machine "$@"
fi
