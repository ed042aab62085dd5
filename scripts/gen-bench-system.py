#!/usr/bin/env python3
# SPDX-License-Identifier: LGPL-2.1-or-later
"""Generates the simulated systems the benchmarks run on.

A host with N PXI Express chassis, each cabled to one port of a four-port
upstream link card (QV PXIe-6550); a card carries four chassis, so N chassis
take ceil(N / 4) cards. Each chassis has a link controller (QV PXI-4130,
found by its PCI identifiers) and a switch with four slot bridges, each slot
holding one instrument.

  gen-bench-system.py system N FILE   simulated-system file (bridges and the
                                      cards' driver interfaces), see
                                      docs/simulated-system.md
  gen-bench-system.py sysfs N DIR     the same machine as a sysfs tree
                                      (DIR/bus/pci/devices/..., DIR/devices/...)
                                      that the sysfs backend of the PCI bridge
                                      library and `lspci -O sysfs.path=DIR` read
  gen-bench-system.py count N         prints bridges, functions and expected
                                      list items of that machine, and the
                                      chassis a list opening finds in its
                                      sysfs tree without the kernel driver

Bus numbers are given depth first, as firmware does; a simulated system must
fit in bus numbers 0 to 255 (the script refuses a larger one). A sysfs tree
too large for one PCI domain is spread over several, 32 chassis to a domain
(0000, 0001, ...), as large machines do; the PCI bridge library serves
domain 0 only, so its list holds the chassis of domain 0.
"""

import os
import sys

SLOTS_PER_CHASSIS = 4
PORTS_PER_CARD = 4
# Chassis in each PCI domain of a machine too large for one (216 buses).
CHASSIS_PER_DOMAIN = 32

# PCI identifiers.
GENERIC_VENDOR = 0x1234  # root ports, chassis slot bridges, host bridge
ROOT_PORT_DEVICE = 0x0001
SLOT_BRIDGE_DEVICE = 0x0002
HOST_BRIDGE_DEVICE = 0x0003
INSTRUMENT_DEVICE = 0x0004
LINK_VENDOR = 0x1F3C
CARD_DEVICE = 0x5A30
CARD_SUBSYSTEM = 0x5A31
CHASSIS_VENDOR = 0x12D8
CHASSIS_DEVICE = 0xE112
CHASSIS_SUBSYSTEM = 0x4130

# Driver attributes of every card (installed version, ISSI flash, subsystem).
CARD_ATTRIBUTES = {0xF000F0C0: 0x0100, 0xF000F0D0: 0x9D17, 0xF000F100: CARD_SUBSYSTEM,
                   0xF000F0E0: 0x1, 0xF000F0F0: 0x2}


class Function:
    """One PCI function; a bridge when it has a secondary bus."""

    def __init__(self, name, parent, device, function, vendor, device_id,
                 subsystem_vendor=0, subsystem=0, bridge=False, attrs=None, width=0, domain=0):
        self.name = name
        self.domain = domain
        self.parent = parent
        self.bus = None if parent is None else parent.secondary
        self.device = device
        self.function = function
        self.vendor = vendor
        self.device_id = device_id
        self.subsystem_vendor = subsystem_vendor
        self.subsystem = subsystem
        self.bridge = bridge
        self.secondary = None
        self.subordinate = None
        self.attrs = attrs or {}
        self.width = width
        self.children = []
        if parent is not None:
            parent.children.append(self)

    def address(self):
        return "%04x:%02x:%02x.%x" % (self.domain, self.bus, self.device, self.function)


class Machine:
    def __init__(self, chassis, domain=0):
        if chassis < 1:
            raise ValueError("at least one chassis")
        self.chassis = chassis
        self.domain = domain
        self.cards = (chassis + PORTS_PER_CARD - 1) // PORTS_PER_CARD
        self.functions = []
        self.interfaces = []
        self.next_bus = 1
        self.root = []  # functions on root bus 0
        self.build()

    def add(self, *args, **kwargs):
        f = Function(*args, domain=self.domain, **kwargs)
        if f.parent is None:
            f.bus = 0
            self.root.append(f)
        self.functions.append(f)
        if f.bridge:
            # Depth first: the bridge's bus comes before anything below it.
            f.secondary = self.next_bus
            self.next_bus += 1
            if self.next_bus > 256:
                raise ValueError("the machine needs more than 256 buses")
        return f

    def close(self, bridge):
        """Sets a bridge's subordinate bus once everything below it exists."""
        bridge.subordinate = self.next_bus - 1

    def build(self):
        self.add("hostbridge", None, 0, 0, GENERIC_VENDOR, HOST_BRIDGE_DEVICE)
        placed = 0
        for card in range(self.cards):
            root = self.add("rootport%d" % card, None, 1 + card, 0, GENERIC_VENDOR,
                            ROOT_PORT_DEVICE, bridge=True)
            up = self.add("upstream%d" % card, root, 0, 0, LINK_VENDOR, CARD_DEVICE,
                          bridge=True)
            for port in range(PORTS_PER_CARD):
                cabled = placed < self.chassis
                attrs = {0x20000300: 1 if cabled else 0, 0x20000B00: 4,
                         0x20000C00: 0x10 if cabled else 0}
                p = self.add("card%dport%d" % (card, port + 1), up, port, 0, LINK_VENDOR,
                             CARD_DEVICE, bridge=True, attrs=attrs, width=4)
                if cabled:
                    self.add_chassis(placed, p)
                    placed += 1
                self.close(p)
            fn_bridge = self.add("cardfn%d" % card, up, 4, 0, LINK_VENDOR, CARD_DEVICE,
                                 bridge=True)
            fn = self.add("card%d" % card, fn_bridge, 0, 0, LINK_VENDOR, CARD_DEVICE,
                          LINK_VENDOR, CARD_SUBSYSTEM)
            self.interfaces.append(fn)
            self.close(fn_bridge)
            self.close(up)
            self.close(root)

    def add_chassis(self, index, port):
        ctl = self.add("chassis%d" % index, port, 0, 0, CHASSIS_VENDOR, CHASSIS_DEVICE,
                       LINK_VENDOR, CHASSIS_SUBSYSTEM, bridge=True,
                       attrs={0x20000300: 0x00010001})
        for slot in range(SLOTS_PER_CHASSIS):
            s = self.add("chassis%dslot%d" % (index, slot + 2), ctl, slot, 0, GENERIC_VENDOR,
                         SLOT_BRIDGE_DEVICE, bridge=True)
            self.add("chassis%dslot%dinstr" % (index, slot + 2), s, 0, 0, GENERIC_VENDOR,
                     INSTRUMENT_DEVICE, GENERIC_VENDOR, INSTRUMENT_DEVICE)
            self.close(s)
        self.close(ctl)

    def bridges(self):
        return [f for f in self.functions if f.bridge]

    def expected_items(self):
        """List items discovery should report: one per card and per chassis."""
        return self.cards + self.chassis


def domains(chassis):
    """The machine as one PCI domain when it fits, else as domains of
    CHASSIS_PER_DOMAIN chassis each (the last one holds the rest)."""
    try:
        return [Machine(chassis)]
    except ValueError:
        if chassis < 1:
            raise
    return [Machine(min(CHASSIS_PER_DOMAIN, chassis - first), domain)
            for domain, first in enumerate(range(0, chassis, CHASSIS_PER_DOMAIN))]


def write_system(machine, path):
    out = ["# Generated by scripts/gen-bench-system.py: %d chassis behind %d four-port"
           % (machine.chassis, machine.cards),
           "# upstream link cards; %d bridges, %d list items expected."
           % (len(machine.bridges()), machine.expected_items()), ""]
    for f in machine.bridges():
        out.append("[bridge %s]" % f.name)
        if f.parent is None:
            out.append("bus = %d" % f.bus)
        else:
            out.append("parent = %s" % f.parent.name)
        out.append("device = %d" % f.device)
        out.append("function = %d" % f.function)
        out.append("secondary = 0x%02X" % f.secondary)
        out.append("vendor_id = 0x%04X" % f.vendor)
        out.append("device_id = 0x%04X" % f.device_id)
        if f.subsystem_vendor or f.subsystem:
            out.append("subsystem_vendor_id = 0x%04X" % f.subsystem_vendor)
            out.append("subsystem_id = 0x%04X" % f.subsystem)
        for attr, value in sorted(f.attrs.items()):
            out.append("attr.0x%08X = 0x%X" % (attr, value))
        out.append("")
    for number, f in enumerate(machine.interfaces):
        out.append("[interface %s]" % f.name)
        out.append("pciVendorID = 0x%04X" % f.vendor)
        out.append("pciDeviceID = 0x%04X" % f.device_id)
        out.append("pciSubsystemVendorID = 0x%04X" % f.subsystem_vendor)
        out.append("pciSubsystemID = 0x%04X" % f.subsystem)
        out.append("pciBusNumber = 0x%02X" % f.bus)
        out.append("pciDeviceNumber = %d" % f.device)
        out.append("pciFunctionNumber = %d" % f.function)
        out.append("instance = %d" % number)
        out.append("serialNumber = 0B%06X" % (0x100 + number))
        for attr, value in sorted(CARD_ATTRIBUTES.items()):
            out.append("attribute.0x%08X = 0x%X" % (attr, value))
        out.append("")
    with open(path, "w") as handle:
        handle.write("\n".join(out))


def config_space(f):
    """The first 256 bytes of configuration space, with a PCI Express
    capability that reports the link width."""
    c = bytearray(256)

    def put(offset, value, size):
        c[offset:offset + size] = value.to_bytes(size, "little")

    put(0x00, f.vendor, 2)
    put(0x02, f.device_id, 2)
    put(0x04, 0x0007 if f.bridge else 0x0006, 2)  # command: memory, bus master
    put(0x06, 0x0010, 2)  # status: capability list present
    put(0x08, 0x01, 1)  # revision
    class_code = 0x060400 if f.bridge else (0x060000 if f.name == "hostbridge" else 0x118000)
    put(0x09, class_code, 3)
    put(0x0E, 0x01 if f.bridge else 0x00, 1)  # header type
    put(0x34, 0x40, 1)  # capability pointer
    if f.bridge:
        put(0x18, f.bus, 1)
        put(0x19, f.secondary, 1)
        put(0x1A, f.subordinate, 1)
    else:
        put(0x2C, f.subsystem_vendor, 2)
        put(0x2E, f.subsystem, 2)
    # PCI Express capability at 0x40: type downstream/upstream port or endpoint.
    port_type = 0x6 if f.bridge else 0x0
    put(0x40, 0x10, 1)
    put(0x41, 0x00, 1)
    put(0x42, 0x0002 | (port_type << 4), 2)
    width = f.width or 1
    put(0x4C, 0x2 | (width << 4), 4)  # link capabilities: 5 GT/s, width
    put(0x52, 0x2 | (width << 4), 2)  # link status
    return bytes(c)


def write_sysfs(machine, root):
    devices = os.path.join(root, "bus", "pci", "devices")
    os.makedirs(devices, exist_ok=True)
    buses = os.path.join(root, "class", "pci_bus")
    os.makedirs(buses, exist_ok=True)
    top = os.path.join(root, "devices", "pci%04x:00" % machine.domain)
    os.makedirs(top, exist_ok=True)

    def bus_entry(holder, bus):
        """The bus's entry in the directory of the device holding it, and
        its link in class/pci_bus, as Linux shows every bus."""
        name = "%04x:%02x" % (machine.domain, bus)
        entry = os.path.join(holder, "pci_bus", name)
        os.makedirs(entry, exist_ok=True)
        link = os.path.join(buses, name)
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(os.path.relpath(entry, buses), link)

    bus_entry(top, 0)

    def place(f):
        parent_dir = top if f.parent is None else place.dirs[f.parent.name]
        d = os.path.join(parent_dir, f.address())
        place.dirs[f.name] = d
        os.makedirs(d, exist_ok=True)
        files = {
            "vendor": "0x%04x\n" % f.vendor,
            "device": "0x%04x\n" % f.device_id,
            "subsystem_vendor": "0x%04x\n" % f.subsystem_vendor,
            "subsystem_device": "0x%04x\n" % f.subsystem,
            "class": "0x%06x\n" % int.from_bytes(config_space(f)[0x09:0x0C], "little"),
            "revision": "0x01\n",
            "irq": "0\n",
            "numa_node": "-1\n",
            "resource": "0x0000000000000000 0x0000000000000000 0x0000000000000000\n" * 13,
            "current_link_width": "%d\n" % (f.width or 1),
            "max_link_width": "%d\n" % (f.width or 1),
            "current_link_speed": "5.0 GT/s PCIe\n",
            "max_link_speed": "5.0 GT/s PCIe\n",
        }
        config = config_space(f)
        files["modalias"] = "pci:v%08Xd%08Xsv%08Xsd%08Xbc%02Xsc%02Xi%02X\n" % (
            f.vendor, f.device_id, f.subsystem_vendor, f.subsystem, config[0x0B], config[0x0A],
            config[0x09])
        if f.bridge:
            files["secondary_bus_number"] = "%d\n" % f.secondary
            files["subordinate_bus_number"] = "%d\n" % f.subordinate
            bus_entry(d, f.secondary)
        for name, text in files.items():
            with open(os.path.join(d, name), "w") as handle:
                handle.write(text)
        with open(os.path.join(d, "config"), "wb") as handle:
            handle.write(config)
        link = os.path.join(devices, f.address())
        target = os.path.relpath(d, devices)
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(target, link)
        for child in f.children:
            place(child)

    place.dirs = {}
    for f in machine.root:
        place(f)


def main(argv):
    if len(argv) < 3 or argv[1] not in ("system", "sysfs", "count"):
        sys.stderr.write(__doc__)
        return 2
    try:
        machines = domains(int(argv[2], 0))
    except ValueError as error:
        sys.stderr.write("gen-bench-system: %s\n" % error)
        return 2
    if argv[1] == "count":
        # items: what discovery finds on the simulated system (domain 0);
        # listed: the chassis a list opening finds in the sysfs tree without
        # the kernel driver.
        print("bridges=%d functions=%d listed=%d items=%d" % (
            sum(len(m.bridges()) for m in machines), sum(len(m.functions) for m in machines),
            machines[0].chassis, machines[0].expected_items()))
        return 0
    if len(argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    if argv[1] == "system":
        if len(machines) > 1:
            sys.stderr.write("gen-bench-system: a simulated system holds one PCI domain, "
                             "at most %d chassis\n" % CHASSIS_PER_DOMAIN)
            return 2
        write_system(machines[0], argv[3])
    else:
        for machine in machines:
            write_sysfs(machine, argv[3])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
