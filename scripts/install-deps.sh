#!/usr/bin/env bash
# Installs on Debian 12 what building, testing and running rud needs, and only
# what is missing: a prepared machine never reaches apt.
#
#   bash scripts/install-deps.sh          everything the tests need
#   bash scripts/install-deps.sh --run    only what building and the demo need
#
# scripts/test.sh starts its builds while the rest installs, so the full
# install goes in groups, each one apt run, in the order the test run needs
# them: the native build, the fuzzers' compiler, the MinGW-w64 compilers,
# then the tools of the tests. With --stages DIR a file DIR/<group> appears
# when a group is ready (native, fuzz, windows, tests). --with-qemu adds
# qemu-user-static to the tests' group (the i686 smoke of a machine that
# starts no 32-bit program). Recommended packages are not installed: every
# package the run uses is named here.
set -euo pipefail

mode=all
stages=
with_qemu=
while (($#)); do
  case $1 in
    --run) mode=run ;;
    --stages) stages=$2; shift ;;
    --with-qemu) with_qemu=1 ;;
    *) echo "usage: $0 [--run] [--stages DIR] [--with-qemu]" >&2; exit 2 ;;
  esac
  shift
done
[[ -z $stages ]] || mkdir -p "$stages"
stage_ready() { [[ -z $stages ]] || : >"$stages/$1"; }

# The native build (its configure step also reads the GoogleTest sources) and
# the Spanish locale the demonstration shows its dates in.
run_packages=(cmake ninja-build g++ googletest locales)
# The native build of the test run: GoogleTest's package, and
# dpkg-buildflags (dpkg-dev) for the hardening flags of the Linux program.
native_packages=("${run_packages[@]}" libgtest-dev dpkg-dev)
fuzz_packages=(clang libclang-rt-14-dev)
windows_packages=(g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64)
# libclang-rt-14-dev holds libFuzzer's runtime for clang 14.
# The tests of the Windows builds under Wine (i686, the program we ship, and
# x86_64, the same sources for machines that run no 32-bit code: wine64 is
# Wine's 64-bit loader), the tools some tests reach for, and the
# packaging: dpkg-shlibdeps (dpkg-dev) works out the .deb's dependencies and
# dpkg-buildflags gives the Linux program its hardening flags;
# scripts/check-packages.sh reads the ZIP with unzip, renders the manual page
# with man-db, runs lintian on the .deb and reads rud.exe's resources with
# wrestool (icoutils). The tests and the benchmark serve the update folder
# from private Samba servers (samba) through a FUSE client (smbnetfs), read
# their counters with smbstatus, and compare with rsync (smbclient looks at a
# share by hand when one misbehaves); the servers' network
# namespace gets its loopback up with ip (iproute2). The records rud writes
# to the system log are read by a private rsyslogd that the tests start
# themselves (tests/e2e/syslog_receiver.sh), whatever the system runs.
test_packages=(
  wine wine32 wine64
  strace valgrind
  dpkg-dev unzip man-db lintian icoutils
  samba smbnetfs smbclient rsync iproute2
  rsyslog
)
[[ -z $with_qemu ]] || test_packages+=(qemu-user-static)
# es_ES.ISO-8859-1: the tests' locale whose codeset is not UTF-8.
locales_wanted=(es_ES.UTF-8 es_MX.UTF-8 en_US.UTF-8 es_ES.ISO-8859-1)

if [[ $mode == all ]]; then
  groups=(native fuzz windows tests)
else
  groups=(run)
fi
group_packages() {
  case $1 in
    run) echo "${run_packages[@]}" ;;
    native) echo "${native_packages[@]}" ;;
    fuzz) echo "${fuzz_packages[@]}" ;;
    windows) echo "${windows_packages[@]}" ;;
    tests) echo "${test_packages[@]}" ;;
  esac
}

is_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q '^install ok installed$'
}

# "es_ES.UTF-8" is listed by `locale -a` as es_ES.utf8, "es_ES.ISO-8859-1"
# as es_ES.iso88591: the codeset in lower case without its dashes.
has_locale() {
  local name=${1%%.*} codeset=${1#*.}
  codeset=$(printf '%s' "$codeset" | tr 'A-Z' 'a-z' | tr -d -- '-')
  locale -a 2>/dev/null | grep -qx "$name.$codeset"
}

as_root() {
  if [[ $(id -u) -eq 0 ]]; then
    "$@"
  elif command -v sudo >/dev/null; then
    sudo "$@"
  else
    echo "install-deps: '$*' needs root and sudo is not available" >&2
    exit 1
  fi
}

all_missing=()
for group in "${groups[@]}"; do
  for package in $(group_packages "$group"); do
    is_installed "$package" || all_missing+=("$package")
  done
done

# One package index update for all the groups.
if ((${#all_missing[@]})); then
  # wine32 is an i386 package.
  if [[ " ${all_missing[*]} " == *" wine32 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  as_root apt-get update -q
fi

for group in "${groups[@]}"; do
  missing=()
  for package in $(group_packages "$group"); do
    is_installed "$package" || missing+=("$package")
  done
  if ((${#missing[@]})); then
    echo "install-deps: installing ${missing[*]}" >&2
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
      -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold "${missing[@]}" </dev/null
  fi
  # clang's -fsanitize=fuzzer must link: it needs libFuzzer's runtime.
  if [[ $group == fuzz ]]; then
    probe=$(mktemp -d)
    printf '%s\n' '#include <cstddef>' '#include <cstdint>' \
      'extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }' >"$probe/probe.cpp"
    if ! clang++ -fsanitize=fuzzer "$probe/probe.cpp" -o "$probe/probe" 2>"$probe/log"; then
      echo "install-deps: clang can't build a fuzzer:" >&2
      cat "$probe/log" >&2
      rm -rf "$probe"
      exit 1
    fi
    rm -rf "$probe"
  fi
  # The tests' locales come with the tests' group: no build waits for them.
  [[ $group == tests ]] || stage_ready "$group"
done

missing_locales=()
for wanted in "${locales_wanted[@]}"; do
  has_locale "$wanted" || missing_locales+=("$wanted")
done

if ((${#missing_locales[@]})); then
  echo "install-deps: generating the locales ${missing_locales[*]}" >&2
  for wanted in "${missing_locales[@]}"; do
    line="$wanted ${wanted#*.}"
    if grep -qE "^#? *${wanted//./\\.} ${wanted#*.}\$" /etc/locale.gen 2>/dev/null; then
      as_root sed -i -E "s/^#? *${wanted//./\\.} ${wanted#*.}\$/$line/" /etc/locale.gen
    else
      echo "$line" | as_root tee -a /etc/locale.gen >/dev/null
    fi
  done
  as_root locale-gen
fi

[[ $mode == run ]] || stage_ready tests
