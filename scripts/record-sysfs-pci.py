#!/usr/bin/env python3
# SPDX-License-Identifier: LGPL-2.1-or-later
"""Records the PCI part of a sysfs tree into a directory.

  record-sysfs-pci.py [SYSFS] DIR

copies, for every function in SYSFS/bus/pci/devices (SYSFS defaults to /sys),
the attribute files that PCI tools read (configuration space, identifiers,
class, modalias, link width and speed, bus numbers, resources) into DIR,
keeping the layout: DIR/devices/pci..../<function>/... and
DIR/bus/pci/devices/<function> as relative symbolic links; and every bus of
SYSFS/class/pci_bus as its entry pci_bus/<bus> in the directory of the host
bridge or bridge holding it, with its relative link in DIR/class/pci_bus. The recording can be taken elsewhere and read
like the original: `lspci -O sysfs.path=DIR/bus/pci`, or the PCI bridge
library's sysfs backend pointed at DIR.
"""

import os
import shutil
import sys

FILES = ("config", "vendor", "device", "subsystem_vendor", "subsystem_device", "class",
         "revision", "irq", "numa_node", "resource", "current_link_width", "max_link_width",
         "current_link_speed", "max_link_speed", "secondary_bus_number",
         "subordinate_bus_number", "label", "modalias")


def record(sysfs, dest):
    source_devices = os.path.join(sysfs, "bus", "pci", "devices")
    dest_devices = os.path.join(dest, "bus", "pci", "devices")
    os.makedirs(dest_devices, exist_ok=True)
    real_sysfs = os.path.realpath(sysfs)
    count = 0
    for name in sorted(os.listdir(source_devices)):
        real = os.path.realpath(os.path.join(source_devices, name))
        relative = os.path.relpath(real, real_sysfs)
        if relative.startswith(".."):
            raise ValueError("%s lies outside %s" % (real, sysfs))
        target_dir = os.path.join(dest, relative)
        os.makedirs(target_dir, exist_ok=True)
        for file_name in FILES:
            source = os.path.join(real, file_name)
            if not os.path.isfile(source):
                continue
            try:
                with open(source, "rb") as handle:
                    data = handle.read()
            except OSError:
                continue  # attributes that cannot be read on this machine
            with open(os.path.join(target_dir, file_name), "wb") as handle:
                handle.write(data)
        link = os.path.join(dest_devices, name)
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(os.path.relpath(target_dir, dest_devices), link)
        count += 1
    source_buses = os.path.join(sysfs, "class", "pci_bus")
    dest_buses = os.path.join(dest, "class", "pci_bus")
    os.makedirs(dest_buses, exist_ok=True)
    for name in sorted(os.listdir(source_buses)) if os.path.isdir(source_buses) else []:
        relative = os.path.relpath(os.path.realpath(os.path.join(source_buses, name)), real_sysfs)
        if relative.startswith(".."):
            raise ValueError("bus %s lies outside %s" % (name, sysfs))
        entry = os.path.join(dest, relative)
        os.makedirs(entry, exist_ok=True)
        os.symlink(os.path.relpath(entry, dest_buses), os.path.join(dest_buses, name))
    return count


def main(argv):
    if len(argv) == 2:
        sysfs, dest = "/sys", argv[1]
    elif len(argv) == 3:
        sysfs, dest = argv[1], argv[2]
    else:
        sys.stderr.write(__doc__)
        return 2
    if os.path.exists(dest):
        shutil.rmtree(dest)
    try:
        count = record(sysfs, dest)
    except (OSError, ValueError) as error:
        sys.stderr.write("record-sysfs-pci: %s\n" % error)
        return 1
    print("recorded %d PCI functions from %s into %s" % (count, sysfs, dest))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
