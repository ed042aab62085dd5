# SPDX-License-Identifier: LGPL-2.1-or-later
"""Listed items: what every link device answers, link controllers, and what
the items of one list share."""
import threading
import weakref
from dataclasses import dataclass
from typing import Any, Dict, List, Optional, Tuple

from . import _header, topology
from ._library import Library
from .errors import ClosedListError, check

_C = _header.CONSTANTS
_NOT_SUPPORTED = _C["QVZEL_ERR_NOT_SUPPORTED"]
_INVALID = _C["QVZEL_ERR_INVALID_PARAMETER"]
# Indexed identifiers carry the index in their low four bits.
INDEX_LIMIT = 16


class ListState:
    """What the items of one open list share: the library, whether the list
    was closed, the items and where the controllers hang.

    The items hold this, not the DeviceList above them, so that they call
    only downwards. The C list is closed by close(), or when this is
    collected: the items keep it alive while they are in use.
    """

    def __init__(self, library: Library, handle: Optional[int]) -> None:
        self.library = library
        self.closed = False
        self.items: List["Item"] = []
        self._lock = threading.Lock()
        self._attachments: Optional[Dict[int, Tuple[int, int]]] = None
        self._finalizer = weakref.finalize(self, library.close_list, handle) if handle else None

    def __getitem__(self, index: int) -> "Item":
        return self.items[index]

    def require_open(self) -> None:
        if self.closed:
            raise ClosedListError(_INVALID, "the list was closed")

    def below(self, index: int) -> Optional[Tuple[int, int]]:
        """(upstream card index, port index) the controller at index hangs
        below, by its slot path; None when it hangs below no listed card."""
        return self._topology().get(index)

    def controllers_below(self, upstream: int, port: int) -> List[int]:
        """Indexes of the listed controllers below a port of a card."""
        return sorted(index for index, place in self._topology().items()
                      if place == (upstream, port))

    def _topology(self) -> Dict[int, Tuple[int, int]]:
        self.require_open()
        if self._attachments is None:
            self._attachments = topology.attach(
                (item.index, item.kind, item.slot_path, item._listed_ports())
                for item in self.items)
        return self._attachments

    def close(self) -> None:
        """Closes open device sessions, then the C list. Safe to call twice."""
        with self._lock:
            if self.closed:
                return
            for item in self.items:
                item._end_session()
            self.closed = True
            if self._finalizer is not None:
                self._finalizer()


@dataclass(frozen=True)
class Port:
    """One link port of an upstream card, as read when the list was opened.

    number is the port bridge's PCI bridge attribute 0x20000300; link_width
    (lanes) and link_speed (the PCI Express speed code: 1 = 2.5 GT/s,
    2 = 5 GT/s, 3 = 8 GT/s, ...) are None when the bridge reported 0.
    """

    index: int
    name: Optional[str]
    number: Optional[int]
    link_width: Optional[int]
    link_speed: Optional[int]
    # Indexes of the listed controllers below the port: a chassis was found there.
    controllers: Tuple[int, ...] = ()

    @property
    def chassis_found(self) -> bool:
        """True when a listed controller's slot path lies below the port."""
        return bool(self.controllers)


class Item:
    """One listed device. Subclasses add the values of their kind."""

    kind = "unknown"

    def __init__(self, listing: ListState, handle: int, index: int) -> None:
        self._list = listing
        self._handle = handle
        self.index = index

    # -- reading attributes --------------------------------------------------
    def _live_handle(self) -> int:
        if self._list.closed:
            raise ClosedListError(_INVALID, "item %d belongs to a list that was closed" % self.index)
        return self._handle

    def read_u32(self, attribute: int, index: int = 0) -> Optional[int]:
        """A 32-bit attribute by identifier (plus a port index 0 to 15); None
        when the library reports the value as empty (QVZEL_ERR_NOT_SUPPORTED)."""
        identifier = _identifier(attribute, index)
        code, value = self._list.library.u32(self._live_handle(), identifier)
        return self._value(code, value, identifier)

    def read_text(self, attribute: int, index: int = 0) -> Optional[str]:
        """A text attribute by identifier (plus a port index 0 to 15); None
        when empty (QVZEL_ERR_NOT_SUPPORTED)."""
        identifier = _identifier(attribute, index)
        code, value = self._list.library.text(self._live_handle(), identifier)
        return self._value(code, value, identifier)

    def _value(self, code: int, value: Any, attribute: int) -> Any:
        if code == _NOT_SUPPORTED:
            return None
        check(code, "cannot read attribute 0x%X of item %d" % (attribute, self.index))
        return value

    # -- values every item has -----------------------------------------------
    @property
    def device_class(self) -> Optional[int]:
        """Attribute 0: 1 for a link controller, 0xF000 for an upstream card."""
        return self.read_u32(_C["QVZEL_ATTR_DEVICE_CLASS"])

    @property
    def vendor_name(self) -> Optional[str]:
        """Vendor name."""
        return self.read_text(_C["QVZEL_ATTR_VENDOR_NAME"])

    @property
    def model_name(self) -> Optional[str]:
        """Model name, e.g. "QV PXIe-6550"."""
        return self.read_text(_C["QVZEL_ATTR_MODEL_NAME"])

    @property
    def slot_path(self) -> Optional[str]:
        """Position in the PCI tree, e.g. "MR00:00,00,E0"; the same across reboots."""
        return self.read_text(_C["QVZEL_ATTR_SLOT_PATH"])

    @property
    def slot_path_2(self) -> Optional[str]:
        """The same slot path, through the second identifier (0xF000F820)."""
        return self.read_text(_C["QVZEL_ATTR_SLOT_PATH_2"])

    @property
    def vendor_id(self) -> Optional[int]:
        """Vendor ID (the model's subsystem vendor ID where it has one)."""
        return self.read_u32(_C["QVZEL_ATTR_VENDOR_ID"])

    @property
    def product_id(self) -> Optional[int]:
        """Product ID (the model's subsystem ID where it has one)."""
        return self.read_u32(_C["QVZEL_ATTR_PRODUCT_ID"])

    @property
    def pci_bus(self) -> Optional[int]:
        """PCI bus number (changes when the PCI tree is renumbered)."""
        return self.read_u32(_C["QVZEL_ATTR_PCI_BUS"])

    @property
    def pci_device(self) -> Optional[int]:
        """PCI device number."""
        return self.read_u32(_C["QVZEL_ATTR_PCI_DEVICE"])

    @property
    def pci_function(self) -> Optional[int]:
        """PCI function number."""
        return self.read_u32(_C["QVZEL_ATTR_PCI_FUNCTION"])

    @property
    def pci_address(self) -> Optional[str]:
        """"bb:dd.f" in hex, as lspci writes it."""
        bus, device, function = self.pci_bus, self.pci_device, self.pci_function
        if bus is None or device is None or function is None:
            return None
        return "%02x:%02x.%x" % (bus, device, function)

    def as_dict(self) -> Dict[str, Any]:
        """Every value of the item as plain data (JSON-ready)."""
        return {
            "index": self.index,
            "kind": self.kind,
            "device_class": self.device_class,
            "vendor_name": self.vendor_name,
            "model_name": self.model_name,
            "slot_path": self.slot_path,
            "pci_bus": self.pci_bus,
            "pci_device": self.pci_device,
            "pci_function": self.pci_function,
            "pci_address": self.pci_address,
            "vendor_id": self.vendor_id,
            "product_id": self.product_id,
        }

    def __repr__(self) -> str:
        if self._list.closed:
            return "<%s %d of a closed list>" % (type(self).__name__, self.index)
        return "<%s %d: %s at %s>" % (type(self).__name__, self.index, self.model_name,
                                      self.slot_path)

    def _end_session(self) -> None:
        """Called by the list before it closes."""

    def _listed_ports(self) -> int:
        """How many ports controllers may hang below (none but a card's)."""
        return 0


def _identifier(attribute: Any, index: Any) -> int:
    """The identifier with the index in its low four bits; an index that
    does not fit would name another attribute, so it is refused."""
    for name, value in (("attribute", attribute), ("index", index)):
        if isinstance(value, bool) or not isinstance(value, int):
            raise TypeError("%s must be an int, not %s" % (name, type(value).__name__))
    if not 0 <= attribute <= 0xFFFFFFFF:
        raise ValueError("attribute 0x%X is not a 32-bit identifier" % attribute)
    if not 0 <= index < INDEX_LIMIT:
        raise IndexError("index %d is out of range 0 to %d" % (index, INDEX_LIMIT - 1))
    if index and attribute & (INDEX_LIMIT - 1):
        raise ValueError("attribute 0x%X already carries an index" % attribute)
    return attribute + index


class Controller(Item):
    """A PXI-1 link controller in a chassis."""

    kind = "controller"

    @property
    def controller_type(self) -> Optional[int]:
        """The constant 2."""
        return self.read_u32(_C["QVZEL_ATTR_CONTROLLER_TYPE"])

    @property
    def controller_port(self) -> Optional[int]:
        """PCI bridge attribute 0x20000300 of the controller's bridge."""
        return self.read_u32(_C["QVZEL_ATTR_CONTROLLER_PORT"])

    @property
    def controller_bridge_bus(self) -> Optional[int]:
        """Bus number of the controller's PCI bridge."""
        return self.read_u32(_C["QVZEL_ATTR_CONTROLLER_BRIDGE_BUS"])

    @property
    def is_integrated(self) -> Optional[bool]:
        """True for a link controller built into its chassis."""
        value = self.read_u32(_C["QVZEL_ATTR_IS_INTEGRATED"])
        return None if value is None else value != 0

    @property
    def below(self) -> Optional[Tuple[int, int]]:
        """(index of the upstream card, index of its port) that the
        controller's chassis is cabled to, found by comparing slot paths;
        None when it lies below no listed card's port."""
        self._live_handle()
        return self._list.below(self.index)

    @property
    def idsel_map(self) -> Tuple[int, ...]:
        """The 32-entry IDSEL map; 0xFF marks an entry without a slot."""
        code, table = self._list.library.idsel_map(self._live_handle())
        check(code, "cannot read the IDSEL map of item %d" % self.index)
        return tuple(table or b"")

    def as_dict(self) -> Dict[str, Any]:
        result = super().as_dict()
        result.update({
            "controller_type": self.controller_type,
            "controller_port": self.controller_port,
            "controller_bridge_bus": self.controller_bridge_bus,
            "is_integrated": self.is_integrated,
            "idsel_map": list(self.idsel_map),
            "below": self._below_dict(),
        })
        return result

    def _below_dict(self) -> Optional[Dict[str, Any]]:
        below = self.below
        if below is None:
            return None
        upstream, port = below
        name = self._list[upstream].read_text(_C["QVZEL_ATTR_PORT_NAME"], port)
        return {"item": upstream, "port_index": port, "port_name": name}
