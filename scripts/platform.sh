# Facts about the machine that decide where Windows programs run.

# True when the kernel runs 32-bit x86 programs itself (not through a registered emulator), and
# nobody asked for the emulated machine (WINDOWS_IN_MACHINE=1).
runs_32bit_natively() {
  case "${WINDOWS_IN_MACHINE:-}" in ""|0) ;; *) return 1 ;; esac
  local handler
  for handler in /proc/sys/fs/binfmt_misc/*i386*; do
    [ -e "$handler" ] && return 1
  done
  kernel_runs_i386_program
}

# Asks the kernel itself: a static i386 program of a few dozen bytes that only exits 0. A kernel
# built without 32-bit support, or with it switched off at boot, refuses to start it.
kernel_runs_i386_program() {
  local probe rc=1
  probe=$(mktemp "${TMPDIR:-/tmp}/i386-probe.XXXXXX") || return 1
  {
    # ELF header: 32-bit, little-endian, executable for the 386, entry 0x08048054, one segment.
    printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000'
    printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000'
    printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000'
    # The one loadable segment: the whole file, read and execute, at 0x08048000.
    printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010'
    printf '\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000'
    # mov eax, 1 (exit); xor ebx, ebx; int 0x80
    printf '\270\001\000\000\000\061\333\315\200'
  } > "$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null && rc=0
  rm -f "$probe"
  return "$rc"
}

# The newest installed kernel for the emulated machine.
vm_kernel_version() {
  ls /lib/modules 2>/dev/null | grep -- '-amd64$' | sort -V | tail -n 1
}
