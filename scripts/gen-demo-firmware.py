#!/usr/bin/env python3
# SPDX-License-Identifier: LGPL-2.1-or-later
"""Writes the demo firmware images examples/firmware/demo-fw-*.img.

Each image holds one section per flash type (SST and ISSI) for the QV
PXIe-6550 four-port upstream card (subsystem 5A31). Its payload is written at
Offset::0x20000, the flash offset of the card's boot header, and starts with
that header: 'Q','V','F','W' and the image's version as a 32-bit
little-endian number. After an update and a reload the card therefore runs
the image's version (docs/register-map.md, "Boot header"). The rest of the
payload is the same filler in every image, so that two images differ only
in their version bytes and checksum.

  gen-demo-firmware.py           rewrites the images
  gen-demo-firmware.py --check   exit 1 when an image differs from what it would write
"""
import base64
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
FIRMWARE_DIR = ROOT / "examples" / "firmware"

# File name -> firmware version.
IMAGES = {"demo-fw-0100.img": 0x0100, "demo-fw-0200.img": 0x0200}

BOOT_HEADER_OFFSET = 0x20000
BOOT_MAGIC = b"QVFW"
PAYLOAD_BYTES = 200
SUBSYSTEM_ID = "5A31"
PIN_OUT_ADDRESS = "0x40"
PIN_OUT_VERSION = "0x3"
UPDATE_TYPES = ('"SSTFlashFWUpdate"', '"ISSIFlashFWUpdate"')
COMMENT = "# Demo firmware image for the QV PXIe-6550 four-port upstream card."
BASE64_LINE = 64

# The image checksum: polynomial 0x1EDC6F41, most significant bit first,
# initial value and final XOR 0xFFFFFFFF (docs/firmware-images.md).
POLYNOMIAL = 0x1EDC6F41


def crc(data: bytes) -> int:
    value = 0xFFFFFFFF
    for byte in data:
        value ^= byte << 24
        for _ in range(8):
            value = ((value << 1) ^ POLYNOMIAL if value & 0x80000000 else value << 1) & 0xFFFFFFFF
    return value ^ 0xFFFFFFFF


def filler(count: int) -> bytes:
    """Bytes that look like firmware: a 32-bit xorshift with a fixed seed."""
    state, out = 0x51565A4C, bytearray()
    while len(out) < count:
        state ^= (state << 13) & 0xFFFFFFFF
        state ^= state >> 17
        state ^= (state << 5) & 0xFFFFFFFF
        out.append(state & 0xFF)
    return bytes(out)


def payload(version: int) -> bytes:
    header = BOOT_MAGIC + version.to_bytes(4, "little")
    return header + filler(PAYLOAD_BYTES - len(header))


def image(version: int) -> bytes:
    data = payload(version)
    text = base64.b64encode(data).decode("ascii")
    lines = [text[i:i + BASE64_LINE] for i in range(0, len(text), BASE64_LINE)]
    out = [COMMENT]
    for update_type in UPDATE_TYPES:
        out += ["HeaderVersion::2", "UpdateType::" + update_type, "SubSystemID::" + SUBSYSTEM_ID,
                "PinOutAddr::" + PIN_OUT_ADDRESS, "PinOutVer::" + PIN_OUT_VERSION,
                "Offset::0x%X" % BOOT_HEADER_OFFSET, "Version::%04X" % version,
                "ByteCount::%d" % len(data), "CRC::%d" % crc(data), ""] + lines
    return ("\r\n".join(out) + "\r\n").encode("ascii")


def main(argv) -> int:
    check = argv[1:] == ["--check"]
    if argv[1:] and not check:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    assert crc(b"123456789") == 0x05440F15 and crc(b"abc") == 741236882
    stale = 0
    for name, version in IMAGES.items():
        path = FIRMWARE_DIR / name
        wanted = image(version)
        if not check:
            path.write_bytes(wanted)
        elif not path.exists() or path.read_bytes() != wanted:
            print("%s: differs from what %s writes" % (path.relative_to(ROOT), argv[0]))
            stale += 1
    return 1 if stale else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
