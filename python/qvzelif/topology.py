# SPDX-License-Identifier: LGPL-2.1-or-later
"""Which link controller hangs below which port of which upstream card.

As `qvzel list` does it: an upstream card reports the slot path of its first
port's bridge, and `port_slot_path` writes its other ports' bridge paths. A
controller hangs below the port whose bridge's path is one of the
controller's ancestor paths (its path with one or more codes cut off the
front), the closest first. Paths ("MRrr:c0,c1,...,cn", from the function
itself up to root bus rr) are compared as whole upper-case texts, the form
the library writes.
"""
import re
from typing import Dict, Iterable, List, Optional, Tuple

# (index, kind, slot path, port count) of one listed item.
ItemPath = Tuple[int, str, Optional[str], int]

# A code is a function number in its low bits with the device number above
# them, in one or two hex digits; a bus has device numbers up to _MAX_DEVICE.
_CODE = re.compile(r"[0-9A-F]{1,2}")
_FUNCTION_BITS = 3
_FUNCTION_MASK = (1 << _FUNCTION_BITS) - 1
_MAX_DEVICE = 31


def port_slot_path(card_path: Optional[str], port: int) -> Optional[str]:
    """The slot path of port `port`'s bridge, from the card's (that of its
    first port's bridge, returned for port 0): the other ports' bridges sit
    beside it at the following device numbers, same function. None when the
    path has no first code or the device number would run past the bus. The
    only place where a code is read as a number."""
    if not card_path:
        return None
    text = card_path.upper()
    if port == 0:
        return text
    root, colon, codes = text.partition(":")
    first, comma, rest = codes.partition(",")
    if not colon or not _CODE.fullmatch(first):
        return None
    code = int(first, 16)
    device = (code >> _FUNCTION_BITS) + port
    if port < 0 or device > _MAX_DEVICE:
        return None
    return f"{root}:{(device << _FUNCTION_BITS) | (code & _FUNCTION_MASK):02X}{comma}{rest}"


def _ancestor_paths(path: str) -> List[str]:
    """The paths of a path's ancestors, the closest first."""
    root, colon, codes = path.upper().partition(":")
    if not colon:
        return []
    parts = codes.split(",")
    return [f"{root}:{','.join(parts[cut:])}" for cut in range(1, len(parts))]


def attach(items: Iterable[ItemPath]) -> Dict[int, Tuple[int, int]]:
    """For each controller below a port: its index -> (upstream index, port index)."""
    listed = list(items)
    # Every port bridge's path; a path two cards name stays with the first.
    ports: Dict[str, Tuple[int, int]] = {}
    for index, kind, path, port_count in listed:
        if kind != "upstream":
            continue
        for port in range(port_count):
            bridge = port_slot_path(path, port)
            if bridge is not None:
                ports.setdefault(bridge, (index, port))
    result: Dict[int, Tuple[int, int]] = {}
    for index, kind, path, _ in listed:
        if kind != "controller" or not path:
            continue
        for ancestor in _ancestor_paths(path):
            if ancestor in ports:
                result[index] = ports[ancestor]
                break
    return result
