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
