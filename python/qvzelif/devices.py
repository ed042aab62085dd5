"""Lists of link devices and their items: upstream link cards and link controllers."""
import contextlib
import os
import threading
import weakref
from dataclasses import dataclass
from typing import Any, Dict, Iterator, List, Optional, Tuple, Union

from . import _header
from ._library import Library, load_library
from .errors import ClosedListError, QvzelError, check, error_for
from .firmware import UpdatePlan, plan_update, update_firmware

_C = _header.CONSTANTS
_NOT_SUPPORTED = _C["QVZEL_ERR_NOT_SUPPORTED"]
_INTERNAL = _C["QVZEL_ERR_INTERNAL"]
_INVALID = _C["QVZEL_ERR_INVALID_PARAMETER"]
_UPSTREAM_CLASS = 0xF000
_CONTROLLER_CLASS = 1
# Port-indexed identifiers carry the index in their low four bits.
_MAX_PORTS = 16

# A firmware image: a file path or the file's bytes.
ImageSource = Union[str, bytes, bytearray, memoryview, "os.PathLike[str]"]

# Flash identifiers the cards report, and the flash each stands for.
FLASH_TYPES: Dict[int, str] = {0x9D17: "ISSI", 0xBF8E: "SST"}


class DeviceList:
    """One open list of the link devices present (one discovery run).

    Use it as a context manager, so that it is closed on every path::

        with qvzelif.open_list() as devices:
            for device in devices:
                print(device.kind, device.model_name, device.slot_path)

    Items stay usable while the list is open; afterwards every access raises
    ClosedListError.
    """

    def __init__(self, library: Library) -> None:
        self._library = library
        self._lock = threading.Lock()
        self._closed = False
        code, count, handle = library.open_list()
        check(code, "cannot list the link devices")
        self._handle = handle
        # A list dropped without close() is closed when it is collected; its
        # items keep it alive while they are in use.
        self._finalizer = weakref.finalize(self, library.close_list, handle) if handle else None
        self._items: List[Item] = []
        try:
            for index in range(count if handle else 0):
                code, item = library.nth_item(handle, index)
                check(code, "cannot get item %d of the list" % index)
                self._items.append(_make_item(self, item, index))
        except BaseException:
            self.close()
            raise

    @property
    def closed(self) -> bool:
        """True once close() was called."""
        return self._closed

    @property
    def library(self) -> Library:
        """The loaded library this list came from."""
        return self._library

    def close(self) -> None:
        """Closes open device sessions, then the list. Safe to call twice."""
        with self._lock:
            if self._closed:
                return
            for item in self._items:
                item._end_session()
            self._closed = True
            if self._finalizer is not None:
                self._finalizer()
            self._handle = None

    def __enter__(self) -> "DeviceList":
        return self

    def __exit__(self, *exc_info: Any) -> None:
        self.close()

    def __len__(self) -> int:
        self._require_open()
        return len(self._items)

    def __iter__(self) -> Iterator["Item"]:
        self._require_open()
        return iter(list(self._items))

    def __getitem__(self, index: int) -> "Item":
        self._require_open()
        return self._items[index]

    def upstream_cards(self) -> List["UpstreamCard"]:
        """The upstream link cards of the list, in list order."""
        return [item for item in self if isinstance(item, UpstreamCard)]

    def controllers(self) -> List["Controller"]:
        """The link controllers of the list, in list order."""
        return [item for item in self if isinstance(item, Controller)]

    def find(self, name: str) -> "Item":
        """The first item whose slot path (any case) or serial number is name;
        LookupError when none is."""
        for item in self:
            if (item.slot_path or "").upper() == name.upper():
                return item
            if isinstance(item, UpstreamCard) and item.serial_number == name:
                return item
        raise LookupError("no listed item has the slot path or serial number %s" % name)

    def as_dicts(self) -> List[Dict[str, Any]]:
        """as_dict() of every item, in list order."""
        return [item.as_dict() for item in self]

    def _require_open(self) -> None:
        if self._closed:
            raise ClosedListError(_INVALID, "the list was closed")


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


class Item:
    """One listed device. Subclasses add the values of their kind."""

    kind = "unknown"

    def __init__(self, device_list: DeviceList, handle: int, index: int) -> None:
        self._list = device_list
        self._handle = handle
        self.index = index

    # -- reading attributes --------------------------------------------------
    def _live_handle(self) -> int:
        if self._list.closed:
            raise ClosedListError(_INVALID, "item %d belongs to a list that was closed" % self.index)
        return self._handle

    def read_u32(self, attribute: int, index: int = 0) -> Optional[int]:
        """A 32-bit attribute by identifier (plus a port index); None when the
        library reports the value as empty (QVZEL_ERR_NOT_SUPPORTED)."""
        code, value = self._list.library.u32(self._live_handle(), attribute + index)
        return self._value(code, value, attribute + index)

    def read_text(self, attribute: int, index: int = 0) -> Optional[str]:
        """A text attribute by identifier (plus a port index); None when empty
        (QVZEL_ERR_NOT_SUPPORTED)."""
        code, value = self._list.library.text(self._live_handle(), attribute + index)
        return self._value(code, value, attribute + index)

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
        })
        return result


class UpstreamCard(Item):
    """An upstream link card in this computer (one or four ports).

    The firmware values (firmware_version, flash_id, card_subsystem_id,
    driver_e0, driver_f0) are read through the kernel driver and answer only
    inside a device session::

        with card.session():
            print(hex(card.firmware_version))
    """

    kind = "upstream"

    def __init__(self, device_list: DeviceList, handle: int, index: int) -> None:
        super().__init__(device_list, handle, index)
        self._session_depth = 0
        self._session_lock = threading.RLock()

    @property
    def serial_number(self) -> Optional[str]:
        """Serial number as the kernel driver reports it; None for cards found
        through their PCI identifiers only."""
        return self.read_text(_C["QVZEL_ATTR_SERIAL_NUMBER"])

    @property
    def part_number(self) -> Optional[str]:
        """Part number of the model, e.g. "410733-01" ("" for models without one)."""
        return self.read_text(_C["QVZEL_ATTR_PART_NUMBER"])

    @property
    def device_description(self) -> Optional[str]:
        """The constant text "PXI Bus Extension Module"."""
        return self.read_text(_C["QVZEL_ATTR_DEVICE_DESCRIPTION"])

    @property
    def port_count(self) -> Optional[int]:
        """Number of ports the library found on the card."""
        return self.read_u32(_C["QVZEL_ATTR_PORT_COUNT"])

    @property
    def port_width(self) -> Optional[int]:
        """Width of one port as the model defines it; None for single-port models."""
        return self.read_u32(_C["QVZEL_ATTR_PORT_WIDTH"])

    @property
    def link_status(self) -> Optional[int]:
        """Live link status from the bridge above the card (0: no link, or not served)."""
        return self.read_u32(_C["QVZEL_ATTR_LINK_STATUS"])

    @property
    def link_speed(self) -> Optional[int]:
        """Live link speed code from the bridge above the card (0 when not served)."""
        return self.read_u32(_C["QVZEL_ATTR_LINK_SPEED"])

    @property
    def ports(self) -> Tuple[Port, ...]:
        """The card's ports in order."""
        count = min(self.port_count or 0, _MAX_PORTS)
        return tuple(Port(index=index,
                          name=self.read_text(_C["QVZEL_ATTR_PORT_NAME"], index),
                          number=self.read_u32(_C["QVZEL_ATTR_PORT_NUMBER"], index),
                          link_width=self.read_u32(_C["QVZEL_ATTR_PORT_LINK_WIDTH"], index),
                          link_speed=self.read_u32(_C["QVZEL_ATTR_PORT_LINK_SPEED"], index))
                     for index in range(count))

    # -- the device session and what only it answers ---------------------------
    @property
    def session_open(self) -> bool:
        """True inside session()."""
        return self._session_depth > 0

    @contextlib.contextmanager
    def session(self) -> Iterator["UpstreamCard"]:
        """Opens the card's connection to the kernel driver for the block and
        closes it afterwards. Nested sessions share one connection."""
        with self._session_lock:
            if self._session_depth == 0:
                code = self._list.library.open_device(self._live_handle())
                check(code, "cannot open item %d through the kernel driver" % self.index)
            self._session_depth += 1
        try:
            yield self
        finally:
            with self._session_lock:
                if self._session_depth > 0:
                    self._session_depth -= 1
                    if self._session_depth == 0 and not self._list.closed:
                        self._list.library.close_device(self._handle)

    def _end_session(self) -> None:
        with self._session_lock:
            if self._session_depth > 0:
                self._list.library.close_device(self._handle)
            self._session_depth = 0

    def _driver_u32(self, name: str) -> Optional[int]:
        attribute = _C[name]
        code, value = self._list.library.u32(self._live_handle(), attribute)
        if code == _INTERNAL and not self.session_open:
            raise error_for(code, "attribute 0x%X of item %d needs an open device session "
                            "(with card.session(): ...)" % (attribute, self.index))
        return self._value(code, value, attribute)

    @property
    def firmware_version(self) -> Optional[int]:
        """Installed firmware version (needs the session), e.g. 0x0100."""
        return self._driver_u32("QVZEL_ATTR_FIRMWARE_VERSION")

    @property
    def flash_id(self) -> Optional[int]:
        """Identifier of the card's flash (needs the session): 0x9D17 ISSI, 0xBF8E SST."""
        return self._driver_u32("QVZEL_ATTR_FLASH_ID")

    @property
    def flash_type(self) -> Optional[str]:
        """"ISSI" or "SST" after flash_id (needs the session); None when unknown."""
        flash_id = self.flash_id
        return None if flash_id is None else FLASH_TYPES.get(flash_id)

    @property
    def card_subsystem_id(self) -> Optional[int]:
        """PCI subsystem ID as the card reports it (needs the session)."""
        return self._driver_u32("QVZEL_ATTR_CARD_SUBSYSTEM_ID")

    @property
    def driver_e0(self) -> Optional[int]:
        """Driver attribute 0xF000F0E0, passed through (needs the session)."""
        return self._driver_u32("QVZEL_ATTR_DRIVER_E0")

    @property
    def driver_f0(self) -> Optional[int]:
        """Driver attribute 0xF000F0F0, passed through (needs the session)."""
        return self._driver_u32("QVZEL_ATTR_DRIVER_F0")

    def as_dict(self) -> Dict[str, Any]:
        """Every value as plain data; the firmware values only inside a
        session (None outside one)."""
        result = super().as_dict()
        result.update({
            "serial_number": self.serial_number,
            "part_number": self.part_number,
            "device_description": self.device_description,
            "port_count": self.port_count,
            "port_width": self.port_width,
            "link_status": self.link_status,
            "link_speed": self.link_speed,
            "ports": [port.__dict__.copy() for port in self.ports],
        })
        inside = self.session_open
        for key in ("firmware_version", "flash_id", "flash_type", "card_subsystem_id",
                    "driver_e0", "driver_f0"):
            result[key] = getattr(self, key) if inside else None
        return result

    # -- firmware --------------------------------------------------------------
    def plan_update(self, image: "ImageSource", force: bool = False,
                    tool: Optional[str] = None) -> UpdatePlan:
        """Checks an image against this card without writing anything: the
        image must be valid (as `qvzel check-image` judges it), hold a section
        for the card's flash whose subsystem ID is the card's; the plan says
        whether it is newer than the installed firmware. Opens the session
        for the reads when it is not open."""
        return plan_update(self, _image_bytes(image), force, tool)

    def update_firmware(self, image: "ImageSource", force: bool = False,
                        tool: Optional[str] = None) -> UpdatePlan:
        """Writes a firmware image (a file path or the file's bytes) into the card.

        Like `qvzel update`: the image is checked first (plan_update); one that
        is not newer than the installed firmware is refused with
        NotNewerError unless force is true, which reinstalls it. Blocks until
        the driver has written the flash; do not power off meanwhile. Returns
        the plan that was carried out.
        """
        return update_firmware(self, _image_bytes(image), force, tool)

    def _write_firmware(self, image: bytes, force: bool) -> int:
        return self._list.library.update_firmware(self._live_handle(), image, force)


def _image_bytes(image: "ImageSource") -> bytes:
    if isinstance(image, (bytes, bytearray, memoryview)):
        return bytes(image)
    with open(image, "rb") as file:
        return file.read()


def _make_item(device_list: DeviceList, handle: int, index: int) -> Item:
    code, device_class = device_list.library.u32(handle, _C["QVZEL_ATTR_DEVICE_CLASS"])
    if code >= 0 and device_class == _UPSTREAM_CLASS:
        return UpstreamCard(device_list, handle, index)
    if code >= 0 and device_class == _CONTROLLER_CLASS:
        return Controller(device_list, handle, index)
    return Item(device_list, handle, index)


def inventory(firmware: bool = True,
              library: Union[None, str, Library] = None) -> List[Dict[str, Any]]:
    """as_dict() of every listed device, for reports and configuration tools.

    With firmware, each upstream card is read inside its device session, so
    that its firmware values are filled in; a card whose session cannot be
    opened gets "session_error" (the error's as_dict()) instead, and the
    others are still read.
    """
    result = []
    with open_list(library) as devices:
        for device in devices:
            if not (firmware and isinstance(device, UpstreamCard)):
                result.append(device.as_dict())
                continue
            try:
                with device.session():
                    result.append(device.as_dict())
            except QvzelError as error:
                entry = device.as_dict()
                entry["session_error"] = error.as_dict()
                result.append(entry)
    return result


def open_list(library: Union[None, str, Library] = None) -> DeviceList:
    """Opens a list of the link devices present.

    library is the library to use: a loaded Library, a file path, or None for
    $QVZELIF_LIBRARY or else libqvzelif.so.1 as the dynamic loader finds it.
    """
    if not isinstance(library, Library):
        library = load_library(library)
    return DeviceList(library)

