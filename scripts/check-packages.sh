#!/usr/bin/env bash
# Checks what the install rules and the two packages hold, after
#
#   cpack --preset native     build/native/packages/rud_<version>-<release>_<arch>.deb
#   cpack --preset win32      build/win32/packages/rud-<version>-win32.zip (and .SHA256SUMS)
#
#   bash scripts/check-packages.sh
#
# Every shortfall is reported, then the script fails; on success it prints one
# line. Nothing is installed on the machine: the .deb is unpacked into a
# temporary root with dpkg-deb -x.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD

failures=0
fail() {
  echo "check-packages: FAIL: $*" >&2
  failures=$((failures + 1))
}
die() {
  echo "check-packages: $*" >&2
  exit 1
}

for tool in dpkg dpkg-deb unzip man gzip md5sum sha256sum readelf strings timeout \
  i686-w64-mingw32-objdump lintian wrestool iconv; do
  command -v "$tool" >/dev/null || die "'$tool' is missing (bash scripts/install-deps.sh installs it)"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/rud-packages.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The project's version, as each build was configured with it.
cached_version() {
  local cache=$root/build/$1/CMakeCache.txt
  [[ -f $cache ]] || die "build/$1 is not configured (cmake --preset $1)"
  sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$cache"
}
version=$(cached_version native)
[[ -n $version ]] || die "no project version in build/native/CMakeCache.txt"
[[ $(cached_version win32) == "$version" ]] ||
  die "build/native and build/win32 were configured with different versions; configure both again"
arch=$(dpkg --print-architecture)
# The package's own revision follows the version: rud_12.6-1_amd64.deb.
debs=("$root/build/native/packages/rud_${version}"-*_"${arch}.deb")
((${#debs[@]} == 1)) || die "expected one rud_${version}-<release>_${arch}.deb in build/native/packages, found: ${debs[*]}"
deb=${debs[0]}
deb_version=${deb##*/rud_}
deb_version=${deb_version%_"$arch".deb}
zip=$root/build/win32/packages/rud-${version}-win32.zip
[[ -f $deb ]] || die "missing build/native/packages/rud_${version}-<release>_${arch}.deb (cpack --preset native)"
[[ -f $zip ]] || die "missing $zip (cpack --preset win32)"

# expect_same WHAT EXPECTED FOUND
expect_same() {
  if [[ $2 != "$3" ]]; then
    fail "$1"$'\n'"  expected:"$'\n'"$(sed 's/^/    /' <<<"$2")"$'\n'"  found:"$'\n'"$(sed 's/^/    /' <<<"$3")"
  fi
}

# The manual page renders with man-db and groff, with every groff warning
# switched on, and shows its accented text intact.
check_man_page() {
  local page=$1 out=$work/man.out err=$work/man.err
  if ! MANPAGER=cat MAN_DISABLE_SECCOMP=1 LC_ALL=C.UTF-8 MANWIDTH=80 \
    man --warnings=w -E UTF-8 -l "$page" >"$out" 2>"$err"; then
    fail "man -l $page failed: $(cat "$err")"
    return
  fi
  if [[ -s $err ]]; then
    fail "man -l $page warns:"$'\n'"$(cat "$err")"
  fi
  if ! grep -q '^NAME$' "$out"; then
    fail "man -l $page: no NAME section in the rendered page"
  fi
  if ! grep -qF 'ZARVEK RUD: SERVICIO DE ACTUALIZACIÓN DE PROGRAMAS VERSIÓN' "$out"; then
    fail "man -l $page: the banner is missing or its accents are garbled"
  fi
}

# --- cmake --install -------------------------------------------------------

# installed_files BUILD: the files and their modes a plain install lays down.
installed_files() {
  local prefix=$work/install-$1
  cmake --install "$root/build/$1" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    die "cmake --install build/$1 failed:"$'\n'"$(cat "$work/install.log")"
  (cd "$prefix" && find . -type f -printf '%m %P\n' | LC_ALL=C sort -k2)
}
expect_same "cmake --install build/native" \
  "755 bin/rud"$'\n'"644 share/man/man1/rud.1" "$(installed_files native)"
expect_same "cmake --install build/win32" "755 bin/rud.exe" "$(installed_files win32)"

check_man_page docs/rud.1

# --- the Debian package ----------------------------------------------------

deb_name=${deb##*/}
for pair in "Package=rud" "Version=$deb_version" "Architecture=$arch" \
  "Maintainer=ZARVEK <soporte@zarvek.example>" \
  "Section=utils" "Priority=optional"; do
  field=${pair%%=*}
  expect_same "$deb_name: field $field" "${pair#*=}" "$(dpkg-deb -f "$deb" "$field")"
done
description=$(dpkg-deb -f "$deb" Description)
[[ $description == "ZARVEK program update service"$'\n'* ]] ||
  fail "$deb_name: the description lacks its summary or its long text: $description"
# dpkg-shlibdeps names the C library, and nothing but shared libraries.
depends=$(dpkg-deb -f "$deb" Depends)
if [[ $depends != *"libc6 (>= "* ]]; then
  fail "$deb_name: Depends does not name libc6: '$depends'"
fi
while read -r dependency; do
  if ! [[ $dependency =~ ^lib[a-z0-9.+-]+( \([<>=]+ [^\)]+\))?$ ]]; then
    fail "$deb_name: Depends names '$dependency', not a shared library"
  fi
done < <(tr ',' '\n' <<<"$depends")

# Every file with its mode and owner; directories aside.
expect_same "$deb_name: its files" \
  "-rw-r--r-- root/root ./usr/share/doc/rud/changelog.Debian.gz
-rw-r--r-- root/root ./usr/share/doc/rud/copyright
-rw-r--r-- root/root ./usr/share/lintian/overrides/rud
-rw-r--r-- root/root ./usr/share/man/man1/rud.1.gz
-rwxr-xr-x root/root ./usr/bin/rud
-rwxr-xr-x root/root ./usr/share/doc/rud/examples/lanzar.sh" \
  "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | LC_ALL=C sort)"

# lintian, pedantic and with the informational tags: no error and no
# warning. What else it says is explained in README.md.
if ! lintian -I -E --pedantic "$deb" >"$work/lintian.log" 2>"$work/lintian.err"; then
  # lintian fails when it finds an error, and when it can't run at all.
  grep -qE '^E: ' "$work/lintian.log" || fail "$deb_name: lintian did not run: $(cat "$work/lintian.err")"
fi
if grep -qE '^[EW]: ' "$work/lintian.log"; then
  fail "$deb_name: lintian reports errors or warnings:"$'\n'"$(grep -E '^[EW]: ' "$work/lintian.log")"
fi

tree=$work/deb
dpkg-deb -x "$deb" "$tree"
dpkg-deb -e "$deb" "$work/control"
(cd "$tree" && md5sum --quiet -c "$work/control/md5sums") >"$work/md5.log" 2>&1 ||
  fail "$deb_name: its md5sums do not match its files:"$'\n'"$(cat "$work/md5.log")"

rud=$tree/usr/bin/rud
if [[ -x $rud ]]; then
  # (readelf's output is taken whole first: grep -q would end the pipe early.)
  sections=$(readelf -S --wide "$rud")
  if grep -qE '\.debug_|\.symtab|[[:space:]]\.comment[[:space:]]|[[:space:]]\.note[[:space:]]' <<<"$sections"; then
    fail "$deb_name: usr/bin/rud is not stripped of its symbols, .comment and .note"
  fi
  # Hardened as Debian builds: position-independent, relro, bound at once,
  # fortified calls.
  grep -qE 'Type:[[:space:]]+DYN' <<<"$(readelf -h "$rud")" || fail "$deb_name: usr/bin/rud is not PIE"
  grep -q 'GNU_RELRO' <<<"$(readelf -lW "$rud")" || fail "$deb_name: usr/bin/rud has no relro segment"
  grep -qE '\(FLAGS\).*BIND_NOW' <<<"$(readelf -dW "$rud")" ||
    fail "$deb_name: usr/bin/rud is not bound at once (-z now)"
  grep -qE '__[a-z_]+_chk@' <<<"$(readelf --dyn-syms -W "$rud" | grep -v __stack_chk_fail)" ||
    fail "$deb_name: usr/bin/rud calls no fortified function"
  # No arguments: the banner, the report of the missing server folder, no wait
  # for Enter on an empty standard input, exit code 1.
  status=0
  LC_ALL=C.UTF-8 timeout 20 "$rud" </dev/null >"$work/rud.out" 2>"$work/rud.err" || status=$?
  expect_same "$deb_name: exit code of usr/bin/rud without arguments" 1 "$status"
  expected_output=$(printf '%s\r\n' \
    "ZARVEK RUD: SERVICIO DE ACTUALIZACIÓN DE PROGRAMAS VERSIÓN $version" \
    "Exception: Error en la ruta de actualización." | od -An -c)
  expect_same "$deb_name: output of usr/bin/rud without arguments" \
    "$expected_output" "$(od -An -c "$work/rud.out")"
  if [[ -s $work/rud.err ]]; then
    fail "$deb_name: usr/bin/rud wrote to standard error: $(cat "$work/rud.err")"
  fi
else
  fail "$deb_name: usr/bin/rud is missing or not executable"
fi

man_gz=$tree/usr/share/man/man1/rud.1.gz
if [[ -f $man_gz ]]; then
  if gzip -t "$man_gz" 2>/dev/null; then
    gzip -dc "$man_gz" | cmp -s - docs/rud.1 || fail "$deb_name: rud.1.gz is not docs/rud.1"
    check_man_page "$man_gz"
  else
    fail "$deb_name: rud.1.gz is not a gzip file"
  fi
fi

example=$tree/usr/share/doc/rud/examples/lanzar.sh
if [[ -f $example ]] && ! cmp -s "$example" examples/lanzar.sh; then
  fail "$deb_name: lanzar.sh is not examples/lanzar.sh"
fi

# --- the Windows ZIP -------------------------------------------------------

zip_name=${zip##*/}
top=${zip_name%.zip}
if ! unzip -tq "$zip" >/dev/null 2>&1; then
  fail "$zip_name: unzip -t finds it damaged"
fi
expect_same "$zip_name: its files" \
  "$top/LEEME.txt"$'\n'"$top/SHA256SUMS"$'\n'"$top/lanzar.cmd"$'\n'"$top/registrar-eventos.cmd"$'\n'"$top/rud.exe" \
  "$(unzip -Z1 "$zip" | grep -v '/$' | LC_ALL=C sort)"

unzip -q "$zip" -d "$work/zip"
unpacked=$work/zip/$top

# The administrators' text: docs/LEEME.txt with this version, CR LF.
readme=$unpacked/LEEME.txt
if [[ -f $readme ]]; then
  if ! cmp -s <(tr -d '\r' <"$readme") <(sed "s/@PROJECT_VERSION@/$version/g" docs/LEEME.txt); then
    fail "$zip_name: LEEME.txt is not docs/LEEME.txt for version $version"
  fi
  if LC_ALL=C grep -qv $'\r$' "$readme"; then
    fail "$zip_name: LEEME.txt has lines that do not end in CR LF"
  fi
fi

# SHA256SUMS: every other file of the folder, accepted by sha256sum -c, and
# the same file beside the ZIP.
sums=$unpacked/SHA256SUMS
if [[ -f $sums ]]; then
  (cd "$unpacked" && sha256sum --strict -c SHA256SUMS) >"$work/sums.log" 2>&1 ||
    fail "$zip_name: sha256sum -c SHA256SUMS fails:"$'\n'"$(cat "$work/sums.log")"
  expect_same "$zip_name: the files SHA256SUMS names" "LEEME.txt lanzar.cmd registrar-eventos.cmd rud.exe" \
    "$(awk '{ print $2 }' "$sums" | xargs)"
  beside=${zip%.zip}.SHA256SUMS
  if [[ ! -f $beside ]]; then
    fail "no ${beside#"$root"/} beside the ZIP"
  elif ! cmp -s "$beside" "$sums"; then
    fail "${beside#"$root"/} is not the ZIP's SHA256SUMS"
  fi
fi
for command in lanzar.cmd registrar-eventos.cmd; do
  if [[ -f $unpacked/$command ]]; then
    if ! cmp -s <(tr -d '\r' <"$unpacked/$command") <(tr -d '\r' <"examples/$command"); then
      fail "$zip_name: $command is not examples/$command"
    fi
    if LC_ALL=C grep -qv $'\r$' "$unpacked/$command"; then
      fail "$zip_name: $command has lines that do not end in CR LF"
    fi
  fi
done

# rud.exe: a 32-bit console program that needs no DLL from MinGW, carrying its
# version resource (type 16) with this version in the fixed part and in the
# strings.
exe=$unpacked/rud.exe
if [[ -f $exe ]]; then
  headers=$(i686-w64-mingw32-objdump -p "$exe")
  if ! grep -q 'file format pei-i386' <<<"$headers"; then
    fail "$zip_name: rud.exe is not a 32-bit PE file"
  fi
  if ! grep -qE '^Subsystem[[:space:]]+00000003' <<<"$headers"; then
    fail "$zip_name: rud.exe is not a console program"
  fi
  runtime_dlls=$(grep -E 'DLL Name: .*(stdc\+\+|libgcc|winpthread)' <<<"$headers" || true)
  if [[ -n $runtime_dlls ]]; then
    fail "$zip_name: rud.exe needs MinGW DLLs:"$'\n'"$runtime_dlls"
  fi
  if ! sed -n '/^The \.rsrc Resource Directory section/,$p' <<<"$headers" |
    grep -q 'Entry: ID: 0x000010,'; then
    fail "$zip_name: rud.exe has no version resource"
  fi
  # The message table (type 11) the Event Viewer formats rud's events with.
  if ! sed -n '/^The \.rsrc Resource Directory section/,$p' <<<"$headers" |
    grep -q 'Entry: ID: 0x00000b,'; then
    fail "$zip_name: rud.exe has no message table"
  fi

  # VS_FIXEDFILEINFO: after its signature 0xFEEF04BD and its structure
  # version come the file version (most, then least significant half) and the
  # product version, each part a 16-bit number.
  IFS=. read -r v1 v2 v3 v4 <<<"$version"
  four_parts=$(printf '%04x%04x %04x%04x' "${v1:-0}" "${v2:-0}" "${v3:-0}" "${v4:-0}")
  # The signature is looked for in the resource section only: the code that
  # reads version resources holds the same four bytes.
  read -r rsrc_size rsrc_offset < <(i686-w64-mingw32-objdump -h "$exe" |
    awk '$2 == ".rsrc" { print "0x" $3, "0x" $6 }') || true
  signature=
  if [[ -n ${rsrc_offset:-} ]]; then
    signature=$(LC_ALL=C grep -obUaP '\xbd\x04\xef\xfe' "$exe" | cut -d: -f1 |
      awk -v low=$((rsrc_offset)) -v high=$((rsrc_offset + rsrc_size)) \
        '$1 >= low && $1 < high { print; exit }')
  fi
  if [[ -z $signature ]]; then
    fail "$zip_name: rud.exe has no fixed version information"
  else
    fixed=$(od -An -v -tx4 --endian=little -j $((signature + 8)) -N 16 "$exe" | xargs)
    expect_same "$zip_name: rud.exe's fixed file and product versions" \
      "$four_parts $four_parts" "$fixed"
  fi

  # The version resource's strings, one a line (keys and values are
  # NUL-ended UTF-16; a key's line starts with its block's header words).
  # (iconv -c fails for the binary words it leaves out.)
  { wrestool -x --raw -t 16 "$exe" | iconv -c -f UTF-16LE -t UTF-8 || true; } |
    tr -s '\0' '\n' >"$work/exe.strings"
  for pair in "CompanyName=ZARVEK" "FileVersion=$version" "ProductVersion=$version" \
    "ProductName=ZARVEK" "InternalName=rud" "OriginalFilename=rud.exe" \
    "FileDescription=ZARVEK RUD: servicio de actualización de programas" \
    "LegalCopyright=© ZARVEK. Todos los derechos reservados."; do
    awk -v key="${pair%%=*}" -v value="${pair#*=}" \
      'ends_in_key && $0 == value { found = 1 }
       { ends_in_key = length($0) >= length(key) && substr($0, length($0) - length(key) + 1) == key }
       END { exit !found }' \
      "$work/exe.strings" ||
      fail "$zip_name: rud.exe's version strings lack ${pair%%=*} '${pair#*=}'"
  done

  # The application manifest (resource 1 of type 24): asInvoker, Windows 7,
  # 8, 8.1 and 10/11, and no activeCodePage, which would change the code page
  # of redirected output.
  manifest=$(wrestool -x --raw -t 24 -n 1 "$exe" 2>/dev/null || true)
  if [[ -z $manifest ]]; then
    fail "$zip_name: rud.exe has no application manifest"
  else
    for wanted in 'level="asInvoker"' \
      'supportedOS Id="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"' \
      'supportedOS Id="{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"' \
      'supportedOS Id="{1f676c76-80e1-4239-95bb-83d0f6d0da78}"' \
      'supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"'; do
      grep -qF "$wanted" <<<"$manifest" || fail "$zip_name: rud.exe's manifest lacks $wanted"
    done
    if grep -q '<activeCodePage' <<<"$manifest"; then
      fail "$zip_name: rud.exe's manifest sets an activeCodePage"
    fi
  fi
fi

if ((failures)); then
  die "$failures check(s) failed"
fi
echo "check-packages: ${deb#"$root"/} and ${zip#"$root"/} hold what they should" >&2
if [[ -s $work/lintian.log ]]; then
  echo "check-packages: lintian -I -E --pedantic says:" >&2
  sed 's/^/  /' "$work/lintian.log" >&2
else
  echo "check-packages: lintian -I -E --pedantic finds nothing to say" >&2
fi
