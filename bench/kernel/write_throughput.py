#!/usr/bin/env python3
# SPDX-License-Identifier: LGPL-2.1-or-later
"""The firmware write through the real driver, inside the kernel lab's
machine (scripts/bench.sh runs it):

  scripts/kernel-lab.sh --copy bench/kernel -- python3 bench/kernel/write_throughput.py

Writes images of 64 KiB, 1 MiB and 4 MiB into the lab's first four-port card
with `qvzel update --force --yes`, each twice, checks that the flash holds
them, and prints one JSON document: per size the best time of the whole
update (image check, session, the driver's erase, program and read-back)
and its throughput. Under TCG the figures say what the emulated machine
does, not what a card does: a real card's flash erases and programs far
more slowly than the lab's memory.
"""
import json
import os
import platform
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(HERE)), "tests", "kernel"))
import fwimage  # noqa: E402
import labtext  # noqa: E402

SIZES = (64 << 10, 1 << 20, 4 << 20)


def main():
    card = labtext.read(open("/qvlab-vm/system").read().strip()).updatable[0]
    scratch = tempfile.mkdtemp(prefix="bench-")
    rows = []
    for size in SIZES:
        payload = fwimage.boot_payload(0x400, size, seed=size)
        path = os.path.join(scratch, "image-%d.img" % size)
        with open(path, "wb") as out:
            out.write(fwimage.make_image(payload, 0x400, fwimage.BOOT_OFFSET))
        best = None
        for _ in range(2):
            started = time.perf_counter()
            done = subprocess.run(["qvzel", "update", "serial:" + card.serial, path, "--force",
                                   "--yes"], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            elapsed = time.perf_counter() - started
            if done.returncode != 0:
                sys.exit("write_throughput: the update failed: %s" % done.stderr.decode().strip())
            best = elapsed if best is None else min(best, elapsed)
        flash = os.path.join(scratch, "flash")
        subprocess.run(["qvlab", "flash", "read", card.name, "--offset", str(fwimage.BOOT_OFFSET),
                        "--length", str(size), flash], check=True)
        if open(flash, "rb").read() != payload:
            sys.exit("write_throughput: the flash does not hold the %d-byte image" % size)
        rows.append({"bytes": size, "seconds": best, "bytes_per_second": size / best})
    json.dump({"kernel": platform.release(), "card": card.serial, "writes": rows}, sys.stdout,
              indent=1)
    print()


if __name__ == "__main__":
    main()
