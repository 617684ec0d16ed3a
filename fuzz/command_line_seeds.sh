#!/usr/bin/env bash
# Writes the seeds of fuzz_command_line into the folder given (normally
# fuzz/corpus/command_line). The first byte of each seed picks its form (see
# command_line_fuzzer.cpp): \0 a command line one byte per unit, \1 a
# command line in UTF-16LE.
#
#   bash fuzz/command_line_seeds.sh fuzz/corpus/command_line
set -euo pipefail
out=${1:?usage: $0 <folder>}
mkdir -p "$out"

line() { printf '\0%s' "$2" >"$out/$1"; }

# The splitting rules, one case each.
line blanks           'rud D:\upd  X01'
line quoted_folder    'rud "D:\upd dir\" X01'
line inner_stretch    'rud a"b c"d'
line pair_in_gap      'rud "" X01'
line pair_at_end      'rud X01 ""'
line three_quotes     'rud """abc"'
line unclosed         'rud "a b c'
line pair_inside      'rud a""b'
line lone_quote_end   'rud X01 "'
line quote_after_name 'rud" X01'
line controls         $'rud\ta\tb\n'
line empty            ''
line typical          'rud \\srv\upd XNMPAYRO'
printf '\0rud a\0b c' >"$out/nul_inside"
# Bytes from 0x80 up stand for the units at the edges of the classes.
printf '\0rud \x8b\x80x \x8c\x8dy \x82z' >"$out/edge_units"

# UTF-16LE: a no-break space, a surrogate pair and an unpaired half.
printf '\1r\0u\0d\0 \0\xa0\0x\0 \0\x3d\xd8\x00\xde \0\x00\xdc"\0' >"$out/utf16"
