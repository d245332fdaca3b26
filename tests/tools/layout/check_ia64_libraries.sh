#!/usr/bin/env bash
# usage: check_ia64_libraries.sh LAYOUT_DIR
# The 18 IA64 layout libraries as binutils-multiarch's objdump reads them, independent of the
# project's own PE reader: pei-ia64; .text disassembles to exactly one bundle
#   [MIB] nop.m 0x0 / addl r8=N,r1 / br.ret.sptk.many b0;;
# the export KbdLayerDescriptor is a function descriptor in .data whose first word is the
# address of that bundle and whose second is gp; gp+N is the top table; every base relocation
# is DIR64, and the descriptor's two words and the top table's pointers are among them.
# Exit 0 when all pass, 1 with one line per failure, 2 on bad usage.
set -u
[ $# -eq 1 ] || { echo "usage: $0 LAYOUT_DIR" >&2; exit 2; }
dir=$1
failures=0
fail() { echo "check_ia64_libraries: $*"; failures=$((failures + 1)); }

# The 64-bit little-endian word at file offset $2 of file $1, in decimal.
word() { printf '%d' "0x$(od -An -v -tx1 -j "$2" -N 8 "$1" | awk '{for (i = NF; i >= 1; --i) printf "%s", $i}')"; }

checked=0
for set in 0 1; do
  for row in 0 1 2; do
    for slot in 03 06 09; do
      f=$dir/s${set}r${row}c${slot}.dll
      [ -s "$f" ] || { fail "$f: missing or empty"; continue; }
      p=$(objdump -p "$f" 2>&1) || { fail "$f: objdump -p fails"; continue; }
      grep -q 'file format pei-ia64$' <<<"$p" || { fail "$f: not pei-ia64"; continue; }

      # The code: exactly three instructions in one bundle.
      d=$(objdump -d "$f" 2>&1)
      insns=$(grep -E '^[[:space:]]+[0-9a-f]+:' <<<"$d" | sed -E 's/^[[:space:]]+[0-9a-f]+:[[:space:]]+([0-9a-f]{2} )+[[:space:]]*//')
      n=$(grep -oE 'addl r8=-?[0-9]+,r1$' <<<"$insns" | sed -E 's/addl r8=(-?[0-9]+),r1/\1/')
      expected=$(printf '[MIB]       nop.m 0x0\naddl r8=%s,r1\nbr.ret.sptk.many b0;;' "$n")
      [ -n "$n" ] && [ "$insns" = "$expected" ] || { fail "$f: .text is not the one intended bundle:"$'\n'"$insns"; continue; }
      grep -qE '^[[:space:]]+[0-9a-f]+:[[:space:]]+11 00 00 00 01 00' <<<"$d" || fail "$f: bundle bytes"

      # Sections: address and file offset of .text and .data.
      h=$(objdump -h "$f")
      read -r text_vma text_off < <(awk '$2 == ".text" {print $4, $6}' <<<"$h")
      read -r data_vma data_size data_off < <(awk '$2 == ".data" {print $4, $3, $6}' <<<"$h")
      [ -n "${text_vma:-}" ] && [ -n "${data_vma:-}" ] || { fail "$f: no .text or .data"; continue; }
      base=$((0x$(awk '$1 == "ImageBase" {print $2}' <<<"$p")))
      text_vma=$((0x$text_vma)) data_vma=$((0x$data_vma)) data_size=$((0x$data_size)) data_off=$((0x$data_off))

      # The export: its RVA is the descriptor, inside .data.
      desc=$(awk '/Export RVA/ {print $(NF - 2)}' <<<"$p")
      [ -n "$desc" ] && grep -qE '^[[:space:]]+\[[[:space:]]*0\] KbdLayerDescriptor$' <<<"$p" || { fail "$f: no export"; continue; }
      desc=$((0x$desc))
      (( base + desc >= data_vma && base + desc + 16 <= data_vma + data_size )) || { fail "$f: descriptor not in .data"; continue; }
      entry=$(word "$f" $((data_off + base + desc - data_vma)))
      gp=$(word "$f" $((data_off + base + desc + 8 - data_vma)))
      [ "$entry" -eq "$text_vma" ] || fail "$f: descriptor entry $(printf %x "$entry") is not .text $(printf %x "$text_vma")"
      top=$((gp + n))
      (( top >= data_vma && top + 104 <= data_vma + data_size )) || { fail "$f: gp+N is not in .data"; continue; }

      # Relocations: all DIR64 (or padding); the descriptor and the top table's pointers listed.
      relocs=$(sed -n '/PE File Base Relocations/,$p' <<<"$p" | grep -E '^[[:space:]]+reloc')
      others=$(grep -vE '\] (DIR64|ABSOLUTE)$' <<<"$relocs")
      [ -z "$others" ] || fail "$f: relocations other than DIR64: $others"
      targets=$(grep -oE '\[[0-9a-f]+\] DIR64$' <<<"$relocs" | tr -d '[]' | awk '{print $1}')
      [ "$(wc -l <<<"$targets")" -gt 20 ] || fail "$f: too few relocations"
      rva_top=$((top - base))
      # top-table pointers: modifiers, character tables, key names, extended names, scan table,
      # E0 and E1 lists (offsets 0, 8, 24, 32, 48, 64, 72)
      for at in $desc $((desc + 8)) $rva_top $((rva_top + 8)) $((rva_top + 24)) $((rva_top + 32)) \
                $((rva_top + 48)) $((rva_top + 64)) $((rva_top + 72)); do
        grep -qx "$(printf %x "$at")" <<<"$targets" || fail "$f: no DIR64 relocation at RVA $(printf %x "$at")"
      done
      checked=$((checked + 1))
    done
  done
done
[ $checked -eq 18 ] || fail "checked $checked libraries instead of 18"
[ $failures -eq 0 ] || exit 1
echo "check_ia64_libraries: $checked libraries: ok"
