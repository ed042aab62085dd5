# SPDX-License-Identifier: LGPL-2.1-or-later
"""Loading libqvzelif.so.1 and declaring its nine functions for ctypes."""
import ctypes
import os
import threading
from typing import Dict, Optional, Tuple, Union

from . import _header
from .errors import LibraryError

DEFAULT_NAME = "libqvzelif.so.1"
# Names a library file to load instead of the one the dynamic loader finds.
LIBRARY_VARIABLE = "QVZELIF_LIBRARY"

_P = ctypes.c_void_p
_U32 = ctypes.c_uint32
_PROTOTYPES = {
    "nQVPXIFINDER100_openList": (ctypes.POINTER(_U32), ctypes.POINTER(_P)),
    "nQVPXIFINDER100_closeList": (_P,),
    "nQVPXIFINDER100_getNthItem": (_P, _U32, ctypes.POINTER(_P)),
    "nQVPXIFINDER100_getU32Attribute": (_P, _U32, ctypes.POINTER(_U32)),
    "nQVPXIFINDER100_getStringAttribute": (_P, _U32, ctypes.POINTER(ctypes.c_char_p)),
    "nQVPXIFINDER100_getControllerIDSELMap": (_P, ctypes.POINTER(ctypes.POINTER(ctypes.c_uint8))),
    "nQVPXIKTFINDER100_openDevice": (_P,),
    "nQVPXIKTFINDER100_closeDevice": (_P,),
    "nQVPXIKTFINDER100_updateFirmware": (_P, ctypes.c_char_p, _U32, _U32),
}

IDSEL_MAP_SIZE = _header.CONSTANTS["QVZEL_IDSEL_MAP_SIZE"]


class Library:
    """One loaded copy of libqvzelif.so.1 with typed entry points.

    The library serialises every call itself, so one object serves every
    thread of the process.
    """

    def __init__(self, path: Optional[str] = None) -> None:
        self.path = _library_path(path)
        try:
            self._dll = ctypes.CDLL(self.path)
        except OSError as error:
            raise LibraryError("cannot load the library %s: %s"
                               % (self.path, error)) from error
        for name, argtypes in _PROTOTYPES.items():
            try:
                function = getattr(self._dll, name)
            except AttributeError as error:
                raise LibraryError("%s is not libqvzelif.so.1: it has no function %s"
                                   % (self.path, name)) from error
            function.argtypes = argtypes
            function.restype = ctypes.c_int32

    def open_list(self) -> Tuple[int, int, Optional[int]]:
        """(code, count, handle) of a new list."""
        count = _U32(0)
        handle = _P(None)
        code = self._dll.nQVPXIFINDER100_openList(ctypes.byref(count), ctypes.byref(handle))
        return code, count.value, handle.value

    def close_list(self, handle: Optional[int]) -> None:
        self._dll.nQVPXIFINDER100_closeList(handle)

    def nth_item(self, handle: Optional[int], index: int) -> Tuple[int, Optional[int]]:
        item = _P(None)
        code = self._dll.nQVPXIFINDER100_getNthItem(handle, index, ctypes.byref(item))
        return code, item.value

    def u32(self, item: int, attribute: int) -> Tuple[int, int]:
        value = _U32(0)
        code = self._dll.nQVPXIFINDER100_getU32Attribute(item, attribute, ctypes.byref(value))
        return code, value.value

    def text(self, item: int, attribute: int) -> Tuple[int, Optional[str]]:
        value = ctypes.c_char_p(None)
        code = self._dll.nQVPXIFINDER100_getStringAttribute(item, attribute, ctypes.byref(value))
        raw = value.value
        # Texts come from hardware and files; never fail on a stray byte.
        return code, None if raw is None else raw.decode("utf-8", "replace")

    def idsel_map(self, item: int) -> Tuple[int, Optional[bytes]]:
        table = ctypes.POINTER(ctypes.c_uint8)()
        code = self._dll.nQVPXIFINDER100_getControllerIDSELMap(item, ctypes.byref(table))
        if code < 0 or not table:
            return code, None
        return code, bytes(table[:IDSEL_MAP_SIZE])

    def open_device(self, item: int) -> int:
        return self._dll.nQVPXIKTFINDER100_openDevice(item)

    def close_device(self, item: int) -> None:
        self._dll.nQVPXIKTFINDER100_closeDevice(item)

    def update_firmware(self, item: int, image: bytes, force: bool) -> int:
        flags = _header.CONSTANTS["QVZEL_FORCE_UPDATE"] if force else 0
        return self._dll.nQVPXIKTFINDER100_updateFirmware(item, image, len(image), flags)


_loaded: Dict[str, Library] = {}
_lock = threading.Lock()


def _library_path(path: "Optional[Union[str, os.PathLike[str]]]") -> str:
    if path is not None and not isinstance(path, (str, os.PathLike)):
        raise TypeError("library must be a path or a Library, not %s" % type(path).__name__)
    chosen = os.fspath(path) if path is not None else ""
    return chosen or os.environ.get(LIBRARY_VARIABLE) or DEFAULT_NAME


def load_library(path: "Optional[Union[str, os.PathLike[str]]]" = None) -> Library:
    """The library at path (default: $QVZELIF_LIBRARY, else libqvzelif.so.1
    as the dynamic loader finds it), loaded once per path. Raises
    LibraryError (an OSError) when it cannot be loaded."""
    key = _library_path(path)
    with _lock:
        if key not in _loaded:
            _loaded[key] = Library(key)
        return _loaded[key]
