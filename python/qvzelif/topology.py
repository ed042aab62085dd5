# SPDX-License-Identifier: LGPL-2.1-or-later
"""Which link controller hangs below which port of which upstream card.

The slot-path texts are the library's own ("MRrr:c0,c1,...,cn", from the
function itself up to root bus rr); they are cut at the colon and the commas
and compared piece by piece as texts, as `qvzel list` does. An upstream card
reports the slot path of its first port's bridge; its other ports' bridges
sit beside it at the next device numbers. A controller hangs below a port
when the port bridge's path is a strict tail of the controller's path.
"""
from typing import Dict, Iterable, List, Optional, Tuple

# (index, kind, slot path, port count) of one listed item.
ItemPath = Tuple[int, str, Optional[str], int]


def _split(text: Optional[str]) -> Optional[Tuple[str, List[str]]]:
    if not text or ":" not in text:
        return None
    root, _, codes = text.upper().partition(":")
    return root, codes.split(",") if codes else []


def _code(text: str) -> Optional[Tuple[int, int]]:
    """Device and function of a device/function code ("(device << 3) | function" in hex)."""
    try:
        value = int(text, 16)
    except ValueError:
        return None
    return (value >> 3, value & 7) if 0 <= value <= 0xFF else None


def _port_index(bridge: str, first: str, port_count: int) -> int:
    if bridge == first:
        return 0
    found, start = _code(bridge), _code(first)
    if found is None or start is None or found[1] != start[1]:
        return -1
    offset = found[0] - start[0]
    return offset if 0 < offset < port_count else -1


def port_below(upstream_path: Optional[str], port_count: int,
               controller_path: Optional[str]) -> Optional[Tuple[int, int]]:
    """(port index, depth) of the card's port the controller hangs below, or
    None; a larger depth is a closer match."""
    port, controller = _split(upstream_path), _split(controller_path)
    if port_count <= 0 or port is None or not port[1] or controller is None:
        return None
    if port[0] != controller[0]:
        return None
    # The port bridges' common parent must be a tail of the controller's
    # path, with the port bridge and at least one level below it in front.
    parent = port[1][1:]
    codes = controller[1]
    if len(codes) < len(parent) + 2:
        return None
    offset = len(codes) - len(parent)
    if codes[offset:] != parent:
        return None
    index = _port_index(codes[offset - 1], port[1][0], port_count)
    return (index, len(port[1])) if index >= 0 else None


def attach(items: Iterable[ItemPath]) -> Dict[int, Tuple[int, int]]:
    """For each controller below a port: its index -> (upstream index, port index)."""
    listed = list(items)
    result: Dict[int, Tuple[int, int]] = {}
    for index, kind, path, _ in listed:
        if kind != "controller":
            continue
        best = 0
        for upstream, other_kind, upstream_path, port_count in listed:
            if other_kind != "upstream":
                continue
            found = port_below(upstream_path, port_count, path)
            if found is not None and found[1] > best:
                best = found[1]
                result[index] = (upstream, found[0])
    return result
