"""Offline checks of firmware image files, through `qvzel check-image --json`.

The checks themselves are the C++ image checker's, the one the library's
update and the qvzel tool use; this module runs the tool and turns its JSON
report (layout "qvzel-image-check", docs/tool.md) into Python objects, so that
Python callers get exactly the tool's findings and never a second copy of the
rules that could drift from it.
"""
import json
import os
import re
import shutil
import subprocess
from dataclasses import dataclass, field, fields
from typing import Any, Dict, Optional, Tuple, Type, TypeVar, Union

from .errors import ToolError

# Names the qvzel tool to run instead of the one on PATH.
TOOL_VARIABLE = "QVZEL_TOOL"
_FORMAT = "qvzel-image-check"
_LAYOUT = 1
_T = TypeVar("_T")


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

