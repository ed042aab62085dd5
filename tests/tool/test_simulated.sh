#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# The tool on simulated systems (simulated PCI bridge library and kernel
# driver): list, tree, JSON, show, idsel, update refusals and success.
# Arguments: QVZEL CHECK_JSON QVSIM_RUN COMPANIONS_DIR
# Exits with 77 (skipped) when the machine refuses the simulator's namespace.
set -uo pipefail
QVZEL=$1 CHECK_JSON=$2 QVSIM_RUN=$3 COMPANIONS=$4
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=testlib.sh
. "$here/testlib.sh"
topology=$here/systems/topology.ini
log=$work/log
mkdir -p "$log"

# sim SYSTEM EXPECTED_EXIT ARGS...: the tool inside a simulated system.
sim() {
  local system=$1 expected=$2; shift 2
  local status=0
  "$QVSIM_RUN" "$system" --log-dir "$log" --lib-dir "$COMPANIONS" -- "$QVZEL" "$@" \
    >"$work/out" 2>"$work/err" </dev/null || status=$?
  if [ "$status" -eq 77 ]; then
    echo "SKIP: the simulated driver cannot run here: $(cat "$work/err")"
    exit 77
  fi
  if [ "$status" -ne "$expected" ]; then
    fail "qvzel $* on $(basename "$system") exited with $status, expected $expected"
    sed 's/^/  stdout: /' "$work/out" | head -n 30
    sed 's/^/  stderr: /' "$work/err" | head -n 30
  fi
}

writes() { grep -c '^write ' "$log/card0.writes" 2>/dev/null || true; }

# --- list ------------------------------------------------------------------
sim "$topology" 0 list
for text in "QV PXI-2250 Integrated ZEL Express" "QV PXI-4125" "QV PXI-4130" "QV PXIe-6510" \
            "QV PXIe-6550" "MR00:00,00,E0" "13:00.0" "1f3c:5a31" "01A2B3C4" "410733-01" \
            "IDT00042" "port 3: number 1, link width x4, link speed Gen1 2.5 GT/s" \
            "port 4: number 0, link width x4, link speed unknown (code 19)" \
            "link status Gen3 8 GT/s x4, link speed Gen3 8 GT/s" "ports 4, port width x4" \
            "below: item 5, port 1" "below: item 5, port 3" "below: item 4, port 1" \
            "below: not below a listed upstream port" "integrated yes"; do
  contains out "$text"
done
awk 'length($0) > 80 { bad = 1 } END { exit bad }' "$work/out" || fail "list is wider than 80 columns"

sim "$topology" 0 list --tree
python3 - "$work/out" <<'PY' || fail "the tree does not place the controllers below their ports"
import sys
lines = open(sys.argv[1]).read().splitlines()
def at(text, start=0):
    return next(i for i in range(start, len(lines)) if text in lines[i])
idt, card = at("[4] upstream QV PXIe-6510"), at("[5] upstream QV PXIe-6550")
assert idt < at("port 1", idt) < at("[1] controller") < card
port1, port2, port3, port4 = (at(f"port {n}", card) for n in (1, 2, 3, 4))
assert port1 < at("[2] controller") < port2
assert port3 < at("[3] controller") < port4
assert at("Not below a listed upstream port:") < at("[0] controller")
PY

sim "$topology" 0 list --json
valid_json
json_is itemCount 6
json_is items.0.controller.integrated true
json_is items.0.controller.below null
json_is items.1.model "QV PXI-4125"
json_is items.1.controller.below.item 4
json_is items.2.controller.below.portName 1
json_is items.3.controller.below.portIndex 2
json_is items.3.controller.bridgePort 65539
json_is items.4.upstream.serialNumber IDT00042
json_is items.4.upstream.portWidth null
json_is items.5.slotPath "MR00:00,00,E0"
json_is items.5.pci.address "13:00.0"
json_is items.5.vendorId 7996
json_is items.5.productId 23089
json_is items.5.upstream.partNumber 410733-01
json_is items.5.upstream.linkStatus 67
json_is items.5.upstream.linkStatusWidth 4
json_is items.5.upstream.linkSpeedText "Gen3 8 GT/s"
json_is items.5.upstream.ports.3.linkSpeed 19
json_is items.5.driverValues null

# No link hardware: a clear line and exit 0; the same for the JSON form.
sim "$here/systems/empty.ini" 0 list
contains out "No link device found"
sim "$here/systems/empty.ini" 0 list --tree
contains out "No link device found"
sim "$here/systems/empty.ini" 0 list --json
valid_json
json_is itemCount 0

# Without the PCI bridge library the list cannot be opened: exit 1 with the code.
status=0
QVPCIBRD_SYSTEM=$topology LD_LIBRARY_PATH=/nonexistent "$QVZEL" list >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 1 ] || fail "list without libqvpcibrd.so.1 exited with $status"
contains err "the PCI bridge library libqvpcibrd.so.1 is not installed; install the package libqvpcibrd1-sysfs"
contains err "qvzel: status -52005 (QVZEL_ERR_INVALID_PARAMETER)"

# A serial number with an escape sequence is shown escaped, never raw.
sed 's/^serialNumber = 01A2B3C4$/deviceProperty.serialNumber = 1B 5B 33 31 6D 41 00/' \
  "$topology" >"$work/escape.ini"
sim "$work/escape.ini" 0 list
contains out 'serial \x1B[31mA'
lacks out "$(printf '\033')"

# --- show and idsel --------------------------------------------------------
sim "$topology" 0 show serial:01A2B3C4
for text in "Model:" "QV PXIe-6550" "Serial number:" "Firmware version:" "0x100" \
            "0x9D17 (ISSI)" "Card subsystem ID:" "0x5A31" "Port 4:"; do
  contains out "$text"
done
sim "$topology" 0 show MR00:20,00,E8 --json
valid_json
json_is item.index 4
json_is item.driverValues.openStatus.name QVZEL_ERR_NOT_FOUND
json_is item.driverValues.firmwareVersion null
sim "$topology" 0 show 5 --json
valid_json
json_is item.driverValues.flashType ISSI
json_is item.driverValues.cardSubsystemId 23089
json_is item.driverValues.driverValueF0 6
sim "$topology" 0 show 2
contains out "Below:"
contains out "item 5, port 1"
sim "$topology" 1 show 9
contains err "there is no item '9': the list holds items 0 to 5"
sim "$topology" 1 show NOSUCHSERIAL
contains err "no listed item has the slot path or serial number 'NOSUCHSERIAL'"

sim "$topology" 0 idsel mr00:00,00,00,e0
contains out "16  0xFF (no slot)"
contains out "17  1"
contains out "31  15"
sim "$topology" 0 idsel 0 --json
valid_json
json_is map.16 255
json_is map.17 1
sim "$topology" 1 idsel 5
contains err "item 5 is not a link controller"

# --- diagnose --------------------------------------------------------------
# A controller file with a good section, one whose slot path names no bridge
# and one that lacks a key: each problem is named.
mkdir -p "$work/state/qvpxi"
printf '[Good]\nVendorName = V\nModelName = M\nSlotPath = MR00:00,00,E0\n[Nowhere]\nVendorName = V\nModelName = M\nSlotPath = MR00:1F,1F,E0\n[Lacking]\nVendorName = V\nSlotPath = MR00:00,00,E0\n' \
  >"$work/state/qvpxi/pxicontrollers.ini"
export QVRELOC_SHAREDSTATEDIR=$work/state
sim "$topology" 0 diagnose
for text in "loaded from " "every entry point present" "nQVZEL_1_0_Cyclone4UpstreamZEL: 1" \
            "/proc/driver/qvsim/dev/card0, readable and writable" \
            "$work/state/qvpxi/pxicontrollers.ini" "3 sections [Good], [Nowhere], [Lacking]" \
            "problem: section [Lacking] lacks ModelName" \
            "the slot path MR00:1F,1F,E0 names no PCI bridge of this machine" \
            "QV PXIe-6510 (upstream), driver interfaces nQVZEL_1_0_IdtUpstreamZEL with PCI IDs 111d:8088, subsystem 1f3c:5a10: 1 found" \
            "QV PXI-4125 (controller), PCI IDs 12d8:e112, subsystem 1f3c:4125: 1 found" \
            "QV PXIe-6540 (upstream), driver interfaces nQVZEL_1_0_IdtUpstreamZEL with PCI IDs 111d:8088, subsystem 1f3c:5a13: none found" \
            "2 upstream link devices, 5 link controllers"; do
  contains out "$text"
done
awk 'length($0) > 80 { bad = 1 } END { exit bad }' "$work/out" || fail "diagnose is wider than 80 columns"
sim "$topology" 0 diagnose --json
valid_json
json_is bridgeLibrary.missingEntryPoints "[]"
json_is driver.loaded true
json_is driver.classes.0.interfaces 1
json_is models.13.found 1
json_is list.controllers 5
unset QVRELOC_SHAREDSTATEDIR

# --- update ----------------------------------------------------------------
image() {  # image FILE VERSION [TYPE] [SUBSYSTEM]
  section "${3:-ISSIFlashFWUpdate}" "$2" 741236882 3 "${4:-5A31}" >"$1"
}
image "$work/same.img" 100
image "$work/newer.img" 101
image "$work/sst.img" 101 SSTFlashFWUpdate
image "$work/other.img" 101 ISSIFlashFWUpdate 5A10

sim "$topology" 1 update 5 "$work/same.img" --yes
contains out "Installed firmware version: 0x100"
contains out "Image firmware version:     0x100"
contains out "ISSI (flash ID 0x9D17)"
contains err "the image is not newer than the installed version; use --force to reinstall it; nothing was written."
[ "$(writes)" = 0 ] || fail "a refused update wrote to the card"

sim "$topology" 1 update serial:01A2B3C4 "$work/newer.img"
contains err "add --yes to write without asking"
[ "$(writes)" = 0 ] || fail "an unconfirmed update wrote to the card"

sim "$topology" 1 update 5 "$work/sst.img" --yes
contains err "the image holds no section for this card's flash memory, ISSI (flash ID 0x9D17)"
sim "$topology" 1 update 5 "$work/other.img" --yes
contains err "the image is made for subsystem ID 0x5A10, but this card reports 0x5A31"
sim "$topology" 1 update 2 "$work/newer.img" --yes
contains err "item 2 is not an upstream link device"
sim "$topology" 1 update 4 "$work/newer.img" --yes
contains err "cannot open item 4 through the kernel driver; nothing was written."
contains err "QVZEL_ERR_NOT_FOUND"

sim "$topology" 0 update MR00:00,00,E0 "$work/newer.img" --yes
contains out "Firmware version 0x101 written into item 5"
[ "$(writes)" = 1 ] || fail "the update wrote $(writes) times, expected once"
grep -q '^write length=3 pinOutAddr=0x00000010 pinOutVer=0x00000002 offset=0x00000000' \
  "$log/card0.writes" || fail "the write log lacks the expected request: $(cat "$log/card0.writes")"
grep -q '^bytes 616263$' "$log/card0.writes" || fail "the card did not get the decoded payload"

sim "$topology" 0 update 5 "$work/same.img" --yes --force
contains out "Firmware version 0x100 written into item 5"

# The driver fails the write: the code is reported, the device still closed.
{ cat "$topology"; echo "firmwareStatus = -52024"; } >"$work/failing.ini"
sim "$work/failing.ini" 1 update 5 "$work/newer.img" --yes
contains err "the firmware update failed in the driver"
contains err "status -52024 (QVZEL_ERR_IO): An input/output error occurred."

# A warning the driver returns with the write is shown; the update succeeded.
{ cat "$topology"; echo "firmwareStatus = 52007"; } >"$work/warning.ini"
sim "$work/warning.ini" 0 update 5 "$work/newer.img" --yes
contains out "Firmware version 0x101 written into item 5"
contains err "warning: the driver answered the write with a warning"
contains err "status 52007 (QVZEL_WARN_UNKNOWN)"

finish
