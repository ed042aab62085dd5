#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Checks that the qvzel binary imports the library's nine functions from
# libqvzelif.so.1 (version node QVZELIF_1.0), defines none of them itself, and
# holds nothing of the library's core but its firmware image module and its
# slot path (cSlotPath with the character buffer it writes into).
# Arguments: QVZEL [LINK_LIBRARIES...] (the libraries the build links the
# tool and its toolkit with).
set -euo pipefail
tool=$1
shift
for library in "$@"; do
  case $library in
    *qvzelif_core*) echo "qvzel is linked with the library's core ($library)"; exit 1 ;;
  esac
done
# Listings are taken whole first: grep -q leaves a pipe early, and the writer's
# SIGPIPE would fail the pipeline under pipefail.
needed=$(readelf -d "$tool")
imported=$(nm -D --undefined-only "$tool")
defined=$(nm --defined-only "$tool")
symbols=$(nm -C "$tool")
grep -q 'NEEDED.*\[libqvzelif\.so\.1\]' <<<"$needed" || { echo "qvzel does not need libqvzelif.so.1"; exit 1; }
for f in openList closeList getNthItem getU32Attribute getStringAttribute getControllerIDSELMap; do
  grep -q " nQVPXIFINDER100_$f@QVZELIF_1\.0\$" <<<"$imported" || { echo "nQVPXIFINDER100_$f is not imported"; exit 1; }
done
for f in openDevice closeDevice updateFirmware; do
  grep -q " nQVPXIKTFINDER100_$f@QVZELIF_1\.0\$" <<<"$imported" || { echo "nQVPXIKTFINDER100_$f is not imported"; exit 1; }
done
if grep -q ' nQVPXI' <<<"$defined"; then
  echo "qvzel defines library functions itself:"; grep ' nQVPXI' <<<"$defined"; exit 1
fi
# Classes and modules that only the core has: the session manager, devices,
# driver access, the PCI bridge binding, the INI engine, the standard paths.
core='nQVZEL_15_0::(cSessionManager|iZelDevice|cUpstreamZelDevice|cPxi1ZelControllerDevice)|nQVKORA000::|nQvPciBrdWrapper_15_0::|cIniFile|nIniDetail::|StandardPaths|jsonz_|qvdynlib_'
if grep -Eq "$core" <<<"$symbols"; then
  echo "qvzel holds code of the library's core:"; grep -E "$core" <<<"$symbols" | head; exit 1
fi
echo "qvzel imports the nine functions from libqvzelif.so.1 and links no core code"
