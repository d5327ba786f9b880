# Facts about the machine that decide where Windows programs run.

# True when the kernel runs 32-bit x86 programs itself (not through a registered emulator), and
# nobody asked for the emulated machine (WINDOWS_IN_MACHINE=1).
runs_32bit_natively() {
  case "${WINDOWS_IN_MACHINE:-}" in ""|0) ;; *) return 1 ;; esac
  local handler
  for handler in /proc/sys/fs/binfmt_misc/*i386*; do
    [ -e "$handler" ] && return 1
  done
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 && return 0
  # Before the i386 libraries are installed, ask the kernel about a 32-bit program directly.
  [ -e /lib/ld-linux.so.2 ] && return 1
  grep -q '^CONFIG_IA32_EMULATION=y' "/boot/config-$(uname -r)" 2>/dev/null && return 0
  return 1
}

# The newest installed kernel for the emulated machine.
vm_kernel_version() {
  ls /lib/modules 2>/dev/null | grep -- '-amd64$' | sort -V | tail -n 1
}
