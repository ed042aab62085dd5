# SPDX-License-Identifier: LGPL-2.1-or-later
"""Firmware updates of upstream cards, with the checks `qvzel update` makes.

The library checks an image itself and never writes one that fails its
checks; like the tool, this module checks first and says why in words. The
findings are those of the image checker (`qvzel check-image`, the C++ code
the library's update runs); this module takes the section the library picks
for the card and refuses in the update's order with the code the library's
update records, so that a refusal has the same code here, in the tool and in
the library, and the checker's sentence with it.

The steps take plain values (CardValues, the checker's report, the write's
code); UpstreamCard reads the card and runs them in order, so that this
module never calls back into the card.
"""
import contextlib
import os
import signal
import tempfile
import threading
from dataclasses import dataclass, replace
from typing import Any, Dict, Iterator, List, Optional, Tuple

from . import _header
from .errors import NotNewerError, QvzelError, UpdateInterrupted, error_for, status_text
from .images import ImageReport, ImageSection, check_image

_C = _header.CONSTANTS
_SUPPORTED_HEADER_VERSION = 2
# The signals an update holds back while the library writes.
_HELD_SIGNALS = (signal.SIGINT, signal.SIGTERM)

# Flash identifiers the cards report, and the flash each stands for.
FLASH_TYPES: Dict[int, str] = {
    _C["QVZEL_FLASH_ID_ISSI"]: "ISSI",
    _C["QVZEL_FLASH_ID_SST"]: "SST",
}


@dataclass(frozen=True)
class CardValues:
    """What an update reads of a card inside its device session; None where
    the card does not report a value."""

    slot_path: Optional[str]
    serial_number: Optional[str]
    flash_id: Optional[int]
    installed_version: Optional[int]
    subsystem_id: Optional[int]

    @property
    def flash_type(self) -> Optional[str]:
        return None if self.flash_id is None else FLASH_TYPES.get(self.flash_id)


@dataclass(frozen=True)
class UpdatePlan:
    """What an update of one card with one image does, or did.

    newer: the image's version is above the installed one; will_write: the
    update writes (newer, or force given); written: the library wrote it;
    warning: the positive status code the driver answered the write with
    (None when it answered 0).
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
    written: bool = False
    warning: Optional[int] = None

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
        if self.warning is not None:
            text += "; the driver answered with warning %d: %s" % (self.warning,
                                                                   status_text(self.warning))
        return text


@dataclass(frozen=True)
class _Verdict:
    """The update's verdict for one card: the section it picks (None when
    none), the code it ends with before its driver request (0: it writes) and
    why, in words."""

    section: Optional[ImageSection]
    code: int
    reason: str


def _flash_text(flash_id: Optional[int]) -> str:
    if flash_id is None:
        return "an unknown flash"
    return "%s (flash ID 0x%04X)" % (FLASH_TYPES.get(flash_id, "unknown"), flash_id)


def card_verdict(report: ImageReport, flash_id: int, subsystem_id: int, installed: int,
                 force: bool) -> _Verdict:
    """The library's update of a card with these values: its checks in their
    order (ImageCheck in the image module), each with the code it records."""
    sections = report.sections
    # The split refuses the whole image at its first section without an
    # accepted update type, and an image without any section.
    for section in sections:
        if section.flash_id is None:
            code = "QVZEL_ERR_OVERFLOW" if section.update_type is None else "QVZEL_ERR_NOT_SUPPORTED"
            return _Verdict(None, _C[code], "the image is not valid: %s" % report.reason)
    if not sections:
        code = "QVZEL_ERR_NOT_FOUND" if not report.size else "QVZEL_ERR_OVERFLOW"
        return _Verdict(None, _C[code], "the image is not valid: %s" % report.reason)
    chosen = None
    for section in sections:  # a later section of the same flash wins
        if section.flash_id == flash_id:
            chosen = section
    if chosen is None:
        return _Verdict(None, _C["QVZEL_ERR_NOT_FOUND"],
                        "the image holds no section for this card's flash memory, %s; its "
                        "sections are for %s" % (_flash_text(flash_id), ", ".join(
                            _flash_text(section.flash_id) for section in sections)))

    def refuse(code: str, reason: Optional[str] = None) -> _Verdict:
        return _Verdict(chosen, _C[code], reason or "the image's section %d for this card is not "
                        "valid: %s" % (chosen.number, chosen.reason or "the library refuses it"))

    if chosen.header_version is None:
        return refuse("QVZEL_ERR_OVERFLOW")
    if chosen.header_version != _SUPPORTED_HEADER_VERSION:
        return refuse("QVZEL_ERR_NOT_SUPPORTED")
    if chosen.subsystem_id is None:
        return refuse("QVZEL_ERR_OVERFLOW")
    if chosen.subsystem_id != subsystem_id:
        return refuse("QVZEL_ERR_NOT_SUPPORTED",
                      "the image is made for subsystem ID 0x%04X, but this card reports 0x%04X; "
                      "it is meant for another product" % (chosen.subsystem_id, subsystem_id))
    if None in (chosen.pin_out_address, chosen.pin_out_version, chosen.offset, chosen.version):
        return refuse("QVZEL_ERR_OVERFLOW")
    if not (chosen.version or 0) > installed and not force:
        return refuse("QVZEL_ERR_INVALID_PARAMETER",
                      "the image is not newer than the installed version; pass force=True to "
                      "reinstall it")
    if chosen.byte_count is None or chosen.declared_crc is None or chosen.decoded_length is None:
        return refuse("QVZEL_ERR_OVERFLOW")
    if chosen.decoded_length in (0, None) or chosen.decoded_length != chosen.byte_count & 0xFFFFFFFF:
        return refuse("QVZEL_ERR_INTERNAL")
    if chosen.computed_crc != chosen.declared_crc:
        return refuse("QVZEL_ERR_INTERNAL")
    if not chosen.valid:
        # The checker refuses what these steps pass: never write it.
        return refuse("QVZEL_ERR_INTERNAL")
    return _Verdict(chosen, _C["QVZEL_SUCCESS"], "")


def checked_report(image: bytes, force: Any, tool: Optional[str]) -> ImageReport:
    """Checks the arguments of an update, then gives the checker's report on
    exactly these bytes (a private copy, so that the bytes checked are the
    bytes written)."""
    if not isinstance(force, bool):
        raise TypeError("force must be True or False, not %r" % (force,))
    handle, path = tempfile.mkstemp(prefix="qvzel-image-", suffix=".img")
    try:
        with os.fdopen(handle, "wb") as file:
            file.write(image)
        return check_image(path, tool)
    finally:
        os.unlink(path)


def _numbers(card: CardValues) -> Tuple[int, int, int]:
    if card.flash_id is None or card.installed_version is None or card.subsystem_id is None:
        raise error_for(_C["QVZEL_ERR_NOT_SUPPORTED"], "the card does not report its flash, "
                        "firmware version and subsystem ID; nothing was written")
    return card.flash_id, card.subsystem_id, card.installed_version


def plan_update(card: CardValues, report: ImageReport, force: bool) -> UpdatePlan:
    """What an update of the card with the checked image would do; writes
    nothing. Refusals raise the exception of the code the library's update
    gives (NotFoundError: no section for the card's flash;
    NotSupportedError: another subsystem ID or header version; ...) with the
    reason; an image that is not newer gives a plan with will_write false."""
    flash_id, subsystem, installed = _numbers(card)
    verdict = card_verdict(report, flash_id, subsystem, installed, force)
    if verdict.code < 0 and verdict.code != _C["QVZEL_ERR_INVALID_PARAMETER"]:
        raise error_for(verdict.code, verdict.reason + "; nothing was written")
    section = verdict.section
    assert section is not None
    image_version = section.version or 0
    return UpdatePlan(slot_path=card.slot_path, serial_number=card.serial_number,
                      flash_id=flash_id, flash_type=card.flash_type,
                      card_subsystem_id=subsystem, installed_version=installed,
                      image_version=image_version, section=section.number,
                      newer=image_version > installed, force=bool(force))


def require_write(plan: UpdatePlan) -> None:
    """Refuses an image that is not newer unless force was given."""
    if not plan.will_write:
        raise NotNewerError(_C["QVZEL_ERR_INVALID_PARAMETER"],
                            "the image is not newer than the installed version; pass "
                            "force=True to reinstall it; nothing was written")


@contextlib.contextmanager
def signals_held() -> Iterator[List[int]]:
    """Holds SIGINT and SIGTERM back for the block (in the main thread, the
    only one Python delivers signals to); yields the list of those that came."""
    caught: List[int] = []
    if threading.current_thread() is not threading.main_thread():
        yield caught
        return
    previous = {}
    for number in _HELD_SIGNALS:
        try:
            previous[number] = signal.signal(number, lambda got, _frame: caught.append(got))
        except (OSError, ValueError):  # pragma: no cover - an embedding that forbids it
            pass
    try:
        yield caught
    finally:
        for number, handler in previous.items():
            signal.signal(number, handler if handler is not None else signal.SIG_DFL)


def _write_may_have_started(after: Optional[CardValues], report: ImageReport,
                            force: bool) -> bool:
    """After a failed write: False when the library refused the image before
    its driver request (its check, run again on the card's present values,
    refuses it), True otherwise (the driver failed, perhaps mid-write, or the
    card's values could not be read again)."""
    if after is None:
        return True
    try:
        flash_id, subsystem, installed = _numbers(after)
    except QvzelError:
        return True
    return card_verdict(report, flash_id, subsystem, installed, force).code >= 0


def write_outcome(plan: UpdatePlan, code: int, report: ImageReport,
                  after: Optional[CardValues]) -> Any:
    """The outcome of the library's write with the plan: the plan carried out
    (written, and any warning of the driver), or for a failed write the
    code's exception with write_may_have_started set; after is what the card
    reports once the write failed (None when it could not be read)."""
    if code >= 0:
        return replace(plan, written=True, warning=code if code > 0 else None)
    started = _write_may_have_started(after, report, plan.force)
    error = error_for(code, "the firmware update failed: " + (
        "the write may have started, so the card may need the update again" if started
        else "the card's values changed meanwhile and the library refused the image "
        "before writing; nothing was written"))
    error.write_may_have_started = started
    return error


def deliver(caught: List[int], outcome: Any) -> UpdatePlan:
    """Passes held signals on once the outcome is known: a handler of the
    caller's own is called; the default ones become UpdateInterrupted (a
    KeyboardInterrupt) carrying the outcome. Then raises a failed write's
    exception or returns the plan carried out."""
    for number in caught:
        handler = signal.getsignal(number)
        if handler == signal.SIG_IGN:
            continue
        if callable(handler) and handler is not signal.default_int_handler:
            handler(number, None)
            continue
        cause = outcome if isinstance(outcome, BaseException) else None
        raise UpdateInterrupted(number, outcome) from cause
    if isinstance(outcome, QvzelError):
        raise outcome
    assert isinstance(outcome, UpdatePlan)
    return outcome
