# SPDX-License-Identifier: LGPL-2.1-or-later
"""Reading firmware image files, and their offline checks through
`qvzel check-image --json`.

The checks themselves are the C++ image checker's, the one the library's
update and the qvzel tool use; this module runs the tool and turns its JSON
report (layout "qvzel-image-check", docs/tool.md) into Python objects, so that
Python callers get exactly the tool's findings and never a second copy of the
rules that could drift from it.
"""
import errno
import json
import os
import re
import shutil
import stat
import subprocess
from dataclasses import dataclass, field, fields
from typing import Any, Dict, List, Optional, Tuple, Type, TypeVar, Union

from . import _header
from .errors import ImageFileError, ToolError

# Names the qvzel tool to run instead of the one on PATH.
TOOL_VARIABLE = "QVZEL_TOOL"
_FORMAT = "qvzel-image-check"
_LAYOUT = 1
_T = TypeVar("_T")
_C = _header.CONSTANTS

# The largest image the library takes: its length is an unsigned 32-bit number.
LARGEST_IMAGE = 0xFFFFFFFF
# Bytes asked of one read; a pipe or a device is read in such pieces.
_CHUNK = 1 << 20

# A firmware image: a file path or the file's bytes.
ImageSource = Union[str, bytes, bytearray, memoryview, "os.PathLike[str]"]


def read_image(image: ImageSource) -> bytes:
    """The bytes of a firmware image: the bytes given, or the file at a path
    read whole, once.

    A regular file longer than the library takes is refused before it is
    read; a pipe or a device is read to its end but never past that limit (a
    pipe without a writer reads as empty, so opening it never waits). Raises
    ImageFileError (an OSError and a QvzelError) with the path and the reason,
    TypeError for anything else than a path or bytes (an int is taken for no
    file descriptor).
    """
    if isinstance(image, (bytes, bytearray, memoryview)):
        data = bytes(image)
        if len(data) > LARGEST_IMAGE:
            raise ImageFileError(_C["QVZEL_ERR_OVERFLOW"], "the image is longer than the largest "
                                 "image the library takes (%d bytes)" % LARGEST_IMAGE, "<bytes>")
        return data
    if isinstance(image, (str, os.PathLike)) and not isinstance(image, bool):
        return _read_file(os.fspath(image))
    raise TypeError("a firmware image is a file path or bytes, not %s" % type(image).__name__)


def _file_error(what: str, path: str, number: int, reason: str) -> ImageFileError:
    code = {errno.ENOENT: "QVZEL_ERR_NOT_FOUND", errno.ENOTDIR: "QVZEL_ERR_NOT_FOUND",
            errno.EACCES: "QVZEL_ERR_PERMISSION_DENIED", errno.EPERM: "QVZEL_ERR_PERMISSION_DENIED",
            errno.EISDIR: "QVZEL_ERR_INVALID_PARAMETER"}.get(number, "QVZEL_ERR_IO")
    return ImageFileError(_C[code], "cannot %s the image file %r: %s" % (what, path, reason),
                          path, number, reason)


def _too_long(path: str) -> ImageFileError:
    return ImageFileError(_C["QVZEL_ERR_OVERFLOW"], "the image file %r is longer than the largest "
                          "image the library takes (%d bytes)" % (path, LARGEST_IMAGE), path,
                          errno.EFBIG, os.strerror(errno.EFBIG))


def _read_file(path: str) -> bytes:
    try:
        # Non-blocking only for the opening, so that a pipe without a writer
        # does not hold the caller; reads block again below.
        descriptor = os.open(path, os.O_RDONLY | os.O_CLOEXEC | os.O_NOCTTY | os.O_NONBLOCK)
    except OSError as error:
        raise _file_error("open", path, error.errno or 0, error.strerror or str(error)) from None
    try:
        info = os.fstat(descriptor)
        if stat.S_ISDIR(info.st_mode):
            raise _file_error("read", path, errno.EISDIR, "it is a directory")
        if stat.S_ISREG(info.st_mode) and info.st_size > LARGEST_IMAGE:
            raise _too_long(path)
        os.set_blocking(descriptor, True)
        pieces: List[bytes] = []
        total = 0
        while True:
            # One byte past the limit tells a file that is too long.
            piece = os.read(descriptor, min(_CHUNK, LARGEST_IMAGE + 1 - total))
            if not piece:
                break
            pieces.append(piece)
            total += len(piece)
            if total > LARGEST_IMAGE:
                raise _too_long(path)
        return b"".join(pieces)
    except OSError as error:
        if isinstance(error, ImageFileError):
            raise
        raise _file_error("read", path, error.errno or 0, error.strerror or str(error)) from None
    finally:
        os.close(descriptor)


def find_tool(tool: Optional[str] = None) -> str:
    """The qvzel program to run: tool when given, else $QVZEL_TOOL, else
    qvzel on PATH. Raises ToolError when there is none."""
    candidate = tool or os.environ.get(TOOL_VARIABLE) or shutil.which("qvzel")
    if not candidate:
        raise ToolError("the qvzel tool is not on PATH; name it with tool= or $%s"
                        % TOOL_VARIABLE)
    return candidate


@dataclass(frozen=True)
class ImageSection:
    """One section of an image (one flash type), as the checker saw it.

    Numbers are None when the section lacks the key (or, for the payload
    values, when no payload was found)."""

    number: int
    start: int
    end: int
    update_type: Optional[str]
    flash_id: Optional[int]
    flash_type: Optional[str]
    header_version: Optional[int]
    subsystem_id: Optional[int]
    pin_out_address: Optional[int]
    pin_out_version: Optional[int]
    offset: Optional[int]
    version: Optional[int]
    byte_count: Optional[int]
    declared_crc: Optional[int]
    payload_offset: Optional[int]
    payload_length: Optional[int]
    decoded_length: Optional[int]
    computed_crc: Optional[int]
    superseded: bool
    valid: bool
    reason: Optional[str]
    problems: Tuple[str, ...] = ()


@dataclass(frozen=True)
class ImageReport:
    """The checker's verdict on a whole image: valid only when every section
    is valid and the library's own section scan accepts the image."""

    file: str
    size: Optional[int]
    valid: bool
    reason: Optional[str]
    image_problems: Tuple[str, ...] = ()
    sections: Tuple[ImageSection, ...] = ()
    raw: Dict[str, Any] = field(default_factory=dict, compare=False, repr=False)

    def section_for_flash(self, flash_id: int) -> Optional[ImageSection]:
        """The section an update writes into a flash of this identifier: the
        last one of its type, as the library picks it; None when there is none."""
        chosen = None
        for section in self.sections:
            if section.flash_id == flash_id:
                chosen = section
        return chosen


def _snake(name: str) -> str:
    return re.sub(r"(?<=[a-z0-9])([A-Z])", r"_\1", name).lower()


def _build(cls: Type[_T], document: Dict[str, Any]) -> _T:
    """cls from a JSON object; keys the class does not know (added by a newer
    tool) are left out."""
    known = {item.name for item in fields(cls)}  # type: ignore[arg-type]
    values = {}
    for key, value in document.items():
        name = _snake(key)
        if name in known:
            values[name] = tuple(value) if isinstance(value, list) else value
    return cls(**values)


def parse_report(document: Dict[str, Any]) -> ImageReport:
    """An ImageReport from the tool's parsed JSON document."""
    if document.get("format") != _FORMAT or document.get("layoutVersion") != _LAYOUT:
        raise ToolError("the tool answered a document of format %r, layout %r; expected %r, %d"
                        % (document.get("format"), document.get("layoutVersion"), _FORMAT,
                           _LAYOUT))
    top = {key: value for key, value in document.items() if key != "sections"}
    report = _build(ImageReport, top)
    sections = tuple(_build(ImageSection, item) for item in document.get("sections", []))
    return ImageReport(file=report.file, size=report.size, valid=report.valid,
                       reason=report.reason, image_problems=report.image_problems,
                       sections=sections, raw=document)


def check_image(path: Union[str, "os.PathLike[str]"], tool: Optional[str] = None) -> ImageReport:
    """Validates a firmware image file offline, as `qvzel check-image` does.

    Returns the report whatever the verdict (an unreadable file is an invalid
    image with the reason); raises ToolError only when the tool cannot be
    run or answers something else than its report.
    """
    program = find_tool(tool)
    try:
        run = subprocess.run([program, "check-image", "--json", "--", os.fspath(path)],
                             capture_output=True, text=True, check=False,
                             stdin=subprocess.DEVNULL)
    except OSError as error:
        raise ToolError("cannot run %s: %s" % (program, error)) from error
    try:
        document = json.loads(run.stdout)
    except ValueError as error:
        raise ToolError("%s check-image exited with %d without a report: %s"
                        % (program, run.returncode, run.stderr.strip())) from error
    report = parse_report(document)
    if report.valid != (run.returncode == 0):
        raise ToolError("%s check-image exited with %d for a report with valid=%s"
                        % (program, run.returncode, report.valid))
    return report

