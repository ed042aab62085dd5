#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Checks the ABI of the built library: its SONAME, and that its dynamic symbol
# table defines exactly the nine functions (no other symbol, no C++ symbol),
# each as the default version of the version node QVZELIF_1.0.
set -euo pipefail
lib=$1
soname=$(readelf -d "$lib" | sed -n 's/.*(SONAME).*\[\(.*\)\].*/\1/p')
if [ "$soname" != "libqvzelif.so.1" ]; then
  echo "SONAME is '$soname', expected libqvzelif.so.1"; exit 1
fi
expected="nQVPXIFINDER100_closeList
nQVPXIFINDER100_getControllerIDSELMap
nQVPXIFINDER100_getNthItem
nQVPXIFINDER100_getStringAttribute
nQVPXIFINDER100_getU32Attribute
nQVPXIFINDER100_openList
nQVPXIKTFINDER100_closeDevice
nQVPXIKTFINDER100_openDevice
nQVPXIKTFINDER100_updateFirmware"
node=QVZELIF_1.0
# Defined symbols only (undefined ones are the library's own imports); the
# version node itself is listed as an absolute symbol of its own name.
symbols=$(nm -D --defined-only "$lib")
grep -q " A $node\$" <<<"$symbols" || { echo "the version node $node is not defined"; exit 1; }
actual=$(awk -v node="$node" '$3 != node {print $3}' <<<"$symbols" | sed 's/@.*//' | sort)
if [ "$actual" != "$expected" ]; then
  echo "exported symbols differ from the nine functions:"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
for f in $expected; do
  grep -q " T $f@@$node\$" <<<"$symbols" || { echo "$f is not a defined function of $node"; exit 1; }
done
echo "SONAME and the nine exported functions of $node are as expected"
