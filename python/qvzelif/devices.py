# SPDX-License-Identifier: LGPL-2.1-or-later
"""Lists of link devices: one discovery run each."""
import ctypes
import os
from typing import Any, Dict, Iterator, List, Optional, Tuple, Union

from . import _header
from ._library import Library, load_library
from .cards import UpstreamCard
from .errors import QvzelError, check, error_for
from .items import Controller, Item, ListState

_C = _header.CONSTANTS
_INVALID = _C["QVZEL_ERR_INVALID_PARAMETER"]
_UPSTREAM_CLASS = _C["QVZEL_DEVICE_CLASS_UPSTREAM"]
_CONTROLLER_CLASS = _C["QVZEL_DEVICE_CLASS_CONTROLLER"]

# The PCI bridge library the library loads, and the package that ships ours.
BRIDGE_LIBRARY = "libqvpcibrd.so.1"
BRIDGE_LIBRARY_PACKAGE = "libqvpcibrd1-sysfs"
# Where the kernel driver publishes its device interfaces.
DRIVER_DIRECTORY = "/proc/driver/qv"


def _bridge_library_loads() -> bool:
    """Loads the PCI bridge library as the library would: the library reports
    one it cannot load with the same code as other refusals."""
    try:
        loaded = ctypes.CDLL(BRIDGE_LIBRARY, mode=os.RTLD_LAZY | os.RTLD_LOCAL)
    except OSError:
        return False
    import _ctypes
    _ctypes.dlclose(loaded._handle)
    return True


def list_failure(code: int) -> QvzelError:
    """The exception for a failed list opening; a missing PCI bridge library
    is named with the package to install."""
    message = "cannot list the link devices"
    if code in (_INVALID, _C["QVZEL_ERR_PCIBRD_UNAVAILABLE"]):
        if not _bridge_library_loads():
            message += (": the PCI bridge library %s is not installed; install the package %s "
                        "(or your site's PCI bridge library)" % (BRIDGE_LIBRARY,
                                                                 BRIDGE_LIBRARY_PACKAGE))
        else:
            message += ("; the PCI bridge library %s was found but may lack an entry point"
                        % BRIDGE_LIBRARY)
    return error_for(code, message)


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
        code, count, handle = library.open_list()
        if code < 0:
            raise list_failure(code)
        # The items share the state below them; a list dropped without
        # close() is closed when the state is collected.
        self._state = ListState(library, handle)
        try:
            for index in range(count if handle else 0):
                code, item = library.nth_item(handle, index)
                check(code, "cannot get item %d of the list" % index)
                self._state.items.append(_make_item(self._state, item, index))
        except BaseException:
            self.close()
            raise

    @property
    def closed(self) -> bool:
        """True once close() was called."""
        return self._state.closed

    @property
    def library(self) -> Library:
        """The loaded library this list came from."""
        return self._state.library

    @property
    def note(self) -> Optional[str]:
        """Why nothing may have been found: set when the list is empty and
        the kernel driver publishes no device interfaces on this machine."""
        if self._state.items or os.path.isdir(DRIVER_DIRECTORY):
            return None
        return ("no kernel driver is loaded: %s does not exist, so no upstream link card can "
                "be found" % DRIVER_DIRECTORY)

    def below(self, index: int) -> Optional[Tuple[int, int]]:
        """(upstream card index, port index) the controller at index hangs
        below, by its slot path; None when it hangs below no listed card."""
        return self._state.below(index)

    def controllers_below(self, upstream: int, port: int) -> List[int]:
        """Indexes of the listed controllers below a port of a card."""
        return self._state.controllers_below(upstream, port)

    def close(self) -> None:
        """Closes open device sessions, then the list. Safe to call twice."""
        self._state.close()

    def __enter__(self) -> "DeviceList":
        return self

    def __exit__(self, *exc_info: Any) -> None:
        self.close()

    def __len__(self) -> int:
        self._state.require_open()
        return len(self._state.items)

    def __iter__(self) -> Iterator["Item"]:
        self._state.require_open()
        return iter(list(self._state.items))

    def __getitem__(self, index: int) -> "Item":
        self._state.require_open()
        return self._state[index]

    def upstream_cards(self) -> List["UpstreamCard"]:
        """The upstream link cards of the list, in list order."""
        return [item for item in self if isinstance(item, UpstreamCard)]

    def controllers(self) -> List["Controller"]:
        """The link controllers of the list, in list order."""
        return [item for item in self if isinstance(item, Controller)]

    def find(self, name: str) -> "Item":
        """The first item whose slot path (any case) or serial number is name;
        LookupError when none is."""
        if not isinstance(name, str):
            raise TypeError("find() takes a slot path or serial number text, not %s"
                            % type(name).__name__)
        for item in self:
            if (item.slot_path or "").upper() == name.upper():
                return item
            if isinstance(item, UpstreamCard) and item.serial_number == name:
                return item
        note = self.note
        raise LookupError("no listed item has the slot path or serial number %s%s"
                          % (name, "; " + note if note else ""))

    def as_dicts(self) -> List[Dict[str, Any]]:
        """as_dict() of every item, in list order."""
        return [item.as_dict() for item in self]

    def inventory(self, firmware: bool = True) -> List[Dict[str, Any]]:
        """as_dict() of every item; with firmware, each upstream card is read
        inside its device session, so that its firmware values are filled
        in; a card whose session cannot be opened gets "session_error" (the
        error's as_dict()) instead, and the others are still read."""
        result = []
        for device in self:
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


def _make_item(listing: ListState, handle: int, index: int) -> Item:
    code, device_class = listing.library.u32(handle, _C["QVZEL_ATTR_DEVICE_CLASS"])
    if code >= 0 and device_class == _UPSTREAM_CLASS:
        return UpstreamCard(listing, handle, index)
    if code >= 0 and device_class == _CONTROLLER_CLASS:
        return Controller(listing, handle, index)
    return Item(listing, handle, index)


def inventory(firmware: bool = True,
              library: Union[None, str, "os.PathLike[str]", Library] = None) -> List[Dict[str, Any]]:
    """as_dict() of every listed device, for reports and configuration tools
    (DeviceList.inventory() on a list of its own)."""
    with open_list(library) as devices:
        return devices.inventory(firmware)


def open_list(library: Union[None, str, "os.PathLike[str]", Library] = None) -> DeviceList:
    """Opens a list of the link devices present.

    library is the library to use: a loaded Library, a file path, or None for
    $QVZELIF_LIBRARY or else libqvzelif.so.1 as the dynamic loader finds it
    (LibraryError, an OSError, when it cannot be loaded). A failure to list
    raises the code's exception; a missing PCI bridge library is named with
    the package to install.
    """
    if not isinstance(library, Library):
        library = load_library(library)
    return DeviceList(library)

