# SPDX-License-Identifier: LGPL-2.1-or-later
"""Python access to libqvzelif.so.1: the PXI bus-extension link hardware.

List the link devices, read their attributes, open an upstream card's device
session and update its firmware::

    import qvzelif

    with qvzelif.open_list() as devices:
        for device in devices:
            print(device.index, device.kind, device.model_name, device.slot_path)
        card = devices.upstream_cards()[0]
        with card.session():
            print("firmware", hex(card.firmware_version))
        card.update_firmware("new.img")          # refuses an image that is not newer

    report = qvzelif.check_image("new.img")      # the findings of `qvzel check-image`

Failures raise QvzelError subclasses carrying the status code, its name and
its sentence, after what was being done and why; an image file that cannot
be read raises ImageFileError, which is an OSError too. The library is found as libqvzelif.so.1 by the dynamic loader
(or $QVZELIF_LIBRARY, or open_list(library=PATH)); image checks run the
qvzel tool (on PATH, or $QVZEL_TOOL, or tool=PATH).
"""
# The modules import and call in one direction: the lists (devices) above the
# items (cards above items and firmware, firmware above images), above errors
# and the C binding (_library, _header). Items reach their list only through
# the ListState below them, and a card hands firmware plain values, so no
# module calls back into one above it.
from ._library import Library, load_library
from ._version import __version__
from .cards import UpstreamCard
from .devices import DeviceList, inventory, open_list
from .errors import (ClosedListError, DriverError, ImageFileError, InvalidParameterError,
                     LibraryError, NotFoundError, NotNewerError, NotSupportedError, QvzelError,
                     ToolError, UpdateInterrupted, status_name, status_text)
from .firmware import UpdatePlan
from .images import ImageReport, ImageSection, check_image, find_tool, read_image
from .items import Controller, Item, Port


__all__ = [
    "ClosedListError", "Controller", "DeviceList", "DriverError", "ImageFileError",
    "ImageReport", "ImageSection", "InvalidParameterError", "Item", "Library", "LibraryError",
    "NotFoundError", "NotNewerError", "NotSupportedError", "Port", "QvzelError", "ToolError",
    "UpdateInterrupted", "UpdatePlan", "UpstreamCard", "check_image", "find_tool", "inventory",
    "load_library", "open_list", "read_image", "status_name", "status_text",
]
