#!/usr/bin/env bash
# The whole test run, as CI does it: installs what is missing, builds the
# Linux and the Windows programs and their packages, checks the packages, and
# runs every test — natively, the Windows build under a private Wine prefix,
# and the fuzzers when the tree has them.
#
#   bash scripts/test.sh
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
# Nothing here reads standard input; the tests get an empty one even when the
# script is started without any.
exec </dev/null

bash scripts/install-deps.sh

cmake --preset native
cmake --build --preset native -j2
cmake --preset win32
cmake --build --preset win32 -j2

# The packages, the .deb of the Linux build and the ZIP of the Windows build,
# and a check of what they and `cmake --install` hold. CPack's log is shown
# only when it fails.
for preset in native win32; do
  if ! cpack --preset "$preset" >"build/$preset/cpack.log" 2>&1; then
    cat "build/$preset/cpack.log" >&2
    echo "test: packaging the $preset build failed" >&2
    exit 1
  fi
done
bash scripts/check-packages.sh

# A Wine prefix of our own under build/, with the debugger and the .NET and
# HTML engines switched off so that nothing asks for a download or a window.
export WINEPREFIX="$root/build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d"
mkdir -p "$WINEPREFIX"
stop_wine() { wineserver -k 2>/dev/null || true; }
trap stop_wine EXIT
echo "test: preparing the Wine prefix $WINEPREFIX" >&2
wineserver -p
wine wineboot >/dev/null 2>&1

# The end-to-end tests also run the Windows rud.exe under Wine from here.
RUD_WIN32_BUILD="$root/build/win32" ctest --preset native
ctest --preset win32

if [[ -f fuzz/CMakeLists.txt ]]; then
  cmake --preset fuzz
  cmake --build --preset fuzz -j2
  ctest --preset fuzz
fi
echo "test: all passed" >&2
