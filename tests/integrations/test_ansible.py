# SPDX-License-Identifier: LGPL-2.1-or-later
"""The Ansible modules with ansible-core on localhost, inside the simulated lab."""
import json
import os
import subprocess

import pytest

from qvzelif import _header
from labsupport import (FIRMWARE_DIR, SOURCE_DIR, firmware_writes, number, reloaded,
                        wrong_checksum)

NEW_IMAGE = os.path.join(FIRMWARE_DIR, "demo-fw-0200.img")
# The collection qvlab.qvzel of the source tree, as the example finds it.
COLLECTIONS = os.path.join(SOURCE_DIR, "examples", "ansible", "collections")


@pytest.fixture
def ansible(tmp_path):
    """ansible(module, args, check=False) -> (state, result dictionary), the
    state as the minimal callback prints it: SUCCESS, CHANGED or FAILED!."""
    env = dict(os.environ, ANSIBLE_COLLECTIONS_PATH=COLLECTIONS,
               ANSIBLE_STDOUT_CALLBACK="minimal", ANSIBLE_LOCAL_TEMP=str(tmp_path / "local"),
               ANSIBLE_REMOTE_TEMP=str(tmp_path / "remote"), ANSIBLE_NOCOLOR="1",
               ANSIBLE_PYTHON_INTERPRETER="/usr/bin/python3", HOME=str(tmp_path))

    def run(module, args, check=False):
        command = ["ansible", "localhost", "-c", "local", "-i", "localhost,", "-m", module]
        command += (["-a", json.dumps(args)] if args else []) + (["--check"] if check else [])
        done = subprocess.run(command, capture_output=True, text=True, env=env)
        # "localhost | STATE => {result}"
        head, _, result = done.stdout.partition(" => ")
        assert result, done.stdout + done.stderr
        state = head.split(" | ")[-1]
        assert (done.returncode == 0) == (state != "FAILED!"), done.stdout
        return state, json.loads(result)
    return run


def test_facts_list_the_station(lab, ansible):
    state, result = ansible("qvlab.qvzel.facts", {})
    assert state == "SUCCESS" and result["changed"] is False
    facts = result["ansible_facts"]
    assert facts["qvzel_device_counts"] == {"upstream": 1, "controller": 3, "unknown": 0}
    (card,) = [d for d in facts["qvzel_devices"] if d["kind"] == "upstream"]
    interface = lab.interface("card0")
    assert card["serial_number"] == interface["serialNumber"]
    assert card["firmware_version"] == number(interface["attribute.0xF000F0C0"])


def test_firmware_is_idempotent_and_honours_check_mode_and_force(lab, ansible):
    args = {"image": NEW_IMAGE, "card": lab.interface("card0")["serialNumber"]}
    before = firmware_writes("card0")
    state, result = ansible("qvlab.qvzel.firmware", args, check=True)
    assert state == "CHANGED" and result["written"] is False
    assert "would write" in result["msg"]
    assert firmware_writes("card0") == before

    state, result = ansible("qvlab.qvzel.firmware", args)
    assert state == "CHANGED" and result["written"] is True
    assert (result["installed_version"], result["image_version"]) == (0x100, 0x200)
    assert firmware_writes("card0") == before + 1

    # After a reload the card runs the image's version: a second run changes nothing.
    with reloaded("card0") as running:
        assert running == 0x200
        state, result = ansible("qvlab.qvzel.firmware", args)
        assert state == "SUCCESS" and result["changed"] is False and result["written"] is False
        assert firmware_writes("card0") == before + 1
        state, result = ansible("qvlab.qvzel.firmware", dict(args, force=True))
        assert state == "CHANGED" and result["written"] is True
        assert firmware_writes("card0") == before + 2


def test_firmware_failures_carry_the_status(lab, ansible, tmp_path):
    broken = tmp_path / "broken.img"
    broken.write_bytes(wrong_checksum(open(NEW_IMAGE, "rb").read()))
    before = firmware_writes("card0")
    state, result = ansible("qvlab.qvzel.firmware", {"image": str(broken)})
    assert state == "FAILED!"
    # The library's code for a bad checksum, and the checker's reason.
    assert result["name"] == "QVZEL_ERR_INTERNAL"
    assert result["code"] == _header.CONSTANTS["QVZEL_ERR_INTERNAL"]
    assert result["text"] and "checksum" in result["msg"] and "nothing was written" in result["msg"]
    assert firmware_writes("card0") == before


def test_the_example_playbook_parses():
    playbook = os.path.join(SOURCE_DIR, "examples", "ansible", "lab-firmware.yml")
    done = subprocess.run(["ansible-playbook", "--syntax-check", "-i", "localhost,", playbook],
                          capture_output=True, text=True,
                          env=dict(os.environ, ANSIBLE_COLLECTIONS_PATH=COLLECTIONS))
    assert done.returncode == 0, done.stdout + done.stderr


def test_every_module_has_its_documentation():
    for module in ("qvlab.qvzel.facts", "qvlab.qvzel.firmware"):
        done = subprocess.run(["ansible-doc", module], capture_output=True, text=True,
                              env=dict(os.environ, ANSIBLE_COLLECTIONS_PATH=COLLECTIONS))
        assert done.returncode == 0 and "ADDED IN: version 1.0.0" in done.stdout, done.stderr
