#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Checks the ABI of the built library: its SONAME, and that its dynamic symbol
# table defines exactly the nine functions (no other symbol, no C++ symbol).
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
# Defined symbols only (undefined ones are the library's own imports).
actual=$(nm -D --defined-only "$lib" | awk '{print $3}' | sed 's/@.*//' | sort)
if [ "$actual" != "$expected" ]; then
  echo "exported symbols differ from the nine functions:"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
for f in $expected; do
  nm -D --defined-only "$lib" | grep -q " T $f\$" || { echo "$f is not a defined function"; exit 1; }
done
echo "SONAME and the nine exported functions are as expected"
