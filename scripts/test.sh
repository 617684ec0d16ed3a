#!/usr/bin/env bash
# The whole test run, as CI does it: installs what is missing, builds the
# Linux program and both Windows programs and their packages, checks the
# packages and a plain build as packagers make it, and runs every test:
# natively, each Windows build under Wine, and the fuzzers when the tree has
# them.
#
#   bash scripts/test.sh
#
# The Windows legs. The i686 build is the program we ship; its tests run where
# this machine starts 32-bit programs by itself, which a probe decides. The
# x86_64 build of the same sources always runs, under Wine's 64-bit loader.
# Where the i686 build can only run under emulation, a short smoke run of it
# takes the place of its suite (scripts/smoke-i686.sh).
#
#   RUD_WINDOWS_LEGS=x86_64   take the path of a machine without 32-bit
#                             support on any machine: no i686 suite, the
#                             smoke under emulation instead
#   RUD_I686_SMOKE=0          leave the smoke out
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
# Nothing here reads standard input; the tests get an empty one even when the
# script is started without any.
exec </dev/null

say() { echo "test: $*" >&2; }
fail() {
  say "FAILED: $*"
  exit 1
}
# Runs a step with its output shown; a failure names the step.
step() {
  local what=$1
  shift
  say "$what"
  "$@" || fail "$what (exit $?)"
}
# Runs a step whose output is only worth reading when it fails.
quiet_step() {
  local what=$1 log=$2
  shift 2
  say "$what"
  local status=0
  "$@" >"$log" 2>&1 || status=$?
  if ((status != 0)); then
    cat "$log" >&2
    fail "$what (exit $status; log above, also in $log)"
  fi
}

started=$SECONDS
legs_run=("native")
legs_skipped=()

step "installing what is missing" bash scripts/install-deps.sh

mkdir -p build
for preset in native win32 win64; do
  step "configuring $preset" cmake --preset "$preset"
  step "building $preset" cmake --build --preset "$preset" -j2
done

# How packagers and most users build: no preset, no -Werror, no tests.
quiet_step "plain Release build of rud (no preset)" build/plain.log \
  bash -c 'cmake -S . -B build/plain -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF &&
           cmake --build build/plain --target rud -j2'
banner=$(build/plain/rud </dev/null | head -n 1 | tr -d '\r')
[[ $banner == "ZARVEK RUD: SERVICIO DE ACTUALIZACI"* ]] ||
  fail "the plain build's rud did not write its banner (got '$banner')"

# The packages, the .deb of the Linux build and the ZIP of the Windows build,
# and a check of what they and `cmake --install` hold.
for preset in native win32; do
  quiet_step "packaging the $preset build" "build/$preset/cpack.log" cpack --preset "$preset"
done
step "checking the packages" bash scripts/check-packages.sh

# Wine: a prefix of our own under build/, booted by the 64-bit loader (it
# holds both kinds of program), with the debugger and the .NET and HTML
# engines switched off so that nothing asks for a download or a window.
source scripts/probe-i686.sh
wine64=$(wine64_loader)
[[ -x $wine64 ]] || fail "Wine's 64-bit loader is missing (looked for wine64 on the PATH and $wine64)"
export WINEPREFIX="$root/build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d"
mkdir -p "$WINEPREFIX"
stop_wine() { WINEPREFIX="$root/build/wineprefix" wineserver -k 2>/dev/null || true; }
trap stop_wine EXIT
quiet_step "preparing the Wine prefix $WINEPREFIX" build/wineboot.log \
  bash -c 'wineserver -p && "$1" wineboot' sh "$wine64"

# Can this machine run the i686 legs itself? "native", "emulated" or "none",
# with the reason in i686_why.
probe_i686 "$root/build/win32/tests/do_nothing.exe"
if [[ ${RUD_WINDOWS_LEGS:-} == x86_64 ]]; then
  i686_support=forced-off
  i686_why="RUD_WINDOWS_LEGS=x86_64 takes the path of a machine without 32-bit support"
elif [[ -n ${RUD_WINDOWS_LEGS:-} && ${RUD_WINDOWS_LEGS} != auto ]]; then
  fail "RUD_WINDOWS_LEGS is '${RUD_WINDOWS_LEGS}': use x86_64, auto or leave it unset"
fi

# The update scenarios run a second time with the server served by private
# Samba servers (tests/e2e/smb_servers.sh), where this machine allows them.
if smb_why=$(bash tests/e2e/smb_servers.sh check); then
  smb_leg=1
else
  smb_leg=
  say "the SMB share leg does not run here: ${smb_why#no private SMB server here: }"
  legs_skipped+=("SMB share: ${smb_why#no private SMB server here: }")
fi

# The records rud writes to the system log are read natively from a private
# rsyslogd (tests/e2e/syslog_receiver.sh), where this machine allows it.
syslog_why=$(bash tests/e2e/syslog_receiver.sh check) && syslog_leg=1 || syslog_leg=
[[ -z $syslog_leg ]] && legs_skipped+=("system log: ${syslog_why#no private system log here: }")

# Wine leg filter for a second pass of the end-to-end tests: the native runs
# have been made once already.
wine_only_filter='-*/Native:*/NativeOverSmb:*Native.*:Load*.*:PosixCaller.*'
native_done=

run_windows_leg() {
  local leg=$1 preset=$2 loader=$3
  step "unit tests of the $leg Windows build under $(basename "$loader")" ctest --preset "$preset"
  if [[ -z $native_done ]]; then
    step "native tests, and the end-to-end tests of the $leg Windows build" \
      env RUD_WINDOWS_BUILD="$root/build/$preset" RUD_WINE="$loader" ctest --preset native
    native_done=1
  else
    step "end-to-end tests of the $leg Windows build" \
      env RUD_WINDOWS_BUILD="$root/build/$preset" RUD_WINE="$loader" \
      build/native/tests/rud_e2e_tests --gtest_brief=1 "--gtest_filter=$wine_only_filter"
  fi
  legs_run+=("$leg Windows ($(basename "$loader"))")
}

if [[ $i686_support == native ]]; then
  run_windows_leg i686 win32 wine
else
  say "the i686 Windows leg does not run here: $i686_why"
  legs_skipped+=("i686 suite: $i686_why")
fi
run_windows_leg x86_64 win64 "$wine64"
[[ -n $smb_leg ]] && legs_run+=("SMB share (native and Windows, with DFS)")
[[ -n $syslog_leg ]] && legs_run+=("system log (native records read by rsyslogd)")

smoke_note="not needed (the i686 suite ran)"
if [[ $i686_support != native ]]; then
  if [[ ${RUD_I686_SMOKE:-1} == 0 ]]; then
    smoke_note="left out (RUD_I686_SMOKE=0)"
  else
    smoke_started=$SECONDS
    if bash scripts/smoke-i686.sh "$root/build/win32"; then
      smoke_note="passed in $((SECONDS - smoke_started)) s under emulation"
      legs_run+=("i686 smoke (emulated)")
    else
      status=$?
      # 77: the smoke could not run here; it is not counted as a pass.
      [[ $status == 77 ]] || fail "the i686 smoke run under emulation (exit $status)"
      smoke_note="skipped: $(cat build/smoke-i686/why 2>/dev/null || echo 'see above')"
      legs_skipped+=("i686 smoke: $smoke_note")
    fi
  fi
fi

if [[ -f fuzz/CMakeLists.txt ]]; then
  step "configuring the fuzzers" cmake --preset fuzz
  step "building the fuzzers" cmake --build --preset fuzz -j2
  step "running the fuzzers" ctest --preset fuzz
  legs_run+=("fuzzers")
fi

say "legs that ran: $(IFS=';'; echo "${legs_run[*]}" | sed 's/;/, /g')"
for skipped in "${legs_skipped[@]}"; do say "not run: $skipped"; done
say "i686 smoke: $smoke_note"
say "all passed in $((SECONDS - started)) s"
