# Sourced by scripts/test.sh, scripts/smoke-i686.sh and bench/run: can this
# machine run the i686 Windows build, and how? And where is Wine's 64-bit
# loader, which runs the x86_64 build everywhere?
#
#   probe_i686 <a tiny i686 Windows program>
#
# sets i686_support to
#   native     the kernel runs 32-bit x86 code itself, and Wine's i386 loader
#              started the program
#   emulated   an i386 emulator is registered with binfmt_misc: 32-bit
#              programs start, but each start of a Wine program takes
#              seconds even with the smoke's guest address space, a minute
#              without it: too slow for the suite's hundreds of starts
#   none       nothing here starts a 32-bit program
# and i686_why to a plain reason.

# Wine's 64-bit loader itself: wine64 where the system puts it on the PATH,
# else where Debian installs it. Debian's `wine` wrapper is never used for
# the x86_64 build: it starts the 32-bit loader whenever wine32 is installed.
wine64_loader() {
  command -v wine64 || echo /usr/lib/wine/wine64
}

# The binfmt_misc entry, if any, that hands i386 ELF programs to an emulator.
i386_emulator_entry() {
  local entry magic
  for entry in /proc/sys/fs/binfmt_misc/*; do
    case ${entry##*/} in status | register) continue ;; esac
    [[ -r $entry ]] || continue
    grep -qx enabled "$entry" || continue
    magic=$(sed -n 's/^magic //p' "$entry")
    # ELF, 32-bit, little-endian, e_machine 3 (i386) in bytes 18 and 19.
    if [[ $magic == 7f454c4601* && ${magic:36:4} == 0300 ]]; then
      echo "${entry##*/}"
      return 0
    fi
  done
  return 1
}

probe_i686() {
  local program=$1 entry log
  if entry=$(i386_emulator_entry); then
    i686_support=emulated
    i686_why="i386 programs are handed to an emulator ($(sed -n 's/^interpreter //p' \
      "/proc/sys/fs/binfmt_misc/$entry"), binfmt_misc entry $entry)"
    return 0
  fi
  if [[ ! -x /usr/lib/wine/wine ]]; then
    i686_support=none
    i686_why="Wine's i386 loader (/usr/lib/wine/wine, package wine32) is not installed"
    return 0
  fi
  if [[ ! -f $program ]]; then
    i686_support=none
    i686_why="the probe program $program is not built"
    return 0
  fi
  log=$(mktemp)
  if timeout 120 /usr/lib/wine/wine "$program" >"$log" 2>&1; then
    i686_support=native
    i686_why="Wine's i386 loader started an i686 program"
  else
    i686_support=none
    i686_why="Wine's i386 loader could not start an i686 program: $(tr '\n' ' ' <"$log" | cut -c1-200)"
  fi
  rm -f "$log"
}

# Does the kernel start an i386 program itself (or through an emulator
# registered before)? Answered before anything is installed, with a 93-byte
# i386 program written here that only calls exit(0): the test run installs
# the emulator for the i686 smoke when the answer is no.
kernel_runs_i386() {
  local program status=0
  program=$(mktemp)
  # ELF header: 32-bit, little-endian, executable, i386, entry 0x08048054,
  # one program header at 52; then that header (one loadable segment of the
  # whole file at 0x08048000, read and execute); then the code at 84:
  # mov eax, 1; xor ebx, ebx; int 0x80.
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000' >"$program"
  printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000' >>"$program"
  printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000' >>"$program"
  printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010' >>"$program"
  printf '\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000' >>"$program"
  printf '\270\001\000\000\000\061\333\315\200' >>"$program"
  chmod +x "$program"
  "$program" 2>/dev/null || status=$?
  rm -f "$program"
  return "$status"
}

# Boots a Wine prefix with the 64-bit loader, at native speed. Such a prefix
# runs both kinds of program; where this machine starts 32-bit programs,
# Wine itself fills its 32-bit system folder (syswow64) while it boots.
boot_wine_prefix() {
  local prefix=$1 wine64
  wine64=$(wine64_loader)
  mkdir -p "$prefix"
  # The boot's registry is on disk only once its server has ended (-w): a
  # phase that looks at the prefix's files must find it booted. Then one
  # persistent server, and Wine's services started here by a second, quick
  # wineboot, keep the session up for the phases that share the prefix: a
  # service started by a test run would hold that run's output open.
  WINEPREFIX=$prefix "$wine64" wineboot && WINEPREFIX=$prefix wineserver -w &&
    WINEPREFIX=$prefix wineserver -p && WINEPREFIX=$prefix "$wine64" wineboot
}

# Where this machine starts no 32-bit program, the 32-bit half of the boot
# (Wine's 32-bit rundll32 filling syswow64) could not run, and a 32-bit
# program finds no kernel32.dll there. This fills the folder as Wine's boot
# does, with copies of Wine's own i386 DLLs and programs and the code page
# tables, at native speed, instead of booting the prefix under emulation.
# Says on standard output whether it had to.
complete_syswow64() {
  local prefix=$1 syswow64 builtins
  syswow64=$prefix/drive_c/windows/syswow64
  [[ -f $syswow64/kernel32.dll ]] && return 0
  for builtins in /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/wine/i386-windows; do
    [[ -f $builtins/kernel32.dll ]] && break
  done
  [[ -f $builtins/kernel32.dll ]] || { echo "no i386 Wine DLLs found (package wine32)" >&2; return 1; }
  mkdir -p "$syswow64"
  find "$builtins" -maxdepth 1 -type f ! -name '*16' -exec cp -t "$syswow64" {} + &&
    cp "$prefix"/drive_c/windows/system32/*.nls "$syswow64"/ &&
    echo "syswow64 of $prefix filled from $builtins (the 32-bit half of the boot could not run here)"
}
