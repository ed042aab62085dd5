# SPDX-License-Identifier: LGPL-2.1-or-later
"""What a kernel lab's system text (docs/kernel-lab.md) says the library must
find: its upstream cards with their serial numbers, flash parts, factory
firmware and ports, and the controllers of the chassis cabled to them.

Only the hardware is read here; the expectations are the ones a user would
derive from the text, never the lab module's own records.
"""
import os
import re

# Card models: kind of item, PCI subsystem ID, ports, whether the driver
# publishes it (then it has the serial number of its DSN capability).
CARDS = {
    "PXIe-6550": ("upstream", 0x5A31, 4, True),
    "PXIe-6510": ("upstream", 0x5A10, 1, True),
    "PXIe-6520": ("upstream", 0x5A11, 1, True),
    "PXIe-6530mc": ("upstream", 0x5A12, 1, True),
    "PXIe-6540": ("upstream", 0x5A13, 1, True),
    "PXI-4140": ("upstream", 0x4140, 1, False),
    "PXI-4145": ("upstream", 0x4145, 1, False),
}
CONTROLLERS = ("PXI-2250", "PXI-4120", "PXI-4125", "PXI-4130", "PXI-4135")
MODULES = ("ZEL-7",)
FLASH_PARTS = {"ISSI-8M": (0x9D17, 8 << 20), "SST-1M": (0xBF8E, 1 << 20)}
UPDATABLE = "PXIe-6550"


class Port:
    def __init__(self, name, number, chassis):
        self.name = name
        self.number = number
        self.chassis = chassis  # the chassis cabled to it, or None
        self.cabled = False  # a listed controller sits behind it


class Card:
    def __init__(self, name, values):
        self.name = name
        self.model = values.get("model", "")
        kind, self.subsystem, ports, published = CARDS.get(self.model, ("unknown", 0, 0, False))
        serial = values.get("serial")
        self.serial = None
        if serial and published:
            number = int(serial, 16)
            self.serial = "%08X" % number if number >> 32 == 0 else "%016X" % number
        self.flash_id, self.flash_size = FLASH_PARTS[values.get("flash", "ISSI-8M")]
        self.version = number_of(values.get("firmware", "0"))
        self.ports = [Port("%s.port%d" % (name, n), n, None) for n in range(1, ports + 1)]


def number_of(text):
    return int(text, 0)


def sections(path):
    """[(kind, name, {key: value})] of the text; '#' or ';' starts a comment."""
    found = []
    for line in open(path, encoding="utf-8"):
        line = re.sub(r"(^|\s)[#;].*", "", line).strip()
        if not line:
            continue
        match = re.fullmatch(r"\[\s*(\S+)(?:\s+(\S+))?\s*\]", line)
        if match:
            found.append((match.group(1), match.group(2) or "", {}))
        elif "=" in line and found:
            key, value = line.split("=", 1)
            found[-1][2][key.strip()] = value.strip()
    return found


class Model:
    def __init__(self, path):
        parts = sections(path)
        self.cards = []
        chassis = {name: values for kind, name, values in parts if kind == "chassis"}
        for kind, name, values in parts:
            if kind == "card":
                self.cards.append(Card(name, values))
        for kind, name, values in parts:
            if kind != "port":
                continue
            for card in self.cards:
                if card.name == values.get("card"):
                    number = number_of(values.get("number", "0"))
                    if 1 <= number <= len(card.ports):
                        card.ports[number - 1] = Port(name, number, values.get("cable") or None)
        # Controllers the library finds: every chassis cabled to a port whose
        # controller is a model it knows, and the modules in its slots.
        self.controllers = []
        named = controller_file_models(os.path.join(os.path.dirname(path), "pxicontrollers.ini"))
        for card in self.cards:
            for port in card.ports:
                values = chassis.get(port.chassis) if port.chassis else None
                if values is None:
                    continue
                model = values.get("controller")
                if model in CONTROLLERS or (model is None and port.chassis.lower() in named):
                    self.controllers.append(model or named[port.chassis.lower()])
                    port.cabled = True
                for key, module in values.items():
                    if re.fullmatch(r"slot\d+", key) and module in MODULES:
                        self.controllers.append(module)
        # Cards the checks update: four-port cards with a serial number.
        self.updatable = [c for c in self.cards if c.model == UPDATABLE and c.serial]

    def expected_items(self):
        """The items qvzel list --json must show, as describe_item gives them."""
        items = {("upstream", card.model, card.serial) for card in self.cards}
        items |= {("controller", model, None) for model in self.controllers}
        return items


def controller_file_models(path):
    """{section name in lower case: ModelName} of the controller file beside
    the system text: the controllers the model table does not know, each
    described in the section named after its chassis."""
    models = {}
    if os.path.exists(path):
        section = None
        for line in open(path, encoding="utf-8"):
            line = line.strip()
            match = re.fullmatch(r"\[([^\]]+)\].*", line)
            if match:
                section = match.group(1).strip().lower()
            elif section and line.split("=", 1)[0].strip() == "ModelName" and "=" in line:
                models[section] = line.split("=", 1)[1].strip().strip('"')
    return models


def describe_item(item):
    """(kind, lab model name, serial number) of one item of qvzel list --json."""
    model = item.get("model") or ""
    name = next((m for m in list(CARDS) + list(CONTROLLERS) + list(MODULES)
                 if re.search(r"(^|[\s-])%s($|\s)" % re.escape(m), model)), model)
    return (item["kind"], name, (item.get("upstream") or {}).get("serialNumber"))


def read(path):
    return Model(path)
