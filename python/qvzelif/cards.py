# SPDX-License-Identifier: LGPL-2.1-or-later
"""Upstream link cards: ports, live link values, the device session and
firmware updates."""
import contextlib
import threading
from typing import Any, Dict, Iterator, Optional, Tuple

from . import _header, firmware
from .errors import QvzelError, check, error_for
from .firmware import FLASH_TYPES, CardValues, UpdatePlan
from .images import ImageSource, read_image
from .items import INDEX_LIMIT, Item, ListState, Port

_C = _header.CONSTANTS
_INTERNAL = _C["QVZEL_ERR_INTERNAL"]
# Bits 4 to 9 of the link status (bridge attribute 0x20000A00): the
# negotiated link width, 0 while the link is down.
_LINK_WIDTH_SHIFT = 4
_LINK_WIDTH_MASK = 0x3F

class UpstreamCard(Item):
    """An upstream link card in this computer (one or four ports).

    The firmware values (firmware_version, flash_id, card_subsystem_id,
    driver_e0, driver_f0) are read through the kernel driver and answer only
    inside a device session::

        with card.session():
            print(hex(card.firmware_version))
    """

    kind = "upstream"

    def __init__(self, listing: ListState, handle: int, index: int) -> None:
        super().__init__(listing, handle, index)
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
    def link_up(self) -> Optional[bool]:
        """True when the link above the card is up: bits 4 to 9 of the link
        status (the negotiated width) are not 0. None when not reported."""
        status = self.link_status
        if status is None:
            return None
        return (status >> _LINK_WIDTH_SHIFT) & _LINK_WIDTH_MASK != 0

    @property
    def ports(self) -> Tuple[Port, ...]:
        """The card's ports in order, each with the listed controllers below it."""
        count = min(self.port_count or 0, INDEX_LIMIT)
        self._live_handle()
        return tuple(Port(index=index,
                          name=self.read_text(_C["QVZEL_ATTR_PORT_NAME"], index),
                          number=self.read_u32(_C["QVZEL_ATTR_PORT_NUMBER"], index),
                          link_width=self.read_u32(_C["QVZEL_ATTR_PORT_LINK_WIDTH"], index),
                          link_speed=self.read_u32(_C["QVZEL_ATTR_PORT_LINK_SPEED"], index),
                          controllers=tuple(self._list.controllers_below(self.index, index)))
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

    def _listed_ports(self) -> int:
        return self.port_count or 0

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
            "link_up": self.link_up,
            "ports": [dict(port.__dict__, controllers=list(port.controllers),
                           chassis_found=port.chassis_found) for port in self.ports],
        })
        inside = self.session_open
        for key in ("firmware_version", "flash_id", "flash_type", "card_subsystem_id",
                    "driver_e0", "driver_f0"):
            result[key] = getattr(self, key) if inside else None
        return result

    # -- firmware --------------------------------------------------------------
    def plan_update(self, image: "ImageSource", force: bool = False,
                    tool: Optional[str] = None) -> UpdatePlan:
        """Checks an image against this card without writing anything, as
        the library's update would: the image must hold a section for the
        card's flash whose subsystem ID is the card's and which passes every
        check (as `qvzel check-image` judges it); the plan says whether it is
        newer than the installed firmware. A refusal raises the exception of
        the library's code with the checker's reason. Opens the session for
        the reads when it is not open. A path is read once (read_image)."""
        self._live_handle()
        report = firmware.checked_report(read_image(image), force, tool)
        with self.session():
            return firmware.plan_update(self._firmware_values(), report, force)

    def update_firmware(self, image: "ImageSource", force: bool = False,
                        tool: Optional[str] = None) -> UpdatePlan:
        """Writes a firmware image (a file path or the file's bytes) into the card.

        Like `qvzel update`: the image is checked first (plan_update); one that
        is not newer than the installed firmware is refused with
        NotNewerError unless force is true, which reinstalls it. Blocks until
        the driver has written the flash; do not power off meanwhile (SIGINT
        and SIGTERM are held back until it ends, then raise UpdateInterrupted
        with the outcome). Returns the plan carried out, with any warning the
        driver answered. A path is read once: the bytes checked are the
        bytes written.
        """
        self._live_handle()
        data = read_image(image)
        report = firmware.checked_report(data, force, tool)
        with self.session():
            plan = firmware.plan_update(self._firmware_values(), report, force)
            firmware.require_write(plan)
            with firmware.signals_held() as caught:
                code = self._write_firmware(data, plan.force)
            after = self._values_after_failed_write() if code < 0 else None
            outcome = firmware.write_outcome(plan, code, report, after)
        return firmware.deliver(caught, outcome)

    def _firmware_values(self) -> CardValues:
        return CardValues(flash_id=self.flash_id, installed_version=self.firmware_version,
                          subsystem_id=self.card_subsystem_id, slot_path=self.slot_path,
                          serial_number=self.serial_number)

    def _values_after_failed_write(self) -> Optional[CardValues]:
        try:
            return self._firmware_values()
        except QvzelError:
            return None

    def _write_firmware(self, image: bytes, force: bool) -> int:
        return self._list.library.update_firmware(self._live_handle(), image, force)

