#!/usr/bin/env python3
# SPDX-License-Identifier: LGPL-2.1-or-later
"""Writes the uncompressed kernel (vmlinux) held in a bzImage.

Usage: kernel-image.py BZIMAGE OUTPUT

The bzImage carries its kernel as one compressed stream after the set-up
code; this finds the first stream (xz, zstd or gzip) that decompresses to an
ELF file and writes that file. qemu boots it through its PVH entry point.
"""
import gzip
import io
import lzma
import subprocess
import sys

MAGICS = ((b"\xfd7zXZ\x00", "xz"), (b"\x28\xb5\x2f\xfd", "zstd"), (b"\x1f\x8b\x08", "gzip"))


def decompress(kind, data):
    if kind == "xz":
        return lzma.LZMADecompressor().decompress(data)
    if kind == "gzip":
        return gzip.GzipFile(fileobj=io.BytesIO(data)).read()
    # zstd has no module in the standard library: the zstd tool decodes the
    # stream and fails on the bytes after it, so only its output counts.
    run = subprocess.run(["zstd", "-dcq"], input=data, stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, check=False)
    return run.stdout


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[2])
    data = open(sys.argv[1], "rb").read()
    for magic, kind in MAGICS:
        start = data.find(magic)
        while start >= 0:
            try:
                kernel = decompress(kind, data[start:])
            except (lzma.LZMAError, OSError, EOFError):
                kernel = b""
            if kernel.startswith(b"\x7fELF"):
                open(sys.argv[2], "wb").write(kernel)
                return
            start = data.find(magic, start + 1)
    sys.exit(f"{sys.argv[1]}: no compressed ELF kernel found")


if __name__ == "__main__":
    main()
