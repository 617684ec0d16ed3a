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
#
# How the work is laid out. Each piece of work is a phase with a name; its
# output goes whole to build/logs/<phase>.log, and is shown, named, when the
# phase fails. Phases that don't depend on each other run side by side in
# lanes (background jobs): the installation, in groups, while the builds
# start on what is already there; the builds one after another at -j2; the
# Wine prefixes (one per architecture, booted once at native speed: the
# i686 one in build/wineprefix-i686, the x86_64 one in build/wineprefix),
# each shared by the phases of its architecture, one after another; the
# native tests; the packages; the fuzzers. A phase waits for what it needs
# (`needs`). The run ends with one line per phase and its seconds.
#
# A new leg is a lane: a function that calls `needs` for what it waits for
# and `phase` for each step, and `leg_ran` / `leg_not_run` for the summary;
# start it with `lane` below, beside the others.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
# Nothing here reads standard input; the tests get an empty one even when the
# script is started without any.
exec </dev/null
# Each lane gets a process group of its own, so that a failure stops the
# others whole.
set -m

say() { echo "test: $*" >&2; }
started=$SECONDS

mkdir -p build
logs=$root/build/logs
rm -rf "$logs"
mkdir -p "$logs/done"
: >"$logs/phases"
: >"$logs/legs"

# phase [--may-skip] <name> <command...>: runs the command with its output in
# build/logs/<name>.log; on failure the lane stops. With --may-skip, exit 77
# says the work could not run here: the phase returns 77 and the lane goes on.
phase() {
  local may_skip=
  if [[ $1 == --may-skip ]]; then
    may_skip=1
    shift
  fi
  local name=$1 log status=0 begun=$SECONDS recorded
  shift
  log=$logs/$(tr ' /' '__' <<<"$name").log
  say "$name ..."
  "$@" >"$log" 2>&1 || status=$?
  recorded=$status
  [[ -n $may_skip ]] && ((status == 77)) && recorded=skipped
  printf '%s\t%s\t%s\t%s\t%s\n' "$name" $((begun - started)) $((SECONDS - begun)) "$recorded" "$log" \
    >>"$logs/phases"
  [[ $recorded == skipped ]] && return 77
  if ((status != 0)); then
    : >"$logs/failed"
    say "FAILED: $name (exit $status) after $((SECONDS - begun)) s; its log, $log:"
    sed 's/^/  | /' "$log" >&2
    exit 1
  fi
  say "$name: done in $((SECONDS - begun)) s$(summary_of "$log")"
}
# The closing line of a test runner's log, if any.
summary_of() {
  local line
  line=$(grep -E '^[0-9]+% tests passed|^\[  PASSED  \]|^smoke-i686: [0-9]+ runs passed|^check-packages: .* hold' "$1" |
    tail -n 1)
  [[ -z $line ]] || echo " ($line)"
}
# done_ <mark>: tells the lanes waiting for it; needs <mark>...: waits.
done_() { : >"$logs/done/$1"; }
needs() {
  local mark
  for mark in "$@"; do
    until [[ -e $logs/done/$mark ]]; do
      [[ -e $logs/failed ]] && exit 1
      sleep 1
    done
  done
}
leg_ran() { echo "ran	$*" >>"$logs/legs"; }
leg_not_run() { echo "not	$*" >>"$logs/legs"; }

if [[ ${RUD_WINDOWS_LEGS:-auto} != x86_64 && ${RUD_WINDOWS_LEGS:-auto} != auto ]]; then
  say "FAILED: RUD_WINDOWS_LEGS is '${RUD_WINDOWS_LEGS}': use x86_64, auto or leave it unset"
  exit 1
fi

source scripts/probe-i686.sh
# The i686 suite can't run on the x86_64-only path, nor where the kernel
# starts no i386 program (a tiny one is tried before anything is installed).
# There the smoke takes its place: the emulator is installed with the rest,
# and of the i686 build only what the smoke and the ZIP use is built.
i686_suite_possible=1
if [[ ${RUD_WINDOWS_LEGS:-auto} == x86_64 ]] || ! kernel_runs_i386; then
  i686_suite_possible=
fi
install_options=(--stages "$logs/done")
if [[ ${RUD_I686_SMOKE:-1} != 0 && -z $i686_suite_possible ]]; then
  install_options+=(--with-qemu)
fi

export WINEDEBUG=-all
export WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d"
prefix_x86_64=$root/build/wineprefix
prefix_i686=$root/build/wineprefix-i686
wine64=$(wine64_loader)

# --- the lanes ---------------------------------------------------------------

# Installation: groups (native, fuzz, windows, tests); each group's mark
# appears in build/logs/done when it is in.
lane_install() {
  phase "installing what is missing" bash scripts/install-deps.sh "${install_options[@]}"
}

# The builds, one after another, each at -j2, in the order the long phases
# need them: the native build, then the shipped i686 build (the smoke, the
# longest phase, waits for it), the x86_64 build, the fuzzers, and the plain
# build as packagers make it.
lane_builds() {
  needs native
  phase "configuring native" cmake --preset native
  phase "building native" cmake --build --preset native -j2
  done_ build-native
  needs windows
  local targets options
  for preset in win32 win64; do
    targets=() options=()
    [[ $preset == win32 && -z $i686_suite_possible ]] && targets=(--target rud rud_zip_sums do_nothing)
    # The x86_64 build's tests run under the loader the leg uses, named
    # here: Wine may still be installing while this build configures.
    [[ $preset == win64 ]] && options=("-DRUD_WINE64=$wine64")
    phase "configuring $preset" cmake --preset "$preset" "${options[@]}"
    phase "building $preset" cmake --build --preset "$preset" -j2 "${targets[@]}"
    done_ "build-$preset"
  done
  if [[ -f fuzz/CMakeLists.txt ]]; then
    needs fuzz
    phase "configuring the fuzzers" cmake --preset fuzz
    # The fuzz targets that the run starts, and not the seed writer.
    phase "building the fuzzers" cmake --build --preset fuzz -j2 --target \
      fuzz_pe_version fuzz_date_time_text fuzz_command_line
    done_ build-fuzz
  fi
  # How packagers and most users build: no preset, no -Werror, no tests.
  phase "plain Release build of rud (no preset)" \
    bash -c 'cmake -S . -B build/plain -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF &&
             cmake --build build/plain --target rud -j2 &&
             banner=$(build/plain/rud </dev/null | head -n 1 | tr -d "\r") &&
             echo "banner: $banner" &&
             [[ $banner == "ZARVEK RUD: SERVICIO DE ACTUALIZACI"* ]]'
}

# The packages, the .deb of the Linux build and the ZIP of the Windows build,
# and a check of what they and `cmake --install` hold.
lane_packages() {
  needs build-native build-win32 tests
  phase "packaging the native build" cpack --preset native
  phase "packaging the win32 build" cpack --preset win32
  phase "checking the packages" bash scripts/check-packages.sh
}

# The Wine prefixes: booted by the 64-bit loader (such a prefix holds both
# kinds of program), with the debugger and the .NET and HTML engines switched
# off so that nothing asks for a download or a window.
boot_prefix_phase() {
  local arch=$1 prefix=$2
  [[ -x $wine64 ]] || { echo "Wine's 64-bit loader is missing (looked for wine64 on the PATH and $wine64)"; return 1; }
  boot_wine_prefix "$prefix"
}

# The end-to-end tests' rows that run natively; every other row runs once for
# each Windows build (wine_only_filter).
native_filter='*/Native:*/NativeOverSmb:*Native.*:Load*.*:PosixCaller.*'
wine_only_filter="-$native_filter"

lane_native_tests() {
  needs build-native tests
  phase "native unit tests (AddressSanitizer, UBSan)" ctest --preset native -R '^unit$'
  phase "native end-to-end tests" \
    build/native/tests/rud_e2e_tests --gtest_brief=1 "--gtest_filter=$native_filter"
  leg_ran "native"
}

# windows_leg <leg> <preset> <loader> <prefix>
windows_leg() {
  local leg=$1 preset=$2 loader=$3 prefix=$4
  # The x86_64 unit tests also read the shipped i686 rud.exe's message
  # table, as data, wherever the i686 suite itself can't run.
  phase "unit tests of the $leg Windows build under $(basename "$loader")" \
    env WINEPREFIX="$prefix" RUD_I686_EXE="$root/build/win32/rud.exe" ctest --preset "$preset"
  needs build-native
  phase "end-to-end tests of the $leg Windows build" \
    env WINEPREFIX="$prefix" RUD_WINDOWS_BUILD="$root/build/$preset" RUD_WINE="$loader" \
    build/native/tests/rud_e2e_tests --gtest_brief=1 "--gtest_filter=$wine_only_filter"
  leg_ran "$leg Windows ($(basename "$loader"))"
}

lane_x86_64() {
  needs tests
  phase "Wine prefix for x86_64 ($prefix_x86_64)" boot_prefix_phase x86_64 "$prefix_x86_64"
  needs build-win64
  windows_leg x86_64 win64 "$wine64" "$prefix_x86_64"
}

lane_i686() {
  needs tests
  phase "Wine prefix for i686 ($prefix_i686)" boot_prefix_phase i686 "$prefix_i686"
  needs build-win32
  # Can this machine run the i686 legs itself? "native", "emulated" or
  # "none", with the reason in i686_why.
  export WINEPREFIX=$prefix_i686
  probe_i686 "$root/build/win32/tests/do_nothing.exe"
  if [[ ${RUD_WINDOWS_LEGS:-auto} == x86_64 ]]; then
    i686_support=forced-off
    i686_why="RUD_WINDOWS_LEGS=x86_64 takes the path of a machine without 32-bit support"
  fi
  if [[ $i686_support == native ]]; then
    windows_leg i686 win32 wine "$prefix_i686"
    echo "not needed (the i686 suite ran)" >"$logs/smoke_note"
    return 0
  fi
  say "the i686 Windows leg does not run here: $i686_why"
  leg_not_run "i686 suite: $i686_why"
  if [[ ${RUD_I686_SMOKE:-1} == 0 ]]; then
    echo "left out (RUD_I686_SMOKE=0)" >"$logs/smoke_note"
    return 0
  fi
  needs build-native build-win64
  local status=0 begun=$SECONDS
  phase --may-skip "i686 smoke under emulation" \
    env RUD_I686_PREFIX="$prefix_i686" bash scripts/smoke-i686.sh "$root/build/win32" || status=$?
  if ((status == 0)); then
    echo "passed in $((SECONDS - begun)) s under emulation" >"$logs/smoke_note"
    leg_ran "i686 smoke (emulated)"
  else
    # The smoke could not run here; it is not counted as a pass.
    echo "skipped: $(cat build/smoke-i686/why 2>/dev/null || echo "see its log")" >"$logs/smoke_note"
    leg_not_run "i686 smoke: $(cat "$logs/smoke_note")"
    say "i686 smoke: $(cat "$logs/smoke_note")"
  fi
}

# The update scenarios run a second time with the server served by private
# Samba servers (tests/e2e/smb_servers.sh), and the records rud writes to the
# system log are read natively from a private rsyslogd
# (tests/e2e/syslog_receiver.sh), where this machine allows them; the
# end-to-end phases start them.
lane_private_servers() {
  needs tests
  local why
  if why=$(bash tests/e2e/smb_servers.sh check); then
    leg_ran "SMB share (native and Windows, with DFS)"
  else
    say "the SMB share leg does not run here: ${why#no private SMB server here: }"
    leg_not_run "SMB share: ${why#no private SMB server here: }"
  fi
  if why=$(bash tests/e2e/syslog_receiver.sh check); then
    leg_ran "system log (native records read by rsyslogd)"
  else
    say "the system log leg does not run here: ${why#no private system log here: }"
    leg_not_run "system log: ${why#no private system log here: }"
  fi
}

lane_fuzzers() {
  [[ -f fuzz/CMakeLists.txt ]] || return 0
  needs build-fuzz
  phase "running the fuzzers" ctest --preset fuzz
  leg_ran "fuzzers"
}

# --- running them --------------------------------------------------------------

stop_wine() {
  local prefix
  for prefix in "$prefix_x86_64" "$prefix_i686"; do
    [[ -d $prefix ]] && WINEPREFIX=$prefix wineserver -k 2>/dev/null
  done
  return 0
}
lane_pids=()
stop_lanes() {
  local pid
  for pid in "${lane_pids[@]}"; do kill -TERM -- "-$pid" 2>/dev/null; done
  return 0
}
trap 'stop_lanes; stop_wine' EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

lane() {
  "$@" &
  lane_pids+=($!)
}
lane lane_install
lane lane_builds
lane lane_packages
lane lane_native_tests
lane lane_x86_64
lane lane_i686
lane lane_private_servers
lane lane_fuzzers

# Waits for every lane; the first failure stops the rest.
while [[ ! -e $logs/failed ]]; do
  alive=
  for pid in "${lane_pids[@]}"; do kill -0 "$pid" 2>/dev/null && alive=1; done
  [[ -n $alive ]] || break
  sleep 1
done
[[ -e $logs/failed ]] && stop_lanes
failed=
for pid in "${lane_pids[@]}"; do wait "$pid" || failed=1; done

phase_table() {
  say "phases (start and length in seconds; lanes run side by side):"
  sort -t $'\t' -k2,2n "$logs/phases" | while IFS=$'\t' read -r name begun seconds status log; do
    local mark=""
    case $status in
      0) ;;
      skipped) mark="  could not run here" ;;
      *) mark="  FAILED (exit $status)" ;;
    esac
    printf 'test:   %5s s  %5s s  %s%s\n' "$begun" "$seconds" "$name" "$mark" >&2
  done
  say "  total: $((SECONDS - started)) s"
}
phase_table

if [[ -n $failed ]]; then
  say "FAILED: see the phase named above"
  exit 1
fi
ran=$(awk -F'\t' '$1 == "ran" { print $2 }' "$logs/legs" | paste -sd ';' | sed 's/;/, /g')
say "legs that ran: $ran"
awk -F'\t' '$1 == "not" { print $2 }' "$logs/legs" | while read -r line; do say "not run: $line"; done
say "i686 smoke: $(cat "$logs/smoke_note" 2>/dev/null || echo "not reached")"
say "all passed in $((SECONDS - started)) s"
