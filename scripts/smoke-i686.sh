#!/usr/bin/env bash
# A short run of the shipped i686 rud.exe where this machine starts 32-bit
# programs only under emulation (qemu-i386 through binfmt_misc): four runs,
# each compared byte for byte with the same run of the x86_64 build, whose
# whole suite has passed, the records they write to the event log too (Wine's
# eventlog channel), and the key lines also with their code page 1252 bytes
# written out here. (Its message table is read as data by the x86_64 unit
# tests, which need no emulation for that: RUD_I686_EXE in scripts/test.sh.)
#
#   bash scripts/smoke-i686.sh [<win32 build folder>]
#
# The runs are made in one Wine prefix booted by Wine's 64-bit loader at
# native speed (RUD_I686_PREFIX names one already booted; by default it is
# booted in build/smoke-i686). Such a prefix runs both builds: its services
# are 64-bit programs and run natively, and only rud.exe itself runs under
# the emulator, in one Wine session (one wineserver kept up for the four
# runs). Where this machine starts no 32-bit program, Wine could not fill
# the prefix's 32-bit system folder while booting, and it is filled here with
# copies of Wine's own i386 DLLs (complete_syswow64 in probe-i686.sh).
#
# Needs root and binfmt_misc. The emulator is registered for the smoke alone:
# in a binfmt_misc instance of the smoke's own user namespace where the kernel
# has them (Linux 6.7 and later), so nothing else on the machine sees it;
# elsewhere system-wide, and unregistered afterwards, also when the smoke
# fails. An i386 entry that was registered before is left alone and used.
# A smoke killed outright (SIGKILL) runs no clean-up: where it registered
# system-wide, its entry stays until removed by hand
# (echo -1 >/proc/sys/fs/binfmt_misc/rud-qemu-i386), and the next smoke
# takes it for one registered before.
# Exit codes: 0 passed, 1 failed, 77 could not run here (the reason is in
# build/smoke-i686/why).
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
binfmt=/proc/sys/fs/binfmt_misc
entry_name=rud-qemu-i386
work=$root/build/smoke-i686
exec </dev/null

say() { echo "smoke-i686: $*" >&2; }
fail() {
  say "FAILED: $*"
  exit 1
}
source scripts/probe-i686.sh

# Wine's i386 loader under qemu needs the guest's address space reserved up
# front: otherwise the shared user data page can't be mapped at its fixed
# address. Its size decides each run's cost: Wine then reserves whatever
# lies above 2 GB, and qemu 7.2, which places no mapping where it is asked
# to, makes it halve and retry each piece, tens of thousands of mmap calls:
# 50 s a run with 0xf7000000, 2.5 s with 16 MB above the line, the room
# qemu needs there for its own placements (at 0x80100000 the shared page
# can't be mapped). rud.exe is not large-address-aware: on Windows too it
# sees 2 GB. The variable reaches every emulated child process.
export QEMU_RESERVED_VA=0x81000000
export WINEDEBUG=-all WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d"
export LANG=es_ES.UTF-8 TZ=UTC
unset LC_ALL LC_CTYPE LC_TIME LC_MESSAGES
i686_prefix=${RUD_I686_PREFIX:-$work/wineprefix}
# update-again runs in the world the update left: the copy carries the
# server's time, so it finds nothing to do.
cases=(update update-again copy-failure no-resource)

# Drive C: of a prefix as a case needs it.
prepare_world() {
  local drive_c=$1/drive_c case=$2
  [[ $case == update-again ]] || rm -rf "$drive_c/ZARVEK"
  case $case in
    update)
      "$root/build/native/tests/rud_make_demo" "$drive_c/ZARVEK/Garh/NM/bin/XNMPAYRO.exe" 12.6.0.3 >/dev/null
      touch -d '2026-12-01 09:15:00' "$drive_c/ZARVEK/Garh/NM/bin/XNMPAYRO.exe"
      ;;
    copy-failure) : >"$drive_c/ZARVEK" ;;  # a file where the install root's folder goes
    no-resource) ;;
  esac
}
case_code() {
  case $1 in
    update | update-again | copy-failure) echo XNMPAYRO ;;
    no-resource) echo XSVSINVR ;;
  esac
}
# run_case <loader> <prefix> <rud.exe> <case> <output stem>
run_case() {
  local loader=$1 prefix=$2 exe=$3 case=$4 stem=$5 status=0 started=$SECONDS
  prepare_world "$prefix" "$case"
  WINEPREFIX=$prefix WINEDEBUG=-all,trace+eventlog,warn+eventlog,err+eventlog timeout 900 \
    "$loader" "$exe" "$(cat "$work/server_arg")" "$(case_code "$case")" \
    >"$stem.out" 2>"$stem.err" </dev/null || status=$?
  echo "$status" >"$stem.status"
  echo $((SECONDS - started)) >"$stem.seconds"
  # The event lines without the thread that wrote them; Wine's own event log
  # service says that it starts in whichever run starts it.
  grep -v -e '^wine: ' -e ':eventlog:ServiceMain ' "$stem.err" |
    sed -E 's/^[0-9a-f]+:((trace|warn|err):eventlog:)/\1/' >"$stem.stderr" || true
  [[ $case == update ]] || rm -rf "$prefix/drive_c/ZARVEK"
}

# The emulated half: register the emulator unless one is there, and make the
# runs in the prefix, in one session.
emulated_runs() {
  local win32=$1 status=0
  if ! i386_emulator_entry >/dev/null; then
    # The i386 ELF magic and mask of qemu's own registration; F opens the
    # emulator now, so it is found from any mount namespace.
    local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    printf ':%s:M::%s:%s:%s:F' "$entry_name" "$magic" "$mask" /usr/bin/qemu-i386-static \
      >"$binfmt/register" 2>"$work/register.log" || return 77
    echo "$entry_name" >"$work/registered"
  fi
  say "i386 programs run under $(sed -n 's/^interpreter //p' "$binfmt/$(i386_emulator_entry)")"
  # One Wine session for the four runs: the prefix's (64-bit, native)
  # wineserver and services stay up between them.
  WINEPREFIX=$i686_prefix wineserver -p || return 1
  for case in "${cases[@]}"; do
    run_case /usr/lib/wine/wine "$i686_prefix" "$win32/rud.exe" "$case" "$work/$case.i686"
    say "$case: i686 run took $(cat "$work/$case.i686.seconds") s"
  done
  WINEPREFIX=$i686_prefix wineserver -k 2>/dev/null || true
  return 0
}

# Inside the smoke's own user and mount namespace: a private binfmt_misc.
if [[ ${1:-} == --inside ]]; then
  mount -t binfmt_misc binfmt_misc "$binfmt" 2>"$work/mount.log" || exit 76
  emulated_runs "$2"
  exit $?
fi

win32=${1:-$root/build/win32}
win64=$root/build/win64
cannot_run() {
  echo "$*" >"$work/why"
  say "skipped, $*"
  exit 77
}
rm -rf "$work"
mkdir -p "$work"
[[ $i686_prefix == "$work"/* ]] || mkdir -p "$i686_prefix"
for needed in "$win32/rud.exe" "$win32/tests/do_nothing.exe" "$win64/rud.exe" \
  "$root/build/native/tests/rud_make_demo"; do
  [[ -f $needed ]] || fail "$needed is not built"
done
[[ $(id -u) == 0 ]] || cannot_run "registering an emulator needs root"
[[ -x /usr/lib/wine/wine ]] || cannot_run "Wine's i386 loader (package wine32) is not installed"

if [[ ! -x /usr/bin/qemu-i386-static ]]; then
  say "installing qemu-user-static for the smoke run"
  { apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q qemu-user-static; } \
    >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "installing qemu-user-static"; }
fi

# The world: one server share for both builds.
server=$work/servidor
echo "Z:${server//\//\\}" >"$work/server_arg"
"$root/build/native/tests/rud_make_demo" "$server/Garh/NM/bin/XNMPAYRO.exe" 12.6.0.4 >/dev/null ||
  fail "writing the server copy"
touch -d '2026-12-07 14:05:09' "$server/Garh/NM/bin/XNMPAYRO.exe"
mkdir -p "$server/Garh/SV/bin"
cp "$win32/tests/do_nothing.exe" "$server/Garh/SV/bin/XSVSINVR.exe"
touch -d '2026-12-07 14:05:09' "$server/Garh/SV/bin/XSVSINVR.exe"

# The prefix, booted natively unless the caller did, and its 32-bit system
# folder where Wine could not fill it.
export WINEPREFIX=$i686_prefix
if [[ ! -f $i686_prefix/system.reg ]]; then
  say "booting the Wine prefix $i686_prefix (natively)"
  boot_wine_prefix "$i686_prefix" >"$work/wineboot.log" 2>&1 ||
    { cat "$work/wineboot.log" >&2; fail "booting the Wine prefix"; }
fi
filled=$(complete_syswow64 "$i686_prefix") || fail "filling the prefix's 32-bit system folder"
[[ -z $filled ]] || say "$filled"

# The x86_64 runs, in the same prefix, natively; then its wineserver ends,
# and the emulated runs start their own session.
wine64=$(wine64_loader)
for case in "${cases[@]}"; do
  run_case "$wine64" "$i686_prefix" "$win64/rud.exe" "$case" "$work/$case.x86_64"
done
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true

started=$SECONDS
status=0
if unshare -U -r -m --propagation private true 2>/dev/null; then
  unshare -U -r -m --propagation private bash "$0" --inside "$win32" || status=$?
else
  status=76
fi
if ((status == 76)); then
  # No private binfmt_misc here: register system-wide for the smoke alone.
  say "no binfmt_misc of our own here; the emulator is registered system-wide for the smoke"
  mounted_here=
  cleanup() {
    if [[ -f $work/registered && -e $binfmt/$entry_name ]]; then echo -1 >"$binfmt/$entry_name"; fi
    if [[ -n $mounted_here ]]; then umount "$binfmt" 2>/dev/null || true; fi
    WINEPREFIX=$i686_prefix wineserver -k 2>/dev/null || true
  }
  trap cleanup EXIT
  if [[ ! -e $binfmt/register ]]; then
    mount -t binfmt_misc binfmt_misc "$binfmt" 2>"$work/mount.log" ||
      cannot_run "binfmt_misc can't be mounted: $(cat "$work/mount.log")"
    mounted_here=1
  fi
  status=0
  emulated_runs "$win32" || status=$?
fi
((status == 77)) && cannot_run "the emulator can't be registered: $(cat "$work/register.log" 2>/dev/null)"
((status == 0)) || fail "the emulated runs"

cp1252() { printf '%s\r\n' "$@" | iconv -f UTF-8 -t CP1252; }
failures=0
for case in "${cases[@]}"; do
  problems=()
  for part in out stderr status; do
    cmp -s "$work/$case.x86_64.$part" "$work/$case.i686.$part" ||
      problems+=("its $part differs from the x86_64 build's")
  done
  # Bytes fixed here, in code page 1252: the first lines of the update, and
  # each case's last line; the second run of the update has nothing more.
  case $case in
    update | update-again)
      cp1252 "ZARVEK RUD: SERVICIO DE ACTUALIZACIÓN DE PROGRAMAS VERSIÓN 12.6" \
        "Servidor de actualizaciones: $(cat "$work/server_arg")" "Programa Seleccionado: XNMPAYRO" \
        "Ruta del archivo: Garh\\NM\\bin\\" >"$work/$case.head"
      cp1252 "Se realizó la actualización de manera exitosa." >"$work/$case.last"
      want_status=0 want_record=trace
      [[ $case == update-again ]] && want_record=
      ;;
    copy-failure)
      : >"$work/$case.head"
      cp1252 "Exception: Error al intentar copiar el archivo: Ruta no encontrada" >"$work/$case.last"
      want_status=1 want_record=err
      ;;
    no-resource)
      : >"$work/$case.head"
      printf 'EOSError: ' >"$work/$case.last"
      want_status=1 want_record=err
      ;;
  esac
  cmp -s "$work/$case.head" <(head -c "$(wc -c <"$work/$case.head")" "$work/$case.i686.out") ||
    problems+=("the banner and progress lines are not the expected code page 1252 bytes")
  if [[ $case == update-again ]]; then
    cmp -s "$work/$case.head" "$work/$case.i686.out" ||
      problems+=("it wrote more than the banner and progress lines: the update was repeated")
  else
    grep -qF -- "$(cat "$work/$case.last")" "$work/$case.i686.out" ||
      problems+=("no line starting '$(iconv -f CP1252 -t UTF-8 "$work/$case.last" | tr -d '\r\n')'")
  fi
  [[ $(cat "$work/$case.i686.status") == "$want_status" ]] ||
    problems+=("exit code $(cat "$work/$case.i686.status"), expected $want_status")
  [[ $(sed -n 's/:eventlog:.*//p' "$work/$case.i686.stderr" | sort -u) == "$want_record" ]] ||
    problems+=("its event log lines are not those of one ${want_record:-missing} record")
  if ((${#problems[@]})); then
    failures=$((failures + 1))
    say "$case: FAILED: ${problems[*]}"
    say "  i686 output:"
    iconv -f CP1252 -t UTF-8 "$work/$case.i686.out" | sed 's/^/    /' >&2
    say "  x86_64 output:"
    iconv -f CP1252 -t UTF-8 "$work/$case.x86_64.out" | sed 's/^/    /' >&2
  else
    say "$case: passed"
  fi
done
((failures == 0)) || fail "$failures of ${#cases[@]} runs"
say "${#cases[@]} runs passed; the emulated part took $((SECONDS - started)) s"
