#!/usr/bin/env bash
# Checks that the qvzel binary imports the library's nine functions from
# libqvzelif.so.1 and defines none of them itself.
set -euo pipefail
tool=$1
# Listings are taken whole first: grep -q leaves a pipe early, and the writer's
# SIGPIPE would fail the pipeline under pipefail.
needed=$(readelf -d "$tool")
imported=$(nm -D --undefined-only "$tool")
defined=$(nm --defined-only "$tool")
grep -q 'NEEDED.*\[libqvzelif\.so\.1\]' <<<"$needed" || { echo "qvzel does not need libqvzelif.so.1"; exit 1; }
for f in openList closeList getNthItem getU32Attribute getStringAttribute getControllerIDSELMap; do
  grep -q " nQVPXIFINDER100_$f\$" <<<"$imported" || { echo "nQVPXIFINDER100_$f is not imported"; exit 1; }
done
for f in openDevice closeDevice updateFirmware; do
  grep -q " nQVPXIKTFINDER100_$f\$" <<<"$imported" || { echo "nQVPXIKTFINDER100_$f is not imported"; exit 1; }
done
if grep -q ' nQVPXI' <<<"$defined"; then
  echo "qvzel defines library functions itself:"; grep ' nQVPXI' <<<"$defined"; exit 1
fi
echo "qvzel imports the nine functions from libqvzelif.so.1"
