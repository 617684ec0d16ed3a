#!/usr/bin/env bash
# A short run of the shipped i686 rud.exe where this machine starts 32-bit
# programs only under emulation (qemu-i386 through binfmt_misc): three runs,
# each compared byte for byte with the same run of the x86_64 build, whose
# whole suite has passed, and the key lines also with their code page 1252
# bytes written out here.
#
#   bash scripts/smoke-i686.sh <win32 build folder>
#
# Needs root and binfmt_misc. The emulator is registered for the smoke alone
# and unregistered afterwards, also when the smoke fails; an i386 entry that
# was there before is left alone and used. Exit codes: 0 passed, 1 failed,
# 77 could not run here (the reason is in build/smoke-i686/why).
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
win32=${1:-$root/build/win32}
win64=$root/build/win64
work=$root/build/smoke-i686
binfmt=/proc/sys/fs/binfmt_misc
entry_name=rud-qemu-i386
exec </dev/null

say() { echo "smoke-i686: $*" >&2; }
cannot_run() {
  mkdir -p "$work"
  echo "$*" >"$work/why"
  say "skipped, $*"
  exit 77
}
fail() {
  say "FAILED: $*"
  exit 1
}

rm -rf "$work"
mkdir -p "$work"
for needed in "$win32/rud.exe" "$win32/tests/do_nothing.exe" "$win64/rud.exe" \
  "$root/build/native/tests/rud_make_demo"; do
  [[ -f $needed ]] || fail "$needed is not built"
done
[[ $(id -u) == 0 ]] || cannot_run "registering an emulator needs root"

# What was registered before: only what we add is removed again.
mounted_here=
registered_here=
before=" $(ls "$binfmt" 2>/dev/null | tr '\n' ' ') "
cleanup() {
  local entry
  [[ -n $registered_here && -e $binfmt/$entry_name ]] && echo -1 >"$binfmt/$entry_name"
  # Installing the emulator's package may have registered entries of its own.
  for entry in $(ls "$binfmt" 2>/dev/null); do
    case $entry in status | register) continue ;; esac
    [[ $before == *" $entry "* ]] && continue
    [[ $entry == qemu-* ]] && echo -1 >"$binfmt/$entry"
  done
  if [[ -n $mounted_here ]]; then umount "$binfmt" 2>/dev/null || true; fi
  WINEPREFIX=$work/wineprefix /usr/lib/wine/wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

if [[ ! -e $binfmt/register ]]; then
  mount -t binfmt_misc binfmt_misc "$binfmt" 2>"$work/mount.log" ||
    cannot_run "binfmt_misc can't be mounted: $(cat "$work/mount.log")"
  mounted_here=1
  before=" $(ls "$binfmt" | tr '\n' ' ') "
fi

source scripts/probe-i686.sh
if ! i386_emulator_entry >/dev/null; then
  if [[ ! -x /usr/bin/qemu-i386-static ]]; then
    say "installing qemu-user-static for the smoke run"
    { apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q qemu-user-static; } \
      >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "installing qemu-user-static"; }
  fi
  if ! i386_emulator_entry >/dev/null; then
    # The i386 ELF magic and mask that qemu's own registration uses; F opens
    # the emulator now, so it is found from inside any mount namespace.
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    printf ':%s:M::%s:%s:%s:F' "$entry_name" "$magic" "$mask" /usr/bin/qemu-i386-static \
      >"$binfmt/register" 2>"$work/register.log" ||
      cannot_run "the emulator can't be registered: $(cat "$work/register.log")"
    registered_here=1
  fi
fi
say "i386 programs run under $(sed -n 's/^interpreter //p' "$binfmt/$(i386_emulator_entry)")"

# The world: one server share for both builds, and a local install in each
# build's Wine prefix.
export WINEDEBUG=-all WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d"
export LANG=es_ES.UTF-8 TZ=UTC
unset LC_ALL LC_CTYPE LC_TIME LC_MESSAGES
make_demo=$root/build/native/tests/rud_make_demo
server=$work/servidor
server_arg="Z:${server//\//\\}"
"$make_demo" "$server/Garh/NM/bin/XNMPAYRO.exe" 12.6.0.4 >/dev/null || fail "writing the server copy"
touch -d '2026-12-07 14:05:09' "$server/Garh/NM/bin/XNMPAYRO.exe"
mkdir -p "$server/Garh/SV/bin"
cp "$win32/tests/do_nothing.exe" "$server/Garh/SV/bin/XSVSINVR.exe"
touch -d '2026-12-07 14:05:09' "$server/Garh/SV/bin/XSVSINVR.exe"

# prepare_world <prefix> <case>: drive C: as the case needs it.
prepare_world() {
  local drive_c=$1/drive_c case=$2
  rm -rf "$drive_c/ZARVEK"
  case $case in
    update)
      "$make_demo" "$drive_c/ZARVEK/Garh/NM/bin/XNMPAYRO.exe" 12.6.0.3 >/dev/null
      touch -d '2026-12-01 09:15:00' "$drive_c/ZARVEK/Garh/NM/bin/XNMPAYRO.exe"
      ;;
    copy-failure) : >"$drive_c/ZARVEK" ;;  # a file where the install root's folder goes
    no-resource) ;;
  esac
}
case_code() {
  case $1 in
    update | copy-failure) echo XNMPAYRO ;;
    no-resource) echo XSVSINVR ;;
  esac
}
# run_case <loader> <prefix> <rud.exe> <case> <output stem>
run_case() {
  local loader=$1 prefix=$2 exe=$3 case=$4 stem=$5 status=0
  prepare_world "$prefix" "$case"
  WINEPREFIX=$prefix timeout 600 "$loader" "$exe" "$server_arg" "$(case_code "$case")" \
    >"$stem.out" 2>"$stem.err" </dev/null || status=$?
  echo "$status" >"$stem.status"
  grep -v '^wine: ' "$stem.err" >"$stem.stderr" || true
  rm -rf "$prefix/drive_c/ZARVEK"
}

# The i686 build's own prefix, booted once by the i386 loader; the smoke
# runs reuse it.
started=$SECONDS
mkdir -p "$work/wineprefix"
say "booting an i686 Wine prefix under emulation (minutes)"
WINEPREFIX=$work/wineprefix WINEARCH=win32 timeout 1200 /usr/lib/wine/wine wineboot \
  >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log" >&2; fail "booting the i686 prefix"; }
say "prefix ready in $((SECONDS - started)) s"

wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
reference_prefix=${WINEPREFIX_X86_64:-$root/build/wineprefix}
cp1252() { printf '%s\r\n' "$@" | iconv -f UTF-8 -t CP1252; }
failures=0
for case in update copy-failure no-resource; do
  run_started=$SECONDS
  run_case "$wine64" "$reference_prefix" "$win64/rud.exe" "$case" "$work/$case.x86_64"
  run_case /usr/lib/wine/wine "$work/wineprefix" "$win32/rud.exe" "$case" "$work/$case.i686"
  problems=()
  for part in out stderr status; do
    cmp -s "$work/$case.x86_64.$part" "$work/$case.i686.$part" ||
      problems+=("its $part differs from the x86_64 build's")
  done
  # Bytes fixed here, in code page 1252: the first lines of the update, and
  # each case's last line.
  case $case in
    update)
      cp1252 "ZARVEK RUD: SERVICIO DE ACTUALIZACIÓN DE PROGRAMAS VERSIÓN 12.6" \
        "Servidor de actualizaciones: $server_arg" "Programa Seleccionado: XNMPAYRO" \
        "Ruta del archivo: Garh\\NM\\bin\\" >"$work/$case.head"
      cp1252 "Se realizó la actualización de manera exitosa." >"$work/$case.last"
      want_status=0 ;;
    copy-failure)
      : >"$work/$case.head"
      cp1252 "Exception: Error al intentar copiar el archivo: Ruta no encontrada" >"$work/$case.last"
      want_status=1 ;;
    no-resource)
      : >"$work/$case.head"
      printf 'EOSError: ' >"$work/$case.last"
      want_status=1 ;;
  esac
  cmp -s "$work/$case.head" <(head -c "$(wc -c <"$work/$case.head")" "$work/$case.i686.out") ||
    problems+=("the banner and progress lines are not the expected code page 1252 bytes")
  grep -qF -- "$(cat "$work/$case.last")" "$work/$case.i686.out" ||
    problems+=("no line starting '$(iconv -f CP1252 -t UTF-8 "$work/$case.last" | tr -d '\r\n')'")
  [[ $(cat "$work/$case.i686.status") == "$want_status" ]] ||
    problems+=("exit code $(cat "$work/$case.i686.status"), expected $want_status")
  if ((${#problems[@]})); then
    failures=$((failures + 1))
    say "$case: FAILED after $((SECONDS - run_started)) s: ${problems[*]}"
    say "  i686 output:"; iconv -f CP1252 -t UTF-8 "$work/$case.i686.out" | sed 's/^/    /' >&2
    say "  x86_64 output:"; iconv -f CP1252 -t UTF-8 "$work/$case.x86_64.out" | sed 's/^/    /' >&2
  else
    say "$case: passed in $((SECONDS - run_started)) s"
  fi
done
((failures == 0)) || fail "$failures of 3 runs"
say "3 runs passed in $((SECONDS - started)) s"
