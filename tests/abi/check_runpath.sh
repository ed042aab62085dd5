#!/bin/sh
# SPDX-License-Identifier: LGPL-2.1-or-later
# Every ELF file of the build tree: no empty element in its RUNPATH or RPATH
# (an empty element makes the current directory a library search path), and
# no element that is "." or relative. Argument: the build directory.
set -u
build=$1
checked=0 bad=0
for file in $(find "$build" -type f \( -perm -u+x -o -name '*.so' -o -name '*.so.*' \) \
    -not -path '*/CMakeFiles/*'); do
  head -c 4 "$file" 2>/dev/null | grep -q 'ELF' || continue
  checked=$((checked + 1))
  paths=$(readelf -d "$file" 2>/dev/null |
    sed -n 's/.*(R\(UN\)\{0,1\}PATH).*path: \[\(.*\)\]$/\2/p')
  for path in $paths; do
    case ":$path:" in
      *::*) echo "empty element: $file: $path"; bad=$((bad + 1)); continue ;;
    esac
    old_ifs=$IFS IFS=:
    for element in $path; do
      case $element in
        /* | '$ORIGIN' | '$ORIGIN'/*) ;;
        *) echo "relative element '$element': $file: $path"; bad=$((bad + 1)) ;;
      esac
    done
    IFS=$old_ifs
  done
done
echo "$checked ELF files checked, $bad bad run paths"
[ "$checked" -gt 0 ] && [ "$bad" -eq 0 ]
