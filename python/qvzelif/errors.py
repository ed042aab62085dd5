# SPDX-License-Identifier: LGPL-2.1-or-later
"""Exceptions carrying the library's status codes.

Every failure the library reports becomes an exception that holds the status
code, the name of its constant in qvzelif.h and the sentence that explains it,
taken from the header's status table. One class per family lets a caller
catch what it can handle::

    try:
        card.update_firmware("new.img")
    except qvzelif.NotSupportedError as error:
        print(error.code, error.name, error.text)
"""
from typing import Any, Dict, Optional, Tuple, Type

from . import _header

_BY_CODE: Dict[int, Tuple[str, str]] = {
    code: (name, text) for code, name, text in _header.STATUS_TABLE
}


def status_name(code: int) -> str:
    """The symbolic name of a status code, as qvzel_status_name() gives it."""
    return status_entry(code)[0]


def status_text(code: int) -> str:
    """The sentence explaining a status code, as qvzel_status_text() gives it."""
    return status_entry(code)[1]


def status_entry(code: int) -> Tuple[str, str]:
    """Name and sentence of a status code; codes the table lacks get the
    header's names for an unknown error or warning."""
    entry = _BY_CODE.get(code)
    if entry is not None:
        return entry
    return _header.UNKNOWN_ERROR if code < 0 else _header.UNKNOWN_WARNING


class QvzelError(Exception):
    """A failure the library (or this package on its behalf) reported.

    Attributes:
        code: the status code, negative for errors.
        name: the name of the code's constant, e.g. "QVZEL_ERR_NOT_FOUND".
        text: the sentence the status table gives for the code.
        message: what was being done, when the caller knows more than the code.
    """

    # Set on the error of a failed firmware write: True when the write may
    # have reached the flash, so the card may need the update again.
    write_may_have_started = False

    def __init__(self, code: int, message: Optional[str] = None) -> None:
        self.code = code
        self.name, self.text = status_entry(code)
        self.message = message
        summary = "status %d (%s): %s" % (code, self.name, self.text)
        super().__init__("%s; %s" % (message, summary) if message else summary)

    def as_dict(self) -> Dict[str, Any]:
        """code, name, text and message as plain data."""
        return {"code": self.code, "name": self.name, "text": self.text, "message": self.message}


class NotFoundError(QvzelError):
    """No such device, driver interface or image section (QVZEL_ERR_NOT_FOUND)."""


class NotSupportedError(QvzelError):
    """The device does not support the operation or has no such value
    (QVZEL_ERR_NOT_SUPPORTED, QVZEL_ERR_PCIBRD_ATTR_NOT_SERVED)."""


class InvalidParameterError(QvzelError):
    """A handle, index, item kind or image was refused (QVZEL_ERR_INVALID_PARAMETER)."""


class ClosedListError(InvalidParameterError):
    """An object was used after its list was closed."""


class NotNewerError(InvalidParameterError):
    """A firmware image is not newer than the installed firmware and force was not given."""


class DriverError(QvzelError):
    """The kernel driver or the operating system failed the request: an
    input/output error, a timeout, a busy device, a refused permission and the
    like (the errno family of codes)."""


# The family of each code; the rest are plain QvzelError.
_FAMILIES: Dict[str, Type[QvzelError]] = {
    "QVZEL_ERR_NOT_FOUND": NotFoundError,
    "QVZEL_ERR_NOT_SUPPORTED": NotSupportedError,
    "QVZEL_ERR_PCIBRD_ATTR_NOT_SERVED": NotSupportedError,
    "QVZEL_ERR_INVALID_PARAMETER": InvalidParameterError,
}
for _name in ("TIMEOUT", "SYSTEM", "IN_PROGRESS", "OVERFLOW", "ALREADY_EXISTS", "OWNER_DEAD",
              "DEADLOCK", "BUFFER_TOO_SMALL", "ID_REMOVED", "CONNECTION_ABORTED", "IO",
              "INTERRUPTED", "PERMISSION_DENIED", "BUSY"):
    _FAMILIES["QVZEL_ERR_" + _name] = DriverError


def error_for(code: int, message: Optional[str] = None) -> QvzelError:
    """The exception of the right family for a status code."""
    return _FAMILIES.get(status_name(code), QvzelError)(code, message)


def check(code: int, message: Optional[str] = None) -> int:
    """Raises the exception for an error code; returns success and warning codes."""
    if code < 0:
        raise error_for(code, message)
    return code


class ToolError(RuntimeError):
    """The qvzel tool, which checks firmware images, is missing or failed."""


class LibraryError(OSError):
    """libqvzelif.so.1 cannot be loaded from where it was looked for, or is
    not the library (an entry point is missing). str() says which file and why."""


class ImageFileError(QvzelError, OSError):
    """A firmware image file cannot be opened or read, is not a file that
    holds an image (a directory), or is longer than the library takes.

    Both an OSError (errno, strerror, filename are set) and a QvzelError
    (code, name, text, message): ``except OSError`` and ``except
    qvzelif.QvzelError`` both catch it, and str() starts with the path and
    the real reason, e.g. "cannot open the image file 'fw.img': No such file
    or directory".
    """

    def __init__(self, code: int, message: str, path: str, errno_value: Optional[int] = None,
                 reason: Optional[str] = None) -> None:
        QvzelError.__init__(self, code, message)
        self.errno = errno_value
        self.strerror = reason
        self.filename = path

    def __str__(self) -> str:
        return "%s; status %d (%s)" % (self.message, self.code, self.name)


class UpdateInterrupted(KeyboardInterrupt):
    """SIGINT or SIGTERM arrived while a firmware update was being written.

    The signal is held back until the library has answered, so that the write
    is never cut short and its outcome is not lost; then this exception is
    raised. outcome is the plan that was written (an UpdatePlan) or the
    QvzelError the write failed with; signal is the signal number.
    """

    def __init__(self, signal_number: int, outcome: Any) -> None:
        self.signal = signal_number
        self.outcome = outcome
        if isinstance(outcome, BaseException):
            what = "the firmware update failed: %s" % outcome
        else:
            what = "the firmware update finished: %s" % outcome.describe()
        super().__init__("interrupted by signal %d after the write; %s" % (signal_number, what))
