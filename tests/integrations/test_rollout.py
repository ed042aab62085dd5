# SPDX-License-Identifier: LGPL-2.1-or-later
"""The example playbook rolling firmware over a lab of 20 stations. Each
inventory host runs its modules on ansible_connection=local through an
interpreter that enters a simulated lab of its own (qvsim-run with the
station's copy of the lab, controller file and driver log), so a station's
writes and copied image show on that station only."""
import json
import os
import re
import subprocess

import pytest

from qvzelif import _header
from labsupport import FIRMWARE_DIR, SOURCE_DIR, wrong_checksum

STATIONS = ["station-%02d" % number for number in range(1, 21)]
BATCH = 5  # serial: of the playbook
EXAMPLE = os.path.join(SOURCE_DIR, "examples", "ansible")
GOOD_IMAGE = os.path.join(FIRMWARE_DIR, "demo-fw-0200.img")
INTERPRETER = """#!/bin/sh
QVRELOC_SHAREDSTATEDIR={station}/state exec {qvsim} {station}/lab.ini --log-dir {station}/log \\
  --lib-dir {build}/companions --lib-dir {build} -- /usr/bin/python3 "$@"
"""


@pytest.fixture(scope="module")
def lab_of_stations(tmp_path_factory):
    """{station: its directory}, each with a lab (the demo lab, its card with
    a serial number of its own) and an interpreter that runs in it."""
    build = os.environ.get("QVZ_BUILD_DIR")
    if not build:
        pytest.skip("needs the build: run through ctest")
    qvsim = os.path.join(build, "companions", "qvdriversim", "qvsim-run")
    root = tmp_path_factory.mktemp("lab")
    with open(os.path.join(SOURCE_DIR, "examples", "systems", "lab.ini"), encoding="utf-8") as file:
        system = file.read()
    with open(os.path.join(SOURCE_DIR, "examples", "systems", "lab-pxicontrollers.ini"),
              encoding="utf-8") as file:
        controllers = file.read()
    stations = {}
    for number, name in enumerate(STATIONS, 1):
        station = root / name
        (station / "state" / "qvpxi").mkdir(parents=True)
        (station / "state" / "qvpxi" / "pxicontrollers.ini").write_text(controllers)
        serial = "5A%06X" % number
        (station / "lab.ini").write_text(system.replace("serialNumber = 01A2B3C4",
                                                        "serialNumber = " + serial))
        interpreter = station / "python"
        interpreter.write_text(INTERPRETER.format(station=station, qvsim=qvsim, build=build))
        interpreter.chmod(0o755)
        stations[name] = station
    return stations


def writes(station):
    path = station / "log" / "card0.writes"
    return sum(line.startswith("write ") for line in path.read_text().splitlines()) \
        if path.exists() else 0


def reset(stations):
    for station in stations.values():
        for path in (station / "log" / "card0.writes", station / "fw.img"):
            if path.exists():
                path.unlink()


def roll_out(stations, tmp_path, image, check=False):
    """Runs the example playbook over the stations; returns (exit code,
    {task name: {station: result}}, {station: recap counts})."""
    inventory = tmp_path / "inventory.ini"
    lines = ["[pxi_stations]"]
    lines += ["%s ansible_python_interpreter=%s/python qvzel_station=%s" % (name, path, path)
              for name, path in stations.items()]
    lines += ["[pxi_stations:vars]", "ansible_connection=local", "qvzel_become=false"]
    inventory.write_text("\n".join(lines) + "\n")
    env = dict(os.environ, ANSIBLE_CONFIG=os.path.join(EXAMPLE, "ansible.cfg"),
               ANSIBLE_STDOUT_CALLBACK="default", ANSIBLE_CALLBACK_RESULT_FORMAT="json",
               ANSIBLE_CALLBACK_FORMAT_PRETTY="0", ANSIBLE_GATHERING="explicit",
               ANSIBLE_PIPELINING="1", ANSIBLE_FORKS=str(BATCH), ANSIBLE_NOCOLOR="1",
               ANSIBLE_LOCAL_TEMP=str(tmp_path / "local"), HOME=str(tmp_path))
    # The playbook as written; only where a station keeps the copied image
    # moves into the station's directory.
    command = ["ansible-playbook", "-v", "-i", str(inventory),
               os.path.join(EXAMPLE, "lab-firmware.yml"), "-e", "qvzel_image_source=%s" % image,
               "-e", "qvzel_image={{ qvzel_station }}/fw.img"] + (["--check"] if check else [])
    done = subprocess.run(command, capture_output=True, text=True, env=env, cwd=EXAMPLE)
    tasks, recap, task = {}, {}, None
    for line in done.stdout.splitlines():
        # TASK [name] ***; STATE: [host] (item=...) => {...}; host : ok=N changed=N ...
        heading = re.match(r"TASK \[(.*)\] \*+$", line)
        result = re.match(r"(ok|changed|failed|fatal): \[([\w-]+)\].*? => (\{.*\})$", line)
        counts = re.match(r"([\w-]+) +: (ok=.*)$", line)
        if heading:
            task = heading.group(1)
        elif result and task:
            tasks.setdefault(task, {}).setdefault(result.group(2), []).append(
                dict(json.loads(result.group(3)), state=result.group(1)))
        elif counts:
            recap[counts.group(1)] = {key: int(value) for key, value in
                                      re.findall(r"(\w+)=(\d+)", counts.group(2))}
    assert recap, done.stdout + done.stderr
    return done.returncode, tasks, recap, done.stdout


FIRMWARE_TASK = "Bring every upstream card to the image's version"


def card_results(tasks):
    """{station: [the firmware task's result per card]}."""
    return {station: [result for result in results if "item" in result]
            for station, results in tasks.get(FIRMWARE_TASK, {}).items()}


def test_a_bad_image_stops_the_roll_out_after_the_first_batch(lab_of_stations, tmp_path):
    reset(lab_of_stations)
    broken = tmp_path / "broken.img"
    with open(GOOD_IMAGE, "rb") as file:
        good = file.read()
    broken.write_bytes(wrong_checksum(good))
    assert broken.read_bytes() != good
    status, tasks, recap, output = roll_out(lab_of_stations, tmp_path, broken)
    assert status == 2, output
    first = STATIONS[:BATCH]
    # Every station of the first batch failed with the library's code and the
    # checker's reason; no later station ran a task.
    assert sorted(recap) == first, output
    results = card_results(tasks)
    assert sorted(results) == first
    for station in first:
        (item,) = results[station]
        assert item["state"] == "failed" and item["name"] == "QVZEL_ERR_INTERNAL"
        assert item["code"] == _header.CONSTANTS["QVZEL_ERR_INTERNAL"]
        assert "checksum" in item["msg"] and "nothing was written" in item["msg"]
        assert recap[station]["failed"] == 1
    # Nothing was written on any station, and the image reached only the
    # first batch.
    assert [writes(lab_of_stations[station]) for station in STATIONS] == [0] * len(STATIONS)
    assert [station for station in STATIONS if (lab_of_stations[station] / "fw.img").exists()] \
        == first


def test_a_good_image_reaches_every_station_and_check_mode_writes_none(lab_of_stations,
                                                                       tmp_path):
    reset(lab_of_stations)
    status, tasks, recap, output = roll_out(lab_of_stations, tmp_path, GOOD_IMAGE, check=True)
    assert status == 0, output
    results = card_results(tasks)
    assert sorted(results) == STATIONS
    for station in STATIONS:
        (item,) = results[station]
        assert item["state"] == "changed" and not item["written"]
        assert "would write" in item["msg"]
    assert [writes(lab_of_stations[station]) for station in STATIONS] == [0] * len(STATIONS)

    status, tasks, recap, output = roll_out(lab_of_stations, tmp_path, GOOD_IMAGE)
    assert status == 0, output
    results = card_results(tasks)
    assert sorted(results) == STATIONS and sorted(recap) == STATIONS
    for station in STATIONS:
        (item,) = results[station]
        assert item["state"] == "changed" and item["written"]
        assert (item["installed_version"], item["image_version"]) == (0x100, 0x200)
        assert recap[station]["failed"] == 0
    assert [writes(lab_of_stations[station]) for station in STATIONS] == [1] * len(STATIONS)
