#!/usr/bin/env bash
# Brings a ZARVEK program up to date from the update server, then starts it.
#   lanzar.sh PROGRAM-CODE [ARGUMENT...]
# Settings, from the environment:
#   ZARVEK_SERVER  the update server folder (default /mnt/zarvek-upd)
#   RUD_DRIVE_C    the host folder that stands for drive C: (default /opt), so
#                  the programs live under $RUD_DRIVE_C/ZARVEK
#   RUD            the rud program (default: rud on the PATH)
#   ZARVEK_RUNNER  what starts a Windows program here (default wine)
# The program is found as rud finds it: the code without leading and trailing
# blanks and control characters, its first 8 characters, and each name in
# the path matched without regard to case. Every argument after the code is
# passed on, empty ones included.
set -u
server=${ZARVEK_SERVER:-/mnt/zarvek-upd}
drive_c=${RUD_DRIVE_C:-/opt}
export RUD_DRIVE_C="$drive_c"
if [ $# -lt 1 ] || [ -z "$1" ]; then
  echo "Uso: lanzar.sh CODIGO-DE-PROGRAMA [ARGUMENTOS...]" >&2
  exit 2
fi
code=$1
shift

# On a failure rud has shown its report and waited for Enter: do not start a
# program that may be out of date or missing.
"${RUD:-rud}" "$server" "$code"
status=$?
[ "$status" -eq 0 ] || exit "$status"

# Every character with a code of 32 or less: the blank and the control
# characters (the line feed is not last, or the command substitution would
# drop it).
blanks=$(printf '\001\002\003\004\005\006\007\010\011\012\013\014\015\016\017\020\021\022\023\024\025\026\027\030\031\032\033\034\035\036\037 ')
while [[ $code == ["$blanks"]* ]]; do code=${code:1}; done
while [[ $code == *["$blanks"] ]]; do code=${code:0:${#code}-1}; done

# The file and folder rud derives from the code: the first 8 characters plus
# .exe; module GN (characters 2 and 3 of that file name, "GN" in any case of
# its letters) lives in Ggen/bin, every other module MM in Garh/MM/bin.
file=${code:0:8}.exe
module=${file:1:2}
case $module in
  [Gg][Nn]) path=(Ggen bin "$file") ;;
  *) path=(Garh "$module" bin "$file") ;;
esac

# The entry of folder $1 that rud takes for name $2: the name itself, else
# the first in byte order of the entries that equal it regardless of case.
entry_named() {
  local folder=$1 name=$2 candidate found=
  if [ -e "$folder/$name" ] || [ -L "$folder/$name" ]; then
    printf '%s' "$name"
    return 0
  fi
  local LC_ALL=C.UTF-8
  shopt -s dotglob nullglob
  local wanted=${name^^}
  for candidate in "$folder"/*; do
    candidate=${candidate##*/}
    [ "${candidate^^}" = "$wanted" ] || continue
    if [ -z "$found" ] || [[ $candidate < $found ]]; then found=$candidate; fi
  done
  shopt -u dotglob nullglob
  [ -n "$found" ] || return 1
  printf '%s' "$found"
}

program=${drive_c%/}/ZARVEK
for name in "${path[@]}"; do
  if found=$(entry_named "$program" "$name"); then
    program=$program/$found
  else
    program=$program/$name
  fi
done
exec "${ZARVEK_RUNNER:-wine}" "$program" "$@"
