#!/usr/bin/env bash
# Checks that the qvzel binary imports the library's nine functions from
# libqvzelif.so.1 and defines none of them itself.
set -euo pipefail
tool=$1
readelf -d "$tool" | grep -q 'NEEDED.*\[libqvzelif\.so\.1\]' || { echo "qvzel does not need libqvzelif.so.1"; exit 1; }
for f in openList closeList getNthItem getU32Attribute getStringAttribute getControllerIDSELMap; do
  nm -D --undefined-only "$tool" | grep -q " nQVPXIFINDER100_$f\$" || { echo "nQVPXIFINDER100_$f is not imported"; exit 1; }
done
for f in openDevice closeDevice updateFirmware; do
  nm -D --undefined-only "$tool" | grep -q " nQVPXIKTFINDER100_$f\$" || { echo "nQVPXIKTFINDER100_$f is not imported"; exit 1; }
done
if nm --defined-only "$tool" | grep -q ' nQVPXI'; then
  echo "qvzel defines library functions itself:"; nm --defined-only "$tool" | grep ' nQVPXI'; exit 1
fi
echo "qvzel imports the nine functions from libqvzelif.so.1"
