#!/bin/bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Builds a sysfs-like PCI tree from a readable description, the way Linux
# lays it out: function directories nested under devices/, relative links
# in bus/pci/devices and class/pci_bus, one small file per attribute.
#
#   mktree.sh DESCRIPTION OUTDIR
#
# Description lines ('#' starts a comment):
#   config 64|256|ff|none      default configuration space for later functions
#   root PATH                  a host bridge directory PATH (under devices/)
#                              whose last part is pciDDDD:BB: its root bus
#   fn PATH key=value ...      a function directory PATH (under devices/)
# Keys of fn:
#   class=0xCCSSPP ids=VVVV:DDDD sub=VVVV:DDDD
#   bus=SS        the bus below: pci_bus/DDDD:SS and its class/pci_bus link
#   vbus=SS       another bus entry in this directory: the virtual bus Linux
#                 makes for SR-IOV functions below the bridge (bus= first)
#   busfile=SS    a secondary_bus_number file
#   cfgbus=SS     secondary bus in the configuration space only
#   width=N speed=TEXT      current_link_width/current_link_speed ('_' = blank)
#   maxwidth=N    max_link_width, also the width in Link Capabilities
#   port=N        a PCI Express capability whose Link Capabilities hold port N
#                 (maximum width x4 unless maxwidth= or capwidth= says otherwise)
#   capwidth=N    the maximum width in Link Capabilities only (no file)
#   lnksta=0xNNNN its Link Status register (needs port=)
#   config=...    this function's configuration space, as for 'config', or
#                 'fifo': a named pipe that blocks whoever opens it to read
#   modalias=none no modalias file (it holds the class and the identifiers)
#   fifo=FILE,... these files of the function's directory are named pipes
#                 instead (what would block a reader that opens them)
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 DESCRIPTION OUTDIR" >&2
  exit 2
fi
l_Description=$1
l_Out=$2

rm -rf "$l_Out"
mkdir -p "$l_Out/devices" "$l_Out/bus/pci/devices" "$l_Out/class/pci_bus"

# Writes the bytes of the array l_Cfg (the first $1 of them) to file $2.
writeBytes() {
  local l_Format="" l_Byte l_Index
  for ((l_Index = 0; l_Index < $1; ++l_Index)); do
    printf -v l_Byte '\\%03o' "${l_Cfg[l_Index]}"
    l_Format+=$l_Byte
  done
  printf "$l_Format" > "$2"
}

setByte() { l_Cfg[$1]=$(( $2 & 0xFF )); }
setWord() { setByte "$1" "$2"; setByte $(( $1 + 1 )) $(( $2 >> 8 )); }
setLong() { setWord "$1" "$2"; setWord $(( $1 + 2 )) $(( $2 >> 16 )); }

busLink() {  # $1 = directory path under devices/, $2 = bus name DDDD:BB
  mkdir -p "$l_Out/devices/$1/pci_bus/$2"
  ln -s "../../devices/$1/pci_bus/$2" "$l_Out/class/pci_bus/$2"
}

l_DefaultConfig=256
l_LineNumber=0
while IFS= read -r l_Line || [ -n "$l_Line" ]; do
  l_LineNumber=$(( l_LineNumber + 1 ))
  l_Line=${l_Line%%#*}
  read -r -a l_Words <<< "$l_Line" || true
  [ ${#l_Words[@]} -eq 0 ] && continue
  case ${l_Words[0]} in
    config)
      l_DefaultConfig=${l_Words[1]}
      ;;
    root)
      l_Path=${l_Words[1]}
      l_Name=${l_Path##*/}
      busLink "$l_Path" "${l_Name#pci}"
      ;;
    fn)
      l_Path=${l_Words[1]}
      l_Name=${l_Path##*/}
      l_Dir="$l_Out/devices/$l_Path"
      mkdir -p "$l_Dir"
      ln -s "../../../devices/$l_Path" "$l_Out/bus/pci/devices/$l_Name"
      l_Domain=${l_Name%%:*}
      l_Own=${l_Name#*:}
      l_Own=${l_Own%%:*}
      l_Class=0 l_Vendor=0xffff l_Device=0xffff l_SubVendor=0 l_Sub=0
      l_Secondary="" l_Port="" l_LinkStatus=0 l_Config=$l_DefaultConfig l_Modalias=yes l_Fifos=""
      l_CapWidth=4
      for l_Pair in "${l_Words[@]:2}"; do
        l_Key=${l_Pair%%=*}
        l_Value=${l_Pair#*=}
        case $l_Key in
          class) l_Class=$l_Value ;;
          ids) l_Vendor=0x${l_Value%%:*} l_Device=0x${l_Value#*:} ;;
          sub) l_SubVendor=0x${l_Value%%:*} l_Sub=0x${l_Value#*:} ;;
          bus) busLink "$l_Path" "$l_Domain:$l_Value"; l_Secondary=0x$l_Value ;;
          vbus) busLink "$l_Path" "$l_Domain:$l_Value" ;;
          busfile) echo $(( 0x$l_Value )) > "$l_Dir/secondary_bus_number"; l_Secondary=0x$l_Value ;;
          cfgbus) l_Secondary=0x$l_Value ;;
          width) echo "$l_Value" > "$l_Dir/current_link_width" ;;
          speed) echo "${l_Value//_/ }" > "$l_Dir/current_link_speed" ;;
          maxwidth) echo "$l_Value" > "$l_Dir/max_link_width"; l_CapWidth=$l_Value ;;
          capwidth) l_CapWidth=$l_Value ;;
          port) l_Port=$l_Value ;;
          lnksta) l_LinkStatus=$l_Value ;;
          config) l_Config=$l_Value ;;
          modalias) l_Modalias=$l_Value ;;
          fifo) l_Fifos=${l_Value//,/ } ;;
          *) echo "$l_Description:$l_LineNumber: unknown key $l_Key" >&2; exit 1 ;;
        esac
      done
      printf '0x%06x\n' "$l_Class" > "$l_Dir/class"
      printf '0x%04x\n' "$l_Vendor" > "$l_Dir/vendor"
      printf '0x%04x\n' "$l_Device" > "$l_Dir/device"
      printf '0x%04x\n' "$l_SubVendor" > "$l_Dir/subsystem_vendor"
      printf '0x%04x\n' "$l_Sub" > "$l_Dir/subsystem_device"
      [ "$l_Modalias" = none ] ||
        printf 'pci:v%08Xd%08Xsv%08Xsd%08Xbc%02Xsc%02Xi%02X\n' "$l_Vendor" "$l_Device" \
          "$l_SubVendor" "$l_Sub" $(( l_Class >> 16 )) $(( (l_Class >> 8) & 0xFF )) \
          $(( l_Class & 0xFF )) > "$l_Dir/modalias"
      l_Cfg=()
      for ((l_Index = 0; l_Index < 256; ++l_Index)); do l_Cfg[l_Index]=0; done
      setWord 0x00 "$l_Vendor"
      setWord 0x02 "$l_Device"
      setByte 0x09 "$l_Class"
      setByte 0x0A $(( l_Class >> 8 ))
      setByte 0x0B $(( l_Class >> 16 ))
      if [ $(( l_Class >> 8 )) -eq $(( 0x0604 )) ] || [ $(( l_Class >> 8 )) -eq $(( 0x0609 )) ]; then
        setByte 0x0E 1
        setByte 0x18 $(( 0x$l_Own ))
        [ -n "$l_Secondary" ] && setByte 0x19 "$l_Secondary"
      else
        setWord 0x2C "$l_SubVendor"
        setWord 0x2E "$l_Sub"
      fi
      if [ -n "$l_Port" ]; then
        # Power management at 0x40, then PCI Express at 0x60.
        setWord 0x06 0x0010
        setByte 0x34 0x40
        setWord 0x40 0x6001
        setWord 0x60 0x0010
        setLong 0x6C $(( (l_Port << 24) | (l_CapWidth << 4) | 0x3 ))
        setWord 0x72 "$l_LinkStatus"
      fi
      case $l_Config in
        none) ;;
        fifo) mkfifo "$l_Dir/config" ;;
        ff)
          for ((l_Index = 0; l_Index < 256; ++l_Index)); do l_Cfg[l_Index]=255; done
          writeBytes 256 "$l_Dir/config"
          ;;
        *) writeBytes "$l_Config" "$l_Dir/config" ;;
      esac
      for l_Fifo in $l_Fifos; do
        rm -f "$l_Dir/$l_Fifo"
        mkfifo "$l_Dir/$l_Fifo"
      done
      ;;
    *)
      echo "$l_Description:$l_LineNumber: unknown line ${l_Words[0]}" >&2
      exit 1
      ;;
  esac
done < "$l_Description"
