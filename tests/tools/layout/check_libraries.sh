#!/usr/bin/env bash
# usage: check_libraries.sh LAYOUT_DIR
# Static checks of the 78 layout libraries with binutils' objdump, independent of the
# project's own PE reader: the machine of the slot, entry point 0, no imported library, the
# export KbdLayerDescriptor, base relocations, the string resource, and the operating-system
# and subsystem versions of the slot's Windows. The IA64 cells are read by binutils-multiarch's
# objdump, which knows pei-ia64 (check_ia64_libraries.sh looks at their code).
# Exit 0 when all pass, 1 with one line per failure, 2 on bad usage.
set -u
[ $# -eq 1 ] || { echo "usage: $0 LAYOUT_DIR" >&2; exit 2; }
dir=$1
failures=0
fail() { echo "check_libraries: $*"; failures=$((failures + 1)); }

# slot -> format and version
declare -A format=([00]=pei-i386 [01]=pei-i386 [02]=pei-i386 [03]=pei-ia64 [04]=pei-x86-64 [05]=pei-i386
                   [06]=pei-ia64 [07]=pei-x86-64 [08]=pei-i386 [09]=pei-ia64 [10]=pei-x86-64 [11]=pei-i386
                   [12]=pei-x86-64)
declare -A version=([00]=5.0 [01]=5.1 [02]=5.2 [03]=5.2 [04]=5.2 [05]=6.0 [06]=6.0 [07]=6.0 [08]=6.1 [09]=6.1
                    [10]=6.1 [11]=6.2 [12]=6.2)

checked=0
for set in 0 1; do
  for row in 0 1 2; do
    for slot in 00 01 02 03 04 05 06 07 08 09 10 11 12; do
      f=$dir/s${set}r${row}c${slot}.dll
      [ -f "$f" ] || { fail "$f: missing"; continue; }
      objdump=x86_64-w64-mingw32-objdump
      [ "${format[$slot]}" = pei-ia64 ] && objdump=objdump
      h=$($objdump -p "$f" 2>&1) || { fail "$f: not a PE image"; continue; }
      grep -q "file format ${format[$slot]}\$" <<<"$h" || fail "$f: not ${format[$slot]}"
      grep -qE '^AddressOfEntryPoint[[:space:]]+0+$' <<<"$h" || fail "$f: entry point is not 0"
      grep -q 'DLL Name:' <<<"$h" && fail "$f: imports a library"
      grep -qE '^[[:space:]]+\[[[:space:]]*[0-9]+\] KbdLayerDescriptor$' <<<"$h" || fail "$f: does not export KbdLayerDescriptor"
      grep -qE '^Entry 5 [0-9a-f]+ 0*[1-9a-f]' <<<"$h" || fail "$f: no base relocations"
      grep -qE '^Entry 2 [0-9a-f]+ 0*[1-9a-f]' <<<"$h" || fail "$f: no resources"
      major=${version[$slot]%.*} minor=${version[$slot]#*.}
      for field in MajorOSystemVersion MajorSubsystemVersion; do
        grep -qE "^$field[[:space:]]+$major\$" <<<"$h" || fail "$f: $field is not $major"
      done
      for field in MinorOSystemVersion MinorSubsystemVersion; do
        grep -qE "^$field[[:space:]]+$minor\$" <<<"$h" || fail "$f: $field is not $minor"
      done
      grep -qE '^Subsystem[[:space:]]+00000002' <<<"$h" || fail "$f: subsystem is not Windows GUI"
      checked=$((checked + 1))
    done
  done
done
[ $checked -eq 78 ] || fail "checked $checked libraries instead of 78"
[ $failures -eq 0 ] || exit 1
echo "check_libraries: $checked libraries: ok"
