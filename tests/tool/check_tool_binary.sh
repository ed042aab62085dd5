#!/usr/bin/env bash
# Checks that the qvzel binary imports the library's nine functions from
# libqvzelif.so.1, defines none of them itself, and holds nothing of the
# library's core but its firmware image module.
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
# Classes and modules that only the core has: the session manager, devices,
# driver access, the PCI bridge binding, the INI engine and slot paths.
core='nQVZEL_15_0::(cSessionManager|iZelDevice|cUpstreamZelDevice|cPxi1ZelControllerDevice)|nQVKORA000::|nQvPciBrdWrapper_15_0::|cIniFile|cSlotPath|jsonz_|qvdynlib_'
if nm -C "$tool" | grep -Eq "$core"; then
  echo "qvzel holds code of the library's core:"; nm -C "$tool" | grep -E "$core" | head; exit 1
fi
echo "qvzel imports the nine functions from libqvzelif.so.1 and links no core code"
