#!/bin/sh
# Brings a ZARVEK program up to date from the update server, then starts it.
#   lanzar.sh PROGRAM-CODE [ARGUMENT...]
# Settings, from the environment:
#   ZARVEK_SERVER  the update server folder (default /mnt/zarvek-upd)
#   RUD_DRIVE_C    the host folder that stands for drive C: (default /), so the
#                  programs live under $RUD_DRIVE_C/ZARVEK
#   RUD            the rud program (default: rud on the PATH)
#   ZARVEK_RUNNER  what starts a Windows program here (default wine)
# As rud does, only the code's first 8 characters name the program.
set -u
server=${ZARVEK_SERVER:-/mnt/zarvek-upd}
drive_c=${RUD_DRIVE_C:-/}
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

# The file and folder rud derives from the code: the first 8 characters plus
# .exe; module GN (characters 2 and 3 of that file name) lives in Ggen/bin,
# every other module MM in Garh/MM/bin.
file=$(printf '%s' "$code" | cut -c1-8).exe
module=$(printf '%s' "$file" | cut -c2-3)
case $(printf '%s' "$module" | tr 'a-z' 'A-Z') in
  GN) folder=Ggen/bin ;;
  *) folder=Garh/$module/bin ;;
esac
exec "${ZARVEK_RUNNER:-wine}" "${drive_c%/}/ZARVEK/$folder/$file" "$@"
