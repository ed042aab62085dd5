#!/usr/bin/env python3
# SPDX-License-Identifier: LGPL-2.1-or-later
"""Checks, outside the virtual machine, of what the kernel stage relies on:
the images tests/kernel/fwimage.py writes are judged by qvzel check-image as
they are meant to be, its reading of an image agrees with the tool's, and
scripts/kernel-lab.sh refuses a machine without QEMU or the kernel with a
message that names what is missing.

  test_stage_tools.py SOURCE_DIR QVZEL
"""
import json
import os
import subprocess
import sys
import tempfile
import unittest

SOURCE, QVZEL = sys.argv[1], sys.argv[2]
sys.path.insert(0, os.path.join(SOURCE, "tests", "kernel"))
import fwimage  # noqa: E402


def check_image(data):
    with tempfile.NamedTemporaryFile(suffix=".img") as image:
        image.write(data)
        image.flush()
        done = subprocess.run([QVZEL, "check-image", image.name, "--json"],
                              stdout=subprocess.PIPE, check=False)
    return json.loads(done.stdout)


class ImageTest(unittest.TestCase):
    def test_written_images_read_as_meant(self):
        payload = fwimage.boot_payload(0x0321, 5001, seed=7)
        self.assertEqual(payload[:8], b"QVFW\x21\x03\x00\x00")
        report = check_image(fwimage.make_image(payload, 0x0321, 0x20000))
        self.assertTrue(report["valid"], report["reason"])
        section = report["sections"][0]
        self.assertEqual((section["flashType"], section["offset"], section["version"],
                          section["decodedLength"], section["computedCrc"], section["subsystemId"]),
                         ("ISSI", 0x20000, 0x0321, 5001, fwimage.crc(payload), 0x5A31))
        for fields, problem in (({"checksum": 1}, "checksum"), ({"byte_count": 5002}, "5002")):
            report = check_image(fwimage.make_image(payload, 0x0321, 0x20000, **fields))
            self.assertFalse(report["valid"])
            self.assertIn(problem, report["reason"])

    def test_sections_read_as_the_tool_reads_them(self):
        folder = os.path.join(SOURCE, "examples", "firmware")
        for name in sorted(os.listdir(folder)):
            data = open(os.path.join(folder, name), "rb").read()
            report = check_image(data)
            mine = fwimage.read_sections(data)
            self.assertEqual(len(mine), len(report["sections"]), name)
            for section, shown in zip(mine, report["sections"]):
                self.assertEqual((section.flash_type, section.offset, section.version,
                                  len(section.payload), fwimage.crc(section.payload)),
                                 (shown["flashType"], shown["offset"], shown["version"],
                                  shown["decodedLength"], shown["computedCrc"]), name)


class KernelLabTest(unittest.TestCase):
    script = os.path.join(SOURCE, "scripts", "kernel-lab.sh")

    def refusal(self, env):
        done = subprocess.run(["bash", self.script, "--", "true"], env=dict(os.environ, **env),
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, check=False)
        self.assertEqual(done.returncode, 1, done.stderr)
        return done.stderr

    def test_missing_pieces_named(self):
        message = self.refusal({"QVZ_KERNEL_VERSION": "0.0-none"})
        self.assertIn("/boot/vmlinuz-0.0-none", message)
        self.assertIn("setup.sh test", message)
        with tempfile.TemporaryDirectory() as bare:
            # Only the shell tools the script needs before it looks for QEMU.
            for tool in ("bash", "dirname", "realpath", "sort", "tail", "ls", "tr", "printf"):
                path = subprocess.run(["sh", "-c", "command -v " + tool], stdout=subprocess.PIPE,
                                      text=True, check=False).stdout.strip()
                if path.startswith("/"):
                    os.symlink(path, os.path.join(bare, tool))
            message = self.refusal({"PATH": bare})
        self.assertIn("qemu-system-x86_64 is missing", message)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
