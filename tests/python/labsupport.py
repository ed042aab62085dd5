# SPDX-License-Identifier: LGPL-2.1-or-later
"""What the Python, metrics and Ansible tests share: the simulated lab they
run in (examples/systems/lab.ini with its controller file, through
run_in_lab.sh) and the lab's description as the oracle for expected values."""
import configparser
import contextlib
import glob
import os
import re
import shutil
import subprocess
from typing import Callable, ContextManager, Dict, Iterator

import pytest

SOURCE_DIR = os.environ.get("QVZ_SOURCE_DIR",
                            os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
FIRMWARE_DIR = os.path.join(SOURCE_DIR, "examples", "firmware")
DEVICE_DIR = "/proc/driver/qvsim/dev"


def inside_lab() -> bool:
    """True when the simulated PCI bridge library and driver are in place."""
    return bool(os.environ.get("QVPCIBRD_SYSTEM")) and os.path.isdir(DEVICE_DIR)


def number(text: str) -> int:
    return int(text.strip(), 0)


class LabDescription:
    """The simulated system file and the controller file, read as INI."""

    def __init__(self, system: str, controllers: str) -> None:
        self.system = _read_ini(system)
        self.controller_file = _read_ini(controllers)

    def bridge(self, name: str) -> Dict[str, str]:
        return dict(self.system["bridge " + name])

    def interface(self, name: str) -> Dict[str, str]:
        return dict(self.system["interface " + name])

    def ports_of(self, parent: str) -> Dict[str, Dict[str, str]]:
        """Bridges below parent that carry a port number, by name, in file order."""
        return {section[len("bridge "):]: dict(self.system[section])
                for section in self.system.sections()
                if section.startswith("bridge ") and self.system[section].get("parent") == parent
                and "attr.0x20000300" in self.system[section]}


def _read_ini(path: str) -> configparser.ConfigParser:
    parser = configparser.ConfigParser(interpolation=None, comment_prefixes=("#", ";"),
                                       strict=False)
    parser.optionxform = str  # keys are case-sensitive
    with open(path, encoding="utf-8") as file:
        parser.read_file(file)
    return parser


@pytest.fixture(scope="session")
def lab() -> LabDescription:
    """The lab's description; skips the test outside the simulated lab."""
    if not inside_lab():
        pytest.skip("needs the simulated lab: run through ctest (tests/python/run_in_lab.sh)")
    state = os.environ.get("QVRELOC_SHAREDSTATEDIR", "")
    return LabDescription(os.environ["QVPCIBRD_SYSTEM"],
                          os.path.join(state, "qvpxi", "pxicontrollers.ini"))


@contextlib.contextmanager
def _rewritten(path: str, change: Callable[[str], str]) -> Iterator[None]:
    """The file's text changed by change() for the block, then restored."""
    with open(path, encoding="utf-8") as file:
        original = file.read()
    with open(path, "w", encoding="utf-8") as file:
        file.write(change(original))
    try:
        yield
    finally:
        with open(path, "w", encoding="utf-8") as file:
            file.write(original)


def device_settings(name: str, **settings: str) -> ContextManager[None]:
    """Changes driver settings of a simulated device (read afresh on every
    request) for the block, e.g. device_settings("card0", firmwareErrno="5");
    keys with dots are written with "__" for ".": attribute__0xF000F0C0."""
    def change(text: str) -> str:
        for key, value in settings.items():
            key = key.replace("__", ".")
            line = "%s = %s" % (key, value)
            pattern = re.compile(r"^%s\s*=.*$" % re.escape(key), re.MULTILINE)
            text = pattern.sub(line, text) if pattern.search(text) else text + line + "\n"
        return text
    return _rewritten(os.path.join(DEVICE_DIR, name), change)


def interface_path(name: str, path: str) -> ContextManager[None]:
    """Points a simulated device's driver interface at another device file for
    the block, e.g. one that does not exist, so that opening the device fails."""
    pattern = os.path.join("/proc/driver/qv", name, "deviceInterfaces", "*", "interfacePath")
    (file_name,) = glob.glob(pattern)
    return _rewritten(file_name, lambda _: path)


def wrong_checksum(image: bytes) -> bytes:
    """The image with every CRC:: value one higher: a checksum that does not match."""
    return re.sub(rb"CRC::(\d+)", lambda m: b"CRC::%d" % (int(m.group(1)) + 1), image)


@contextlib.contextmanager
def reloaded(name: str) -> Iterator[int]:
    """Reloads a simulated card (qvsim-reload) for the block, so that it runs
    the version its flash's boot header names, which the block receives;
    afterwards the card's flash and running version are as they were."""
    state = os.environ["QVSIM_STATE_DIR"]
    saved = {}
    for suffix in (".flash", ".running"):
        with open(os.path.join(state, name + suffix), "rb") as file:
            saved[suffix] = file.read()
    try:
        done = subprocess.run([os.environ["QVSIM_RELOAD"], name], capture_output=True, text=True,
                              check=True)
        yield int(done.stdout.split()[-1], 16)
    finally:
        for suffix, data in saved.items():
            with open(os.path.join(state, name + suffix), "wb") as file:
                file.write(data)


def firmware_writes(name: str) -> int:
    """How many firmware writes the simulated driver accepted for a device."""
    path = os.path.join(os.environ.get("QVSIM_LOG_DIR", ""), name + ".writes")
    if not os.path.exists(path):
        return 0
    with open(path, encoding="utf-8") as file:
        return sum(1 for line in file if line.startswith("write "))


def slot_path(lab: LabDescription, bridge: str) -> str:
    """The slot path of a bridge of the description: its device/function codes
    up to its root bridge, after MR and the root bus."""
    codes = []
    while True:
        section = lab.bridge(bridge)
        codes.append("%02X" % (number(section["device"]) << 3 | number(section["function"])))
        if "parent" not in section:
            return "MR%02X:%s" % (number(section["bus"]), ",".join(codes))
        bridge = section["parent"]
