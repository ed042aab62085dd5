# SPDX-License-Identifier: LGPL-2.1-or-later
"""qvzel metrics with random bytes in every label a machine can fill: the
vendor and model names of the controller file and the card's serial number
as the driver publishes it. Whatever the bytes, promtool accepts the output
and every controller of the file is in it."""
import glob
import os
import random
import subprocess
import sys

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "python"))
from labsupport import lab  # noqa: E402,F401  (fixture)

SEEDS = range(8)
SECTIONS = 5
# Bytes that end an INI line can never be part of a value.
LINE_ENDS = {0, 0x0A, 0x0D}
# Pieces that stress the escaping: quotes, backslashes, braces, controls,
# bidirectional controls, and UTF-8 that is overlong, a surrogate, above
# U+10FFFF or cut short.
PIECES = [b'"', b"\\", b"\\n", b"{", b"}", b"=", b",", b"\x1b[31m", b"\x7f", b"\xe2\x80\xae",
          b"\xc0\xaf", b"\xed\xa0\x80", b"\xf4\x90\x80\x80", b"\xe2\x82", b"\xff\xfe",
          "Grüße".encode("latin-1"), "Grüße".encode("utf-8")]


def random_text(rng):
    """Random bytes between two letters, so that the INI reader keeps them as
    one value (no outer quotes to drop, nothing to trim)."""
    body = bytearray()
    while len(body) < rng.randint(1, 60):
        if rng.random() < 0.3:
            body += rng.choice(PIECES)
        else:
            value = rng.randrange(256)
            if value not in LINE_ENDS:
                body.append(value)
    return b"x" + bytes(body) + b"x"


def metrics_text():
    run = subprocess.run([os.environ["QVZEL_TOOL"], "metrics"], capture_output=True)
    assert run.returncode == 0, run.stderr
    return run.stdout


def promtool_check(text):
    check = subprocess.run(["promtool", "check", "metrics"], input=text, capture_output=True)
    return check.returncode == 0, (check.stdout + check.stderr).decode("utf-8", "replace")


def controller_samples(text):
    return [line for line in text.decode("utf-8").splitlines()
            if line.startswith("qvzel_device_info{") and 'kind="controller"' in line]


@pytest.fixture()
def replaced_files(lab):  # noqa: F811
    """The controller file and the card's serial number, restored afterwards."""
    state = os.environ["QVRELOC_SHAREDSTATEDIR"]
    paths = [os.path.join(state, "qvpxi", "pxicontrollers.ini")]
    paths += glob.glob("/proc/driver/qv/card0/**/serialNumber", recursive=True)
    assert len(paths) == 2, paths
    saved = {}
    for path in paths:
        with open(path, "rb") as file:
            saved[path] = file.read()
    yield paths
    for path, data in saved.items():
        with open(path, "wb") as file:
            file.write(data)


@pytest.mark.parametrize("seed", SEEDS)
def test_random_label_bytes_are_always_accepted(lab, replaced_files, seed):  # noqa: F811
    controller_file, serial_file = replaced_files
    sections = lab.controller_file.sections()
    slot_path = lab.controller_file[sections[0]]["SlotPath"]
    before = len(controller_samples(metrics_text()))

    rng = random.Random(seed)
    text = b""
    for index in range(SECTIONS):
        text += b"[Random%d]\nVendorName = %s\nModelName = %s\nSlotPath = %s\n" % (
            index, random_text(rng), random_text(rng), slot_path.encode())
    with open(controller_file, "wb") as file:
        file.write(text)
    with open(serial_file, "wb") as file:
        file.write(random_text(rng))

    output = metrics_text()
    accepted, report = promtool_check(output)
    assert accepted, "seed %d: %s" % (seed, report)
    # The file's one controller gave way to the random ones.
    assert len(controller_samples(output)) == before - len(sections) + SECTIONS
