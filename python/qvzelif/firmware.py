"""Firmware updates of upstream cards, with the checks `qvzel update` makes.

The library checks an image itself and never writes one that fails its
checks; like the tool, this module checks first and says why in words: the
image must be valid as `qvzel check-image` judges it, hold a section for the
card's flash whose subsystem ID is the card's, and be newer than the
installed firmware unless force is given.
"""
import os
import tempfile
from dataclasses import dataclass
from typing import TYPE_CHECKING, Optional

from . import _header
from .errors import InvalidParameterError, NotFoundError, NotNewerError, NotSupportedError, check
from .images import ImageReport, check_image

if TYPE_CHECKING:  # pragma: no cover
    from .devices import UpstreamCard

_C = _header.CONSTANTS
# The library keeps the image length in 32 bits.
_MAX_IMAGE = 0xFFFFFFFF


@dataclass(frozen=True)
class UpdatePlan:
    """What an update of one card with one image does.

    newer: the image's version is above the installed one; will_write: the
    update writes (newer, or force given).
    """

    slot_path: Optional[str]
    serial_number: Optional[str]
    flash_id: int
    flash_type: Optional[str]
    card_subsystem_id: int
    installed_version: int
    image_version: int
    section: int
    newer: bool
    force: bool

    @property
    def will_write(self) -> bool:
        return self.newer or self.force

    def describe(self) -> str:
        """The versions and the verdict in one phrase."""
        text = "image version 0x%04X is %s the installed 0x%04X (%s flash)" % (
            self.image_version, "newer than" if self.newer else "not newer than",
            self.installed_version, self.flash_type or "unknown")
        if self.force and not self.newer:
            text += "; reinstalled as forced"
        return text


def _checked_report(image: bytes, tool: Optional[str]) -> ImageReport:
    """The checker's report on exactly these bytes (a private copy, so that
    the bytes checked are the bytes written)."""
    if len(image) > _MAX_IMAGE:
        raise InvalidParameterError(_C["QVZEL_ERR_INVALID_PARAMETER"],
                                    "the image is larger than 4 GiB")
    handle, path = tempfile.mkstemp(prefix="qvzel-image-", suffix=".img")
    try:
        with os.fdopen(handle, "wb") as file:
            file.write(image)
        report = check_image(path, tool)
    finally:
        os.unlink(path)
    if not report.valid:
        raise InvalidParameterError(_C["QVZEL_ERR_INVALID_PARAMETER"],
                                    "the image is invalid: %s" % report.reason)
    return report


def plan_update(card: "UpstreamCard", image: bytes, force: bool = False,
                tool: Optional[str] = None) -> UpdatePlan:
    """Checks image against card and says what an update would do; writes
    nothing. Raises InvalidParameterError for an invalid image,
    NotFoundError when it has no section for the card's flash and
    NotSupportedError when that section's subsystem ID is not the card's."""
    report = _checked_report(image, tool)
    with card.session():
        return _plan(card, report, force)


def _plan(card: "UpstreamCard", report: ImageReport, force: bool) -> UpdatePlan:
    flash_id = card.flash_id
    installed = card.firmware_version
    subsystem = card.card_subsystem_id
    if flash_id is None or installed is None or subsystem is None:
        raise NotSupportedError(_C["QVZEL_ERR_NOT_SUPPORTED"],
                                "the card does not report its flash, firmware version and "
                                "subsystem ID")
    section = report.section_for_flash(flash_id)
    if section is None:
        raise NotFoundError(_C["QVZEL_ERR_NOT_FOUND"],
                            "the image has no section for the card's flash (ID 0x%04X)" % flash_id)
    if section.subsystem_id != subsystem:
        raise NotSupportedError(_C["QVZEL_ERR_NOT_SUPPORTED"],
                                "the image's section %d is for subsystem ID 0x%04X, the card "
                                "reports 0x%04X" % (section.number, section.subsystem_id or 0,
                                                    subsystem))
    image_version = section.version or 0
    return UpdatePlan(slot_path=card.slot_path, serial_number=card.serial_number,
                      flash_id=flash_id, flash_type=card.flash_type,
                      card_subsystem_id=subsystem, installed_version=installed,
                      image_version=image_version, section=section.number,
                      newer=image_version > installed, force=bool(force))


def update_firmware(card: "UpstreamCard", image: bytes, force: bool = False,
                    tool: Optional[str] = None) -> UpdatePlan:
    """Checks as plan_update does, refuses an image that is not newer unless
    force is true, then writes it; returns the plan carried out."""
    report = _checked_report(image, tool)
    with card.session():
        plan = _plan(card, report, force)
        if not plan.will_write:
            raise NotNewerError(_C["QVZEL_ERR_INVALID_PARAMETER"],
                                "the image is not newer than the installed version; "
                                "pass force=True to reinstall it")
        check(card._write_firmware(image, plan.force), "writing the firmware failed")
    return plan
