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
#              programs start, but each start takes a minute or more
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
