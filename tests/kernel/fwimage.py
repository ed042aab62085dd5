# SPDX-License-Identifier: LGPL-2.1-or-later
"""Firmware images for the kernel checks and the kernel benchmark.

Reads the sections of an image the way an update picks them (for the bytes a
card's flash must hold afterwards) and writes images of any size, with every
header field chosen by the caller, so that a check can build an image an
update accepts or one it must refuse. The format is docs/firmware-images.md.
"""
import base64
import random
import re

FLASH_TYPES = {"SST": '"SSTFlashFWUpdate"', "ISSI": '"ISSIFlashFWUpdate"'}
FLASH_IDS = {0xBF8E: "SST", 0x9D17: "ISSI"}
BOOT_OFFSET = 0x20000  # where the card reads the version it runs after a reload
SECTOR = 4096  # the flash's erase unit
ALPHABET = re.compile(rb"[^A-Za-z0-9+/]")


def _crc_table():
    table = []
    for i in range(256):
        crc = i << 24
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1EDC6F41) if crc & 0x80000000 else crc << 1
        table.append(crc & 0xFFFFFFFF)
    return table


_TABLE = _crc_table()


def crc(data):
    """The image checksum: polynomial 0x1EDC6F41, MSB first, inverted."""
    value = 0xFFFFFFFF
    for byte in data:
        value = ((value << 8) & 0xFFFFFFFF) ^ _TABLE[(value >> 24) ^ byte]
    return value ^ 0xFFFFFFFF


def decode_payload(text):
    """Base64 with every byte outside the alphabet skipped, as an update reads it."""
    letters = ALPHABET.sub(b"", text)
    if len(letters) % 4 == 1:
        letters = letters[:-1]  # a lone final character gives nothing
    return base64.b64decode(letters + b"=" * (-len(letters) % 4))


def _number(value, base):
    match = re.match(r"\s*(?:0[xX])?([0-9a-fA-F]+)" if base == 16 else r"\s*([0-9]+)", value)
    return int(match.group(1), base) if match else 0


class Section:
    """One section of an image: its header values and its decoded payload."""

    def __init__(self, header, payload):
        self.header = header
        self.payload = payload

    def value(self, key, base=16):
        return _number(self.header.get(key, ""), base)

    @property
    def offset(self):
        return self.value("Offset")

    @property
    def version(self):
        return self.value("Version")

    @property
    def flash_type(self):
        for name, text in FLASH_TYPES.items():
            if self.header.get("UpdateType") == text:
                return name
        return None


def read_sections(data):
    """The sections of a well-formed image (the demo images), in file order."""
    sections = []
    starts = [m.start() for m in re.finditer(rb"HeaderVersion::", data)]
    for number, start in enumerate(starts):
        end = starts[number + 1] - 1 if number + 1 < len(starts) else len(data)
        block = data[start:end]
        head, _, body = block.partition(b"\r\n\r\n")
        header = {}
        for line in head.decode("latin-1").split("\r\n"):
            key, sep, value = line.partition("::")
            if sep:
                header[key] = value
        sections.append(Section(header, decode_payload(body)))
    return sections


def section_for(data, flash_id):
    """The section an update writes into a card with FLASH_ID (the last one of its type)."""
    wanted = FLASH_IDS[flash_id]
    found = [s for s in read_sections(data) if s.flash_type == wanted]
    if not found:
        raise ValueError("the image has no section for flash 0x%04X" % flash_id)
    return found[-1]


def make_image(payload, version, offset, flash="ISSI", subsystem=0x5A31, pinout=(0x40, 0x3),
               byte_count=None, checksum=None):
    """One section for FLASH with every field given; BYTE_COUNT and CHECKSUM
    default to the payload's own, so passing them makes an image to refuse."""
    lines = [
        "HeaderVersion::2",
        "UpdateType::" + FLASH_TYPES[flash],
        "SubSystemID::%X" % subsystem,
        "PinOutAddr::0x%X" % pinout[0],
        "PinOutVer::0x%X" % pinout[1],
        "Offset::0x%X" % offset,
        "Version::%04X" % version,
        "ByteCount::%d" % (len(payload) if byte_count is None else byte_count),
        "CRC::%d" % (crc(payload) if checksum is None else checksum),
        "",
    ]
    encoded = base64.b64encode(payload)
    body = b"\r\n".join(encoded[i:i + 76] for i in range(0, len(encoded), 76))
    return ("\r\n".join(lines) + "\r\n").encode() + body + b"\r\n"


def boot_payload(version, size, seed=1):
    """SIZE bytes that start with the card's boot header for VERSION, then a
    fixed pseudo-random sequence: written at the boot header's offset, a
    reload makes the card run VERSION."""
    header = b"QVFW" + version.to_bytes(4, "little")
    return (header + random.Random(seed).randbytes(max(size - len(header), 0)))[:size]
