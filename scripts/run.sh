#!/usr/bin/env bash
# Builds rud for this machine and runs it.
#
#   bash scripts/run.sh <server-folder> <program-code>
#       runs build/native/rud with those arguments and ends with its exit code;
#   bash scripts/run.sh
#       a demonstration in a temporary folder: a server copy newer than the
#       local one is installed, then a second run finds nothing to do.
#
# Build messages go to standard error; standard output is rud's alone.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD

bash scripts/install-deps.sh --run >&2
cmake --preset native >&2

if (($# > 0)); then
  cmake --build --preset native -j2 --target rud >&2
  exec "$root/build/native/rud" "$@"
fi

cmake --build --preset native -j2 --target rud rud_make_demo >&2
rud=$root/build/native/rud
make_demo=$root/build/native/tests/rud_make_demo

demo=$(mktemp -d "${TMPDIR:-/tmp}/rud-demo.XXXXXX")
trap 'rm -rf "$demo"' EXIT

# The update server is the network share \\srv\upd, reached through
# RUD_UNC_ROOT; drive C, and with it the install root C:\ZARVEK\, is a folder
# of the demonstration.
export RUD_UNC_ROOT=$demo/red
export RUD_DRIVE_C=$demo/c
server_copy=$RUD_UNC_ROOT/srv/upd/Garh/NM/bin/XNMPAYRO.exe
local_copy=$RUD_DRIVE_C/ZARVEK/Garh/NM/bin/XNMPAYRO.exe
"$make_demo" "$local_copy" 12.6.0.3
"$make_demo" "$server_copy" 12.6.0.4
touch -d '3 days ago 09:15' "$local_copy"
touch -d '1 hour ago' "$server_copy"

# Dates in the way a Spanish-speaking administrator reads them, where the
# machine has that locale. It is given to rud alone: this shell started before
# install-deps.sh may have generated it, and could not take it on itself.
demo_locale=C.UTF-8
if locale -a 2>/dev/null | grep -qx 'es_ES.utf8'; then
  demo_locale=es_ES.UTF-8
fi

run_rud() {
  echo "\$ rud '\\\\srv\\upd' XNMPAYRO"
  local status=0
  env LC_ALL="$demo_locale" "$rud" '\\srv\upd' XNMPAYRO </dev/null || status=$?
  echo "(exit code $status)"
  echo
}

echo "Demonstration in $demo"
echo "  server copy  $server_copy (version 12.6.0.4, written an hour ago)"
echo "  local copy   $local_copy (version 12.6.0.3, written three days ago)"
echo
echo "First run: the server copy is newer, so it replaces the local one."
run_rud
echo "Second run: both copies now have the same last-write time; nothing to do."
run_rud
